#pragma once

#include "ElidingLabel.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <array>

class ProgressOwner;
class QProgressBar;
class QPushButton;

// The progress dialog of an immediate batch. ShowAction shows it modally; its
// first showing starts the batch through the owner, and later steps report
// with Inform. "Close" only takes the dialog away: the batch goes on without it.
// The batch's end closes it with Finish.
class frmProgress : public QDialog
{
    Q_OBJECT
public:
    explicit frmProgress(QWidget *parent = nullptr);

    // Set when the batch's walk was cut short (read by the builder after ShowAction).
    bool WalkTerminated = false;
    // Set when the user stopped the walk: nothing of the batch is to run.
    bool WalkCancelled = false;

    // Set when the walk lists folders for a delete batch.
    bool WalkForDelete = false;

    static inline const QString kStopWalkText =
        QStringLiteral("Stop listing the folders? Nothing will be transferred.");
    static inline const QString kStopDeleteWalkText =
        QStringLiteral("Stop listing the folders? Nothing will be deleted.");

    // Batch action codes.
    static inline const QString kUpload = QStringLiteral("U");
    static inline const QString kDownload = QStringLiteral("D");
    static inline const QString kDelete = QStringLiteral("DEL");
    static inline const QString kListFolders = QStringLiteral("LD");

    // Shows the dialog modally over `ownerWindow` and returns once it is gone
    // (the batch ended, or "Close"). `createFolders`: make the remote folders
    // first. `max`: the number of entries.
    int ShowAction(ProgressOwner *owner, QWidget *ownerWindow, bool createFolders, int server,
                   const QString &action, qint64 max);
    // Remote folders are made: the transfers start.
    void FoldersDone();
    // Shows entry `index` (0-based) as the current one.
    void Inform(qint64 index, const QString &item);
    // The batch ended: the modal display ends.
    void Finish();

    QString Tag() const { return m_tag; }
    int ProgressServer() const { return m_server; }
    bool ProgressStarted() const { return m_started; }

    // The current entry and the count: new texts many times a second, without laying the dialog out.
    std::array<ElidingLabel *, 2> Label1{};
    QProgressBar *PB = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Activate();
    void Command1_Click();
    void runStage(const QString &action);
    // Escape or the close box during a walk: asks whether to stop it.
    void askToStopWalk();

    ProgressOwner *m_owner = nullptr;
    int m_server = 0;
    bool m_createFolders = false;
    bool m_started = false;
    bool m_finished = false;
    bool m_askingToStop = false;
    QString m_ready; // "OK" once ShowAction set the dialog up
    QString m_tag;
    qint64 m_max = 0;
};

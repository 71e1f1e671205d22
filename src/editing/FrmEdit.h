#pragma once

#include "EditedText.h"

#include <QDialog>
#include <QFont>

class EditOwner;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The quick editor: a text window for one downloaded copy. "&Upload" writes
// the text into the copy and hands it to the owner; closing without
// uploading drops the owner's pending edit. With no file and no owner (opened
// from the settings) there is nothing to upload.
class FrmEdit : public QDialog
{
    Q_OBJECT

public:
    explicit FrmEdit(QWidget *parent = nullptr);
    ~FrmEdit() override;

    // Loads the copy and shows the window modeless; it deletes itself when closed.
    void ShowEdit(EditOwner *owner, qint16 serverSlot, const QString &profileName, const QString &localFilePath,
                  const QString &remoteFilePath, const QString &editTaskId, const QFont &font);
    // Loads the copy without showing the window. False when the copy cannot be read.
    bool PrepareEdit(EditOwner *owner, qint16 serverSlot, const QString &profileName,
                     const QString &localFilePath, const QString &remoteFilePath, const QString &editTaskId,
                     const QFont &font);

    // The closing question while the text holds changes not uploaded; true
    // when the window may close. CloseByProgram then closes it without asking.
    bool AskToClose();
    void CloseByProgram();
    // The send the owner started for this window ended: success closes the
    // window; a failure keeps it, its text counted as not uploaded.
    void UploadEnded(bool success);
    bool Uploading() const { return m_uploading; }

    const QString &LocalFilePath() const { return m_localFilePath; }
    const QString &EditTaskID() const { return m_editTaskId; }
    bool Modified() const { return m_modified; }

    QPlainTextEdit *Text1 = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QLabel *lblWarn = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *Line1 = nullptr;

public slots:
    // Escape and the system menu close through the close box's path.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Text1_Change();
    void OKButton_Click();
    void CancelButton_Click();
    // The text as the file will hold it ("\n" between lines).
    QString CurrentText() const;
    bool ConfirmCloseWithoutUpload();

    EditOwner *m_owner = nullptr;
    QString m_localFilePath;
    QString m_remoteFilePath;
    QString m_windowCaption;
    QString m_profileName;
    qint16 m_serverSlot = 0;
    QString m_editTaskId;
    EditedText m_loaded;
    bool m_modified = false;
    bool m_saved = true;
    bool m_loading = false;
    bool m_closingByProgram = false;
    bool m_uploading = false;
    bool m_hooked = false;
};

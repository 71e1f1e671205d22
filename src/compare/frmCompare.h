#pragma once

#include "CProfile.h"
#include "CompareRun.h"
#include "FolderComparison.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class ElidingLabel;
class FileListModel;
class FtpTask;
class JobIntake;
class JobsFromRows;
class MainWindowServices;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTreeView;

// "Folders Compare": compares two locations, each a local folder or a folder
// on an FTP server, and lists the first location's entries with a verdict
// about their counterparts in the second. Modeless; one per main window.
class frmCompare : public QWidget
{
    Q_OBJECT
public:
    // `intake` is the main window's job queue (none: jobs can only be saved).
    frmCompare(MainWindowServices &mainWindow, JobIntake *intake, QWidget *parent = nullptr);
    ~frmCompare() override;

    // Side state: the kind, the local folder and the FTP location of each side.
    std::array<bool, 2> LocationIsFtp{false, false};
    std::array<QString, 2> SidePaths;
    std::array<CProfile, 2> SideProfiles;
    int ElapsedSeconds = 0;

    void CmdLoc_Click(int side);
    void CmdSearch_Click();
    void CmdStop_Click();
    void Timer1_Timer();
    void ConnectState(bool running);
    void UpdateItemCount();
    // Sets a side directly, as the location dialog would.
    void SetLocalLocation(int side, const QString &path);
    void SetFtpLocation(int side, const CProfile &location);

    // The result list's context menu, at a point of the list; shown only when a
    // row is selected and exactly one side of the comparison was on FTP.
    void ShowCompareMenu(const QPoint &at);
    // Whether the menu offers downloads (side 0 FTP) rather than uploads.
    bool DownloadMode() const;
    bool MenuAvailable() const;
    // Makes jobs of the selected rows (empty filter) or of every row with that
    // verdict, and queues them or saves them to the window's job file.
    void HandleSaveTask(const QString &filter, bool save);
    // The job of one row, or none (a folder row, a name that cannot be a file name).
    std::shared_ptr<FtpTask> ComposeTask(int row, bool download) const;
    const JobsFromRows &Jobs() const { return *m_jobs; }
    QMenu *mnuCntxt = nullptr;

    FolderComparison &Comparison() { return *m_comparison; }
    FileListModel *Model() const { return m_model; }
    QString PanelText(int panel) const;

    // Controls, for the window's parts and tests.
    std::array<QLineEdit *, 2> txtLoc{};
    std::array<QLabel *, 2> Picture1{};
    std::array<QPushButton *, 2> CmdLoc{};
    std::array<QLabel *, 2> lblLoc{};
    QLabel *Label2 = nullptr;
    QLineEdit *txtPattern = nullptr;
    QCheckBox *chKOnlyConflict = nullptr;
    QPushButton *CmdSearch = nullptr;
    QPushButton *CmdStop = nullptr;
    std::array<ElidingLabel *, 5> lblCnt{};
    QLineEdit *txtStat = nullptr;
    QWidget *PicErr = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lblErr = nullptr;
    QTreeView *LV = nullptr;
    QStatusBar *SB = nullptr;
    QTimer Timer1;

    // The main window's close asks every window first and closes them only
    // once all agreed, so a later No leaves a running search or comparison alone.
    Q_INVOKABLE bool AskToClose();
    Q_INVOKABLE void CloseAsAgreed();

protected:
    void closeEvent(QCloseEvent *event) override;

    MainWindowServices &m_main;

private:
    bool m_closeAgreed = false;
    void buildControls();
    void buildMenu();
    void setPanel(int panel, const QString &text);
    // Shows the error line with `text`.
    // `toolTip`: the whole of what `text` cuts short; the text itself when empty.
    void showError(const QString &text, const QString &toolTip = QString());
    void StopComparison(const QString &failedServer, const QString &failure);
    void markUnlistedFolderRows();
    void LV_ItemClick(const QModelIndex &index);
    CompareLocation locationOf(int side) const;
    QString locationText(int side) const;
    bool sameLocation() const;

    FileListModel *m_model = nullptr;
    FolderComparison *m_comparison = nullptr;
    std::unique_ptr<BufferedRowSink> m_sink;
    std::array<ElidingLabel *, 3> m_panels{};
    bool m_rowLimitHit = false;
    JobIntake *m_intake = nullptr;
    std::unique_ptr<JobsFromRows> m_jobs;

protected:
    // The sides of the comparison that made the rows shown (jobs use them).
    std::array<CompareLocation, 2> m_rowSides;
};

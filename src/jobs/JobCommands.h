#pragma once

#include "EditSnapshots.h"
#include "JobDispatchHost.h"
#include "JobDispatcher.h"
#include "ModalHolders.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <array>
#include <functional>

struct BatchAnswers;
class FtpStatusStrip;
class JobQueuePane;
class KeyedImageList;
class QAction;
class QMenu;
class QWidget;

// The job list's commands and the five job connections that run its jobs:
// the "&Job" menu (also the list's pop-up), start, resume, stop and delete,
// the new-job and job-details dialogs, and the dispatcher's view of the
// list (rows, log, sounds, questions), each connection's status strip in a
// row under the list while it runs a job.
class JobCommands : public QObject, public JobDispatchHost
{
    Q_OBJECT
public:
    // What the commands need of the main window.
    struct Window {
        QWidget *owner = nullptr;
        const KeyedImageList *pictures = nullptr;
        std::function<void(const QString &text, int colour, int style)> addLog;
        std::function<void(const QString &server, const QString &folder)> markDirCacheDirty;
        std::function<void(const QString &localPath)> downloadArrived;
        // The folder the local pane shows: a relative local path typed into the new-job dialog starts there.
        std::function<QString()> localFolder;
        // A session of the program opened or closed (the rate display follows).
        std::function<void()> sessionsChanged;
        std::function<bool(const QString &remoteFile)> confirmFtpOverwrite;
        std::function<QString(const QString &text)> askDownloadOverwrite;
        ModalHolders *modal = nullptr;
    };

    JobCommands(JobQueuePane &pane, BatchAnswers &answers, JobDataPorts ports = {}, QObject *parent = nullptr,
                const JobDispatcher::TimerFactory &timers = {});
    ~JobCommands() override;

    void setWindow(Window window) { m_window = std::move(window); }
    JobDispatcher &Dispatcher() { return m_dispatcher; }

    // Puts the commands into the job menu, ahead of the load and save items.
    void FillJobMenu(QMenu *menu);
    QMenu *JobMenu() const { return m_menu; }

    void EnableJobMenu();
    void StartJob(bool selectedOnly, bool start, bool resume);
    void RemoveJob(int status, bool selectedOnly);
    bool ConfirmDeleteJobs(int mode);
    // Pops the job menu up at a point of the screen.
    void PopUpJobMenu(const QPoint &globalPosition);

    void mnuJAdd_Click();
    void mnuJView_Click();
    void mnuJOpenFolder_Click();
    void mnuJCpyLoc_Click();
    void mnuJCpyFtp_Click();
    void mnuJClrAll_Click();

    QAction *mnuJAdd = nullptr;
    QAction *mnuJEdit = nullptr;
    QAction *mnuJRemove = nullptr;
    QAction *mnuJView = nullptr;
    QAction *mnuJOpenFolder = nullptr;
    QAction *mnuJCpyLoc = nullptr;
    QAction *mnuJCpyFtp = nullptr;
    QAction *mnuJStart = nullptr;
    QAction *mnuJResume = nullptr;
    QAction *MnuJStop = nullptr;
    QAction *mnuJStartAll = nullptr;
    QAction *MnuJStopAll = nullptr;
    QAction *mnuJClrComp = nullptr;
    QAction *mnuJClrFailed = nullptr;
    QAction *mnuJClrAll = nullptr;

    // JobDispatchHost
    FtpTaskCollection &JobQueue() override;
    void ShowJobStep(const FtpTask &job, const QString &step) override;
    void ShowJobStatus(const FtpTask &job) override;
    void ColorJobRow(const FtpTask &job, unsigned colour) override;
    void ShowJobSize(const FtpTask &job) override;
    void UpdateJobProgress(const FtpTask &job) override;
    void ClearTimeLeft(const FtpTask &job) override;
    void UpdateJobSummary() override;
    void AddLog(const QString &text, int colour, int style) override;
    void PlayAlertSound(int alert) override;
    void MarkDirCacheDirty(const QString &server, const QString &folder) override;
    void DownloadArrived(const QString &localPath) override;
    bool IsOptionOn(Option option) const override;
    bool RunFlagSet(RunFlag flag) const override;
    void SetRunFlag(RunFlag flag, bool value) override;
    bool OverwriteQuestionOpen() const override;
    void SetOverwriteQuestionOpen(bool open) override;
    bool ConfirmFtpOverwrite(const QString &remoteFile) override;
    QString AskDownloadOverwrite(const QString &text) override;
    void SetProgressTimer(bool on) override;
    void SessionsChanged() override;
    void ShowConnection(int index, bool shown) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildActions();
    // Keys of the selected rows, in list order.
    QStringList selectedKeys() const;
    FtpTaskCollection::Job selectedJob() const;
    void stopJob(FtpTask &job);
    // The shared overwrite answer behind a flag.
    bool &runFlag(RunFlag flag) const;

    JobQueuePane &m_pane;
    BatchAnswers &m_answers;
    JobDispatcher m_dispatcher;
    Window m_window;
    // The copies edit upload jobs send, released when their jobs complete or are deleted.
    EditSnapshots m_snapshots{EditSnapshots::DefaultFolder()};
    QMenu *m_menu = nullptr;
    // The list and its viewport as the filter was installed on them: the
    // filter compares against these and never reaches into a list that may
    // be half destroyed when its last events arrive.
    const QObject *m_filteredList = nullptr;
    const QObject *m_filteredViewport = nullptr;
    std::array<FtpStatusStrip *, JobDispatcher::kConnections> m_strips{};
    // A connection lets a job go and takes the next one in the same pass of
    // the event loop: its strip is hidden only if it still runs none a frame
    // later, or every job would lay the window out twice.
    std::array<bool, JobDispatcher::kConnections> m_stripWanted{};
    QTimer m_stripHiding;
};

#pragma once

#include "ElidingLabel.h"
#include "FtpTask.h"
#include "FtpTaskCollection.h"
#include "JobIntake.h"

#include <QColor>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <set>

class JobListModel;
class KeyedImageList;
class QAction;
class QMimeData;
class QPlainTextEdit;
class QSplitter;
class QTreeView;

// The job queue of the main window: the queue and the jobs it refused, the
// job list `LVJob` (one row per queued job, keyed by `ZavUdeID`), the summary
// line, the job information box and the timer that refreshes running jobs.
// Jobs enter through the JobIntake members and job files.
class JobQueuePane : public QWidget, public JobIntake
{
    Q_OBJECT
public:
    static constexpr int kTimer3Ms = 2000;
    static constexpr int kInfoBoxLimit = 500;

    // What the queue needs of the main window.
    struct Host {
        // A notification balloon (kind 1 information, 2 warning, 3 error); the
        // window shows it only when "Show info in system tray" is on.
        std::function<void(int kind, const QString &title, const QString &text)> showInfo;
    };

    explicit JobQueuePane(const KeyedImageList *pictures, QWidget *parent = nullptr);
    ~JobQueuePane() override;

    void setHost(Host host) { m_host = std::move(host); }

    // Filled by the dispatcher: gives idle job connections their next jobs.
    void setDispatcher(std::function<void()> dispatcher) { m_dispatcher = std::move(dispatcher); }
    // Filled by the immediate batches: clears the overwrite answers of a run.
    void setResetBatchAnswers(std::function<void(bool)> reset) { m_resetBatchAnswers = std::move(reset); }
    // The overwrite question jobs ask before a download replaces a file.
    void setOverwriteQuestion(FtpTask::OverwriteQuestion ask) { m_overwriteQuestion = std::move(ask); }
    const FtpTask::OverwriteQuestion &OverwriteQuestion() const { return m_overwriteQuestion; }
    // What a drop on the job list does; unset, the list takes no drops.
    struct DropHandler {
        // `source` is the widget the drag started from; none for other programs.
        std::function<bool(const QMimeData *, const QObject *source)> accepts;
        std::function<void(const QMimeData *, const QObject *source)> dropped;
    };
    void setDropHandler(DropHandler handler) { m_drop = std::move(handler); }
    // A drop on the job list: true when the handler took it.
    bool DropRows(const QMimeData *data, const QObject *source);

    // JobIntake
    void AcceptJobs(const FtpTaskCollection &jobs, bool report) override;
    bool AddJob(const FtpTaskCollection::Job &job) override;
    void ReportJobsAdded(bool report, int added, int refused) override;
    void RunQueuedJobs() override;
    FtpTaskCollection::Job FindJob(const QString &key) const override { return JobQueue.Find(key); }
    void RefreshJob(const QString &key) override;
    QStringList UnfinishedLocalFiles() const override;
    QList<FtpTaskCollection::Job> UnfinishedJobsOf(const QString &path) const override;
    bool UploadUnfinishedTo(const QString &targetKey) const override;
    void FailJob(const QString &key, int reason, const QString &why) override;

    void ReportJobLoadErrors(bool showNotice);
    void AddJobInfoLine(const QString &text);
    void ColorJobRow(const FtpTask &job, const QColor &colour, int count = 5);
    // Rewrites the job's size, progress, status and pictures.
    void RefreshJobRow(const FtpTask &job);
    void UpdateJobProgress(const FtpTask &job);
    void UpdateJobSummary() override;
    // Only the counters and the summary line of UpdateJobSummary: no sound,
    // no clearing of completed jobs, no reset of the overwrite answers.
    void RecountJobs();
    void Timer3_Timer();

    // Lists the jobs of a job file; the default file is then taken away
    // (moved to its side copy "tasks.loaded.xqr", which outlives a crash), its
    // unreadable lines kept in "tasks.unread.xqr" beside it. With the default
    // file missing its side copy is listed instead. Files larger than
    // JobFile::kMaxFileMiB are refused and kept.
    void LoadTasks(const QString &path);
    // Saves the queue (at close: append, not forced) with the job options;
    // the jobs the close stopped are saved as pending where pending jobs are.
    // A save of the default file that did not fail ends its side copy; a side
    // copy this run did not list goes back into the default file first.
    bool SaveQueue(const QString &path, bool append, bool force,
                   const std::set<const FtpTask *> &stoppedByClose = {});
    // The file "Load Pending Jobs" reads: the default file, or its side copy
    // when only that is left.
    QString PendingJobsFile() const;
    QString SideCopyFile() const;

    void mnuJLoad_Click();
    void mnuJLoadCustom_Click();
    void mnuJSaveCustom_Click();

    static QString GetStatusIconKey(const FtpTask &job);
    static QString GetJobFileIconKey(const FtpTask &job);
    static const QColor &Blue();
    static const QColor &Red();

    FtpTaskCollection JobQueue{FtpTaskCollection::Counting::Statuses};
    FtpTaskCollection RefusedJobs;
    qint64 JobSerial = 0;
    int RepeatedJobErrors = 0;
    int ActiveJobCount = 0;
    int FailedJobCount = 0;
    int CompletedJobCount = 0;

    QString TasksFile; // System folder + "/tasks.xqr"
    QString JobsFolder;

    QTreeView *LVJob = nullptr;
    JobListModel *Rows = nullptr;
    // Its text changes with every job that starts or ends: a label whose
    // size follows its text would lay the whole window out each time.
    ElidingLabel *lblJobInfo = nullptr;
    QPlainTextEdit *txtJobInfo = nullptr;
    QSplitter *splJobInfo = nullptr;
    QTimer Timer3;
    QAction *mnuJLoad = nullptr;       // "Load Pending Jobs"
    QAction *mnuJLoadCustom = nullptr; // "Load Saved Jobs..."
    QAction *mnuJSaveCustom = nullptr; // "Save To Job File..."

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addRow(const FtpTask &job);
    // The counters of the summary, as the queue keeps them; returns the number of jobs.
    int countJobs();
    void showJobCounts(int total);
    void updateSaveItem();

    Host m_host;
    std::function<void()> m_dispatcher;
    std::function<void(bool)> m_resetBatchAnswers;
    FtpTask::OverwriteQuestion m_overwriteQuestion;
    DropHandler m_drop;
    // The queue holds the jobs of the side copy (this run listed the default file or the copy).
    bool m_sideCopyListed = false;
};

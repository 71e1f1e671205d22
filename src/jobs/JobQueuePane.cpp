#include "JobQueuePane.h"

#include "EditSnapshots.h"
#include "ErrorLog.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "ModFTPTrelm.h"
#include "OptionFlags.h"
#include "Prompts.h"
#include "SaveTasks.h"
#include "SoundAlerts.h"
#include "StoredFile.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTextCursor>
#include <QTime>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

QString PercentText(const FtpTask &job)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double share = static_cast<double>(job.TransferedBytes()) / static_cast<double>(job.Size());
    return PadText(locale.toString(share * 100.0, 'f', 1) + QLatin1Char('%'), 7);
}

QString SizeText(const FtpTask &job)
{
    return PadText(job.Size() < 1 ? QStringLiteral("?") : QString::number(job.Size()), 12);
}

} // namespace

JobQueuePane::JobQueuePane(const KeyedImageList *pictures, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("JobQueue"));
    lblJobInfo = new ElidingLabel(QString(), this);
    lblJobInfo->setObjectName(QStringLiteral("lblJobInfo"));
    Rows = new JobListModel(pictures, this);
    LVJob = new QTreeView(this);
    LVJob->setObjectName(QStringLiteral("LVJob"));
    LVJob->setModel(Rows);
    LVJob->setRootIsDecorated(false);
    LVJob->setUniformRowHeights(true);
    LVJob->setAllColumnsShowFocus(true);
    LVJob->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LVJob->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVJob->setAcceptDrops(true);
    LVJob->setDropIndicatorShown(false);
    LVJob->viewport()->installEventFilter(this);
    txtJobInfo = new QPlainTextEdit(this);
    txtJobInfo->setObjectName(QStringLiteral("txtJobInfo"));
    txtJobInfo->setReadOnly(true);
    splJobInfo = new QSplitter(Qt::Horizontal, this);
    splJobInfo->setObjectName(QStringLiteral("splJobInfo"));
    splJobInfo->addWidget(LVJob);
    splJobInfo->addWidget(txtJobInfo);
    splJobInfo->setStretchFactor(0, 4);
    splJobInfo->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(lblJobInfo);
    layout->addWidget(splJobInfo, 1);

    mnuJLoad = new QAction(QStringLiteral("Load Pending Jobs"), this);
    mnuJLoad->setObjectName(QStringLiteral("mnuJLoad"));
    mnuJLoad->setEnabled(false);
    mnuJLoadCustom = new QAction(QStringLiteral("Load Saved Jobs..."), this);
    mnuJLoadCustom->setObjectName(QStringLiteral("mnuJLoadCustom"));
    mnuJSaveCustom = new QAction(QStringLiteral("Save To Job File..."), this);
    mnuJSaveCustom->setObjectName(QStringLiteral("mnuJSaveCustom"));
    connect(mnuJLoad, &QAction::triggered, this, &JobQueuePane::mnuJLoad_Click);
    connect(mnuJLoadCustom, &QAction::triggered, this, &JobQueuePane::mnuJLoadCustom_Click);
    connect(mnuJSaveCustom, &QAction::triggered, this, &JobQueuePane::mnuJSaveCustom_Click);
    connect(Rows, &QAbstractItemModel::rowsInserted, this, &JobQueuePane::updateSaveItem);
    connect(Rows, &QAbstractItemModel::rowsRemoved, this, &JobQueuePane::updateSaveItem);
    connect(Rows, &QAbstractItemModel::modelReset, this, &JobQueuePane::updateSaveItem);
    updateSaveItem();

    Timer3.setInterval(kTimer3Ms);
    connect(&Timer3, &QTimer::timeout, this, &JobQueuePane::Timer3_Timer);
}

JobQueuePane::~JobQueuePane() = default;

const QColor &JobQueuePane::Blue()
{
    static const QColor blue(0, 0, 255);
    return blue;
}

const QColor &JobQueuePane::Red()
{
    static const QColor red(255, 0, 0);
    return red;
}

void JobQueuePane::updateSaveItem()
{
    mnuJSaveCustom->setEnabled(Rows->rowCount() > 0);
}

void JobQueuePane::AcceptJobs(const FtpTaskCollection &jobs, bool report)
{
    try {
        int added = 0;
        int refused = 0;
        const bool autoStart = IsOptionOn(OptionFlag::AutoStartJobs);
        for (const auto &job : jobs) {
            if (job->LocalFileTitle().isEmpty() || job->RemoteFileTitle().isEmpty())
                continue;
            job->setLocked(!autoStart);
            if (AddJob(job))
                ++added;
            else
                ++refused;
        }
        ReportJobsAdded(report, added, refused);
        if (autoStart)
            RunQueuedJobs();
        UpdateJobSummary();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("AcceptJobs"));
    }
}

bool JobQueuePane::AddJob(const FtpTaskCollection::Job &job)
{
    if (!job)
        return false;
    ++JobSerial;
    if (!JobQueue.AddFtpTask(job)) {
        if (!RefusedJobs.AddFtpTask(job))
            ++RepeatedJobErrors;
        return false;
    }
    addRow(*job);
    return true;
}

void JobQueuePane::addRow(const FtpTask &job)
{
    std::array<QString, JobListModel::ColumnCount> cells;
    std::array<QString, JobListModel::ColumnCount> pictures;
    cells[JobListModel::File] = job.LocalFileTitle();
    pictures[JobListModel::File] = job.IsUpload() ? QStringLiteral("Upload") : QStringLiteral("Download");
    cells[JobListModel::LocalPath] = job.LocalPath();
    pictures[JobListModel::LocalPath] = GetJobFileIconKey(job);
    cells[JobListModel::RemotePath] = job.ServerAddress() + job.RemotePath();
    cells[JobListModel::Size] = SizeText(job);
    cells[JobListModel::Complete] = job.Size() < 1 ? PadText(QStringLiteral("?"), 7) : PercentText(job);
    cells[JobListModel::Status] = GetJobStatusText(job, false);
    pictures[JobListModel::Status] = GetStatusIconKey(job);
    Rows->AddRow(job.ZavUdeID(), cells, pictures);
}

void JobQueuePane::RefreshJobRow(const FtpTask &job)
{
    const QString key = job.ZavUdeID();
    Rows->SetText(key, JobListModel::Size, SizeText(job));
    Rows->SetText(key, JobListModel::Status, GetJobStatusText(job, false));
    Rows->SetPictureKey(key, JobListModel::Status, GetStatusIconKey(job));
    Rows->SetPictureKey(key, JobListModel::LocalPath, GetJobFileIconKey(job));
    UpdateJobProgress(job);
}

void JobQueuePane::RefreshJob(const QString &key)
{
    if (const FtpTaskCollection::Job job = JobQueue.Find(key)) {
        RefreshJobRow(*job);
        UpdateJobSummary();
    }
}

QStringList JobQueuePane::UnfinishedLocalFiles() const
{
    QStringList files;
    for (const FtpTaskCollection::Job &job : JobQueue) {
        if (job->Status() != 2)
            files << job->GetLocalFilePath();
    }
    return files;
}

QList<FtpTaskCollection::Job> JobQueuePane::UnfinishedJobsOf(const QString &path) const
{
    QList<FtpTaskCollection::Job> jobs;
    for (const FtpTaskCollection::Job &job : JobQueue) {
        if (job->Status() != 2 && job->GetLocalFilePath() == path)
            jobs << job;
    }
    return jobs;
}

bool JobQueuePane::UploadUnfinishedTo(const QString &targetKey) const
{
    return std::any_of(JobQueue.begin(), JobQueue.end(), [&](const FtpTaskCollection::Job &job) {
        return job->IsUpload() && job->Status() != 2 && JobTargetKey(*job) == targetKey;
    });
}

void JobQueuePane::FailJob(const QString &key, int reason, const QString &why)
{
    const FtpTaskCollection::Job job = JobQueue.Find(key);
    if (!job)
        return;
    job->setStatus(3);
    job->setFailureReason(reason);
    job->setLocked(true);
    RefreshJobRow(*job);
    ColorJobRow(*job, Red());
    AddJobInfoLine(why);
    UpdateJobSummary();
}

void JobQueuePane::ReportJobsAdded(bool report, int added, int refused)
{
    const auto balloon = [this](int kind, const QString &title, const QString &text) {
        if (m_host.showInfo)
            m_host.showInfo(kind, title, text);
    };
    if (report && added > 0) {
        const QString message = QString::number(added) + QStringLiteral(" Jobs were added to job list.");
        if (refused < 1) {
            balloon(1, QStringLiteral("Jobs Added !"), message);
            AddJobInfoLine(message);
        } else {
            AddJobInfoLine(message);
            balloon(2, QStringLiteral("Job Error !"),
                    QString::number(added) + QStringLiteral(" Jobs added to job list and ") + QString::number(refused) +
                        QStringLiteral(" jobs were discarded as they will create duplicate entries !"));
            ReportJobLoadErrors(false);
        }
    } else if (refused > 0) {
        ReportJobLoadErrors(true);
    }
}

void JobQueuePane::ReportJobLoadErrors(bool showNotice)
{
    if (showNotice && m_host.showInfo)
        m_host.showInfo(3, QStringLiteral("Job Error !"),
                        QStringLiteral("Either there were duplicate job request or some error has occurred while "
                                       "loading jobs! Duplicate jobs are based on local and ftp path and are "
                                       "categorized by upload or download."));
    QString tail;
    if (RepeatedJobErrors >= 1)
        tail = QStringLiteral("\r\n") + QString::number(RepeatedJobErrors) +
               QStringLiteral(" undefined or repeated errors !");
    AddJobInfoLine(QStringLiteral("Total ") + QString::number(RefusedJobs.Count()) +
                   QStringLiteral(" duplicate jobs discarded !") + tail);
}

void JobQueuePane::RunQueuedJobs()
{
    if (m_dispatcher)
        m_dispatcher();
}

void JobQueuePane::AddJobInfoLine(const QString &text)
{
    if (txtJobInfo->toPlainText().size() > kInfoBoxLimit)
        txtJobInfo->clear();
    QTextCursor cursor = txtJobInfo->textCursor();
    cursor.movePosition(QTextCursor::End);
    const QLocale locale;
    cursor.insertText(locale.toString(QTime::currentTime(), LongTimeFormat(locale)) + QStringLiteral("> ") + text +
                      QLatin1Char('\n'));
    txtJobInfo->setTextCursor(cursor);
}

void JobQueuePane::ColorJobRow(const FtpTask &job, const QColor &colour, int count)
{
    const QString key = job.ZavUdeID();
    Rows->SetColour(key, colour, count);
    Rows->SetPictureKey(key, count, GetStatusIconKey(job));
}

void JobQueuePane::UpdateJobProgress(const FtpTask &job)
{
    const QString key = job.ZavUdeID();
    if (job.Size() < 1) {
        Rows->SetText(key, JobListModel::Complete, PadText(QStringLiteral("?"), 7));
        return;
    }
    Rows->SetText(key, JobListModel::Complete, PercentText(job));
    Rows->SetText(key, JobListModel::TimeLeft, job.GetEstimatedTimeLeft());
}

void JobQueuePane::Timer3_Timer()
{
    try {
        for (const auto &job : JobQueue) {
            if (job->Status() == 1)
                UpdateJobProgress(*job);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer3_Timer"));
    }
}

int JobQueuePane::countJobs()
{
    // Kept by the queue as jobs change state: a walk of the queue at each job's end
    // would make a long run's summaries cost the square of its length.
    const JobStatusCounts &counts = JobQueue.StatusCounts();
    ActiveJobCount = counts.active;
    CompletedJobCount = counts.completed;
    FailedJobCount = counts.failed;
    return JobQueue.Count();
}

void JobQueuePane::showJobCounts(int total)
{
    const int queued = total - CompletedJobCount - FailedJobCount - ActiveJobCount;
    lblJobInfo->setText(QStringLiteral("  ( Total: ") + QString::number(total) + QStringLiteral("    Active: ") +
                        QString::number(ActiveJobCount) + QStringLiteral("    Completed: ") +
                        QString::number(CompletedJobCount) + QStringLiteral("    Failed: ") +
                        QString::number(FailedJobCount) + QStringLiteral("    Queued: ") + QString::number(queued) +
                        QStringLiteral(" )"));
}

void JobQueuePane::UpdateJobSummary()
{
    try {
        const int total = countJobs();
        const int queued = total - CompletedJobCount - FailedJobCount - ActiveJobCount;
        if (queued == 0 && total >= 2)
            PlayAlertSound(AlertSound::AllJobsProcessed);
        if (ActiveJobCount == 0 && m_resetBatchAnswers)
            m_resetBatchAnswers(true);
        if (IsOptionOn(OptionFlag::ClearCompletedJobs) && total >= 1 && CompletedJobCount == total) {
            AddJobInfoLine(QStringLiteral("Removing completed jobs (") + QString::number(CompletedJobCount) +
                           QStringLiteral(") from job list!"));
            Rows->Clear();
            JobQueue.Clear();
            return;
        }
        showJobCounts(total);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("UpdateJobSummary"));
    }
}

void JobQueuePane::RecountJobs()
{
    try {
        showJobCounts(countJobs());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RecountJobs"));
    }
}

QString JobQueuePane::SideCopyFile() const
{
    return QFileInfo(TasksFile).dir().filePath(QStringLiteral("tasks.loaded.xqr"));
}

QString JobQueuePane::PendingJobsFile() const
{
    const QString side = SideCopyFile();
    return !QFileInfo::exists(TasksFile) && QFileInfo::exists(side) ? side : TasksFile;
}

void JobQueuePane::LoadTasks(const QString &path)
{
    try {
        const bool isDefaultFile = path == TasksFile;
        // A run that listed the default file and ended without its close left the side copy only.
        const QString source = isDefaultFile ? PendingJobsFile() : path;
        const bool fromSideCopy = source != path;
        // This run's queue holds the side copy's jobs already.
        if (!QFileInfo::exists(source) || (fromSideCopy && m_sideCopyListed)) {
            UpdateJobSummary();
            return;
        }
        QString error;
        const auto content = JobFile::Read(source, JobSerial, &error);
        if (!content) {
            LogErrorToFile(kObject, QStringLiteral("LoadTasks"), ErrorNumber::PathFileAccess, error);
            AddJobInfoLine(error);
            UpdateJobSummary();
            return;
        }
        int added = 0;
        int refused = 0;
        // A job file is untrusted: an edit job whose snapshot is reached
        // through a link, or changed, loads as failed and says why.
        const EditSnapshots snapshots(EditSnapshots::DefaultFolder());
        snapshots.ReplaceLink();
        for (const auto &job : content->jobs) {
            if (!JobQueue.AddFtpTask(job)) {
                if (!RefusedJobs.AddFtpTask(job))
                    ++RepeatedJobErrors;
                ++refused;
                continue;
            }
            if (job->Status() == 0 || job->Status() == 3) {
                snapshots.ReplaceLinks(*job);
                if (const std::optional<SnapshotFault> fault = snapshots.FaultOf(*job)) {
                    job->setStatus(3);
                    job->setFailureReason(fault->reason);
                    AddJobInfoLine(fault->text);
                }
            }
            addRow(*job);
            if (job->Status() == 3)
                ColorJobRow(*job, Red());
            ++added;
        }

        // The side copy's unreadable lines were kept aside when it was still the default file.
        const bool consumes = isDefaultFile && !fromSideCopy;
        bool keptAside = true;
        if (!content->unreadable.isEmpty()) {
            QString where;
            if (consumes) {
                const QString unread = QFileInfo(path).dir().filePath(QStringLiteral("tasks.unread.xqr"));
                keptAside = StoredFile::AppendLine(unread, content->unreadable.join("\r\n"), StoredFile::Privacy::Private);
                where = keptAside ? QStringLiteral(" They were kept in '") + unread + QStringLiteral("'.")
                                  : QStringLiteral(" The file was kept.");
            }
            AddJobInfoLine(QString::number(content->unreadable.size()) + QStringLiteral(" unreadable jobs in '") +
                           QFileInfo(source).fileName() + QStringLiteral("' were not loaded.") + where);
        }
        ReportJobsAdded(true, added, refused);
        if (isDefaultFile && (fromSideCopy || keptAside))
            m_sideCopyListed = true;
        // The default file is consumed by loading it, unless a line could not be
        // kept aside; it becomes the side copy, which the next close's save ends.
        if (consumes && keptAside) {
            const QString side = SideCopyFile();
            QFile::remove(side);
            if (!QFile::rename(path, side) && !QFile::remove(path))
                LogErrorToFile(kObject, QStringLiteral("LoadTasks"), ErrorNumber::PermissionDenied,
                               QStringLiteral("Permission denied: ") + path);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadTasks"));
    }
    UpdateJobSummary();
}

bool JobQueuePane::SaveQueue(const QString &path, bool append, bool force,
                             const std::set<const FtpTask *> &stoppedByClose)
{
    JobSaveOptions options;
    options.autoSavePending = IsOptionOn(OptionFlag::AutoSavePendingJobs);
    options.autoSaveFailed = IsOptionOn(OptionFlag::AutoSaveFailedJobs);
    options.stoppedByClose = stoppedByClose;
    const bool isDefaultFile = path == TasksFile;
    const QString side = SideCopyFile();
    // Jobs a run that crashed had listed, which this run did not list: they
    // stay pending, ahead of this run's jobs.
    if (isDefaultFile && !m_sideCopyListed && !QFileInfo::exists(path) && QFileInfo::exists(side)
        && !QFile::rename(side, path))
        LogErrorToFile(kObject, QStringLiteral("SaveQueue"), ErrorNumber::PermissionDenied,
                       QStringLiteral("Permission denied: ") + side);
    const JobSaveResult saved = SaveJobs(path, JobQueue, append, force, options, window());
    if (isDefaultFile && m_sideCopyListed && !saved.failed) {
        if (QFileInfo::exists(side) && !QFile::remove(side))
            LogErrorToFile(kObject, QStringLiteral("SaveQueue"), ErrorNumber::PermissionDenied,
                           QStringLiteral("Permission denied: ") + side);
        m_sideCopyListed = false;
    }
    return saved.written;
}

void JobQueuePane::mnuJLoad_Click()
{
    try {
        LoadTasks(TasksFile);
        UpdateJobSummary();
        mnuJLoad->setEnabled(false);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuJLoad_Click"));
    }
}

void JobQueuePane::mnuJLoadCustom_Click()
{
    try {
        FileRequest request;
        request.kind = FileRequest::Kind::OpenFile;
        request.title = QStringLiteral("Load Saved Jobs");
        request.startPath = JobsFolder;
        request.filter = QStringLiteral("Ftp Qor Jobs File(*.xqr)");
        const auto chosen = Prompts::current().chooseFile(window(), request);
        if (!chosen || chosen->isEmpty())
            return;
        LoadTasks(*chosen);
        UpdateJobSummary();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuJLoadCustom_Click"));
    }
}

void JobQueuePane::mnuJSaveCustom_Click()
{
    try {
        if (ActiveJobCount > 0) {
            const PromptButton answer = ShowMessage(
                window(), PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Active Tasks - Warning"),
                QStringLiteral("At least one job is active and it is not good idea to save dirty tasks!\r\n\r\nSave anyway ?"));
            if (answer != PromptButton::Yes)
                return;
        }
        const QString chosen = AskJobFileName(window(), JobsFolder);
        if (chosen.isEmpty())
            return;
        SaveTasks(chosen, JobQueue, true, true, {}, window());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuJSaveCustom_Click"));
    }
}

QString JobQueuePane::GetStatusIconKey(const FtpTask &job)
{
    switch (job.Status()) {
    case 0: return QStringLiteral("ideal");
    case 1: return QStringLiteral("a");
    case 2: return QStringLiteral("correct");
    case 3:
        switch (job.FailureReason()) {
        case 1:
        case 4: return QStringLiteral("fm");
        case 2:
        case 3:
        case 5:
        case 6: return QStringLiteral("fchg");
        case 7:
        case 8: return QStringLiteral("usrcnc");
        case 9:
        case 10: return QStringLiteral("filelock");
        default: return QStringLiteral("error");
        }
    default: return {};
    }
}

QString JobQueuePane::GetJobFileIconKey(const FtpTask &job)
{
    const QFileInfo local(job.GetLocalFilePath());
    if (job.IsUpload())
        return local.exists() ? QStringLiteral("open") : QStringLiteral("err");
    if (local.exists() && job.Status() != 2 && local.size() > job.TransferedBytes())
        return QStringLiteral("w");
    return QStringLiteral("open");
}

bool JobQueuePane::DropRows(const QMimeData *data, const QObject *source)
{
    if (!m_drop.accepts || !m_drop.accepts(data, source))
        return false;
    if (m_drop.dropped)
        m_drop.dropped(data, source);
    return true;
}

bool JobQueuePane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != LVJob->viewport())
        return QWidget::eventFilter(watched, event);
    try {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (m_drop.accepts && m_drop.accepts(drag->mimeData(), drag->source()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (DropRows(drop->mimeData(), drop->source()))
                drop->acceptProposedAction();
            else
                drop->ignore();
            return true;
        }
        default:
            break;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LVJob_OLEDragDrop"));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

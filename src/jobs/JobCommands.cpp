#include "JobCommands.h"

#include "BatchAnswers.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "FramePacer.h"
#include "FtpStatusStrip.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "KeyedImageList.h"
#include "ModFTPTrelm.h"
#include "ModListView.h"
#include "OptionFlags.h"
#include "Prompts.h"
#include "SoundAlerts.h"
#include "frmTask.h"
#include "frmTaskDetails.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTreeView>
#include <QUrl>

#include <set>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");
// The pop-up by keyboard opens this far right of the list's left edge.
constexpr int kMenuKeyOffsetPx = 80;

} // namespace

JobCommands::JobCommands(JobQueuePane &pane, BatchAnswers &answers, JobDataPorts ports, QObject *parent,
                         const JobDispatcher::TimerFactory &timers)
    : QObject(parent), m_pane(pane), m_answers(answers), m_dispatcher(*this, ports, nullptr, timers)
{
    m_dispatcher.setParent(this);
    // A sent snapshot has done its work.
    connect(&m_dispatcher, &JobDispatcher::jobCompleted, this,
            [this](const FtpTaskCollection::Job &job) { m_snapshots.Release(*job); });
    buildActions();
    m_pane.setDispatcher([this] { m_dispatcher.RunQueuedJobs(); });
    m_pane.setOverwriteQuestion([this](const QString &text) { return AskDownloadOverwrite(text); });
    // Jobs that waited for a question on screen, whoever asked it, go on once
    // it closes. The answers may outlive the commands or die first: the call
    // checks the dispatcher is still there, and nobody touches the answers at
    // destruction.
    m_answers.OverwriteQuestionClosed = [dispatcher = QPointer<JobDispatcher>(&m_dispatcher)] {
        if (dispatcher)
            dispatcher->OverwriteQuestionClosed();
    };

    // The connections' status strips, in a row under the list, each shown while it runs a job.
    // The row keeps its height while no strip shows: were it to come and go with the jobs, the
    // list (and, where the window is small, everything above it) would move under the mouse.
    auto *row = new QWidget(&m_pane);
    row->setObjectName(QStringLiteral("JobConnections"));
    auto *strips = new QHBoxLayout(row);
    strips->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < JobDispatcher::kConnections; ++i) {
        auto *strip = new FtpStatusStrip(row);
        strip->setObjectName(QStringLiteral("FtpJobs") + QString::number(i));
        strip->setEngine(m_dispatcher.FtpJobs(i));
        strip->setFixedHeight(14);
        QSizePolicy keepsRoom = strip->sizePolicy();
        keepsRoom.setRetainSizeWhenHidden(true);
        strip->setSizePolicy(keepsRoom);
        strip->hide();
        strips->addWidget(strip, 1);
        m_strips[static_cast<size_t>(i)] = strip;
    }
    if (m_pane.layout())
        m_pane.layout()->addWidget(row);
    m_stripHiding.setSingleShot(true);
    m_stripHiding.setInterval(FramePacer::kFrameMs);
    connect(&m_stripHiding, &QTimer::timeout, this, [this] {
        for (size_t i = 0; i < m_strips.size(); ++i) {
            if (!m_stripWanted[i])
                m_strips[i]->hide();
        }
    });

    m_filteredList = m_pane.LVJob;
    m_filteredViewport = m_pane.LVJob->viewport();
    m_pane.LVJob->installEventFilter(this);
    m_pane.LVJob->viewport()->installEventFilter(this);
    connect(m_pane.LVJob, &QTreeView::doubleClicked, this, [this] {
        if (!selectedKeys().isEmpty())
            mnuJView_Click();
    });
    m_pane.LVJob->header()->setSectionsClickable(true);
    connect(m_pane.LVJob->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { HandleLVSort(m_pane.LVJob, column); });
}

JobCommands::~JobCommands() = default;

void JobCommands::buildActions()
{
    const auto action = [this](const QString &name, const QString &caption, auto handler) {
        auto *item = new QAction(caption, this);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, [this, handler] {
            try {
                handler();
            } catch (...) {
                LogCurrentException(kObject, objectName());
            }
        });
        return item;
    };
    mnuJAdd = action(QStringLiteral("mnuJAdd"), QStringLiteral("Add..."), [this] { mnuJAdd_Click(); });
    mnuJEdit = action(QStringLiteral("mnuJEdit"), QStringLiteral("Edit..."), [] {});
    mnuJRemove = action(QStringLiteral("mnuJRemove"), QStringLiteral("&Delete..."), [this] {
        if (ConfirmDeleteJobs(0))
            RemoveJob(3, true);
        UpdateJobSummary();
    });
    mnuJView = action(QStringLiteral("mnuJView"), QStringLiteral("View Details..."), [this] { mnuJView_Click(); });
    mnuJOpenFolder = action(QStringLiteral("mnuJOpenFolder"), QStringLiteral("Open ontaining Folder..."),
                            [this] { mnuJOpenFolder_Click(); });
    mnuJCpyLoc = action(QStringLiteral("mnuJCpyLoc"), QStringLiteral("Copy Local File Path"),
                        [this] { mnuJCpyLoc_Click(); });
    mnuJCpyFtp = action(QStringLiteral("mnuJCpyFtp"), QStringLiteral("Copy Ftp File Path"),
                        [this] { mnuJCpyFtp_Click(); });
    mnuJStart = action(QStringLiteral("mnuJStart"), QStringLiteral("Start"), [this] {
        m_answers.ResetBatchAnswers(true);
        StartJob(true, true, false);
    });
    mnuJResume = action(QStringLiteral("mnuJResume"), QStringLiteral("&Resume"), [this] { StartJob(true, true, true); });
    MnuJStop = action(QStringLiteral("MnuJStop"), QStringLiteral("Stop"), [this] { StartJob(true, false, false); });
    mnuJStartAll = action(QStringLiteral("mnuJStartAll"), QStringLiteral("Start All"), [this] {
        m_answers.ResetBatchAnswers(true);
        StartJob(false, true, false);
    });
    MnuJStopAll = action(QStringLiteral("MnuJStopAll"), QStringLiteral("Stop All"), [this] { StartJob(false, false, false); });
    mnuJClrComp = action(QStringLiteral("mnuJClrComp"), QStringLiteral("Delete Completed"), [this] {
        if (ConfirmDeleteJobs(1))
            RemoveJob(2, false);
        UpdateJobSummary();
    });
    mnuJClrFailed = action(QStringLiteral("mnuJClrFailed"), QStringLiteral("Delete Failed"), [this] {
        if (ConfirmDeleteJobs(2))
            RemoveJob(3, false);
        UpdateJobSummary();
    });
    mnuJClrAll = action(QStringLiteral("mnuJClrAll"), QStringLiteral("Delete All"), [this] { mnuJClrAll_Click(); });
}

void JobCommands::FillJobMenu(QMenu *menu)
{
    m_menu = menu;
    QAction *before = m_pane.mnuJLoad;
    const auto separator = [this, menu, before] {
        auto *line = new QAction(this);
        line->setSeparator(true);
        menu->insertAction(before, line);
    };
    menu->insertActions(before, {mnuJAdd, mnuJEdit, mnuJRemove});
    separator();
    menu->insertActions(before, {mnuJView, mnuJOpenFolder, mnuJCpyLoc, mnuJCpyFtp});
    separator();
    menu->insertActions(before, {mnuJStart, mnuJResume, MnuJStop, mnuJStartAll, MnuJStopAll});
    separator();
    menu->insertActions(before, {mnuJClrComp, mnuJClrFailed, mnuJClrAll});
    separator();
    connect(menu, &QMenu::aboutToShow, this, &JobCommands::EnableJobMenu);
}

QStringList JobCommands::selectedKeys() const
{
    QStringList keys;
    const QItemSelectionModel *selection = m_pane.LVJob->selectionModel();
    if (!selection)
        return keys;
    QList<int> rows;
    for (const QModelIndex &index : selection->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        keys << m_pane.Rows->KeyAt(row);
    return keys;
}

FtpTaskCollection::Job JobCommands::selectedJob() const
{
    const QStringList keys = selectedKeys();
    return keys.size() == 1 ? m_pane.JobQueue.Find(keys.constFirst()) : FtpTaskCollection::Job();
}

void JobCommands::EnableJobMenu()
{
    try {
        // The counters of the last summary: opening a menu plays, clears and resets nothing.
        const int total = m_pane.Rows->rowCount();
        const QList<QAction *> rowItems = {mnuJStart,   MnuJStop,   MnuJStopAll, mnuJStartAll, mnuJClrAll,
                                           mnuJClrComp, mnuJClrFailed, mnuJRemove, mnuJOpenFolder, mnuJCpyFtp,
                                           mnuJCpyLoc, m_pane.mnuJSaveCustom, mnuJEdit, mnuJView};
        if (total == 0) {
            for (QAction *item : rowItems)
                item->setEnabled(false);
            return;
        }
        m_pane.mnuJSaveCustom->setEnabled(true);
        const QStringList keys = selectedKeys();
        int counted = 0;
        int common = -1;
        bool mixed = false;
        bool resumable = true;
        for (const QString &key : keys) {
            const FtpTaskCollection::Job job = m_pane.JobQueue.Find(key);
            if (!job)
                continue;
            if (counted++ == 0)
                common = job->Status();
            else if (job->Status() != common)
                mixed = true;
            resumable = resumable && job->OffersResume();
        }
        const bool one = keys.size() == 1;
        for (QAction *item : {mnuJOpenFolder, mnuJCpyLoc, mnuJCpyFtp, mnuJEdit, mnuJView})
            item->setEnabled(one);
        const bool usable = counted > 0 && !mixed;
        mnuJStart->setEnabled(usable && (common == 0 || common == 3));
        MnuJStop->setEnabled(usable && common == 1);
        mnuJRemove->setEnabled(usable && common != 1);
        // Every selected job: with none selected the command is offered and does nothing.
        mnuJResume->setEnabled(resumable);
        const int queued = m_pane.JobQueue.Count();
        MnuJStopAll->setEnabled(m_pane.ActiveJobCount >= 1);
        mnuJStartAll->setEnabled(queued - m_pane.ActiveJobCount - m_pane.CompletedJobCount >= 1);
        mnuJClrAll->setEnabled(m_pane.ActiveJobCount == 0 && queued >= 1);
        mnuJClrComp->setEnabled(m_pane.CompletedJobCount >= 1);
        mnuJClrFailed->setEnabled(m_pane.FailedJobCount >= 1);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("EnableJobMenu"));
    }
}

void JobCommands::stopJob(FtpTask &job)
{
    job.setLocked(true);
    if (job.Status() == 2)
        return;
    job.setStatus(3);
    job.setFailureReason(7);
    job.setIsResume(false);
    ColorJobRow(job, kRed);
    ShowJobStatus(job);
}

void JobCommands::StartJob(bool selectedOnly, bool start, bool resume)
{
    try {
        QStringList keys;
        if (selectedOnly) {
            keys = selectedKeys();
            if (keys.isEmpty()) {
                UpdateJobSummary();
                return;
            }
        } else {
            for (int row = 0; row < m_pane.Rows->rowCount(); ++row)
                keys << m_pane.Rows->KeyAt(row);
        }
        bool stoppedRunning = false;
        for (const QString &key : keys) {
            const int running = m_dispatcher.RunningIndex(key);
            if (running >= 0) {
                if (!start) {
                    m_dispatcher.StopRunningJob(running, true);
                    stoppedRunning = true;
                }
                continue;
            }
            const FtpTaskCollection::Job job = m_pane.JobQueue.Find(key);
            if (!job)
                continue;
            if (start) {
                // A completed edit job's snapshot went once it was sent: there
                // is nothing left to send again, and the job stays as it ended.
                if (job->Status() == 2 && m_snapshots.Holds(*job) && !QFileInfo::exists(job->GetLocalFilePath()))
                    continue;
                if (job->Status() != 1) {
                    job->setLocked(false);
                    job->setIsResume(resume);
                    job->setFailureReason(0);
                }
            } else {
                stopJob(*job);
            }
        }
        if (start) {
            m_dispatcher.RunQueuedJobs();
        } else {
            m_pane.RecountJobs(); // what the menu and the summary line read from now on
            // A connection a stopped job left takes the next job that waits
            // (for a connection, or for the file the stopped one wrote).
            if (stoppedRunning)
                m_dispatcher.RequestRun();
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("StartJob"));
    }
}

// Every qualifying row goes in one pass; a job a connection runs never does.
void JobCommands::RemoveJob(int status, bool selectedOnly)
{
    try {
        if (m_pane.Rows->rowCount() == 0)
            return;
        std::set<QString> selected;
        if (selectedOnly) {
            for (const QString &key : selectedKeys())
                selected.insert(key.toLower());
        }
        const auto qualifies = [&](const FtpTask &job) {
            if (job.Status() == 1 || m_dispatcher.RunningIndex(job.ZavUdeID()) >= 0)
                return false;
            return selectedOnly ? selected.count(job.ZavUdeID().toLower()) > 0 : job.Status() == status;
        };
        std::set<QString> removed;
        m_pane.JobQueue.RemoveIf([&](const FtpTask &job) {
            if (!qualifies(job))
                return false;
            removed.insert(job.ZavUdeID().toLower());
            m_snapshots.Release(job);
            return true;
        });
        m_pane.Rows->RemoveRows([&](const QString &key) { return removed.count(key.toLower()) > 0; });
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RemoveJob"));
    }
}

bool JobCommands::ConfirmDeleteJobs(int mode)
{
    static const QString which[] = {QStringLiteral("the selected"), QStringLiteral("the completed"),
                                    QStringLiteral("the failed"), QStringLiteral("all the")};
    const QString text = QStringLiteral("Delete ") + which[std::clamp(mode, 0, 3)] + QStringLiteral(" jobs ?")
                         + QStringLiteral("\r\n\r\n") + QStringLiteral("Deleted jobs cannot be retrieved from 'Pending Job List'.");
    return AskBeforeDestroying(m_window.owner, QStringLiteral("Delete Jobs ?"), text)
           != PromptButton::No;
}

void JobCommands::mnuJClrAll_Click()
{
    if (!ConfirmDeleteJobs(3))
        return;
    // A job may have been started while the question was open: it stays.
    std::set<QString> removed;
    m_pane.JobQueue.RemoveIf([&](const FtpTask &job) {
        if (job.Status() == 1 || m_dispatcher.RunningIndex(job.ZavUdeID()) >= 0)
            return false;
        removed.insert(job.ZavUdeID().toLower());
        m_snapshots.Release(job);
        return true;
    });
    m_pane.Rows->RemoveRows([&](const QString &key) { return removed.count(key.toLower()) > 0; });
    UpdateJobSummary();
}

void JobCommands::PopUpJobMenu(const QPoint &globalPosition)
{
    if (!m_menu)
        return;
    EnableJobMenu();
    m_menu->popup(globalPosition);
}

bool JobCommands::eventFilter(QObject *watched, QEvent *event)
{
    try {
        if (event->type() == QEvent::KeyPress && watched == m_filteredList
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Menu) {
            PopUpJobMenu(m_pane.LVJob->mapToGlobal(QPoint(kMenuKeyOffsetPx, 0)));
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && watched == m_filteredViewport
            && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
            PopUpJobMenu(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
            return true;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LVJob_KeyDown"));
    }
    return QObject::eventFilter(watched, event);
}

void JobCommands::mnuJAdd_Click()
{
    ModalHolders::Hold hold;
    if (m_window.modal)
        hold = m_window.modal->Take();
    frmTask dialog(m_pane, m_window.pictures, m_window.owner);
    if (m_window.localFolder)
        dialog.setLocalFolder(m_window.localFolder());
    dialog.exec();
}

void JobCommands::mnuJView_Click()
{
    const FtpTaskCollection::Job job = selectedJob();
    if (!job)
        return;
    static const KeyedImageList none;
    frmTaskDetails dialog(m_window.pictures ? *m_window.pictures : none, m_window.owner);
    dialog.ShowTaskDetails(*job);
}

void JobCommands::mnuJOpenFolder_Click()
{
    if (const FtpTaskCollection::Job job = selectedJob())
        QDesktopServices::openUrl(QUrl::fromLocalFile(job->LocalPath()));
}

void JobCommands::mnuJCpyLoc_Click()
{
    if (const FtpTaskCollection::Job job = selectedJob()) {
        QClipboard *clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setText(job->LocalPath() + QLatin1Char('/') + job->LocalFileTitle());
    }
}

void JobCommands::mnuJCpyFtp_Click()
{
    if (const FtpTaskCollection::Job job = selectedJob()) {
        QClipboard *clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setText(job->ServerAddress() + job->GetRemoteFilePath());
    }
}

// --- the dispatcher's view of the list ---------------------------------------

FtpTaskCollection &JobCommands::JobQueue() { return m_pane.JobQueue; }

void JobCommands::ShowJobStep(const FtpTask &job, const QString &step)
{
    m_pane.Rows->SetText(job.ZavUdeID(), JobListModel::Status, step);
}

// A pass that asks an overwrite question is held until it is answered, and
// the summary line is brought up to date only at a pass's end: meanwhile a
// job's new status is counted at once.
void JobCommands::ShowJobStatus(const FtpTask &job)
{
    m_pane.Rows->SetText(job.ZavUdeID(), JobListModel::Status, GetJobStatusText(job, false));
    m_pane.Rows->SetPictureKey(job.ZavUdeID(), JobListModel::Status, JobQueuePane::GetStatusIconKey(job));
    // A finished download has overwritten the file the warning was about.
    m_pane.Rows->SetPictureKey(job.ZavUdeID(), JobListModel::LocalPath, JobQueuePane::GetJobFileIconKey(job));
    if (m_answers.OverwriteQuestionOpen)
        m_pane.RecountJobs();
}

void JobCommands::ColorJobRow(const FtpTask &job, unsigned colour)
{
    m_pane.ColorJobRow(job, colour == kBlue ? JobQueuePane::Blue() : JobQueuePane::Red());
}

void JobCommands::ShowJobSize(const FtpTask &job)
{
    m_pane.Rows->SetText(job.ZavUdeID(), JobListModel::Size, PadText(QString::number(job.Size()), 12));
}

void JobCommands::UpdateJobProgress(const FtpTask &job) { m_pane.UpdateJobProgress(job); }

void JobCommands::ClearTimeLeft(const FtpTask &job)
{
    m_pane.Rows->SetText(job.ZavUdeID(), JobListModel::TimeLeft, QString());
}

void JobCommands::UpdateJobSummary() { m_pane.UpdateJobSummary(); }

void JobCommands::AddLog(const QString &text, int colour, int style)
{
    if (m_window.addLog)
        m_window.addLog(text, colour, style);
}

void JobCommands::PlayAlertSound(int alert) { ::PlayAlertSound(alert); }

void JobCommands::MarkDirCacheDirty(const QString &server, const QString &folder)
{
    if (m_window.markDirCacheDirty)
        m_window.markDirCacheDirty(server, folder);
}

void JobCommands::DownloadArrived(const QString &localPath)
{
    if (m_window.downloadArrived)
        m_window.downloadArrived(localPath);
}

bool JobCommands::IsOptionOn(Option option) const
{
    switch (option) {
    case Option::ConfirmOverwrite:
        return ::IsOptionOn(OptionFlag::ConfirmOverwrite);
    case Option::SkipUploadResumeOnTimeChange:
        return ::IsOptionOn(OptionFlag::SkipUploadResumeIfLocalTimeChanged);
    case Option::SkipDownloadResumeOnTimeChange:
        return ::IsOptionOn(OptionFlag::SkipDownloadResumeIfRemoteTimeChanged);
    }
    return false;
}

bool &JobCommands::runFlag(RunFlag flag) const
{
    switch (flag) {
    case RunFlag::DownloadOverwriteAll:
        return m_answers.DownloadOverwriteAll;
    case RunFlag::DownloadSkipAll:
        return m_answers.DownloadSkipAll;
    case RunFlag::UploadOverwriteAll:
        return m_answers.UploadOverwriteAll;
    case RunFlag::UploadSkipAll:
        break;
    }
    return m_answers.UploadSkipAll;
}

bool JobCommands::RunFlagSet(RunFlag flag) const { return runFlag(flag); }

void JobCommands::SetRunFlag(RunFlag flag, bool value) { runFlag(flag) = value; }

bool JobCommands::OverwriteQuestionOpen() const { return m_answers.OverwriteQuestionOpen; }

// The dispatcher asks only while no other question is up, and closes what it opened.
void JobCommands::SetOverwriteQuestionOpen(bool open)
{
    m_answers.OverwriteQuestionOpen = open;
    if (!open)
        m_dispatcher.OverwriteQuestionClosed();
}

// Jobs that ended since the pass began read so in the summary line while a question is up.
bool JobCommands::ConfirmFtpOverwrite(const QString &remoteFile)
{
    m_pane.RecountJobs();
    return m_window.confirmFtpOverwrite && m_window.confirmFtpOverwrite(remoteFile);
}

QString JobCommands::AskDownloadOverwrite(const QString &text)
{
    m_pane.RecountJobs();
    return m_window.askDownloadOverwrite ? m_window.askDownloadOverwrite(text) : QString();
}

void JobCommands::SetProgressTimer(bool on)
{
    if (on && !m_pane.Timer3.isActive())
        m_pane.Timer3.start();
    else if (!on)
        m_pane.Timer3.stop();
}

void JobCommands::SessionsChanged()
{
    if (m_window.sessionsChanged)
        m_window.sessionsChanged();
}

void JobCommands::ShowConnection(int index, bool shown)
{
    if (index < 0 || index >= JobDispatcher::kConnections)
        return;
    const auto i = static_cast<size_t>(index);
    m_stripWanted[i] = shown;
    if (shown)
        m_strips[i]->show();
    else if (!m_stripHiding.isActive())
        m_stripHiding.start();
}

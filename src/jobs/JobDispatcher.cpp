#include "JobDispatcher.h"

#include "ErrorLog.h"
#include "FtpCommander.h"
#include "JobDispatchHost.h"
#include "ModFTPTrelm.h"
#include "Paths.h"
#include "ReplyCodes.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>

#include <utility>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

constexpr int kAlertCompleted = 2;
constexpr int kAlertFailed = 4;

// Failure reasons the dispatcher sets.
constexpr qint64 kSizeChanged = 2;
constexpr qint64 kRemoteTimeChanged = 3;
constexpr qint64 kSkipped = 8;
constexpr qint64 kServerDenied = 9;
constexpr qint64 kLocalProblem = 10;
constexpr qint64 kNetworkError = 11;
constexpr qint64 kConnectionReset = 12;
// The engine's error number for a local file it cannot open, read or write.
constexpr long kLocalFileError = 12;

// A folder walk may come back to its target level once more (a folder the
// server says exists but will not enter); after that the job fails.
constexpr int kWalkStartsAllowed = 2;

QString Now() { return FtpTask::FormatTime(QDateTime::currentDateTime()); }

// The first reply to one command of a LastCommandSink ("command|codes||code|text").
SinkReply FirstReplyOf(const QString &sinkLine)
{
    // The first "|codes||ddd|" ends the command: the path is ours, the text the server's.
    static const QRegularExpression entry(QStringLiteral("^.*?\\|[^|]*\\|\\|(\\d{3})\\|(.*)$"));
    const QRegularExpressionMatch match = entry.match(sinkLine);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toInt(), match.captured(2)};
}

bool IsRefusal(int code) { return ReplyCodes::IsRefusal(QString::number(code)); }

// A refusal whose code names no cause that may pass (the session, the data
// connection, a busy file, the server's space): resumed later, the transfer
// may well go on after those.
bool RefusesRestart(int code)
{
    return IsRefusal(code) && !ReplyCodes::MayPass(ReplyCodes::CauseOf(QString::number(code)));
}

bool IsTransferCommand(const QString &sinkLine)
{
    for (const char *verb : {"STOR ", "RETR ", "APPE "}) {
        if (sinkLine.startsWith(QLatin1String(verb), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

SinkReply LastSinkReply(const QString &commandSink)
{
    return FirstReplyOf(commandSink.split(QStringLiteral("\r\n")).constLast());
}

bool IsRefusedRestart(const QString &commandSink)
{
    const QStringList lines = commandSink.split(QStringLiteral("\r\n"));
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString &line = lines[i];
        if (!line.startsWith(QStringLiteral("REST "), Qt::CaseInsensitive))
            continue;
        if (line.section(QLatin1Char('|'), 0, 0).mid(5).trimmed() == QLatin1String("0"))
            return false; // a fresh transfer's REST 0 restarts nothing
        const int rest = FirstReplyOf(line).code;
        if (IsRefusal(rest))
            return RefusesRestart(rest);
        if (rest / 100 != 3 || i + 1 >= lines.size() || !IsTransferCommand(lines[i + 1]))
            return false;
        // Refused outright, before any preliminary reply, and for no cause
        // of its own (proftpd's "451 Append/Restart not permitted").
        return RefusesRestart(FirstReplyOf(lines[i + 1]).code);
    }
    return false;
}

bool IsFolderExistsReply(const QString &commandSink)
{
    const SinkReply reply = LastSinkReply(commandSink);
    return reply.code != 0 && reply.text.contains(QStringLiteral("exist"), Qt::CaseInsensitive);
}

bool SessionFitsJob(const FtpCommander &connection, const FtpTask &job)
{
    return connection.ServerUrl() == job.ServerAddress() && connection.Port() == job.ServerPort()
           && connection.User() == job.User() && connection.Password() == job.Password()
           && connection.mode() == job.TransferMode();
}

JobDispatcher::JobDispatcher(JobDispatchHost &host, DataPorts ports, QObject *parent, const TimerFactory &timers)
    : QObject(parent), m_host(host)
{
    for (int i = 0; i < kConnections; ++i) {
        auto *engine = new FtpCommander(this, timers ? timers(i) : nullptr);
        engine->setObjectName(QStringLiteral("FtpJobs") + QString::number(i));
        engine->SetStartUpPort(ports.first + ports.spacing * i, ports.width);
        engine->setIsVisible(true);
        m_connections[static_cast<size_t>(i)].engine = engine;
        wireEngine(i);
    }
}

JobDispatcher::~JobDispatcher()
{
    for (Connection &connection : m_connections) {
        connection.engine->setLinkedTask(nullptr);
        disconnect(connection.engine, nullptr, this, nullptr);
    }
}

void JobDispatcher::wireEngine(int i)
{
    FtpCommander *e = m_connections[static_cast<size_t>(i)].engine;
    connect(e, &FtpCommander::JobDone, this, [this, i] { FtpJobs_JobDone(i); });
    connect(e, &FtpCommander::Error, this,
            [this, i](long code, const QString &description, bool sessionClosed) {
                FtpJobs_Error(i, code, description, sessionClosed);
            });
    connect(e, &FtpCommander::FtpDisconnect, this, [this, i] { FtpJobs_FtpDisconnect(i); });
    connect(e, &FtpCommander::ConnectionFailed, this, [this, i] { FtpJobs_ConnectionFailed(i); });
    connect(e, &FtpCommander::FileSizeDiffer, this,
            [this, i](qint64, const QString &file, const QString &) { FtpJobs_FileSizeDiffer(i, file); });
    connect(e, &FtpCommander::FileDateTimeDiffer, this,
            [this, i](const QString &, const QString &file) { FtpJobs_FileDateTimeDiffer(i, file); });
    connect(e, &FtpCommander::FileSizeDetermined, this,
            [this, i](qint64 size, const QString &) { FtpJobs_FileSizeDetermined(i, size); });
    connect(e, &FtpCommander::FileDateTimeDetermined, this,
            [this, i](const QString &dateText, const QString &) { FtpJobs_FileDateTimeDetermined(i, dateText); });
    connect(e, &FtpCommander::DataProgress, this, [this, i](qint64 bytes) { FtpJobs_DataProgress(i, bytes); });
    connect(e, &FtpCommander::TransferAccepted, this, [this, i] { FtpJobs_TransferAccepted(i); });
    connect(e, &FtpCommander::DataPacket, this, [this](qint64 bytes) { m_jobByteCounter += bytes; });
    connect(
        e, &FtpCommander::ValidateUploadOverwrite, this,
        [this, i](int &allow, const QString &) { FtpJobs_ValidateUploadOverwrite(i, allow); }, Qt::DirectConnection);
    connect(e, &FtpCommander::ServerReplied, this,
            [this](const QString &, const QString &line) { FtpJobs_ServerReplied(line); });
    connect(e, &FtpCommander::CommandSent, this,
            [this](const QString &, const QString &command) { FtpJobs_CommandSent(command); });
}

FtpCommander *JobDispatcher::FtpJobs(int index) const
{
    if (index < 0 || index >= kConnections)
        return nullptr;
    return m_connections[static_cast<size_t>(index)].engine;
}

FtpTaskCollection::Job JobDispatcher::LinkedJob(int index) const
{
    if (index < 0 || index >= kConnections)
        return {};
    return m_connections[static_cast<size_t>(index)].job;
}

int JobDispatcher::RunningIndex(const QString &key) const
{
    for (int i = 0; i < kConnections; ++i) {
        const FtpTaskCollection::Job &job = m_connections[static_cast<size_t>(i)].job;
        if (job && job->ZavUdeID().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool JobDispatcher::AnySessionActive() const
{
    for (const Connection &connection : m_connections) {
        if (connection.engine->SessionActive())
            return true;
    }
    return false;
}

void JobDispatcher::setNetworkAvailable(bool available)
{
    const bool back = available && !m_networkAvailable;
    m_networkAvailable = available;
    if (back)
        RequestRun();
}

void JobDispatcher::RequestRun()
{
    if (m_runQueued)
        return;
    m_runQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_runQueued = false;
            RunQueuedJobs();
        },
        Qt::QueuedConnection);
}

void JobDispatcher::RunQueuedJobs()
{
    if (m_running) {
        m_runAgain = true;
        return;
    }
    m_running = true;
    QPointer<JobDispatcher> self(this);
    try {
        do {
            m_runAgain = false;
            dispatchPass();
        } while (self && m_runAgain);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RunQueuedJobs"));
    }
    if (!self)
        return;
    m_running = false;
    try {
        updateTimers();
        m_host.UpdateJobSummary();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RunQueuedJobs"));
    }
    emit passFinished();
}

void JobDispatcher::updateTimers()
{
    m_host.SetProgressTimer(AnySessionActive());
    m_host.SessionsChanged();
}

// Each idle connection gets the first eligible job; a refused candidate
// lets the next one be tried (each job once per pass). Nothing here holds
// a position in the queue across a question or an engine call.
void JobDispatcher::dispatchPass()
{
    std::set<const FtpTask *> tried;
    for (int i = 0; i < m_connectionLimit; ++i) {
        Connection &c = m_connections[static_cast<size_t>(i)];
        // A connection that still ends an operation of a job it let go is not idle yet.
        if (c.job || c.engine->isBusy())
            continue;
        bool linked = false;
        while (!linked) {
            const FtpTaskCollection::Job job = nextCandidate(tried);
            if (!job)
                break;
            tried.insert(job.get());
            if (wouldAskAboutDownload(*job) && m_host.OverwriteQuestionOpen()) {
                m_retryAfterQuestion = true; // asked once the question on screen is answered
                continue;
            }
            QString message;
            m_held.insert(job.get());
            QPointer<JobDispatcher> self(this);
            const bool accepted = checkCandidate(*job, message);
            if (!self)
                return;
            m_held.erase(job.get());
            if (!accepted) {
                if (!message.isEmpty())
                    m_host.AddLog(message, 3);
                if (isQueued(job)) {
                    m_host.ShowJobStatus(*job);
                    m_host.ColorJobRow(*job, JobDispatchHost::kRed);
                }
                continue;
            }
            // The question may have let events run: the job and the connection are checked again.
            if (!isQueued(job) || job->Locked() || job->Status() == 1 || c.job || c.engine->isBusy())
                continue;
            linkJob(i, job);
            linked = true;
        }
        if (!linked && !c.job && c.engine->SessionActive())
            c.engine->CloseSession();
    }
}

// The first eligible job in collection order. Jobs before the remembered
// place neither wait for a connection nor can start to without the queue's
// count growing, so a pass costs the jobs it looks at, not the queue's length.
FtpTaskCollection::Job JobDispatcher::nextCandidate(const std::set<const FtpTask *> &tried)
{
    const FtpTaskCollection &queue = m_host.JobQueue();
    auto it = queue.begin();
    if (queue.Reopened() != m_scanReopened) {
        m_scanReopened = queue.Reopened();
        m_scanAfter.reset();
    } else if (const FtpTaskCollection::Job after = m_scanAfter.lock()) {
        const auto position = queue.Position(after);
        if (position != queue.end())
            it = std::next(position);
    }
    // Jobs keyed apart may still write one file: such a job waits until the one writing it ends.
    QSet<QString> written;
    for (const Connection &c : m_connections) {
        if (c.job)
            written.insert(JobTargetKey(*c.job));
    }
    bool settled = true; // every job so far neither waits nor can wait unnoticed
    for (; it != queue.end(); ++it) {
        const FtpTaskCollection::Job &job = *it;
        if (!job->WaitsForConnection()) {
            if (settled)
                m_scanAfter = job;
            continue;
        }
        settled = false;
        if (tried.count(job.get()) || m_held.count(job.get()) || RunningIndex(job->ZavUdeID()) >= 0)
            continue;
        if (!written.isEmpty() && written.contains(JobTargetKey(*job)))
            continue;
        return job;
    }
    return {};
}

bool JobDispatcher::isQueued(const FtpTaskCollection::Job &job)
{
    return m_host.JobQueue().Find(job->ZavUdeID()) == job;
}

bool JobDispatcher::wouldAskAboutDownload(const FtpTask &job) const
{
    using Flag = JobDispatchHost::RunFlag;
    return !job.IsUpload() && !job.IsResume() && !m_host.RunFlagSet(Flag::DownloadOverwriteAll)
           && !m_host.RunFlagSet(Flag::DownloadSkipAll) && m_host.IsOptionOn(JobDispatchHost::Option::ConfirmOverwrite)
           && QFileInfo::exists(job.GetLocalFilePath());
}

std::optional<SnapshotFault> JobDispatcher::snapshotFault(const FtpTask &job) const
{
    if (!m_snapshots.Claims(job))
        return std::nullopt;
    m_snapshots.ReplaceLinks(job);
    return m_snapshots.FaultOf(job);
}

bool JobDispatcher::checkCandidate(FtpTask &job, QString &message)
{
    using Flag = JobDispatchHost::RunFlag;
    if (job.IsUpload()) {
        if (const std::optional<SnapshotFault> fault = snapshotFault(job)) {
            message = fault->text;
            job.setStatus(3);
            job.setFailureReason(fault->reason);
            return false;
        }
        if (job.IsResume())
            return job.IsUploadResumeOk(message,
                                        m_host.IsOptionOn(JobDispatchHost::Option::SkipUploadResumeOnTimeChange));
        return job.IsUploadOk(message);
    }
    if (m_host.RunFlagSet(Flag::DownloadOverwriteAll))
        return true;
    bool overwriteAll = false;
    bool skipAll = m_host.RunFlagSet(Flag::DownloadSkipAll);
    const bool asks = wouldAskAboutDownload(job);
    if (asks)
        m_host.SetOverwriteQuestionOpen(true);
    const bool ok = job.ValidForProcessing(message, overwriteAll, skipAll,
                                           m_host.IsOptionOn(JobDispatchHost::Option::ConfirmOverwrite),
                                           [this](const QString &text) { return m_host.AskDownloadOverwrite(text); });
    if (asks)
        m_host.SetOverwriteQuestionOpen(false);
    if (overwriteAll)
        m_host.SetRunFlag(Flag::DownloadOverwriteAll, true);
    if (skipAll)
        m_host.SetRunFlag(Flag::DownloadSkipAll, true);
    return ok;
}

void JobDispatcher::linkJob(int i, const FtpTaskCollection::Job &job, bool again)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    FtpCommander *e = c.engine;
    // Another account's session ends before the job is linked: its disconnect fails nothing.
    bool login = !e->SessionActive();
    if (!login && !SessionFitsJob(*e, *job)) {
        e->CloseSession();
        login = true;
    }
    c.job = job;
    c.loggingIn = login;
    c.walkStarts = 0;
    c.refusedFolderTried = false;
    c.enteringRefusedFolder = false;
    c.heldBytes = job->TransferedBytes();
    c.fileRevision = job->LocalFileRevision();
    c.runStart = c.sentUpTo = 0;
    c.sending = false;
    c.asking = Connection::Asking::Nothing;
    c.before = {};
    c.ranAgain = again;
    c.loginAgain = false;
    e->setLinkedTask(job.get());
    job->setStatus(1);
    job->setDirectoryLevel(0);
    job->setLastAttemp(Now());
    job->EndLevelRecording();
    m_host.ColorJobRow(*job, JobDispatchHost::kBlue);
    m_host.ShowConnection(i, true);
    if (login) {
        m_host.ShowJobStep(*job, QStringLiteral("Connecting"));
        e->setServerUrl(job->ServerAddress());
        e->setPort(job->ServerPort());
        e->setUser(job->User());
        e->setPassword(job->Password());
        e->setMode(job->TransferMode());
        e->StartSession();
    } else if (job->IsUpload()) {
        m_host.ShowJobStep(*job, QStringLiteral("Verifying folder"));
        e->FTP_CHG_DIR(job->RemotePath());
    } else {
        startDownload(i);
    }
}

void JobDispatcher::startDownload(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    const FtpTaskCollection::Job job = c.job;
    if (!job)
        return;
    // The local name comes from a job file or a server listing: it must stay in its folder.
    if (!IsSafeRemoteName(job->LocalFileTitle())) {
        m_host.AddLog(QStringLiteral("Skipping download - '") + job->LocalFileTitle()
                          + QStringLiteral("' is not a plain file name!"),
                      3);
        failJob(i, kLocalProblem);
        return;
    }
    m_host.ShowJobStep(*job, QStringLiteral("Downloading"));
    ChkCreatDir(job->LocalPath());
    c.receiving = true;
    if (job->IsResume())
        c.engine->FTP_RES_GET_FILE(job->GetRemoteFilePath(), job->GetLocalFilePath(), job->Size(),
                                   job->RemoteFileTime(),
                                   m_host.IsOptionOn(JobDispatchHost::Option::SkipDownloadResumeOnTimeChange));
    else
        c.engine->FTP_GET_FILE(job->GetRemoteFilePath(), job->GetLocalFilePath(), job->Size(), false);
}

void JobDispatcher::unlink(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    if (c.job)
        m_host.ClearTimeLeft(*c.job);
    // A download cut off or refused may have left part of its file; a whole one said so itself.
    const bool received = std::exchange(c.receiving, false);
    if (c.job && received && c.job->Status() != 2)
        m_host.DownloadArrived(c.job->LocalPath());
    c.job.reset();
    c.loggingIn = false;
    c.sending = false;
    c.asking = Connection::Asking::Nothing;
    c.stopping = false;
    c.loginAgain = false;
    c.engine->setLinkedTask(nullptr);
    m_host.ShowConnection(i, false);
}

void JobDispatcher::release(int i)
{
    unlink(i);
    RequestRun();
}

void JobDispatcher::completeJob(int i, bool upload)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    const FtpTaskCollection::Job job = c.job;
    m_host.UpdateJobProgress(*job);
    job->setLocked(true); // first: an ended job never reads as waiting, not even between the two
    job->setStatus(2);
    if (upload)
        m_host.MarkDirCacheDirty(job->ServerAddress(), c.engine->RemotePath());
    m_host.ShowJobStatus(*job);
    m_host.ColorJobRow(*job, JobDispatchHost::kBlue);
    m_host.PlayAlertSound(kAlertCompleted);
    if (upload)
        m_host.MarkDirCacheDirty(job->ServerAddress(), job->RemotePath());
    else
        m_host.DownloadArrived(job->LocalPath());
    emit jobCompleted(job);
}

// Status 3 with the reason (unless `keepReason` and one is set already),
// locked, red, the failure sound.
void JobDispatcher::markFailed(FtpTask &job, qint64 reason, bool keepReason)
{
    job.setLocked(true); // first: a failed job never reads as waiting, not even between the steps
    job.setStatus(3);
    if (reason != 0 && (!keepReason || job.FailureReason() == 0))
        job.setFailureReason(reason);
    m_host.ShowJobStatus(job);
    m_host.ColorJobRow(job, JobDispatchHost::kRed);
    m_host.PlayAlertSound(kAlertFailed);
}

// The running job fails (0: with the reason it has) and frees its connection.
// A refused restart (the REST itself, or the transfer command after it, as
// proftpd refuses a restarted STOR) would be refused again on every Resume,
// whichever way the file goes: the job holds nothing, and Start sends it
// again from the beginning.
void JobDispatcher::failJob(int i, qint64 reason)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    const FtpTaskCollection::Job job = c.job;
    if (!job)
        return;
    if (IsRefusedRestart(c.engine->LastCommandSink())) {
        m_host.AddLog(QStringLiteral("The server refused to resume '") + job->GetRemoteFilePath()
                          + QStringLiteral("'; Start transfers it again from the beginning."),
                      3);
        c.heldBytes = 0;
        job->setTransferedBytes(0);
        job->setSentData(false);
    }
    keepHeldBytes(i);
    m_host.UpdateJobProgress(*job);
    markFailed(*job, reason, true);
    release(i);
}

// What the server holds under the name before the STOR: after a failure, a
// file it still holds as it was is not this job's.
void JobDispatcher::askBeforeSend(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    c.before = {};
    c.asking = Connection::Asking::Before;
    c.engine->FTP_FILE_SIZE(c.job->GetRemoteFilePath(), true);
}

void JobDispatcher::startSend(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    FtpTask &job = *c.job;
    // Checked again right before the transfer, the log-in took time, and
    // opened here: the file checked is the one sent.
    OpenedSnapshot snapshot;
    if (m_snapshots.Claims(job)) {
        m_snapshots.ReplaceLinks(job);
        snapshot = m_snapshots.Open(job);
    }
    if (const std::optional<SnapshotFault> fault = snapshot.fault) {
        m_host.AddLog(fault->text, 3);
        failJob(i, fault->reason);
        return;
    }
    if (job.IsResume()) {
        qint64 offset = job.TransferedBytes();
        c.engine->FTP_RES_SEND_FILE(job.GetLocalFilePath(), job.GetRemoteFilePath(), job.Size(), offset, c.before,
                                    std::move(snapshot.file));
        return;
    }
    const bool confirm = !m_host.RunFlagSet(JobDispatchHost::RunFlag::UploadOverwriteAll)
                         && m_host.IsOptionOn(JobDispatchHost::Option::ConfirmOverwrite);
    // The answer just taken stands for the overwrite check's own SIZE.
    c.engine->FTP_SEND_FILE(job.GetLocalFilePath(), job.GetRemoteFilePath(), job.Size(), confirm, c.before,
                            std::move(snapshot.file));
}

// A failed upload shows what the server holds, not what went into the
// socket: asked while the session answers, else the last size it confirmed.
void JobDispatcher::failUpload(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    FtpCommander *e = c.engine;
    if (!c.sending || !e->SessionActive()) {
        failJob(i, kServerDenied);
        return;
    }
    // Set now: a session that ends while asking fails the job with it.
    if (c.job->FailureReason() == 0)
        c.job->setFailureReason(kServerDenied);
    c.sentUpTo = e->BytesSent();
    c.asking = Connection::Asking::After;
    e->FTP_FILE_SIZE(c.job->GetRemoteFilePath(), true);
}

void JobDispatcher::endSizeQuestion(int i)
{
    takeHeldSize(i);
    failJob(i, kServerDenied);
}

void JobDispatcher::takeHeldSize(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    c.asking = Connection::Asking::Nothing;
    const HeldFile after = c.engine->LastHeldFile();
    if (c.engine->LastCmdSucces() && after.isFile() && after.size >= 0) {
        if (after.sameAs(c.before)) {
            // The file the server held before the STOR is still there as it
            // was (a server storing under a temporary name keeps it when the
            // upload fails): nothing of this run is in it, and a fresh run's
            // job holds nothing of it.
            c.heldBytes = c.runStart;
            if (c.runStart == 0)
                c.job->setSentData(false);
        } else if (c.job->Size() < 1 || after.size <= c.job->Size()) {
            // A size beyond the file is no part of it; nor is more than this
            // run sent after what the job held before it.
            c.heldBytes = std::min(after.size, std::max(c.runStart, c.sentUpTo));
        }
    }
}

// A stopped upload's abort ended: the server is asked what it holds while it
// answers; then, or once the session is gone, the connection lets the job go.
void JobDispatcher::endStop(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    if (c.asking != Connection::Asking::After && c.engine->SessionActive()) {
        c.sentUpTo = c.engine->BytesSent();
        c.asking = Connection::Asking::After;
        c.engine->FTP_FILE_SIZE(c.job->GetRemoteFilePath(), true);
        return;
    }
    if (c.asking == Connection::Asking::After)
        takeHeldSize(i);
    keepHeldBytes(i);
    m_host.UpdateJobProgress(*c.job);
    unlink(i);
    c.engine->CloseSession();
    RequestRun();
}

bool JobDispatcher::sendsCurrentFile(const Connection &c) const
{
    return c.job && c.job->LocalFileRevision() == c.fileRevision;
}

// A job whose file was replaced while this run still held it (a stop that
// waits for the server) holds nothing of the new content: it keeps its 0.
void JobDispatcher::keepHeldBytes(int i)
{
    const Connection &c = m_connections[static_cast<size_t>(i)];
    if (sendsCurrentFile(c) && c.job->IsUpload())
        c.job->setTransferedBytes(c.heldBytes);
}

void JobDispatcher::FailRunningJob(const FtpTaskCollection::Job &job, int index)
{
    try {
        if (!job)
            return;
        markFailed(*job, kServerDenied, false);
        if (index >= 0 && index < kConnections && m_connections[static_cast<size_t>(index)].job == job)
            release(index);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FailRunningJob"));
    }
}

void JobDispatcher::StopRunningJob(int index, bool askHeldSize)
{
    try {
        if (index < 0 || index >= kConnections)
            return;
        Connection &c = m_connections[static_cast<size_t>(index)];
        const FtpTaskCollection::Job job = c.job;
        if (!job || job->Status() == 2)
            return;
        // The server holds what arrived of an upload cut off: asked before letting go, the row can say so.
        const bool askFirst = askHeldSize && !c.stopping && job->IsUpload() && c.sending
                              && c.engine->SessionActive() && c.engine->isBusy();
        // Until the server says what it holds, the row shows what it confirmed.
        keepHeldBytes(index);
        m_host.UpdateJobProgress(*job);
        if (askFirst) {
            c.stopping = true;
        } else {
            // Let go first: the disconnect that closing raises belongs to no job.
            unlink(index);
            c.engine->CloseSession();
        }
        job->setLocked(true);
        job->setStatus(3);
        job->setFailureReason(7);
        job->setIsResume(false);
        m_host.ColorJobRow(*job, JobDispatchHost::kRed);
        m_host.ShowJobStatus(*job);
        if (askFirst)
            c.engine->Abort();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("StartJob"));
    }
}

void JobDispatcher::OverwriteQuestionClosed()
{
    if (!m_retryAfterQuestion)
        return;
    m_retryAfterQuestion = false;
    RequestRun();
}

void JobDispatcher::FtpJobs_JobDone(int i)
{
    try {
        Connection &c = m_connections[static_cast<size_t>(i)];
        const FtpTaskCollection::Job job = c.job;
        if (!job) {
            RequestRun();
            return;
        }
        if (c.stopping) {
            endStop(i);
            return;
        }
        FtpCommander *e = c.engine;
        const bool ok = e->LastCmdSucces();
        const long act = e->LastAct();
        if (c.asking == Connection::Asking::After) {
            endSizeQuestion(i);
            return;
        }
        if (c.asking == Connection::Asking::Before) {
            c.asking = Connection::Asking::Nothing;
            c.before = ok && act == FtpCommander::ActFileSize ? e->LastHeldFile() : HeldFile{};
            if (!ok) {
                failJob(i, kServerDenied);
                return;
            }
            startSend(i);
            return;
        }
        if (act == FtpCommander::ActLogin) {
            c.loggingIn = false;
            if (!ok) {
                failJob(i, kServerDenied);
                return;
            }
            m_host.SetProgressTimer(true);
            m_host.SessionsChanged();
            job->setLastAttemp(Now());
            job->setDirectoryLevel(0);
            job->EndLevelRecording();
            if (job->IsUpload()) {
                m_host.ShowJobStep(*job, QStringLiteral("Checking folder"));
                e->FTP_CHG_DIR(job->RemotePath());
            } else {
                startDownload(i);
            }
            return;
        }
        if (job->IsUpload() && (act == FtpCommander::ActChangeDir || act == FtpCommander::ActMakeDir)) {
            uploadFolderStep(i, *job, act, ok);
            return;
        }
        if (job->IsUpload() && (act == FtpCommander::ActSend || act == FtpCommander::ActResumeSend)) {
            if (ok) {
                completeJob(i, true);
                release(i);
            } else {
                failUpload(i);
            }
            return;
        }
        if (!job->IsUpload() && (act == FtpCommander::ActGet || act == FtpCommander::ActResumeGet)) {
            if (ok) {
                completeJob(i, false);
                release(i);
            } else {
                failJob(i, kServerDenied); // refused, as the server denied it
            }
            return;
        }
        // An end that leads nowhere (the session ended, an operation of another
        // kind): the job must not stay active without an operation.
        failJob(i, kServerDenied);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_JobDone"));
    }
}

// The remote-folder walk of an upload: change into the target; while that
// fails climb one level; from the first folder that exists make each level
// down and change into it; at level 0 send the file.
void JobDispatcher::uploadFolderStep(int i, FtpTask &job, long act, bool ok)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    FtpCommander *e = c.engine;
    const int level = job.DirectoryLevel();
    if (act == FtpCommander::ActChangeDir) {
        if (c.enteringRefusedFolder) {
            c.enteringRefusedFolder = false;
            if (!ok) {
                FailRunningJob(c.job, i);
                return;
            }
        }
        if (ok && level < 1) {
            m_host.ShowJobStep(job, QStringLiteral("Uploading"));
            askBeforeSend(i);
            return;
        }
        if (ok) {
            job.setDirectoryLevel(level - 1);
            e->FTP_MAKE_DIR(job.LevelRemoteDirPath());
            return;
        }
        if (job.IsUpwardNavigation()) {
            FailRunningJob(c.job, i);
            return;
        }
        if (level == 0) {
            if (++c.walkStarts > kWalkStartsAllowed) {
                FailRunningJob(c.job, i);
                return;
            }
            job.BeginLevelRecording();
            m_host.ShowJobStep(job, QStringLiteral("Creating folder"));
            e->FTP_MAKE_DIR(job.LevelRemoteDirPath());
            return;
        }
        job.setDirectoryLevel(level + 1);
        e->FTP_CHG_DIR(job.LevelRemoteDirPath());
        return;
    }
    if (ok) {
        m_host.ShowJobStep(job, QStringLiteral("Cheking folder"));
        m_host.MarkDirCacheDirty(job.ServerAddress(), e->RemotePath());
        e->FTP_CHG_DIR(job.LevelRemoteDirPath());
        return;
    }
    if (job.IsUpwardNavigation()) {
        // Another connection may have made the folder between this one's look
        // and its make, and not every server says "exists" then: the folder
        // is entered once; only if that fails too does the job fail.
        if (!c.refusedFolderTried) {
            c.refusedFolderTried = true;
            c.enteringRefusedFolder = true;
            e->FTP_CHG_DIR(job.LevelRemoteDirPath());
            return;
        }
        FailRunningJob(c.job, i);
        return;
    }
    if (IsFolderExistsReply(e->LastCommandSink())) {
        e->FTP_CHG_DIR(job.LevelRemoteDirPath());
        return;
    }
    job.setDirectoryLevel(level + 1);
    m_host.ShowJobStep(job, QStringLiteral("Navigating folder"));
    e->FTP_CHG_DIR(job.LevelRemoteDirPath());
}

// An engine fault ends the running job; the next pass waits for the queued
// call, so the connection has settled (an FtpDisconnect that follows an Error
// finds no job).
void JobDispatcher::endAfterEngineFault(int i, qint64 reason, bool dispatch)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    const FtpTaskCollection::Job job = c.job;
    if (!job)
        return;
    if (c.stopping) {
        endStop(i); // the session is gone: the job keeps the last size the server confirmed
        return;
    }
    if (c.engine->LastCmdSucces() && c.asking == Connection::Asking::Nothing) {
        completeJob(i, true);
    } else {
        keepHeldBytes(i);
        m_host.UpdateJobProgress(*job);
        markFailed(*job, reason, true);
    }
    unlink(i);
    if (dispatch)
        RequestRun();
}

void JobDispatcher::FtpJobs_Error(int i, long code, const QString &description, bool sessionClosed)
{
    try {
        Connection &c = m_connections[static_cast<size_t>(i)];
        const FtpTaskCollection::Job job = c.job;
        if (!job)
            return;
        m_host.AddLog(description, 3);
        // Error 12 is the engine's local file error, not the table's "Connection reset by server".
        const qint64 reason = code == kLocalFileError ? kLocalProblem : code;
        if (sessionClosed && runAgainInNewSession(i))
            return;
        if (!sessionClosed && c.engine->isBusy()) {
            // A data connection refused or reset, a local file that failed:
            // the engine goes on with the job's operation (it opens a new
            // data connection and repeats, or ends it), and that end ends the
            // job. Ended now, the job would read failed while its file went.
            if (job->FailureReason() == 0)
                job->setFailureReason(reason);
            return;
        }
        endAfterEngineFault(i, reason, m_networkAvailable);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_Error"));
    }
}

// The program ended the session itself (its server's replies could not be
// put in order): nothing of it was the job's fault, so the job runs again
// once in a new session, as the jobs after it do, unless it met a cause of
// its own first. Started once the engine has closed the old session.
bool JobDispatcher::runAgainInNewSession(int i)
{
    Connection &c = m_connections[static_cast<size_t>(i)];
    const FtpTaskCollection::Job job = c.job;
    if (c.ranAgain || c.stopping || !m_networkAvailable || job->FailureReason() != 0
        || c.engine->EndedSessionReason().isEmpty())
        return false;
    keepHeldBytes(i);
    m_host.UpdateJobProgress(*job);
    m_host.AddLog(QStringLiteral("'") + job->GetRemoteFilePath() + QStringLiteral("' is transferred again in a new session."),
                  3);
    c.loginAgain = true;
    QMetaObject::invokeMethod(
        this,
        [this, i, job] {
            const Connection &now = m_connections[static_cast<size_t>(i)];
            if (now.job == job && now.loginAgain)
                linkJob(i, job, true);
        },
        Qt::QueuedConnection);
    return true;
}

void JobDispatcher::FtpJobs_FtpDisconnect(int i)
{
    try {
        Connection &c = m_connections[static_cast<size_t>(i)];
        if (c.job && !c.loginAgain) {
            // Closed while logging in: the server refused the account.
            endAfterEngineFault(i, c.loggingIn ? kServerDenied : kConnectionReset, m_networkAvailable);
            if (!m_networkAvailable)
                m_host.UpdateJobSummary();
        }
        updateTimers();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_FtpDisconnect"));
    }
}

void JobDispatcher::FtpJobs_ConnectionFailed(int i)
{
    try {
        Connection &c = m_connections[static_cast<size_t>(i)];
        if (!c.job)
            return;
        keepHeldBytes(i);
        m_host.UpdateJobProgress(*c.job);
        markFailed(*c.job, kNetworkError, true);
        unlink(i);
        if (m_networkAvailable)
            RequestRun();
        else
            m_host.UpdateJobSummary();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_ConnectionFailed"));
    }
}

// The remote file changed since the job began: the job fails; the engine's
// end of the transfer frees the connection.
void JobDispatcher::failChangedFile(int i, const QString &remoteFile, qint64 reason)
{
    const FtpTaskCollection::Job job = m_connections[static_cast<size_t>(i)].job;
    if (!job)
        return;
    m_host.AddLog(QStringLiteral("File '") + remoteFile + QStringLiteral("' has been modified. Aborting!"), 3);
    job->setFailureReason(reason); // first: the failed job never reads as waiting
    job->setStatus(3);
    m_host.ShowJobStatus(*job);
    m_host.ColorJobRow(*job, JobDispatchHost::kRed);
}

void JobDispatcher::FtpJobs_FileSizeDiffer(int i, const QString &remoteFile)
{
    try {
        failChangedFile(i, remoteFile, kSizeChanged);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_FileSizeDiffer"));
    }
}

void JobDispatcher::FtpJobs_FileDateTimeDiffer(int i, const QString &remoteFile)
{
    try {
        if (m_host.IsOptionOn(JobDispatchHost::Option::SkipDownloadResumeOnTimeChange))
            failChangedFile(i, remoteFile, kRemoteTimeChanged);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_FileDateTimeDiffer"));
    }
}

void JobDispatcher::FtpJobs_FileSizeDetermined(int i, qint64 size)
{
    try {
        const FtpTaskCollection::Job job = m_connections[static_cast<size_t>(i)].job;
        if (!job)
            return;
        job->setSize(size);
        m_host.ShowJobSize(*job);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_FileSizeDetermined"));
    }
}

void JobDispatcher::FtpJobs_FileDateTimeDetermined(int i, const QString &dateText)
{
    try {
        if (const FtpTaskCollection::Job job = m_connections[static_cast<size_t>(i)].job)
            job->setRemoteFileTime(dateText);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_FileDateTimeDetermined"));
    }
}

void JobDispatcher::FtpJobs_DataProgress(int i, qint64 bytes)
{
    try {
        const Connection &c = m_connections[static_cast<size_t>(i)];
        if (sendsCurrentFile(c) && !c.stopping)
            c.job->setTransferedBytes(bytes);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_DataProgress"));
    }
}

// The server accepted an upload's STOR: from now on its file holds this
// file's data, from the bytes the transfer begins at (none for a fresh send,
// the server's size for a resumed one). A data connection alone proves
// nothing: a STOR refused outright leaves the server's file as it was.
void JobDispatcher::FtpJobs_TransferAccepted(int i)
{
    try {
        Connection &c = m_connections[static_cast<size_t>(i)];
        const long act = c.engine->CurrentAct();
        if (!sendsCurrentFile(c) || !c.job->IsUpload() || c.sending
            || (act != FtpCommander::ActSend && act != FtpCommander::ActResumeSend))
            return;
        c.sending = true;
        c.heldBytes = c.runStart = c.engine->BytesDone();
        c.job->setSentData(true);
        c.job->RecordLocalFileIfUnrecorded();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_TransferAccepted"));
    }
}

void JobDispatcher::FtpJobs_ValidateUploadOverwrite(int i, int &allow)
{
    try {
        if (m_host.OverwriteQuestionOpen()) {
            allow = -1; // asked again once the question on screen is answered
            return;
        }
        const FtpTaskCollection::Job job = m_connections[static_cast<size_t>(i)].job;
        m_host.SetOverwriteQuestionOpen(true);
        QPointer<JobDispatcher> self(this);
        if (m_host.RunFlagSet(JobDispatchHost::RunFlag::UploadOverwriteAll)) {
            allow = 1;
        } else if (m_host.RunFlagSet(JobDispatchHost::RunFlag::UploadSkipAll)) {
            if (job)
                job->setFailureReason(kSkipped);
            allow = 0;
        } else {
            const QString remoteFile = job ? job->GetRemoteFilePath() : QString();
            const bool overwrite = m_host.ConfirmFtpOverwrite(remoteFile);
            if (!self)
                return;
            if (overwrite)
                allow = 1;
            else if (job && m_connections[static_cast<size_t>(i)].job == job)
                job->setFailureReason(kSkipped);
        }
        m_host.SetOverwriteQuestionOpen(false);
        if (m_retryAfterQuestion) {
            m_retryAfterQuestion = false;
            RequestRun();
        }
    } catch (...) {
        m_host.SetOverwriteQuestionOpen(false);
        LogCurrentException(kObject, QStringLiteral("FtpJobs_ValidateUploadOverwrite"));
    }
}

void JobDispatcher::FtpJobs_ServerReplied(const QString &line)
{
    try {
        const int colour = line.startsWith(QLatin1Char('5')) ? 3 : line.startsWith(QLatin1Char('4')) ? 1 : 4;
        m_host.AddLog(line, colour);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_ServerReplied"));
    }
}

void JobDispatcher::FtpJobs_CommandSent(const QString &command)
{
    try {
        m_host.AddLog(command, 5, 1);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpJobs_CommandSent"));
    }
}

#pragma once

#include "EditSnapshots.h"
#include "FtpTaskCollection.h"
#include "HeldFile.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <array>
#include <functional>
#include <set>

class EngineTimer;
class FtpCommander;
class JobDispatchHost;

// The server's final reply to the last command in an engine's
// LastCommandSink ("command|codes||code|text"): its code and text; code 0
// when that command has no reply. The command and its path are not read.
struct SinkReply {
    int code = 0;
    QString text;
};
SinkReply LastSinkReply(const QString &commandSink);

// True when the server refused the last restart of a LastCommandSink: a REST
// with an offset refused, or accepted and the STOR, RETR or APPE after it
// refused before any preliminary reply, unless the reply's code names another
// cause (the data connection, the session, a busy file, the server's space).
bool IsRefusedRestart(const QString &commandSink);

// True when the last reply of a LastCommandSink says a folder exists ("exist", any case).
bool IsFolderExistsReply(const QString &commandSink);

// Whether a job may run on a connection's open session: same server, port,
// user, password and data-connection mode.
bool SessionFitsJob(const FtpCommander &connection, const FtpTask &job);

// Active-mode ports of job connection i: first + spacing * i, `width` of them.
struct JobDataPorts {
    long first = 22000;
    long spacing = 1000;
    long width = 1000;
};

// The job connections FtpJobs(0..4) and their dispatcher. RunQueuedJobs gives
// every idle connection the first eligible job of the host's queue; from then
// on the connection's events carry the job through log-in, the remote-folder
// walk (uploads) and the transfer, and every end frees the connection and
// asks for another pass. A pass is never re-entered: a call during a pass
// runs it again afterwards, and the engines' handlers ask for a pass through
// one queued call. Widget-free: the host owns the view.
class JobDispatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int kConnections = 5;
    using DataPorts = JobDataPorts;
    // Makes each connection's engine timer (tests pass manual ones); none: real timers.
    using TimerFactory = std::function<EngineTimer *(int index)>;

    explicit JobDispatcher(JobDispatchHost &host, DataPorts ports = {}, QObject *parent = nullptr,
                           const TimerFactory &timers = {});
    ~JobDispatcher() override;

    FtpCommander *FtpJobs(int index) const;
    // The job connection `index` runs, or nothing.
    FtpTaskCollection::Job LinkedJob(int index) const;
    // The connection that runs the job with this key, or -1.
    int RunningIndex(const QString &key) const;
    bool AnySessionActive() const;
    // Only the first `count` connections take jobs (a benchmark's choice).
    void setConnectionLimit(int count) { m_connectionLimit = std::clamp(count, 1, kConnections); }

    void RunQueuedJobs();
    // One pass soon, however often it is asked for before it runs.
    void RequestRun();
    void FailRunningJob(const FtpTaskCollection::Job &job, int index);
    // The Stop command on a running job: the connection lets it go and closes
    // its session; the job is failed as cancelled by the user. With
    // `askHeldSize` an upload that is sending is aborted first and keeps the
    // size the server then gives (the connection lets go once it answered).
    void StopRunningJob(int index, bool askHeldSize = false);
    // The last overwrite question on screen closed: a job held back for it gets its pass.
    void OverwriteQuestionClosed();

    // Kept by the main window's network check; when it comes back the queue goes on.
    bool NetworkAvailable() const { return m_networkAvailable; }
    void setNetworkAvailable(bool available);
    // Bytes of data packets of the job connections so far.
    qint64 JobByteCounter() const { return m_jobByteCounter; }

signals:
    // A pass ended (the connections have what they will run).
    void passFinished();
    // A job's transfer completed (status 2).
    void jobCompleted(const FtpTaskCollection::Job &job);

private:
    struct Connection {
        FtpCommander *engine = nullptr;
        FtpTaskCollection::Job job;
        bool loggingIn = false;
        int walkStarts = 0; // returns of the folder walk to its target level
        // A folder whose making was refused is entered once before the job fails.
        bool refusedFolderTried = false;
        bool enteringRefusedFolder = false;
        // An upload: what the server was last known to hold of the file,
        // what the job held when this run's STOR was accepted, how far this
        // run sent (once it failed), and whether the server accepted its STOR in this run.
        qint64 heldBytes = 0;
        qint64 runStart = 0;
        // The revision of the job's local file this run sends: bytes it
        // counts belong to that content only.
        quint32 fileRevision = 0;
        qint64 sentUpTo = 0;
        bool sending = false;
        // A download asked the server for its file: whatever ends it, its
        // folder may hold new bytes.
        bool receiving = false;
        // Stopped by the user while sending: the transfer is aborted and the
        // server asked its size before the connection lets go of the job.
        bool stopping = false;
        // The server is asked what it holds under the name: before the STOR,
        // or after the upload failed or was stopped.
        enum class Asking { Nothing, Before, After };
        Asking asking = Asking::Nothing;
        HeldFile before; // what it held before the STOR
        // The program ended the session under the job: it runs again once,
        // in a new session (`loginAgain` until that begins).
        bool ranAgain = false;
        bool loginAgain = false;
    };

    void wireEngine(int index);
    void dispatchPass();
    FtpTaskCollection::Job nextCandidate(const std::set<const FtpTask *> &tried);
    bool checkCandidate(FtpTask &job, QString &message);
    // Why an edit job's snapshot may not be sent (nothing: it may, or it has none).
    std::optional<SnapshotFault> snapshotFault(const FtpTask &job) const;
    bool wouldAskAboutDownload(const FtpTask &job) const;
    bool isQueued(const FtpTaskCollection::Job &job);
    void linkJob(int index, const FtpTaskCollection::Job &job, bool again = false);
    bool runAgainInNewSession(int index);
    void startDownload(int index);
    void completeJob(int index, bool upload);
    void markFailed(FtpTask &job, qint64 reason, bool keepReason);
    void failJob(int index, qint64 reason);
    void askBeforeSend(int index);
    void startSend(int index);
    void failUpload(int index);
    void endSizeQuestion(int index);
    void takeHeldSize(int index);
    void endStop(int index);
    void keepHeldBytes(int index);
    // The job's local file is still the one this run sends.
    bool sendsCurrentFile(const Connection &c) const;
    void release(int index);
    void unlink(int index);
    void endAfterEngineFault(int index, qint64 reason, bool dispatch);
    void failChangedFile(int index, const QString &remoteFile, qint64 reason);
    void updateTimers();

    // Handlers of the connections' events.
    void FtpJobs_JobDone(int index);
    void uploadFolderStep(int index, FtpTask &job, long act, bool ok);
    void FtpJobs_Error(int index, long code, const QString &description, bool sessionClosed);
    void FtpJobs_FtpDisconnect(int index);
    void FtpJobs_ConnectionFailed(int index);
    void FtpJobs_FileSizeDiffer(int index, const QString &remoteFile);
    void FtpJobs_FileDateTimeDiffer(int index, const QString &remoteFile);
    void FtpJobs_FileSizeDetermined(int index, qint64 size);
    void FtpJobs_FileDateTimeDetermined(int index, const QString &dateText);
    void FtpJobs_DataProgress(int index, qint64 bytes);
    void FtpJobs_TransferAccepted(int index);
    void FtpJobs_ValidateUploadOverwrite(int index, int &allow);
    void FtpJobs_ServerReplied(const QString &line);
    void FtpJobs_CommandSent(const QString &command);

    JobDispatchHost &m_host;
    EditSnapshots m_snapshots{EditSnapshots::DefaultFolder()};
    std::array<Connection, kConnections> m_connections;
    std::set<const FtpTask *> m_held; // candidates being checked: not offered again meanwhile
    std::weak_ptr<FtpTask> m_scanAfter; // the last of the queue's first jobs that wait for nothing
    quint64 m_scanReopened = 0;          // the queue's count when m_scanAfter was found
    int m_connectionLimit = kConnections;
    bool m_running = false;
    bool m_runAgain = false;
    bool m_runQueued = false;
    bool m_retryAfterQuestion = false;
    bool m_networkAvailable = true;
    qint64 m_jobByteCounter = 0;
};

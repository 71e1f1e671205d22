#pragma once

#include "EngineSocket.h"
#include "EngineTimer.h"
#include "FtpCommandRecord.h"
#include "HeldFile.h"
#include "ReplyReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <utility>

class FtpTask;
class LoginFailedHandler;
class PropertyBag;

// One FTP session: a table-driven command and reply machine over a control
// connection and a data connection. A host sets the connection properties,
// calls SetStartUpPort and StartSession, starts operations (FTP_...) and
// learns their outcome through the signals, above all JobDone, after which it
// reads LastCmdSucces and LastAct. Operations return at once; without an
// active session every operation but StartSession and CloseSession does
// nothing.
//
// Signals are raised synchronously. Those with reference arguments
// (NotifyModal, ValidateUploadOverwrite) carry the host's answer back and must
// be connected with Qt::DirectConnection. A handler may start another
// operation, close the session or delete the engine (deleteLater).
//
// Seams for the host: setLoginFailedHandler (the login-failed question, see
// LoginFailedHandler.h), setOverwriteListingCheck (finds a file in one STAT
// listing line), and the EngineTimer given to the constructor (tests pass a
// ManualEngineTimer). The status strip redraws on StatusChanged and
// DataProgress and reads isVisible, CmdStatus, DataStatus, ExpectedSize and
// BytesDone.
//
// Errors raised: 10 not enough free space for a download, 11 a socket error
// (sessionClosed true for the control connection; also raised when the engine
// closes a session whose server stopped answering: a stalled transfer, a
// command unanswered after its repeats, an idle poll), 12 a local file that
// cannot be opened, read or written (the operation then ends as failed).
// A server-to-server copy: the storing engine (FTP_StoreFromServer) writes
// STOR and raises HandlePassiveAddress once its server has had that STOR: at
// the server's 1xx, or one and a half round trips of the control connection
// (as its PASV took) after STOR went out, whichever comes first; never when
// the STOR was refused by then. The host starts the sending engine with
// FTP_GetFromOtherServer and, on its DataConnect, may call DataConnectionOk on
// the storing one (harmless: STOR is already out).
class FtpCommander : public QObject
{
    Q_OBJECT
public:
    // Action codes of the operations (CurrentAct, LastAct).
    enum Action {
        ActLogin = 0, ActChangeDir = 1, ActList = 2, ActRename = 4, ActSend = 5, ActGet = 6, ActRemoveDir = 8,
        ActDelete = 9, ActMakeDir = 11, ActQuit = 12, ActResumeSend = 14, ActResumeGet = 15,
        ActStoreToServer = 16, ActGetFromServer = 17, ActFileSize = 19, ActCustom = 21
    };
    static constexpr int kCommandRecords = 36;
    static constexpr int kMacroSlots = 22;
    static constexpr int kQuitGraceMs = 5000;
    // Bounds of the wait between a copy's STOR and HandlePassiveAddress.
    static constexpr qint64 kStoreArrivalMinMs = 20;
    static constexpr qint64 kStoreArrivalMaxMs = 3000;
    static constexpr qint64 kMaxListingBytes = 256LL * 1024 * 1024;
    static constexpr qint64 kMaxUploadInFlight = 256 * 1024;
    // Bytes the data connection holds before they are written out: a fast
    // server sending a large file then waits in the network instead of in
    // this program's memory.
    static constexpr qint64 kDataReadBuffer = 256 * 1024;

    // The engine owns `timer` (a plain EngineTimer when none is given).
    explicit FtpCommander(QObject *parent = nullptr, EngineTimer *timer = nullptr);
    ~FtpCommander() override;

    // --- properties -------------------------------------------------------
    int MaxIdealMinutes() const { return m_maxIdealMinutes; }
    void setMaxIdealMinutes(int minutes) { m_maxIdealMinutes = minutes; }
    FtpTask *LinkedTask() const { return m_linkedTask; }
    void setLinkedTask(FtpTask *task) { m_linkedTask = task; }
    QString CacheFile() const { return m_cacheFile; }
    void setCacheFile(const QString &path) { m_cacheFile = path; }
    QString RemotePath() const { return m_remotePath; }
    bool isBusy() const { return m_busy; }
    // While DataPacket is raised: true when its bytes came on the data
    // connection, false for a reply on the control connection.
    bool PacketFromDataConnection() const { return m_packetFromData; }
    bool isVisible() const { return m_visible; }
    void setIsVisible(bool visible);
    bool ListingAllowed() const { return m_listingAllowed; }
    void setListingAllowed(bool allowed);
    QString StartupPath() const { return m_startupPath; }
    void setStartupPath(const QString &path) { m_startupPath = path.trimmed(); }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter.trimmed(); }
    long SystemType() const { return m_systemType; }
    void SetStartUpPort(long first, long width);
    void Refresh();
    QString User() const { return m_user; }
    void setUser(const QString &user);
    QString Password() const { return m_password; }
    void setPassword(const QString &password);
    long Port() const { return m_port; }
    void setPort(long port);
    QString ServerUrl() const { return m_serverUrl; }
    void setServerUrl(const QString &url);
    long mode() const { return m_mode; }
    void setMode(long mode);
    int MaxConnectionTry() const { return m_maxConnectionTry; }
    void setMaxConnectionTry(int tries);
    long CommandTimeout() const { return m_commandTimeout; }
    void setCommandTimeout(long seconds);
    int ConnectionTimeout() const { return m_connectionTimeout; }
    void setConnectionTimeout(int seconds);
    bool KeepAlive() const { return m_keepAlive; }
    void setKeepAlive(bool keepAlive) { m_keepAlive = keepAlive; }

    bool LoadCustomOpConfig(const QString &path);
    bool LoadDefaultOpConfig();

    // --- operations ---------------------------------------------------------
    void StartSession();
    void CloseSession();
    void FTP_CHG_DIR(const QString &path);
    // How a listing that brings no entries is taken. Some servers (proftpd)
    // list a folder they may enter but not read exactly as an empty one; a
    // walk that must not take such a folder for empty asks the server once
    // more, by a machine listing where the server has one (ListingUnread()).
    enum class EmptyListing { AsEmpty, AskWhetherRead };
    void FTP_LIST_DIR(EmptyListing empty = EmptyListing::AsEmpty);
    void FTP_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size, bool abortOnDateChange);
    void FTP_RES_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size,
                          const QString &expectedDate, bool abortOnDateChange);
    void FTP_CUSTOM_COMMAND(const QString &command, const QString &statusText, const QString &replyRule);
    // `held`: what the server held under the name, asked by the caller right
    // before (FTP_FILE_SIZE); the overwrite check then asks no SIZE of its own.
    // `opened`: the local file already open, checked by the caller; what is
    // sent then, whatever `localFile` names by the time the server is ready.
    void FTP_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size, bool confirmOverwrite,
                       const HeldFile &held = {}, std::unique_ptr<QFile> opened = nullptr);
    // Goes on at the size the server reports for the target (SIZE), whatever
    // `offset` says; a target it cannot size is sent whole. `held`, asked by the
    // caller right before, stands for that SIZE.
    void FTP_RES_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size, qint64 &offset,
                           const HeldFile &held = {}, std::unique_ptr<QFile> opened = nullptr);
    void FTP_REN_FILE(const QString &oldPath, const QString &newPath);
    void FTP_DEL_FILE(const QString &path);
    void FTP_DEL_DIR(const QString &path);
    void FTP_MAKE_DIR(const QString &path);
    void FTP_GetFromOtherServer(const QString &remoteFile, qint64 size, const QString &peerAddress, long peerPort);
    void FTP_StoreFromServer(const QString &remoteFile, qint64 size);
    void DataConnectionOk();
    // The other server of the copy has ended its part, and the data
    // connection between them with it: this server's final reply to its part
    // is due within TransferWaitSeconds(). One that never gives it (holding
    // the transfer for a data connection that will not come) ends the session.
    void OtherServerEnded();
    // The passive port a copy's store takes its data at (0: none yet).
    long StorePassivePort() const { return m_storeAddress.second; }
    // How long a transfer may go without data, and a copy's part wait for
    // its final reply once the other server ended: the reply time-out, at
    // least a minute (a server may take its time to put a large file away).
    qint64 TransferWaitSeconds() const { return std::max<qint64>(m_commandTimeout, 60); }
    // Asks what the server holds under a name: SIZE in binary mode (TYPE I
    // unless the session is binary already), then MDTM where SIZE is not
    // understood or `withTime` asks for the time too; a type this changed is
    // put back. It succeeds when the server answered; HeldFile() tells what.
    void FTP_FILE_SIZE(const QString &remoteFile, bool withTime = false);
    // What the last FTP_FILE_SIZE (or an upload's overwrite check) found.
    const HeldFile &LastHeldFile() const { return m_held; }
    void Abort();

    // --- status -------------------------------------------------------------
    long LastAct() const { return m_sessionActive ? m_lastAct : -1; }
    long CurrentAct() const { return m_sessionActive ? m_currentAct : -1; }
    int CmdStatus() const { return m_control.state(); }
    int DataStatus() const { return m_data.state(); }
    QString getListData() const;
    bool LastCmdSucces() const { return m_lastCmdSucces; }
    // The last listing brought no entries and the server said it could not
    // read the folder: in the listing's final reply (ReplyCodes::SaysFolderUnread),
    // or by refusing the machine listing asked after it (EmptyListing). Its
    // empty listing tells nothing of what the folder holds. Entries are what
    // the server read.
    bool ListingUnread() const;
    // Why the running or last operation failed, when the engine judged it
    // (a short upload, repeats run out ...); empty when a reply said it.
    QString LastFailure() const { return m_lastFailure; }
    // Why the engine itself ended the last session (replies it could not put
    // in order, a copy's part that never ended); empty when the session ended
    // any other way, such as a lost connection.
    QString EndedSessionReason() const { return m_endedSessionReason; }
    bool SessionActive() const { return m_sessionActive; }
    QString LastCommandSink() const { return m_transcript; }
    QString RemoteFilePath() const { return m_remoteFile; }
    QString LocalFilePath() const { return m_localFilePath; }
    qint64 ExpectedSize() const { return m_expectedSize; }
    qint64 BytesDone() const { return m_bytesDone; }
    // How far the running transfer is, as DataProgress tells it: for an
    // upload the bytes the server's side acknowledged, not those still
    // queued on this side.
    qint64 ProgressBytes() const;
    // How far the last upload put its file into the data connection (from
    // the file's start), whatever the server took of it.
    qint64 BytesSent() const { return m_bytesSent; }
    // The address and port the control connection actually reached (empty
    // and 0 without one): "localhost" and 127.0.0.1 give the same address.
    QString ReachedAddress() const;
    long ReachedPort() const { return m_control.isConnected() ? m_control.peerPort() : 0; }

    // --- saved property set ---------------------------------------------------
    void InitProperties();
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // --- seams --------------------------------------------------------------
    void setLoginFailedHandler(LoginFailedHandler *handler) { m_loginHandler = handler; }
    // Answers whether one line of a STAT reply lists `remoteFile` (the upload
    // overwrite check). The default parses the line with GetFileList.
    using ListingLineCheck = std::function<bool(const QString &line, const QString &remoteFile)>;
    void setOverwriteListingCheck(ListingLineCheck check) { m_listingLineCheck = std::move(check); }

    // Read access for tests and diagnostics.
    QStringList MacroList() const { return m_macros; }
    FtpCommandRecord CommandRecord(int index) const;
    QString DefaultReplyMap() const { return m_defaultMap; }
    EngineTimer *timer() const { return m_timer; }

signals:
    void Error(long code, const QString &description, bool sessionClosed);
    void NotifyModal(bool &modal);
    void WarnIdeal(int minutes);
    void ValidateUploadOverwrite(int &answer, const QString &remoteFile);
    void FileSizeDetermined(qint64 size, const QString &remoteFile);
    void FileSizeDiffer(qint64 size, const QString &remoteFile, const QString &direction);
    void FileDateTimeDetermined(const QString &dateText, const QString &remoteFile);
    void FileDateTimeDiffer(const QString &dateText, const QString &remoteFile);
    void Message(const QString &text);
    void FtpConnect();
    void FtpDisconnect();
    void JobDone();
    void FtpError();
    void FileComplete();
    void ServerReplied(const QString &code, const QString &line);
    void CommandSent(const QString &unused, const QString &command);
    void DataConnect();
    void DataDisconnect();
    void DataPacket(qint64 bytes);
    void ConnectionFailed();
    void HandlePassiveAddress(const QString &address, long port);
    void DataProgress(qint64 bytesSoFar);

    // Not one of the engine's events: the server accepted the running
    // transfer command (its 125 or 150); from now on an upload's target holds
    // this file's data, not what it held before.
    void TransferAccepted();
    // Not one of the engine's events: the status display should be redrawn.
    void StatusChanged();
    // Not one of the engine's events: a reply (or the greeting) did not come
    // within the time-out; the step is repeated or the operation fails.
    void ReplyTimedOut(long seconds);
    // A design-time property was set (its key in the saved property set).
    void PropertyChanged(const QString &key);

private:
    void SetUpTransfer(const QString &remoteFile, const QString &localFile, qint64 size, qint64 done);
    void StartPathOperation(int action, const QString &procedure, QString &slot, const QString &path);
    // tables (FtpCommanderTables.cpp)
    void InitGlobal();
    void LoadCmds();

    // macro runner (FtpCommanderRunner.cpp)
    void ExecuteFtpMacro(int action, const QString &stepsOverride = QString());
    void ExecuteResumeMacro();
    void ExecuteStep(int step);
    void IncrProc();
    void EndFtpMacro();
    void JumpProc(int step);
    // `reply`: the final reply that asked for the repeat (none after a time-out).
    void RepeatStep(const QString &reply = QString());
    void StartIdleTimer();
    bool SendFtpCommand(const QString &command, const QString &successCodes, const QString &status);
    void FailBackAction(const QString &code, const QString &line);
    void TakeAbortReply(const QString &code, const QString &line);
    void SendAbortMarker();
    void AbortThen(int stepAgain);
    void GetBackInStep(const QString &line);
    void AfterAbortMarker();
    void EndSessionOutOfStep(const QString &reason);
    void IgnoreReply(const QString &line);
    void HandleReplyLine(const ReplyReader::Line &line);
    void HandleFinalReply(const QString &codeText, const QString &line);
    void FailOperation(const QString &message);
    void CompleteMacro();
    bool AskCredentials();
    void ArmTimer(const QString &mode, int intervalMs, qint64 countdownMs);
    bool TimeIsUp() const;
    void StopTimer();
    // The time-out of a copy's part whose other server has ended.
    void ArmOtherServerWait();

    // control connection (FtpCommanderConnection.cpp)
    void NewConnection();
    void WSk_M_Connect();
    void WSK_M_Close();
    void WSk_M_Error(const QString &description);
    void WSk_M_DataArrival();
    void ReportStrayLine(const ReplyReader::Line &line);
    void OnTimerTick();
    void CloseControlQuietly();
    void DropSession(long errorCode, const QString &description);

    // data connection (FtpCommanderData.cpp)
    QString BuildDataConnectionCommand();
    bool PrepareTransferStep(int step);
    void EndPassiveProbe();
    void OnPreliminaryTransferReply();
    bool ConnectPASV(int step);
    bool ParsePasvReply(const QString &line, QString &host, long &port) const;
    QString BuildPortCommand();
    void NotifyPASV(const QStringList &passiveReply);
    // Raises HandlePassiveAddress for a copy's store, once.
    void HandOnStoreAddress();
    void Store();
    void WSk_D_Connect();
    void WSK_D_Close();
    void WSk_D_Error(const QString &description);
    void WSK_D_DataArrival();
    void WSk_D_DataWritten(qint64 bytes);
    void NoteAcknowledged();
    void PollAcknowledged();
    void WSk_D_SendComplete();
    bool OpenCacheFileForWriting();
    bool OpenFileForWriting();
    void OpenFileForSending();
    bool OpenGivenFile(QFile &file) const;
    bool SendNextBlocks();
    void FinishSending();
    void CloseFile();
    void CloseListingFile();
    void LocalFileFailed(const QString &what);
    bool ValidFtpDownload(const QString &line);
    int ValidFtpUpload(const QString &line);
    // The asking of what the server holds (FtpCommanderHeldFile.cpp): its
    // replies, and what the operation does once it knows.
    void StartHeldCheck(bool withTime);
    bool IsHeldCheckReply() const;
    void TakeHeldReply(const QString &code, const QString &line);
    void EndHeldCheck();
    void ConfirmAbsenceBySize();
    int AskUploadOverwrite();
    void ResumeSendAt(qint64 stored);
    // An upload that ends unfinished shows what the server confirmed it holds.
    bool KeepConfirmedUploadBytes();
    void CheckTransferDone();
    // Whether an empty listing is a folder the server could not read
    // (FtpCommanderEmptyListing.cpp): FEAT once a session, then MLSD.
    bool ListingBringsNoEntries() const;
    bool EmptyListingNeedsAsking() const;
    void AskWhetherListingRead();
    void AskMachineListing();
    bool TakeEmptyListingReply(const QString &code, const QString &line, bool preliminary);
    void EndEmptyListingQuestion();
    void CheckStoredSize(const QString &code, const QString &line);
    void BeginTransferWait(bool afterList);
    bool IsNonIdempotent(int step) const;
    void ReissueDataStep();

    EngineTimer *m_timer = nullptr;
    EngineSocket m_control;
    EngineSocket m_data;
    ReplyReader m_reader;
    LoginFailedHandler *m_loginHandler = nullptr;
    ListingLineCheck m_listingLineCheck;

    // properties
    int m_maxIdealMinutes = 15;
    FtpTask *m_linkedTask = nullptr;
    QString m_cacheFile;
    QString m_remotePath;
    bool m_busy = false;
    bool m_visible = false;
    bool m_listingAllowed = false;
    QString m_startupPath = QStringLiteral("/");
    QString m_filter;
    long m_systemType = 0;
    QString m_user;
    QString m_password;
    QString m_designUser;
    QString m_designPassword;
    long m_port = 21;
    QString m_serverUrl;
    long m_mode = 0;
    int m_maxConnectionTry = 4;
    long m_commandTimeout = 20;
    int m_connectionTimeout = 30;
    bool m_keepAlive = false;

    // tables
    QStringList m_macros;
    std::array<FtpCommandRecord, kCommandRecords> m_records;
    QString m_defaultMap;

    // macro state
    QList<int> m_steps;
    int m_currentIndex = -1;
    int m_currentStep = -1;
    long m_currentAct = 0;
    long m_lastAct = -1;
    bool m_lastCmdSucces = false;
    QString m_lastFailure;
    QString m_endedSessionReason; // see EndedSessionReason()
    bool m_sessionActive = false;
    QString m_currentSuccess;
    QString m_currentMap;
    QString m_transcript;
    int m_repeats = 0;
    int m_jumps = 0; // reply-map jumps taken in the running operation
    bool m_repeating = false;
    bool m_dataDetour = false; // back to the data step on the way to a transfer step
    bool m_quitting = false;
    bool m_controlOpen = false; // a connection attempt or connection exists
    bool m_awaitingGreeting = false;
    int m_unansweredPolls = 0; // idle polls written whose reply has not come yet
    // The verbs of the commands whose final reply has not come yet, oldest
    // first: "" for the greeting and for commands the user typed, which any
    // complete reply answers.
    QStringList m_owed;
    // ABOR and the PWD behind it are out: every reply up to the PWD's is the abort's.
    bool m_abortPending = false;
    int m_abortOwed = 0;           // final replies owed to the commands written before ABOR
    bool m_abortMayFold = false;   // the last of those is a transfer's, which one reply to ABOR may stand for
    bool m_lateTransferEnd = false; // an aborted transfer's own end may still come: one reply stood for two
    bool m_passiveProbe = false;    // NOOP went out on a new passive connection, before the transfer command
    bool m_passiveProbed = false;   // that connection brought nothing: the transfer command may use it
    bool m_markerDeferred = false; // the end marker waits for the first reply after ABOR: the transfer has ended
    int m_abortReplies = 0;        // final replies taken since ABOR went out
    bool m_abortAnswered = false;  // a positive reply that can be ABOR's has come
    QString m_abortStray;          // a reply since then that can answer neither ABOR nor its marker
    quint64 m_abortSerial = 0;     // the operation the abort's end belongs to
    int m_stepAgain = -1;          // the step asked again once the abort ended; -1: the operation ends
    int m_resyncs = 0;             // aborts to get the replies back in step since an operation last completed
    QString m_resyncReason;        // the reply that could not answer its command
    QStringList m_openReply;       // the lines so far of a multi-line reply
    QStringList m_lastReply;       // the lines of the last whole reply
    quint64 m_commandsWritten = 0;
    quint64 m_operationSerial = 0;

    // timer
    QString m_timerMode;
    bool m_packetFromData = false;
    qint64 m_deadline = 0; // on m_timer's clock: when the armed time-out runs out
    double m_idleMinutes = 0;
    int m_keepAliveCounter = 0;
    int m_connectionAttempts = 0;

    // transfer
    QString m_dataTag;
    QString m_remoteFile;
    QString m_localFilePath;
    std::unique_ptr<QFile> m_localFile;
    // The file the caller opened for this upload, sent in place of opening
    // its path; kept until the operation ends.
    std::unique_ptr<QFile> m_givenFile;
    std::unique_ptr<QFile> m_listFile;
    qint64 m_expectedSize = 0;
    qint64 m_bytesDone = 0;
    // The bytes of the current upload the server is known to hold: where the
    // upload started, or the size the server gave for its file.
    qint64 m_confirmedBytes = 0;
    qint64 m_bytesSent = 0;
    // The running upload's position in the file the system took, and the
    // last position the server's side acknowledged.
    qint64 m_uploadWritten = 0;
    qint64 m_uploadAcknowledged = 0;
    struct {
        qint64 position = 0;
        qint64 time = 0;
    } m_uploadAsked; // where and when the system was last asked what it holds unacknowledged
    // After the last byte of an upload went to the system, until the server
    // acknowledged them all or the operation ended: the system is asked again.
    QTimer m_acknowledgedPoll;
    qint64 m_transferPosition = 0;
    qint64 m_resumeOffset = 0;
    // The restart offset the server holds for its next RETR or STOR: accepted
    // (350) and not yet used by one (some servers keep it across other commands).
    qint64 m_restHeld = 0;
    qint64 m_restAsked = 0; // the offset of the REST written last, until its reply
    qint64 m_listBytes = 0;
    qint64 m_blockSize = 8192;
    QString m_expectedDate;
    bool m_abortOnDateChange = false;
    bool m_resume = false;
    bool m_dataConnected = false;
    bool m_dataClosed = false;
    bool m_dataArrived = false; // the transfer's data connection brought bytes
    bool m_waitingForTransfer = false;
    bool m_waitAfterList = false;
    bool m_listingRetried = false;
    bool m_listingUnread = false; // the server said it could not read the folder listed
    FtpCommander::EmptyListing m_emptyListing = EmptyListing::AsEmpty;
    // Whether this session's server has MLSD, as its FEAT says; asked when first needed.
    enum class MachineListing { Unknown, Present, Absent };
    MachineListing m_machineListing = MachineListing::Unknown;
    // The question after an empty listing under way: FEAT, or MLSD (the
    // data step and step 10, whose bytes are dropped: tag "P").
    enum class EmptyListingQuestion { None, Features, Listing };
    EmptyListingQuestion m_emptyQuestion = EmptyListingQuestion::None;
    qint64 m_questionBytes = 0;
    bool m_uploadStarted = false;
    // The engine sent the last block and closed the data connection itself,
    // with nothing left in the socket's buffer and no close or error before.
    bool m_uploadFinished = false;
    bool m_checkingStoredSize = false; // the SIZE after an upload's final reply
    // SIZE (and MDTM) ask what the server holds under m_remoteFile.
    bool m_heldCheck = false;
    bool m_heldWithTime = false;
    bool m_heldTypeSet = false; // the check's TYPE I changed the session's type: it is put back
    HeldFile m_held;
    HeldFile m_heldGiven; // the caller's fresh answer, used once by this operation
    QChar m_typeAsked;    // a TYPE typed by hand, in force once the server accepts it
    QChar m_transferType; // 'I' or 'A' as the session's last TYPE set it; null: the server's default
    bool m_preliminarySeen = false;
    bool m_otherServerEnded = false; // see OtherServerEnded()
    int m_autoResumes = 0;
    int m_dataStepRetries = 0;
    QString m_sourcePath;
    QString m_targetPath;
    QString m_peerAddress;
    long m_peerPort = 0;
    long m_portFirst = -1;
    long m_portWidth = -1;
    long m_portCurrent = -1;
    QStringList m_replyLines; // final and intermediate lines of the running step
    QString m_passiveReply;   // the 227 line of the current data step, until used
    QElapsedTimer m_passiveAsked;   // since the last PASV went out
    qint64 m_passiveRoundTrip = -1; // how long its 227 took
    std::pair<QString, long> m_storeAddress; // a copy store's passive address
    bool m_storeAddressDue = false;          // not handed on yet
};

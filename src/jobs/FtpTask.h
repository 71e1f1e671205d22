#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

#include <functional>
#include <optional>

// How many jobs of a queue run, completed and failed (Status 1, 2 and 3).
struct JobStatusCounts {
    int active = 0;
    int completed = 0;
    int failed = 0;
    // Counts a job of the status in (+1) or out (-1); other statuses are not counted.
    void Count(int status, int change);
};

// One queued transfer of one file between a local folder and a folder on an
// FTP server, in either direction. It carries the server and credentials it
// needs, so any job connection can run it, packs itself into one text record
// (a line of a job file) and names itself by `ZavUdeID`.
class FtpTask
{
public:
    // The overwrite question asked before a download replaces a local file:
    // gets the question text, answers "1", "*", "-1" or "-*" (anything else
    // skips).
    using OverwriteQuestion = std::function<QString(const QString &text)>;
    // Where the task reads the current time (tests pass their own).
    using Clock = std::function<QDateTime()>;

    static constexpr int kFieldCount = 21;
    static constexpr QChar kSeparator = QChar(2);

    FtpTask();

    QString LocalFileTitle() const { return m_localFileTitle; }
    void setLocalFileTitle(const QString &value) { m_localFileTitle = value; }
    QString RemoteFileTitle() const { return m_remoteFileTitle; }
    void setRemoteFileTitle(const QString &value) { m_remoteFileTitle = value; }
    QString RemotePath() const { return m_remotePath; }
    void setRemotePath(const QString &value) { m_remotePath = value; }
    QString LocalPath() const { return m_localPath; }
    void setLocalPath(const QString &value) { m_localPath = value; }
    QString RemoteFileTime() const { return m_remoteFileTime; }
    void setRemoteFileTime(const QString &value) { m_remoteFileTime = value; }

    // The local file's modification time, refreshed from the file ("" when it
    // is missing) and kept.
    QString LocalDate();
    // The value kept by the last LocalDate() or read from a record.
    QString StoredLocalDate() const { return m_localDate; }

    qint64 Size() const { return m_size; }
    void setSize(qint64 value) { m_size = value; }
    qint64 TransferedBytes() const { return m_transferedBytes; }
    // A larger value also feeds the rate behind the time-left estimate.
    void setTransferedBytes(qint64 value);
    QString LastAttemp() const { return m_lastAttemp; }
    void setLastAttemp(const QString &value) { m_lastAttemp = value; }
    QString ServerAddress() const { return m_serverAddress; }
    void setServerAddress(const QString &value) { m_serverAddress = value; }
    int ServerPort() const { return m_serverPort; }
    void setServerPort(int value) { m_serverPort = value; }
    QString User() const { return m_user; }
    void setUser(const QString &value) { m_user = value; }
    QString Password() const { return m_password; }
    void setPassword(const QString &value) { m_password = value; }
    // 0 passive, 1 active.
    int TransferMode() const { return m_transferMode; }
    void setTransferMode(int value) { m_transferMode = value; }
    bool IsUpload() const { return m_isUpload == 1; }
    void setIsUpload(bool value) { m_isUpload = value ? 1 : 0; }
    bool IsResume() const { return m_isResume == 1; }
    void setIsResume(bool value) { m_isResume = value ? 1 : 0; }
    // An upload whose STOR the server accepted: the server may hold part of
    // the file, whatever TransferedBytes says. Never stored.
    bool SentData() const { return m_sentData; }
    void setSentData(bool value) { m_sentData = value; }
    // The local file was given other content (an edit job's snapshot taken
    // again): what runs of the earlier content left on the server is none of
    // it, so the job holds nothing and resumes from nothing. A run counts
    // bytes only while the revision it started with is current. Never stored.
    void LocalFileReplaced();
    quint32 LocalFileRevision() const { return m_localFileRevision; }
    // What "&Resume" is offered for: a failed upload that sent data (the
    // resume asks the server how much it holds), else a job part-way through.
    bool OffersResume() const;
    bool Locked() const { return m_locked == 1; }
    void setLocked(bool value);
    // 0 idle, 1 active, 2 completed, 3 failed.
    int Status() const { return m_status.value(); }
    // Any status but 3 clears the failure reason; every change restarts the rate.
    void setStatus(int value);
    qint64 FailureReason() const { return m_failureReason; }
    void setFailureReason(qint64 value);
    // Neither running, locked nor failed: the dispatcher may give it a connection.
    bool WaitsForConnection() const { return m_status.value() != 1 && m_locked == 0 && m_failureReason == 0; }
    // The queue's count of jobs that started waiting again (set when the job joins a queue).
    void setReopenCount(std::shared_ptr<quint64> count) { m_reopenCount = std::move(count); }
    // The counts of the queue whose summary counts this job (set when it joins that queue): each
    // change of status is counted there, so the summary needs no walk of the queue.
    void setStatusCounts(std::shared_ptr<JobStatusCounts> counts) { m_status.counts = std::move(counts); }
    const std::shared_ptr<JobStatusCounts> &StatusCounts() const { return m_status.counts; }
    // The key: computed on first use unless a record supplied it.
    QString ZavUdeID() const;
    QString OriginalLocalFileTime() const { return m_originalLocalFileTime; }
    void setOriginalLocalFileTime(const QString &value) { m_originalLocalFileTime = value; }
    qint64 OriginalLocalSize() const { return m_originalLocalSize; }
    void setOriginalLocalSize(qint64 value) { m_originalLocalSize = value; }
    int DirectoryLevel() const { return m_directoryLevel; }
    void setDirectoryLevel(int value);
    QString LoadTag() const { return m_loadTag; }

    QString GetLocalFilePath() const;
    QString GetRemoteFilePath() const;

    QString GetPackedData() const;
    // Reads the 21 fields in order. False, with the fields read so far kept,
    // when a field is missing, is out of range or is not to be trusted (a
    // title that is no plain name, a local folder that is not a clean
    // absolute path, a line break in any field), or when more fields follow.
    bool ReadFromString(const QString &record, const QString &loadTag);

    QString GetEstimatedTimeLeft() const;

    bool ValidForProcessing(QString &message, bool &overwriteAll, bool &skipAll, bool confirmOverwrite,
                            const OverwriteQuestion &ask);
    // A refusal fails the job (reason 4 missing, 5 size, 6 time). An upload
    // that holds nothing confirmed on the server but sent data may resume.
    // A size or time of the local file the job never recorded changes nothing,
    // unless the size the job was made with tells otherwise.
    bool IsUploadResumeOk(QString &message, bool checkTime);
    // An upload made elsewhere may not know its local file: the file as a run
    // starts to send it is recorded, so a later resume can tell it changed.
    void RecordLocalFileIfUnrecorded();
    bool IsUploadOk(QString &message);

    void BeginLevelRecording();
    void EndLevelRecording();
    QString LevelRemoteDirPath() const;
    bool IsUpwardNavigation() const;
    QString LevelRecord() const { return m_levelRecord; }

    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Times the program writes into a job: one fixed form, so a file read
    // under another locale keeps them.
    static QString FormatTime(const QDateTime &time);
    // The fixed form first, then the locale's forms; nothing when unreadable.
    static std::optional<QDateTime> ParseTime(const QString &text);
    // The key of the text fields as given (upper-cased, joined, MD5).
    static QString ComputeKey(bool isUpload, const QString &serverAddress, const QString &remotePath,
                              const QString &remoteFileTitle, const QString &localPath,
                              const QString &localFileTitle);

private:
    QDateTime now() const;
    void noteIfReopened(bool waitedBefore);

    QString m_localFileTitle;
    QString m_remoteFileTitle;
    QString m_remotePath;
    QString m_localPath;
    QString m_remoteFileTime;
    QString m_localDate;
    qint64 m_size = 0;
    qint64 m_transferedBytes = 0;
    QString m_lastAttemp;
    QString m_serverAddress;
    int m_serverPort = 0;
    QString m_user;
    QString m_password;
    int m_transferMode = 0;
    quint8 m_isUpload = 0;
    quint8 m_isResume = 0;
    bool m_sentData = false;
    quint32 m_localFileRevision = 0;
    std::shared_ptr<quint64> m_reopenCount;
    quint8 m_locked = 1;
    // The status, counted in the counts of the queue the job belongs to. A copy
    // of a job (one written to a file as pending, say) belongs to no queue; a
    // job assigned over keeps its queue, and the status it takes is counted there.
    class CountedStatus
    {
    public:
        CountedStatus() = default;
        CountedStatus(const CountedStatus &other) : m_value(other.m_value) {}
        CountedStatus &operator=(const CountedStatus &other);
        int value() const { return m_value; }
        void set(int value);
        std::shared_ptr<JobStatusCounts> counts;

    private:
        int m_value = 0;
    } m_status;
    qint64 m_failureReason = 0;
    mutable QString m_zavUdeID;
    QString m_originalLocalFileTime;
    qint64 m_originalLocalSize = -1;
    int m_directoryLevel = 0;

    QString m_loadTag;
    bool m_levelRecordingOn = false;
    QString m_levelRecord;
    QDateTime m_rateStartTime; // null: not started
    qint64 m_rateBytes = 0;
    Clock m_clock;
};

// "Ideal", "Active", "Completed", the failure reason's text (or "Failed (" &
// text & ")" when parenthesised), "" for any other status.
QString GetJobStatusText(const FtpTask &job, bool parenthesised);
// The text of a failure reason; "Failed" for 0 and unknown codes.
QString FailureReasonText(qint64 reason);

// The one file a job writes, as one text: for a download its local file
// (absolute, cleaned, its folder's links resolved when it exists), for an
// upload the server and user and the remote path. Jobs of one text must
// never write at once.
QString JobTargetKey(const FtpTask &job);
// The key of an upload to `remoteFile` on the server as the user.
QString UploadTargetKey(const QString &user, const QString &host, int port, const QString &remoteFile);

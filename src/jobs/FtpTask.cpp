#include "FtpTask.h"

#include "ErrorLog.h"
#include "MD5Driver.h"
#include "Paths.h"
#include "ServerLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

const QString kObject = QStringLiteral("FtpTask");

// An exact decimal whole number: an optional minus and digits only, so a
// value is never bent through floating point or cut to a narrower type.
std::optional<qint64> ReadWholeNumber(const QString &text, qint64 low, qint64 high)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,19}$"));
    const QString trimmed = text.trimmed();
    if (!decimal.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

bool HoldsLineBreakOrNul(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

// A folder the job may write into: absolute, with no "." or ".." element.
bool IsCleanAbsoluteFolder(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

QString DoubledRemoved(QString text, QChar separator)
{
    const QString doubled(2, separator);
    while (text.contains(doubled))
        text.replace(doubled, QString(separator));
    return text;
}

constexpr qint64 kInt32Min = std::numeric_limits<qint32>::min();
constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();

} // namespace

FtpTask::FtpTask() = default;

// Only ever compared with another reading: UTC spares the time-zone lookup
// that local time makes at every reading, twice for every job.
QDateTime FtpTask::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

QString FtpTask::LocalDate()
{
    const QFileInfo info(GetLocalFilePath());
    m_localDate = info.exists() ? FormatTime(info.lastModified()) : QString();
    return m_localDate;
}

void FtpTask::setTransferedBytes(qint64 value)
{
    if (value > m_transferedBytes) {
        m_rateBytes += value - m_transferedBytes;
        if (m_rateStartTime.isNull())
            m_rateStartTime = now();
    }
    m_transferedBytes = value;
}

void JobStatusCounts::Count(int status, int change)
{
    switch (status) {
    case 1: active += change; break;
    case 2: completed += change; break;
    case 3: failed += change; break;
    default: break;
    }
}

FtpTask::CountedStatus &FtpTask::CountedStatus::operator=(const CountedStatus &other)
{
    set(other.m_value);
    return *this;
}

void FtpTask::CountedStatus::set(int value)
{
    if (counts && value != m_value) {
        counts->Count(m_value, -1);
        counts->Count(value, 1);
    }
    m_value = value;
}

void FtpTask::setStatus(int value)
{
    const bool waited = WaitsForConnection();
    m_status.set(value);
    if (value != 3)
        m_failureReason = 0;
    noteIfReopened(waited);
    m_rateStartTime = QDateTime();
    m_rateBytes = 0;
}

void FtpTask::setLocked(bool value)
{
    const bool waited = WaitsForConnection();
    m_locked = value ? 1 : 0;
    noteIfReopened(waited);
}

void FtpTask::setFailureReason(qint64 value)
{
    const bool waited = WaitsForConnection();
    m_failureReason = value;
    noteIfReopened(waited);
}

// A job that starts waiting again may stand before the dispatcher's place in
// the queue: the count tells the dispatcher to look from the start.
void FtpTask::noteIfReopened(bool waitedBefore)
{
    if (!waitedBefore && WaitsForConnection() && m_reopenCount)
        ++*m_reopenCount;
}

void FtpTask::setDirectoryLevel(int value)
{
    m_directoryLevel = value;
    if (m_levelRecordingOn)
        m_levelRecord += QLatin1Char('|') + QString::number(value);
}

QString FtpTask::ZavUdeID() const
{
    if (m_zavUdeID.isEmpty())
        m_zavUdeID = ComputeKey(IsUpload(), m_serverAddress, m_remotePath, m_remoteFileTitle, m_localPath,
                                m_localFileTitle);
    return m_zavUdeID;
}

QString FtpTask::ComputeKey(bool isUpload, const QString &serverAddress, const QString &remotePath,
                            const QString &remoteFileTitle, const QString &localPath,
                            const QString &localFileTitle)
{
    const QString text = QString(isUpload ? QStringLiteral("1") : QStringLiteral("0")) + serverAddress +
                         remotePath + remoteFileTitle + localPath + localFileTitle;
    return DigestStrToHexStr(text.toUpper());
}

QString FtpTask::GetLocalFilePath() const
{
    return DoubledRemoved(m_localPath + QLatin1Char('/') + m_localFileTitle, QLatin1Char('/'));
}

QString FtpTask::GetRemoteFilePath() const
{
    return DoubledRemoved(m_remotePath + QLatin1Char('/') + m_remoteFileTitle, QLatin1Char('/'));
}

QString FtpTask::GetPackedData() const
{
    const QStringList fields{
        m_localFileTitle,
        m_remoteFileTitle,
        m_remotePath,
        m_localPath,
        m_remoteFileTime,
        m_localDate,
        QString::number(m_size),
        QString::number(m_transferedBytes),
        m_lastAttemp,
        m_serverAddress,
        QString::number(m_serverPort),
        m_user,
        m_password,
        QString::number(m_transferMode),
        QString::number(m_isUpload),
        m_loadTag,
        QString::number(m_status.value()),
        QString::number(m_failureReason),
        ZavUdeID(),
        m_originalLocalFileTime,
        QString::number(m_originalLocalSize),
    };
    return fields.join(kSeparator);
}

bool FtpTask::ReadFromString(const QString &record, const QString &loadTag)
{
    try {
        const QStringList fields = record.split(kSeparator);
        const auto text = [&](int index, QString &target) {
            if (index >= fields.size() || HoldsLineBreakOrNul(fields[index]))
                return false;
            target = fields[index];
            return true;
        };
        const auto number = [&](int index, qint64 low, qint64 high) -> std::optional<qint64> {
            if (index >= fields.size())
                return std::nullopt;
            return ReadWholeNumber(fields[index], low, high);
        };

        QString value;
        if (!text(0, value) || !IsSafeRemoteName(value))
            return false;
        m_localFileTitle = value;
        if (!text(1, value) || !IsSafeRemoteName(value))
            return false;
        m_remoteFileTitle = value;
        if (!text(2, m_remotePath))
            return false;
        if (!text(3, value) || !IsCleanAbsoluteFolder(value))
            return false;
        m_localPath = value;
        if (!text(4, m_remoteFileTime) || !text(5, m_localDate))
            return false;
        auto whole = number(6, kInt64Min, kInt64Max);
        if (!whole)
            return false;
        m_size = *whole;
        if (!(whole = number(7, 0, kInt64Max)))
            return false;
        m_transferedBytes = *whole;
        if (!text(8, m_lastAttemp) || !text(9, m_serverAddress))
            return false;
        if (!(whole = number(10, 0, 65535)))
            return false;
        m_serverPort = static_cast<int>(*whole);
        if (!text(11, m_user) || !text(12, m_password))
            return false;
        if (!(whole = number(13, 0, 1)))
            return false;
        m_transferMode = static_cast<int>(*whole);
        if (!(whole = number(14, 0, 1)))
            return false;
        m_isUpload = static_cast<quint8>(*whole);
        if (fields.size() <= 15)
            return false;
        m_loadTag = loadTag;
        if (!(whole = number(16, kInt32Min, kInt32Max)))
            return false;
        setStatus(static_cast<int>(*whole));
        if (!(whole = number(17, kInt64Min, kInt64Max)))
            return false;
        m_failureReason = *whole;
        if (!text(18, m_zavUdeID) || !text(19, m_originalLocalFileTime))
            return false;
        if (!(whole = number(20, kInt64Min, kInt64Max)))
            return false;
        m_originalLocalSize = *whole;
        return fields.size() == kFieldCount;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ReadFromString"));
        return false;
    }
}

QString FtpTask::GetEstimatedTimeLeft() const
{
    static const QString estimating = QStringLiteral("Estimating...");
    if (m_status.value() != 1)
        return {};
    if (m_rateStartTime.isNull())
        return estimating;
    const qint64 seconds = m_rateStartTime.secsTo(now());
    if (seconds < 1)
        return estimating;
    const double rate = std::nearbyint(static_cast<double>(m_rateBytes) / static_cast<double>(seconds));
    if (rate < 1)
        return estimating;
    const double left = std::nearbyint(static_cast<double>(m_size - m_transferedBytes) / rate);
    if (left < 0 || left > static_cast<double>(kInt64Max / 2))
        return estimating;
    const qint64 t = static_cast<qint64>(left);
    if (t <= 3600)
        return QString::number(t / 60) + QStringLiteral("min.");
    return QString::number(t / 3600) + QStringLiteral("hr. ") + QString::number((t % 3600) / 60) +
           QStringLiteral("min.");
}

bool FtpTask::ValidForProcessing(QString &message, bool &overwriteAll, bool &skipAll, bool confirmOverwrite,
                                 const OverwriteQuestion &ask)
{
    try {
        if (!(Status() == 0 || (Status() == 3 && (m_failureReason == 0 || m_failureReason == 7))))
            return false;
        const QString path = GetLocalFilePath();
        const bool exists = QFileInfo::exists(path);
        if (IsUpload()) {
            if (exists)
                return true;
            setStatus(3);
            m_failureReason = 4;
            message = QStringLiteral("Skipping upload - ") + path + QStringLiteral(" was not found!");
            return false;
        }
        if (IsResume())
            return true;
        bool skip = false;
        if (skipAll) {
            skip = exists;
        } else if (!overwriteAll && confirmOverwrite && exists) {
            const QString answer =
                ask ? ask(QStringLiteral("Do you wish to overwrite existing file\r\n'") + path + QStringLiteral("' ?"))
                    : QString();
            if (answer == QLatin1String("*")) {
                overwriteAll = true;
            } else if (answer == QLatin1String("1")) {
            } else {
                if (answer == QLatin1String("-*"))
                    skipAll = true;
                skip = true;
            }
        }
        if (!skip)
            return true;
        setStatus(3);
        m_failureReason = 8;
        message = QStringLiteral("Skipping overwrite - ") + path;
        return false;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ValidForProcessing"));
        return false;
    }
}

void FtpTask::LocalFileReplaced()
{
    ++m_localFileRevision;
    m_transferedBytes = 0;
    m_sentData = false;
    m_isResume = 0;
}

bool FtpTask::OffersResume() const
{
    if (IsUpload() && Status() == 3)
        return m_transferedBytes > 0 || m_sentData;
    return m_transferedBytes > 0 && m_transferedBytes < m_size;
}

bool FtpTask::IsUploadResumeOk(QString &message, bool checkTime)
{
    try {
        if (!IsUpload() || (m_transferedBytes == 0 && !m_sentData))
            return false;
        const QString path = GetLocalFilePath();
        const QFileInfo info(path);
        const auto refuse = [&](qint64 reason, const QString &text) {
            message = text;
            setStatus(3);
            m_failureReason = reason;
            return false;
        };
        if (!info.exists())
            return refuse(4, QStringLiteral("Cannot find file '") + path +
                                 QStringLiteral("'! Aborting resume process."));
        // A size or time never recorded (a job file written elsewhere) is no
        // change; the size the job was made with still is the file's.
        const qint64 recorded = m_originalLocalSize >= 0 ? m_originalLocalSize : m_size > 0 ? m_size : -1;
        if (recorded >= 0 && info.size() != recorded)
            return refuse(5, QStringLiteral("Local file '") + path +
                                 QStringLiteral("' has changed in size after last resume attempt! Aborting resume process."));
        if (checkTime && !m_originalLocalFileTime.trimmed().isEmpty()) {
            const auto recorded = ParseTime(m_originalLocalFileTime);
            const qint64 current = info.lastModified().toSecsSinceEpoch();
            if (!recorded || recorded->toSecsSinceEpoch() != current)
                return refuse(6, QStringLiteral("Local file '") + path +
                                     QStringLiteral("' has changed after last upload attempt! Aborting resume process."));
        }
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("IsUploadResumeOk"));
        return false;
    }
}

void FtpTask::RecordLocalFileIfUnrecorded()
{
    const QFileInfo info(GetLocalFilePath());
    if (!IsUpload() || !info.exists())
        return;
    if (m_originalLocalSize < 0)
        m_originalLocalSize = info.size();
    if (m_originalLocalFileTime.trimmed().isEmpty())
        m_originalLocalFileTime = FormatTime(info.lastModified());
}

bool FtpTask::IsUploadOk(QString &message)
{
    const QString path = GetLocalFilePath();
    if (QFileInfo::exists(path))
        return true;
    message = QStringLiteral("Cannot find file '") + path + QStringLiteral("'! Aborting upload process.");
    setStatus(3);
    m_failureReason = 4;
    return false;
}

void FtpTask::BeginLevelRecording()
{
    m_levelRecordingOn = true;
    m_levelRecord.clear();
}

void FtpTask::EndLevelRecording()
{
    m_levelRecordingOn = false;
    m_levelRecord.clear();
}

QString FtpTask::LevelRemoteDirPath() const
{
    QString path = m_remotePath;
    for (int level = 0; level < m_directoryLevel; ++level) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0 && path.size() > 1)
            path.truncate(slash);
    }
    return path;
}

bool FtpTask::IsUpwardNavigation() const
{
    if (m_levelRecord.size() > 50)
        return true;
    if (m_levelRecord.isEmpty())
        return false;
    static const QRegularExpression backToTop(QStringLiteral("[0-9]\\|0\\|[0-9]"));
    if (backToTop.match(m_levelRecord).hasMatch())
        return true;
    const QStringList levels = m_levelRecord.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < levels.size(); ++i) {
        if (levels[i].toLongLong() > levels[i + 1].toLongLong())
            return true;
    }
    return false;
}

QString FtpTask::FormatTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<QDateTime> FtpTask::ParseTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QDateTime time = QDateTime::fromString(trimmed, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const QLocale &locale : {QLocale(), QLocale::system()}) {
        if (time.isValid())
            break;
        time = locale.toDateTime(trimmed, QLocale::ShortFormat);
        if (!time.isValid())
            time = locale.toDateTime(trimmed, QLocale::LongFormat);
    }
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString FailureReasonText(qint64 reason)
{
    switch (reason) {
    case 1: return QStringLiteral("Remote file missing");
    case 2: return QStringLiteral("Local file size changed");
    case 3: return QStringLiteral("Remote file Time");
    case 4: return QStringLiteral("Local file missing");
    case 5: return QStringLiteral("Local file size changed");
    case 6: return QStringLiteral("Local file Time");
    case 7: return QStringLiteral("Cancelled by user");
    case 8: return QStringLiteral("Skipped by user");
    case 9: return QStringLiteral("Server denied");
    case 10: return QStringLiteral("Local system has problem with this job");
    case 11: return QStringLiteral("Network error");
    case 12: return QStringLiteral("Connection reset by server");
    default: return QStringLiteral("Failed");
    }
}

QString GetJobStatusText(const FtpTask &job, bool parenthesised)
{
    switch (job.Status()) {
    case 0: return QStringLiteral("Ideal");
    case 1: return QStringLiteral("Active");
    case 2: return QStringLiteral("Completed");
    case 3: {
        const QString reason = FailureReasonText(job.FailureReason());
        return parenthesised ? QStringLiteral("Failed (") + reason + QLatin1Char(')') : reason;
    }
    default: return {};
    }
}

QString UploadTargetKey(const QString &user, const QString &host, int port, const QString &remoteFile)
{
    return ServerUserKey(user, host, port) + QLatin1Char('|') + QDir::cleanPath(remoteFile);
}

QString JobTargetKey(const FtpTask &job)
{
    if (job.IsUpload())
        return UploadTargetKey(job.User(), job.ServerAddress(), job.ServerPort(),
                               job.RemotePath() + QLatin1Char('/') + job.RemoteFileTitle());
    // One folder reached through a link, "..", or a relative path is still
    // one folder; as the system resolves it, where it exists.
    const QString folder = QFileInfo(job.LocalPath()).canonicalFilePath();
    const QString name = job.LocalFileTitle();
    if (!folder.isEmpty())
        return QDir::cleanPath(folder + QLatin1Char('/') + name);
    return QDir::cleanPath(QFileInfo(job.LocalPath()).absoluteFilePath() + QLatin1Char('/') + name);
}

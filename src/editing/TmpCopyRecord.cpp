#include "TmpCopyRecord.h"

#include "Paths.h"
#include "StoredFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A record is a few hundred bytes; anything much larger was not written by us.
constexpr qint64 kMaxRecordBytes = 16 * 1024;
constexpr qsizetype kMaxTextLength = 4096;
// A copy is read again for its digest only up to this size.
constexpr qint64 kMaxDigestBytes = 64LL * 1024 * 1024;

// Texts of a record read back from disk: bounded, and the names of the
// profile, server and user without control characters. A remote path may
// hold any character a listing gives but NUL; it is only compared, never sent.
std::optional<QString> CleanText(const QJsonValue &value, bool mayBeEmpty, bool anyCharacter = false)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    if ((!mayBeEmpty && text.isEmpty()) || text.size() > kMaxTextLength)
        return std::nullopt;
    for (const QChar c : text) {
        if (c.unicode() == 0 || (!anyCharacter && (c.unicode() < 0x20 || c.unicode() == 0x7f)))
            return std::nullopt;
    }
    return text;
}

// A digest as written: absent (empty), or 64 hexadecimal digits.
std::optional<QString> DigestText(const QJsonValue &value)
{
    if (value.isUndefined())
        return QString();
    const QString text = value.isString() ? value.toString() : QString();
    if (text.size() != 64)
        return std::nullopt;
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return std::nullopt;
    }
    return text;
}

std::optional<qint64> WholeNumber(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

struct MarkName {
    TmpCopyRecord::Mark mark;
    QLatin1String name;
};
constexpr MarkName kMarks[] = {
    {TmpCopyRecord::Mark::None, QLatin1String("downloaded")},
    {TmpCopyRecord::Mark::Declined, QLatin1String("declined")},
    {TmpCopyRecord::Mark::Queued, QLatin1String("queued")},
    {TmpCopyRecord::Mark::KeptAside, QLatin1String("aside")},
};

// A record without a state was written by an earlier version.
std::optional<TmpCopyRecord::Mark> MarkOf(const QJsonValue &value)
{
    if (value.isUndefined())
        return TmpCopyRecord::Mark::Legacy;
    for (const MarkName &known : kMarks) {
        if (value.isString() && value.toString() == known.name)
            return known.mark;
    }
    return std::nullopt;
}

bool IsPlainFile(const QFileInfo &info) { return info.isFile() && !info.isSymLink(); }

} // namespace

TmpCopyRecord TmpCopyRecord::OfCopy(const QString &copyPath, const TmpCopyOrigin &origin)
{
    const QFileInfo copy(copyPath);
    TmpCopyRecord record;
    record.origin = origin;
    if (copy.exists()) {
        record.size = copy.size();
        record.modifiedMs = copy.lastModified().toMSecsSinceEpoch();
        record.digest = DigestOf(copyPath);
    }
    return record;
}

QString TmpCopyRecord::DigestOf(const QString &copyPath)
{
    QFile file(copyPath);
    if (!IsPlainFile(QFileInfo(copyPath)) || file.size() > kMaxDigestBytes || !file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

bool TmpCopyRecord::SameBytes(const QString &copyPath, qint64 size, qint64 modifiedMs, const QString &digest)
{
    const QFileInfo copy(copyPath);
    if (!copy.isFile() || copy.size() != size)
        return false;
    if (copy.lastModified().toMSecsSinceEpoch() == modifiedMs)
        return true;
    return !digest.isEmpty() && DigestOf(copyPath) == digest;
}

QString TmpCopyRecords::RecordPath(const QString &copyPath) const
{
    return JoinLocalPath(Folder(), QFileInfo(copyPath).fileName());
}

bool TmpCopyRecords::FolderIsLink() const { return QFileInfo(Folder()).isSymLink(); }

std::optional<TmpCopyRecord> TmpCopyRecords::Read(const QString &copyPath) const
{
    const QString path = RecordPath(copyPath);
    const QFileInfo info(path);
    if (FolderIsLink() || !IsPlainFile(info) || info.size() > kMaxRecordBytes)
        return std::nullopt;
    const std::optional<QByteArray> bytes = StoredFile::ReadAll(path);
    if (!bytes)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto profile = CleanText(object.value(QLatin1String("profile")), false);
    const auto server = CleanText(object.value(QLatin1String("server")), false);
    const auto user = CleanText(object.value(QLatin1String("user")), true);
    const auto remotePath = CleanText(object.value(QLatin1String("remotePath")), false, true);
    const auto port = WholeNumber(object.value(QLatin1String("port")));
    const auto size = WholeNumber(object.value(QLatin1String("size")));
    const auto modified = WholeNumber(object.value(QLatin1String("modified")));
    const auto mark = MarkOf(object.value(QLatin1String("state")));
    const auto digest = DigestText(object.value(QLatin1String("digest")));
    if (!profile || !server || !user || !remotePath || !port || !size || !modified || !mark || !digest || *port < 1
        || *port > 65535 || *size < 0)
        return std::nullopt;
    TmpCopyRecord record;
    record.origin = {*profile, *server, static_cast<int>(*port), *user, *remotePath};
    record.size = *size;
    record.modifiedMs = *modified;
    record.digest = *digest;
    record.mark = *mark;
    if (record.mark == TmpCopyRecord::Mark::Queued) {
        const auto job = CleanText(object.value(QLatin1String("job")), false);
        const auto queuedSize = WholeNumber(object.value(QLatin1String("queuedSize")));
        const auto queuedModified = WholeNumber(object.value(QLatin1String("queuedModified")));
        const auto queuedDigest = DigestText(object.value(QLatin1String("queuedDigest")));
        if (!job || !queuedSize || !queuedModified || !queuedDigest || *queuedSize < 0)
            return std::nullopt;
        record.jobKey = *job;
        record.queuedSize = *queuedSize;
        record.queuedModifiedMs = *queuedModified;
        record.queuedDigest = *queuedDigest;
    }
    return record;
}

bool TmpCopyRecords::Write(const QString &copyPath, const TmpCopyRecord &record) const
{
    const QString path = RecordPath(copyPath);
    // A link standing in the folder's or the record's place is replaced, never written through.
    if (!RealFolderAt(Folder()) || !RemoveLinkAt(path))
        return false;
    const TmpCopyOrigin &origin = record.origin;
    QJsonObject object;
    object.insert(QLatin1String("profile"), origin.profileName);
    object.insert(QLatin1String("server"), origin.server);
    object.insert(QLatin1String("port"), QString::number(origin.port));
    object.insert(QLatin1String("user"), origin.user);
    object.insert(QLatin1String("remotePath"), origin.remotePath);
    object.insert(QLatin1String("size"), QString::number(record.size));
    object.insert(QLatin1String("modified"), QString::number(record.modifiedMs));
    if (!record.digest.isEmpty())
        object.insert(QLatin1String("digest"), record.digest);
    for (const MarkName &known : kMarks) {
        if (known.mark == record.mark)
            object.insert(QLatin1String("state"), QString(known.name));
    }
    if (record.mark == TmpCopyRecord::Mark::Queued) {
        object.insert(QLatin1String("job"), record.jobKey);
        object.insert(QLatin1String("queuedSize"), QString::number(record.queuedSize));
        object.insert(QLatin1String("queuedModified"), QString::number(record.queuedModifiedMs));
        if (!record.queuedDigest.isEmpty())
            object.insert(QLatin1String("queuedDigest"), record.queuedDigest);
    }
    return StoredFile::WriteAtomically(path, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void TmpCopyRecords::Remove(const QString &copyPath) const
{
    if (!FolderIsLink())
        QFile::remove(RecordPath(copyPath));
}

bool TmpCopyRecords::Rename(const QString &copyPath, const QString &newCopyPath) const
{
    if (FolderIsLink())
        return false;
    const QString from = RecordPath(copyPath);
    if (!QFileInfo::exists(from))
        return true;
    const QString to = RecordPath(newCopyPath);
    QFile::remove(to);
    return QFile::rename(from, to);
}

bool TmpCopyRecord::ChangedIn(const QString &copyPath) const { return !SameBytes(copyPath, size, modifiedMs, digest); }

bool TmpCopyRecord::UnchangedSinceQueued(const QString &copyPath) const
{
    return mark == Mark::Queued && SameBytes(copyPath, queuedSize, queuedModifiedMs, queuedDigest);
}

TmpCopyState TmpCopyRecords::State(const QString &copyPath) const
{
    if (!IsPlainFile(QFileInfo(copyPath)))
        return TmpCopyState::AsDownloaded; // nothing there to keep
    const std::optional<TmpCopyRecord> record = Read(copyPath);
    if (!record)
        return TmpCopyState::Changed;
    switch (record->mark) {
    case TmpCopyRecord::Mark::Declined:
        return TmpCopyState::Declined;
    case TmpCopyRecord::Mark::Queued:
        return TmpCopyState::Queued;
    case TmpCopyRecord::Mark::KeptAside:
        return TmpCopyState::KeptAside;
    case TmpCopyRecord::Mark::Legacy:
        return record->ChangedIn(copyPath) ? TmpCopyState::Changed : TmpCopyState::MayBeChanged;
    case TmpCopyRecord::Mark::None:
        break;
    }
    return record->ChangedIn(copyPath) ? TmpCopyState::Changed : TmpCopyState::AsDownloaded;
}

QStringList TmpCopyRecords::CopiesQueuedAs(const QString &jobKey) const
{
    QStringList copies;
    if (jobKey.isEmpty() || FolderIsLink())
        return copies;
    const QFileInfoList entries = QDir(Folder()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const std::optional<TmpCopyRecord> record = Read(entry.fileName());
        if (record && record->mark == TmpCopyRecord::Mark::Queued && record->jobKey.compare(jobKey, Qt::CaseInsensitive) == 0)
            copies << entry.fileName();
    }
    return copies;
}

QString TmpCopyRecords::AdoptOldRecords(const QString &oldFolder) const
{
    const QFileInfo old(oldFolder);
    if (old.isSymLink()) {
        // Never read through: the link goes, its target stays.
        (void)RemoveLinkAt(oldFolder);
        return {};
    }
    if (!old.isDir())
        return {};
    const TmpCopyRecords earlier(oldFolder);
    const QFileInfoList entries =
        QDir(oldFolder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (!IsPlainFile(entry) || QFileInfo(RecordPath(name)).exists() || QFileInfo(RecordPath(name)).isSymLink())
            continue;
        if (const std::optional<TmpCopyRecord> record = earlier.Read(name))
            (void)Write(name, *record);
    }
    // Only what the folder itself holds goes (a link, not its target); then the folder.
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() || entry.isFile())
            QFile::remove(entry.filePath());
    }
    if (!QDir().rmdir(oldFolder)) {
        // Something of its own is left in it: the name is freed all the same.
        const QString parked = JoinLocalPath(QFileInfo(Folder()).path(), QStringLiteral("TmpOrigins.unread"));
        if (!QFileInfo::exists(parked) && !QFileInfo(parked).isSymLink() && QDir().rename(oldFolder, parked))
            return parked;
    }
    return {};
}

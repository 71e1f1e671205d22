#include "TmpCopyRecord.h"

#include "Paths.h"
#include "StoredFile.h"

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

std::optional<qint64> WholeNumber(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

} // namespace

TmpCopyRecord TmpCopyRecord::OfCopy(const QString &copyPath, const TmpCopyOrigin &origin)
{
    const QFileInfo copy(copyPath);
    TmpCopyRecord record;
    record.origin = origin;
    if (copy.exists()) {
        record.size = copy.size();
        record.modifiedMs = copy.lastModified().toMSecsSinceEpoch();
    }
    return record;
}

QString TmpCopyRecords::RecordPath(const QString &copyPath) const
{
    return JoinLocalPath(Folder(), QFileInfo(copyPath).fileName());
}

std::optional<TmpCopyRecord> TmpCopyRecords::Read(const QString &copyPath) const
{
    const QString path = RecordPath(copyPath);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxRecordBytes)
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
    if (!profile || !server || !user || !remotePath || !port || !size || !modified || *port < 1 || *port > 65535
        || *size < 0)
        return std::nullopt;
    TmpCopyRecord record;
    record.origin = {*profile, *server, static_cast<int>(*port), *user, *remotePath};
    record.size = *size;
    record.modifiedMs = *modified;
    return record;
}

bool TmpCopyRecords::Write(const QString &copyPath, const TmpCopyRecord &record) const
{
    const QString path = RecordPath(copyPath);
    // A link standing in the record's place is replaced, never written through.
    if (!QDir().mkpath(Folder()) || !RemoveLinkAt(path))
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
    return StoredFile::WriteAtomically(path, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void TmpCopyRecords::Remove(const QString &copyPath) const
{
    QFile::remove(RecordPath(copyPath));
}

bool TmpCopyRecords::Rename(const QString &copyPath, const QString &newCopyPath) const
{
    const QString from = RecordPath(copyPath);
    if (!QFileInfo::exists(from))
        return true;
    const QString to = RecordPath(newCopyPath);
    QFile::remove(to);
    return QFile::rename(from, to);
}

bool TmpCopyRecord::ChangedIn(const QString &copyPath) const
{
    const QFileInfo copy(copyPath);
    return !copy.isFile() || copy.size() != size || copy.lastModified().toMSecsSinceEpoch() != modifiedMs;
}

#include "ProfileRecordFile.h"

#include "CBase64.h"
#include "ErrorLog.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ProfileRecordFile::ProfileRecordFile(QString path)
    : m_path(std::move(path))
{
}

bool ProfileRecordFile::exists() const { return QFileInfo(m_path).isFile(); }

void ProfileRecordFile::ensureExists() const
{
    if (exists()) {
        constexpr QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        const QFileDevice::Permissions current = QFile::permissions(m_path);
        if (current & others)
            QFile::setPermissions(m_path, current & ~others); // best effort: reading still works without it
        return;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    writeBytes({});
}

QByteArray ProfileRecordFile::readBytes() const
{
    QString error;
    const auto bytes = StoredFile::ReadAll(m_path, &error);
    if (!bytes)
        throw RuntimeError(exists() ? ErrorNumber::PathFileAccess : ErrorNumber::FileNotFound, error);
    return *bytes;
}

int ProfileRecordFile::recordCount() const { return static_cast<int>(readBytes().size() / RecordSize); }

QByteArray ProfileRecordFile::readRecord(int number) const
{
    if (number < 1)
        throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("Bad record number"));
    const QByteArray bytes = readBytes();
    const qsizetype offset = static_cast<qsizetype>(number - 1) * RecordSize;
    if (offset + RecordSize > bytes.size())
        return {};
    return bytes.mid(offset, RecordSize);
}

void ProfileRecordFile::writeRecord(int number, const QByteArray &record) const
{
    if (record.size() != RecordSize)
        throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("A profile record must be 1024 bytes"));
    QByteArray bytes = exists() ? readBytes() : QByteArray();
    const int count = static_cast<int>(bytes.size() / RecordSize);
    if (number < 1 || number > count + 1)
        throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("Bad record number"));
    const qsizetype offset = static_cast<qsizetype>(number - 1) * RecordSize;
    if (number == count + 1)
        bytes.truncate(offset); // an appended record takes the place of a partial tail
    bytes.replace(offset, std::min(RecordSize, bytes.size() - offset), record);
    writeBytes(bytes);
}

void ProfileRecordFile::removeRecord(int number) const
{
    QByteArray bytes = readBytes();
    const int count = static_cast<int>(bytes.size() / RecordSize);
    if (number < 1 || number > count)
        throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("Bad record number"));
    bytes.remove(static_cast<qsizetype>(number - 1) * RecordSize, RecordSize);
    writeBytes(bytes);
}

void ProfileRecordFile::writeBytes(const QByteArray &bytes) const
{
    QString error;
    if (!StoredFile::WriteAtomically(m_path, bytes, StoredFile::Privacy::Private, &error))
        throw RuntimeError(ErrorNumber::PathFileAccess, error);
}

QByteArray ProfileRecordFile::EncodeRecord(const CProfile &profile)
{
    QByteArray record = CBase64().ToBase64Ex(profile.GetPackedData()).toLatin1().left(RecordSize);
    record.append(QByteArray(RecordSize - record.size(), ' '));
    return record;
}

std::optional<CProfile> ProfileRecordFile::DecodeRecord(const QByteArray &record)
{
    const QString base64 = QString::fromLatin1(record).trimmed();
    CProfile profile;
    if (!profile.ReadFromString(CBase64().Base64ToStringEx(base64)))
        return std::nullopt;
    return profile;
}

ProfileStorability CheckStorable(const CProfile &profile)
{
    const QString packed = profile.GetPackedData();
    // Ten separators join the eleven fields; any more came from a field.
    if (packed.count(kPackedFieldSeparator) != 10 || packed.contains(QChar(0)))
        return ProfileStorability::ForbiddenCharacter;
    if (TextCodec::ByteLength(packed) > ProfileRecordFile::MaxPackedBytes)
        return ProfileStorability::TooLong;
    return ProfileStorability::Storable;
}

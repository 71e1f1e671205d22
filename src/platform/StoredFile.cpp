#include "StoredFile.h"

#include <QFile>
#include <QSaveFile>

namespace StoredFile {

namespace {

constexpr QFileDevice::Permissions kPrivatePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

bool WriteAtomically(const QString &path, const QByteArray &data, Privacy privacy, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    if (privacy == Privacy::Private && !file.setPermissions(kPrivatePermissions)) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (file.write(data) != data.size()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

bool AppendLine(const QString &path, const QByteArray &line, Privacy privacy, QString *error)
{
    QFile file(path);
    const bool existed = file.exists();
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        setError(error, file.errorString());
        return false;
    }
    if (!existed && privacy == Privacy::Private)
        file.setPermissions(kPrivatePermissions);

    QByteArray out;
    const qint64 size = file.size();
    if (size > 0) {
        // Read the last byte through a separate handle: an append-mode handle
        // always writes at the end, whatever its read position.
        QFile reader(path);
        if (reader.open(QIODevice::ReadOnly) && reader.seek(size - 1)) {
            const QByteArray last = reader.read(1);
            if (last != "\n" && last != "\r")
                out += "\r\n";
        }
    }
    out += line;
    out += "\r\n";
    if (file.write(out) != out.size() || !file.flush()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

std::optional<QByteArray> ReadAll(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace StoredFile

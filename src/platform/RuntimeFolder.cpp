#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace RuntimeFolder {

QString Path()
{
    const QString fromEnvironment = qEnvironmentVariable("FTPQOR_RUNTIME_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    const QString session = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!session.isEmpty())
        return QDir::cleanPath(session);
    return QDir::tempPath() + QStringLiteral("/ftpqor-") + QString::number(::getuid());
}

bool Ensure(const QString &path)
{
    QDir dir(path);
    if (!dir.exists() && !QDir().mkpath(path))
        return false;
    // A folder of another user (say one made in the temporary folder before
    // us) would let that user hold our lock or answer our hand-offs.
    if (QFileInfo(path).ownerId() != ::geteuid())
        return false;
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        || QFileInfo(path).isWritable();
}

} // namespace RuntimeFolder

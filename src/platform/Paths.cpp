#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString joinWithSlash(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (name.isEmpty())
        return folder;
    const bool folderEnds = folder.endsWith(QLatin1Char('/'));
    const bool nameStarts = name.startsWith(QLatin1Char('/'));
    if (folderEnds && nameStarts)
        return folder + name.mid(1);
    if (folderEnds || nameStarts)
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace

QString JoinLocalPath(const QString &folder, const QString &name) { return joinWithSlash(folder, name); }

QString JoinRemotePath(const QString &folder, const QString &name) { return joinWithSlash(folder, name); }

bool IsSafeRemoteName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

bool RemoveLinkAt(const QString &path)
{
    if (!QFileInfo(path).isSymLink())
        return true;
    // unlink(2): the link goes, its target stays.
    return QFile::remove(path) && !QFileInfo(path).isSymLink();
}

bool RealFolderAt(const QString &path)
{
    if (!RemoveLinkAt(path) || !QDir().mkpath(path))
        return false;
    const QFileInfo folder(path);
    return folder.isDir() && !folder.isSymLink();
}

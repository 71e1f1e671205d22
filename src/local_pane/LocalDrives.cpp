#include "LocalDrives.h"

#include <QDir>
#include <QSet>
#include <QStorageInfo>

namespace {

LocalDrive driveAt(const QString &path)
{
    LocalDrive drive;
    drive.Path = path;
    const QStorageInfo storage(path);
    drive.IsReady = storage.isValid() && storage.isReady() && QFileInfo(path).isReadable();
    drive.Type = DriveTypeOfFileSystem(storage.fileSystemType());
    drive.AvailableSpace = drive.IsReady ? storage.bytesAvailable() : -1;
    return drive;
}

bool worthListing(const QStorageInfo &volume)
{
    const QString root = volume.rootPath();
    if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/"))
        || root.startsWith(QLatin1String("/run/media/")))
        return true;
    const int type = DriveTypeOfFileSystem(volume.fileSystemType());
    return type == DriveType::Network && !root.startsWith(QLatin1String("/proc"));
}

bool underOrAt(const QString &path, const QString &mountPoint)
{
    if (mountPoint == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == mountPoint || path.startsWith(mountPoint + QLatin1Char('/'));
}

} // namespace

QList<LocalDrive> ListLocalDrives()
{
    QList<LocalDrive> drives;
    QSet<QString> seen;
    auto add = [&](const QString &path) {
        const QString clean = QDir::cleanPath(path);
        if (clean.isEmpty() || seen.contains(clean))
            return;
        seen.insert(clean);
        drives << driveAt(clean);
    };
    add(QDir::rootPath());
    add(QDir::homePath());
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && worthListing(volume))
            add(volume.rootPath());
    }
    return drives;
}

LocalDrive DriveOfPath(const QList<LocalDrive> &drives, const QString &path)
{
    LocalDrive best;
    for (const LocalDrive &drive : drives) {
        if (underOrAt(path, drive.Path) && drive.Path.size() > best.Path.size())
            best = drive;
    }
    return best;
}

QString GetDriveTypeKey(int driveType)
{
    switch (driveType) {
    case DriveType::CdRom:
        return QStringLiteral("CD");
    case DriveType::Fixed:
        return QStringLiteral("HDD");
    case DriveType::Removable:
        return QStringLiteral("FLP");
    case DriveType::Network:
        return QStringLiteral("NET");
    case DriveType::RamDisk:
        return QStringLiteral("RAM");
    default:
        return QStringLiteral("UKN");
    }
}

int DriveTypeOfFileSystem(const QByteArray &fileSystemType)
{
    const QByteArray type = fileSystemType.toLower();
    if (type.isEmpty())
        return DriveType::Unknown;
    if (type == "iso9660" || type == "udf")
        return DriveType::CdRom;
    if (type == "tmpfs" || type == "ramfs")
        return DriveType::RamDisk;
    if (type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" || type == "smbfs"
        || type == "fuse.sshfs" || type == "9p" || type == "davfs")
        return DriveType::Network;
    if (type == "vfat" || type == "exfat" || type == "msdos")
        return DriveType::Removable;
    return DriveType::Fixed;
}

#include "LocalDrives.h"

#include "StorageProbe.h"

#include <QDir>
#include <QSet>
#include <QStorageInfo>

namespace {

bool worthListing(const QStorageInfo &volume)
{
    const QString root = volume.rootPath();
    if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/"))
        || root.startsWith(QLatin1String("/run/media/")))
        return true;
    const int type = DriveTypeOfFileSystem(volume.fileSystemType());
    return type == DriveType::Network && !root.startsWith(QLatin1String("/proc"));
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
        drives << VolumeOfFolder(clean);
    };
    add(QDir::rootPath());
    add(QDir::homePath());
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && worthListing(volume))
            add(volume.rootPath());
    }
    return drives;
}

LocalDrive VolumeOfFolder(const QString &folder)
{
    const StorageState state = ProbeStorage(folder);
    LocalDrive drive;
    drive.Path = folder;
    drive.IsReady = state.folderExists && state.ready && QFileInfo(folder).isReadable();
    drive.Type = DriveTypeOfFileSystem(state.fileSystemType);
    drive.AvailableSpace = drive.IsReady ? state.freeBytes : -1;
    return drive;
}

DriveLister MachineDrives()
{
    return {ListLocalDrives, VolumeOfFolder};
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

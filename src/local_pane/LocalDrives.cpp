#include "LocalDrives.h"

#include "StorageProbe.h"

#include <QDir>
#include <QFile>
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
    auto add = [&](const QString &path, const QString &mountPoint) {
        const QString clean = QDir::cleanPath(path);
        if (clean.isEmpty() || seen.contains(clean))
            return;
        seen.insert(clean);
        LocalDrive drive = VolumeOfFolder(clean);
        drive.MountPoint = mountPoint;
        drives << drive;
    };
    add(QDir::rootPath(), QDir::rootPath());
    add(QDir::homePath(), QStorageInfo(QDir::homePath()).rootPath());
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && worthListing(volume))
            add(volume.rootPath(), volume.rootPath());
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

QStringList MountPointsOf(const QByteArray &mountTable)
{
    QStringList points;
    for (const QByteArray &line : mountTable.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const QByteArray &field = fields.at(1);
        QByteArray name;
        name.reserve(field.size());
        for (qsizetype i = 0; i < field.size(); ++i) {
            bool octal = false;
            if (field.at(i) == '\\' && i + 3 < field.size()) {
                const int code = field.mid(i + 1, 3).toInt(&octal, 8);
                if (octal && code >= 0 && code < 256) {
                    name += static_cast<char>(code);
                    i += 3;
                    continue;
                }
            }
            name += field.at(i);
        }
        points << QDir::cleanPath(QFile::decodeName(name));
    }
    return points;
}

bool DriveReadyNow(const DriveLister &lister, const LocalDrive &drive)
{
    if (drive.Path.isEmpty())
        return false;
    // A table that cannot be read says nothing about the drive.
    const QByteArray table = lister.MountTable ? lister.MountTable() : QByteArray();
    if (!table.isEmpty() && !MountPointsOf(table).contains(QDir::cleanPath(drive.MountPoint)))
        return false;
    const QFileInfo folder(drive.Path);
    return folder.isDir() && folder.isReadable() && QDir(drive.Path).isReadable();
}

DriveLister MachineDrives()
{
    const auto mountTable = [] {
        QFile table(QStringLiteral("/proc/self/mounts"));
        return table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
    };
    return {ListLocalDrives, VolumeOfFolder, mountTable};
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

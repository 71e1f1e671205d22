#pragma once

#include <QList>
#include <QString>

#include <functional>

// The local "drives": mount points of the machine, the root folder and the
// home folder first. Types follow the file-system type.
namespace DriveType {
constexpr int Unknown = 0;
constexpr int Removable = 1;
constexpr int Fixed = 2;
constexpr int Network = 3;
constexpr int CdRom = 4;
constexpr int RamDisk = 5;
} // namespace DriveType

struct LocalDrive
{
    QString Path;       // the mount point, e.g. "/" or "/media/usb"
    bool IsReady = false;
    int Type = DriveType::Unknown;
    qint64 AvailableSpace = -1; // bytes free for the user; -1 when unknown
};

using DriveLister = std::function<QList<LocalDrive>()>;

// The machine's drives: "/", the home folder, then other mounted volumes of
// real devices or network shares.
QList<LocalDrive> ListLocalDrives();

// The drive a path lies on: the one whose mount point is its longest prefix.
// An empty drive (Path empty) when none matches.
LocalDrive DriveOfPath(const QList<LocalDrive> &drives, const QString &path);

// The image key of a drive type: "CD", "HDD", "FLP", "NET", "RAM" or "UKN".
QString GetDriveTypeKey(int driveType);

// The drive type of a file-system type name as the kernel reports it.
int DriveTypeOfFileSystem(const QByteArray &fileSystemType);

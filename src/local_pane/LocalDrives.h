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
    QString MountPoint; // the mount point of the volume holding Path when the drive was listed
    bool IsReady = false;
    int Type = DriveType::Unknown;
    qint64 AvailableSpace = -1; // bytes free for the user; -1 when unknown
};

// Where the local pane learns about drives: the list for the drive box, the
// volume that holds one folder, read afresh each time it is asked (free space
// changes with every download; a folder may sit on a volume that is not in the
// list), and the mount table as it stands now (a volume may be unmounted after
// the list was made). Without a mount table, mounts are not checked.
struct DriveLister
{
    std::function<QList<LocalDrive>()> List;
    std::function<LocalDrive(const QString &folder)> VolumeOf;
    std::function<QByteArray()> MountTable;
};

// The machine's drives: "/", the home folder, then other mounted volumes of
// real devices or network shares.
QList<LocalDrive> ListLocalDrives();

// The volume holding a folder, with Path the folder itself: one file-system
// query, no mount table.
LocalDrive VolumeOfFolder(const QString &folder);

// The mount points named in a mount table in the kernel's "mounts" format
// (blanks and backslashes in names written as octal escapes).
QStringList MountPointsOf(const QByteArray &mountTable);

// Whether a listed drive can be opened now: its volume is in the mount table
// (when the lister has one) and its folder is readable.
bool DriveReadyNow(const DriveLister &lister, const LocalDrive &drive);

// The real drives of the machine.
DriveLister MachineDrives();

// The image key of a drive type: "CD", "HDD", "FLP", "NET", "RAM" or "UKN".
QString GetDriveTypeKey(int driveType);

// The drive type of a file-system type name as the kernel reports it.
int DriveTypeOfFileSystem(const QByteArray &fileSystemType);

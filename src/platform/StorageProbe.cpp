#include "StorageProbe.h"

#include <QFile>
#include <QFileInfo>

#include <sys/statfs.h>
#include <sys/statvfs.h>

namespace {

// The names the kernel gives the file systems whose kind matters to the
// program (optical, memory, network, removable); any other file system is
// named by its number, which reads as a fixed disk.
QByteArray fileSystemName(unsigned long magic)
{
    switch (magic) {
    case 0xEF53: return QByteArrayLiteral("ext4");
    case 0x9123683E: return QByteArrayLiteral("btrfs");
    case 0x58465342: return QByteArrayLiteral("xfs");
    case 0x794C7630: return QByteArrayLiteral("overlay");
    case 0x9660: return QByteArrayLiteral("iso9660");
    case 0x15013346: return QByteArrayLiteral("udf");
    case 0x01021994: return QByteArrayLiteral("tmpfs");
    case 0x858458F6: return QByteArrayLiteral("ramfs");
    case 0x6969: return QByteArrayLiteral("nfs");
    case 0xFF534D42: return QByteArrayLiteral("cifs");
    case 0xFE534D42: return QByteArrayLiteral("smb3");
    case 0x517B: return QByteArrayLiteral("smbfs");
    case 0x01021997: return QByteArrayLiteral("9p");
    case 0x4D44: return QByteArrayLiteral("vfat");
    case 0x2011BAB0: return QByteArrayLiteral("exfat");
    case 0x65735546: return QByteArrayLiteral("fuse");
    default: return QByteArrayLiteral("0x") + QByteArray::number(static_cast<qulonglong>(magic), 16);
    }
}

} // namespace

StorageState ProbeStorage(const QString &folder)
{
    StorageState state;
    const QFileInfo info(folder);
    state.folderExists = info.exists() && info.isDir();
    if (!state.folderExists)
        return state;
    struct statfs volume {};
    if (::statfs(QFile::encodeName(folder).constData(), &volume) != 0) {
        state.ready = false;
        return state;
    }
    state.fileSystemType = fileSystemName(static_cast<unsigned long>(volume.f_type));
    state.readOnlyMedia = (volume.f_flags & ST_RDONLY) != 0 || state.fileSystemType == "iso9660"
        || state.fileSystemType == "udf";
    const qint64 blockSize = volume.f_frsize > 0 ? volume.f_frsize : volume.f_bsize;
    state.freeBytes = static_cast<qint64>(volume.f_bavail) * blockSize;
    return state;
}

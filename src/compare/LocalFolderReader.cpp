#include "LocalFolderReader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <memory>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the folder stream on every path.
struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};

// The system's text for an error; folders are read on several threads at once.
QString errorText(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

} // namespace

LocalFolderContents ReadLocalFolder(const QString &path)
{
    LocalFolderContents contents;
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        contents.Absent = errno == ENOENT || errno == ENOTDIR;
        contents.Error = errorText(errno);
        return contents;
    }
    struct stat own {};
    if (fstat(fd, &own) == 0) {
        contents.ModifiedSecs = own.st_mtim.tv_sec;
        contents.Device = own.st_dev;
        contents.Inode = own.st_ino;
    }
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (!dir) {
        contents.Error = errorText(errno);
        close(fd);
        return contents;
    }
    while (const dirent *entry = readdir(dir.get())) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        LocalEntry item;
        item.Name = QFile::decodeName(name);
        struct stat info {};
        if (fstatat(dirfd(dir.get()), name, &info, 0) == 0) {
            item.IsFolder = S_ISDIR(info.st_mode);
            item.Size = item.IsFolder ? 0 : static_cast<qint64>(info.st_size);
            item.ModifiedSecs = info.st_mtim.tv_sec;
            item.Device = info.st_dev;
            item.Inode = info.st_ino;
        } else if (fstatat(dirfd(dir.get()), name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            item.ModifiedSecs = info.st_mtim.tv_sec; // a dangling link: listed as an empty file
        }
        (item.IsFolder ? contents.Folders : contents.Files).push_back(std::move(item));
    }
    contents.Ok = true;
    return contents;
}

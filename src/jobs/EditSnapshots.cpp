#include "EditSnapshots.h"

#include "DataRoot.h"
#include "FtpTask.h"
#include "Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// The job failure reasons: local file missing, its size changed, its time changed.
constexpr qint64 kMissing = 4;
constexpr qint64 kSizeChanged = 5;
constexpr qint64 kTimeChanged = 6;

// A descriptor closed when it goes out of scope, unless handed on.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// `name` in the folder `at` refers to, never through a link in its place;
// a file is opened without waiting for a writer (a FIFO put there).
Descriptor OpenBelow(int at, const QString &name, int flags)
{
    return Descriptor(::openat(at, QFile::encodeName(name).constData(),
                               flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_RDONLY));
}

} // namespace

QString EditSnapshots::DefaultFolder() { return DataRoot::FileInRoot(QStringLiteral("EditUploads")); }

bool EditSnapshots::CopyInto(const QString &file, const QString &target) const
{
    const QFileInfo source(file);
    if (!source.isFile() || source.isSymLink())
        return false;
    const QDateTime modified = source.lastModified();
    // Whole or not at all: a part-copy never stands in the snapshot's place.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(file, part))
        return false;
    // The copy's time goes with its bytes: what a job sent is known as the copy's by both.
    QFile written(part);
    if (!written.open(QIODevice::Append) || !written.setFileTime(modified, QFileDevice::FileModificationTime)) {
        QFile::remove(part);
        return false;
    }
    written.close();
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(part).toStdString(), QFile::encodeName(target).toStdString(), error);
    if (error) {
        QFile::remove(part);
        return false;
    }
    return true;
}

std::optional<QString> EditSnapshots::Take(const QString &file, const QString &name) const
{
    if (!IsSafeRemoteName(name) || !RealFolderAt(m_folder))
        return std::nullopt;
    const QString folder = JoinLocalPath(m_folder, QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkdir(folder))
        return std::nullopt;
    if (!CopyInto(file, JoinLocalPath(folder, name))) {
        QDir().rmdir(folder);
        return std::nullopt;
    }
    return folder;
}

bool EditSnapshots::Holds(const FtpTask &job) const
{
    const QString folder = QDir::cleanPath(job.LocalPath());
    const QFileInfo info(folder);
    return job.IsUpload() && !m_folder.isEmpty() && info.path() == QDir::cleanPath(m_folder)
           && IsSafeRemoteName(info.fileName()) && IsSafeRemoteName(job.LocalFileTitle())
           && !QFileInfo(m_folder).isSymLink() && !info.isSymLink();
}

bool EditSnapshots::Claims(const FtpTask &job) const
{
    const QString folder = QDir::cleanPath(m_folder);
    return job.IsUpload() && !m_folder.isEmpty()
           && QDir::cleanPath(job.GetLocalFilePath()).startsWith(folder + QLatin1Char('/'));
}

OpenedSnapshot EditSnapshots::Open(const FtpTask &job) const
{
    const QString file = QDir::cleanPath(job.GetLocalFilePath());
    const SnapshotFault missing{kMissing, QStringLiteral("The saved copy '") + file
                                              + QStringLiteral("' of the edited file is missing or reached "
                                                               "through a link; it was not uploaded.")};
    if (!Holds(job))
        return {nullptr, missing};
    // Each step opened below the one before, none through a link, and the
    // file checked through its own handle: a link or another file put in
    // its path after the check is never what is read. A second name of the
    // file (a hard link) means it is not the snapshot's own.
    const Descriptor folder(::open(QFile::encodeName(QDir::cleanPath(m_folder)).constData(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const Descriptor subFolder = OpenBelow(folder.get(), QFileInfo(QDir::cleanPath(job.LocalPath())).fileName(), O_DIRECTORY);
    Descriptor opened = OpenBelow(subFolder.get(), job.LocalFileTitle(), 0);
    struct stat status{};
    if (opened.get() < 0 || ::fstat(opened.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1)
        return {nullptr, missing};
    const SnapshotFault changed{kSizeChanged, QStringLiteral("The saved copy '") + file
                                                  + QStringLiteral("' of the edited file changed after it was "
                                                                   "queued; it was not uploaded.")};
    if (status.st_size != job.OriginalLocalSize())
        return {nullptr, changed};
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(qint64(status.st_mtim.tv_sec) * 1000
                                                              + status.st_mtim.tv_nsec / 1000000);
    if (FtpTask::FormatTime(modified) != job.OriginalLocalFileTime())
        return {nullptr, SnapshotFault{kTimeChanged, changed.text}};
    auto snapshot = std::make_unique<QFile>();
    if (!snapshot->open(opened.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {nullptr, missing};
    opened.release();
    return {std::move(snapshot), std::nullopt};
}

std::optional<SnapshotFault> EditSnapshots::FaultOf(const FtpTask &job) const
{
    if (!Claims(job))
        return std::nullopt;
    return Open(job).fault;
}

void EditSnapshots::ReplaceLink() const
{
    if (!m_folder.isEmpty() && QFileInfo(m_folder).isSymLink())
        (void)RealFolderAt(m_folder);
}

void EditSnapshots::ReplaceLinks(const FtpTask &job) const
{
    ReplaceLink();
    if (!Claims(job))
        return;
    const QString folder = QDir::cleanPath(m_folder);
    const QStringList steps = QDir::cleanPath(job.GetLocalFilePath()).mid(folder.size() + 1).split(QLatin1Char('/'));
    // Each step looked at in the folder the one before was opened as, never
    // through a link: a link put in place of a folder already passed is
    // never followed.
    Descriptor at(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    for (const QString &step : steps) {
        if (at.get() < 0 || !IsSafeRemoteName(step))
            return;
        const QByteArray name = QFile::encodeName(step);
        struct stat status{};
        if (::fstatat(at.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        if (S_ISLNK(status.st_mode)) {
            (void)::unlinkat(at.get(), name.constData(), 0);
            return;
        }
        if (!S_ISDIR(status.st_mode))
            return;
        at.reset(OpenBelow(at.get(), step, O_DIRECTORY).release());
    }
}

bool EditSnapshots::Retake(const FtpTask &job, const QString &file) const
{
    if (!Holds(job))
        return false;
    // Completed, its snapshot went: the folder comes back under its name.
    const QString folder = QDir::cleanPath(job.LocalPath());
    if (!RealFolderAt(m_folder) || !RealFolderAt(folder))
        return false;
    return CopyInto(file, JoinLocalPath(folder, job.LocalFileTitle()));
}

void EditSnapshots::Release(const FtpTask &job) const
{
    ReplaceLinks(job);
    if (!Holds(job))
        return;
    const QString folder = QDir::cleanPath(job.LocalPath());
    // A link in the file's place goes, never its target.
    QFile::remove(JoinLocalPath(folder, job.LocalFileTitle()));
    QFile::remove(JoinLocalPath(folder, job.LocalFileTitle() + QStringLiteral(".part")));
    QDir().rmdir(folder);
}

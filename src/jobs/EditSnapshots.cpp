#include "EditSnapshots.h"

#include "DataRoot.h"
#include "FtpTask.h"
#include "Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <filesystem>
#include <system_error>

namespace {

// The job failure reasons: local file missing, its size changed, its time changed.
constexpr qint64 kMissing = 4;
constexpr qint64 kSizeChanged = 5;
constexpr qint64 kTimeChanged = 6;

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

std::optional<SnapshotFault> EditSnapshots::FaultOf(const FtpTask &job) const
{
    if (!Claims(job))
        return std::nullopt;
    const QString file = QDir::cleanPath(job.GetLocalFilePath());
    const QFileInfo snapshot(file);
    if (!Holds(job) || snapshot.isSymLink() || !snapshot.isFile())
        return SnapshotFault{kMissing, QStringLiteral("The saved copy '") + file
                                           + QStringLiteral("' of the edited file is missing or reached through a "
                                                            "link; it was not uploaded.")};
    const QString changed = QStringLiteral("The saved copy '") + file
                            + QStringLiteral("' of the edited file changed after it was queued; it was not uploaded.");
    if (snapshot.size() != job.OriginalLocalSize())
        return SnapshotFault{kSizeChanged, changed};
    if (FtpTask::FormatTime(snapshot.lastModified()) != job.OriginalLocalFileTime())
        return SnapshotFault{kTimeChanged, changed};
    return std::nullopt;
}

void EditSnapshots::ReplaceLink() const
{
    if (!m_folder.isEmpty() && QFileInfo(m_folder).isSymLink())
        (void)RealFolderAt(m_folder);
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
    if (!Holds(job))
        return;
    const QString folder = QDir::cleanPath(job.LocalPath());
    // A link in the file's place goes, never its target.
    QFile::remove(JoinLocalPath(folder, job.LocalFileTitle()));
    QFile::remove(JoinLocalPath(folder, job.LocalFileTitle() + QStringLiteral(".part")));
    QDir().rmdir(folder);
}

#pragma once

#include <QFile>
#include <QString>

#include <memory>
#include <optional>

class FtpTask;

// Why an edit job's snapshot may not be sent: the job's failure reason and the
// line the job log shows.
struct SnapshotFault {
    qint64 reason = 0;
    QString text;
};

// A job's snapshot open for reading, or why it may not be sent.
struct [[nodiscard]] OpenedSnapshot {
    std::unique_ptr<QFile> file;
    std::optional<SnapshotFault> fault;
};

// The files upload jobs of edited copies send: each such job has a folder of
// its own below the snapshot folder, holding the copy as it was when it was
// queued, so that whatever later happens to the copy in Tmp (opened again,
// kept aside, replaced, changed and declined) the job sends what was queued.
// A job file is untrusted: only a job whose local folder is a sub-folder of
// the snapshot folder itself has a snapshot, and nothing else is removed.
// Nothing is read through a link at the folder, a job's sub-folder or its file.
class EditSnapshots
{
public:
    explicit EditSnapshots(const QString &folder) : m_folder(folder) {}
    // "EditUploads" in the data folder.
    static QString DefaultFolder();

    QString Folder() const { return m_folder; }
    // A new sub-folder holding a copy of `file` under `name`: its path, or
    // nothing when it could not be made.
    std::optional<QString> Take(const QString &file, const QString &name) const;
    // Puts `file` into the job's snapshot in place of what it held; false
    // when the job has no snapshot or it could not be written.
    [[nodiscard]] bool Retake(const FtpTask &job, const QString &file) const;
    bool Holds(const FtpTask &job) const;
    // An upload job whose file lies below the snapshot folder: only its own
    // snapshot, as it was queued, may be sent for it.
    bool Claims(const FtpTask &job) const;
    // Nothing when the job may send its file: it claims no snapshot, or its
    // snapshot is a file of the folder's own, no link at the folder, its
    // sub-folder or the file, with the size and time recorded when queued.
    std::optional<SnapshotFault> FaultOf(const FtpTask &job) const;
    // The snapshot of a job that claims one, opened as FaultOf checks it:
    // what is sent is the very file checked, whatever is put in its path later.
    OpenedSnapshot Open(const FtpTask &job) const;
    // A link standing at the snapshot folder goes (never its target) and a
    // real folder takes its place.
    void ReplaceLink() const;
    // As ReplaceLink, and a link anywhere in the path of the job's snapshot
    // below the folder goes too (never its target): only the program's own
    // folders and files belong there, and a job that meets a link keeps
    // failing on it until it goes.
    void ReplaceLinks(const FtpTask &job) const;
    // The job's snapshot and its folder go (the job completed or was deleted).
    void Release(const FtpTask &job) const;

private:
    bool CopyInto(const QString &file, const QString &target) const;

    QString m_folder;
};

#pragma once

#include <QString>

#include <optional>

class FtpTask;

// The files upload jobs of edited copies send: each such job has a folder of
// its own below the snapshot folder, holding the copy as it was when it was
// queued, so that whatever later happens to the copy in Tmp (opened again,
// kept aside, replaced, changed and declined) the job sends what was queued.
// A job file is untrusted: only a job whose local folder is a sub-folder of
// the snapshot folder itself has a snapshot, and nothing else is removed.
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
    // The job's snapshot and its folder go (the job completed or was deleted).
    void Release(const FtpTask &job) const;

private:
    bool CopyInto(const QString &file, const QString &target) const;

    QString m_folder;
};

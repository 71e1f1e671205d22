#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where a copy in the Tmp folder came from and how it looked when it last
// matched the server (downloaded or sent). Copies are named after their
// remote file only, so a later opening, in this run or the next, needs the
// record to tell a changed copy and its file apart from a same-named one.
struct TmpCopyOrigin {
    QString profileName;
    QString server;
    int port = 0;
    QString user;
    QString remotePath; // the file's path on the server
    bool operator==(const TmpCopyOrigin &) const = default;
};

// What became of a copy. Every path that opens, sends, queues, keeps aside
// or deletes a copy reads it here, and only a copy as downloaded (or as
// sent) may be replaced or deleted without a question.
enum class TmpCopyState {
    AsDownloaded, // matches the server as recorded
    Changed,      // differs from its record, or has no readable record
    Declined,     // its upload was declined: still the user's change
    Queued,       // handed to an upload job, which sends a snapshot of its own
    KeptAside,    // moved to "name (n).ext" before a new download
    MayBeChanged, // recorded by an earlier version, which recorded declined changes as matching
};

struct TmpCopyRecord {
    // What the user decided about the copy; Legacy for records of an earlier version.
    enum class Mark { None, Declined, Queued, KeptAside, Legacy };

    TmpCopyOrigin origin;
    qint64 size = -1;
    qint64 modifiedMs = 0;
    // The bytes' digest (see DigestOf); empty when not taken.
    QString digest;
    Mark mark = Mark::None;
    // Queued: the job and the copy as it was handed to it.
    QString jobKey;
    qint64 queuedSize = -1;
    qint64 queuedModifiedMs = 0;
    QString queuedDigest;

    // The copy as it is now, from the given origin.
    static TmpCopyRecord OfCopy(const QString &copyPath, const TmpCopyOrigin &origin);
    // SHA-256 of the copy's bytes, in hex; empty for a copy too large to
    // read again at will, or one that cannot be read.
    static QString DigestOf(const QString &copyPath);
    // The copy holds the bytes of that size, time and digest: the same size
    // and time, or, touched since (saved unchanged, its time set), the same
    // size and bytes.
    static bool SameBytes(const QString &copyPath, qint64 size, qint64 modifiedMs, const QString &digest);

    // The copy differs from the state recorded (or is gone).
    bool ChangedIn(const QString &copyPath) const;
    // Queued: the copy is as it was handed to its job.
    bool UnchangedSinceQueued(const QString &copyPath) const;
};

// The records of the Tmp copies, one file each, named after its copy. They
// are kept in a folder of their own outside Tmp: any name a server lists can
// become a copy in Tmp, so no place there is safe from a copy taking it. A
// link at the folder is never read, written or deleted through.
class TmpCopyRecords
{
public:
    explicit TmpCopyRecords(const QString &folder) : m_folder(folder) {}

    QString Folder() const { return m_folder; }
    QString RecordPath(const QString &copyPath) const;

    // The copy's record. A missing, unreadable or malformed one gives
    // nothing: the copy's origin is then unknown.
    std::optional<TmpCopyRecord> Read(const QString &copyPath) const;
    [[nodiscard]] bool Write(const QString &copyPath, const TmpCopyRecord &record) const;
    void Remove(const QString &copyPath) const;
    // Moves the record with its copy; false when it could not.
    [[nodiscard]] bool Rename(const QString &copyPath, const QString &newCopyPath) const;
    // The copy's state from its file and its record.
    TmpCopyState State(const QString &copyPath) const;
    // The records written as queued for the job.
    QStringList CopiesQueuedAs(const QString &jobKey) const;

    // Takes over the records an earlier version kept in `oldFolder` (inside
    // Tmp), read with the same checks, where this folder has none of the
    // name, and removes that folder so that its name is a copy's again. One
    // holding what could not be taken over is moved beside this folder as
    // "TmpOrigins.unread": that path is returned, else an empty text.
    [[nodiscard]] QString AdoptOldRecords(const QString &oldFolder) const;

private:
    bool FolderIsLink() const;

    QString m_folder;
};

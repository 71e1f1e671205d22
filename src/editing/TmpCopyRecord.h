#pragma once

#include <QString>

#include <optional>

// Where a copy in the Tmp folder came from and how it looked when it last
// matched the server (downloaded, sent, or its upload declined). Copies are named after their
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

struct TmpCopyRecord {
    TmpCopyOrigin origin;
    qint64 size = -1;
    qint64 modifiedMs = 0;

    // The copy as it is now, from the given origin.
    static TmpCopyRecord OfCopy(const QString &copyPath, const TmpCopyOrigin &origin);

    // The copy differs from the state recorded (or is gone).
    bool ChangedIn(const QString &copyPath) const;
};

// The records of the Tmp copies, one file each, named after its copy. They
// are kept in a folder of their own outside Tmp: any name a server lists can
// become a copy in Tmp, so no place there is safe from a copy taking it.
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

private:
    QString m_folder;
};

#pragma once

#include <QString>

#include <optional>

// Where a copy in the Tmp folder came from and how it looked when it last
// matched the server (downloaded, sent, or its upload declined). Copies are
// named after their remote file only, so a later opening, in this run or the
// next, needs the record to tell a changed copy and its file apart from a
// same-named one. The record sits in a hidden folder beside the copy.
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
    // The record beside the copy. A missing, unreadable or malformed one
    // gives nothing: the copy's origin is then unknown.
    static std::optional<TmpCopyRecord> Read(const QString &copyPath);
    [[nodiscard]] bool Write(const QString &copyPath) const;
    static void Remove(const QString &copyPath);
    // Moves the record with its copy (same folder); false when it could not.
    [[nodiscard]] static bool Rename(const QString &copyPath, const QString &newCopyPath);

    // The copy differs from the state recorded (or is gone).
    bool ChangedIn(const QString &copyPath) const;
};

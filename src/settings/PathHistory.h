#pragma once

#include <QList>
#include <QString>

// Folder histories: "paths.txt" (local folders) and "remote_paths.txt"
// (remote folders) in the System folder. Each line is an owner key (a site
// profile's name), the character 1, and a folder path; all owners share one
// file. Failures are silent: a history is a convenience, never worth a message.

struct PathHistoryEntry {
    QString OwnerKey;
    QString Path;
    bool operator==(const PathHistoryEntry &) const = default;
};

// Never without entries: an empty list is one entry with empty fields.
using PathHistoryList = QList<PathHistoryEntry>;

inline PathHistoryList EmptyPathHistory() { return {PathHistoryEntry{}}; }

QString LocalPathHistoryFile();  // System folder + "/paths.txt"
QString RemotePathHistoryFile(); // System folder + "/remote_paths.txt"

// Fills the list with the local folders of one owner (or of every owner).
// A missing file leaves the list as it is.
void LoadLocalPathHistory(PathHistoryList &list, const QString &ownerKey, bool allOwners);

// Fills the list with one owner's remote folders, sorted by path, repeats kept.
void LoadRemotePathHistory(const QString &ownerKey, PathHistoryList &list);

// Rewrites the local file: other owners' lines kept, this owner's replaced by
// the list; sorted by owner and path, each (owner, path) pair once.
void SaveLocalPathHistory(const QString &ownerKey, PathHistoryList &list);

// Writes the list's entries (those with an owner and a path): appended when
// the file holds no line of this owner, else the file is rewritten with this
// owner's entries first and the other owners' lines after them.
void SaveRemotePathHistory(const QString &ownerKey, PathHistoryList &list);

// Sorts the list by path (then, optionally, by owner, keeping path order
// within an owner) and optionally drops entries equal to the one kept before
// them. A list of one entry is left as it is.
void UniqueStringArray(PathHistoryList &list, bool removeDuplicates, bool sortByOwner, bool ownerInDuplicateTest);

#pragma once

#include <QString>

#include <vector>

// One entry of a local folder, symbolic links followed.
struct LocalEntry
{
    QString Name;
    bool IsFolder = false;
    qint64 Size = 0;
    qint64 ModifiedSecs = 0; // whole seconds since the epoch
    quint64 Device = 0;      // with Inode: the folder's identity, to enter no folder twice
    quint64 Inode = 0;
};

// Reads a local folder's entries in the file system's order, one read per
// folder. Hidden files are entries; "." and ".." are not. An entry that
// cannot be examined (a dangling link) is a file of size 0.
struct LocalFolderContents
{
    bool Ok = false;
    bool Absent = false; // not Ok because nothing (or no folder) is there: not a failure to read
    QString Error;
    std::vector<LocalEntry> Folders;
    std::vector<LocalEntry> Files;
    qint64 ModifiedSecs = 0;
    quint64 Device = 0;
    quint64 Inode = 0;
};

LocalFolderContents ReadLocalFolder(const QString &path);

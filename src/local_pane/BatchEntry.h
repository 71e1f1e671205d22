#pragma once

#include "Paths.h"

#include <QList>
#include <QString>

// One item of an immediate batch: a file to send, fetch or delete, or (in a
// delete batch) a remote folder to remove.
struct BatchEntry
{
    QString Name;         // file name; for a folder entry of a delete batch, the full remote folder path
    QString LocalFolder;  // upload source or download target folder
    QString RemoteFolder; // "/"-separated
    QString RemoteDate;   // the listing's date text of a file found by a walk; empty otherwise
    bool IsFolder = false;
    qint64 Size = 0;
};

using BatchList = QList<BatchEntry>;

inline QString GetLocalPath(const BatchEntry &entry) { return JoinLocalPath(entry.LocalFolder, entry.Name); }
inline QString GetRemotePath(const BatchEntry &entry) { return JoinRemotePath(entry.RemoteFolder, entry.Name); }

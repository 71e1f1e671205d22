#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What the program needs to know of the storage below a local folder.
struct StorageState {
    bool folderExists = false;
    bool ready = true;          // the volume could be read
    bool readOnlyMedia = false; // a read-only or optical volume
    qint64 freeBytes = -1;      // bytes available to the user; -1 when unknown
    QByteArray fileSystemType;  // the kernel's name of the volume's file system; empty when unknown
};

using StorageProbe = std::function<StorageState(const QString &folder)>;

// The real probe: one file-system query of the folder itself. It reads no
// mount table, so it is cheap enough to run before every download, and it
// answers for the volume that really holds the folder, whatever is mounted
// where.
StorageState ProbeStorage(const QString &folder);

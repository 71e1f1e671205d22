#pragma once

#include <QString>

#include <functional>

// What the program needs to know of the storage below a local folder.
struct StorageState {
    bool folderExists = false;
    bool ready = true;          // the volume could be read
    bool readOnlyMedia = false; // a read-only or optical volume
    qint64 freeBytes = -1;      // bytes available to the user; -1 when unknown
};

using StorageProbe = std::function<StorageState(const QString &folder)>;

// The real probe, on QStorageInfo.
StorageState ProbeStorage(const QString &folder);

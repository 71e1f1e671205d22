#include "StorageProbe.h"

#include <QFileInfo>
#include <QStorageInfo>

StorageState ProbeStorage(const QString &folder)
{
    StorageState state;
    const QFileInfo info(folder);
    state.folderExists = info.exists() && info.isDir();
    if (!state.folderExists)
        return state;
    const QStorageInfo storage(folder);
    state.ready = storage.isValid() && storage.isReady();
    const QByteArray type = storage.fileSystemType();
    state.readOnlyMedia = storage.isReadOnly() || type == "iso9660" || type == "udf";
    state.freeBytes = state.ready ? storage.bytesAvailable() : -1;
    return state;
}

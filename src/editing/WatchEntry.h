#pragma once

#include <QString>

#include <filesystem>

class QProcess;

// One program started on a copy, as the watcher keeps it.
struct WatchEntry {
    QString AppPath;
    QString FilePath;
    qint64 ProcessId = 0;
    QProcess *Process = nullptr; // owned by the watcher; released when the entry is dropped
    // The copy's state when it was opened: a change is judged by both, so a
    // save within the same second still counts.
    std::filesystem::file_time_type FileTime{};
    qint64 FileSize = -1;
    QString RemoteFilePath;
    QString EditTaskID;
    qint16 ServerSlot = 0;
    QString ProfileName;
    bool Closed = false;
    bool Exited = false; // the program ended; its events are still to be raised
};

#pragma once

#include "WatchEntry.h"

#include <QObject>
#include <QString>

#include <vector>

// Opens a copy of a remote file in a program and watches that program: when
// it ends, tells whether the copy was changed or deleted, then that it ended.
// Nothing blocks: a program's end arrives as a signal and its events are
// raised at once while the watcher is enabled, or at the next Enabled(true)
// while it is paused.
class ApplicationWatcher : public QObject
{
    Q_OBJECT

public:
    // The program name that stands for the desktop's default open action.
    static QString DefaultOpen() { return QStringLiteral("SHELL32"); }

    explicit ApplicationWatcher(QObject *parent = nullptr);
    ~ApplicationWatcher() override;

    // A flag the host keeps for itself (its timer re-arms the watcher).
    bool StartRequested() const { return m_startRequested; }
    void SetStartRequested(bool requested) { m_startRequested = requested; }

    // The path itself when it exists, else "".
    static QString GetShortName(const QString &path);

    bool Enabled() const { return !m_paused; }
    void SetEnabled(bool enabled);

    // True when an open entry has this copy, letter case ignored.
    bool FileAlreadyOpen(const QString &path) const;
    // Closes the first entry with this task key; its program runs on unwatched.
    void DeleteWatch(const QString &editTaskId);
    // Closes the first entry with exactly this path.
    void DeleteWatchByFileName(const QString &path);
    // Entries made so far, closed ones included, until compaction.
    int FileCount() const { return static_cast<int>(m_entries.size()); }
    // Drops the closed entries and pauses the watcher.
    void RemoveClosedFiles();
    // Opens `filePath` with `appPath` (arguments: `appFlags`, then the path)
    // or, for DefaultOpen(), with the desktop's default program, which is not
    // watched (DefaultOpenEnded tells whether the desktop had one). Mode "e" leaves the copy writable; any other mode makes it
    // read-only. Returns the new entry's index, or -1 when nothing was
    // recorded (missing copy or program, default open).
    int RunNotifyApplication(const QString &appPath, const QString &mode, const QString &remoteFilePath,
                             const QString &filePath, const QString &editTaskId, qint16 serverSlot,
                             const QString &profileName, const QString &appFlags = {});
    // Pauses the watcher and forgets every entry.
    void DeleteAllWatch();

    // For the host and tests: nothing when the index is out of range.
    const WatchEntry *Entry(int index) const;

signals:
    void ProcessExit(const QString &appPath, const QString &filePath, const QString &editTaskId,
                     qint16 serverSlot, const QString &profileName);
    void FileChanged(const QString &filePath, const QString &remoteFilePath, const QString &editTaskId,
                     qint16 serverSlot, const QString &profileName);
    void FileDeleted(const QString &filePath, const QString &remoteFilePath, const QString &editTaskId,
                     qint16 serverSlot, const QString &profileName);
    // The desktop's opener ended: false when it could not start or found no
    // program for the file.
    void DefaultOpenEnded(const QString &filePath, bool opened);

private:
    void OpenWithDesktop(const QString &filePath);
    void ProgramFinished(QProcess *process);
    // Raises the events of every program that ended, one after the other.
    void WatchForProcess();
    // Lets the entry's program go: it keeps running, unwatched.
    static void ReleaseProcess(WatchEntry &entry);

    std::vector<WatchEntry> m_entries;
    bool m_paused = false;
    bool m_delivering = false;
    bool m_deliverAgain = false;
    bool m_startRequested = false;
};

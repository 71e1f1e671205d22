#pragma once

#include "BatchAnswers.h"
#include "BatchFailures.h"
#include "BatchEntry.h"
#include "BatchSteps.h"
#include "FolderQueue.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>


class JobIntake;
class LocalPane;
class ServerSlot;
struct RemoteSelection;
class ServerSlots;
class QWidget;

// The main window's immediate batches: uploads, downloads and deletes
// prepared from a selection of either pane, the clipboard or a drop, then
// handed to the runner (BatchSteps) or turned into jobs.
class BatchTransfers : public QObject
{
    Q_OBJECT
public:
    // A single file smaller than this runs at once even when jobs were not asked for.
    static constexpr qint64 kSmallFileBytes = 102400;
    // Said when a transfer is asked for while a batch runs without its progress display.
    static inline const QString kBusyText = QStringLiteral(
        "The server is busy with a transfer that runs in the background. Please try again when it has ended.");

    BatchTransfers(ServerSlots &serverSlots, LocalPane &local, QWidget *owner, QObject *parent = nullptr);

    void setSteps(BatchSteps *steps) { m_steps = steps; }
    BatchSteps *Steps() const { return m_steps; }
    // Where batches that become jobs go; without it the job commands stay disabled.
    void setJobIntake(JobIntake *intake) { m_intake = intake; }
    bool JobsAvailable() const { return m_intake != nullptr; }

    // Uploads the local pane's selection to a slot: at once, or as jobs.
    void HandleFileUploads(int slot, bool immediate, bool asJobs);
    // Uploads local files and folders (folders with everything below them).
    void PrepareUploads(const QStringList &paths, int slot, bool immediate, bool asJobs);
    // Downloads a slot's remote selection into the local pane's folder (or one
    // the user picks): at once, or as jobs.
    void HandleFileDownloads(int slot, bool immediate, bool asJobs, bool askFolder);
    // Deletes a slot's remote selection, folders with everything below them.
    void HandleFileDeletes(int slot);
    // Uploads the files on the clipboard to the current slot.
    void HandlePaste(bool now);

    // Counting pass: adds the files below `folder`, stopping once past the limit.
    void getFileCount(qint64 &count, const QString &folder);
    // Filling pass: one entry per file below `folder`, its remote folder
    // mirroring its place under `localBase`.
    void FillFileList(qsizetype &next, BatchList &list, const QString &folder, const QString &remoteBase,
                      const QString &localBase);

    // Whether the remote folder was visited in this slot (its path list holds it).
    bool RemotePathExists(int slot, const QString &path) const;
    // Queues the missing parents of a remote folder, outermost first.
    void FillSubFolders(int slot, const QString &path) { FillSubFolders(slot, path, cboMkDir); }
    void FillSubFolders(int slot, const QString &path, FolderQueue &queue);

    // A batch, walk or copy runs, or a batch is being prepared.
    bool BatchRunning() const;

    // The largest number of files one upload batch may hold.
    quint16 BatchLimit = 1024;

    BatchList UploadList;
    qsizetype UploadIndex = -1;
    BatchList TransferList;
    qsizetype TransferIndex = -1;
    // Remote folders to create (uploads) or to walk (downloads, deletes).
    FolderQueue cboMkDir;
    QString DownloadRoot;
    BatchAnswers Answers;

protected:
    // Marks a builder at work for the length of a scope.
    class PreparingScope
    {
    public:
        explicit PreparingScope(bool &flag) : m_flag(flag) { m_flag = true; }
        ~PreparingScope() { m_flag = false; }
        PreparingScope(const PreparingScope &) = delete;
        PreparingScope &operator=(const PreparingScope &) = delete;

    private:
        bool &m_flag;
    };

    ServerSlot *slot(int index) const;
    // Whether a batch may be prepared for the slot now; says "Busy, please
    // wait..." when the connection is busy, and tells the user when a batch runs.
    bool readyFor(int slot, bool startsNow);
    // Checked again right before a batch of `entries` starts: a confirmation
    // list or a walk let events run, and the session may have ended meanwhile.
    bool stillReady(int slot, BatchFailures::Verb verb, const BatchList &entries);
    // The session was lost before the batch started: says so, naming the
    // files (and walked folders) that were not done.
    void reportLost(int slot, BatchFailures::Verb verb, const BatchList &entries, const QStringList &folders = {});
    // The selected remote items that may name a file or folder here; logs the others.
    QList<RemoteSelection> safeSelection(ServerSlot &server);
    void resetAnswers(bool asJobs);
    bool takeSelection(ServerSlot &server, const QString &localFolder, FolderQueue &folders, BatchList &files);
    BatchSteps::WalkResult walkFolders(int slot, const FolderQueue &folders, const QString &localRoot, BatchList &files,
                                       BatchSteps::WalkFor purpose);
    void makeJobs(int slot, bool isUpload, const BatchList &entries);
    static BatchList checkedEntries(const BatchList &entries, const QList<qsizetype> &checked);

    ServerSlots &m_slots;
    LocalPane &m_local;
    QPointer<QWidget> m_owner;
    BatchSteps *m_steps = nullptr;
    JobIntake *m_intake = nullptr;
    bool m_preparing = false; // a builder is between its first question and the batch's start
    QSet<QString> m_walked;   // canonical paths of the local folders a pass has entered
};

// A name from a server that may become one element of a local or remote path
// here: safe as a local name and free of line breaks.
bool IsUsableRemoteName(const QString &name);
// A name as a log line shows it: quoted, line breaks and NULs spelt out.
QString VisibleName(QString name);

#pragma once

#include "ApplicationWatcher.h"
#include "BatchFailures.h"
#include "EditSnapshots.h"
#include "EditOwner.h"
#include "FtpTaskCollection.h"
#include "TmpCopyRecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

class CProfile;
class FileHandlerCollection;
class FrmEdit;
class JobIntake;
class ServerSlot;
class ServerSlots;
class QWidget;

// Opening remote files from the remote panes: a copy is downloaded into the
// Tmp folder over the slot's browsing connection, then opened in the quick
// editor, a handler's program or the desktop's default program. A changed
// copy goes back to its file at once over a free connection of the same
// profile, or as an upload job.
class RemoteEditFlow : public QObject, public EditOwner
{
    Q_OBJECT
public:
    // How a file is opened (the panes' items).
    enum EditViewMode { OpenDefault = 0, QuickEdit = 1, ViewWith = 2, EditWith = 3 };
    static constexpr qint64 kLargeFileBytes = 500 * 1024;

    RemoteEditFlow(ServerSlots &serverSlots, QWidget *owner, QObject *parent = nullptr);
    ~RemoteEditFlow() override;

    // The job queue (none: changed copies cannot be queued).
    void setJobIntake(JobIntake *intake) { m_intake = intake; }
    // The window's immediate-batch state: a batch runs; a folder walk runs on a slot.
    void setBatchRunningCheck(std::function<bool()> check) { m_batchRunning = std::move(check); }
    void setWalkActiveCheck(std::function<bool(int slot)> check) { m_walkActive = std::move(check); }
    // The handlers whose programs the submenus name (the running configuration unless set).
    void setHandlers(const FileHandlerCollection *handlers) { m_handlers = handlers; }
    // The copies' folder; their records are kept beside it (TmpCopyRecords).
    void setTmpFolder(const QString &folder) { m_tmpFolder = folder; }
    void setEditorPicture(const QIcon &picture) { m_picture = picture; }

    // The panes' items, on the current slot.
    void MNU_RMT_OPEN_Click() { RequestFileForEditView(OpenDefault); }
    void MNU_RMT_QEDIT_Click() { RequestFileForEditView(QuickEdit); }
    void MNU_RMT_VIEWITEM_Click(int index);
    void MNU_RMT_EDITITEM_Click(int index);
    // Downloads the current slot's selected file for the mode.
    void RequestFileForEditView(int mode);

    // The view/edit share of the browsing connections' completions: true when
    // the operation was this flow's download or upload.
    bool FtpCmd_JobDone(int slot, bool success, long lastAct);

    void OpenEditor(int slot, const QString &profileName, const QString &localFilePath,
                    const QString &remoteFilePath, const QString &editTaskId);

    // EditOwner
    bool RequestUpload(qint16 slot, const QString &profileName, const QString &localFilePath,
                       const QString &remoteFilePath, const QString &editTaskId) override;
    void DiscardEditFile(const QString &editTaskId) override;
    bool UploadUnderway(const QString &editTaskId) const override;
    QIcon EditorPicture() const override { return m_picture; }

    // Queues the edit task as an upload job that sends a snapshot of the
    // copy as it is now; a job of the copy that has not run takes the new
    // snapshot instead. False when that failed.
    bool AddEditTaskToQueue(const FtpTaskCollection::Job &task);
    // An upload job completed: the copies it was handed to match the server as they were then.
    void JobCompleted(const FtpTaskCollection::Job &job);

    // The close order: the open quick editors ask first (false: the program
    // stays open); the copies go after the jobs are saved. Only copies as
    // downloaded or sent go: a changed copy, one whose upload was declined,
    // one waiting in a job, one without a readable record and one kept aside
    // as "name (n).ext" stay, and one message names them.
    bool ConfirmCloseEditors();
    void CloseEditors();
    void DeleteTempFiles();

    // The watcher's re-arm (the window's periodic timer).
    void Timer1_Timer();

    static QString GetParentRemotePath(const QString &path);

    ApplicationWatcher &FileWatcher1() { return m_watcher; }
    const FtpTaskCollection &EditTasks() const { return m_editTasks; }
    // Until the download ended and what follows it (the copy opened, or the failure told) is done.
    bool SlotEditPending(int slot) const { return m_pending[slot & 1].active || m_ending[slot & 1] > 0; }
    bool EditUploadRunning(int slot) const { return m_uploading[slot & 1]; }
    QString TmpFolder() const;
    // Beside the Tmp folder, where no copy can take a record's place.
    QString RecordFolder() const;
    // Beside the Tmp folder: the snapshots the edit upload jobs send.
    QString SnapshotFolder() const;
    const QStringList &TempCopyNames() const { return m_tempCopyNames; }
    QList<FrmEdit *> OpenEditors() const;

    QTimer Timer1;

signals:
    // An edit upload sent at once ended on a slot.
    void editUploadEnded(int slot, bool success);

private:
    struct PendingOpen {
        bool active = false;
        int mode = 0;
        QString localPath;
        QString remotePath; // server address followed by the remote path
        QString editTaskId;
        QString profileName;
        QString handlerKey;
        TmpCopyOrigin origin;
        // The copy the download goes over, and its record, to put back when
        // the download fails before it wrote anything.
        std::optional<TmpCopyRecord> copyBefore;
        std::optional<TmpCopyRecord> recordBefore;
    };
    // What to do with a copy in Tmp that holds changes nobody sent.
    enum class UnsentCopyAnswer { Replace, KeepAside, Upload, Stop };

    void FileWatcher1_FileChanged(const QString &filePath, const QString &remoteFilePath, const QString &editTaskId,
                                  qint16 slot, const QString &profileName);
    void FileWatcher1_FileDeleted(const QString &filePath);
    void FileWatcher1_ProcessExit(const QString &editTaskId);
    void RequestWithHandler(int index, int mode);
    void openCopy(int slot, const PendingOpen &open);
    // A copy that is open in a quick editor or a program.
    bool copyOpen(const QString &localPath) const;
    // Open, or the very file of a job that has not completed (jobs of job
    // files of earlier versions send the copy itself).
    bool copyInUse(const QString &localPath) const;
    // Tmp and the records' folder are real folders of the program's own, and
    // the records an earlier version kept inside Tmp are taken over.
    bool prepareFolders();
    // The plain files in Tmp that this run did not download or keep aside.
    QStringList copiesOfEarlierRuns() const;
    bool askReopen() const;
    // Closes the quick editors of the copy or the edit after their own
    // question; false when the user keeps one open.
    bool closeEditorsOf(const QString &localPath, const QString &editTaskId);
    TmpCopyRecords records() const;
    EditSnapshots snapshots() const { return EditSnapshots(SnapshotFolder()); }
    // Records the copy as it is now, downloaded from `origin`.
    void markCopySettled(const QString &localPath, const TmpCopyOrigin &origin);
    // Rewrites the copy's record with `change` applied; nothing without a record.
    void remarkCopy(const QString &localPath, const std::function<void(TmpCopyRecord &)> &change);
    // The copy's upload job that has not completed, if its record names one.
    FtpTaskCollection::Job unsentJobOf(const QString &localPath) const;
    // What the close says of the copies it keeps: one paragraph for each case.
    QStringList unsentCopiesText(const QStringList &unsent) const;
    // The copy's upload job that waits or failed, if its record names one.
    FtpTaskCollection::Job waitingJobOf(const QString &localPath) const;
    // The copy handed to the job, as it is now.
    void noteQueuedCopy(const QString &copy, const FtpTask &job);
    // Asks about a copy that may hold changes not sent, before a download
    // replaces it: as one question with "already opened" when that applies.
    UnsentCopyAnswer askAboutUnsentCopy(const QString &localPath, const TmpCopyOrigin &origin,
                                        const QString &shownPath, bool alreadyOpen, bool inJob, bool sendsNow,
                                        bool afterJob, const QString &asideName) const;
    // A queued upload job not yet completed writes the file.
    bool uploadUnfinishedTo(const CProfile &profile, const QString &remotePath) const;
    // The file's path on the slot's server, from the path shown with the server in front.
    static QString pathOnSlot(const ServerSlot &slot, const QString &shownPath);
    // The slot is connected to the profile, free, and no upload job of the file is still to complete.
    bool slotTakesUpload(int slotIndex, const QString &profileName, const QString &shownPath) const;
    // A slot of the profile, this one or the other, would take an upload of the file now.
    bool canSendAtOnce(int slotIndex, const QString &profileName, const QString &shownPath) const;
    // The first name "stem (n).ext" free in the copy's folder.
    QString FreeAsideName(const QString &localPath) const;
    // Sends the copy over the given slot, else the other slot of the
    // profile, when one takes it and no batch runs; false when none took it.
    bool sendAtOnce(int slotIndex, const QString &profileName, const QString &localFilePath,
                    const QString &remoteFilePath, const QString &editTaskId = {});
    // False when the slot's engine took nothing up.
    bool sendCopy(int slotIndex, ServerSlot &slot, const QString &localPath, const QString &remotePath,
                  const QString &shownPath, const QString &editTaskId = {});
    // The end of a copy sent at once: its record, its editor, and on failure the message.
    void uploadEnded(int slotIndex, bool success, const QString &lostReason = {});
    void restoreAfterFailedDownload(const PendingOpen &open);
    const FileHandlerCollection &handlers() const;
    void requestRearm();

    ServerSlots &m_slots;
    QPointer<QWidget> m_owner;
    JobIntake *m_intake = nullptr;
    std::function<bool()> m_batchRunning;
    std::function<bool(int)> m_walkActive;
    const FileHandlerCollection *m_handlers = nullptr;
    QString m_tmpFolder;
    QIcon m_picture;

    ApplicationWatcher m_watcher;
    FtpTaskCollection m_editTasks;
    QString m_selectedHandlerKey;
    std::array<int, 2> m_slotEditMode{};
    std::array<PendingOpen, 2> m_pending;
    std::array<int, 2> m_ending{}; // downloads ended whose opening or failure is still to come
    std::array<bool, 2> m_uploading{};
    std::array<QString, 2> m_uploadFolder;
    std::array<QString, 2> m_uploadCopy;
    std::array<std::optional<TmpCopyRecord>, 2> m_uploadRecord;
    std::array<QString, 2> m_uploadTaskId;
    std::array<BatchFailures, 2> m_uploadFailure;
    QStringList m_tempCopyNames;
    // Copies kept as "name (n).ext" in this run.
    QStringList m_keptAside;
    // Where the records' folder of an earlier version was moved, told at the close.
    QString m_oldRecordsMovedTo;
    QList<QPointer<FrmEdit>> m_editors;
};

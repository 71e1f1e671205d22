#include "RemoteEditFlow.h"

#include "AppInfo.h"
#include "ApplyConfiguration.h"
#include "DataRoot.h"
#include "ErrorLog.h"
#include "FileHandlerCollection.h"
#include "FrmEdit.h"
#include "FtpCommander.h"
#include "FtpTask.h"
#include "JobIntake.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "ServerSlots.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTreeView>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");
const QString kOoops = QStringLiteral(
    "Ooops!!! Some error has occurred ! Please upload the file manually from application's 'Tmp' folder !");
constexpr int kRearmMs = 200;

// The date column of the pane's one selected row.
QString SelectedRowDate(const ServerSlot &slot)
{
    const RemotePane *pane = slot.Pane();
    if (!pane || !pane->RightView->selectionModel())
        return {};
    const QModelIndexList rows = pane->RightView->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return {};
    return pane->Model->row(rows.front().row()).SubItems.value(2);
}

// A copy is a file of its own: a link in its place is not one, and what it
// points to is never the program's to change.
bool IsCopyFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

void MakeOwnerWritable(const QString &path)
{
    if (IsCopyFile(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

// A job whose copy was replaced would send the server's own bytes back.
constexpr int kCopyReplacedReason = 6;
// Copies holding edits named by the message at the close; the others are counted.
constexpr qsizetype kNamedAtClose = 10;

} // namespace

RemoteEditFlow::RemoteEditFlow(ServerSlots &serverSlots, QWidget *owner, QObject *parent)
    : QObject(parent), m_slots(serverSlots), m_owner(owner)
{
    Timer1.setInterval(kRearmMs);
    connect(&Timer1, &QTimer::timeout, this, &RemoteEditFlow::Timer1_Timer);
    connect(&m_watcher, &ApplicationWatcher::FileChanged, this, &RemoteEditFlow::FileWatcher1_FileChanged);
    connect(&m_watcher, &ApplicationWatcher::FileDeleted, this,
            [this](const QString &path) { FileWatcher1_FileDeleted(path); });
    connect(&m_watcher, &ApplicationWatcher::ProcessExit, this,
            [this](const QString &, const QString &, const QString &key) { FileWatcher1_ProcessExit(key); });
    connect(&m_watcher, &ApplicationWatcher::DefaultOpenEnded, this, [this](const QString &, bool opened) {
        if (!opened)
            ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("No program is set up to open this file."));
    });
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = m_slots.Slot(i);
        if (!slot)
            continue;
        // The view/edit branch of the connection's completions.
        QPointer<RemoteEditFlow> self(this);
        slot->addJobDoneFilter([self, i](bool success, long act) { return self && self->FtpCmd_JobDone(i, success, act); });
        connect(slot, &ServerSlot::sessionStateChanged, this, [this](int index, bool active) {
            // A download or upload cut off with its session ends with it.
            if (!active) {
                if (m_pending[index & 1].active)
                    restoreAfterFailedDownload(m_pending[index & 1]);
                m_pending[index & 1].active = false;
                if (m_uploading[index & 1])
                    uploadEnded(index & 1, false, BatchFailures::kLostText);
            }
        });
        // Why a copy sent at once failed: the server's refusal or the engine's error.
        if (FtpCommander *engine = slot->FtpCmd()) {
            connect(engine, &FtpCommander::ServerReplied, this, [this, i](const QString &, const QString &line) {
                if (m_uploading[i])
                    m_uploadFailure[i].NoteReplyLine(line);
            });
            connect(engine, &FtpCommander::Error, this, [this, i](long, const QString &description, bool) {
                if (m_uploading[i])
                    m_uploadFailure[i].NoteReason(description);
            });
        }
        if (RemotePane *pane = slot->Pane()) {
            connect(pane, &RemotePane::editViewRequested, this, [this](int index, int mode, int handler) {
                m_slots.SetCurrentSlot(index);
                if (mode == ViewWith)
                    MNU_RMT_VIEWITEM_Click(handler);
                else if (mode == EditWith)
                    MNU_RMT_EDITITEM_Click(handler);
                else
                    RequestFileForEditView(mode);
            });
        }
    }
}

RemoteEditFlow::~RemoteEditFlow()
{
    for (const QPointer<FrmEdit> &editor : m_editors)
        delete editor.data();
}

QString RemoteEditFlow::TmpFolder() const
{
    return m_tmpFolder.isEmpty() ? DataRoot::TmpFolder() : m_tmpFolder;
}

QString RemoteEditFlow::RecordFolder() const
{
    return JoinLocalPath(QFileInfo(TmpFolder()).path(), QStringLiteral("TmpCopies"));
}

QString RemoteEditFlow::SnapshotFolder() const
{
    return JoinLocalPath(QFileInfo(TmpFolder()).path(), QStringLiteral("EditUploads"));
}

bool RemoteEditFlow::prepareFolders()
{
    // Links here would have the copies, their records and their deletion land elsewhere.
    const bool ready = RealFolderAt(TmpFolder()) && RealFolderAt(RecordFolder());
    const QString moved = records().AdoptOldRecords(JoinLocalPath(TmpFolder(), QStringLiteral(".origins")));
    if (!moved.isEmpty())
        m_oldRecordsMovedTo = moved;
    return ready;
}

QStringList RemoteEditFlow::copiesOfEarlierRuns() const
{
    QStringList copies;
    const QFileInfoList entries =
        QDir(TmpFolder()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (!m_tempCopyNames.contains(entry.fileName()) && !m_keptAside.contains(entry.fileName()))
            copies << entry.fileName();
    }
    return copies;
}

TmpCopyRecords RemoteEditFlow::records() const
{
    return TmpCopyRecords(RecordFolder());
}

const FileHandlerCollection &RemoteEditFlow::handlers() const
{
    return m_handlers ? *m_handlers : ConfiguredFileHandlers();
}

QList<FrmEdit *> RemoteEditFlow::OpenEditors() const
{
    QList<FrmEdit *> open;
    for (const QPointer<FrmEdit> &editor : m_editors) {
        if (editor && editor->isVisible())
            open << editor.data();
    }
    return open;
}

void RemoteEditFlow::MNU_RMT_VIEWITEM_Click(int index) { RequestWithHandler(index, ViewWith); }

void RemoteEditFlow::MNU_RMT_EDITITEM_Click(int index) { RequestWithHandler(index, EditWith); }

void RemoteEditFlow::RequestWithHandler(int index, int mode)
{
    const HandlerMenus::Key *key = m_slots.Handlers().KeyAt(index);
    if (!key)
        return;
    m_selectedHandlerKey = key->UniqueID;
    RequestFileForEditView(mode);
}

bool RemoteEditFlow::askReopen() const
{
    return AskBeforeDestroying(m_owner, QStringLiteral("Confirm !"),
                               QStringLiteral("This file is already opened!\r\n\r\nIgnore and reopen ?"))
           == PromptButton::Yes;
}

void RemoteEditFlow::markCopySettled(const QString &localPath, const TmpCopyOrigin &origin)
{
    if (!records().Write(localPath, TmpCopyRecord::OfCopy(localPath, origin)))
        LogErrorToFile(kObject, QStringLiteral("markCopySettled"), 0,
                       QStringLiteral("The record of the copy could not be written: ") + localPath);
}

void RemoteEditFlow::remarkCopy(const QString &localPath, const std::function<void(TmpCopyRecord &)> &change)
{
    std::optional<TmpCopyRecord> recorded = records().Read(localPath);
    if (!recorded)
        return; // without a record it counts as changed all the same
    change(*recorded);
    if (!records().Write(localPath, *recorded))
        LogErrorToFile(kObject, QStringLiteral("remarkCopy"), 0,
                       QStringLiteral("The record of the copy could not be written: ") + localPath);
}

FtpTaskCollection::Job RemoteEditFlow::unsentJobOf(const QString &localPath) const
{
    const std::optional<TmpCopyRecord> recorded = records().Read(localPath);
    if (!m_intake || !recorded || recorded->mark != TmpCopyRecord::Mark::Queued)
        return nullptr;
    const FtpTaskCollection::Job job = m_intake->FindJob(recorded->jobKey);
    return job && job->Status() != 2 ? job : nullptr;
}

FtpTaskCollection::Job RemoteEditFlow::waitingJobOf(const QString &localPath) const
{
    const FtpTaskCollection::Job job = unsentJobOf(localPath);
    // One that runs sends what it has; a change made since needs a job of its own.
    return job && (job->Status() == 0 || job->Status() == 3) && snapshots().Holds(*job) ? job : nullptr;
}

void RemoteEditFlow::JobCompleted(const FtpTaskCollection::Job &job)
{
    try {
        if (!job || !job->IsUpload())
            return;
        // The server holds the copy as it was handed to the job, when what
        // the job sent has its size and time; one changed since stays changed.
        for (const QString &name : records().CopiesQueuedAs(job->ZavUdeID())) {
            remarkCopy(JoinLocalPath(TmpFolder(), name), [&job](TmpCopyRecord &record) {
                const bool sentAsHanded =
                    record.queuedSize == job->OriginalLocalSize()
                    && FtpTask::FormatTime(QDateTime::fromMSecsSinceEpoch(record.queuedModifiedMs))
                           == job->OriginalLocalFileTime();
                record.mark = TmpCopyRecord::Mark::None;
                record.jobKey.clear();
                // Otherwise it keeps the state it was downloaded in: its edit reads as not sent.
                if (sentAsHanded) {
                    record.size = record.queuedSize;
                    record.modifiedMs = record.queuedModifiedMs;
                    record.digest = record.queuedDigest;
                }
            });
        }
        // A job of an earlier version's job file sent the copy itself.
        const QString copy = job->GetLocalFilePath();
        const QFileInfo sent(copy);
        if (QDir::cleanPath(sent.path()) == QDir::cleanPath(TmpFolder()) && IsCopyFile(copy)
            && sent.size() == job->OriginalLocalSize()
            && FtpTask::FormatTime(sent.lastModified()) == job->OriginalLocalFileTime()) {
            if (const std::optional<TmpCopyRecord> recorded = records().Read(copy);
                recorded && recorded->mark != TmpCopyRecord::Mark::Queued)
                markCopySettled(copy, recorded->origin);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("JobCompleted"));
    }
}

QString RemoteEditFlow::FreeAsideName(const QString &localPath) const
{
    const QFileInfo copy(localPath);
    const QString name = copy.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension);
        const QString path = JoinLocalPath(copy.path(), candidate);
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink() && !QFileInfo::exists(records().RecordPath(path)))
            return candidate;
    }
}

RemoteEditFlow::UnsentCopyAnswer RemoteEditFlow::askAboutUnsentCopy(const QString &localPath,
                                                                    const TmpCopyOrigin &origin,
                                                                    const QString &shownPath, bool alreadyOpen,
                                                                    bool inJob, bool sendsNow, bool afterJob,
                                                                    const QString &asideName) const
{
    const QString name = QFileInfo(localPath).fileName();
    const std::optional<TmpCopyRecord> recorded = records().Read(localPath);
    const TmpCopyState state = records().State(localPath);
    const bool earlierRun = !m_tempCopyNames.contains(name);
    QString text = alreadyOpen ? QStringLiteral("This file is already opened!\r\n\r\n") : QString();
    const QString left = earlierRun ? QStringLiteral(", left by an earlier session,") : QString();
    // Its job (waiting, failed or running) holds what the copy holds.
    const FtpTaskCollection::Job job = unsentJobOf(localPath);
    const bool unchangedInJob = job && recorded->UnchangedSinceQueued(localPath);
    if (!recorded)
        text += QStringLiteral("A copy of '%1' in the Tmp folder%2 may have changes that were not uploaded; where it "
                               "came from is not known.")
                    .arg(name, left);
    else if (state == TmpCopyState::MayBeChanged)
        text += QStringLiteral("The copy of '%1' in the Tmp folder was left by an earlier session and may hold changes "
                               "that were not uploaded.")
                    .arg(name);
    else if (unchangedInJob)
        text += QStringLiteral("The copy of '%1' in the Tmp folder%2 has changes that wait in an upload job.").arg(name, left);
    else
        text += QStringLiteral("The copy of '%1' in the Tmp folder%2 has changes that were not uploaded.").arg(name, left);
    // Only the very file the copy came from may receive it.
    if (recorded && recorded->origin == origin) {
        const QString keep = QStringLiteral(" No keeps it as '%1' and opens the file from the server. Cancel leaves "
                                            "both as they are.")
                                 .arg(asideName);
        if (inJob)
            text += QStringLiteral("\r\n\r\nPut the copy into its upload job to '%1'?\r\n\r\nYes puts it into the "
                                   "job, which sends it when it runs.")
                        .arg(shownPath);
        else if (sendsNow)
            text += QStringLiteral("\r\n\r\nUpload the copy to '%1' now?\r\n\r\nYes uploads it now.").arg(shownPath);
        else if (afterJob)
            text += QStringLiteral("\r\n\r\nUpload the copy to '%1'?\r\n\r\nYes adds it to the upload jobs, to be "
                                   "sent after the upload job of that file that has not completed.")
                        .arg(shownPath);
        else
            text += QStringLiteral("\r\n\r\nUpload the copy to '%1'?\r\n\r\nYes adds it to the upload jobs, as "
                                   "no connection to the server is free now.")
                        .arg(shownPath);
        text += keep;
        switch (ShowMessage(m_owner, PromptIcon::Question, PromptButtons::YesNoCancel, QStringLiteral("Confirm !"), text)) {
        case PromptButton::Yes:
            return UnsentCopyAnswer::Upload;
        case PromptButton::No:
            return UnsentCopyAnswer::KeepAside;
        default:
            return UnsentCopyAnswer::Stop;
        }
    }
    if (recorded)
        text += QStringLiteral(" It was opened from another folder or server.");
    text += QStringLiteral("\r\n\r\nKeep the copy as '%1' before the file is opened?\r\n\r\nYes keeps it. No "
                           "replaces it with the file from the server. Cancel leaves both as they are.")
                .arg(asideName);
    switch (ShowMessage(m_owner, PromptIcon::Question, PromptButtons::YesNoCancel, QStringLiteral("Confirm !"), text)) {
    case PromptButton::Yes:
        return UnsentCopyAnswer::KeepAside;
    case PromptButton::No:
        return UnsentCopyAnswer::Replace;
    default:
        return UnsentCopyAnswer::Stop;
    }
}

bool RemoteEditFlow::closeEditorsOf(const QString &localPath, const QString &editTaskId)
{
    QList<FrmEdit *> editors;
    for (FrmEdit *editor : OpenEditors()) {
        if (editor->LocalFilePath() == localPath || editor->EditTaskID() == editTaskId)
            editors << editor;
    }
    // Every question before any window closes: a No keeps them all.
    for (FrmEdit *editor : editors) {
        if (!editor->AskToClose())
            return false;
    }
    for (FrmEdit *editor : editors)
        editor->CloseByProgram();
    return true;
}

bool RemoteEditFlow::copyOpen(const QString &localPath) const
{
    if (m_watcher.FileAlreadyOpen(localPath))
        return true;
    for (const FrmEdit *editor : OpenEditors()) {
        if (editor->LocalFilePath() == localPath)
            return true;
    }
    return false;
}

bool RemoteEditFlow::copyInUse(const QString &localPath) const
{
    return copyOpen(localPath) || (m_intake && m_intake->UnfinishedLocalFiles().contains(localPath));
}

void RemoteEditFlow::RequestFileForEditView(int mode)
{
    try {
        const int slotIndex = m_slots.CurrentSlot();
        // The download would replace whatever the connection is doing.
        if (!m_slots.SlotFree(slotIndex) || (m_walkActive && m_walkActive(slotIndex)))
            return;
        const std::optional<RemoteSelection> file = m_slots.SelectedFileToOpen(slotIndex);
        ServerSlot *slot = m_slots.Slot(slotIndex);
        if (!file || !slot)
            return;
        const QString dateText = SelectedRowDate(*slot);
        if (file->Size > kLargeFileBytes && IsOptionOn(OptionFlag::PromptLargeFileEditView)
            && ShowMessage(m_owner, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Open File ?"),
                           QStringLiteral("The selected file is larger than 500KB! \r\n\r\nDo you wish to download "
                                          "and open it ?"))
                   != PromptButton::Yes)
            return;
        // The question let events run.
        if (!m_slots.SlotFree(slotIndex))
            return;

        const CProfile profile = slot->SlotProfile();
        const QString remoteFolder = slot->SlotRemotePath();
        auto task = std::make_shared<FtpTask>();
        task->setIsUpload(true);
        task->setLocked(true);
        task->setLocalPath(TmpFolder());
        task->setLocalFileTitle(file->Name);
        task->setRemoteFileTitle(file->Name);
        task->setRemotePath(remoteFolder);
        task->setServerAddress(profile.Server);
        task->setServerPort(profile.Port);
        task->setUser(profile.User);
        task->setPassword(profile.Password);
        task->setTransferMode(profile.IsPassive ? 0 : 1);
        task->setRemoteFileTime(dateText);
        task->setSize(file->Size);
        task->setTransferedBytes(0);
        task->setLastAttemp(QString());
        const QString key = task->ZavUdeID();
        const QString localPath = JoinLocalPath(TmpFolder(), file->Name);

        const TmpCopyOrigin origin{profile.ProfileName, profile.Server, profile.Port, profile.User,
                                   JoinRemotePath(remoteFolder, file->Name)};
        const QString shownPath = profile.Server + origin.remotePath;

        // Opened already, or a copy still open for this file or a same-named one elsewhere.
        const bool known = m_editTasks.ContainsKey(key);
        const bool open = copyOpen(localPath);
        if (!prepareFolders()) {
            ShowMessage(m_owner, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Request failed to download and view/Edit the file!\r\n\r\nPlease try again."));
            return;
        }
        // Jobs of earlier versions' job files that send the copy itself: it
        // must not change under a running one, and one that waits never sends
        // a copy that was replaced. Jobs made now send snapshots of their own.
        QList<FtpTaskCollection::Job> jobs;
        const auto copyBeingSent = [&] {
            // A send reads the copy until its end: a download into it meanwhile
            // would send that file's bytes to this one's server.
            for (int i = 0; i < 2; ++i) {
                if (m_uploading[i] && m_uploadCopy[i] == localPath) {
                    ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                                QStringLiteral("The copy of '%1' in the Tmp folder is being uploaded. Please try "
                                               "again when the upload has ended.")
                                    .arg(file->Name));
                    return true;
                }
            }
            jobs = m_intake ? m_intake->UnfinishedJobsOf(localPath) : QList<FtpTaskCollection::Job>();
            for (const FtpTaskCollection::Job &job : jobs) {
                if (job->Status() == 1) {
                    ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                                QStringLiteral("The copy of '%1' in the Tmp folder is being uploaded by a job. Please "
                                               "try again when the job has ended.")
                                    .arg(file->Name));
                    return true;
                }
            }
            return false;
        };
        if (copyBeingSent())
            return;
        // Only a copy as downloaded or sent may be replaced unasked: any
        // other is, or may be, the user's work.
        UnsentCopyAnswer answer = UnsentCopyAnswer::Replace;
        QString asideName;
        const TmpCopyRecords store = records();
        if (IsCopyFile(localPath) && (store.State(localPath) != TmpCopyState::AsDownloaded || !jobs.isEmpty())) {
            asideName = FreeAsideName(localPath);
            const FtpTaskCollection::Job waiting = waitingJobOf(localPath);
            answer = askAboutUnsentCopy(localPath, origin, shownPath, known || open, waiting != nullptr,
                                        canSendAtOnce(slotIndex, profile.ProfileName, shownPath),
                                        uploadUnfinishedTo(profile, origin.remotePath), asideName);
            if (answer == UnsentCopyAnswer::Stop)
                return;
            if (answer == UnsentCopyAnswer::Upload) {
                // The copy goes back; the file stays open where it is.
                // Answered for, it is this run's copy from now on.
                if (!m_tempCopyNames.contains(file->Name))
                    m_tempCopyNames << file->Name;
                // Its upload job that has not run takes it as it is now;
                // else, with the session gone or busy since the question,
                // it waits in an upload job, as any edit does then.
                const bool handed = waitingJobOf(localPath)
                                        ? AddEditTaskToQueue(task)
                                        : sendAtOnce(slotIndex, profile.ProfileName, localPath, shownPath)
                                              || AddEditTaskToQueue(task);
                if (!handed)
                    ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Sorry ! "), kOoops);
                return;
            }
        }
        if (asideName.isEmpty() && (known || open) && !askReopen())
            return;
        // An editor still showing the copy goes first, so that no two share the edit.
        if (!closeEditorsOf(localPath, key))
            return;
        // The questions let events run: a send or a job may have started with the copy, or ended.
        if (copyBeingSent())
            return;
        if (known) {
            if (m_editTasks.ContainsKey(key))
                m_editTasks.Remove(key);
            m_watcher.DeleteWatch(key);
        }
        if (open)
            m_watcher.DeleteWatchByFileName(localPath);
        if (!m_slots.SlotFree(slotIndex))
            return;
        // Nothing may stand in the way of the download: a link there goes, never what it points to.
        if (!prepareFolders() || !RemoveLinkAt(localPath)) {
            ShowMessage(m_owner, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Request failed to download and view/Edit the file!\r\n\r\nPlease try again."));
            return;
        }
        if (answer == UnsentCopyAnswer::KeepAside) {
            const QString asidePath = JoinLocalPath(TmpFolder(), asideName);
            if (QFileInfo::exists(asidePath) || QFileInfo(asidePath).isSymLink()
                || !QFile::rename(localPath, asidePath)) {
                ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                            QStringLiteral("The copy could not be kept as '%1'; the file was not opened.").arg(asideName));
                return;
            }
            if (!store.Rename(localPath, asidePath))
                store.Remove(localPath);
            // One in a job follows its job; any other is the user's to keep.
            remarkCopy(asidePath, [](TmpCopyRecord &record) {
                if (record.mark != TmpCopyRecord::Mark::Queued)
                    record.mark = TmpCopyRecord::Mark::KeptAside;
            });
            m_keptAside << asideName;
        }
        // The copy these jobs were to send is gone or about to be replaced.
        for (const FtpTaskCollection::Job &job : jobs)
            m_intake->FailJob(job->ZavUdeID(), kCopyReplacedReason,
                              QStringLiteral("The upload job of '%1' failed: its copy in the Tmp folder was replaced "
                                             "by a new download.")
                                  .arg(job->GetLocalFilePath()));

        if (mode != OpenDefault) {
            if (!m_editTasks.AddFtpTask(task)) {
                ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error !"),
                            QStringLiteral("Some conflict prevented this action!"));
                return;
            }
        }
        m_slotEditMode[slotIndex & 1] = mode;
        PendingOpen &pending = m_pending[slotIndex & 1];
        pending.active = true;
        pending.mode = mode;
        pending.localPath = localPath;
        pending.remotePath = shownPath;
        pending.editTaskId = mode == OpenDefault ? QString() : key;
        pending.profileName = profile.ProfileName;
        pending.handlerKey = m_selectedHandlerKey;
        pending.origin = origin;
        // Until the download ends the copy matches no record.
        pending.copyBefore.reset();
        if (IsCopyFile(localPath))
            pending.copyBefore = TmpCopyRecord::OfCopy(localPath, origin);
        pending.recordBefore = store.Read(localPath);
        store.Remove(localPath);

        // A read-only copy left by an earlier view must not stop the new download.
        MakeOwnerWritable(localPath);
        if (!m_tempCopyNames.contains(file->Name))
            m_tempCopyNames << file->Name;
        slot->FtpCmd()->FTP_GET_FILE(JoinRemotePath(remoteFolder, file->Name), localPath, file->Size, false);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RequestFileForEditView"));
    }
}

bool RemoteEditFlow::FtpCmd_JobDone(int slotIndex, bool success, long lastAct)
{
    try {
        const int i = slotIndex & 1;
        if (m_uploading[i]
            && (lastAct == FtpCommander::ActSend || lastAct == FtpCommander::ActResumeSend)) {
            const FtpCommander *engine = m_slots.Slot(i) ? m_slots.Slot(i)->FtpCmd() : nullptr;
            uploadEnded(i, success, engine ? engine->LastFailure() : QString());
            // As at the end of an upload batch: the folder's listing is stale.
            if (ServerSlot *slot = m_slots.Slot(i)) {
                const QString folder = m_uploadFolder[i];
                slot->Cache().MarkDirCacheDirty(folder.isEmpty() ? QStringLiteral("/") : folder, 0);
                QPointer<ServerSlot> guard(slot);
                QTimer::singleShot(0, this, [guard, folder] {
                    if (guard && guard->SlotRemotePath() == (folder.isEmpty() ? QStringLiteral("/") : folder))
                        guard->RefreshListing();
                });
            }
            return true;
        }
        if (!m_pending[i].active || (lastAct != FtpCommander::ActGet && lastAct != FtpCommander::ActResumeGet))
            return false;
        const PendingOpen open = m_pending[i];
        m_pending[i].active = false;
        if (!success) {
            if (!open.editTaskId.isEmpty() && m_editTasks.ContainsKey(open.editTaskId))
                m_editTasks.Remove(open.editTaskId);
            restoreAfterFailedDownload(open);
            // Told once the reply has been handled: while the message is open
            // the connection goes on reading its server's replies.
            ++m_ending[i];
            QTimer::singleShot(0, this, [this, i] {
                const QPointer<RemoteEditFlow> self(this);
                ShowMessage(m_owner, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                            QStringLiteral("Request failed to download and view/Edit the file!\r\n\r\nPlease try again."));
                if (self)
                    --m_ending[i];
            });
            return true;
        }
        markCopySettled(open.localPath, open.origin);
        // Opening may ask first (the file is already open): not from inside the reply's handling.
        ++m_ending[i];
        QTimer::singleShot(0, this, [this, i, open] {
            const QPointer<RemoteEditFlow> self(this);
            try {
                openCopy(i, open);
            } catch (...) {
                LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
            }
            if (self)
                --m_ending[i];
        });
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
        return true;
    }
}

void RemoteEditFlow::uploadEnded(int slotIndex, bool success, const QString &engineReason)
{
    const int i = slotIndex & 1;
    if (!m_uploading[i])
        return;
    m_uploading[i] = false;
    const QString copy = m_uploadCopy[i];
    const QString taskId = std::exchange(m_uploadTaskId[i], {});
    std::optional<TmpCopyRecord> sent = std::exchange(m_uploadRecord[i], std::nullopt);
    // A copy changed while it was sent may have reached the server in part:
    // only its time and size as they were stand for the server's bytes, never
    // its digest (changed back, it would pass as sent and go at the close).
    if (const QFileInfo now(copy);
        sent && (now.size() != sent->size || now.lastModified().toMSecsSinceEpoch() != sent->modifiedMs))
        sent->digest.clear();
    BatchFailures &failures = m_uploadFailure[i];
    failures.StepEnded(success, engineReason);
    QPointer<FrmEdit> editor;
    for (FrmEdit *open : OpenEditors()) {
        if (!taskId.isEmpty() && open->EditTaskID() == taskId && open->Uploading())
            editor = open;
    }
    if (success) {
        if (sent && !records().Write(copy, *sent))
            LogErrorToFile(kObject, QStringLiteral("FtpCmd_JobDone"), 0,
                           QStringLiteral("The record of the copy could not be written: ") + copy);
        DiscardEditFile(taskId);
        if (editor)
            editor->UploadEnded(true);
        emit editUploadEnded(i, true);
        return;
    }
    // The copy keeps its record of the server's state, so it counts as
    // changed; an editor that sent it stays open with its text.
    if (editor)
        editor->UploadEnded(false);
    else
        DiscardEditFile(taskId);
    const QString line = failures.Lines().value(0);
    // Not from inside the connection's reply handling.
    QPointer<QWidget> owner = editor ? static_cast<QWidget *>(editor.data()) : m_owner.data();
    QTimer::singleShot(0, this, [owner, line, kept = !editor] {
        ShowMessage(owner, PromptIcon::Critical, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("The modified file could not be uploaded.\r\n\r\n") + line
                        + (kept ? QStringLiteral("\r\n\r\nThe changed copy is kept in the Tmp folder.") : QString()));
    });
    emit editUploadEnded(i, false);
}

void RemoteEditFlow::restoreAfterFailedDownload(const PendingOpen &open)
{
    if (!IsCopyFile(open.localPath))
        return;
    // Untouched: the copy and its record stay as they were.
    if (open.copyBefore && !open.copyBefore->ChangedIn(open.localPath)) {
        if (open.recordBefore && !records().Write(open.localPath, *open.recordBefore))
            LogErrorToFile(kObject, QStringLiteral("FtpCmd_JobDone"), 0,
                           QStringLiteral("The record of the copy could not be written: ") + open.localPath);
        return;
    }
    // Part of the file: nobody's work, and nothing to offer for upload later.
    MakeOwnerWritable(open.localPath);
    QFile::remove(open.localPath);
}

void RemoteEditFlow::openCopy(int slot, const PendingOpen &open)
{
    if (open.mode == QuickEdit) {
        OpenEditor(slot, open.profileName, open.localPath, open.remotePath, open.editTaskId);
        return;
    }
    if (m_watcher.FileAlreadyOpen(open.localPath)) {
        if (!askReopen())
            return;
        m_watcher.DeleteWatchByFileName(open.localPath);
    }
    QString program = ApplicationWatcher::DefaultOpen();
    QString flags;
    if (open.mode != OpenDefault) {
        const FileHandlerCollection &all = handlers();
        if (!all.ContainsKey(open.handlerKey))
            return;
        const FileHandler &handler = all.Item(open.handlerKey);
        program = handler.ApplicationPath();
        flags = handler.ApplicationFlags();
    }
    m_watcher.SetEnabled(false);
    requestRearm();
    m_watcher.RunNotifyApplication(program, open.mode == EditWith ? QStringLiteral("e") : QStringLiteral("o"),
                                   open.remotePath, open.localPath, open.editTaskId, static_cast<qint16>(slot),
                                   open.profileName, flags);
}

void RemoteEditFlow::requestRearm()
{
    m_watcher.SetStartRequested(true);
    // Runs while a start waits, with or without a session.
    if (!Timer1.isActive())
        Timer1.start();
}

void RemoteEditFlow::Timer1_Timer()
{
    try {
        if (m_watcher.StartRequested()) {
            m_watcher.SetStartRequested(false);
            m_watcher.SetEnabled(true);
        }
        if (!m_watcher.StartRequested())
            Timer1.stop();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer1_Timer"));
    }
}

void RemoteEditFlow::OpenEditor(int slot, const QString &profileName, const QString &localFilePath,
                                const QString &remoteFilePath, const QString &editTaskId)
{
    try {
        auto *editor = new FrmEdit(m_owner);
        m_editors.removeAll(nullptr);
        m_editors << editor;
        editor->ShowEdit(this, static_cast<qint16>(slot), profileName, localFilePath, remoteFilePath, editTaskId,
                         ConfiguredFont(FontSlot::BuiltInEditor).value_or(QFont()));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("OpenEditor"));
    }
}

void RemoteEditFlow::FileWatcher1_FileChanged(const QString &filePath, const QString &remoteFilePath,
                                              const QString &editTaskId, qint16 slot, const QString &profileName)
{
    try {
        if (!IsOptionOn(OptionFlag::PromptUploadExternalEdits)) {
            DiscardEditFile(editTaskId);
            return;
        }
        if (ShowMessage(m_owner, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Confirm Upload !"),
                        QStringLiteral("You have made changes to '%1'.\r\n\r\nDo you wish to upload the modified file ?")
                            .arg(remoteFilePath))
            != PromptButton::Yes) {
            // No answered "upload?", not "discard?": the change stays the
            // user's, asked about before it is replaced and kept at the close.
            remarkCopy(filePath, [](TmpCopyRecord &record) {
                if (record.mark != TmpCopyRecord::Mark::Queued)
                    record.mark = TmpCopyRecord::Mark::Declined;
            });
            DiscardEditFile(editTaskId);
            return;
        }
        if (!RequestUpload(slot, profileName, filePath, remoteFilePath, editTaskId))
            ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Sorry ! "), kOoops);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FileWatcher1_FileChanged"));
    }
}

void RemoteEditFlow::FileWatcher1_FileDeleted(const QString &filePath)
{
    ShowMessage(m_owner, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                QStringLiteral("File '") + filePath + QStringLiteral("'  has been deleted!"));
}

void RemoteEditFlow::FileWatcher1_ProcessExit(const QString &editTaskId)
{
    try {
        DiscardEditFile(editTaskId);
        if (m_watcher.FileCount() > 10) {
            m_watcher.RemoveClosedFiles();
            // Compaction pauses the watcher; the others are watched again at the next tick.
            requestRearm();
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FileWatcher1_ProcessExit"));
    }
}

bool RemoteEditFlow::RequestUpload(qint16 slotIndex, const QString &profileName, const QString &localFilePath,
                                   const QString &remoteFilePath, const QString &editTaskId)
{
    try {
        const FtpTaskCollection::Job task = m_editTasks.Find(editTaskId);
        if (!task)
            return false;
        // The task stays until the send ends: a failure leaves the editor able to send again.
        if (sendAtOnce(slotIndex, profileName, localFilePath, remoteFilePath, editTaskId))
            return true;
        // A queued copy is not sent until its job completes: it stays changed.
        if (!AddEditTaskToQueue(task))
            return false;
        m_editTasks.Remove(editTaskId);
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RequestUpload"));
        return false;
    }
}

bool RemoteEditFlow::uploadUnfinishedTo(const CProfile &profile, const QString &remotePath) const
{
    return m_intake
           && m_intake->UploadUnfinishedTo(UploadTargetKey(profile.User, profile.Server, profile.Port, remotePath));
}

QString RemoteEditFlow::pathOnSlot(const ServerSlot &slot, const QString &shownPath)
{
    // Only the server address in front is taken off: a folder may carry its name too.
    const QString server = slot.SlotProfile().Server;
    return shownPath.startsWith(server) ? shownPath.mid(server.size()) : shownPath;
}

bool RemoteEditFlow::slotTakesUpload(int slotIndex, const QString &profileName, const QString &shownPath) const
{
    const ServerSlot *slot = m_slots.Slot(slotIndex);
    if (!slot || !slot->SessionActive() || slot->IsBusy() || slot->SlotProfile().ProfileName != profileName
        || (m_walkActive && m_walkActive(slotIndex)))
        return false;
    // Sent beside an upload job of the file, or before one still to run,
    // the job's earlier bytes would end on the server: the send goes after it.
    return !uploadUnfinishedTo(slot->SlotProfile(), pathOnSlot(*slot, shownPath));
}

bool RemoteEditFlow::canSendAtOnce(int slotIndex, const QString &profileName, const QString &shownPath) const
{
    if (m_batchRunning && m_batchRunning())
        return false;
    const int first = slotIndex & 1;
    return slotTakesUpload(first, profileName, shownPath) || slotTakesUpload(1 - first, profileName, shownPath);
}

bool RemoteEditFlow::sendAtOnce(int slotIndex, const QString &profileName, const QString &localFilePath,
                                const QString &remoteFilePath, const QString &editTaskId)
{
    if (m_batchRunning && m_batchRunning())
        return false;
    const int first = slotIndex & 1;
    for (int candidate : {first, 1 - first}) {
        ServerSlot *slot = m_slots.Slot(candidate);
        if (!slotTakesUpload(candidate, profileName, remoteFilePath))
            continue;
        if (sendCopy(candidate, *slot, localFilePath, pathOnSlot(*slot, remoteFilePath), remoteFilePath, editTaskId))
            return true;
    }
    return false;
}

bool RemoteEditFlow::UploadUnderway(const QString &editTaskId) const
{
    for (int i = 0; i < 2; ++i) {
        if (m_uploading[i] && !editTaskId.isEmpty() && m_uploadTaskId[i] == editTaskId)
            return true;
    }
    return false;
}

bool RemoteEditFlow::sendCopy(int slotIndex, ServerSlot &slot, const QString &localPath, const QString &remotePath,
                              const QString &shownPath, const QString &editTaskId)
{
    const int i = slotIndex & 1;
    if (!slot.SessionActive() || !slot.FtpCmd())
        return false;
    m_uploading[i] = true;
    m_uploadFolder[i] = GetParentRemotePath(remotePath);
    // The copy as sent counts as settled once the server has it.
    m_uploadCopy[i] = localPath;
    m_uploadTaskId[i] = editTaskId;
    m_uploadFailure[i].Begin(BatchFailures::Verb::Transferred, 1);
    m_uploadFailure[i].StepStarted(shownPath);
    m_uploadRecord[i].reset();
    if (const std::optional<TmpCopyRecord> recorded = records().Read(localPath)) {
        m_uploadRecord[i] = TmpCopyRecord::OfCopy(localPath, recorded->origin);
    } else {
        // Its record was lost: once sent, the copy is known to be this file's.
        const CProfile profile = slot.SlotProfile();
        m_uploadRecord[i] = TmpCopyRecord::OfCopy(
            localPath, TmpCopyOrigin{profile.ProfileName, profile.Server, profile.Port, profile.User, remotePath});
    }
    slot.FtpCmd()->FTP_SEND_FILE(localPath, remotePath, QFileInfo(localPath).size(), false);
    // An engine that no longer had its session took nothing up: the caller
    // queues the copy instead.
    if (m_uploading[i] && !slot.IsBusy()) {
        m_uploading[i] = false;
        m_uploadTaskId[i].clear();
        m_uploadRecord[i].reset();
        return false;
    }
    return true;
}

bool RemoteEditFlow::AddEditTaskToQueue(const FtpTaskCollection::Job &task)
{
    try {
        if (!task || !m_intake)
            return false;
        const QString copy = task->GetLocalFilePath();
        const EditSnapshots store = snapshots();
        auto announce = [this](const QString &text) {
            if (IsOptionOn(OptionFlag::AutoStartJobs))
                m_intake->RunQueuedJobs();
            else
                ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok, QStringLiteral("Upload Modified File"),
                            text);
        };
        const auto fillFrom = [](FtpTask &job, const QString &snapshot) {
            const QFileInfo sent(snapshot);
            job.setOriginalLocalFileTime(FtpTask::FormatTime(sent.lastModified()));
            job.setOriginalLocalSize(sent.size());
            job.setSize(sent.size());
            // Nothing of this snapshot is on the server: no resume goes on
            // from what an earlier one left there, nor does a run of the
            // earlier one that a connection still holds (its stop waiting
            // for the server) count its bytes into this one.
            job.LocalFileReplaced();
            job.setLocked(false);
        };
        // The copy's job that has not run takes the new snapshot in place of its own.
        if (const FtpTaskCollection::Job queued = waitingJobOf(copy)) {
            if (!store.Retake(*queued, copy))
                return false;
            fillFrom(*queued, queued->GetLocalFilePath());
            queued->setStatus(0);
            queued->setFailureReason(0);
            m_intake->RefreshJob(queued->ZavUdeID());
            noteQueuedCopy(copy, *queued);
            announce(QStringLiteral("The edited file has been put into its upload job in place of the earlier "
                                    "change. Please run that job and upload the modified file."));
            return true;
        }
        // The job sends a snapshot of its own: whatever happens to the copy
        // later, it sends what the user saved.
        const std::optional<QString> folder = store.Take(copy, task->LocalFileTitle());
        if (!folder)
            return false;
        auto job = std::make_shared<FtpTask>();
        job->setIsUpload(true);
        job->setLocalPath(*folder);
        job->setLocalFileTitle(task->LocalFileTitle());
        job->setRemoteFileTitle(task->RemoteFileTitle());
        job->setRemotePath(task->RemotePath());
        job->setRemoteFileTime(task->RemoteFileTime());
        job->setServerAddress(task->ServerAddress());
        job->setServerPort(task->ServerPort());
        job->setUser(task->User());
        job->setPassword(task->Password());
        job->setTransferMode(task->TransferMode());
        fillFrom(*job, job->GetLocalFilePath());
        if (!m_intake->AddJob(job)) {
            store.Release(*job);
            m_intake->ReportJobsAdded(true, 0, 1);
            return true;
        }
        m_intake->UpdateJobSummary();
        m_intake->ReportJobsAdded(true, 1, 0);
        noteQueuedCopy(copy, *job);
        announce(QStringLiteral(
            "The edited file has been added to upload jobs. Please run that job and upload the modified file."));
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("AddEditTaskToQueue"));
        return false;
    }
}

void RemoteEditFlow::noteQueuedCopy(const QString &copy, const FtpTask &job)
{
    // Without a record there is no origin to settle it with: it stays changed.
    // What the job sends is its snapshot (the copy's time kept), not the
    // copy, which may have changed since it was taken.
    remarkCopy(copy, [&](TmpCopyRecord &record) {
        const QString snapshot = job.GetLocalFilePath();
        const QFileInfo asQueued(snapshot);
        record.mark = TmpCopyRecord::Mark::Queued;
        record.jobKey = job.ZavUdeID();
        record.queuedSize = asQueued.size();
        record.queuedModifiedMs = asQueued.lastModified().toMSecsSinceEpoch();
        record.queuedDigest = TmpCopyRecord::DigestOf(snapshot);
    });
}

void RemoteEditFlow::DiscardEditFile(const QString &editTaskId)
{
    try {
        if (!editTaskId.isEmpty() && m_editTasks.ContainsKey(editTaskId))
            m_editTasks.Remove(editTaskId);
    } catch (...) {
        // Nothing to drop.
    }
}

bool RemoteEditFlow::ConfirmCloseEditors()
{
    for (FrmEdit *editor : OpenEditors()) {
        if (!editor->AskToClose())
            return false;
    }
    return true;
}

void RemoteEditFlow::CloseEditors()
{
    for (FrmEdit *editor : OpenEditors())
        editor->CloseByProgram();
}

void RemoteEditFlow::DeleteTempFiles()
{
    try {
        // Nothing is deleted through a link in Tmp's or the records' place.
        prepareFolders();
        // Only copies as downloaded or sent go: changes nobody sent (a
        // program that handed the copy to a running instance ends before the
        // user saves), declined or waiting in a job, copies that may hold
        // them for all that is known, and those kept aside are the user's work.
        // Those left by earlier runs are named at every close until they
        // are sent or removed; the others among them are not this run's to delete.
        const QStringList thisRun = m_keptAside + m_tempCopyNames;
        QStringList unsent;
        QStringList disposable;
        for (const QString &name : thisRun + copiesOfEarlierRuns()) {
            const QString path = JoinLocalPath(TmpFolder(), name);
            if (unsent.contains(name) || disposable.contains(name))
                continue;
            // A link or nothing in a copy's place holds nothing of the user's.
            if (records().State(path) != TmpCopyState::AsDownloaded)
                unsent << name;
            else if (thisRun.contains(name))
                disposable << name;
        }
        const bool confirmed = disposable.isEmpty() || !IsOptionOn(OptionFlag::ConfirmDeletingTempFiles)
                               || AskBeforeDestroying(m_owner, AppTitle(),
                                                      QStringLiteral("Delete the temporary copies of the files opened for "
                                                             "viewing or editing?"))
                                      == PromptButton::Yes;
        QStringList kept = unsent;
        for (const QString &name : disposable) {
            const QString path = JoinLocalPath(TmpFolder(), name);
            // A copy a job of an earlier version is still to send, or one still open, stays.
            if (!confirmed || copyInUse(path)) {
                kept << name;
                continue;
            }
            MakeOwnerWritable(path);
            if (QFileInfo::exists(path) && !QFile::remove(path))
                kept << name;
            else
                records().Remove(path);
        }
        m_tempCopyNames = kept;
        m_keptAside.clear();
        QStringList told = unsentCopiesText(unsent);
        // Said once: the earlier version's folder is not in Tmp any more.
        if (!m_oldRecordsMovedTo.isEmpty())
            told << QStringLiteral("Records of Tmp copies that an earlier version kept in the Tmp folder could not all "
                                   "be read; they were moved to '%1'.")
                        .arg(QDir::toNativeSeparators(std::exchange(m_oldRecordsMovedTo, {})));
        if (!told.isEmpty())
            ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        told.join(QStringLiteral("\r\n\r\n")));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("DeleteTempFiles"));
    }
}

QStringList RemoteEditFlow::unsentCopiesText(const QStringList &unsent) const
{
    // Each copy under what is known of it: its change not sent, waiting in
    // its job, possibly changed (an earlier version's record), or of unknown origin.
    enum Case { Changed, InJob, MayBeChanged, Unrecorded, Cases };
    const QString folder = QDir::toNativeSeparators(TmpFolder());
    const QString headings[Cases] = {
        QStringLiteral("These files were changed but not uploaded. Their copies are kept in '%1':").arg(folder),
        QStringLiteral("These files have changes waiting in upload jobs. Their copies are kept in '%1':").arg(folder),
        QStringLiteral("These copies, left by an earlier version, may hold changes that were not uploaded. They are "
                       "kept in '%1':")
            .arg(folder),
        QStringLiteral("Where these copies came from is not known; they may hold changes. They are kept in '%1':")
            .arg(folder),
    };
    QStringList names[Cases];
    for (const QString &name : unsent) {
        const QString path = JoinLocalPath(TmpFolder(), name);
        const std::optional<TmpCopyRecord> recorded = records().Read(path);
        if (!recorded)
            names[Unrecorded] << name;
        else if (records().State(path) == TmpCopyState::MayBeChanged)
            names[MayBeChanged] << name;
        else if (unsentJobOf(path) && recorded->UnchangedSinceQueued(path))
            names[InJob] << name;
        else
            names[Changed] << name;
    }
    // However many there are, the message fits on the screen: this run's
    // first, and each heading with at least one name.
    QStringList told;
    qsizetype room = kNamedAtClose;
    for (int c = 0; c < Cases; ++c) {
        if (names[c].isEmpty())
            continue;
        const qsizetype shown = qMax<qsizetype>(1, qMin(room, names[c].size()));
        room = qMax<qsizetype>(0, room - shown);
        told << headings[c] + QStringLiteral("\r\n\r\n") + names[c].mid(0, shown).join(QStringLiteral("\r\n"))
                    + (names[c].size() > shown ? QStringLiteral("\r\n... and %1 more.").arg(names[c].size() - shown)
                                               : QString());
    }
    return told;
}

QString RemoteEditFlow::GetParentRemotePath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return path;
    return path.left(slash);
}

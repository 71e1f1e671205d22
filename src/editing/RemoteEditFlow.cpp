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

void MakeOwnerWritable(const QString &path)
{
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

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
                m_uploading[index & 1] = false;
                m_uploadRecord[index & 1].reset();
            }
        });
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

void RemoteEditFlow::markCopySettled(const QString &localPath, const std::optional<TmpCopyOrigin> &origin)
{
    std::optional<TmpCopyOrigin> from = origin;
    if (!from) {
        const std::optional<TmpCopyRecord> recorded = TmpCopyRecord::Read(localPath);
        if (!recorded)
            return;
        from = recorded->origin;
    }
    if (!TmpCopyRecord::OfCopy(localPath, *from).Write(localPath))
        LogErrorToFile(kObject, QStringLiteral("markCopySettled"), 0,
                       QStringLiteral("The record of the copy could not be written: ") + localPath);
}

bool RemoteEditFlow::copyChangedSinceSettled(const QString &localPath) const
{
    if (!QFileInfo(localPath).isFile())
        return false;
    const std::optional<TmpCopyRecord> recorded = TmpCopyRecord::Read(localPath);
    return recorded && recorded->ChangedIn(localPath);
}

QString RemoteEditFlow::FreeAsideName(const QString &localPath)
{
    const QFileInfo copy(localPath);
    const QString name = copy.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension);
        const QString path = JoinLocalPath(copy.path(), candidate);
        if (!QFileInfo::exists(path) && !TmpCopyRecord::Read(path))
            return candidate;
    }
}

RemoteEditFlow::UnsentCopyAnswer RemoteEditFlow::askAboutUnsentCopy(const QString &localPath,
                                                                    const TmpCopyOrigin &origin,
                                                                    const QString &shownPath, bool alreadyOpen,
                                                                    const QString &asideName) const
{
    const QString name = QFileInfo(localPath).fileName();
    const std::optional<TmpCopyRecord> recorded = TmpCopyRecord::Read(localPath);
    const bool earlierRun = !m_tempCopyNames.contains(name);
    QString text = alreadyOpen ? QStringLiteral("This file is already opened!\r\n\r\n") : QString();
    const QString left = earlierRun ? QStringLiteral(", left by an earlier session,") : QString();
    if (recorded && recorded->ChangedIn(localPath))
        text += QStringLiteral("The copy of '%1' in the Tmp folder%2 has changes that were not uploaded.").arg(name, left);
    else if (recorded)
        text += QStringLiteral("The copy of '%1' in the Tmp folder was left by an earlier session and may hold changes "
                               "that were not uploaded.")
                    .arg(name);
    else
        text += QStringLiteral("A copy of '%1' in the Tmp folder%2 may have changes that were not uploaded; where it "
                               "came from is not known.")
                    .arg(name, left);
    // Only the very file the copy came from may receive it.
    if (recorded && recorded->origin == origin) {
        text += QStringLiteral("\r\n\r\nUpload the copy to '%1' now?\r\n\r\nYes uploads it. No keeps it as '%2' "
                               "and opens the file from the server. Cancel leaves both as they are.")
                    .arg(shownPath, asideName);
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

bool RemoteEditFlow::copyInUse(const QString &localPath) const
{
    if (m_watcher.FileAlreadyOpen(localPath))
        return true;
    for (const FrmEdit *editor : OpenEditors()) {
        if (editor->LocalFilePath() == localPath)
            return true;
    }
    return m_intake && m_intake->UnfinishedLocalFiles().contains(localPath);
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

        // Opened already, or a copy still in use by this file or a same-named one elsewhere.
        const bool known = m_editTasks.ContainsKey(key);
        const bool inUse = copyInUse(localPath);
        // A copy with changes nobody sent, one whose record is gone or
        // unreadable, or one an earlier run left behind (kept at its close,
        // perhaps after its upload was declined) is the user's work.
        UnsentCopyAnswer answer = UnsentCopyAnswer::Replace;
        QString asideName;
        if (QFileInfo(localPath).isFile()) {
            const std::optional<TmpCopyRecord> recorded = TmpCopyRecord::Read(localPath);
            if (!recorded || recorded->ChangedIn(localPath) || !m_tempCopyNames.contains(file->Name)) {
                asideName = FreeAsideName(localPath);
                answer = askAboutUnsentCopy(localPath, origin, shownPath, known || inUse, asideName);
                if (answer == UnsentCopyAnswer::Stop)
                    return;
                if (answer == UnsentCopyAnswer::Upload) {
                    // The copy goes back; the file stays open where it is.
                    // Answered for, it is this run's copy from now on.
                    if (!m_tempCopyNames.contains(file->Name))
                        m_tempCopyNames << file->Name;
                    if (m_slots.SlotFree(slotIndex))
                        sendCopy(slotIndex, *slot, localPath, origin.remotePath);
                    return;
                }
            }
        }
        if (asideName.isEmpty() && (known || inUse) && !askReopen())
            return;
        // An editor still showing the copy goes first, so that no two share the edit.
        if (!closeEditorsOf(localPath, key))
            return;
        if (known) {
            if (m_editTasks.ContainsKey(key))
                m_editTasks.Remove(key);
            m_watcher.DeleteWatch(key);
        }
        if (inUse)
            m_watcher.DeleteWatchByFileName(localPath);
        if (!m_slots.SlotFree(slotIndex))
            return;
        if (answer == UnsentCopyAnswer::KeepAside) {
            const QString asidePath = JoinLocalPath(TmpFolder(), asideName);
            if (QFileInfo::exists(asidePath) || !QFile::rename(localPath, asidePath)) {
                ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                            QStringLiteral("The copy could not be kept as '%1'; the file was not opened.").arg(asideName));
                return;
            }
            if (!TmpCopyRecord::Rename(localPath, asidePath))
                TmpCopyRecord::Remove(localPath);
        }

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
        if (QFileInfo(localPath).isFile())
            pending.copyBefore = TmpCopyRecord::OfCopy(localPath, origin);
        pending.recordBefore = TmpCopyRecord::Read(localPath);
        TmpCopyRecord::Remove(localPath);

        QDir().mkpath(TmpFolder());
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
            m_uploading[i] = false;
            if (success && m_uploadRecord[i] && !m_uploadRecord[i]->Write(m_uploadCopy[i]))
                LogErrorToFile(kObject, QStringLiteral("FtpCmd_JobDone"), 0,
                               QStringLiteral("The record of the copy could not be written: ") + m_uploadCopy[i]);
            m_uploadRecord[i].reset();
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
            emit editUploadEnded(i, success);
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
            ShowMessage(m_owner, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Request failed to download and view/Edit the file!\r\n\r\nPlease try again."));
            return true;
        }
        markCopySettled(open.localPath, open.origin);
        openCopy(i, open);
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
        return true;
    }
}

void RemoteEditFlow::restoreAfterFailedDownload(const PendingOpen &open)
{
    if (!QFileInfo(open.localPath).isFile())
        return;
    // Untouched: the copy and its record stay as they were.
    if (open.copyBefore && !open.copyBefore->ChangedIn(open.localPath)) {
        if (open.recordBefore && !open.recordBefore->Write(open.localPath))
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
            markCopySettled(filePath);
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
        if (m_batchRunning && m_batchRunning()) {
            if (!AddEditTaskToQueue(task))
                return false;
            m_editTasks.Remove(editTaskId);
            markCopySettled(localFilePath);
            return true;
        }
        const int first = slotIndex & 1;
        for (int candidate : {first, 1 - first}) {
            ServerSlot *slot = m_slots.Slot(candidate);
            if (!slot || !slot->SessionActive() || slot->IsBusy() || slot->SlotProfile().ProfileName != profileName
                || (m_walkActive && m_walkActive(candidate)))
                continue;
            // Only the server address in front is taken off: a folder may carry its name too.
            const QString server = slot->SlotProfile().Server;
            const QString remotePath =
                remoteFilePath.startsWith(server) ? remoteFilePath.mid(server.size()) : remoteFilePath;
            m_editTasks.Remove(editTaskId);
            sendCopy(candidate, *slot, localFilePath, remotePath);
            return true;
        }
        if (!AddEditTaskToQueue(task))
            return false;
        m_editTasks.Remove(editTaskId);
        markCopySettled(localFilePath);
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RequestUpload"));
        return false;
    }
}

void RemoteEditFlow::sendCopy(int slotIndex, ServerSlot &slot, const QString &localPath, const QString &remotePath)
{
    const int i = slotIndex & 1;
    m_uploading[i] = true;
    m_uploadFolder[i] = GetParentRemotePath(remotePath);
    // The copy as sent counts as settled once the server has it.
    m_uploadCopy[i] = localPath;
    m_uploadRecord[i].reset();
    if (const std::optional<TmpCopyRecord> recorded = TmpCopyRecord::Read(localPath))
        m_uploadRecord[i] = TmpCopyRecord::OfCopy(localPath, recorded->origin);
    slot.FtpCmd()->FTP_SEND_FILE(localPath, remotePath, QFileInfo(localPath).size(), false);
}

bool RemoteEditFlow::AddEditTaskToQueue(const FtpTaskCollection::Job &task)
{
    try {
        if (!task || !m_intake)
            return false;
        const QFileInfo copy(task->GetLocalFilePath());
        const QString copyTime = FtpTask::FormatTime(copy.lastModified());
        const qint64 copySize = copy.size();
        auto announce = [this] {
            if (IsOptionOn(OptionFlag::AutoStartJobs))
                m_intake->RunQueuedJobs();
            else
                ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok,
                            QStringLiteral("Upload Modified File"),
                            QStringLiteral("The edited file has been added to upload jobs. Please run that job and "
                                           "upload the modified file."));
        };
        // The same edit queued before: a job that waits or ended is sent again
        // with the new copy; one that is running cannot take it.
        if (const FtpTaskCollection::Job queued = m_intake->FindJob(task->ZavUdeID())) {
            if (queued->Status() == 1)
                return false;
            queued->setOriginalLocalFileTime(copyTime);
            queued->setOriginalLocalSize(copySize);
            queued->setSize(copySize);
            queued->setTransferedBytes(0);
            queued->setStatus(0);
            queued->setFailureReason(0);
            queued->setLocked(false);
            m_intake->RefreshJob(queued->ZavUdeID());
            m_intake->ReportJobsAdded(true, 1, 0);
            announce();
            return true;
        }
        task->setOriginalLocalFileTime(copyTime);
        task->setOriginalLocalSize(copySize);
        task->setSize(copySize);
        task->setLocked(false);
        if (!m_intake->AddJob(task)) {
            m_intake->ReportJobsAdded(true, 0, 1);
            return true;
        }
        m_intake->ReportJobsAdded(true, 1, 0);
        announce();
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("AddEditTaskToQueue"));
        return false;
    }
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
        if (m_tempCopyNames.isEmpty())
            return;
        // Changes nobody sent or declined (a program that handed the copy to
        // a running instance ends before the user saves) are the user's work.
        QStringList unsent;
        QStringList disposable;
        for (const QString &name : m_tempCopyNames) {
            const QString path = JoinLocalPath(TmpFolder(), name);
            if (copyChangedSinceSettled(path))
                unsent << name;
            else
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
            // A copy a job is still to send, or one still open, stays.
            if (!confirmed || copyInUse(path)) {
                kept << name;
                continue;
            }
            MakeOwnerWritable(path);
            if (QFileInfo::exists(path) && !QFile::remove(path))
                kept << name;
            else
                TmpCopyRecord::Remove(path);
        }
        m_tempCopyNames = kept;
        if (!unsent.isEmpty())
            ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("These files were changed but not uploaded. Their copies are kept in '%1':")
                                .arg(QDir::toNativeSeparators(TmpFolder()))
                            + QStringLiteral("\r\n\r\n") + unsent.join(QStringLiteral("\r\n")));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("DeleteTempFiles"));
    }
}

QString RemoteEditFlow::GetParentRemotePath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return path;
    return path.left(slash);
}

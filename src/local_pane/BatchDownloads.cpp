#include "BatchTransfers.h"

#include "ErrorLog.h"
#include "LocalPane.h"
#include "ModFTPTrelm.h"
#include "Modfolder.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "SessionLog.h"

#include <QDir>

#include <algorithm>
#include <utility>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

// Whether a local folder lies at or below `root`.
bool isInside(const QString &folder, const QString &root)
{
    const QString clean = QDir::cleanPath(folder);
    const QString base = QDir::cleanPath(root);
    return clean == base || clean.startsWith(base.endsWith(u'/') ? base : base + u'/');
}

} // namespace

// The selection's folders (queued for the walk) and files (entries into `files`).
bool BatchTransfers::takeSelection(ServerSlot &server, const QString &localFolder, FolderQueue &folders,
                                   BatchList &files)
{
    const QString base = server.SlotRemotePath();
    const QList<RemoteSelection> items = safeSelection(server);
    for (const RemoteSelection &item : items) {
        if (item.IsFolder)
            folders.Add(RemoveMultiChar(JoinRemotePath(base, item.Name), u'/'));
        else
            files.append(BatchEntry{item.Name, localFolder, base, QString(), false, item.Size});
    }
    return !folders.IsEmpty() || !files.isEmpty();
}

// Walks the queued folders; the files found join `files` when their names
// are usable and their local folders lie under `localRoot`.
BatchSteps::WalkResult BatchTransfers::walkFolders(int index, const FolderQueue &folders, const QString &localRoot,
                                                   BatchList &files, BatchSteps::WalkFor purpose)
{
    BatchSteps::WalkResult found = m_steps->WalkRemoteFolders(index, folders.Paths(), localRoot, purpose);
    ServerSlot *server = slot(index);
    SessionLog *log = server ? server->Log() : nullptr;
    for (const BatchEntry &entry : std::as_const(found.Files)) {
        if (IsUsableRemoteName(entry.Name) && isInside(entry.LocalFolder, localRoot)
            && !entry.RemoteFolder.contains(u'\r') && !entry.RemoteFolder.contains(u'\n')) {
            files.append(entry);
        } else if (log) {
            log->AddLog(QStringLiteral("Skipped an item whose name cannot be used here: ") + VisibleName(entry.Name),
                        SessionLog::Warning, 0);
        }
    }
    return found;
}

void BatchTransfers::HandleFileDownloads(int index, bool immediate, bool asJobs, bool askFolder)
{
    try {
        ServerSlot *server = slot(index);
        if (!server || m_preparing || !readyFor(index, immediate))
            return;
        PreparingScope preparing(m_preparing);

        QString dest = m_local.CurrentPath();
        if (askFolder)
            dest = GetFolder(m_owner, dest, QStringLiteral("Select the destination folder for downloads"));
        // The root keeps its "/".
        while (dest.size() > 1 && dest.endsWith(u'/'))
            dest.chop(1);
        if (!CheckDestinationFolder(dest, m_owner))
            return;
        if (!asJobs || immediate)
            resetAnswers(asJobs);

        FolderQueue folders;
        BatchList list;
        if (!takeSelection(*server, dest, folders, list))
            return;

        if (!folders.IsEmpty()) {
            if (!m_steps || !readyFor(index, true))
                return;
            // A walk cut short has said why; with nothing found there is nothing more to say.
            // A walk the user stopped ends the batch: nothing is transferred.
            const BatchSteps::WalkResult found = walkFolders(index, folders, dest, list, BatchSteps::WalkFor::Download);
            if (found.SessionLost) {
                reportLost(index, BatchFailures::Verb::Transferred, list, folders.Paths());
                return;
            }
            if (found.WalkCancelled || (found.WalkTerminated && list.isEmpty()))
                return;
            if (!list.isEmpty()) {
                QList<qsizetype> checked;
                if (!m_steps->ConfirmFile(QStringLiteral("DN"), list, asJobs, checked))
                    return;
                immediate = !asJobs;
                if (checked.size() < list.size())
                    list = checkedEntries(list, checked);
            }
        }
        if (list.isEmpty() || list.first().Name.isEmpty()) {
            ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok, QString(),
                        QStringLiteral("There is no file for download!"));
            return;
        }

        const bool single = list.size() == 1;
        if (((single && list.first().Size < kSmallFileBytes) || immediate) && !asJobs) {
            if (!stillReady(index, BatchFailures::Verb::Transferred, list))
                return;
            TransferList = std::move(list);
            TransferIndex = -1;
            DownloadRoot = dest;
            cboMkDir.Clear();
            m_steps->ShowAction(false, index, QStringLiteral("D"), TransferList.size());
            return;
        }
        makeJobs(index, false, list);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("HandleFileDownloads"));
    }
}

void BatchTransfers::HandleFileDeletes(int index)
{
    try {
        ServerSlot *server = slot(index);
        if (!server || m_preparing || !readyFor(index, true))
            return;
        PreparingScope preparing(m_preparing);

        FolderQueue folders;
        BatchList list;
        if (!takeSelection(*server, m_local.CurrentPath(), folders, list))
            return;

        bool confirmed = false;
        QStringList walked;
        if (!folders.IsEmpty()) {
            if (!m_steps)
                return;
            const BatchSteps::WalkResult found = walkFolders(index, folders, m_local.CurrentPath(), list, BatchSteps::WalkFor::Delete);
            if (found.SessionLost) {
                reportLost(index, BatchFailures::Verb::Deleted, list, folders.Paths());
                return;
            }
            if (found.WalkTerminated || found.WalkCancelled)
                return;
            if (!list.isEmpty()) {
                QList<qsizetype> checked;
                bool asJobs = false;
                if (!m_steps->ConfirmFile(QStringLiteral("DEL"), list, asJobs, checked))
                    return;
                confirmed = true;
                if (checked.size() < list.size())
                    list = checkedEntries(list, checked);
            }
            for (const QString &folder : found.Folders) {
                if (!folder.contains(u'\r') && !folder.contains(u'\n'))
                    walked << folder;
            }
            // Deepest folders first, the selected ones last; folders of one
            // depth in the reverse of the order the walk met them.
            std::stable_sort(walked.begin(), walked.end(),
                             [](const QString &a, const QString &b) { return a.count(u'/') < b.count(u'/'); });
            std::reverse(walked.begin(), walked.end());
            for (const QString &folder : std::as_const(walked))
                list.append(BatchEntry{folder, QString(), folder, QString(), true, 0});
        }
        if (list.isEmpty() || list.first().Name.isEmpty()) {
            ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok, QString(),
                        QStringLiteral("These is no file for delete!"));
            return;
        }
        // Without the confirmation list nothing else asks before files go.
        if (!confirmed) {
            const QString text = list.size() == 1
                                     ? QStringLiteral("Delete \"%1\" from the server?").arg(list.first().Name)
                                     : QStringLiteral("Delete these %1 items from the server?").arg(list.size());
            if (AskBeforeDestroying(m_owner, QStringLiteral("Confirm Delete"), text)
                != PromptButton::Yes)
                return;
        }
        if (!stillReady(index, BatchFailures::Verb::Deleted, list))
            return;
        TransferList = std::move(list);
        TransferIndex = -1;
        cboMkDir.Clear();
        for (const QString &folder : std::as_const(walked))
            cboMkDir.Add(folder);
        m_steps->ShowAction(false, index, QStringLiteral("DEL"), TransferList.size());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("HandleFileDeletes"));
    }
}

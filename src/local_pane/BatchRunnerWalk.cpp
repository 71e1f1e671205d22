// The remote walk of the batch runner: every file below the queued folders,
// breadth-first, one change of folder and one listing at a time.
#include "BatchRunner.h"

#include "BatchEngine.h"
#include "BatchTransfers.h"
#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "frmProgress.h"

#include <QDir>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

// `folder` below `start`, as a relative path: the start is taken off only as
// leading whole path elements ("/ab" is not below "/a").
QString belowStart(const QString &folder, const QString &start)
{
    if (start.isEmpty() || start == QLatin1String("/"))
        return folder;
    if (folder == start)
        return QString();
    if (folder.startsWith(start + QLatin1Char('/')))
        return folder.mid(start.size());
    return folder;
}

} // namespace

BatchSteps::WalkResult BatchRunner::WalkRemoteFolders(int slot, const QStringList &folders, const QString &downloadRoot,
                                                      WalkFor purpose)
{
    WalkResult result;
    try {
        BatchEngine *e = engine(slot);
        ServerSlot *server = serverSlot(slot);
        if (Running() || !e || !server || !e->SessionActive() || folders.isEmpty()) {
            result.WalkTerminated = true;
            result.SessionLost = e && server && !e->SessionActive();
            return result;
        }
        m_walkQueue.Clear();
        for (const QString &folder : folders)
            m_walkQueue.Add(folder);
        m_walkResult = {};
        m_walkFolder.clear();
        m_walkRoot = downloadRoot;
        m_batch.DownloadRoot = downloadRoot;
        const QString start = server->SlotRemotePath().isEmpty() ? e->RemotePath() : server->SlotRemotePath();
        m_walkStartPath[static_cast<size_t>(slot)] = start;
        m_walkActive[static_cast<size_t>(slot)] = true;
        m_walkSlot = slot;
        m_walkStopping = false;
        m_walkHold = m_modal.Take();
        auto *dialog = new frmProgress(m_owner);
        m_walkDialog = dialog;
        dialog->WalkForDelete = purpose == WalkFor::Delete;
        dialog->ShowAction(this, m_owner, false, slot, frmProgress::kListFolders, 1);
        const bool terminated = dialog->WalkTerminated || m_walkResult.WalkTerminated;
        const bool cancelled = dialog->WalkCancelled;
        delete dialog;
        // Should the display have gone some other way, the walk still ends here.
        if (m_walkSlot >= 0)
            endWalk(true, true);
        m_walkHold.Release();
        result = std::move(m_walkResult);
        m_walkResult = {};
        result.WalkTerminated = terminated;
        result.WalkCancelled = cancelled;
        result.Folders = m_walkQueue.Paths();
        // The builder has the walked folders now: the queue has served.
        m_walkQueue.Clear();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RunListFiles"));
        if (m_walkSlot >= 0)
            endWalk(true, true);
        result.WalkTerminated = true;
    }
    return result;
}

void BatchRunner::RunListFiles(int slot)
{
    if (slot == m_walkSlot && WalkActive(slot))
        walkNext();
}

void BatchRunner::StopListFiles(int slot)
{
    if (slot < 0 || slot != m_walkSlot)
        return;
    // The step under way is let finish (the connection's own handling would
    // take its listing for the pane's); the walk ends after it, quietly.
    BatchEngine *e = engine(slot);
    if (e && e->SessionActive() && e->isBusy())
        m_walkStopping = true;
    else
        endWalk(true, true);
}

void BatchRunner::walkNext()
{
    const int slot = m_walkSlot;
    if (slot < 0)
        return;
    if (m_walkStopping) {
        endWalk(true, true);
        return;
    }
    BatchEngine *e = engine(slot);
    if (!e || !e->SessionActive()) {
        endWalk(true, false, true);
        return;
    }
    if (!m_walkQueue.HasPending()) {
        endWalk(false, false);
        return;
    }
    m_walkFolder = m_walkQueue.TakeFirst();
    e->FTP_CHG_DIR(m_walkFolder);
}

void BatchRunner::walkListing(const QString &folder, const QString &listing, bool store)
{
    try {
        const int slot = m_walkSlot;
        if (slot < 0)
            return;
        ServerSlot *server = serverSlot(slot);
        if (store && server)
            server->Cache().UpdateDirCache(folder, listing);
        const QString relative = belowStart(folder, m_walkStartPath[static_cast<size_t>(slot)]);
        const QString localFolder = QDir::cleanPath(JoinLocalPath(m_walkRoot, relative));
        const QList<FtpFileItem> items = GetFileList(listing, folder);
        for (const FtpFileItem &item : items) {
            if (item.Name == QLatin1String(".") || item.Name == QLatin1String(".."))
                continue;
            if (!IsUsableRemoteName(item.Name)) {
                log(slot, QStringLiteral("Skipped an item whose name cannot be used here: ") + VisibleName(item.Name));
                continue;
            }
            if (item.IsFolder) {
                const QString child = JoinRemotePath(folder, item.Name);
                if (child.toUtf8().size() >= kMaxRemotePathBytes) {
                    log(slot, QStringLiteral("Not descending into a folder whose path is too long: ")
                                  + VisibleName(child.left(80) + QStringLiteral("...")));
                    continue;
                }
                m_walkQueue.Add(child);
            } else {
                m_walkResult.Files.append(BatchEntry{item.Name, localFolder, folder, item.DateText, false, item.Size});
            }
        }
        walkNext();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WalkRemoteFolders"));
        endWalk(true, false);
    }
}

void BatchRunner::endWalk(bool terminated, bool quiet, bool lost)
{
    const int slot = m_walkSlot;
    if (slot < 0)
        return;
    m_walkActive = {false, false};
    m_walkSlot = -1;
    m_walkStopping = false;
    m_walkResult.WalkTerminated = m_walkResult.WalkTerminated || terminated;
    m_walkResult.SessionLost = m_walkResult.SessionLost || lost;
    const QPointer<frmProgress> dialog = m_walkDialog;
    if (dialog && terminated)
        dialog->WalkTerminated = true;
    m_walkHold.Release();
    if (dialog)
        dialog->Finish();
    if (terminated && !quiet && !lost) {
        // The user learns where the walk stopped; a delete stops before its first command, so nothing is gone.
        QString text = kTerminatedText;
        if (!m_walkFolder.isEmpty()) {
            const bool forDelete = dialog && dialog->WalkForDelete;
            text += QStringLiteral("\r\nThe folder ") + VisibleName(m_walkFolder)
                  + (forDelete ? QStringLiteral(" could not be listed; nothing was deleted.")
                               : QStringLiteral(" could not be listed."));
        }
        ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error"), text);
    }
    // The pane returns to the folder it showed, and lists it as usual.
    ServerSlot *server = serverSlot(slot);
    const QString start = m_walkStartPath[static_cast<size_t>(slot)];
    if (server && server->SessionActive() && !start.isEmpty()) {
        if (!server->IsBusy())
            server->ChangeFolder(start);
        else
            later([server = QPointer<ServerSlot>(server), start] {
                if (server && server->SessionActive())
                    server->ChangeFolder(start);
            });
    }
}

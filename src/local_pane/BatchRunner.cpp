#include "BatchRunner.h"

#include "AppInfo.h"
#include "BatchTransfers.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "FtpCommanderBatchEngine.h"
#include "ListingDate.h"
#include "ModFTPTrelm.h"
#include "LocalPane.h"
#include "OptionFlags.h"
#include "Prompts.h"
#include "RemoteListing.h"
#include "RemotePane.h"
#include "ServerCopy.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "SessionLog.h"
#include "frmFileConfirm.h"
#include "frmProgress.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <algorithm>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

bool validSlot(int slot) { return slot == 0 || slot == 1; }

BatchList placeholderList() { return BatchList{BatchEntry{}}; }

} // namespace

BatchRunner::BatchRunner(BatchTransfers &batch, ServerSlots &serverSlots, LocalPane &local, ModalHolders &modal,
                         QWidget *owner, QObject *parent)
    : QObject(parent), m_batch(batch), m_slots(serverSlots), m_local(local), m_modal(modal), m_owner(owner),
      m_questions(batch.Answers, modal, owner), m_probe(ProbeStorage)
{
    m_copy = std::make_unique<ServerCopy>(
        serverSlots, m_questions, [this] { return m_kind != Kind::None || m_walkSlot >= 0; }, owner);
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = m_slots.Slot(i);
        if (!slot)
            continue;
        m_ownEngines[static_cast<size_t>(i)] = std::make_unique<FtpCommanderBatchEngine>(slot->FtpCmd());
        m_engines[static_cast<size_t>(i)] = m_ownEngines[static_cast<size_t>(i)].get();
        slot->addJobDoneFilter([this, i](bool success, long act) { return FtpCmd_JobDone(i, success, act); });
        slot->addSessionEndHook([this, i] { sessionEnded(i); });
        connect(slot->FtpCmd(), &FtpCommander::ValidateUploadOverwrite, this,
                [this, i](int &answer, const QString &file) {
                    m_questions.ValidateUploadOverwrite(answer, file);
                    if (answer == 0 && i == m_slot)
                        m_failures.StepSkipped(); // the user's choice, no failure
                },
                Qt::DirectConnection);
        // Why a step fails: the server's refusal or the engine's error.
        connect(slot->FtpCmd(), &FtpCommander::ServerReplied, this, [this, i](const QString &, const QString &line) {
            if (i == m_slot)
                m_failures.NoteReplyLine(line);
        });
        connect(slot->FtpCmd(), &FtpCommander::Error, this, [this, i](long, const QString &description, bool) {
            if (i == m_slot)
                m_failures.NoteReason(description);
        });
        // A step waiting for the connection tries again after each operation the slot finished.
        connect(slot, &ServerSlot::jobDone, this, [this, i] {
            if (m_waitingIdle && i == m_slot) {
                m_waitingIdle = false;
                later(std::exchange(m_idleStep, {}));
            }
        });
    }
}

BatchRunner::~BatchRunner() = default;

void BatchRunner::SetEngine(int slot, BatchEngine *engine)
{
    if (!validSlot(slot))
        return;
    m_engines[static_cast<size_t>(slot)] = engine ? engine : m_ownEngines[static_cast<size_t>(slot)].get();
}

BatchEngine *BatchRunner::engine(int slot) const { return validSlot(slot) ? m_engines[static_cast<size_t>(slot)] : nullptr; }

ServerSlot *BatchRunner::serverSlot(int slot) const { return validSlot(slot) ? m_slots.Slot(slot) : nullptr; }

bool BatchRunner::Running() const { return m_kind != Kind::None || m_walkSlot >= 0 || m_copy->Running(); }

void BatchRunner::later(std::function<void()> step)
{
    if (!step)
        return;
    QTimer::singleShot(0, this, [step = std::move(step)] {
        try {
            step();
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
        }
    });
}

void BatchRunner::log(int slot, const QString &text)
{
    if (ServerSlot *server = serverSlot(slot); server && server->Log())
        server->Log()->AddLog(text, SessionLog::Warning, 0);
}

void BatchRunner::markDirty(const QString &folder)
{
    ServerSlot *server = serverSlot(m_slot);
    if (!server || folder.isEmpty() || m_dirtyFolders.contains(folder))
        return;
    m_dirtyFolders.append(folder);
    server->Cache().MarkDirCacheDirty(folder, 0);
}

bool BatchRunner::waitUntilIdle(std::function<void()> step)
{
    BatchEngine *e = engine(m_slot);
    if (!e || !e->isBusy())
        return false;
    // Still returning from the walk: the engine would replace that operation.
    m_waitingIdle = true;
    m_idleStep = std::move(step);
    return true;
}

BatchEngine *BatchRunner::stepEngine(const BatchList &list, qsizetype index, void (BatchRunner::*retry)())
{
    if (index < 0)
        return nullptr; // an index of -1 starts nothing
    if (index >= list.size() || list.at(index).Name.isEmpty()) {
        endBatch(EndReason::Done);
        return nullptr;
    }
    BatchEngine *e = engine(m_slot);
    if (!e || !e->SessionActive()) {
        endBatch(EndReason::Lost);
        return nullptr;
    }
    if (waitUntilIdle([this, retry] { (this->*retry)(); }))
        return nullptr;
    return e;
}

// ---- the batch ----

void BatchRunner::ShowAction(bool createFolders, int slot, const QString &action, qsizetype count)
{
    try {
        if (Running() || !validSlot(slot))
            return;
        Kind kind = Kind::None;
        if (action == frmProgress::kUpload)
            kind = createFolders ? Kind::MakeFolders : Kind::Upload;
        else if (action == frmProgress::kDownload)
            kind = Kind::Download;
        else if (action == frmProgress::kDelete)
            kind = Kind::Delete;
        if (kind == Kind::None)
            return;
        m_kind = kind;
        m_slot = slot;
        m_failures.Begin(kind == Kind::Delete ? BatchFailures::Verb::Deleted : BatchFailures::Verb::Transferred,
                         count);
        m_dirtyFolders.clear();
        m_batchHold = m_modal.Take();
        auto *dialog = new frmProgress(m_owner);
        m_progress = dialog;
        dialog->ShowAction(this, m_owner, createFolders, slot, action, count);
        // The batch ended, or "Close" took the display away and the batch goes on without it.
        if (m_progress == dialog)
            m_progress = nullptr;
        delete dialog;
        m_batchHold.Release();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ShowAction"));
        endBatch(EndReason::Quiet);
    }
}

void BatchRunner::CreateRemoteFolders(int slot)
{
    if (slot == m_slot && m_kind == Kind::MakeFolders)
        makeNextFolder();
}

void BatchRunner::makeNextFolder()
{
    if (m_kind != Kind::MakeFolders)
        return;
    if (!m_batch.cboMkDir.HasPending()) {
        foldersDone();
        return;
    }
    BatchEngine *e = engine(m_slot);
    if (!e || !e->SessionActive()) {
        endBatch(EndReason::Lost);
        return;
    }
    if (waitUntilIdle([this] { makeNextFolder(); }))
        return;
    m_madeFolder = m_batch.cboMkDir.TakeFirst();
    e->FTP_MAKE_DIR(m_madeFolder);
}

void BatchRunner::foldersDone()
{
    // The folders are made: the queue has served (a stale one would drive MKD of old paths later).
    m_batch.cboMkDir.Clear();
    m_kind = Kind::Upload;
    if (m_progress)
        m_progress->FoldersDone();
    else
        RunUploads(m_slot);
}

void BatchRunner::RunUploads(int slot)
{
    if (slot != m_slot || (m_kind != Kind::Upload && m_kind != Kind::MakeFolders))
        return;
    m_kind = Kind::Upload;
    m_batch.UploadIndex = 0;
    sendNext();
}

void BatchRunner::sendNext()
{
    if (m_kind != Kind::Upload)
        return;
    const qsizetype index = m_batch.UploadIndex;
    BatchEngine *e = stepEngine(m_batch.UploadList, index, &BatchRunner::sendNext);
    if (!e)
        return;
    const BatchEntry entry = m_batch.UploadList.at(index);
    m_failures.StepStarted(VisibleName(entry.Name));
    e->FTP_SEND_FILE(GetLocalPath(entry), GetRemotePath(entry), entry.Size, IsOptionOn(OptionFlag::ConfirmOverwrite));
    if (m_progress && m_kind == Kind::Upload && m_batch.UploadIndex == index)
        m_progress->Inform(index, entry.Name);
}

void BatchRunner::RunDownloads(int slot)
{
    if (slot != m_slot || m_kind != Kind::Download)
        return;
    m_batch.TransferIndex = 0;
    getNext();
}

QString BatchRunner::GetDownloadPath(qsizetype index) const
{
    if (index < 0 || index >= m_batch.TransferList.size())
        return QString();
    return GetLocalPath(m_batch.TransferList.at(index));
}

bool BatchRunner::DownloadConfirmAborted()
{
    try {
        if (!IsOptionOn(OptionFlag::ConfirmOverwrite))
            return false;
        BatchAnswers &answers = m_batch.Answers;
        QString target = GetDownloadPath(m_batch.TransferIndex);
        for (;;) {
            if (!QFileInfo::exists(target) || answers.DownloadOverwriteAll)
                return false;
            if (m_progress)
                m_progress->Inform(m_batch.TransferIndex, target);
            if (!answers.DownloadSkipAll) {
                if (m_questions.ConfirmLocalOverwrite(target))
                    return false;
                if (m_kind != Kind::Download)
                    return true; // the batch ended while the question was up
            }
            if (++m_batch.TransferIndex >= m_batch.TransferList.size())
                return true;
            target = GetDownloadPath(m_batch.TransferIndex);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("DownloadConfirmAborted"));
        return false;
    }
}

void BatchRunner::getNext()
{
    for (;;) {
        if (m_kind != Kind::Download)
            return;
        BatchEngine *e = stepEngine(m_batch.TransferList, m_batch.TransferIndex, &BatchRunner::getNext);
        if (!e)
            return;
        if (!m_batch.Answers.DownloadOverwriteAll && DownloadConfirmAborted()) {
            if (m_kind == Kind::Download)
                endBatch(EndReason::Done); // nothing left to fetch
            return;
        }
        const qsizetype at = m_batch.TransferIndex;
        const BatchEntry entry = m_batch.TransferList.at(at);
        const QString target = GetLocalPath(entry);
        const QString root = QDir::cleanPath(m_batch.DownloadRoot);
        const QString cleanTarget = QDir::cleanPath(target);
        const bool inside = !root.isEmpty()
                         && cleanTarget.startsWith(root == QLatin1String("/") ? root : root + QLatin1Char('/'));
        if (!inside) {
            log(m_slot, QStringLiteral("Skipped a download that would land outside ") + root + QStringLiteral(": ")
                            + VisibleName(cleanTarget));
            if (++m_batch.TransferIndex >= m_batch.TransferList.size()) {
                endBatch(EndReason::Done);
                return;
            }
            continue;
        }
        ChkCreatDir(entry.LocalFolder);
        m_failures.StepStarted(VisibleName(entry.Name));
        e->FTP_GET_FILE(GetRemotePath(entry), target, entry.Size);
        if (m_progress && m_kind == Kind::Download && m_batch.TransferIndex == at)
            m_progress->Inform(at, entry.Name);
        return;
    }
}

void BatchRunner::RunDeletes(int slot)
{
    if (slot != m_slot || m_kind != Kind::Delete)
        return;
    m_batch.TransferIndex = 0;
    deleteNext();
}

void BatchRunner::deleteNext()
{
    if (m_kind != Kind::Delete)
        return;
    const qsizetype index = m_batch.TransferIndex;
    BatchEngine *e = stepEngine(m_batch.TransferList, index, &BatchRunner::deleteNext);
    if (!e)
        return;
    const BatchEntry entry = m_batch.TransferList.at(index);
    m_failures.StepStarted(VisibleName(entry.Name));
    if (entry.IsFolder)
        e->FTP_DEL_DIR(entry.Name);
    else
        e->FTP_DEL_FILE(GetRemotePath(entry));
    if (m_progress && m_kind == Kind::Delete && m_batch.TransferIndex == index)
        m_progress->Inform(index, entry.IsFolder ? entry.Name + QChar(1) + QStringLiteral("D") : entry.Name);
}

bool BatchRunner::FtpCmd_JobDone(int slot, bool success, long lastAct)
{
    try {
        if (m_copy->FtpCmd_JobDone(slot, success, lastAct))
            return true;
        if (validSlot(slot) && m_walkActive[static_cast<size_t>(slot)] && slot == m_walkSlot) {
            if (lastAct == FtpCommander::ActChangeDir) {
                if (m_walkStopping) {
                    later([this] { walkNext(); });
                    return true;
                }
                if (!success) {
                    later([this] { AbortCurrentOperation(); });
                    return true;
                }
                const QString folder = m_walkFolder;
                const QString cached = IsOptionOn(OptionFlag::UseListingCache) && serverSlot(slot)
                                         ? serverSlot(slot)->Cache().GetDirCache(folder)
                                         : QString();
                if (!cached.isEmpty())
                    later([this, folder, cached] { walkListing(folder, cached, false); });
                else
                    later([this, slot] {
                        if (m_walkSlot == slot)
                            if (BatchEngine *e = engine(slot))
                                e->FTP_LIST_DIR();
                    });
                return true;
            }
            if (lastAct == FtpCommander::ActList) {
                const QString folder = m_walkFolder;
                BatchEngine *e = engine(slot);
                // A folder whose listing failed, or that the server said it could not read, is no
                // empty folder: the walk ends as when a folder cannot be entered, and nothing in it
                // or above it is fetched or deleted on a guess.
                if (!success || !e || e->ListingUnread()) {
                    log(slot, QStringLiteral("Could not list the folder ") + folder + QLatin1Char('.'));
                    later([this] { AbortCurrentOperation(); });
                    return true;
                }
                const QString listing = e->getListData();
                const bool store = IsOptionOn(OptionFlag::UseListingCache);
                later([this, folder, listing, store] { walkListing(folder, listing, store); });
                return true;
            }
            return false;
        }
        if (slot != m_slot || m_kind == Kind::None)
            return false;
        switch (m_kind) {
        case Kind::MakeFolders:
            if (lastAct != FtpCommander::ActMakeDir)
                return false;
            if (success)
                markDirty(ParentRemotePath(m_madeFolder));
            later([this] { makeNextFolder(); });
            return true;
        case Kind::Upload:
            if (lastAct != FtpCommander::ActSend && lastAct != FtpCommander::ActResumeSend)
                return false;
            m_failures.StepEnded(success, engineFailure());
            if (success && m_batch.UploadIndex >= 0 && m_batch.UploadIndex < m_batch.UploadList.size())
                markDirty(m_batch.UploadList.at(m_batch.UploadIndex).RemoteFolder);
            ++m_batch.UploadIndex;
            later([this] { sendNext(); });
            return true;
        case Kind::Download:
            if (lastAct != FtpCommander::ActGet && lastAct != FtpCommander::ActResumeGet)
                return false;
            m_failures.StepEnded(success, engineFailure());
            ++m_batch.TransferIndex;
            later([this] { getNext(); });
            return true;
        case Kind::Delete:
            if (lastAct != FtpCommander::ActDelete && lastAct != FtpCommander::ActRemoveDir)
                return false;
            m_failures.StepEnded(success, engineFailure());
            if (success && m_batch.TransferIndex >= 0 && m_batch.TransferIndex < m_batch.TransferList.size()) {
                const BatchEntry &entry = m_batch.TransferList.at(m_batch.TransferIndex);
                if (entry.IsFolder) {
                    markDirty(entry.Name);
                    markDirty(ParentRemotePath(entry.Name));
                } else {
                    markDirty(entry.RemoteFolder);
                }
            }
            ++m_batch.TransferIndex;
            later([this] { deleteNext(); });
            return true;
        case Kind::None:
            break;
        }
        return false;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
        return false;
    }
}

void BatchRunner::endBatch(EndReason reason)
{
    try {
        if (m_kind == Kind::None)
            return;
        const Kind kind = m_kind;
        const int slot = m_slot;
        // Refreshed after any step that changed something, not only after a last step that did.
        const bool refresh = reason == EndReason::Done && m_failures.AnySucceeded();
        // Files arrive however a download batch ends: whole ones, and the part of one cut off.
        const bool reloadLocal = kind == Kind::Download && reason != EndReason::Quiet;
        if (reason == EndReason::Lost) {
            countNotDone(kind);
            markTouchedStale(kind);
        }
        m_kind = Kind::None;
        m_waitingIdle = false;
        m_idleStep = {};
        m_batch.UploadIndex = -1;
        m_batch.TransferIndex = -1;
        m_batch.UploadList = placeholderList();
        m_batch.TransferList = placeholderList();
        m_batch.cboMkDir.Clear();
        const QPointer<frmProgress> dialog = m_progress;
        m_batchHold.Release();
        if (dialog)
            dialog->Finish();
        if (reloadLocal)
            m_local.LoadLocalFolders(m_local.CurrentPath());
        else if (refresh) {
            if (ServerSlot *server = serverSlot(slot))
                server->RefreshListing();
        }
        reportFailures(reason, slot);
        emit batchEnded();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("EndBatch"));
    }
}

QString BatchRunner::engineFailure() const
{
    const ServerSlot *server = serverSlot(m_slot);
    return server && server->FtpCmd() ? server->FtpCmd()->LastFailure() : QString();
}

void BatchRunner::markTouchedStale(Kind kind)
{
    // The session is gone, so nothing is listed now; the next visit of a
    // folder an upload may have written to lists it afresh.
    if (kind == Kind::MakeFolders && !m_madeFolder.isEmpty()) {
        markDirty(ParentRemotePath(m_madeFolder));
        return;
    }
    if (kind != Kind::Upload)
        return;
    const BatchList &list = m_batch.UploadList;
    const qsizetype last = std::min(m_batch.UploadIndex, list.size() - 1);
    for (qsizetype i = 0; i <= last; ++i) {
        if (!list.at(i).Name.isEmpty())
            markDirty(list.at(i).RemoteFolder);
    }
}

void BatchRunner::countNotDone(Kind kind)
{
    const bool uploads = kind == Kind::Upload || kind == Kind::MakeFolders;
    const BatchList &list = uploads ? m_batch.UploadList : m_batch.TransferList;
    const qsizetype index = uploads ? m_batch.UploadIndex : m_batch.TransferIndex;
    // The step the session ended in failed with it; the items after it never started.
    const bool running = m_failures.StepRunning();
    if (running)
        m_failures.StepEnded(false, engineFailure());
    qsizetype first = kind == Kind::MakeFolders ? 0 : std::max<qsizetype>(index, 0) + (running ? 1 : 0);
    for (qsizetype i = first; i < list.size(); ++i) {
        if (!list.at(i).Name.isEmpty())
            m_failures.NotDone(VisibleName(list.at(i).Name), QStringLiteral("not started, the session ended"));
    }
}

void BatchRunner::reportFailures(EndReason reason, int slot)
{
    if (reason == EndReason::Quiet)
        return;
    if (reason == EndReason::Lost) {
        for (const QString &line : m_failures.Lines())
            log(slot, line);
        const ServerSlot *server = serverSlot(slot);
        ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error"),
                    m_failures.LostMessage(server && server->EndedByUser(),
                                           server && server->FtpCmd() ? server->FtpCmd()->EndedSessionReason()
                                                                      : QString()));
        return;
    }
    if (!m_failures.Any())
        return;
    const QString headline = m_failures.Headline();
    log(slot, headline + QLatin1Char('.'));
    for (const QString &line : m_failures.Lines())
        log(slot, line);
    // Shown once the end-of-batch refresh is over, which would otherwise replace it.
    if (ServerSlot *server = serverSlot(slot))
        server->ShowStateWhenIdle(headline + QLatin1Char('.'));
    ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(), m_failures.Message());
}

void BatchRunner::sessionEnded(int slot)
{
    if (m_walkSlot == slot)
        endWalk(true, false, true);
    if (m_kind != Kind::None && slot == m_slot)
        endBatch(EndReason::Lost);
    m_copy->SessionEnded(slot);
}

void BatchRunner::AbortCurrentOperation()
{
    if (m_walkSlot >= 0)
        endWalk(true, false);
    else if (m_kind != Kind::None)
        endBatch(EndReason::Lost);
}

void BatchRunner::EndQuietly()
{
    if (m_walkSlot >= 0)
        endWalk(true, true);
    endBatch(EndReason::Quiet);
    m_copy->EndQuietly();
}

// ---- the confirmation list ----

bool BatchRunner::ConfirmFile(const QString &action, const BatchList &entries, bool &asJobs, QList<qsizetype> &checked)
{
    try {
        frmFileConfirm dialog(m_owner);
        dialog.SetStorageProbe(m_probe);
        dialog.SetDownloadFolder(m_batch.DownloadRoot);
        dialog.SetAction(action);
        const bool upload = action == frmFileConfirm::kUpload;
        const QDate today = QDate::currentDate();
        const QLocale locale;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const BatchEntry &entry = entries.at(i);
            if (upload) {
                const QDateTime modified = QFileInfo(GetLocalPath(entry)).lastModified();
                dialog.AddRow(i, entry.Name, entry.Size, entry.LocalFolder,
                              modified.isValid() ? locale.toString(modified, QLocale::ShortFormat) : QString(), modified);
            } else {
                // A listing's time is the server's wall clock; compared as such with the picker's.
                const QDateTime read = ListingDate::Read(entry.RemoteDate, today);
                const QDateTime shown = read.isValid() ? QDateTime(read.date(), read.time()) : QDateTime();
                dialog.AddRow(i, entry.Name, entry.Size, entry.RemoteFolder, entry.RemoteDate, shown);
            }
        }
        dialog.FinishRows();
        {
            const ModalHolders::Hold hold = m_modal.Take();
            dialog.exec();
        }
        const QString tag = dialog.Tag();
        if (tag.isEmpty())
            return false;
        asJobs = tag == QLatin1String("J");
        checked.clear();
        for (qint64 index : dialog.CheckedEntries())
            checked.append(static_cast<qsizetype>(index));
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ConfirmFile"));
        return false;
    }
}

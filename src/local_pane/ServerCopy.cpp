#include "ServerCopy.h"

#include "BatchTransfers.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "SessionLog.h"

#include <QTimer>

namespace {
const QString kObject = QStringLiteral("frmZAVUde");
}

ServerCopy::ServerCopy(ServerSlots &serverSlots, std::function<bool()> otherWorkRuns, QWidget *owner,
                       QObject *parent)
    : QObject(parent), m_slots(serverSlots), m_otherWorkRuns(std::move(otherWorkRuns)), m_owner(owner)
{
}

bool ServerCopy::Running() const { return m_slots.CopyRunning(); }

bool ServerCopy::CmdToFTP_Click(int source)
{
    try {
        if (source != 0 && source != 1)
            return false;
        const int target = 1 - source;
        ServerSlot *from = m_slots.Slot(source);
        ServerSlot *to = m_slots.Slot(target);
        if (!from || !to || Running() || (m_otherWorkRuns && m_otherWorkRuns()))
            return false;
        if (!from->SessionActive() || !to->SessionActive() || from->IsBusy() || to->IsBusy())
            return false;
        const QList<RemoteSelection> selection = from->Selection();
        if (selection.isEmpty())
            return false;
        const RemoteSelection &item = selection.first();
        if (!IsUsableRemoteName(item.Name)) {
            if (SessionLog *log = from->Log())
                log->AddLog(QStringLiteral("Skipped an item whose name cannot be used here: ") + VisibleName(item.Name),
                            SessionLog::Warning, 0);
            return false;
        }
        m_slots.CopySize = item.Size;
        m_slots.CopySourcePath = JoinRemotePath(from->SlotRemotePath(), item.Name);
        m_slots.CopyTargetPath = JoinRemotePath(to->SlotRemotePath(), item.Name);
        m_slots.CopySource = source;
        m_slots.CopyTarget = target;
        to->FtpCmd()->setMode(0);
        to->FtpCmd()->FTP_StoreFromServer(m_slots.CopyTargetPath, m_slots.CopySize);
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdToFTP_Click"));
        end(End::Quiet);
        return false;
    }
}

bool ServerCopy::FtpCmd_JobDone(int slot, bool success, long lastAct)
{
    if (!Running())
        return false;
    if (lastAct == FtpCommander::ActStoreToServer && slot == m_slots.CopyTarget) {
        end(success ? End::Done : End::Failed, slot);
        return true;
    }
    if (lastAct == FtpCommander::ActGetFromServer && slot == m_slots.CopySource) {
        // The source's end says nothing unless it failed: the target's store then cannot complete.
        if (!success)
            end(End::Failed, slot);
        return true;
    }
    return false;
}

void ServerCopy::SessionEnded(int slot)
{
    if (Running() && (slot == m_slots.CopySource || slot == m_slots.CopyTarget))
        end(End::Lost);
}

void ServerCopy::EndQuietly()
{
    if (Running())
        end(End::Quiet);
}

void ServerCopy::end(End how, int finished)
{
    try {
        if (!Running())
            return;
        ServerSlot *from = m_slots.Slot(m_slots.CopySource);
        ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
        m_slots.ClearCopy();
        // The side that still works on the copy is stopped; the one that just ended is left alone.
        if (how != End::Done) {
            if (from && from->Index() != finished && from->IsBusy()
                && from->FtpCmd()->CurrentAct() == FtpCommander::ActGetFromServer)
                from->FtpCmd()->Abort();
            if (to && to->Index() != finished && to->IsBusy()
                && to->FtpCmd()->CurrentAct() == FtpCommander::ActStoreToServer)
                to->FtpCmd()->Abort();
        }
        if (to && to->HasProfile())
            to->FtpCmd()->setMode(to->SlotProfile().IsPassive ? 0 : 1);
        if (how == End::Done && to) {
            const QPointer<ServerSlot> target(to);
            // Listed once the connection is free again.
            QTimer::singleShot(0, this, [target] {
                if (target)
                    target->RefreshListing();
            });
        }
        if (how == End::Lost)
            ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error"),
                        QStringLiteral("Due to some unexpected error, the current job will be terminated!"));
        emit copyEnded(how == End::Done);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CopyEnd"));
    }
}

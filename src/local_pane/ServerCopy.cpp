#include "ServerCopy.h"

#include "AppInfo.h"
#include "BatchFailures.h"
#include "BatchTransfers.h"
#include "ErrorLog.h"
#include "FileListModel.h"
#include "FtpCommander.h"
#include "OptionFlags.h"
#include "OverwriteQuestions.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "ServerLocation.h"
#include "ServerSlots.h"
#include "SessionLog.h"

#include <QTimer>

namespace {
const QString kObject = QStringLiteral("frmZAVUde");

// Where `path` lies on the server the slot's connection reached: its address
// and port as connected (not as typed) and the user logged in.
ServerLocation reachedLocation(const ServerSlot &slot, const QString &path)
{
    const FtpCommander *engine = slot.FtpCmd();
    ServerLocation place;
    place.Host = engine->ReachedAddress();
    place.Port = static_cast<int>(engine->ReachedPort());
    if (place.Host.isEmpty()) {
        place.Host = engine->ServerUrl();
        place.Port = static_cast<int>(engine->Port());
    }
    place.User = engine->User();
    place.Path = path;
    return place;
}
} // namespace

ServerCopy::ServerCopy(ServerSlots &serverSlots, OverwriteQuestions &questions, std::function<bool()> otherWorkRuns,
                       QWidget *owner, QObject *parent)
    : QObject(parent), m_slots(serverSlots), m_questions(questions), m_otherWorkRuns(std::move(otherWorkRuns)),
      m_owner(owner)
{
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = m_slots.Slot(i);
        if (!slot || !slot->FtpCmd())
            continue;
        // Why a side fails: its server's refusal or its engine's error.
        connect(slot->FtpCmd(), &FtpCommander::ServerReplied, this, [this, i](const QString &code, const QString &line) {
            if (Running() && (code.startsWith(QLatin1Char('4')) || code.startsWith(QLatin1Char('5'))))
                m_reasons[static_cast<size_t>(i)] = line.trimmed();
        });
        connect(slot->FtpCmd(), &FtpCommander::Error, this, [this, i](long, const QString &description, bool) {
            if (Running())
                m_reasons[static_cast<size_t>(i)] = description.trimmed();
        });
    }
}

bool ServerCopy::mayStart(int source, int target)
{
    ServerSlot *from = m_slots.Slot(source);
    ServerSlot *to = m_slots.Slot(target);
    if (!from || !to || Running() || (m_otherWorkRuns && m_otherWorkRuns()))
        return false;
    return from->SessionActive() && to->SessionActive() && !from->IsBusy() && !to->IsBusy();
}

bool ServerCopy::Running() const { return m_slots.CopyRunning(); }

bool ServerCopy::CmdToFTP_Click(int source)
{
    try {
        if (source != 0 && source != 1)
            return false;
        const int target = 1 - source;
        if (!mayStart(source, target))
            return false;
        ServerSlot *from = m_slots.Slot(source);
        ServerSlot *to = m_slots.Slot(target);
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
        // A folder handed to the servers as a file may leave an empty file of its name behind.
        if (item.IsFolder) {
            if (SessionLog *log = from->Log())
                log->AddLog(kOnlyFilesText + VisibleName(item.Name), SessionLog::Warning, 0);
            return false;
        }
        const QString sourcePath = JoinRemotePath(from->SlotRemotePath(), item.Name);
        const QString targetPath = JoinRemotePath(to->SlotRemotePath(), item.Name);
        // Storing onto the file being sent would empty it before a byte is read.
        if (IsSameServerLocation(reachedLocation(*from, sourcePath), reachedLocation(*to, targetPath))) {
            ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, QString(), kSameFileText);
            return false;
        }
        if (IsOptionOn(OptionFlag::ConfirmOverwrite) && to->Pane() && to->Pane()->Model
            && to->Pane()->Model->findText(item.Name) >= 0) {
            if (!m_questions.ConfirmCopyOverwrite(targetPath))
                return false;
            // The world may have moved while the question was up.
            if (!mayStart(source, target) || JoinRemotePath(from->SlotRemotePath(), item.Name) != sourcePath
                || JoinRemotePath(to->SlotRemotePath(), item.Name) != targetPath)
                return false;
        }
        m_reasons = {};
        m_slots.CopySize = item.Size;
        m_slots.CopySourcePath = sourcePath;
        m_slots.CopyTargetPath = targetPath;
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
        end(End::Lost, slot);
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
        const QString sourcePath = m_slots.CopySourcePath;
        const bool sourceSide = finished == m_slots.CopySource;
        const QString targetPath = m_slots.CopyTargetPath;
        // The engine's own judgement of the side that ended, when it gave one, is the reason.
        if (how == End::Failed && (finished == 0 || finished == 1)) {
            ServerSlot *side = m_slots.Slot(finished);
            const QString judged = side && side->FtpCmd() ? side->FtpCmd()->LastFailure().trimmed() : QString();
            if (!judged.isEmpty())
                m_reasons[static_cast<size_t>(finished)] = judged;
        }
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
        QPointer<ServerCopy> self(this);
        if (how == End::Failed || how == End::Lost)
            report(how, finished, sourceSide, sourcePath, targetPath);
        if (self)
            emit copyEnded(how == End::Done);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CopyEnd"));
    }
}

void ServerCopy::report(End how, int slot, bool sourceSide, const QString &sourcePath, const QString &targetPath)
{
    ServerSlot *side = slot == 0 || slot == 1 ? m_slots.Slot(slot) : nullptr;
    const QString sideName = sourceSide ? QStringLiteral("Source server") : QStringLiteral("Target server");
    const QString notCopied = VisibleName(sourcePath) + QStringLiteral(" was not copied to ") + VisibleName(targetPath)
                            + QLatin1Char('.');
    QString text;
    if (how == End::Lost) {
        text = BatchFailures::kLostText + QStringLiteral(" (") + sideName.toLower() + QStringLiteral(")\n\n") + notCopied;
    } else {
        QString reason = side ? m_reasons[static_cast<size_t>(slot)] : QString();
        if (reason.isEmpty())
            reason = QStringLiteral("no reason given");
        text = notCopied + QStringLiteral("\n\n") + sideName + QStringLiteral(": ") + reason;
    }
    if (SessionLog *log = side ? side->Log() : nullptr)
        log->AddLog(text.simplified(), SessionLog::Warning, 0);
    ShowMessage(m_owner, how == End::Lost ? PromptIcon::Critical : PromptIcon::Exclamation, PromptButtons::Ok,
                how == End::Lost ? QStringLiteral("Error") : AppTitle(), text);
}

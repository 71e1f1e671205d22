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
#include "ReplyCodes.h"
#include "ServerSlot.h"
#include "ServerLocation.h"
#include "ServerSlots.h"
#include "SessionLog.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <utility>

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
        const auto at = static_cast<size_t>(i);
        // Why a side fails: its server's refusal or its engine's error. Where
        // an abort followed, the engine's judgement keeps the refusal that
        // ended the operation (see fail()): its replies are no reason.
        connect(slot->FtpCmd(), &FtpCommander::ServerReplied, this, [this, i, at](const QString &code, const QString &line) {
            if (m_phase == Phase::Idle)
                return;
            if (m_store.awaitingReply && i == m_slots.CopyTarget && !ReplyCodes::IsPreliminary(code)) {
                // Refused before the server opened the file (no data connection
                // was waited for): the store wrote nothing.
                m_store.awaitingReply = false;
                if (ReplyCodes::IsRefusal(code) && ReplyCodes::CauseOf(code) != ReplyCodes::Cause::DataConnection) {
                    ++m_store.refused;
                    m_store.refusal = code;
                }
            } else if (m_store.awaitingReply && i == m_slots.CopyTarget) {
                m_store.awaitingReply = false;
                if (m_store.sourceFailedFirst) {
                    // The target took the store: the source's failure ends the copy.
                    QTimer::singleShot(0, this, [this, stores = m_store.sends] {
                        if (m_phase == Phase::Copying && m_store.sourceFailedFirst && stores == m_store.sends)
                            fail(End::Failed, m_slots.CopySource);
                    });
                }
            }
            if (ReplyCodes::IsRefusal(code))
                m_reasons[at] = line.trimmed();
        });
        connect(slot->FtpCmd(), &FtpCommander::Error, this, [this, at](long, const QString &description, bool) {
            if (m_phase != Phase::Idle)
                m_reasons[at] = description.trimmed();
        });
        connect(slot->FtpCmd(), &FtpCommander::CommandSent, this, [this, i](const QString &, const QString &command) {
            if (m_phase == Phase::Idle)
                return;
            if (m_phase == Phase::Copying && i == m_slots.CopyTarget
                && command.startsWith(QStringLiteral("STOR "), Qt::CaseInsensitive)) {
                m_store.sent = true;
                ++m_store.sends;
                m_store.awaitingReply = true;
            }
        });
        connect(slot, &ServerSlot::jobDone, this, [this, i] {
            // Once the slot has taken in what its operation brought.
            if (m_waitingStep) {
                QTimer::singleShot(0, this, [this, step = m_waitingStep, phase = m_phase] {
                    if (m_waitingStep == step && m_phase == phase)
                        (this->*step)();
                });
                return;
            }
            if (i != m_slots.CopyTarget)
                return;
            if (m_phase == Phase::Cleaning && m_clean == Clean::WaitForTarget) {
                // An operation of the target's own (a listing) ended: the clean-up goes on.
                QTimer::singleShot(0, this, [this] {
                    if (m_phase == Phase::Cleaning && m_clean == Clean::WaitForTarget)
                        cleanTarget();
                });
            }
        });
    }
}

FtpCommander *ServerCopy::askTarget(Phase phase)
{
    m_phase = phase;
    m_reasons[static_cast<size_t>(m_slots.CopyTarget)].clear();
    return m_slots.Slot(m_slots.CopyTarget)->FtpCmd();
}

bool ServerCopy::mayStart(int source, int target)
{
    ServerSlot *from = m_slots.Slot(source);
    ServerSlot *to = m_slots.Slot(target);
    if (!from || !to || Running() || (m_otherWorkRuns && m_otherWorkRuns()))
        return false;
    return from->SessionActive() && to->SessionActive() && !from->IsBusy() && !to->IsBusy();
}

bool ServerCopy::waitForSides(Step step)
{
    const ServerSlot *from = m_slots.Slot(m_slots.CopySource);
    const ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    m_waitingStep = (from && from->IsBusy()) || (to && to->IsBusy()) ? step : nullptr;
    return m_waitingStep != nullptr;
}

bool ServerCopy::sideBusyWith(int slot, long act) const
{
    const ServerSlot *side = m_slots.Slot(slot);
    return side && side->IsBusy() && side->FtpCmd()->CurrentAct() == act;
}

bool ServerCopy::Running() const { return m_slots.CopyRunning() || m_phase != Phase::Idle || m_reportPending; }

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
        const bool held = to->Pane() && to->Pane()->Model && to->Pane()->Model->findText(item.Name) >= 0;
        if (IsOptionOn(OptionFlag::ConfirmOverwrite) && held) {
            if (!m_questions.ConfirmCopyOverwrite(targetPath))
                return false;
            // The world may have moved while the question was up.
            if (!mayStart(source, target) || JoinRemotePath(from->SlotRemotePath(), item.Name) != sourcePath
                || JoinRemotePath(to->SlotRemotePath(), item.Name) != targetPath)
                return false;
        }
        forgetStore();
        m_targetHeld = held;
        m_name = item.Name;
        m_targetFolder = to->SlotRemotePath();
        m_storePath.clear();
        m_namesTried = 0;
        m_storedOverBecause.clear();
        m_clean = Clean::WaitForTarget;
        m_waitingStep = nullptr;
        m_sourceSize = -1;
        m_slots.CopySize = item.Size;
        m_slots.CopySourcePath = sourcePath;
        m_slots.CopyTargetPath = targetPath;
        m_slots.CopySource = source;
        m_slots.CopyTarget = target;
        if (!held) {
            // A name the listing lacks may still be there: the target's server is asked.
            askTarget(Phase::Probing)->FTP_FILE_SIZE(targetPath);
            return true;
        }
        checkSource();
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdToFTP_Click"));
        EndQuietly();
        return false;
    }
}

// Each phase waits for one operation of one side; its end goes on as named.
// Asking and Offering wait for the user instead; Idle for nothing.
const ServerCopy::PhaseEnd ServerCopy::kPhaseEnds[] = {
    // A name the target's pane does not list is looked for on its server
    // (the listing may be old or leave dot files out) -> Asking when it holds
    // the file and the user is to be asked, else Checking.
    {Phase::Probing, Side::Target, FtpCommander::ActFileSize, &ServerCopy::targetProbed},
    // The source still holds the file, asked before the target is touched
    // -> Naming where the target holds the file, else Copying.
    {Phase::Checking, Side::Source, FtpCommander::ActFileSize, &ServerCopy::sourceChecked},
    // A temporary name beside the target's file is free -> Copying (another name: Naming again).
    {Phase::Naming, Side::Target, FtpCommander::ActFileSize, &ServerCopy::temporaryNamed},
    // The target stores, the source sends; both must say so, in either order
    // -> Confirming. A temporary file refused for its name -> Offering.
    {Phase::Copying, Side::Target, FtpCommander::ActStoreToServer, &ServerCopy::storeEnded},
    {Phase::Copying, Side::Source, FtpCommander::ActGetFromServer, &ServerCopy::sendEnded},
    // The user is asked whether the copy goes onto the file itself; the
    // source's sending, stopped meanwhile, is of no account -> Copying or the end.
    {Phase::Offering, Side::Source, FtpCommander::ActGetFromServer, nullptr},
    // The stored copy's size must be the source's -> Placing (a temporary file), or done.
    {Phase::Confirming, Side::Target, FtpCommander::ActFileSize, &ServerCopy::confirmStored},
    // The copy is renamed over the target's file -> Verifying; not renamed -> Discarding.
    {Phase::Placing, Side::Target, FtpCommander::ActRename, &ServerCopy::placed},
    // The file's size after the rename must be the copy's -> done.
    {Phase::Verifying, Side::Target, FtpCommander::ActFileSize, &ServerCopy::placedChecked},
    // The temporary copy is removed -> Copying onto the file itself.
    {Phase::Discarding, Side::Target, FtpCommander::ActDelete, &ServerCopy::storeDirectly},
    // The copy failed (fail()): the side still at work is stopped, and what
    // the store left is sized, and removed where it is the copy's -> the end
    // and its message (finish()).
    {Phase::Cleaning, Side::Target, FtpCommander::ActStoreToServer, &ServerCopy::targetStopped},
    {Phase::Cleaning, Side::Target, FtpCommander::ActFileSize, &ServerCopy::leftSized},
    {Phase::Cleaning, Side::Target, FtpCommander::ActDelete, &ServerCopy::leftDeleted},
    {Phase::Cleaning, Side::Source, FtpCommander::ActGetFromServer, &ServerCopy::sourceStopped},
};

bool ServerCopy::FtpCmd_JobDone(int slot, bool success, long lastAct)
{
    try {
        // While a step waits for a busy side, what ends is that side's own operation.
        if (m_phase == Phase::Idle || !m_slots.CopyRunning() || m_waitingStep)
            return false;
        for (const PhaseEnd &end : kPhaseEnds) {
            const int side = end.side == Side::Source ? m_slots.CopySource : m_slots.CopyTarget;
            if (end.phase != m_phase || side != slot || end.act != lastAct)
                continue;
            if (end.ended)
                (this->*end.ended)(success);
            return true;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CopyJobDone"));
        EndQuietly();
    }
    return false;
}

void ServerCopy::targetProbed(bool success)
{
    const auto at = static_cast<size_t>(m_slots.CopyTarget);
    const HeldFile held = m_slots.Slot(m_slots.CopyTarget)->FtpCmd()->LastHeldFile();
    // A file, or no file (or a folder, which refuses the store). Anything
    // else cannot tell: the file is never removed after a failure.
    m_targetHeld = !success || held.answer != HeldFile::Answer::NoFile;
    m_reasons[at].clear();
    if (held.isFile() && IsOptionOn(OptionFlag::ConfirmOverwrite)) {
        m_phase = Phase::Asking;
        // Not from inside the reply handling that found the file.
        const quint64 serial = m_reportSerial;
        QTimer::singleShot(0, this, [this, serial] {
            if (m_phase == Phase::Asking && serial == m_reportSerial)
                askOverwrite();
        });
        return;
    }
    checkSource();
}

void ServerCopy::askOverwrite()
{
    const quint64 serial = m_reportSerial;
    const QString sourcePath = m_slots.CopySourcePath;
    const QString targetPath = m_slots.CopyTargetPath;
    QPointer<ServerCopy> self(this);
    const bool replace = m_questions.ConfirmCopyOverwrite(targetPath);
    if (!self || m_phase != Phase::Asking || serial != m_reportSerial)
        return; // ended while the question was up
    if (!replace) {
        finish(End::Quiet);
        return;
    }
    // The world may have moved while the question was up.
    for (int slot : {m_slots.CopySource, m_slots.CopyTarget}) {
        ServerSlot *side = m_slots.Slot(slot);
        if (!side || !side->SessionActive()) {
            m_phase = Phase::Checking;
            fail(End::Lost, slot);
            return;
        }
    }
    ServerSlot *from = m_slots.Slot(m_slots.CopySource);
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (from->IsBusy() || to->IsBusy() || (m_otherWorkRuns && m_otherWorkRuns())
        || JoinRemotePath(from->SlotRemotePath(), m_name) != sourcePath
        || JoinRemotePath(to->SlotRemotePath(), m_name) != targetPath) {
        finish(End::Quiet);
        return;
    }
    checkSource();
}

void ServerCopy::checkSource()
{
    // The target is touched only once the source has shown it still holds the file.
    m_phase = Phase::Checking;
    if (waitForSides(&ServerCopy::checkSource))
        return;
    m_slots.Slot(m_slots.CopySource)->FtpCmd()->FTP_FILE_SIZE(m_slots.CopySourcePath);
}

void ServerCopy::sourceChecked(bool success)
{
    const auto source = static_cast<size_t>(m_slots.CopySource);
    const HeldFile held = m_slots.Slot(m_slots.CopySource)->FtpCmd()->LastHeldFile();
    // A server that understands neither SIZE nor MDTM cannot say; the transfer itself will.
    if (!success || (!held.isFile() && held.answer != HeldFile::Answer::CannotTell)) {
        fail(End::Failed, m_slots.CopySource);
        return;
    }
    m_sourceSize = held.isFile() ? held.size : -1;
    if (m_sourceSize >= 0)
        m_slots.CopySize = m_sourceSize;
    m_reasons[source].clear();
    startStore();
}

void ServerCopy::startStore()
{
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (!to || !to->SessionActive()) {
        fail(End::Lost, m_slots.CopyTarget);
        return;
    }
    if (waitForSides(&ServerCopy::startStore))
        return; // the source is sent the target's address at once when the store begins
    if (m_storePath.isEmpty()) {
        // Storing onto a file empties it at once: a file the target holds is
        // replaced only by a whole copy, stored beside it first.
        if (m_targetHeld) {
            nameTemporary();
            return;
        }
        m_storePath = m_slots.CopyTargetPath;
    }
    m_phase = Phase::Copying;
    to->FtpCmd()->setMode(0);
    to->FtpCmd()->FTP_StoreFromServer(m_storePath, m_slots.CopySize);
}

void ServerCopy::nameTemporary()
{
    ++m_namesTried;
    // Of our own characters only, in the target's folder, and not the name of
    // anything there. No leading dot: servers refuse such names by option,
    // and listings hide them.
    m_storePath = JoinRemotePath(m_targetFolder, QStringLiteral("ftpqor-copy-%1.part")
                                                     .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0')));
    askTarget(Phase::Naming)->FTP_FILE_SIZE(m_storePath);
}

void ServerCopy::temporaryNamed(bool success)
{
    const auto at = static_cast<size_t>(m_slots.CopyTarget);
    const HeldFile held = m_slots.Slot(m_slots.CopyTarget)->FtpCmd()->LastHeldFile();
    if (success && held.isFile()) { // in use
        if (m_namesTried < 3) {
            nameTemporary();
            return;
        }
        m_reasons[at] = QStringLiteral("No unused temporary name was found beside the file.");
        fail(End::Failed, m_slots.CopyTarget);
        return;
    }
    // Nothing of that name; or a server that understands neither SIZE nor MDTM cannot say, and the name is random.
    if (!success || (held.answer != HeldFile::Answer::NoFile && held.answer != HeldFile::Answer::CannotTell)) {
        fail(End::Failed, m_slots.CopyTarget);
        return;
    }
    m_reasons[at].clear();
    startStore();
}
void ServerCopy::storeEnded(bool success)
{
    if (success)
        sideSucceeded(false);
    else if (temporaryNotCreated())
        temporaryRefused();
    else
        fail(End::Failed, m_slots.CopyTarget);
}

void ServerCopy::sendEnded(bool success)
{
    // A target may say its store is complete when the data connection
    // closed early: only the source's own end tells whether it sent the whole file.
    if (success)
        sideSucceeded(true);
    else if (m_store.awaitingReply || (m_store.sent && !m_store.mayHaveWritten())) // a refused store's end still to come
        awaitStoreReply();
    else
        fail(End::Failed, m_slots.CopySource);
}

void ServerCopy::sideSucceeded(bool source)
{
    (source ? m_store.sourceSent : m_store.targetStored) = true;
    if (m_store.sourceSent && m_store.targetStored) {
        bothEnded();
        return;
    }
    // The data connection between them is gone: the other's end is due now,
    // and a server that holds its part for ever must not hold the copy.
    if (ServerSlot *other = m_slots.Slot(source ? m_slots.CopyTarget : m_slots.CopySource))
        other->FtpCmd()->OtherServerEnded();
}

void ServerCopy::awaitStoreReply()
{
    // A source that could not reach the target's data port may have lost the
    // race with the target's refusal of the store, which then decides (a
    // refused temporary file is the user's question, not a source failure).
    m_store.sourceFailedFirst = true;
    QTimer::singleShot(kStoreReplyWaitMs, this, [this, stores = m_store.sends] {
        if (m_phase == Phase::Copying && m_store.sourceFailedFirst && stores == m_store.sends)
            fail(End::Failed, m_slots.CopySource);
    });
}

void ServerCopy::bothEnded()
{
    if (waitForSides(&ServerCopy::bothEnded))
        return;
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (m_sourceSize < 0 || !to || !to->SessionActive()) {
        storedWhole();
        return;
    }
    // As after an upload: the stored file must be as long as the source said.
    askTarget(Phase::Confirming)->FTP_FILE_SIZE(m_storePath);
}

void ServerCopy::confirmStored(bool success)
{
    const auto at = static_cast<size_t>(m_slots.CopyTarget);
    const HeldFile held = m_slots.Slot(m_slots.CopyTarget)->FtpCmd()->LastHeldFile();
    // A server that does not understand SIZE cannot say; both ends said the
    // transfer was complete. Any other answer but the source's size fails the copy.
    const bool cannotTell = held.answer == HeldFile::Answer::CannotTell || (held.isFile() && held.size < 0);
    if (success && (cannotTell || (held.isFile() && held.size == m_sourceSize))) {
        storedWhole();
        return;
    }
    const qint64 stored = held.isFile() ? held.size : -1;
    if (held.isFile())
        m_reasons[at] = QStringLiteral("The server holds %1 of the file's %2 bytes.")
                            .arg(stored >= 0 ? QString::number(stored) : QStringLiteral("an unknown number"))
                            .arg(m_sourceSize);
    else
        m_reasons[at] = QStringLiteral("The size of the stored file could not be checked")
                      + (m_reasons[at].isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + m_reasons[at]);
    fail(End::Failed, m_slots.CopyTarget);
}

void ServerCopy::storedWhole()
{
    if (m_storePath == m_slots.CopyTargetPath) {
        finish(End::Done);
        return;
    }
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (!to || !to->SessionActive()) {
        fail(End::Lost, m_slots.CopyTarget);
        return;
    }
    askTarget(Phase::Placing)->FTP_REN_FILE(m_storePath, m_slots.CopyTargetPath);
}

bool ServerCopy::temporaryNotCreated() const
{
    // Refused for its name or the folder's rights, not for want of room.
    return m_storePath != m_slots.CopyTargetPath && m_store.sent && m_store.refused >= m_store.sends
        && ReplyCodes::CauseOf(m_store.refusal) == ReplyCodes::Cause::FileOrName;
}

void ServerCopy::temporaryRefused()
{
    const auto at = static_cast<size_t>(m_slots.CopyTarget);
    const QString judged = m_slots.Slot(m_slots.CopyTarget)->FtpCmd()->LastFailure().trimmed();
    if (!judged.isEmpty())
        m_reasons[at] = judged;
    m_phase = Phase::Offering;
    // Not from inside the reply handling that found the refusal.
    const quint64 serial = m_reportSerial;
    QTimer::singleShot(0, this, [this, serial] {
        if (m_phase == Phase::Offering && serial == m_reportSerial)
            askStoreOver();
    });
}

void ServerCopy::askStoreOver()
{
    const quint64 serial = m_reportSerial;
    const QString target = VisibleName(m_slots.CopyTargetPath);
    const QString refusal = m_reasons[static_cast<size_t>(m_slots.CopyTarget)];
    const QString text =
        QStringLiteral("The target server would not create the temporary file %1, which keeps the copy until it is whole "
                       "and then takes the place of %2:\n%3\n\nStore the copy directly onto %2? If the copy then fails, "
                       "what %2 held is lost.")
            .arg(VisibleName(m_storePath), target, refusal.isEmpty() ? QStringLiteral("no reason given") : refusal);
    QPointer<ServerCopy> self(this);
    const bool over = AskBeforeDestroying(m_owner, AppTitle(), text) == PromptButton::Yes;
    if (!self || m_phase != Phase::Offering || serial != m_reportSerial)
        return; // ended while the question was up
    // The source's sending to the refused store has mostly ended by itself
    // meanwhile; one still waiting is stopped (an abort leaves some servers
    // out of step), and a store over the file starts afresh.
    if (sideBusyWith(m_slots.CopySource, FtpCommander::ActGetFromServer))
        m_slots.Slot(m_slots.CopySource)->FtpCmd()->Abort();
    if (m_phase != Phase::Offering)
        return;
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (!over) {
        if (SessionLog *log = to->Log())
            log->AddLog(QStringLiteral("%1 was not copied to %2: the target server would not create a temporary file, "
                                       "and %2 was not to be stored over.")
                            .arg(VisibleName(m_slots.CopySourcePath), target),
                        SessionLog::Warning, 0);
        finish(End::Quiet);
        return;
    }
    for (int slot : {m_slots.CopySource, m_slots.CopyTarget}) {
        ServerSlot *side = m_slots.Slot(slot);
        if (!side || !side->SessionActive()) {
            fail(End::Lost, slot);
            return;
        }
    }
    storeOver(QStringLiteral("would not create the temporary file"));
}

void ServerCopy::placed(bool success)
{
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (success && (m_sourceSize < 0 || !to->SessionActive())) {
        finish(End::Done);
        return;
    }
    if (success) {
        // A server may say it renamed and keep its older file.
        askTarget(Phase::Verifying)->FTP_FILE_SIZE(m_slots.CopyTargetPath);
        return;
    }
    if (m_exiting) {
        // No store onto the target's file while the window closes: the copy stops here.
        fail(End::Stopped, m_slots.CopyTarget);
        return;
    }
    // A server that renames nothing, or nothing over a file, leaves only the
    // way of storing over the file itself.
    if (SessionLog *log = to->Log())
        log->AddLog(QStringLiteral("The target server would not rename the copy over %1; it is stored under that name.")
                        .arg(VisibleName(m_slots.CopyTargetPath)),
                    SessionLog::Warning, 0);
    askTarget(Phase::Discarding)->FTP_DEL_FILE(m_storePath);
}

void ServerCopy::placedChecked(bool success)
{
    const auto at = static_cast<size_t>(m_slots.CopyTarget);
    const HeldFile held = m_slots.Slot(m_slots.CopyTarget)->FtpCmd()->LastHeldFile();
    // The rename was accepted: only another size proves it did not happen. A
    // size the target cannot tell (refused, or its session ended) leaves the
    // target's word standing, as where SIZE is not understood at all.
    if (!success || !held.isFile() || held.size < 0 || held.size == m_sourceSize) {
        finish(End::Done);
        return;
    }
    m_reasons[at] = QStringLiteral("The server said it renamed the copy over %1, but %1 holds %2 bytes, not the copy's %3.")
                        .arg(VisibleName(m_slots.CopyTargetPath))
                        .arg(held.size)
                        .arg(m_sourceSize);
    // The copy is most likely still under its temporary name: it is named, not removed.
    report(End::Failed, m_slots.CopyTarget, false, m_slots.CopySourcePath, m_slots.CopyTargetPath);
    noteLeftOver({});
    finish(End::Failed);
}

void ServerCopy::storeDirectly(bool removed)
{
    if (!removed)
        noteLeftOver(m_reasons[static_cast<size_t>(m_slots.CopyTarget)]);
    storeOver(QStringLiteral("would not rename a copy over it"));
}

void ServerCopy::storeOver(const QString &because)
{
    m_storePath = m_slots.CopyTargetPath;
    m_storedOverBecause = because;
    forgetStore();
    startStore();
}

void ServerCopy::forgetStore()
{
    m_reasons = {};
    m_store = {};
}

void ServerCopy::SessionEnded(int slot)
{
    if (m_phase == Phase::Idle || !m_slots.CopyRunning())
        return;
    if (slot != m_slots.CopySource && slot != m_slots.CopyTarget)
        return;
    if (m_phase == Phase::Cleaning) {
        noteStopEnded(slot);
        if (slot == m_slots.CopySource) {
            if (m_clean == Clean::WaitForSource)
                finish(m_failure);
            return;
        }
        // There is nothing left to clean.
        if (slot == m_slots.CopyTarget) {
            if (temporaryMayExist())
                noteLeftOver({});
            finish(m_failure);
        }
        return;
    }
    // A source that said it sent the whole file is needed no more; the target
    // is, until the copy has ended there.
    if (slot == m_slots.CopySource && m_store.sourceSent)
        return;
    if (m_phase == Phase::Verifying) {
        // The target said it renamed the whole copy; only its size was still to come.
        finish(End::Done);
        return;
    }
    fail(End::Lost, slot);
}

void ServerCopy::EndQuietly()
{
    m_reportPending = false;
    ++m_reportSerial;
    if (m_phase == Phase::Idle && !m_slots.CopyRunning())
        return;
    m_phase = Phase::Cleaning; // the ends of the operations stopped below belong to the copy
    m_store.sent = false;       // and start no clean-up
    abortSides();
    finish(End::Quiet);
}

void ServerCopy::abortSides()
{
    for (int slot : {m_slots.CopySource, m_slots.CopyTarget}) {
        ServerSlot *side = m_slots.Slot(slot);
        if (side && side->IsBusy()
            && (side->FtpCmd()->CurrentAct() == FtpCommander::ActGetFromServer
                || side->FtpCmd()->CurrentAct() == FtpCommander::ActStoreToServer
                || side->FtpCmd()->CurrentAct() == FtpCommander::ActFileSize
                || side->FtpCmd()->CurrentAct() == FtpCommander::ActDelete))
            side->FtpCmd()->Abort();
    }
}

QString ServerCopy::TemporaryPath() const
{
    return m_phase == Phase::Idle || m_storePath == m_slots.CopyTargetPath ? QString() : m_storePath;
}

QString ServerCopy::ExitNotice() const
{
    if (m_phase == Phase::Idle || !m_slots.CopyRunning())
        return {};
    const QString copy = QStringLiteral("A copy of %1 to %2 is still running. ")
                             .arg(VisibleName(m_slots.CopySourcePath), VisibleName(m_slots.CopyTargetPath));
    if (!m_store.mayHaveWritten())
        return copy + QStringLiteral("Exiting stops it; nothing has been stored on the target server yet.");
    if (m_phase == Phase::Placing || m_phase == Phase::Verifying)
        return copy + QStringLiteral("The whole copy is being renamed over the target's file; exiting waits for the "
                                     "target server to finish.");
    if (m_storePath != m_slots.CopyTargetPath)
        return copy + QStringLiteral("Exiting stops it; its temporary file %1 on the target server is deleted where "
                                     "that server allows.")
                          .arg(VisibleName(m_storePath));
    return copy + QStringLiteral("Exiting stops it and leaves a short file %1 on the target server.")
                      .arg(VisibleName(m_slots.CopyTargetPath));
}

void ServerCopy::StopForExit()
{
    try {
        if (m_phase == Phase::Idle || !m_slots.CopyRunning() || !m_store.mayHaveWritten()) {
            EndQuietly(); // nothing of the copy is on the target
            return;
        }
        m_exiting = true;
        m_reportPending = false;
        ++m_reportSerial;
        if (m_phase == Phase::Discarding) {
            // The temporary file's delete is under way: it is the clean-up.
            m_failure = End::Stopped;
            m_phase = Phase::Cleaning;
            m_clean = Clean::Deleting;
        } else if (m_phase != Phase::Cleaning && m_phase != Phase::Placing && m_phase != Phase::Verifying) {
            fail(End::Stopped, -1);
        }
        // A rename sent cannot be called back: what it did decides (see placed() and placedChecked()).
        if (m_phase != Phase::Idle) {
            // Whoever closes the window (the window system, the tray's Exit)
            // takes the close as one step, so the target's answers are
            // waited for here: a nested event loop, the last resort, deaf to
            // the user and bounded.
            QEventLoop loop;
            connect(this, &ServerCopy::copyEnded, &loop, &QEventLoop::quit);
            QTimer::singleShot(kExitWaitMs, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        if (m_phase != Phase::Idle) {
            // The target did not finish in time: what it may hold is named as such.
            if (m_phase == Phase::Placing || m_phase == Phase::Verifying) {
                m_leftOver = QStringLiteral("The target server did not finish renaming the copy's temporary file %1 "
                                            "over %2 in time: %2 may hold the copy, or its old file with %1 beside it.")
                                 .arg(VisibleName(m_storePath), VisibleName(m_slots.CopyTargetPath));
                if (SessionLog *log = m_slots.Slot(m_slots.CopyTarget)->Log())
                    log->AddLog(m_leftOver, SessionLog::Warning, 0);
            } else if (temporaryMayExist() && !m_store.leftRemoved && m_leftOver.isEmpty())
                noteLeftOver({});
            abortSides();
            finish(End::Stopped);
        }
        m_exiting = false;
        if (const QString text = std::exchange(m_exitReport, {}); !text.isEmpty())
            ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(), text);
    } catch (...) {
        m_exiting = false;
        LogCurrentException(kObject, QStringLiteral("StopForExit"));
        EndQuietly();
    }
}

QString ServerCopy::stoppedText(const QString &leftOver) const
{
    const QString target = VisibleName(m_slots.CopyTargetPath);
    QString text = QStringLiteral("The copy of %1 to %2 was stopped.\n\n").arg(VisibleName(m_slots.CopySourcePath), target);
    if (!leftOver.isEmpty())
        return text + leftOver;
    if (!m_store.mayHaveWritten())
        return text + QStringLiteral("Nothing of it is left on the target server.");
    if (m_storePath != m_slots.CopyTargetPath)
        return text + (m_store.leftRemoved ? QStringLiteral("Its temporary file %1 was deleted from the target server.")
                                     : QStringLiteral("The copy's temporary file %1 may be left on the target server."))
                          .arg(VisibleName(m_storePath));
    if (m_store.leftRemoved)
        return text + QStringLiteral("The empty file %1 it left was deleted from the target server.").arg(target);
    if (m_store.leftSize >= 0)
        return text + QStringLiteral("The target server keeps %1 with %2 of the file's %3 bytes.")
                          .arg(target)
                          .arg(m_store.leftSize)
                          .arg(m_slots.CopySize);
    return text + QStringLiteral("The target server may keep a short file %1.").arg(target);
}

void ServerCopy::fail(End how, int finished)
{
    // Not while the user decides (Asking), nor twice.
    if (m_phase == Phase::Idle || m_phase == Phase::Asking || m_phase == Phase::Cleaning)
        return;
    const int source = m_slots.CopySource;
    const int target = m_slots.CopyTarget;
    // The engine's own judgement of the side that ended, when it gave one, is the reason.
    if (how == End::Failed && m_phase != Phase::Confirming && (finished == 0 || finished == 1)) {
        ServerSlot *side = m_slots.Slot(finished);
        const QString judged = side && side->FtpCmd() ? side->FtpCmd()->LastFailure().trimmed() : QString();
        if (!judged.isEmpty())
            m_reasons[static_cast<size_t>(finished)] = judged;
    }
    m_waitingStep = nullptr;
    m_reportAfterStops = (finished != source && sideBusyWith(source, FtpCommander::ActGetFromServer))
                         || (finished != target && sideBusyWith(target, FtpCommander::ActStoreToServer));
    m_failedSide = finished;
    if (how != End::Stopped) // a stop is told when its clean-up has ended
        report(how, finished, finished == source, m_slots.CopySourcePath, m_slots.CopyTargetPath);
    m_failure = how;
    // From here on the ends of the operations stopped below belong to the copy.
    m_phase = Phase::Cleaning;
    m_clean = Clean::WaitForTarget;
    // The side that still works on the copy is stopped; the one that just ended is left alone.
    if (finished != source && sideBusyWith(source, FtpCommander::ActGetFromServer))
        m_slots.Slot(source)->FtpCmd()->Abort();
    if (m_phase != Phase::Cleaning)
        return;
    if (finished != target && sideBusyWith(target, FtpCommander::ActStoreToServer)) {
        stopTarget(); // its end goes on with the clean-up
        return;
    }
    cleanTarget();
}

void ServerCopy::stopTarget()
{
    FtpCommander *engine = m_slots.Slot(m_slots.CopyTarget)->FtpCmd();
    const QString host = engine->ReachedAddress();
    const long port = engine->StorePassivePort();
    if (!m_store.sent || port <= 0 || port > 65535 || host.isEmpty()) {
        engine->Abort();
        return;
    }
    // A server may say 150 to STOR before any data connection came, and an
    // ABOR then may leave the store waiting for the next data connection
    // (the next listing's): while the source never connected, an empty
    // connection ends the store; once its server no longer takes one, ABOR.
    // A server that had not yet taken the source's connection still queues
    // the empty one behind it: a store not ended soon after gets ABOR too.
    const QPointer<FtpCommander> target(engine);
    auto *socket = new QTcpSocket(this);
    auto reached = std::make_shared<bool>(false);
    connect(socket, &QTcpSocket::connected, socket, [this, socket, reached, target] {
        *reached = true;
        socket->disconnectFromHost();
        QTimer::singleShot(kStoreEndWaitMs, this, [this, target] {
            if (m_phase == Phase::Cleaning && m_clean == Clean::WaitForTarget && target && target->isBusy()
                && target->CurrentAct() == FtpCommander::ActStoreToServer)
                target->Abort();
        });
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, [socket, reached, target](QAbstractSocket::SocketError) {
        socket->deleteLater();
        if (!*reached && target && target->isBusy() && target->CurrentAct() == FtpCommander::ActStoreToServer)
            target->Abort();
    });
    socket->connectToHost(host, static_cast<quint16>(port));
}

void ServerCopy::cleanTarget()
{
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (!to || !to->SessionActive()) {
        if (temporaryMayExist())
            noteLeftOver({});
        finish(m_failure);
        return;
    }
    // Nothing is left to wait for when the store never went out or every one
    // was refused outright.
    if (m_clean != Clean::WaitForTarget || !m_store.mayHaveWritten()) {
        if (m_clean == Clean::WaitForTarget)
            finish(m_failure);
        return;
    }
    if (to->IsBusy())
        return; // its store, or an operation of its own, is still being ended
    if (m_storePath != m_slots.CopyTargetPath) {
        m_clean = Clean::Deleting;
        m_reasons[static_cast<size_t>(m_slots.CopyTarget)].clear();
        to->FtpCmd()->FTP_DEL_FILE(m_storePath);
        return;
    }
    m_clean = Clean::Sizing;
    to->FtpCmd()->FTP_FILE_SIZE(m_slots.CopyTargetPath);
}

void ServerCopy::targetStopped(bool) { cleanTarget(); }

bool ServerCopy::cleaningAt(Clean stage)
{
    const ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (m_clean == stage && to && to->SessionActive())
        return true;
    cleanTarget();
    return false;
}

void ServerCopy::leftSized(bool success)
{
    if (!cleaningAt(Clean::Sizing))
        return;
    ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
    if (success && to->FtpCmd()->LastHeldFile().isFile())
        m_store.leftSize = to->FtpCmd()->LastHeldFile().size;
    // Only a file the target did not hold before is the copy's to remove.
    if (m_store.leftSize == 0 && !m_targetHeld) {
        m_clean = Clean::Deleting;
        if (SessionLog *log = to->Log())
            log->AddLog(QStringLiteral("Removing the empty file the copy left: ") + VisibleName(m_slots.CopyTargetPath),
                        SessionLog::Warning, 0);
        to->FtpCmd()->FTP_DEL_FILE(m_slots.CopyTargetPath);
        return;
    }
    finish(m_failure);
}

void ServerCopy::leftDeleted(bool success)
{
    if (!cleaningAt(Clean::Deleting))
        return;
    m_store.leftRemoved = success;
    if (m_storePath != m_slots.CopyTargetPath && !success)
        noteLeftOver(m_reasons[static_cast<size_t>(m_slots.CopyTarget)]);
    finish(m_failure);
}

void ServerCopy::sourceStopped(bool)
{
    if (m_clean == Clean::WaitForSource)
        finish(m_failure);
}

bool ServerCopy::storedOverMayHaveWritten() const { return !m_storedOverBecause.isEmpty() && m_store.mayHaveWritten(); }

QString ServerCopy::storedOverText() const
{
    const QString target = VisibleName(m_slots.CopyTargetPath);
    const QString why = QStringLiteral("its server %1, so the copy was stored onto it").arg(m_storedOverBecause);
    if (m_store.leftSize == 0)
        return QStringLiteral("The target's file %1 was emptied: %2.").arg(target, why);
    if (m_store.leftSize > 0)
        return QStringLiteral("The target's file %1 now holds %2 of the copy's %3 bytes, and what it held before is "
                              "lost: %4.")
            .arg(target)
            .arg(m_store.leftSize)
            .arg(m_slots.CopySize)
            .arg(why);
    return QStringLiteral("The target's file %1 may hold part of the copy, and what it held before is lost: %2.")
        .arg(target, why);
}

bool ServerCopy::temporaryMayExist() const
{
    return !m_storePath.isEmpty() && m_storePath != m_slots.CopyTargetPath && m_store.mayHaveWritten();
}

void ServerCopy::noteLeftOver(const QString &refusal)
{
    const QString name = VisibleName(m_storePath);
    m_leftOver = refusal.isEmpty()
                   ? QStringLiteral("The copy's temporary file %1 may be left on the target server.").arg(name)
                   : QStringLiteral("The copy's temporary file %1 could not be removed from the target server: %2")
                         .arg(name, refusal);
    if (SessionLog *log = m_slots.Slot(m_slots.CopyTarget)->Log())
        log->AddLog(m_leftOver, SessionLog::Warning, 0);
}

void ServerCopy::finish(End how)
{
    try {
        if (m_phase == Phase::Idle && !m_slots.CopyRunning())
            return;
        if (m_phase == Phase::Cleaning && m_reportAfterStops && how != End::Quiet && !m_exiting
            && sideBusyWith(m_slots.CopySource, FtpCommander::ActGetFromServer)) {
            m_clean = Clean::WaitForSource; // its end, or its session's, ends the copy
            return;
        }
        m_reportAfterStops = false;
        ServerSlot *to = m_slots.Slot(m_slots.CopyTarget);
        const bool touched = m_store.sent || how == End::Done;
        QString heldReport = std::exchange(m_heldReport, {});
        if (!heldReport.isEmpty() && storedOverMayHaveWritten())
            heldReport += QStringLiteral("\n\n") + storedOverText();
        if (m_exiting && how != End::Quiet) {
            // Told by the close at once: no later message outlives the window.
            const QString leftOver = std::exchange(m_leftOver, {});
            const QString failure = std::exchange(heldReport, {});
            // A rename the close waited for may have completed the copy.
            const QString ended = how == End::Done ? QStringLiteral("The copy of %1 to %2 was completed.")
                                                         .arg(VisibleName(m_slots.CopySourcePath),
                                                              VisibleName(m_slots.CopyTargetPath))
                                                   : failure;
            m_exitReport = ended.isEmpty()    ? stoppedText(leftOver)
                         : leftOver.isEmpty() ? ended
                                              : ended + QStringLiteral("\n\n") + leftOver;
        }
        m_phase = Phase::Idle;
        m_waitingStep = nullptr;
        m_slots.ClearCopy();
        if (to && to->HasProfile())
            to->FtpCmd()->setMode(to->SlotProfile().IsPassive ? 0 : 1);
        if (touched && to && how != End::Quiet && !m_exiting) {
            const QPointer<ServerSlot> target(to);
            // Listed once the connection is free again.
            QTimer::singleShot(0, this, [target] {
                if (target)
                    target->RefreshListing();
            });
        }
        const QString leftOver = std::exchange(m_leftOver, {});
        if (how != End::Quiet && !heldReport.isEmpty())
            showLater(leftOver.isEmpty() ? heldReport : heldReport + QStringLiteral("\n\n") + leftOver,
                      m_heldReportLost);
        else if (how != End::Quiet && !leftOver.isEmpty())
            showLater(leftOver, false); // copied, with a file of the copy's own left beside it
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
    // A session the program ended itself was not lost: its reason is the side's.
    const QString engineEnded =
        how == End::Lost && side && !side->EndedByUser() ? side->FtpCmd()->EndedSessionReason().trimmed() : QString();
    if (!engineEnded.isEmpty()) {
        text = notCopied + QStringLiteral("\n\n") + sideName + QStringLiteral(": ") + engineEnded;
    } else if (how == End::Lost) {
        // The user's own disconnect is no lost connection.
        const QString &why = side && side->EndedByUser() ? BatchFailures::kDisconnectedText : BatchFailures::kLostText;
        text = why + QStringLiteral(" (") + sideName.toLower() + QStringLiteral(")\n\n") + notCopied;
        // A session the engine ended says why.
        const QString ended = side && !side->EndedByUser() ? side->FtpCmd()->LastFailure().trimmed() : QString();
        if (!ended.isEmpty())
            text += QStringLiteral("\n\n") + sideName + QStringLiteral(": ") + ended;
    } else {
        QString reason = side ? m_reasons[static_cast<size_t>(slot)] : QString();
        if (reason.isEmpty())
            reason = QStringLiteral("no reason given");
        text = notCopied + QStringLiteral("\n\n") + sideName + QStringLiteral(": ") + reason;
    }
    const QString temporaryName = m_storePath.section(QLatin1Char('/'), -1);
    if (m_storePath != targetPath && !temporaryName.isEmpty() && text.contains(temporaryName))
        text += QStringLiteral("\n\n%1 is the temporary name the copy is stored under until it is whole, to take the "
                               "place of %2.")
                    .arg(VisibleName(m_storePath), VisibleName(targetPath));
    if (SessionLog *log = side ? side->Log() : nullptr)
        log->AddLog(text.simplified(), SessionLog::Warning, 0);
    if (temporaryMayExist() || storedOverMayHaveWritten() || m_reportAfterStops) {
        // Told once the target's clean-up and the stops have ended, with
        // whether the temporary file stays, what a file stored over holds,
        // and any session ended over a stop.
        m_heldReport = text;
        m_heldReportLost = how == End::Lost;
        return;
    }
    if (!m_leftOver.isEmpty())
        text += QStringLiteral("\n\n") + std::exchange(m_leftOver, {});
    showLater(text, how == End::Lost);
}

void ServerCopy::noteStopEnded(int slot)
{
    const ServerSlot *side = m_slots.Slot(slot);
    // The side whose end failed the copy is told as such already.
    if (!m_reportAfterStops || m_heldReport.isEmpty() || !side || slot == m_failedSide)
        return;
    QString why = side->EndedByUser() ? BatchFailures::kDisconnectedText : side->FtpCmd()->EndedSessionReason().trimmed();
    if (why.isEmpty())
        why = BatchFailures::kLostText;
    m_heldReport += QStringLiteral("\n\n%1: %2")
                        .arg(slot == m_slots.CopySource ? QStringLiteral("Source server") : QStringLiteral("Target server"),
                             why);
    m_heldReportLost = true;
}

void ServerCopy::showLater(const QString &text, bool lost)
{
    // Not from inside the reply handling that found the failure: while the
    // box is open, both connections go on reading their servers' replies.
    m_reportPending = true;
    const quint64 serial = ++m_reportSerial;
    QTimer::singleShot(0, this, [this, serial, lost, text] {
        if (!m_reportPending || serial != m_reportSerial)
            return;
        QPointer<ServerCopy> self(this);
        ShowMessage(m_owner, lost ? PromptIcon::Critical : PromptIcon::Exclamation, PromptButtons::Ok,
                    lost ? QStringLiteral("Error") : AppTitle(), text);
        if (self && serial == m_reportSerial)
            m_reportPending = false;
    });
}

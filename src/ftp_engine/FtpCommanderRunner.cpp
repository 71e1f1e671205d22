// The macro runner: steps, the command writer and reply judgement.
#include "FtpCommander.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "FtpCommandTables.h"
#include "LoginFailedHandler.h"
#include "Prompts.h"
#include "ReplyCodes.h"
#include "TextCodec.h"

#include <algorithm>
#include <utility>

namespace {

const QString kObject = QStringLiteral("FtpCommander");

// The success patterns of a custom command's reply rule: its first group.
QString CustomSuccessPatterns(const QString &rule)
{
    return rule.section(QLatin1Char('['), 0, 0);
}

QString MaskArgument(const QString &command)
{
    const QString verb = command.left(5);
    if (verb.compare(QStringLiteral("USER "), Qt::CaseInsensitive) != 0
        && verb.compare(QStringLiteral("PASS "), Qt::CaseInsensitive) != 0)
        return command;
    return verb + QString(command.size() - 5, QLatin1Char('*'));
}

} // namespace

void FtpCommander::ArmTimer(const QString &mode, int intervalMs, qint64 countdownMs)
{
    m_timer->stop();
    m_timerMode = mode;
    m_deadline = m_timer->now() + countdownMs;
    m_timer->start(intervalMs);
}

bool FtpCommander::TimeIsUp() const
{
    return m_timer->now() >= m_deadline;
}

void FtpCommander::StopTimer()
{
    m_timer->stop();
    m_timerMode.clear();
}

void FtpCommander::ArmOtherServerWait()
{
    // As long as a transfer may go without data: a target may take its time
    // to put a large file away before its final reply.
    ArmTimer(QStringLiteral("COPYEND"), 2000, TransferWaitSeconds() * 1000);
}

void FtpCommander::ExecuteFtpMacro(int action, const QString &stepsOverride)
{
    try {
        ++m_operationSerial;
        m_idleMinutes = 0;
        m_keepAliveCounter = 0;
        m_transcript.clear();
        m_resume = action == ActResumeSend || action == ActResumeGet;
        m_busy = true;
        m_lastCmdSucces = false;
        m_lastFailure.clear();
        m_dataConnected = false;
        m_waitingForTransfer = false;
        m_currentAct = action;
        m_repeats = 0;
        m_jumps = 0;
        m_dataDetour = false;
        m_dataStepRetries = 0;
        m_preliminarySeen = false;
        m_otherServerEnded = false;
        m_storeAddress = {};
        m_storeAddressDue = false;
        m_uploadFinished = false;
        m_checkingStoredSize = false;
        m_heldCheck = false;
        m_emptyQuestion = EmptyListingQuestion::None;
        m_passiveProbe = false;
        m_passiveProbed = false;
        if (action == ActLogin) {
            m_resyncs = 0; // a new session starts in step
            m_lateTransferEnd = false;
            m_endedSessionReason.clear();
            m_machineListing = MachineListing::Unknown; // another server, maybe
        }
        m_steps.clear();
        m_currentIndex = -1;
        if (action < 0 || action > 19) {
            m_busy = false;
            return;
        }
        const QString steps = stepsOverride.isEmpty() ? m_macros.value(action) : stepsOverride;
        for (const QString &item : steps.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool isNumber = false;
            const int step = item.trimmed().toInt(&isNumber);
            m_steps.append(isNumber ? step : -1); // never step 0, a new connection
        }
        if (m_steps.isEmpty()) {
            m_busy = false;
            return;
        }
        // An offset the server still holds from a REST whose transfer never
        // went out would place this transfer's data: it is set back right
        // before the transfer, in the type the transfer goes in (some servers
        // refuse REST in ASCII mode).
        if (m_restHeld != 0 && !m_steps.contains(7)) {
            const auto transfer = std::find_if(m_steps.begin(), m_steps.end(), [](int s) { return s == 11 || s == 16; });
            if (transfer != m_steps.end())
                m_steps.insert(transfer, 7);
        }
        m_currentIndex = 0;
        if (action == ActFileSize) {
            StartHeldCheck(m_heldWithTime);
            return;
        }
        ExecuteStep(m_steps[0]);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ExecuteFtpMacro"));
    }
}

void FtpCommander::ExecuteResumeMacro()
{
    try {
        ++m_operationSerial;
        const QString dataStep = m_mode == 1 ? QStringLiteral("8") : QStringLiteral("9");
        const QString steps = QString(FtpMacroTable.value(ActGet)).replace(QStringLiteral("100"), dataStep + QStringLiteral(",7"));
        m_steps.clear();
        for (const QString &item : steps.split(QLatin1Char(','), Qt::SkipEmptyParts))
            m_steps.append(item.trimmed().toInt());
        // What was written so far is exactly what the new REST offset counts:
        // the old data connection goes first, so no late byte lands after it.
        m_data.close();
        CloseFile();
        m_resume = true;
        m_busy = true;
        m_lastCmdSucces = false;
        m_waitingForTransfer = false;
        m_currentAct = ActGet;
        m_resumeOffset = m_transferPosition;
        m_bytesDone = m_transferPosition;
        m_repeats = 0;
        m_dataDetour = false;
        m_currentIndex = 0;
        ExecuteStep(m_steps[0]);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ExecuteFtpMacro"));
    }
}

bool FtpCommander::IsNonIdempotent(int step) const
{
    switch (step) {
    case 16: // STOR
    case 17: // DELE
    case 22: // STOU
    case 24: // APPE
    case 26: // MKD
    case 27: // RMD
    case 28: // RNFR
    case 29: // RNTO
        return true;
    default:
        return false;
    }
}

void FtpCommander::ExecuteStep(int step)
{
    const bool repeating = m_repeating;
    m_repeating = false;
    // The way back to a repeated transfer step (a new data port, REST) does
    // not start the transfer step's count again.
    if (!repeating && !m_dataDetour)
        m_repeats = 0;
    if (step == 10 || step == 11 || step == 16)
        m_dataDetour = false;
    if (step < 0 || step > 35) {
        // A macro or reply map from a driver file named a step that does not exist.
        FailOperation(QStringLiteral("Unknown command step %1; the operation failed.").arg(step));
        return;
    }
    if (step == 34 && m_transferType == QLatin1Char('I') && !m_heldCheck) {
        IncrProc(); // the server accepted binary mode already
        return;
    }
    m_currentStep = step;
    const FtpCommandRecord &record = m_records[static_cast<size_t>(step == 34 || step == 35 ? 4 : step)];
    const QString &verb = record.Verb;
    const QString space = QStringLiteral(" ");
    QString command;
    QString status;
    switch (step) {
    case 0:
        NewConnection();
        return;
    case 1:
        command = verb + space + m_user;
        status = QStringLiteral("Logging on..");
        break;
    case 2:
        command = verb + space + m_password;
        status = QStringLiteral("Authenticating ..");
        break;
    case 5:
    case 15:
        command = verb;
        status = QStringLiteral("Synchronising with server ..");
        break;
    case 6:
        command = verb;
        status = QStringLiteral("Current path ??..");
        break;
    case 7:
        if (m_currentAct == ActResumeSend && m_resumeOffset == 0 && m_restHeld == 0) {
            IncrProc(); // nothing stored to go on from: the file is sent whole
            return;
        }
        command = verb + space + QString::number(m_resumeOffset);
        m_restAsked = m_resumeOffset; // held once the server accepts it
        status = QStringLiteral("Checking if Resume allowed..");
        break;
    case 8:
    case 9: {
        command = BuildDataConnectionCommand();
        if (command.isEmpty())
            return; // already ended or handed on
        const bool active = command.startsWith(QStringLiteral("PORT"), Qt::CaseInsensitive);
        status = active ? QStringLiteral("Trying for data Connection..") : QStringLiteral("Requesting a passive port..");
        const FtpCommandRecord &sent = m_records[active ? 8 : 9];
        m_currentMap = sent.ReplyMap;
        m_passiveAsked.start();
        SendFtpCommand(command, sent.SuccessCodes, status);
        return;
    }
    case 10:
        if (!PrepareTransferStep(step))
            return;
        if (m_emptyQuestion == EmptyListingQuestion::Listing) {
            command = QStringLiteral("MLSD"); // of the folder entered, as the listing before it
            status = QStringLiteral("Asking whether the folder can be read..");
            break;
        }
        m_listingUnread = false; // a listing tried again is judged by its own end
        command = verb;
        if (!m_filter.isEmpty() && m_filter != QLatin1String("*.*") && !m_filter.contains(QLatin1Char(';')))
            command = verb + space + m_remotePath + QLatin1Char('/') + m_filter;
        status = QStringLiteral("Requesting file details..");
        break;
    case 11:
        if (!PrepareTransferStep(step))
            return;
        command = verb + space + m_remoteFile;
        status = QStringLiteral("Transferring data..");
        if (m_currentAct == ActGetFromServer) {
            // The two servers connect to each other: nothing to wait for here.
            m_currentMap = record.ReplyMap;
            if (SendFtpCommand(command, record.SuccessCodes, status))
                emit DataConnect();
            return;
        }
        break;
    case 12: {
        if (!m_control.isConnected()) {
            EndFtpMacro();
            return;
        }
        // Servers answer ABOR differently: with one reply that may stand for
        // the transfer's too, with the transfer's 426 and then 226, or not at
        // all while they wait for data. Every reply still owed when ABOR goes
        // out comes first. The PWD behind it marks where the abort's replies
        // end: no command in flight answers 257, and once ABOR has had its
        // answer a refusal of PWD is told apart by the count.
        // A TYPE whose reply the abort takes may or may not be in force.
        if (m_owed.contains(QStringLiteral("TYPE")) || !m_typeAsked.isNull()) {
            m_transferType = QChar();
            m_typeAsked = QChar();
        }
        const int owed = static_cast<int>(m_owed.size());
        const bool transferOwed = !m_owed.isEmpty() && ReplyCodes::IsTransferVerb(m_owed.constLast());
        m_currentMap = record.ReplyMap;
        if (!SendFtpCommand(verb, record.SuccessCodes, QStringLiteral("Sending Abort request..")))
            return;
        m_abortPending = true;
        m_abortOwed = owed;
        m_abortMayFold = transferOwed;
        m_abortReplies = 0;
        m_abortAnswered = false;
        m_abortStray.clear();
        m_abortSerial = m_operationSerial;
        // A server may read commands in the middle of a transfer only to
        // look for ABOR, and lose what came with it: the marker goes once
        // the transfer has ended, which the first reply after ABOR says.
        m_markerDeferred = transferOwed;
        if (!m_markerDeferred)
            SendAbortMarker();
        return;
    }
    case 13:
        if (!m_control.isConnected()) {
            IncrProc();
            return;
        }
        command = verb;
        status = QStringLiteral("Disposing connection ");
        break;
    case 14:
        command = verb + space + m_remotePath;
        status = QStringLiteral("Changing directory on..");
        break;
    case 16:
        if (!PrepareTransferStep(step))
            return;
        command = verb + space + m_remoteFile;
        status = QStringLiteral("Transferring data..");
        if (m_currentAct == ActStoreToServer) {
            // The receiving server must be waiting before the sending server
            // connects and pushes data: STOR first, then the address goes to
            // the host once the server has had it (see HandOnStoreAddress).
            // A REST may have come between: the 227 kept from the data step
            // counts, once (a repeated STOR has no address to hand on).
            const QString kept = std::exchange(m_passiveReply, QString());
            const QStringList passiveReply = kept.isEmpty() ? m_replyLines : QStringList{kept};
            m_currentMap = record.ReplyMap;
            if (SendFtpCommand(command, record.SuccessCodes, status))
                NotifyPASV(passiveReply);
            return;
        }
        break;
    case 17:
    case 27:
        command = verb + space + m_sourcePath;
        status = QStringLiteral("Sending delete request..");
        break;
    case 33:
        if (m_currentAct == ActResumeSend && !m_heldCheck) {
            StartHeldCheck(false); // where the server's copy ends
            return;
        }
        [[fallthrough]];
    case 18:
        command = verb + space + m_remoteFile;
        status = QStringLiteral("Reading file size...");
        break;
    case 26:
        command = verb + space + m_targetPath;
        status = QStringLiteral("Sending new directory request..");
        break;
    case 28:
        command = verb + space + m_sourcePath;
        status = QStringLiteral("Requesting rename ..");
        break;
    case 29:
        command = verb + space + m_targetPath;
        status = QStringLiteral("Completing rename request..");
        break;
    case 32:
        command = verb + space + m_remoteFile;
        status = QStringLiteral("Reading file modified time...");
        break;
    case 34:
        command = verb + QStringLiteral(" I");
        status = QStringLiteral("Switch to binary..");
        break;
    case 35:
        command = verb + QStringLiteral(" A");
        status = QStringLiteral("Switch to ASCII..");
        break;
    default:
        command = verb;
        status = QStringLiteral("Sending ") + verb + QStringLiteral("..");
        break;
    }
    m_currentMap = record.ReplyMap;
    SendFtpCommand(command, record.SuccessCodes, status);
}

bool FtpCommander::SendFtpCommand(const QString &command, const QString &successCodes, const QString &status)
{
    if (command.contains(QLatin1Char('\r')) || command.contains(QLatin1Char('\n'))
        || command.contains(QChar(u'\0'))) {
        FailOperation(QStringLiteral("Command not sent: it contains a line break or a NUL character."));
        return false;
    }
    const quint64 serial = m_operationSerial;
    QPointer<FtpCommander> self(this);
    if (m_abortPending && m_markerDeferred) {
        // Nothing goes out ahead of the abort's end marker: the replies
        // before the marker's are the abort's.
        SendAbortMarker();
        if (!self || serial != m_operationSerial)
            return false;
    }
    if (!status.isEmpty()) {
        emit Message(status);
        if (!self || serial != m_operationSerial)
            return false;
    }
    m_currentSuccess = successCodes;
    if (!m_transcript.isEmpty())
        m_transcript += QStringLiteral("\r\n");
    m_transcript += command + QLatin1Char('|') + successCodes + QLatin1Char('|');
    m_replyLines.clear();
    if (m_currentIndex < 0)
        ++m_unansweredPolls; // an idle poll: its reply belongs to no operation
    ArmTimer(QStringLiteral("CMD"), 2000, static_cast<qint64>(m_commandTimeout) * 1000);
    m_control.write(TextCodec::Encode(command) + "\r\n");
    ++m_commandsWritten;
    // What the user typed follows no reply table: any complete reply answers it.
    const bool typed = m_currentAct == ActCustom && m_currentStep == -1 && m_currentIndex >= 0;
    m_owed.append(typed ? QString() : command.section(QLatin1Char(' '), 0, 0).toUpper());
    if (m_currentStep == 11 || m_currentStep == 16)
        m_restHeld = 0; // the transfer uses up the restart offset
    // The command leaves now: whatever the host does with the news of it runs
    // while the server works on it, not before the server sees it.
    m_control.flush();
    if (!self || serial != m_operationSerial)
        return false;
    emit CommandSent(QString(), MaskArgument(command));
    return true;
}

void FtpCommander::HandleReplyLine(const ReplyReader::Line &line)
{
    QPointer<FtpCommander> self(this);
    const quint64 written = m_commandsWritten;
    if (!line.text.isEmpty()) {
        emit ServerReplied(QString::number(line.code), line.text);
        if (!self)
            return;
    }
    if (line.text.contains(QStringLiteral("215 win"), Qt::CaseInsensitive))
        m_systemType = 2;
    else if (line.text.contains(QStringLiteral("215 uni"), Qt::CaseInsensitive))
        m_systemType = 1;
    m_replyLines.append(line.text);
    if (!line.final) {
        if (m_openReply.size() < ReplyCodes::kRefusalLinesKept)
            m_openReply.append(line.text);
    } else {
        m_lastReply = std::exchange(m_openReply, {});
        m_lastReply.append(line.text);
        // Only the listing's own end speaks for the folder: an opening reply or
        // a server's note may quote a folder whose name holds the same words.
        if (m_currentAct == ActList && m_currentStep == 10 && m_currentIndex >= 0 && line.code / 100 == 2
            && m_emptyQuestion != EmptyListingQuestion::Features && ReplyCodes::SaysFolderUnread(m_lastReply))
            m_listingUnread = true;
    }
    if (line.final && line.code == 227 && m_currentStep == 9 && m_currentIndex >= 0) {
        m_passiveReply = line.text;
        m_passiveRoundTrip = m_passiveAsked.isValid() ? m_passiveAsked.elapsed() : -1;
    }
    if (m_replyLines.size() > 4096)
        m_replyLines.removeFirst();
    const quint64 serial = m_operationSerial;
    const bool hadOperation = m_currentIndex >= 0;
    if ((line.code == 125 || line.code == 150) && line.final)
        OnPreliminaryTransferReply();
    if (!self)
        return;
    // Starting the transfer may have ended the operation (a local file error)
    // and the host may have started the next one: this line was the old one's.
    // The same when a handler of ServerReplied already wrote a new command.
    if (serial != m_operationSerial || (hadOperation && m_currentIndex < 0) || written != m_commandsWritten)
        return;
    if (line.final)
        HandleFinalReply(line.text.left(3), line.text);
}

void FtpCommander::HandleFinalReply(const QString &code, const QString &line)
{
    try {
        QString entry = line;
        const qsizetype blank = entry.indexOf(QLatin1Char(' '));
        if (blank >= 0)
            entry[blank] = QLatin1Char('|');
        m_transcript += QLatin1Char('|') + entry;
        if (m_quitting) {
            CloseControlQuietly();
            return;
        }
        const bool preliminary = code.startsWith(QLatin1Char('1'));
        if (m_currentStep == 0 && !preliminary)
            m_awaitingGreeting = false; // a "120 ready in a while" is followed by the greeting
        if (code == QLatin1String("421")) {
            // The server is closing the connection.
            QPointer<FtpCommander> self(this);
            emit Message(line);
            if (self)
                DropSession(0, QString());
            return;
        }
        if (m_abortPending) {
            if (!preliminary)
                TakeAbortReply(code, line);
            return;
        }
        if (m_owed.isEmpty()) {
            if (!preliminary) {
                m_lateTransferEnd = false;
                IgnoreReply(line); // no command waits for it
            }
            return;
        }
        if (preliminary) {
            m_lateTransferEnd = false; // a transfer started: its end is told from a late one no more
        } else if (m_lateTransferEnd) {
            // A transfer's end before the next transfer's start or data, or
            // one the command cannot give, is the aborted transfer's, come
            // late (pyftpdlib after a stop in active mode). It counts towards
            // the bound on getting back in step. Data already here may be
            // the aborted transfer's (pyftpdlib in passive mode): the reply
            // goes the usual way.
            const bool transfer = ReplyCodes::IsTransferVerb(m_owed.constFirst());
            if (code.startsWith(QLatin1Char('2'))
                && (transfer ? !m_dataArrived && !m_dataClosed : !ReplyCodes::CanAnswer(m_owed.constFirst(), code))) {
                m_lateTransferEnd = false;
                if (m_resyncs >= std::max(1, m_maxConnectionTry)) {
                    GetBackInStep(line);
                    return;
                }
                ++m_resyncs;
                IgnoreReply(line);
                return;
            }
            m_lateTransferEnd = !transfer;
        }
        // Replies come in the order of the commands, one final reply each
        // (after any 1xx preliminary ones): a reply is the oldest waiting
        // command's. One that command cannot give means the session is out of step.
        if (!preliminary) {
            if (!ReplyCodes::CanAnswer(m_owed.constFirst(), code)) {
                GetBackInStep(line);
                return;
            }
            m_owed.removeFirst();
        }
        if (m_owed.size() > (preliminary ? 1 : 0)) {
            // An earlier command's (a repeated one, an idle poll).
            if (!preliminary && m_unansweredPolls > 0)
                --m_unansweredPolls;
            if (m_currentIndex >= 0)
                emit Message(line);
            return;
        }
        // The first final reply after an idle poll is the poll's, even when
        // an operation started meanwhile.
        const bool pollReply = m_unansweredPolls > 0 && !preliminary;
        if (pollReply)
            --m_unansweredPolls;
        if (m_currentIndex < 0 || pollReply) {
            // A reply outside any operation (an idle poll): only the idle timer restarts.
            // A poll answered in step is what a completed operation is to
            // the bound on getting back in step: the count starts again.
            if (m_currentIndex < 0 && !preliminary)
                m_resyncs = 0;
            if (m_currentIndex < 0 && m_sessionActive)
                StartIdleTimer();
            return;
        }
        if (m_passiveProbe && !preliminary) {
            EndPassiveProbe(); // the NOOP's reply, not the transfer's
            return;
        }
        if (m_currentAct == ActCustom && m_currentStep == -1) {
            QPointer<FtpCommander> self(this);
            const bool success = ReplyCodes::IsSuccess(code, CustomSuccessPatterns(m_currentSuccess));
            // A typed TYPE is in force once the server accepted it.
            const QChar typeAsked = preliminary ? QChar() : std::exchange(m_typeAsked, QChar());
            if (!typeAsked.isNull() && code.startsWith(QLatin1Char('2')))
                m_transferType = typeAsked == QLatin1Char('I') ? QLatin1Char('I') : QChar();
            emit Message(line);
            if (!self)
                return;
            if (success)
                IncrProc();
            else if (!code.startsWith(QLatin1Char('1'))) // a preliminary reply: the final one follows
                EndFtpMacro();
            return;
        }
        if (m_checkingStoredSize && m_currentStep == 33) {
            if (!preliminary) {
                m_checkingStoredSize = false;
                CheckStoredSize(code, line);
            }
            return;
        }
        if (IsHeldCheckReply()) {
            if (!preliminary)
                TakeHeldReply(code, line);
            return;
        }
        if (m_emptyQuestion != EmptyListingQuestion::None && TakeEmptyListingReply(code, line, preliminary))
            return;
        const bool upload = m_currentStep == 16 && (m_currentAct == ActSend || m_currentAct == ActResumeSend);
        bool success = ReplyCodes::IsSuccess(code, m_currentSuccess);
        if (!success && upload && !preliminary) {
            // Any reply the map lets the upload go on with ends it like its
            // success code: the file must have gone whole.
            const std::optional<QString> action =
                ReplyCodes::FindAction(ReplyCodes::ExpandDefault(m_currentMap, m_defaultMap), code);
            success = action && action->startsWith(QLatin1Char('I'));
        }
        if (success) {
            if (upload && !m_uploadFinished) {
                // The server took an early end of the data (a connection cut on
                // the way) for the end of the file.
                FailOperation(QStringLiteral("The data connection closed before the whole file was sent; the upload failed."));
                return;
            }
            if (m_currentStep == 13) {
                CloseControlQuietly();
                m_sessionActive = true;
                CloseSession();
                return;
            }
            if ((m_currentStep == 32 || m_currentStep == 33) && (m_currentAct == ActGet || m_currentAct == ActResumeGet)) {
                if (!ValidFtpDownload(line))
                    return;
            }
            if (m_currentStep == 18 && m_currentAct == ActSend) {
                if (ValidFtpUpload(line) < 1)
                    return;
            }
            if (m_currentStep == 34 || m_currentStep == 35)
                m_transferType = m_currentStep == 34 ? QLatin1Char('I') : QLatin1Char('A');
            if (m_currentStep == 7)
                m_restHeld = m_restAsked;
            QPointer<FtpCommander> self(this);
            const quint64 serial = m_operationSerial;
            emit Message(line);
            if (!self || serial != m_operationSerial)
                return;
            if (m_currentStep == 12) {
                EndFtpMacro();
                return;
            }
            if (upload) {
                // Whether the server holds the whole file: its size is asked next.
                m_checkingStoredSize = true;
                m_steps.insert(m_currentIndex + 1, 33);
            }
            IncrProc();
            return;
        }
        if (preliminary) {
            // Another reply follows: a preliminary one neither ends nor fails the command.
            emit Message(line);
            return;
        }
        if (m_currentStep == 18 && m_currentAct == ActSend && (code == QLatin1String("450") || code == QLatin1String("550"))) {
            ConfirmAbsenceBySize(); // STAT says the target is not there; SIZE has the last word
            return;
        }
        if (m_currentAct == ActResumeSend && m_currentStep == 32
            && (code.startsWith(QLatin1Char('4')) || code.startsWith(QLatin1Char('5')))) {
            IncrProc(); // the target may not be there yet
            return;
        }
        if (m_currentStep == 7 && m_resume) {
            FailOperation(QStringLiteral("The server refused to resume the transfer: ") + line);
            return;
        }
        FailBackAction(code, line);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSk_M_DataArrival"));
    }
}

void FtpCommander::FailBackAction(const QString &code, const QString &line)
{
    try {
        m_currentMap = ReplyCodes::ExpandDefault(m_currentMap, m_defaultMap);
        const std::optional<QString> found = ReplyCodes::FindAction(m_currentMap, code);
        // A refusal that ends the operation stays its reason, whatever the
        // abort's replies say.
        const auto keepRefusal = [&] {
            if (m_currentIndex >= 0 && (code.startsWith(QLatin1Char('4')) || code.startsWith(QLatin1Char('5'))))
                m_lastFailure = ReplyCodes::RefusalText(m_lastReply);
        };
        if (!found || found->isEmpty()) {
            keepRefusal();
            Abort();
            return;
        }
        const QString action = *found;
        QPointer<FtpCommander> self(this);
        switch (action[0].unicode()) {
        case 'I':
            IncrProc();
            break;
        case 'A':
            keepRefusal();
            Abort();
            break;
        case 'E':
            emit Message(line);
            if (!self)
                return;
            if (m_currentStep == 1 || m_currentStep == 2) {
                const bool again = AskCredentials();
                if (!self)
                    return;
                if (again && m_control.isConnected() && m_currentIndex >= 0) {
                    m_currentIndex = 0;
                    IncrProc();
                } else if (m_controlOpen || m_sessionActive) {
                    m_sessionActive = true;
                    CloseSession();
                }
            } else {
                EndFtpMacro();
            }
            break;
        case 'Q':
            m_sessionActive = true;
            CloseSession();
            break;
        case 'R':
            if ((m_currentAct == ActGetFromServer && m_currentStep == 11)
                || (m_currentAct == ActStoreToServer && m_currentStep == 16)) {
                // One half of a copy between two servers is never sent again:
                // the other server's data connection is gone with this try.
                emit Message(line);
                if (self)
                    EndFtpMacro();
                break;
            }
            RepeatStep(line);
            break;
        case 'G':
            // A jump back to an earlier step that the server keeps refusing
            // would loop for ever: jumps are capped like repeats.
            if (m_jumps >= std::max(1, m_maxConnectionTry)) {
                FailOperation(QStringLiteral("The server did not accept the command after %1 attempts; the operation failed.")
                                  .arg(m_jumps + 1));
                break;
            }
            ++m_jumps;
            JumpProc(action.mid(1).trimmed().toInt());
            break;
        case 'N':
            emit Message(line);
            break;
        default:
            ShowMessage(nullptr, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Why this :") + action + QStringLiteral("  ??"));
            if (self)
                EndFtpMacro(); // an unknown action would otherwise leave the operation hanging
            break;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FailBackAction"));
    }
}

void FtpCommander::RepeatStep(const QString &reply)
{
    const int cap = IsNonIdempotent(m_currentStep) ? 1 : m_maxConnectionTry;
    if (m_repeats >= cap) {
        if (!m_owed.isEmpty()) {
            // The last attempt went unanswered: a reply that comes later would
            // be taken for the next command's. The session ends.
            DropSession(11, QStringLiteral("The server did not answer the command after %1 attempts.").arg(m_repeats + 1));
            return;
        }
        // A transfer the server took but whose data connection failed every
        // time is no refusal of the command.
        const bool transfer = m_currentStep == 11 || m_currentStep == 16;
        if (transfer && reply.startsWith(QLatin1String("426")))
            FailOperation(QStringLiteral("The data connection was cut in each of %1 attempts; the transfer failed (%2)")
                              .arg(m_repeats + 1)
                              .arg(reply));
        else if (transfer && reply.startsWith(QLatin1String("425")))
            FailOperation(QStringLiteral("The data connection could not be opened in any of %1 attempts; the transfer "
                                         "failed (%2)")
                              .arg(m_repeats + 1)
                              .arg(reply));
        else
            FailOperation(QStringLiteral("The server did not accept the command after %1 attempts; the operation failed.")
                              .arg(m_repeats + 1));
        return;
    }
    ++m_repeats;
    m_repeating = true;
    ExecuteStep(m_currentStep);
}

void FtpCommander::IncrProc()
{
    try {
        m_connectionAttempts = 0;
        if (m_currentIndex < 0) {
            if (m_sessionActive)
                StartIdleTimer();
            return;
        }
        const bool afterList = m_currentStep == 10;
        const bool afterRetr = m_currentStep == 11;
        ++m_currentIndex;
        if (m_currentIndex < m_steps.size()) {
            ExecuteStep(m_steps[m_currentIndex]);
            return;
        }
        if ((afterList || (afterRetr && m_currentAct != ActGetFromServer))) {
            BeginTransferWait(afterList);
            return;
        }
        CompleteMacro();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("IncrProc"));
    }
}

void FtpCommander::CompleteMacro()
{
    m_resyncs = 0; // the replies came in order up to the end of an operation
    m_waitingForTransfer = false;
    m_emptyQuestion = EmptyListingQuestion::None;
    m_lastCmdSucces = true;
    m_lastAct = m_currentAct;
    m_currentIndex = -1;
    // The data of a copy between two servers never passes here: its end says the whole file went.
    const bool serverCopyDone = (m_currentAct == ActGetFromServer || m_currentAct == ActStoreToServer)
                                && m_expectedSize > 0 && m_bytesDone < m_expectedSize;
    if (serverCopyDone)
        m_bytesDone = m_expectedSize;
    if (m_currentAct == ActLogin)
        m_sessionActive = true;
    m_steps.clear();
    m_busy = false;
    // Armed before JobDone, so an operation the host starts there keeps its own time-out.
    StartIdleTimer();
    QPointer<FtpCommander> self(this);
    if (serverCopyDone)
        emit StatusChanged();
    // The server's final reply confirms every byte of an upload.
    if (self && (m_lastAct == ActSend || m_lastAct == ActResumeSend))
        emit DataProgress(m_bytesDone);
    if (self)
        emit JobDone();
}

void FtpCommander::EndFtpMacro()
{
    try {
        if (m_currentIndex >= 0 && m_control.isConnected() && !m_quitting && (m_abortPending || !m_owed.isEmpty())) {
            // The server may still owe replies: the operation ends once the
            // session is in step again, before anything else is sent.
            Abort();
            return;
        }
        const bool shownBytesChanged = KeepConfirmedUploadBytes();
        m_emptyQuestion = EmptyListingQuestion::None;
        m_connectionAttempts = 0;
        m_dataConnected = false;
        m_waitingForTransfer = false;
        m_lastCmdSucces = false;
        m_lastAct = m_currentAct;
        m_steps.clear();
        m_currentIndex = -1;
        m_busy = false;
        m_data.close();
        CloseFile();
        m_givenFile.reset();
        CloseListingFile();
        StartIdleTimer();
        QPointer<FtpCommander> self(this);
        if (shownBytesChanged)
            emit StatusChanged();
        if (self)
            emit JobDone();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("EndFtpMacro"));
    }
}

void FtpCommander::FailOperation(const QString &message)
{
    if (m_currentIndex >= 0)
        m_lastFailure = message;
    QPointer<FtpCommander> self(this);
    emit Message(message);
    if (!self)
        return;
    if (m_currentIndex >= 0)
        EndFtpMacro();
    else if (m_sessionActive)
        StartIdleTimer(); // an idle poll that could not go out: no operation ends
}

void FtpCommander::JumpProc(int step)
{
    try {
        m_connectionAttempts = 0;
        ExecuteStep(step);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("JumpProc"));
    }
}

void FtpCommander::TakeAbortReply(const QString &code, const QString &line)
{
    // Before PWD's reply come one for each command owed when ABOR went out
    // (a transfer's may be folded into ABOR's), then ABOR's: one, or the
    // transfer's 426 and then 226. Only PWD's answers 257 by then; a refusal
    // is PWD's once ABOR has had a positive answer and each command before
    // PWD a reply: a transfer's own 226 may come before ABOR's refusal (a
    // server without ABOR), so a 226 that may be ABOR's is not enough.
    const int before = m_abortReplies++;
    const bool refusal = code.startsWith(QLatin1Char('4')) || code.startsWith(QLatin1Char('5'));
    bool marker = false;
    if (before >= m_abortOwed - (m_abortMayFold ? 1 : 0)) {
        marker = !m_markerDeferred
                 && (code == QLatin1String("257") || (refusal && m_abortAnswered && before > m_abortOwed));
        if (code.startsWith(QLatin1Char('2')))
            m_abortAnswered = true;
        if (!marker && !refusal && code != QLatin1String("426") && !ReplyCodes::CanAnswer(QStringLiteral("ABOR"), code)
            && !ReplyCodes::CanAnswer(m_records[6].Verb, code))
            m_abortStray = line; // the server replies, but not to what was sent
    }
    if (marker) {
        // Replies are in order: nothing written up to PWD is owed any more.
        m_abortPending = false;
        m_lateTransferEnd = m_abortMayFold && before < m_abortOwed + 1;
        m_owed.remove(0, std::min<qsizetype>(m_owed.size(), m_abortOwed + 2));
        m_unansweredPolls = 0;
    }
    QPointer<FtpCommander> self(this);
    emit Message(line);
    if (!self)
        return;
    if (marker)
        AfterAbortMarker();
    else if (m_abortPending && m_markerDeferred)
        SendAbortMarker(); // whichever came first, the transfer's reply or ABOR's, the transfer has ended
}

// The end marker behind ABOR: PWD, which no command in flight answers 257.
void FtpCommander::SendAbortMarker()
{
    m_markerDeferred = false;
    SendFtpCommand(m_records[6].Verb, m_records[6].SuccessCodes, QString());
}

// The abort's replies are all in: the session is in step again.
void FtpCommander::AfterAbortMarker()
{
    if (m_currentIndex < 0) {
        if (m_sessionActive)
            StartIdleTimer();
        return;
    }
    if (m_abortSerial != m_operationSerial)
        return; // an operation started meanwhile: its replies follow
    const int step = std::exchange(m_stepAgain, -1);
    if (step < 0) {
        EndFtpMacro();
        return;
    }
    // The step whose reply went astray is asked again, when asking again
    // changes nothing on the server and needs no data connection.
    static const QList<int> askable{5, 6, 8, 9, 14, 18, 20, 32, 33, 34, 35};
    if (!askable.contains(step)) {
        FailOperation(m_resyncReason);
        return;
    }
    ExecuteStep(step);
}

// Starts ABOR and its end marker; once the marker is answered, the step is
// asked again (`stepAgain` >= 0) or the operation ends.
void FtpCommander::AbortThen(int stepAgain)
{
    try {
        if (m_currentIndex < 0)
            return;
        if (m_abortPending) {
            // ABOR went out once (a second one's replies could not be told
            // from the first's): its marker, or its time-out, ends the
            // operation, whatever step was to be asked again.
            m_abortSerial = m_operationSerial;
            m_stepAgain = -1;
            return;
        }
        m_stepAgain = stepAgain;
        m_dataConnected = true;
        m_waitingForTransfer = false;
        m_preliminarySeen = false; // the replies that follow are the abort's, not a transfer's
        StopTimer();
        m_data.close();
        CloseFile();
        CloseListingFile();
        if (!m_control.isConnected()) {
            CloseControlQuietly(); // a connection still being made is given up too
            EndFtpMacro();
            return;
        }
        JumpProc(12);
        emit StatusChanged();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Abort"));
    }
}

void FtpCommander::Abort()
{
    AbortThen(-1);
}

// A reply the oldest waiting command cannot give: which reply answers which
// command is no longer known. The abort's marker finds the end of what the
// server still says; only then does the session go on.
void FtpCommander::GetBackInStep(const QString &line)
{
    m_resyncReason = QStringLiteral("The server's reply \"%1\" does not answer %2.").arg(line, m_owed.constFirst());
    LogErrorToFile(kObject, QStringLiteral("WSk_M_DataArrival"), 0, m_resyncReason);
    if (m_resyncs >= std::max(1, m_maxConnectionTry)) {
        // Each abort found its end, and still the next reply answered
        // another command: a server that leaves a reply behind every abort
        // would keep this going for ever, an idle session's polls too. A new
        // session starts clean.
        EndSessionOutOfStep(QStringLiteral("The server's replies could not be put in order (its reply \"%1\" does "
                                           "not answer %2); the session was ended.")
                                .arg(line, m_owed.constFirst()));
        return;
    }
    ++m_resyncs;
    if (m_currentIndex >= 0) {
        AbortThen(m_currentStep);
    } else if (m_control.isConnected()) {
        m_stepAgain = -1;
        ExecuteStep(12);
    }
}

// Which reply answers which command cannot be told any more: only a new
// session is sure to be in step.
void FtpCommander::EndSessionOutOfStep(const QString &reason)
{
    // A cause the operation met first (a refusal, a local file) stays its reason.
    if (m_currentIndex >= 0 && m_lastFailure.isEmpty())
        m_lastFailure = reason;
    m_endedSessionReason = reason;
    LogErrorToFile(kObject, QStringLiteral("EndSessionOutOfStep"), 11,
                   QStringLiteral("%1:%2 %3").arg(m_serverUrl).arg(m_port).arg(reason));
    DropSession(11, reason);
}

void FtpCommander::IgnoreReply(const QString &line)
{
    LogErrorToFile(kObject, QStringLiteral("WSk_M_DataArrival"), 0,
                   QStringLiteral("A reply that answers no command was ignored: ") + line);
    if (m_currentIndex < 0 && m_sessionActive && !m_timer->isActive())
        StartIdleTimer();
}

void FtpCommander::StartIdleTimer()
{
    ArmTimer(QStringLiteral("ALIVE"), 2000, 60000);
    emit StatusChanged();
}

bool FtpCommander::AskCredentials()
{
    // The refusal was the reply: nothing is owed while the user answers, so
    // no time-out may resend the refused credentials meanwhile. The next
    // command, or the end of the session, sets the timer again.
    StopTimer();
    QPointer<FtpCommander> self(this);
    bool again = false;
    bool modal = true;
    emit NotifyModal(modal);
    if (!self)
        return false;
    try {
        QString user = m_user;
        QString password = m_password;
        if (m_loginHandler)
            again = m_loginHandler->askCredentials(*this, m_serverUrl, user, password);
        if (!self)
            return false;
        if (again) {
            setUser(user);
            setPassword(password);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("AskCredentials"));
        again = false;
    }
    if (!self)
        return false;
    modal = false;
    emit NotifyModal(modal);
    return again && self;
}

// What the server holds under a name: SIZE in binary mode, MDTM where SIZE is
// not understood (or where the time is asked for too). One reading of the
// replies for the host's question (FTP_FILE_SIZE) and an upload's overwrite check.
#include "FtpCommander.h"

#include "ReplyCodes.h"

void FtpCommander::StartHeldCheck(bool withTime)
{
    m_heldCheck = true;
    m_heldWithTime = withTime;
    m_heldTypeSet = false;
    m_held = HeldFile{};
    // Servers refuse SIZE in ASCII mode; a type the server accepted holds.
    ExecuteStep(m_transferType == QLatin1Char('I') ? 33 : 34);
}

bool FtpCommander::IsHeldCheckReply() const
{
    return m_heldCheck && m_currentIndex >= 0 && m_currentStep >= 32 && m_currentStep <= 35;
}

void FtpCommander::TakeHeldReply(const QString &code, const QString &line)
{
    QPointer<FtpCommander> self(this);
    const quint64 serial = m_operationSerial;
    emit Message(line);
    if (!self || serial != m_operationSerial || m_currentIndex < 0)
        return;
    const bool found = code == QLatin1String("213");
    const auto refusal = [&] {
        return ReplyCodes::NotUnderstood(code) ? HeldFile::Answer::CannotTell
             : code == QLatin1String("550")    ? HeldFile::Answer::NoFile
                                               : HeldFile::Answer::Refused;
    };
    switch (m_currentStep) {
    case 34:
        if (code.startsWith(QLatin1Char('2'))) {
            // Put back afterwards, unless the operation sets its own type before its transfer.
            bool laterStepSetsType = false;
            for (qsizetype i = m_currentIndex + 1; i < m_steps.size() && m_steps[i] != 11 && m_steps[i] != 16; ++i)
                laterStepSetsType = laterStepSetsType || m_steps[i] == 34 || m_steps[i] == 35;
            m_heldTypeSet = m_transferType != QLatin1Char('I') && !laterStepSetsType;
            m_transferType = QLatin1Char('I');
            ExecuteStep(33);
        } else {
            ExecuteStep(32); // SIZE in another type proves nothing
        }
        return;
    case 33:
        m_held.reply = line;
        if (found) {
            m_held.answer = HeldFile::Answer::File;
            m_held.size = ReplyCodes::SizeInReply(line);
            if (m_heldWithTime) {
                ExecuteStep(32);
                return;
            }
        } else if (ReplyCodes::NotUnderstood(code)) {
            ExecuteStep(32);
            return;
        } else {
            m_held.answer = refusal();
        }
        break;
    case 32:
        if (found) {
            m_held.answer = HeldFile::Answer::File;
            m_held.time = line.mid(4).trimmed();
            m_held.reply = line;
        } else if (!m_held.isFile()) {
            m_held.answer = refusal();
            m_held.reply = line;
        }
        break;
    case 35:
        if (code.startsWith(QLatin1Char('2')))
            m_transferType = QLatin1Char('A');
        EndHeldCheck();
        return;
    default:
        return;
    }
    if (std::exchange(m_heldTypeSet, false)) {
        ExecuteStep(35); // the type in force before
        return;
    }
    EndHeldCheck();
}

void FtpCommander::EndHeldCheck()
{
    m_heldCheck = false;
    if (m_currentAct == ActResumeSend) {
        // Without a size the file is sent whole.
        ResumeSendAt(m_held.isFile() ? m_held.size : -1);
    } else if (m_currentAct == ActSend) {
        // An upload's overwrite check: only a name that holds nothing is no question.
        if (m_held.answer == HeldFile::Answer::NoFile || AskUploadOverwrite() >= 1)
            IncrProc();
        return;
    }
    IncrProc();
}

// Some servers list nothing in a STAT reply for paths they cannot take as a
// listing argument (a space in the path), however the file stands: SIZE has
// the last word.
void FtpCommander::ConfirmAbsenceBySize()
{
    if (m_currentIndex < 0 || m_heldCheck)
        return;
    if (m_heldGiven.answer != HeldFile::Answer::Unknown) {
        // The caller asked right before this operation: its answer stands.
        m_held = std::exchange(m_heldGiven, HeldFile{});
        EndHeldCheck();
        return;
    }
    StartHeldCheck(false);
}

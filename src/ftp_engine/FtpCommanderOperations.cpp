// The public operations: each prepares the engine's state and starts a macro.
#include "FtpCommander.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "Prompts.h"
#include "StorageProbe.h"
#include "TextCodec.h"

#include <QFileInfo>

namespace {

const QString kObject = QStringLiteral("FtpCommander");

// Remote paths and local paths on this platform both use "/"; a doubled
// separator is collapsed.
QString CollapseSlashes(QString path)
{
    path.replace(QStringLiteral("//"), QStringLiteral("/"));
    return path;
}

} // namespace

void FtpCommander::StartSession()
{
    try {
        if (m_portFirst == -1 || m_portWidth == -1) {
            ShowMessage(nullptr, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Invalid configuration!"));
            return;
        }
        if (m_sessionActive)
            return;
        m_replyLines.clear();
        m_systemType = 0;
        m_connectionAttempts = 0;
        // The log-in's REST asks for no offset: one left from an earlier
        // resume would be kept by the server for the next transfer.
        m_resumeOffset = 0;
        m_currentAct = ActLogin;
        m_quitting = false;
        ExecuteFtpMacro(ActLogin);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("StartSession"));
    }
}

void FtpCommander::CloseSession()
{
    try {
        ++m_operationSerial;
        KeepConfirmedUploadBytes();
        m_data.close();
        CloseFile();
        CloseListingFile();
        m_steps.clear();
        m_currentIndex = -1;
        m_busy = false;
        m_waitingForTransfer = false;
        const bool wasActive = m_sessionActive;
        const bool raise = wasActive || (m_controlOpen && !m_quitting);
        StopTimer();
        if (m_control.isConnected() && !m_quitting) {
            // QUIT once; its reply, a close by the server or the grace time closes the socket.
            m_quitting = true;
            m_currentStep = 13;
            const QString command = m_records[13].Verb;
            m_control.write(TextCodec::Encode(command) + "\r\n");
            ++m_commandsWritten;
            ArmTimer(QStringLiteral("QUIT"), 1000, kQuitGraceMs);
            emit CommandSent(QString(), command);
        } else if (!m_quitting) {
            CloseControlQuietly();
        }
        m_sessionActive = false;
        emit StatusChanged();
        if (raise)
            emit FtpDisconnect();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CloseSession"));
    }
}

void FtpCommander::FTP_CHG_DIR(const QString &path)
{
    try {
        if (!m_sessionActive)
            return;
        m_expectedSize = 0;
        m_remotePath = path;
        ExecuteFtpMacro(ActChangeDir);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_CHG_DIR"));
    }
}

void FtpCommander::FTP_LIST_DIR(EmptyListing empty)
{
    try {
        if (!m_sessionActive)
            return;
        m_expectedSize = 0;
        m_listingRetried = false;
        m_listingUnread = false;
        m_emptyListing = empty;
        if (m_listingAllowed)
            ExecuteFtpMacro(ActList);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_LIST_DIR"));
    }
}

// A new transfer starts from a closed local file; done counts the bytes
// already at the destination.
void FtpCommander::SetUpTransfer(const QString &remoteFile, const QString &localFile, qint64 size, qint64 done)
{
    CloseFile();
    m_remoteFile = remoteFile;
    m_localFilePath = localFile;
    m_expectedSize = size;
    m_bytesDone = m_confirmedBytes = m_bytesSent = done;
    m_resumeOffset = 0; // a resume sets its own
    m_heldGiven = {};
    m_givenFile.reset();
}

void FtpCommander::FTP_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size,
                                bool abortOnDateChange)
{
    try {
        if (!m_sessionActive)
            return;
        // The existing local file stays until the new download has data to write.
        m_abortOnDateChange = abortOnDateChange;
        m_expectedDate.clear(); // a fresh download learns the remote date; it is not held to an earlier one
        SetUpTransfer(remoteFile, localFile, size, 0);
        m_transferPosition = 0;
        m_autoResumes = 0;
        const QFileInfo target(localFile);
        QString folder = target.absolutePath();
        const StorageState storage = ProbeStorage(folder);
        const qint64 reusable = target.exists() ? target.size() : 0;
        if (size > 0 && storage.freeBytes >= 0 && storage.freeBytes + reusable < size) {
            m_currentAct = ActGet;
            m_lastCmdSucces = false;
            m_lastFailure = QStringLiteral("Destination drive does not have enough free space!");
            QPointer<FtpCommander> self(this);
            emit Error(10, m_lastFailure, false);
            if (self)
                EndFtpMacro();
            return;
        }
        ExecuteFtpMacro(ActGet);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_GET_FILE"));
    }
}

void FtpCommander::FTP_RES_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size,
                                    const QString &expectedDate, bool abortOnDateChange)
{
    try {
        const QFileInfo local(localFile);
        if (!local.exists()) {
            FTP_GET_FILE(remoteFile, localFile, size, true);
            return;
        }
        if (!m_sessionActive)
            return;
        m_abortOnDateChange = abortOnDateChange;
        m_expectedDate = expectedDate;
        SetUpTransfer(remoteFile, localFile, size, local.size());
        m_resumeOffset = m_transferPosition = m_bytesDone;
        m_autoResumes = 0;
        ExecuteFtpMacro(ActResumeGet);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_RES_GET_FILE"));
    }
}

void FtpCommander::FTP_CUSTOM_COMMAND(const QString &command, const QString &statusText, const QString &replyRule)
{
    try {
        if (!m_sessionActive)
            return;
        ++m_operationSerial;
        m_resume = false;
        m_busy = true;
        m_lastCmdSucces = false;
        m_replyLines.clear();
        m_steps = {-1};
        m_currentIndex = 0;
        m_currentStep = -1;
        m_repeats = 0;
        m_currentAct = ActCustom;
        const QString verb = command.section(QLatin1Char(' '), 0, 0).toUpper();
        m_typeAsked = QChar();
        if (verb == QLatin1String("TYPE")) {
            // In force once the server accepts it; another type than I leaves the type unknown.
            const QString type = command.section(QLatin1Char(' '), 1).trimmed().toUpper();
            m_typeAsked = type == QLatin1String("I") ? QLatin1Char('I') : QLatin1Char('?');
        } else if (verb == QLatin1String("REIN") || verb == QLatin1String("USER")) {
            m_transferType = QChar(); // a new login starts in the server's default type
        }
        SendFtpCommand(command, replyRule, statusText);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_CUSTOM_COMMAND"));
    }
}

void FtpCommander::FTP_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size,
                                 bool confirmOverwrite, const HeldFile &held, std::unique_ptr<QFile> opened)
{
    try {
        if (!m_sessionActive)
            return;
        SetUpTransfer(CollapseSlashes(remoteFile), CollapseSlashes(localFile), size, 0);
        m_heldGiven = held;
        m_givenFile = std::move(opened);
        if (confirmOverwrite)
            ExecuteFtpMacro(ActSend, QStringLiteral("18,") + m_macros.value(ActSend));
        else
            ExecuteFtpMacro(ActSend);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_SEND_FILE"));
    }
}

void FtpCommander::FTP_RES_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size,
                                     qint64 &offset, const HeldFile &held, std::unique_ptr<QFile> opened)
{
    try {
        if (!m_sessionActive)
            return;
        SetUpTransfer(CollapseSlashes(remoteFile), CollapseSlashes(localFile), size, offset);
        m_givenFile = std::move(opened);
        m_resumeOffset = offset;
        if (held.answer == HeldFile::Answer::Unknown) {
            ExecuteFtpMacro(ActResumeSend);
            return;
        }
        // The caller's answer is where the server's copy ends: its MDTM and
        // SIZE before the transfer are not asked again.
        ResumeSendAt(held.isFile() ? held.size : -1);
        QStringList steps = m_macros.value(ActResumeSend).split(QLatin1Char(','));
        steps.removeIf([](const QString &step) {
            const QString number = step.trimmed();
            return number == QLatin1String("32") || number == QLatin1String("33");
        });
        ExecuteFtpMacro(ActResumeSend, steps.join(QLatin1Char(',')));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_RES_SEND_FILE"));
    }
}

// The delete and make-directory operations: one path, collapsed, into the
// member the macro's command step sends.
void FtpCommander::StartPathOperation(int action, const QString &procedure, QString &slot, const QString &path)
{
    try {
        if (!m_sessionActive)
            return;
        slot = CollapseSlashes(path);
        ExecuteFtpMacro(action);
    } catch (...) {
        LogCurrentException(kObject, procedure);
    }
}

void FtpCommander::FTP_REN_FILE(const QString &oldPath, const QString &newPath)
{
    try {
        if (!m_sessionActive)
            return;
        m_sourcePath = CollapseSlashes(oldPath);
        m_targetPath = CollapseSlashes(newPath);
        ExecuteFtpMacro(ActRename);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_REN_FILE"));
    }
}

void FtpCommander::FTP_DEL_FILE(const QString &path)
{
    StartPathOperation(ActDelete, QStringLiteral("FTP_DEL_FILE"), m_sourcePath, path);
}

void FtpCommander::FTP_DEL_DIR(const QString &path)
{
    StartPathOperation(ActRemoveDir, QStringLiteral("FTP_DEL_DIR"), m_sourcePath, path);
}

void FtpCommander::FTP_MAKE_DIR(const QString &path)
{
    StartPathOperation(ActMakeDir, QStringLiteral("FTP_MAKE_DIR"), m_targetPath, path);
}

void FtpCommander::FTP_GetFromOtherServer(const QString &remoteFile, qint64 size, const QString &peerAddress,
                                          long peerPort)
{
    try {
        if (!m_sessionActive)
            return;
        m_peerAddress = peerAddress;
        m_peerPort = peerPort;
        SetUpTransfer(remoteFile, QString(), size, 0);
        ExecuteFtpMacro(ActGetFromServer);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_GetFromOtherServer"));
    }
}

void FtpCommander::FTP_StoreFromServer(const QString &remoteFile, qint64 size)
{
    try {
        if (!m_sessionActive)
            return;
        SetUpTransfer(CollapseSlashes(remoteFile), QString(), size, 0);
        ExecuteFtpMacro(ActStoreToServer);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_StoreFromServer"));
    }
}

void FtpCommander::FTP_FILE_SIZE(const QString &remoteFile, bool withTime)
{
    try {
        m_held = HeldFile{};
        if (!m_sessionActive)
            return;
        SetUpTransfer(CollapseSlashes(remoteFile), QString(), 0, 0);
        m_heldWithTime = withTime;
        ExecuteFtpMacro(ActFileSize);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FTP_FILE_SIZE"));
    }
}

void FtpCommander::OtherServerEnded()
{
    const bool copyPart = (m_currentAct == ActGetFromServer && m_currentStep == 11)
                       || (m_currentAct == ActStoreToServer && m_currentStep == 16);
    if (!m_sessionActive || m_currentIndex < 0 || !copyPart || m_abortPending || m_otherServerEnded)
        return;
    m_otherServerEnded = true;
    // Before the first reply the command's own time-out runs; the reply that
    // opens the transfer then hands over to this one (see WSk_M_DataArrival).
    if (m_timerMode != QLatin1String("CMD"))
        ArmOtherServerWait();
}

void FtpCommander::DataConnectionOk()
{
    try {
        // Once STOR is out the timer is its reply time-out and stays so.
        if (m_sessionActive && m_currentAct == ActStoreToServer && m_currentIndex >= 0 && m_currentStep != 16)
            ArmTimer(QStringLiteral("FTP_STOR"), 1000, 0);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("DataConnectionOk"));
    }
}

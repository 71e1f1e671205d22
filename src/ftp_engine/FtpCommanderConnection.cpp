// The control connection and the engine's timer.
#include "FtpCommander.h"

#include "ErrorLog.h"

#include <algorithm>

namespace {

const QString kObject = QStringLiteral("FtpCommander");

} // namespace

void FtpCommander::NewConnection()
{
    try {
        if (m_connectionAttempts < m_maxConnectionTry) {
            ++m_connectionAttempts;
            QPointer<FtpCommander> self(this);
            const quint64 serial = m_operationSerial;
            emit Message(QStringLiteral("Trying to connect ") + m_serverUrl + QStringLiteral(" [ ")
                         + QString::number(m_connectionAttempts) + QStringLiteral(" of total ")
                         + QString::number(m_maxConnectionTry) + QLatin1Char(']'));
            if (!self || serial != m_operationSerial)
                return;
            m_control.close();
            m_reader.reset();
            m_lastFailure.clear(); // an earlier attempt's reason is not this one's
            m_unansweredPolls = 0;
            m_restHeld = 0; // a new session holds no restart offset
            m_abortPending = false;
            m_openReply.clear();
            m_owed = {QString()}; // the greeting
            m_controlOpen = true;
            m_quitting = false;
            m_awaitingGreeting = true;
            m_transferType = QChar(); // a new connection starts in the server's default type
            emit StatusChanged();
            QString host = m_serverUrl;
            host.remove(QStringLiteral("ftp://"), Qt::CaseInsensitive);
            m_currentMap = m_records[0].ReplyMap;
            m_currentSuccess = m_records[0].SuccessCodes;
            ArmTimer(QStringLiteral("CON"), 1000, static_cast<qint64>(m_connectionTimeout) * 1000);
            const quint16 port = (m_port > 0 && m_port <= 65535) ? static_cast<quint16>(m_port) : 0;
            m_control.connectTo(host, port);
        } else {
            StopTimer();
            m_control.close();
            m_reader.reset();
            m_controlOpen = false;
            m_awaitingGreeting = false;
            m_steps.clear();
            m_currentIndex = -1;
            m_busy = false;
            emit StatusChanged();
            emit ConnectionFailed();
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("NewConnection"));
    }
}

void FtpCommander::WSk_M_Connect()
{
    try {
        StopTimer();
        QPointer<FtpCommander> self(this);
        emit StatusChanged();
        emit FtpConnect();
        // The greeting has its own time-out; a silent server counts as a failed attempt.
        if (self && m_awaitingGreeting && m_control.isConnected() && !m_timer->isActive())
            ArmTimer(QStringLiteral("GREET"), 1000, static_cast<qint64>(m_commandTimeout) * 1000);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSk_M_Connect"));
    }
}

void FtpCommander::WSK_M_Close()
{
    try {
        if (m_quitting) {
            CloseControlQuietly();
            return;
        }
        DropSession(0, QString());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSK_M_Close"));
    }
}

void FtpCommander::WSk_M_Error(const QString &description)
{
    try {
        if (m_quitting) {
            CloseControlQuietly();
            return;
        }
        if (m_timerMode == QLatin1String("CON")) {
            // The attempt failed (refused, unresolvable): it counts as one attempt.
            StopTimer();
            m_lastFailure = description; // the reason, should it be the last attempt
            QPointer<FtpCommander> self(this);
            emit Message(description);
            if (!self)
                return;
            const quint64 serial = m_operationSerial;
            QMetaObject::invokeMethod(
                this,
                [this, serial] {
                    if (serial == m_operationSerial && m_currentIndex == 0 && m_currentStep == 0)
                        NewConnection();
                },
                Qt::QueuedConnection);
            return;
        }
        DropSession(11, description);
    } catch (...) {
        // a failing error handler is not logged
    }
}

void FtpCommander::DropSession(long errorCode, const QString &description)
{
    CloseControlQuietly();
    m_sessionActive = true;
    QPointer<FtpCommander> self(this);
    if (errorCode != 0) {
        emit Error(errorCode, description, true);
        if (!self)
            return;
    }
    CloseSession();
}

void FtpCommander::CloseControlQuietly()
{
    m_control.close();
    m_reader.reset();
    m_unansweredPolls = 0;
    m_owed.clear();
    m_abortPending = false;
    m_controlOpen = false;
    m_quitting = false;
    m_awaitingGreeting = false;
    if (m_timerMode == QLatin1String("QUIT") || m_timerMode == QLatin1String("GREET")
        || m_timerMode == QLatin1String("CON"))
        StopTimer();
    emit StatusChanged();
}

void FtpCommander::WSk_M_DataArrival()
{
    try {
        const QByteArray bytes = m_control.readAll();
        if (bytes.isEmpty())
            return;
        QPointer<FtpCommander> self(this);
        m_packetFromData = false;
        emit DataPacket(bytes.size());
        if (!self)
            return;
        // The time-out keeps running: a reply's time counts from when its command
        // was written (the greeting's from the connection), however it trickles in.
        const bool wasGreeting = m_timerMode == QLatin1String("GREET");
        const QList<ReplyReader::Line> lines = m_reader.feed(bytes);
        const quint64 written = m_commandsWritten;
        for (const ReplyReader::Line &line : lines) {
            // Lines read before a command was written cannot be its reply,
            // but they still answer the commands written before them: once
            // one goes out while these lines are handled, a line that no
            // earlier command waits for is only reported.
            const auto newer = static_cast<qsizetype>(m_commandsWritten - written);
            if (newer == 0 || m_owed.size() > newer)
                HandleReplyLine(line);
            else
                ReportStrayLine(line);
            if (!self || !m_controlOpen)
                return;
        }
        if (m_reader.fault() != ReplyReader::Fault::None) {
            const QString what = m_reader.fault() == ReplyReader::Fault::LineTooLong
                                     ? QStringLiteral("The server sent a reply line longer than 8 KiB.")
                                     : QStringLiteral("The server sent a reply larger than 1 MiB.");
            DropSession(11, what);
            return;
        }
        if (m_quitting)
            return;
        const bool transferring = m_currentIndex >= 0 && (m_waitingForTransfer || m_preliminarySeen);
        const bool serversCopy = m_currentIndex >= 0 && m_preliminarySeen
                                 && (m_dataTag == QLatin1String("SF") || m_dataTag == QLatin1String("FF"));
        if (m_timer->isActive()) {
            // The transfer began with this reply: from now on only data bytes keep it alive.
            if (m_timerMode == QLatin1String("CMD") && transferring) {
                if (serversCopy && m_otherServerEnded)
                    ArmOtherServerWait();
                else if (serversCopy)
                    StopTimer(); // the two servers copy between themselves: no byte passes here to time
                else
                    ArmTimer(QStringLiteral("XFER"), 2000, TransferWaitSeconds() * 1000);
            }
            return;
        }
        // Still waiting for the rest of a reply: keep a time-out running.
        if (wasGreeting || m_awaitingGreeting) {
            m_timerMode = QStringLiteral("GREET"); // the greeting's deadline stands
            m_timer->start(1000);
        } else if (serversCopy)
            return;
        else if (transferring)
            ArmTimer(QStringLiteral("XFER"), 2000, TransferWaitSeconds() * 1000);
        else if (m_currentIndex >= 0)
            ArmTimer(QStringLiteral("CMD"), 2000, static_cast<qint64>(m_commandTimeout) * 1000);
        else if (m_sessionActive)
            StartIdleTimer();
    } catch (...) {
        // the reply reader leaves at an error without a log line
    }
}

void FtpCommander::ReportStrayLine(const ReplyReader::Line &line)
{
    QPointer<FtpCommander> self(this);
    if (!line.text.isEmpty()) {
        emit ServerReplied(QString::number(line.code), line.text);
        if (!self)
            return;
    }
    if (line.final && line.code == 421) {
        // The server is closing the connection, whatever the reply answered.
        emit Message(line.text);
        if (self)
            DropSession(0, QString());
    }
}

void FtpCommander::OnTimerTick()
{
    try {
        const QString mode = m_timerMode;
        QPointer<FtpCommander> self(this);
        if (mode == QLatin1String("CON")) {
            if (TimeIsUp())
                NewConnection();
        } else if (mode == QLatin1String("GREET")) {
            if (TimeIsUp()) {
                emit ReplyTimedOut(m_commandTimeout);
                if (!self)
                    return;
                m_lastFailure = QStringLiteral("No greeting from the server.");
                emit Message(m_lastFailure);
                if (self)
                    NewConnection();
            }
        } else if (mode == QLatin1String("CMD")) {
            if (m_abortPending && m_markerDeferred) {
                // No reply since ABOR by the first tick: a server that reads
                // ABOR in the middle of a transfer has answered by now, and
                // one that answers ABOR only once it reads the next command,
                // or never, needs the marker to come out in step. The abort's
                // time-out stands.
                const qint64 deadline = m_deadline;
                SendAbortMarker();
                if (!self)
                    return;
                if (m_timerMode == QLatin1String("CMD"))
                    m_deadline = deadline;
            }
            if (!TimeIsUp())
                return;
            StopTimer(); // one report per time-out, whatever the host does meanwhile
            if (m_abortPending && !m_abortStray.isEmpty()) {
                // The server did reply, and its replies answer nothing that was sent.
                EndSessionOutOfStep(QStringLiteral("The server's replies did not answer the commands sent (its reply "
                                                   "\"%1\" answers neither ABOR nor %2); the session was ended.")
                                        .arg(m_abortStray, m_records[6].Verb));
                return;
            }
            const quint64 serial = m_operationSerial;
            emit ReplyTimedOut(m_commandTimeout);
            if (!self || serial != m_operationSerial)
                return;
            if (m_abortPending) {
                // Sent again, a second ABOR's replies could not be told from the first's.
                EndSessionOutOfStep(QStringLiteral("The server did not answer the abort request within %1 seconds; "
                                                   "the session was ended.")
                                        .arg(m_commandTimeout));
            } else if ((m_currentIndex >= 0 && m_currentIndex < m_steps.size())
                       || m_emptyQuestion == EmptyListingQuestion::Features) { // FEAT follows the listing's last step
                if ((m_currentAct == ActCustom && m_currentStep == -1)
                    || m_emptyQuestion == EmptyListingQuestion::Features) {
                    // Not repeated: its late reply would be taken for the next command's.
                    DropSession(11, QStringLiteral("No reply to the command."));
                } else {
                    RepeatStep();
                }
            } else if (m_currentIndex < 0 && m_sessionActive) {
                // An idle poll got no answer: the connection is dead.
                DropSession(11, QStringLiteral("The server did not answer."));
            } else {
                StopTimer();
            }
        } else if (mode == QLatin1String("ALIVE")) {
            if (!m_sessionActive) {
                StopTimer();
                return;
            }
            if (!TimeIsUp())
                return;
            ++m_keepAliveCounter;
            m_idleMinutes += 1;
            if (m_idleMinutes > m_maxIdealMinutes) {
                m_timer->stop();
                emit WarnIdeal(m_maxIdealMinutes);
                if (!self || !m_sessionActive || m_quitting)
                    return; // the host closed the session: no poll
                m_idleMinutes = 0;
                if (m_currentIndex >= 0)
                    return; // the host started an operation meanwhile
            }
            if (m_keepAliveCounter >= 4 && m_keepAlive && !m_remotePath.isEmpty()) {
                m_keepAliveCounter = 0;
                ExecuteStep(14);
            } else {
                ExecuteStep(20);
            }
        } else if (mode == QLatin1String("FTP_STOR")) {
            StopTimer();
            Store();
        } else if (mode == QLatin1String("EVT")) {
            StopTimer();
            int answer = 0;
            const quint64 serial = m_operationSerial;
            emit ValidateUploadOverwrite(answer, m_remoteFile);
            // A handler that aborted, closed or started another operation has taken over.
            if (!self || m_currentIndex < 0 || serial != m_operationSerial
                || (m_currentStep != 18 && !(m_currentAct == ActSend && m_currentStep >= 32 && m_currentStep <= 35)))
                return;
            if (answer == 0)
                EndFtpMacro();
            else if (answer == 1)
                IncrProc();
            else
                ArmTimer(QStringLiteral("EVT"), 2000, 0);
        } else if (mode == QLatin1String("QUIT")) {
            if (TimeIsUp())
                CloseControlQuietly();
        } else if (mode == QLatin1String("COPYEND")) {
            if (!TimeIsUp())
                return;
            StopTimer();
            // Its final reply could not be told from a later command's.
            EndSessionOutOfStep(QStringLiteral("The server did not end its part of the copy within %1 seconds of the "
                                               "other server's end; the session was ended.")
                                    .arg(TransferWaitSeconds()));
        } else if (mode == QLatin1String("XFER")) {
            if (!TimeIsUp())
                return;
            StopTimer();
            emit Message(QStringLiteral("The transfer stalled: no data arrived in time."));
            if (!self)
                return;
            // The server may still send the rest and the transfer's final
            // reply; on this connection that reply could not be told from the
            // next command's, so no later reply is read here: the session ends.
            DropSession(11, QStringLiteral("The transfer stalled: no data arrived in time."));
        } else {
            m_timer->stop();
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer1_Timer"));
    }
}

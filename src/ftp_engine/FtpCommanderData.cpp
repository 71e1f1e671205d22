// The data connection: passive and active set-up, listings, downloads,
// uploads, the transfer checks and the server-to-server copy.
#include "FtpCommander.h"

#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "ReplyCodes.h"
#include "TextCodec.h"

#include <QDateTime>
#include <QTimeZone>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kObject = QStringLiteral("FtpCommander");
constexpr long kLocalFileError = 12;

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": six numbers 0-255 and a
// port of 1 to 65535, nothing else between the parentheses.
bool ParsePasvNumbers(const QString &line, QString &host, long &port)
{
    if (!line.startsWith(QStringLiteral("227 ")))
        return false;
    const qsizetype open = line.indexOf(QLatin1Char('('));
    const qsizetype close = line.indexOf(QLatin1Char(')'), open + 1);
    if (open < 0 || close < 0)
        return false;
    const QStringList parts = line.mid(open + 1, close - open - 1).split(QLatin1Char(','));
    if (parts.size() != 6)
        return false;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        const QString part = parts[i].trimmed();
        bool ok = false;
        numbers[i] = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 3 || numbers[i] < 0 || numbers[i] > 255)
            return false;
    }
    port = numbers[4] * 256L + numbers[5];
    if (port < 1)
        return false;
    host = QStringLiteral("%1.%2.%3.%4").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
    return true;
}

QString PortArgument(const QString &address, long port)
{
    QString text = address + QLatin1Char('.') + QString::number(port / 256) + QLatin1Char('.')
                   + QString::number(port % 256);
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

QDateTime ParseServerTime(const QString &text)
{
    QDateTime time = QDateTime::fromString(text.left(14), QStringLiteral("yyyyMMddHHmmss"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

// Whether one line of a STAT reply names the file: a listing line whose
// item's last path component is the name.
bool ListingLineNames(const QString &line, const QString &remoteFile)
{
    const QString fileName = remoteFile.section(QLatin1Char('/'), -1);
    const QString folder = remoteFile.section(QLatin1Char('/'), 0, -2);
    const QList<FtpFileItem> items = GetFileList(line, folder);
    for (const FtpFileItem &item : items) {
        if (item.Name.section(QLatin1Char('/'), -1) == fileName)
            return true;
    }
    return false;
}

// What went wrong with a local file, and the system's reason when it gave one.
QString LocalFileText(const QString &what, const QString &path, const QFileDevice &file)
{
    const QString reason = file.error() == QFileDevice::NoError ? QString() : file.errorString();
    return reason.isEmpty() ? what + path : what + path + QStringLiteral(" (") + reason + QLatin1Char(')');
}

} // namespace

// ---------------------------------------------------------------------------
// Setting up the data connection

QString FtpCommander::BuildDataConnectionCommand()
{
    m_dataConnected = false;
    m_dataClosed = false;
    m_preliminarySeen = false;
    m_uploadStarted = false;
    m_uploadFinished = false;
    m_passiveReply.clear();
    if (m_currentAct == ActGetFromServer) {
        m_dataTag = QStringLiteral("FF");
        QHostAddress peer(m_peerAddress);
        if (peer.protocol() != QAbstractSocket::IPv4Protocol || m_peerPort < 1 || m_peerPort > 65535) {
            FailOperation(QStringLiteral("The other server's passive address is not usable."));
            return {};
        }
        return m_records[8].Verb + QLatin1Char(' ') + PortArgument(peer.toString(), m_peerPort);
    }
    // The transfer step names what the connection is for; until then a
    // connection the server opens early (active mode) just waits.
    m_dataTag.clear();
    // The sending side of a server-to-server copy needs its server's passive
    // address to hand on, whatever this engine's own data mode.
    if (m_currentAct == ActStoreToServer)
        return m_records[9].Verb;
    if (m_mode == 1) {
        const QString command = BuildPortCommand();
        if (command.isEmpty())
            FailOperation(QStringLiteral("No local port could be opened for the data connection."));
        return command;
    }
    if (m_mode == 0)
        return m_records[9].Verb;
    FailOperation(QStringLiteral("Unknown data connection mode."));
    return {};
}

QString FtpCommander::BuildPortCommand()
{
    bool isIpv4 = false;
    const quint32 local = m_control.localAddress().toIPv4Address(&isIpv4);
    if (!isIpv4 || local == 0)
        return {};
    QHostAddress peer = m_control.peerAddress();
    const quint32 peerV4 = peer.toIPv4Address(&isIpv4);
    if (!isIpv4)
        return {};
    peer = QHostAddress(peerV4);
    const QHostAddress localAddress(local);
    const long tries = std::max<long>(1, m_portWidth + 1);
    for (long i = 0; i < tries; ++i) {
        m_portCurrent += 1;
        if (m_portCurrent > m_portFirst + m_portWidth)
            m_portCurrent = m_portFirst;
        const quint16 port = (m_portCurrent >= 0 && m_portCurrent <= 65535) ? static_cast<quint16>(m_portCurrent) : 0;
        if (!m_data.listen(localAddress, port, peer))
            continue;
        emit StatusChanged();
        return m_records[8].Verb + QLatin1Char(' ') + PortArgument(localAddress.toString(), m_data.localPort());
    }
    return {};
}

bool FtpCommander::ParsePasvReply(const QString &line, QString &host, long &port) const
{
    return ParsePasvNumbers(line, host, port);
}

void FtpCommander::ReissueDataStep()
{
    if (m_dataStepRetries >= std::max(1, m_maxConnectionTry)) {
        FailOperation(QStringLiteral("The data connection could not be set up; the operation failed."));
        return;
    }
    ++m_dataStepRetries;
    const int dataStep = m_mode == 1 ? 8 : 9;
    // Back to the data step, so that its success returns to the transfer step
    // (through a REST in between, which must again come right before it).
    qsizetype back = m_currentIndex - 1;
    while (back > 0 && m_steps.value(back) == 7)
        --back;
    if (back >= 0 && m_steps.value(back) == dataStep)
        m_currentIndex = static_cast<int>(back);
    else
        m_steps.insert(m_currentIndex, dataStep);
    m_dataDetour = true;
    ExecuteStep(dataStep);
}

bool FtpCommander::ConnectPASV(int /*step*/)
{
    // The 227 of this data step, also when REST came in between (a restart
    // marker holds only for the command right after it). Used once: a repeated
    // transfer asks for a new port.
    const QString line = std::exchange(m_passiveReply, QString());
    if (!line.isEmpty()) {
        QString host;
        long port = 0;
        if (!ParsePasvReply(line, host, port)) {
            emit Message(QStringLiteral("The passive reply could not be read: ") + line);
            ReissueDataStep();
            return false;
        }
        // The data connection goes to the server we are talking to, whatever
        // address the reply names.
        const QHostAddress peer = EngineSocket::WithoutIpv4Mapping(m_control.peerAddress());
        if (QHostAddress(host) != peer)
            emit Message(QStringLiteral("The server named the data address ") + host + QStringLiteral("; connecting to ")
                         + peer.toString() + QStringLiteral(" instead."));
        m_dataConnected = false;
        m_dataClosed = false;
        m_data.connectTo(peer.toString(), static_cast<quint16>(port));
        emit StatusChanged();
        return true;
    }
    ReissueDataStep();
    return false;
}

bool FtpCommander::PrepareTransferStep(int step)
{
    m_preliminarySeen = false;
    m_dataArrived = false;
    m_uploadStarted = false;
    m_uploadFinished = false;
    if (step == 11 && m_currentAct == ActGetFromServer) {
        m_dataTag = QStringLiteral("FF");
        return true;
    }
    if (step == 16 && m_currentAct == ActStoreToServer) {
        m_dataTag = QStringLiteral("SF"); // the other server connects; STOR goes out, then the address
        return true;
    }
    if (step == 11 && m_transferPosition > (m_resume ? m_resumeOffset : 0)) {
        // A download that already wrote bytes goes on from there, never from 0
        // nor from an older restart offset.
        m_dataTag = QStringLiteral("F");
        if (m_autoResumes >= m_maxConnectionTry) {
            FailOperation(QStringLiteral("The download broke off too often; the operation failed."));
            return false;
        }
        ++m_autoResumes;
        CloseFile();
        ExecuteResumeMacro();
        return false;
    }
    m_dataTag = step == 10 ? (m_emptyQuestion == EmptyListingQuestion::Listing ? QStringLiteral("P") : QStringLiteral("A"))
              : step == 11 ? QStringLiteral("F")
                           : QStringLiteral("S");
    if (m_mode == 1) {
        const int state = m_data.state();
        if (state == EngineSocket::Listening)
            return true;
        if (state == EngineSocket::Connected && m_dataConnected && m_data.bytesAvailable() > 0) {
            // Bytes before the command are an earlier transfer's, sent late
            // on this connection (pyftpdlib after a stop): another one is asked.
            m_data.close();
            ReissueDataStep();
            return false;
        }
        if (state == EngineSocket::Connected && m_dataConnected) {
            // The server connected as soon as it had our PORT.
            if (m_dataTag == QLatin1String("A") && !m_listFile && !OpenCacheFileForWriting())
                return false;
            return true;
        }
        ReissueDataStep();
        return false;
    }
    if (m_mode != 0)
        return false;
    if (std::exchange(m_passiveProbed, false)) {
        if (m_dataTag == QLatin1String("A") && !m_listFile && !OpenCacheFileForWriting())
            return false;
        return true;
    }
    if (!ConnectPASV(step))
        return false;
    if (!m_lateTransferEnd)
        return true;
    // A stopped transfer's end may still come, and with it its bytes on the
    // next data connection (pyftpdlib): the connection is made first and a
    // NOOP asked, so that what it brings meanwhile is known for stale.
    m_dataTag.clear();
    m_passiveProbe = true;
    return false;
}

void FtpCommander::EndPassiveProbe()
{
    m_passiveProbe = false;
    if (m_dataClosed || m_data.state() != EngineSocket::Connected || m_data.bytesAvailable() > 0) {
        // The stopped transfer's bytes: dropped, another connection asked.
        m_data.close();
        ReissueDataStep();
        return;
    }
    m_lateTransferEnd = false;
    m_passiveProbed = true;
    m_dataDetour = true; // the step's repeat count goes on
    ExecuteStep(m_currentStep);
}

void FtpCommander::NotifyPASV(const QStringList &passiveReply)
{
    for (qsizetype i = passiveReply.size() - 1; i >= 0; --i) {
        QString host;
        long port = 0;
        if (passiveReply[i].startsWith(QStringLiteral("227 ")) && ParsePasvReply(passiveReply[i], host, port)) {
            // A server that reads the STOR only after the other server's data
            // came and went (a far control link, a near other server) takes
            // no data for it: the address goes on once STOR has arrived.
            m_storeAddress = {host, port};
            m_storeAddressDue = true;
            // Half a round trip more: a server answers STOR later than PASV
            // (it opens the file), and a refusal must arrive before the other
            // server is sent here, or that one may push its data into a
            // connection nobody takes and not hear its abort.
            const qint64 wait = m_passiveRoundTrip < 0 ? kStoreArrivalMaxMs
                                                       : std::clamp(m_passiveRoundTrip * 3 / 2, kStoreArrivalMinMs,
                                                                    kStoreArrivalMaxMs);
            QTimer::singleShot(wait, this, [this, serial = m_operationSerial] {
                if (serial == m_operationSerial)
                    HandOnStoreAddress();
            });
            return;
        }
    }
    FailOperation(QStringLiteral("No passive address to hand to the other server."));
}

void FtpCommander::HandOnStoreAddress()
{
    // Not once the store has ended (refused) or is being aborted.
    if (!m_storeAddressDue || m_currentAct != ActStoreToServer || m_currentIndex < 0 || m_currentStep != 16
        || m_abortPending)
        return;
    m_storeAddressDue = false;
    emit HandlePassiveAddress(m_storeAddress.first, m_storeAddress.second);
}

void FtpCommander::Store()
{
    try {
        if (m_currentAct != ActStoreToServer || m_currentIndex < 0 || m_currentStep == 16)
            return; // STOR already went out
        const qsizetype store = m_steps.indexOf(16);
        m_currentIndex = static_cast<int>(store >= 0 ? store : m_steps.size() - 1);
        m_currentStep = 16;
        m_currentMap = m_records[16].ReplyMap;
        SendFtpCommand(m_records[16].Verb + QLatin1Char(' ') + m_remoteFile, m_records[16].SuccessCodes,
                       QStringLiteral("Transferring data.."));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Store"));
    }
}

void FtpCommander::OnPreliminaryTransferReply()
{
    if (m_currentIndex < 0 || (m_currentStep != 10 && m_currentStep != 11 && m_currentStep != 16))
        return;
    m_preliminarySeen = true;
    QPointer<FtpCommander> self(this);
    const quint64 serial = m_operationSerial;
    emit TransferAccepted();
    if (!self || serial != m_operationSerial || m_currentIndex < 0)
        return;
    if (m_dataTag == QLatin1String("S") && m_dataConnected && !m_uploadStarted)
        OpenFileForSending();
    else if (m_dataTag == QLatin1String("SF"))
        HandOnStoreAddress(); // the server has the STOR
}

// ---------------------------------------------------------------------------
// Data socket notifications

void FtpCommander::WSk_D_Connect()
{
    try {
        m_dataConnected = true;
        m_dataClosed = false;
        m_connectionAttempts = 0;
        ArmTimer(QStringLiteral("XFER"), 2000, TransferWaitSeconds() * 1000);
        QPointer<FtpCommander> self(this);
        emit StatusChanged();
        emit DataConnect();
        if (!self)
            return;
        if (m_passiveProbe) {
            SendFtpCommand(QStringLiteral("NOOP"), QStringLiteral("200"), QString());
        } else if (m_dataTag == QLatin1String("A")) {
            OpenCacheFileForWriting();
        } else if (m_dataTag == QLatin1String("S") && m_preliminarySeen && !m_uploadStarted) {
            OpenFileForSending();
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSk_D_Connect"));
    }
}

void FtpCommander::WSK_D_DataArrival()
{
    try {
        if (m_dataTag.isEmpty())
            return; // read once the transfer step says what the bytes are
        const QByteArray bytes = m_data.readAll();
        if (bytes.isEmpty())
            return;
        m_dataArrived = true;
        if (m_timerMode == QLatin1String("XFER")) // only data-connection bytes keep a transfer alive
            m_deadline = m_timer->now() + TransferWaitSeconds() * 1000;
        QPointer<FtpCommander> self(this);
        const quint64 serial = m_operationSerial;
        const int step = m_currentStep;
        m_packetFromData = true;
        emit DataPacket(bytes.size());
        // A handler that aborted or closed has closed the file: these bytes
        // must not land in a reopened one.
        if (!self || serial != m_operationSerial || step != m_currentStep || m_currentIndex < 0)
            return;
        if (m_dataTag == QLatin1String("A")) {
            if (!m_listFile && !OpenCacheFileForWriting())
                return;
            if (m_listBytes + bytes.size() > kMaxListingBytes) {
                m_data.close();
                CloseListingFile();
                FailOperation(QStringLiteral("The listing is larger than 256 MiB; it was not read."));
                return;
            }
            if (m_listFile->write(bytes) != bytes.size()) {
                LocalFileFailed(QStringLiteral("The listing could not be written to ") + m_cacheFile);
                return;
            }
            m_listBytes += bytes.size();
        } else if (m_dataTag == QLatin1String("P")) {
            // The machine listing only says the folder could be read: its entries are dropped.
            m_questionBytes += bytes.size();
            if (m_questionBytes > kMaxListingBytes) {
                m_data.close();
                FailOperation(QStringLiteral("The listing is larger than 256 MiB; it was not read."));
                return;
            }
        } else if (m_dataTag == QLatin1String("F")) {
            if (!m_localFile && !OpenFileForWriting())
                return;
            if (m_localFile->write(bytes) != bytes.size()) {
                LocalFileFailed(LocalFileText(QStringLiteral("The local file could not be written: "), m_localFilePath, *m_localFile));
                return;
            }
            m_transferPosition += bytes.size();
            m_bytesDone += bytes.size();
            emit DataProgress(m_bytesDone);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSK_D_DataArrival"));
    }
}

void FtpCommander::WSK_D_Close()
{
    try {
        QPointer<FtpCommander> self(this);
        m_data.close();
        m_dataClosed = true;
        emit StatusChanged();
        emit DataDisconnect();
        if (!self)
            return;
        CloseListingFile();
        CloseFile();
        CheckTransferDone();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSK_D_Close"));
    }
}

void FtpCommander::WSk_D_Error(const QString &description)
{
    try {
        QPointer<FtpCommander> self(this);
        m_data.close();
        m_dataClosed = true;
        CloseListingFile();
        CloseFile();
        emit Error(11, description, false);
        if (!self)
            return;
        emit DataDisconnect();
        if (self)
            CheckTransferDone();
    } catch (...) {
        // a failing error handler is not logged
    }
}

// The system took bytes of an upload: what it holds unacknowledged has not
// reached the server, so the progress counts only the rest.
void FtpCommander::WSk_D_DataWritten(qint64 bytes)
{
    try {
        if (m_dataTag != QLatin1String("S") || !m_uploadStarted)
            return;
        m_uploadWritten += bytes;
        // Once per 256 KiB taken or a fifth of a second, not at every block.
        const qint64 now = m_timer->now();
        if (m_uploadWritten - m_uploadAsked.position < kMaxUploadInFlight && now - m_uploadAsked.time < 200)
            return;
        m_uploadAsked = {m_uploadWritten, now};
        if (m_timerMode == QLatin1String("XFER")) // only data-connection bytes keep a transfer alive
            m_deadline = now + TransferWaitSeconds() * 1000;
        NoteAcknowledged();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSk_D_DataWritten"));
    }
}

void FtpCommander::NoteAcknowledged()
{
    const qint64 acknowledged =
        std::max(m_uploadWritten - m_data.unacknowledgedBytes().value_or(0), m_uploadAcknowledged);
    if (acknowledged == m_uploadAcknowledged)
        return;
    m_uploadAcknowledged = acknowledged;
    emit DataProgress(m_uploadAcknowledged);
}

// The system may hold megabytes of a finished upload for a slow server: the
// progress goes on with what the server acknowledges until its final reply.
void FtpCommander::PollAcknowledged()
{
    try {
        const std::optional<qint64> unacknowledged = m_data.unacknowledgedBytes();
        const bool waiting = m_uploadFinished && m_currentIndex >= 0
                             && (m_currentAct == ActSend || m_currentAct == ActResumeSend);
        if (waiting && unacknowledged)
            NoteAcknowledged();
        if (!waiting || unacknowledged.value_or(0) == 0) {
            m_acknowledgedPoll.stop();
            m_data.closeFinished();
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("PollAcknowledged"));
    }
}

qint64 FtpCommander::ProgressBytes() const
{
    const bool uploading = m_uploadStarted && m_currentIndex >= 0
                           && (m_currentAct == ActSend || m_currentAct == ActResumeSend);
    return uploading ? m_uploadAcknowledged : m_bytesDone;
}

void FtpCommander::WSk_D_SendComplete()
{
    try {
        if (m_dataTag != QLatin1String("S") || !m_localFile)
            return;
        if (m_bytesDone < m_expectedSize) {
            SendNextBlocks();
            return;
        }
        FinishSending();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WSk_D_SendComplete"));
    }
}

// ---------------------------------------------------------------------------
// Local files

bool FtpCommander::OpenCacheFileForWriting()
{
    CloseListingFile();
    m_listBytes = 0;
    if (m_cacheFile.isEmpty()) {
        LocalFileFailed(QStringLiteral("No listing file is set."));
        return false;
    }
    auto file = std::make_unique<QFile>(m_cacheFile);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        LocalFileFailed(QStringLiteral("The listing file could not be opened: ") + m_cacheFile);
        return false;
    }
    m_listFile = std::move(file);
    return true;
}

bool FtpCommander::OpenFileForWriting()
{
    CloseFile();
    auto file = std::make_unique<QFile>(m_localFilePath);
    bool ok = false;
    if (m_resume) {
        // Byte-exact: the new data goes right after the bytes the REST offset counted.
        ok = file->open(QIODevice::ReadWrite) && file->resize(m_transferPosition) && file->seek(m_transferPosition);
    } else {
        if (QFileInfo(m_localFilePath).exists())
            file->setPermissions(file->permissions() | QFileDevice::WriteOwner);
        ok = file->open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    if (!ok) {
        LocalFileFailed(LocalFileText(QStringLiteral("The local file could not be opened: "), m_localFilePath, *file));
        return false;
    }
    m_localFile = std::move(file);
    return true;
}

void FtpCommander::OpenFileForSending()
{
    try {
        m_uploadStarted = true;
        CloseFile();
        auto file = std::make_unique<QFile>(m_localFilePath);
        if (!(m_givenFile ? OpenGivenFile(*file) : file->open(QIODevice::ReadOnly))) {
            LocalFileFailed(LocalFileText(QStringLiteral("The local file could not be read: "), m_localFilePath, *file));
            return;
        }
        m_expectedSize = file->size();
        m_bytesDone = m_currentAct == ActResumeSend ? std::min(m_resumeOffset, m_expectedSize) : 0;
        m_uploadWritten = m_uploadAcknowledged = m_bytesDone;
        m_uploadAsked = {m_bytesDone, m_timer->now()};
        // A handle shared with an earlier try of this operation is where that try left it.
        if ((m_bytesDone > 0 || m_givenFile) && !file->seek(m_bytesDone)) {
            LocalFileFailed(LocalFileText(QStringLiteral("The local file could not be read: "), m_localFilePath, *file));
            return;
        }
        m_localFile = std::move(file);
        if (m_bytesDone < m_expectedSize) {
            SendNextBlocks();
            emit StatusChanged();
            return;
        }
        // Nothing to send: close at once.
        FinishSending();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("OpenFileForSending"));
    }
}

// Every try of the operation reads the file the caller opened, never what
// its path names by then.
bool FtpCommander::OpenGivenFile(QFile &file) const
{
    const int handle = ::fcntl(m_givenFile->handle(), F_DUPFD_CLOEXEC, 0);
    if (handle < 0)
        return false;
    if (file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(handle);
    return false;
}

// The whole file is out: the data connection closes after its last byte and
// the server's 226 completes the operation. The message counts this upload,
// whatever a handler of the signals starts meanwhile.
void FtpCommander::FinishSending()
{
    QPointer<FtpCommander> self(this);
    const qint64 done = m_bytesDone;
    const qint64 expected = m_expectedSize;
    m_dataTag.clear();
    CloseFile();
    m_uploadFinished = true;
    m_data.finish();
    m_dataClosed = true;
    if (m_data.unacknowledgedBytes().value_or(0) > 0)
        m_acknowledgedPoll.start();
    else
        m_data.closeFinished();
    emit StatusChanged();
    emit DataDisconnect();
    if (self)
        emit Message(QStringLiteral("File send complete (") + QString::number(done) + QLatin1Char('/')
                     + QString::number(expected) + QLatin1Char(')'));
}

bool FtpCommander::SendNextBlocks()
{
    // A bounded number of blocks in flight: memory use does not grow with the file.
    while (m_localFile && m_bytesDone < m_expectedSize && m_data.bytesToWrite() < kMaxUploadInFlight) {
        const qint64 wanted = std::min(m_blockSize, m_expectedSize - m_bytesDone);
        const QByteArray block = m_localFile->read(wanted);
        if (block.size() != wanted) {
            LocalFileFailed(QStringLiteral("The local file could not be read: ") + m_localFilePath);
            return false;
        }
        if (m_data.write(block) != block.size()) {
            LocalFileFailed(QStringLiteral("The data connection refused the data."));
            return false;
        }
        m_bytesDone += block.size();
        m_bytesSent = std::max(m_bytesSent, m_bytesDone);
    }
    return true;
}

void FtpCommander::CloseFile()
{
    if (m_localFile) {
        m_localFile->close();
        m_localFile.reset();
    }
}

void FtpCommander::CloseListingFile()
{
    if (m_listFile) {
        m_listFile->close();
        m_listFile.reset();
    }
}

void FtpCommander::LocalFileFailed(const QString &what)
{
    // The local cause ends the operation: it stays the reason, whatever the
    // server answers to the abort that follows.
    if (m_currentIndex >= 0)
        m_lastFailure = what;
    m_data.close();
    CloseFile();
    CloseListingFile();
    QPointer<FtpCommander> self(this);
    emit Error(kLocalFileError, what, false);
    if (self && m_currentIndex >= 0)
        EndFtpMacro();
}

// ---------------------------------------------------------------------------
// End of a listing or download: the final reply seen, the data connection
// closed and the file closed, in any order.

void FtpCommander::BeginTransferWait(bool afterList)
{
    m_waitingForTransfer = true;
    m_waitAfterList = afterList;
    CheckTransferDone();
}

void FtpCommander::CheckTransferDone()
{
    if (!m_waitingForTransfer || m_currentIndex < 0)
        return;
    if (!m_dataClosed || m_localFile || m_listFile || m_data.state() != EngineSocket::Closed) {
        if (!m_timer->isActive() || m_timerMode != QLatin1String("XFER"))
            ArmTimer(QStringLiteral("XFER"), 2000, TransferWaitSeconds() * 1000);
        return;
    }
    m_waitingForTransfer = false;
    if (m_waitAfterList) {
        if (m_emptyQuestion == EmptyListingQuestion::Listing) {
            EndEmptyListingQuestion(); // the server read the folder: it is empty
            return;
        }
        if (m_listBytes == 0 && !m_listingRetried) {
            m_listingRetried = true;
            ExecuteFtpMacro(ActList);
            return;
        }
        if (EmptyListingNeedsAsking()) {
            AskWhetherListingRead();
            return;
        }
        CompleteMacro();
        return;
    }
    if (m_currentAct == ActGet || m_currentAct == ActResumeGet) {
        if (m_expectedSize > 0 && m_transferPosition < m_expectedSize) {
            if (m_autoResumes >= m_maxConnectionTry) {
                FailOperation(QStringLiteral("The download stopped short of its size; the operation failed."));
                return;
            }
            ++m_autoResumes;
            ExecuteResumeMacro();
            return;
        }
        if (m_expectedSize >= 0 && m_transferPosition > m_expectedSize)
            LogErrorToFile(kObject, QStringLiteral("IncrProc{Over}"));
        if (m_transferPosition == 0 && !m_resume) {
            // An empty remote file: the local copy is made empty too.
            QFile empty(m_localFilePath);
            if (!empty.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                LocalFileFailed(LocalFileText(QStringLiteral("The local file could not be opened: "), m_localFilePath, empty));
                return;
            }
        }
    }
    CompleteMacro();
}

// ---------------------------------------------------------------------------
// Checks of SIZE, MDTM and STAT replies

// After an upload's final reply: the server's copy must be as long as the
// file sent. A server that does not understand SIZE is taken at its word.
void FtpCommander::CheckStoredSize(const QString &code, const QString &line)
{
    QPointer<FtpCommander> self(this);
    const quint64 serial = m_operationSerial;
    emit Message(line);
    if (!self || serial != m_operationSerial || m_currentIndex < 0)
        return;
    if (code == QLatin1String("213")) {
        const qint64 stored = ReplyCodes::SizeInReply(line);
        const bool ok = stored >= 0;
        if (ok && stored == m_expectedSize) {
            IncrProc();
            return;
        }
        // More than the file is no part of it.
        if (ok && stored < m_expectedSize)
            m_confirmedBytes = stored;
        FailOperation(QStringLiteral("The server holds %1 of the file's %2 bytes; the upload failed.")
                          .arg(ok ? QString::number(stored) : QStringLiteral("an unknown number"))
                          .arg(m_expectedSize));
        return;
    }
    if (ReplyCodes::NotUnderstood(code)) {
        IncrProc();
        return;
    }
    FailOperation(QStringLiteral("The size of the stored file could not be checked; the upload failed."));
}

bool FtpCommander::ValidFtpDownload(const QString &line)
{
    QPointer<FtpCommander> self(this);
    // A handler that closed the session, aborted or started another
    // operation has taken over: this check ends nothing more.
    const quint64 serial = m_operationSerial;
    const int step = m_currentStep;
    const auto takenOver = [&] {
        return !self || serial != m_operationSerial || step != m_currentStep || m_currentIndex < 0;
    };
    if (m_currentStep == 33) {
        const qint64 size = ReplyCodes::SizeInReply(line);
        if (size < 0)
            return true;
        if (m_bytesDone >= 1 && m_expectedSize >= 0 && m_expectedSize != size) {
            emit FileSizeDiffer(size, m_remoteFile, QStringLiteral("download"));
            if (!takenOver())
                EndFtpMacro();
            return false;
        }
        // A fresh download is complete at the size the server has now, not
        // at the size the host listed earlier: the host learns it too.
        if (m_expectedSize < 0 || (m_bytesDone < 1 && m_expectedSize != size)) {
            emit FileSizeDetermined(size, m_remoteFile);
            if (takenOver())
                return false;
            m_expectedSize = size;
        }
    } else if (m_currentStep == 32) {
        const QString dateText = line.mid(4).trimmed();
        if (!m_expectedDate.isEmpty()) {
            const QDateTime remote = ParseServerTime(dateText);
            const QDateTime expected = ParseServerTime(m_expectedDate);
            const bool differ = remote.isValid() && expected.isValid()
                                    ? std::abs(remote.secsTo(expected)) >= 1
                                    : dateText != m_expectedDate;
            if (differ) {
                emit FileDateTimeDiffer(dateText, m_remoteFile);
                if (takenOver())
                    return false;
                if (m_abortOnDateChange) {
                    EndFtpMacro();
                    return false;
                }
            }
        } else {
            emit FileDateTimeDetermined(dateText, m_remoteFile);
            if (takenOver())
                return false;
        }
    }
    return true;
}

// A resumed upload goes on where the server's copy ends: bytes sent earlier
// are not bytes stored. A size that is unreadable or larger than the local
// file leaves nothing to go on from.
void FtpCommander::ResumeSendAt(qint64 stored)
{
    const qint64 local = m_givenFile ? m_givenFile->size() : QFileInfo(m_localFilePath).size();
    m_resumeOffset = stored >= 0 && stored <= local ? stored : 0;
    m_bytesDone = m_confirmedBytes = m_resumeOffset;
}

bool FtpCommander::KeepConfirmedUploadBytes()
{
    if (m_currentIndex < 0 || (m_currentAct != ActSend && m_currentAct != ActResumeSend)
        || m_bytesDone == m_confirmedBytes)
        return false;
    m_bytesDone = m_confirmedBytes;
    return true;
}

int FtpCommander::ValidFtpUpload(const QString &line)
{
    Q_UNUSED(line);
    const QString fileName = m_remoteFile.section(QLatin1Char('/'), -1);
    if (fileName.isEmpty())
        return 1;
    const ListingLineCheck check = m_listingLineCheck ? m_listingLineCheck : ListingLineNames;
    bool exists = false;
    // The lines between the reply's first and last line are listing lines.
    for (qsizetype i = 1; i + 1 < m_replyLines.size() && !exists; ++i)
        exists = check(m_replyLines[i], m_remoteFile);
    if (!exists) {
        ConfirmAbsenceBySize(); // goes on once the server said
        return 0;
    }
    return AskUploadOverwrite();
}

// Asks the host whether the existing remote file is replaced: 0 ends the
// upload, -1 asks again two seconds later, anything else goes on.
int FtpCommander::AskUploadOverwrite()
{
    int answer = 0;
    QPointer<FtpCommander> self(this);
    const quint64 serial = m_operationSerial;
    const int step = m_currentStep;
    emit ValidateUploadOverwrite(answer, m_remoteFile);
    // A handler that closed the session, aborted or started another
    // operation has taken over: the upload check ends nothing more.
    if (!self || serial != m_operationSerial || m_currentStep != step || m_currentIndex < 0)
        return 0;
    if (answer == 0) {
        EndFtpMacro();
    } else if (answer == -1) {
        ArmTimer(QStringLiteral("EVT"), 2000, 0);
    } else if (answer < 0) {
        answer = 1; // any answer but 0 and -1 lets the upload go on
    }
    return answer;
}

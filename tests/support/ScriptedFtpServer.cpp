#include "ScriptedFtpServer.h"

#include <QHostAddress>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

QByteArray withCrLf(QByteArray text)
{
    if (!text.endsWith('\n'))
        text += "\r\n";
    return text;
}

ScriptedFtpServer::Reply single(const QByteArray &text) { return {ScriptedFtpServer::Chunk{withCrLf(text), 0}}; }

} // namespace

ScriptedFtpServer::ScriptedFtpServer(QObject *parent)
    : QObject(parent)
{
    m_greeting = single("220 Scripted server ready.");
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedFtpServer::onNewConnection);
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    if (m_control)
        m_control->abort();
    if (m_data)
        m_data->abort();
}

bool ScriptedFtpServer::listen() { return m_server.listen(QHostAddress::LocalHost, 0); }

quint16 ScriptedFtpServer::port() const { return m_server.serverPort(); }

void ScriptedFtpServer::setGreeting(const QByteArray &text) { m_greeting = single(text); m_greet = true; }
void ScriptedFtpServer::setGreeting(const Reply &chunks) { m_greeting = chunks; m_greet = true; }
void ScriptedFtpServer::setNoGreeting() { m_greet = false; }

void ScriptedFtpServer::on(const QByteArray &verb, const QByteArray &replyText)
{
    const Reply reply = single(replyText);
    m_rules.insert(verb, [reply](const QByteArray &) { return reply; });
}

void ScriptedFtpServer::on(const QByteArray &verb, const Reply &chunks)
{
    m_rules.insert(verb, [chunks](const QByteArray &) { return chunks; });
}

void ScriptedFtpServer::on(const QByteArray &verb, Rule rule) { m_rules.insert(verb, std::move(rule)); }

void ScriptedFtpServer::onSequence(const QByteArray &verb, const QList<QByteArray> &replies)
{
    m_sequences.insert(verb, replies);
}

void ScriptedFtpServer::off(const QByteArray &verb)
{
    m_rules.remove(verb);
    m_sequences.remove(verb);
}

void ScriptedFtpServer::dropOn(const QByteArray &verb) { m_dropVerbs.append(verb); }
void ScriptedFtpServer::setListing(const QByteArray &data) { m_listing = data; }
void ScriptedFtpServer::setFileData(const QByteArray &data) { m_fileData = data; }
void ScriptedFtpServer::setStoredFile(const QByteArray &path, const QByteArray &data)
{
    m_storedName = path;
    m_stored = data;
}
void ScriptedFtpServer::setDataDropAfter(qint64 bytes, const QByteArray &reply)
{
    m_dataDropAfter = bytes;
    m_dropReply = reply;
}
void ScriptedFtpServer::setPassiveHost(const QByteArray &commaAddress) { m_passiveHost = commaAddress; }
void ScriptedFtpServer::setControlDropAfter(qint64 bytes) { m_controlDropAfter = bytes; }
void ScriptedFtpServer::setStallAfter(qint64 bytes) { m_stallAfter = bytes; }

void ScriptedFtpServer::freeze()
{
    if (m_frozen)
        return;
    m_frozen = true;
    Q_EMIT frozen();
}

void ScriptedFtpServer::unlessFrozen(std::function<void()> action)
{
    if (m_frozen)
        m_onThaw.append(std::move(action));
    else
        action();
}

void ScriptedFtpServer::thaw()
{
    if (!m_frozen) {
        // The stop this was meant to end may still come, and then lasts for good.
        ADD_FAILURE() << "thaw() before the server stopped";
        return;
    }
    m_frozen = false;
    abortReadInTransfer(); // before the transfer goes on
    const QList<std::function<void()>> pending = std::exchange(m_onThaw, {});
    for (const std::function<void()> &action : pending)
        action();
    onControlReadyRead();
    pumpOutgoing();
}

bool ScriptedFtpServer::clientConnected() const
{
    return m_control && m_control->state() == QAbstractSocket::ConnectedState;
}

void ScriptedFtpServer::closeControl()
{
    m_outgoing.clear();
    if (m_control) {
        m_control->disconnectFromHost();
        if (m_control && m_control->state() != QAbstractSocket::UnconnectedState)
            m_control->abort();
    }
}

void ScriptedFtpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        // Replies go out as written, as a real server's do: small writes held
        // back for an acknowledgement cost every command tens of milliseconds.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (m_control) {
            // One session at a time: a new connection replaces the old one.
            m_control->abort();
            m_control->deleteLater();
        }
        ++m_connections;
        m_control = socket;
        m_inBuffer.clear();
        m_outgoing.clear();
        m_controlWritten = 0;
        m_restOffset = 0; // a restart offset belongs to its session
        m_beforeNextReply.clear();
        m_binary = false;
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedFtpServer::onControlReadyRead);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_greet)
            send(m_greeting);
    }
}

bool ScriptedFtpServer::takeClientBytes(int msecs)
{
    return m_control && m_control->waitForReadyRead(msecs);
}

void ScriptedFtpServer::onControlReadyRead()
{
    if (!m_control || m_frozen || m_awaitingData || abortReadInTransfer())
        return;
    m_inBuffer += m_control->readAll();
    qsizetype lf;
    while ((lf = m_inBuffer.indexOf('\n')) >= 0) {
        QByteArray line = m_inBuffer.left(lf);
        m_inBuffer.remove(0, lf + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleCommand(line);
        if (!m_control)
            return;
    }
}

bool ScriptedFtpServer::abortReadInTransfer()
{
    if (!m_loseWithAbort || !m_transferRunning || !m_control || !m_inBuffer.isEmpty()
        || !m_control->peek(4).toUpper().startsWith("ABOR"))
        return false;
    m_control->readAll();
    m_commands.append("ABOR");
    Q_EMIT commandReceived("ABOR");
    m_transferRunning = false;
    if (m_data)
        m_data->abort();
    send(single("426 ABORT"));
    send(single("226 Aborted."));
    return true;
}

void ScriptedFtpServer::handleCommand(const QByteArray &line)
{
    m_commands.append(line);
    Q_EMIT commandReceived(line);
    const qsizetype space = line.indexOf(' ');
    const QByteArray verb = (space < 0 ? line : line.left(space)).toUpper();
    const QByteArray argument = space < 0 ? QByteArray() : line.mid(space + 1);

    if (m_dropVerbs.contains(verb)) {
        closeControl();
        return;
    }
    // A transfer command uses up the restart offset, refused or not.
    if ((verb == "RETR" || verb == "STOR" || verb == "APPE") && (m_rules.contains(verb) || m_sequences.contains(verb)))
        m_restOffset = 0;
    if (!m_beforeNextReply.isEmpty())
        send(single(std::exchange(m_beforeNextReply, {})));
    if (auto seq = m_sequences.find(verb); seq != m_sequences.end() && !seq->isEmpty()) {
        const QByteArray reply = seq->size() > 1 ? seq->takeFirst() : seq->first();
        send(single(reply));
        return;
    }
    if (auto rule = m_rules.find(verb); rule != m_rules.end()) {
        send((*rule)(argument));
        return;
    }
    send(defaultReply(verb, argument));
}

ScriptedFtpServer::Reply ScriptedFtpServer::defaultReply(const QByteArray &verb, const QByteArray &argument)
{
    if (verb == "USER")
        return single("331 Password required.");
    if (verb == "PASS")
        return single("230 Logged in.");
    if (verb == "PWD" || verb == "XPWD")
        return single("257 \"/\" is the current directory.");
    if (verb == "CWD" || verb == "CDUP" || verb == "DELE" || verb == "RMD" || verb == "RNTO")
        return single("250 Requested file action okay, completed.");
    if (verb == "MKD")
        return single("257 \"" + argument + "\" created.");
    if (verb == "RNFR")
        return single("350 Ready for RNTO.");
    if (verb == "SYST")
        return single("215 UNIX Type: L8");
    if (verb == "TYPE")
        m_binary = argument.trimmed().toUpper().startsWith('I');
    if (verb == "TYPE" || verb == "NOOP" || verb == "MODE" || verb == "STRU" || verb == "SITE")
        return single("200 Command okay.");
    if (verb == "SIZE") // the file stored last, or the one served
        return single("213 " + QByteArray::number(argument == m_storedName ? m_stored.size() : m_fileData.size()));
    if (verb == "MDTM")
        return single("213 20090830120000");
    if (verb == "REST") {
        if (m_restBinaryOnly && !m_binary)
            return single("501 Resuming transfers not allowed in ASCII mode.");
        m_restOffset = argument.toLongLong();
        return single("350 Restarting at " + QByteArray::number(m_restOffset) + ".");
    }
    if (verb == "PASV") {
        openPassive();
        const quint16 p = m_dataServer ? m_dataServer->serverPort() : 0;
        return single("227 Entering Passive Mode (" + m_passiveHost + "," + QByteArray::number(p >> 8) + ","
                      + QByteArray::number(p & 0xFF) + ").");
    }
    if (verb == "PORT") {
        const QList<QByteArray> parts = argument.split(',');
        if (parts.size() != 6)
            return single("501 Syntax error in parameters.");
        m_portTarget = static_cast<quint16>(parts[4].toUInt() * 256 + parts[5].toUInt());
        m_activeMode = true;
        if (!m_sendOnPort.isEmpty()) {
            auto *early = new QTcpSocket(this);
            connect(early, &QTcpSocket::connected, early, [early, bytes = std::exchange(m_sendOnPort, {})] {
                early->write(bytes);
                early->disconnectFromHost();
            });
            connect(early, &QTcpSocket::disconnected, early, &QObject::deleteLater);
            early->connectToHost(QHostAddress::LocalHost, m_portTarget);
            return {{"200 Active data connection established.\r\n", 100}};
        }
        return single("200 PORT command successful.");
    }
    if (verb == "LIST" || verb == "NLST" || verb == "RETR" || verb == "STOR" || verb == "APPE") {
        if (verb == "STOR" || verb == "APPE")
            m_storedName = argument;
        m_awaitingData = m_preliminaryWhenConnected && !m_activeMode
                      && !(m_data && m_data->state() == QAbstractSocket::ConnectedState);
        startTransfer(verb);
        if (m_awaitingData)
            return {};
        return single(m_transferStart);
    }
    if (verb == "QUIT") {
        Reply bye = single("221 Goodbye.");
        send(bye);
        QTimer::singleShot(0, this, [this] { closeControl(); });
        return {};
    }
    return single("502 Command not implemented.");
}

void ScriptedFtpServer::say(const QByteArray &text)
{
    send(single(text));
}

void ScriptedFtpServer::send(const Reply &reply)
{
    m_outgoing.append(reply);
    pumpOutgoing();
}

void ScriptedFtpServer::pumpOutgoing()
{
    while (!m_waitingOnDelay && !m_frozen && !m_outgoing.isEmpty()) {
        Chunk &next = m_outgoing.first();
        if (next.delayMs > 0) {
            const int delay = next.delayMs;
            next.delayMs = 0;
            m_waitingOnDelay = true;
            QTimer::singleShot(delay, this, [this] {
                m_waitingOnDelay = false;
                pumpOutgoing();
            });
            return;
        }
        sendNow(m_outgoing.takeFirst().bytes);
    }
}

void ScriptedFtpServer::sendNow(const QByteArray &bytes)
{
    if (!m_control)
        return;
    if (m_controlDropAfter >= 0 && m_controlWritten + bytes.size() >= m_controlDropAfter) {
        m_control->write(bytes.left(m_controlDropAfter - m_controlWritten));
        m_control->flush();
        m_controlWritten = m_controlDropAfter;
        closeControl();
        return;
    }
    m_controlWritten += bytes.size();
    m_control->write(bytes);
}

void ScriptedFtpServer::openPassive()
{
    m_activeMode = false;
    if (m_dataServer)
        m_dataServer->deleteLater();
    m_dataServer = new QTcpServer(this);
    if (!m_dataServer->listen(QHostAddress::LocalHost, 0))
        return;
    const bool queued = std::exchange(m_queueNextPassive, false);
    connect(m_dataServer, &QTcpServer::newConnection, this, [this, queued] {
        if (!m_dataServer || queued)
            return;
        QTcpSocket *socket = m_dataServer->nextPendingConnection();
        if (!socket)
            return;
        m_dataServer->close(); // one connection per passive address, as real servers take
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!m_sendOnPassive.isEmpty()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(std::exchange(m_sendOnPassive, {}));
            socket->disconnectFromHost();
            sayBeforeNextReply(std::exchange(m_sendOnPassiveEnd, {}));
            return;
        }
        if (m_data)
            m_data->abort();
        m_data = socket;
    });
}

// Runs `action` once the data connection stands: at once when it does,
// otherwise when the client connects (passive) or we connected (active).
void ScriptedFtpServer::withDataSocket(std::function<void(QTcpSocket *)> action)
{
    if (m_activeMode) {
        auto *socket = new QTcpSocket(this);
        m_data = socket;
        connect(socket, &QTcpSocket::connected, this, [socket, action] { action(socket); });
        socket->connectToHost(QHostAddress::LocalHost, m_portTarget);
        return;
    }
    if (m_data && m_data->state() == QAbstractSocket::ConnectedState) {
        QTcpSocket *socket = m_data;
        QTimer::singleShot(0, this, [socket, action] { action(socket); });
        return;
    }
    if (!m_dataServer)
        return;
    auto guard = std::make_shared<QMetaObject::Connection>();
    *guard = connect(m_dataServer, &QTcpServer::newConnection, this, [this, guard, action] {
        QObject::disconnect(*guard);
        // the other handler has taken the pending connection by now
        QTimer::singleShot(0, this, [this, action] {
            if (!m_data)
                return;
            if (std::exchange(m_awaitingData, false)) {
                send(single(m_transferStart));
                QTimer::singleShot(0, this, &ScriptedFtpServer::onControlReadyRead); // what came meanwhile
            }
            action(m_data);
        });
    });
}

void ScriptedFtpServer::startTransfer(const QByteArray &verb)
{
    m_transferRunning = true;
    const bool upload = verb == "STOR" || verb == "APPE";
    m_storedBefore.reset();
    if (upload && m_keepOnFailedStore)
        m_storedBefore = m_stored;
    if (upload && verb == "STOR" && m_restOffset == 0)
        m_stored.clear();
    if (upload && m_restOffset > 0)
        m_stored.truncate(m_restOffset);
    QByteArray payload;
    if (verb == "RETR")
        payload = m_fileData.mid(m_restOffset);
    else if (!upload)
        payload = m_listing;
    m_restOffset = 0;
    const qint64 stallAt = verb == "RETR" || verb == "STOR" ? std::exchange(m_stallAfter, -1) : -1;

    withDataSocket([this, upload, payload, stallAt](QTcpSocket *socket) {
        if (upload) {
            const qint64 start = m_stored.size();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, start, stallAt] {
                if (m_frozen)
                    return; // a stopped server reads nothing: the client's bytes back up
                m_stored += socket->readAll();
                if (stallAt >= 0 && m_stored.size() - start >= stallAt) {
                    socket->setReadBufferSize(4096);
                    freeze();
                    QPointer<QTcpSocket> held(socket);
                    m_onThaw.append([this, held] {
                        if (!held || !held->isOpen())
                            return;
                        held->setReadBufferSize(0);
                        m_stored += held->readAll();
                    });
                }
            });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                unlessFrozen([this, socket] {
                    if (socket->isOpen())
                        m_stored += socket->readAll();
                    socket->deleteLater();
                    finishTransfer(false);
                });
            });
            if (m_dataDropAfter >= 0) {
                const qint64 limit = m_dataDropAfter;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, limit] {
                    if (m_stored.size() >= limit) {
                        m_stored.truncate(limit);
                        socket->disconnect(this); // a drop answers 426, never the 226 of a close
                        socket->abort();
                        socket->deleteLater();
                        finishTransfer(true);
                    }
                });
            }
            return;
        }
        const bool drop = m_dataDropAfter >= 0 && m_dataDropAfter < payload.size();
        const QByteArray sent = drop ? payload.left(m_dataDropAfter) : payload;
        auto closeWhenWritten = [this, socket, drop] {
            if (socket->bytesToWrite() > 0 || m_frozen)
                return;
            if (drop) {
                socket->abort();
            } else {
                socket->disconnectFromHost();
            }
            socket->deleteLater();
            finishTransfer(drop);
        };
        if (stallAt >= 0 && stallAt < sent.size()) {
            // The first part goes out, then the server stops; at thaw() the
            // rest follows, into a connection the client may have closed.
            socket->write(sent.left(stallAt));
            QPointer<QTcpSocket> held(socket);
            const QByteArray rest = sent.mid(stallAt);
            auto stall = std::make_shared<QMetaObject::Connection>();
            *stall = connect(socket, &QTcpSocket::bytesWritten, this, [this, held, stall] {
                if (held && held->bytesToWrite() == 0) {
                    QObject::disconnect(*stall);
                    freeze();
                }
            });
            m_onThaw.append([this, held, rest, closeWhenWritten] {
                if (!held)
                    return;
                if (held->state() != QAbstractSocket::ConnectedState || held->write(rest) < 0) {
                    held->deleteLater();
                    finishTransfer(false);
                    return;
                }
                connect(held, &QTcpSocket::bytesWritten, this, closeWhenWritten);
                connect(held, &QTcpSocket::errorOccurred, this, [this, held] {
                    if (held)
                        held->deleteLater();
                    finishTransfer(false);
                });
            });
            return;
        }
        socket->write(sent);
        if (socket->bytesToWrite() == 0)
            QTimer::singleShot(0, this, closeWhenWritten);
        else
            connect(socket, &QTcpSocket::bytesWritten, this, closeWhenWritten);
    });
}

void ScriptedFtpServer::finishTransfer(bool aborted)
{
    if (!m_transferRunning)
        return;
    m_transferRunning = false;
    if (aborted && m_storedBefore)
        m_stored = *m_storedBefore;
    m_storedBefore.reset();
    const QByteArray reply = !aborted                ? m_transferDone
                           : !m_dropReply.isEmpty() ? m_dropReply
                                                    : QByteArray("426 Connection closed; transfer aborted.");
    if (std::exchange(m_holdFinalReply, false))
        m_heldFinalReply = reply;
    else
        send(single(reply));
    Q_EMIT dataTransferFinished();
}

void ScriptedFtpServer::releaseFinalReply()
{
    if (m_heldFinalReply.isEmpty()) {
        ADD_FAILURE() << "no final reply is held";
        return;
    }
    send(single(std::exchange(m_heldFinalReply, QByteArray())));
}

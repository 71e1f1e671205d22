#include "EngineSocket.h"

#include <algorithm>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

class EngineSocket::NotificationScope
{
public:
    explicit NotificationScope(EngineSocket *socket)
        : m_socket(socket)
    {
        ++socket->m_notificationDepth;
    }
    ~NotificationScope()
    {
        if (m_socket && --m_socket->m_notificationDepth == 0)
            m_socket->releaseRetired();
    }
    NotificationScope(const NotificationScope &) = delete;
    NotificationScope &operator=(const NotificationScope &) = delete;

private:
    QPointer<EngineSocket> m_socket;
};

EngineSocket::EngineSocket(QObject *parent)
    : QObject(parent)
{
}

void EngineSocket::retire(QObject *object)
{
    if (m_notificationDepth > 0)
        m_retired.append(object);
    else
        object->deleteLater();
}

void EngineSocket::releaseRetired()
{
    const QList<QPointer<QObject>> retired = std::exchange(m_retired, {});
    for (const QPointer<QObject> &object : retired) {
        if (object)
            object->deleteLater();
    }
}

EngineSocket::~EngineSocket()
{
    close();
}

void EngineSocket::adopt(QTcpSocket *socket)
{
    m_socket = socket;
    m_peerClosedRaised = false;
    socket->setParent(this);
    if (m_readBufferSize > 0)
        socket->setReadBufferSize(m_readBufferSize);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        NotificationScope scope(this);
        if (socket == m_socket)
            emit connected();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        NotificationScope scope(this);
        if (socket == m_socket && socket->bytesAvailable() > 0)
            emit dataArrival(socket->bytesAvailable());
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 bytes) {
        NotificationScope scope(this);
        if (socket == m_socket)
            onBytesWritten(bytes);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        NotificationScope scope(this);
        if (socket == m_socket)
            onError(error);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        NotificationScope scope(this);
        if (socket == m_socket)
            onDisconnected();
    });
}

void EngineSocket::connectTo(const QString &host, quint16 port)
{
    close();
    auto *socket = new QTcpSocket(this);
    adopt(socket);
    // IPv4 first: PORT and PASV speak IPv4 addresses.
    socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
}

bool EngineSocket::listen(const QHostAddress &address, quint16 port, const QHostAddress &allowedPeer)
{
    close();
    auto *server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        delete server;
        return false;
    }
    m_server = server;
    m_allowedPeer = allowedPeer;
    connect(server, &QTcpServer::newConnection, this, [this] {
        NotificationScope scope(this);
        onNewConnection();
    });
    return true;
}

QHostAddress EngineSocket::WithoutIpv4Mapping(const QHostAddress &address)
{
    bool isIpv4 = false;
    const quint32 v4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(v4) : address;
}

void EngineSocket::onNewConnection()
{
    QPointer<EngineSocket> self(this);
    while (self && m_server && m_server->hasPendingConnections()) {
        QTcpSocket *incoming = m_server->nextPendingConnection();
        const QHostAddress peer = WithoutIpv4Mapping(incoming->peerAddress());
        if (peer != m_allowedPeer) {
            incoming->abort();
            retire(incoming);
            emit connectionRefusedFrom(peer);
            continue;
        }
        m_server->disconnect(this);
        m_server->close();
        retire(m_server);
        m_server = nullptr;
        adopt(incoming);
        emit connected();
        if (self && m_socket == incoming && incoming->bytesAvailable() > 0)
            emit dataArrival(incoming->bytesAvailable());
        return;
    }
}

void EngineSocket::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    retire(socket);
}

void EngineSocket::finish()
{
    closeFinished();
    if (!m_socket) {
        close();
        return;
    }
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
#ifdef SIOCOUTQ
    // Only once everything is with the system: shut, the socket takes no more.
    const qintptr handle = socket->socketDescriptor();
    if (handle >= 0 && socket->bytesToWrite() == 0) {
        m_finishedHandle = ::fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
        if (m_finishedHandle >= 0 && ::shutdown(m_finishedHandle, SHUT_WR) != 0)
            closeFinished();
    }
#endif
    socket->disconnectFromHost();
    retire(socket);
}

void EngineSocket::closeFinished()
{
    if (m_finishedHandle >= 0)
        ::close(std::exchange(m_finishedHandle, -1));
}

void EngineSocket::close()
{
    closeFinished();
    dropSocket();
    if (m_server) {
        QTcpServer *server = m_server;
        m_server = nullptr;
        server->disconnect(this);
        server->close();
        retire(server);
    }
}

void EngineSocket::onError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    const QString description = m_socket ? m_socket->errorString() : QString();
    dropSocket();
    emit failed(description);
}

void EngineSocket::onDisconnected()
{
    if (m_peerClosedRaised || !m_socket)
        return;
    m_peerClosedRaised = true;
    QPointer<EngineSocket> self(this);
    const QTcpSocket *socket = m_socket;
    // Whatever arrived before the close is still readable: hand it on first.
    if (m_socket->bytesAvailable() > 0)
        emit dataArrival(m_socket->bytesAvailable());
    // The engine may have closed this connection (or opened another) while it
    // read those bytes: that is no close by the peer.
    if (self && m_socket == socket)
        emit closedByPeer();
}

void EngineSocket::onBytesWritten(qint64 bytes)
{
    QPointer<EngineSocket> self(this);
    const QTcpSocket *socket = m_socket;
    emit dataWritten(bytes);
    if (self && m_socket && m_socket == socket && m_socket->bytesToWrite() == 0)
        emit sendComplete();
}

qint64 EngineSocket::write(const QByteArray &bytes)
{
    if (!m_socket)
        return -1;
    return m_socket->write(bytes);
}

void EngineSocket::flush()
{
    if (m_socket)
        m_socket->flush();
}

QByteArray EngineSocket::readAll()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

qint64 EngineSocket::bytesAvailable() const
{
    return m_socket ? m_socket->bytesAvailable() : 0;
}

qint64 EngineSocket::bytesToWrite() const
{
    return m_socket ? m_socket->bytesToWrite() : 0;
}

std::optional<qint64> EngineSocket::unacknowledgedBytes() const
{
#ifdef SIOCOUTQ
    const qintptr handle = m_socket ? m_socket->socketDescriptor() : m_finishedHandle;
    int queued = 0;
    if (handle >= 0 && ::ioctl(static_cast<int>(handle), SIOCOUTQ, &queued) == 0)
        return std::max(queued, 0);
#endif
    return std::nullopt;
}

void EngineSocket::setReadBufferSize(qint64 size)
{
    m_readBufferSize = size;
    if (m_socket)
        m_socket->setReadBufferSize(size);
}

int EngineSocket::state() const
{
    if (m_server && m_server->isListening())
        return Listening;
    if (!m_socket)
        return Closed;
    switch (m_socket->state()) {
    case QAbstractSocket::UnconnectedState:
        return Closed;
    case QAbstractSocket::HostLookupState:
        return ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return Connected;
    case QAbstractSocket::BoundState:
        return Open;
    case QAbstractSocket::ListeningState:
        return Listening;
    case QAbstractSocket::ClosingState:
        return Closing;
    }
    return Closed;
}

QHostAddress EngineSocket::peerAddress() const
{
    return m_socket ? m_socket->peerAddress() : QHostAddress();
}

quint16 EngineSocket::peerPort() const
{
    return m_socket ? m_socket->peerPort() : 0;
}

QHostAddress EngineSocket::localAddress() const
{
    if (m_server)
        return m_server->serverAddress();
    return m_socket ? m_socket->localAddress() : QHostAddress();
}

quint16 EngineSocket::localPort() const
{
    if (m_server)
        return m_server->serverPort();
    return m_socket ? m_socket->localPort() : 0;
}

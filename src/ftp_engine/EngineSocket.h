#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <optional>

// One TCP connection of the engine, control or data. It raises only the
// notifications the engine works with:
//   connected        - an outgoing connection is up, or (listening) the
//                      expected peer's connection was accepted
//   dataArrival      - bytes can be read (also just before a peer close)
//   dataWritten      - bytes left the socket's buffer for the system
//   sendComplete     - everything written has left the socket's buffer
//   closedByPeer     - the other side closed; never raised for our own close()
//   failed           - a real error (refused, unresolvable, reset ...)
// Qt reports a peer close as an error and our own close as "disconnected";
// this adapter keeps the two apart.
class EngineSocket : public QObject
{
    Q_OBJECT
public:
    // State numbers the engine and its status strip read.
    enum State { Closed = 0, Open = 1, Listening = 2, ResolvingHost = 4, Connecting = 6, Connected = 7, Closing = 8 };

    explicit EngineSocket(QObject *parent = nullptr);
    ~EngineSocket() override;

    void connectTo(const QString &host, quint16 port);
    // Listens on address:port and accepts one connection, from `allowedPeer`
    // only; others are refused and listening goes on.
    bool listen(const QHostAddress &address, quint16 port, const QHostAddress &allowedPeer);
    void close();
    // Closes after what was written has been handed to the system (end of an upload).
    // The connection stays open for asking until closeFinished(), close() or
    // the next connection.
    void finish();
    void closeFinished();

    qint64 write(const QByteArray &bytes);
    // Hands what was written to the system at once rather than on the event
    // loop's next pass. A failure found on the way is raised from here.
    void flush();
    QByteArray readAll();
    qint64 bytesAvailable() const;
    qint64 bytesToWrite() const;
    // Of the bytes the system took, those the peer has not acknowledged yet
    // (still queued or on the way), also after finish(); none where the
    // system does not tell.
    std::optional<qint64> unacknowledgedBytes() const;
    void setReadBufferSize(qint64 size);

    // An IPv4 address written as IPv6 ("::ffff:a.b.c.d") as plain IPv4, so
    // the two forms of one host compare equal; other addresses as they are.
    static QHostAddress WithoutIpv4Mapping(const QHostAddress &address);

    int state() const;
    bool isConnected() const { return state() == Connected; }
    QHostAddress peerAddress() const;
    quint16 peerPort() const;
    QHostAddress localAddress() const;
    quint16 localPort() const;

signals:
    void connected();
    void dataArrival(qint64 bytes);
    void dataWritten(qint64 bytes);
    void sendComplete();
    void closedByPeer();
    void failed(const QString &description);
    void connectionRefusedFrom(const QHostAddress &address);

private:
    void adopt(QTcpSocket *socket);
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onBytesWritten(qint64 bytes);
    void onNewConnection();
    void dropSocket();
    // A socket or server closed while one of its notifications is still being
    // handled (a host may run a nested event loop there) is deleted only after
    // that notification has returned.
    void retire(QObject *object);
    void releaseRetired();
    class NotificationScope;
    int m_notificationDepth = 0;
    QList<QPointer<QObject>> m_retired;

    QPointer<QTcpSocket> m_socket;
    QPointer<QTcpServer> m_server;
    QHostAddress m_allowedPeer;
    qint64 m_readBufferSize = 0;
    bool m_peerClosedRaised = false;
    // A handle of the connection finish() closed, shut for sending as closing
    // it would be: the system still tells what the peer has acknowledged.
    int m_finishedHandle = -1;
};

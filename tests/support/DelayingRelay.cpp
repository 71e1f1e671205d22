#include "DelayingRelay.h"

#include <QTcpSocket>
#include <QTimer>

DelayingRelay::DelayingRelay(int delayMs, QObject *parent) : QObject(parent), m_delayMs(delayMs)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &DelayingRelay::join);
}

DelayingRelay::~DelayingRelay()
{
    // The relay's end passes nothing on.
    for (QTcpSocket *socket : findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect();
        socket->abort();
    }
}

bool DelayingRelay::listen(quint16 serverPort)
{
    m_serverPort = serverPort;
    return m_listener.listen(QHostAddress::LocalHost, 0);
}

void DelayingRelay::join()
{
    while (QTcpSocket *client = m_listener.nextPendingConnection()) {
        client->setParent(this);
        auto *server = new QTcpSocket(this);
        // Each side's bytes and its close reach the other side `m_delayMs`
        // later, in order (timers of one delay fire in the order they were started).
        const auto pass = [delay = m_delayMs](QTcpSocket *from, QTcpSocket *to) {
            connect(from, &QTcpSocket::readyRead, to, [delay, from, to] {
                QTimer::singleShot(delay, to, [to, bytes = from->readAll()] { to->write(bytes); });
            });
            connect(from, &QTcpSocket::disconnected, to, [delay, to] {
                QTimer::singleShot(delay, to, [to] { to->disconnectFromHost(); });
            });
        };
        pass(client, server);
        pass(server, client);
        server->connectToHost(QHostAddress::LocalHost, m_serverPort);
    }
}

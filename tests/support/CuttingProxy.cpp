#include "CuttingProxy.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <sys/socket.h>

#include <utility>

CuttingProxy::CuttingProxy(QObject *parent)
    : QObject(parent)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &CuttingProxy::onControlConnection);
}

CuttingProxy::~CuttingProxy()
{
    for (const PairPtr &pair : m_pairs) {
        for (QTcpSocket *socket : {pair->client.data(), pair->server.data()}) {
            if (socket) {
                socket->disconnect(this);
                socket->abort();
            }
        }
    }
}

bool CuttingProxy::listen(quint16 serverPort)
{
    m_serverPort = serverPort;
    return m_listener.listen(QHostAddress::LocalHost, 0);
}

void CuttingProxy::setCut(qint64 bytes, Cut how)
{
    m_cutAfter = bytes;
    m_how = how;
}

void CuttingProxy::onControlConnection()
{
    while (QTcpSocket *client = m_listener.nextPendingConnection())
        join(client, m_serverPort, true);
}

CuttingProxy::PairPtr CuttingProxy::join(QTcpSocket *client, quint16 serverPort, bool control)
{
    auto pair = std::make_shared<Pair>();
    pair->client = client;
    client->setParent(this);
    if (!control) {
        pair->cutAfter = m_cutAfter;
        pair->how = m_how;
    }
    auto *server = new QTcpSocket(this);
    pair->server = server;
    m_pairs.append(pair);
    connect(server, &QTcpSocket::connected, this, [pair] {
        if (pair->server && !pair->toServer.isEmpty())
            pair->server->write(std::exchange(pair->toServer, {}));
    });
    connect(client, &QTcpSocket::readyRead, this, [this, pair] { clientBytes(pair); });
    connect(server, &QTcpSocket::readyRead, this, [this, pair, control] { serverBytes(pair, control); });
    // A close on one side is passed on to the other once what it sent is through.
    connect(client, &QTcpSocket::disconnected, this, [this, pair] {
        clientBytes(pair);
        if (pair->server && (!pair->cut || pair->how == Cut::ClientNotTold))
            pair->server->disconnectFromHost();
    });
    connect(server, &QTcpSocket::disconnected, this, [this, pair, control] {
        serverBytes(pair, control);
        if (pair->client && !pair->cut)
            pair->client->disconnectFromHost();
    });
    server->connectToHost(QHostAddress::LocalHost, serverPort);
    return pair;
}

void CuttingProxy::clientBytes(const PairPtr &pair)
{
    if (!pair->client)
        return;
    QByteArray bytes = pair->client->readAll();
    if (pair->cut || bytes.isEmpty())
        return; // cut: the rest is thrown away
    if (pair->cutAfter >= 0 && pair->clientBytes + bytes.size() >= pair->cutAfter) {
        bytes.truncate(pair->cutAfter - pair->clientBytes);
        pair->cut = true;
        ++m_cuts;
    }
    pair->clientBytes += bytes.size();
    if (pair->server && pair->server->state() == QAbstractSocket::ConnectedState)
        pair->server->write(bytes);
    else
        pair->toServer += bytes;
    if (!pair->cut || pair->how == Cut::ClientNotTold)
        return; // not told: the server sees the end when the client closes
    if (pair->server)
        pair->server->disconnectFromHost(); // after what was written: the server sees an ordinary end
    // Only the sending direction is closed: the client reads the end of the
    // stream, and its later bytes are still taken (and thrown away) rather
    // than answered with a reset.
    if (pair->client)
        ::shutdown(static_cast<int>(pair->client->socketDescriptor()), SHUT_WR);
}

void CuttingProxy::serverBytes(const PairPtr &pair, bool control)
{
    if (!pair->server || !pair->client)
        return;
    const QByteArray bytes = pair->server->readAll();
    if (!control) {
        if (!pair->cut)
            pair->client->write(bytes);
        return;
    }
    pair->fromServerLine += bytes;
    qsizetype end;
    while ((end = pair->fromServerLine.indexOf('\n')) >= 0) {
        const QByteArray line = pair->fromServerLine.left(end + 1);
        pair->fromServerLine.remove(0, end + 1);
        pair->client->write(line.startsWith("227 ") ? rewritePassive(line) : line);
    }
}

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the proxy listens for the
// data connection and names its own port.
QByteArray CuttingProxy::rewritePassive(const QByteArray &line)
{
    static const QRegularExpression numbers(QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"));
    const QRegularExpressionMatch match = numbers.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return line;
    const quint16 serverPort = static_cast<quint16>(match.captured(5).toUInt() * 256 + match.captured(6).toUInt());
    auto *listener = new QTcpServer(this);
    if (!listener->listen(QHostAddress::LocalHost, 0)) {
        delete listener;
        return line;
    }
    m_dataListeners.append(listener);
    connect(listener, &QTcpServer::newConnection, this, [this, listener, serverPort] {
        while (QTcpSocket *client = listener->nextPendingConnection())
            join(client, serverPort, false);
        listener->close();
    });
    const quint16 port = listener->serverPort();
    return "227 Entering Passive Mode (127,0,0,1," + QByteArray::number(port >> 8) + ","
         + QByteArray::number(port & 0xFF) + ").\r\n";
}

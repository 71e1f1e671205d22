#include "HandOffServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QtEndian>

namespace {
const char *const kBufferProperty = "handOffBuffer";
const char *const kAnsweredProperty = "handOffAnswered";
}

HandOffServer::HandOffServer(QObject *parent) : QObject(parent) {}

HandOffServer::~HandOffServer() { close(); }

bool HandOffServer::listen(const QString &socketPath, QString *error)
{
    close();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &HandOffServer::accept);
    if (!m_server->listen(socketPath)) {
        if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
            QLocalServer::removeServer(socketPath);
            if (m_server->listen(socketPath))
                return true;
        }
        if (error)
            *error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    return true;
}

void HandOffServer::close()
{
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

bool HandOffServer::isListening() const { return m_server && m_server->isListening(); }

void HandOffServer::accept()
{
    while (m_server && m_server->hasPendingConnections()) {
        QLocalSocket *socket = m_server->nextPendingConnection();
        socket->setParent(this);
        socket->setReadBufferSize(kHeaderSize + kMaxPayload);
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
            if (guard)
                readFrom(guard);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(m_frameTimeoutMs, socket, [this, guard] {
            if (guard && !guard->property(kAnsweredProperty).toBool()) {
                emit frameRejected(QStringLiteral("incomplete frame timed out"));
                if (guard)
                    guard->abort();
            }
        });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void HandOffServer::readFrom(QLocalSocket *socket)
{
    if (socket->property(kAnsweredProperty).toBool()) {
        socket->readAll(); // one frame per connection; the rest is ignored
        return;
    }
    QByteArray buffer = socket->property(kBufferProperty).toByteArray();
    if (buffer.size() < kHeaderSize)
        buffer += socket->read(kHeaderSize - buffer.size());
    if (buffer.size() < kHeaderSize) {
        socket->setProperty(kBufferProperty, buffer);
        return;
    }
    const quint32 tag = qFromLittleEndian<quint32>(buffer.constData());
    const quint32 count = qFromLittleEndian<quint32>(buffer.constData() + 4);
    if (count > kMaxPayload) {
        emit frameRejected(QStringLiteral("frame of %1 bytes is over the limit").arg(count));
        answer(socket, -1);
        return;
    }
    const qint64 frameSize = kHeaderSize + static_cast<qint64>(count);
    buffer += socket->read(frameSize - buffer.size());
    socket->setProperty(kBufferProperty, buffer);
    if (buffer.size() < frameSize)
        return;

    socket->setProperty(kAnsweredProperty, true);
    socket->setProperty(kBufferProperty, QVariant());
    const QByteArray payload = buffer.mid(kHeaderSize, count);
    QPointer<QLocalSocket> guard(socket);
    qint32 result = 0;
    if (count > 0 && m_handler)
        result = m_handler(tag, payload);
    if (guard)
        answer(guard, result);
}

void HandOffServer::answer(QLocalSocket *socket, qint32 result)
{
    socket->setProperty(kAnsweredProperty, true);
    char bytes[4];
    qToLittleEndian(result, bytes);
    socket->write(bytes, sizeof bytes);
    socket->flush();
    socket->disconnectFromServer();
}

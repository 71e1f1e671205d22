#include "HandOffClient.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QtEndian>

HandOffClient::HandOffClient() = default;

HandOffClient::~HandOffClient()
{
    if (m_socket)
        m_socket->abort();
}

bool HandOffClient::connectTo(const QString &socketPath, int timeoutMs)
{
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(socketPath);
    if (m_socket->waitForConnected(timeoutMs))
        return true;
    m_socket.reset();
    return false;
}

bool HandOffClient::isConnected() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

QByteArray HandOffClient::Frame(quint32 tag, const QByteArray &payload)
{
    QByteArray frame(8, Qt::Uninitialized);
    qToLittleEndian(tag, frame.data());
    qToLittleEndian(static_cast<quint32>(payload.size()), frame.data() + 4);
    return frame + payload;
}

std::optional<qint32> HandOffClient::send(quint32 tag, const QByteArray &payload, int timeoutMs)
{
    if (!isConnected())
        return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    m_socket->write(Frame(tag, payload));
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return std::nullopt;
    }
    QByteArray reply;
    while (reply.size() < 4) {
        if (m_socket->bytesAvailable() == 0
            && !m_socket->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        reply += m_socket->read(4 - reply.size());
    }
    reply += m_socket->read(4 - reply.size());
    m_socket->disconnectFromServer();
    if (reply.size() < 4)
        return std::nullopt;
    return qFromLittleEndian<qint32>(reply.constData());
}

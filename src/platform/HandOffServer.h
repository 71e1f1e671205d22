#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The receiving end of the hand-off between two starts of the program: a
// per-user local socket. Each connection carries one frame
//   tag (32-bit LE), byte count (32-bit LE), payload
// and gets one 32-bit LE answer: what the handler returned (0, or -1 when it
// failed). Oversized frames are answered -1 and dropped; a frame that does
// not complete within the time-out is dropped.
class HandOffServer : public QObject
{
    Q_OBJECT
public:
    // Answers 0 on success, -1 on failure. A count of 0 reaches no handler.
    using Handler = std::function<qint32(quint32 tag, const QByteArray &payload)>;

    static constexpr qint64 kMaxPayload = 64 * 1024;
    static constexpr int kHeaderSize = 8;

    explicit HandOffServer(QObject *parent = nullptr);
    ~HandOffServer() override;

    // Listens at the socket path; a socket left behind by a process that died
    // is replaced (the caller holds the instance lock, so it cannot be live).
    bool listen(const QString &socketPath, QString *error = nullptr);
    void close();
    bool isListening() const;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    void setFrameTimeout(int milliseconds) { m_frameTimeoutMs = milliseconds; }

signals:
    void frameRejected(const QString &reason);

private:
    void accept();
    void readFrom(QLocalSocket *socket);
    void answer(QLocalSocket *socket, qint32 result);

    QLocalServer *m_server = nullptr;
    Handler m_handler;
    int m_frameTimeoutMs = 5000;
};

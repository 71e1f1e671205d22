#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QLocalSocket;

// The sending end of the hand-off (see HandOffServer): a second start
// connects to the first instance, sends one frame and waits for the answer.
// Runs before any window exists, so it waits blocking, always with a time-out.
class HandOffClient
{
public:
    HandOffClient();
    ~HandOffClient();
    HandOffClient(const HandOffClient &) = delete;
    HandOffClient &operator=(const HandOffClient &) = delete;

    // True when a first instance listens at the path (the connection is kept
    // for send()).
    bool connectTo(const QString &socketPath, int timeoutMs = 2000);
    bool isConnected() const;

    // The receiver's answer (0, or -1 when it failed); nothing when the frame
    // could not be delivered or no answer came in time.
    std::optional<qint32> send(quint32 tag, const QByteArray &payload, int timeoutMs);

    static QByteArray Frame(quint32 tag, const QByteArray &payload);

private:
    std::unique_ptr<QLocalSocket> m_socket;
};

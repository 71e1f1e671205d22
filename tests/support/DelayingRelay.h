#pragma once

#include <QObject>
#include <QTcpServer>

// A relay in front of a server's control port on 127.0.0.1 that holds every
// piece passing either way for `delayMs` before passing it on, as a far
// link does. Passive replies pass unchanged: data connections go to the
// server directly.
class DelayingRelay : public QObject
{
    Q_OBJECT
public:
    explicit DelayingRelay(int delayMs, QObject *parent = nullptr);
    ~DelayingRelay() override;

    [[nodiscard]] bool listen(quint16 serverPort);
    quint16 port() const { return m_listener.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1"); }

private:
    void join();

    QTcpServer m_listener;
    quint16 m_serverPort = 0;
    int m_delayMs;
};

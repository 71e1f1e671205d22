#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// A TCP proxy in front of a real FTP server on 127.0.0.1 that cuts upload
// data connections part-way, as a broken network path does. The control
// connection is passed through; each passive reply (227) is rewritten so the
// data connection also runs through the proxy. A data connection on which
// the client has sent `cutAfter` bytes is cut there, and whatever else the
// client sends is thrown away. ClientSeesClose: both sides are closed in order
// at once (the server sees an ordinary end of the upload). ClientNotTold: the
// client notices nothing, and the server sees the end when the client closes.
class CuttingProxy : public QObject
{
    Q_OBJECT
public:
    enum class Cut { ClientSeesClose, ClientNotTold };

    explicit CuttingProxy(QObject *parent = nullptr);
    ~CuttingProxy() override;

    [[nodiscard]] bool listen(quint16 serverPort);
    quint16 port() const { return m_listener.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1"); }

    // Data connections opened from now on are cut after `bytes` from the client (-1: never).
    void setCut(qint64 bytes, Cut how);
    int cuts() const { return m_cuts; }

private:
    struct Pair {
        QPointer<QTcpSocket> client;
        QPointer<QTcpSocket> server;
        QByteArray toServer; // written once the server side is connected
        QByteArray fromServerLine; // control only: an incomplete reply line
        qint64 clientBytes = 0;
        qint64 cutAfter = -1;
        Cut how = Cut::ClientSeesClose;
        bool cut = false;
    };
    using PairPtr = std::shared_ptr<Pair>;

    void onControlConnection();
    PairPtr join(QTcpSocket *client, quint16 serverPort, bool control);
    void clientBytes(const PairPtr &pair);
    void serverBytes(const PairPtr &pair, bool control);
    QByteArray rewritePassive(const QByteArray &line);

    QTcpServer m_listener;
    quint16 m_serverPort = 0;
    qint64 m_cutAfter = -1;
    Cut m_how = Cut::ClientSeesClose;
    int m_cuts = 0;
    QList<PairPtr> m_pairs;
    QList<QPointer<QTcpServer>> m_dataListeners;
};

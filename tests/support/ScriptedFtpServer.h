#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <optional>

// An in-process FTP server that says exactly what a test scripts, for the
// replies and faults a real server will not produce: replies split across
// packets, delays, missing greetings, hostile PASV replies, dropped control or
// data connections. It runs on the test's own event loop, on 127.0.0.1.
//
// Without a rule a command gets a plain default reply (USER 331, PASS 230,
// PWD 257 "/", CWD/TYPE/NOOP/MKD... 2xx, PASV and PORT set up a data
// connection, LIST/NLST/RETR send the scripted data, STOR/APPE store what
// arrives, QUIT 221 and close). A REST offset holds, as on vsftpd, until the
// session's next RETR, STOR or APPE (a scripted refusal too), whatever comes
// in between.
class ScriptedFtpServer : public QObject
{
    Q_OBJECT
public:
    // One piece of a reply, written after `delayMs` (counted from the previous piece).
    struct Chunk {
        QByteArray bytes;
        int delayMs = 0;
    };
    using Reply = QList<Chunk>;
    // A rule answers a command's argument with a reply (may be empty: say nothing).
    using Rule = std::function<Reply(const QByteArray &argument)>;

    explicit ScriptedFtpServer(QObject *parent = nullptr);
    ~ScriptedFtpServer() override;

    [[nodiscard]] bool listen();
    quint16 port() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }

    void setGreeting(const QByteArray &text);   // CR LF added when missing
    void setGreeting(const Reply &chunks);      // written as given
    void setNoGreeting();

    // Replies to a verb (upper case); the text gets CR LF when it has none.
    void on(const QByteArray &verb, const QByteArray &replyText);
    void on(const QByteArray &verb, const Reply &chunks);
    void on(const QByteArray &verb, Rule rule);
    // Successive replies to the same verb; the last one repeats.
    void onSequence(const QByteArray &verb, const QList<QByteArray> &replies);
    // Back to the default reply for the verb.
    void off(const QByteArray &verb);
    // Closes the control connection when this verb arrives.
    void dropOn(const QByteArray &verb);
    // A line written before the reply to the next command, as a stray reply
    // (CR LF added when missing); a new connection forgets it.
    void sayBeforeNextReply(const QByteArray &text) { m_beforeNextReply = text; }
    // A line written now, as a reply that comes late (CR LF added when missing).
    void say(const QByteArray &text);
    // As pyftpdlib does with a download stopped before its data connection
    // was made: the next PORT's connection is made at once and carries
    // `bytes` (that download's), then closes; PORT's reply follows 100 ms later.
    void sendOnNextPort(const QByteArray &bytes) { m_sendOnPort = bytes; }
    // The same in passive mode: the next passive connection is sent `bytes`
    // as soon as it is taken, then closed, and `end` comes before the next reply.
    void sendOnNextPassive(const QByteArray &bytes, const QByteArray &end)
    {
        m_sendOnPassive = bytes;
        m_sendOnPassiveEnd = end;
    }
    // REST is refused with 501 unless the session is in binary mode (TYPE I),
    // as pyftpdlib and proftpd do.
    void refuseRestInAscii() { m_restBinaryOnly = true; }

    // Data sent for LIST/NLST and for RETR (the part from the REST offset on).
    void setListing(const QByteArray &data);
    void setFileData(const QByteArray &data);
    // The file the server holds under `path` (as STOR names it), as if stored earlier.
    void setStoredFile(const QByteArray &path, const QByteArray &data);
    // The reply that ends a transfer whose data connection closed in order
    // ("226 Transfer complete." unless set).
    void setTransferDoneReply(const QByteArray &text) { m_transferDone = text; }
    // The reply that opens a transfer ("150 Opening BINARY mode data connection." unless set).
    void setTransferStartReply(const QByteArray &text) { m_transferStart = text; }
    // How vsftpd and pure-ftpd end the listing of a folder they enter but cannot read.
    static inline const QByteArray kVsftpdUnreadFolder = "226 Transfer done (but failed to open directory).";
    static inline const QByteArray kPureFtpdUnreadFolder =
        "226-Sorry, we were unable to read [.]\r\n226-Options: -l\r\n226 0 matches total";
    // Abort the data connection after this many bytes of the next transfers
    // (-1: never); the control connection then gets `reply` (426 unless set).
    void setDataDropAfter(qint64 bytes, const QByteArray &reply = {});
    // As servers storing uploads under a temporary name do: a STOR that
    // fails leaves the file held before as it was.
    void keepFileOnFailedStore(bool on) { m_keepOnFailedStore = on; }
    // The address the 227 reply names (e.g. "10,0,0,9"); the server still
    // listens on 127.0.0.1.
    void setPassiveHost(const QByteArray &commaAddress);
    // In passive mode a transfer command is answered 150 only once its data
    // connection is made, and, as vsftpd, proftpd and pure-ftpd do, no command
    // is read while the server waits for it.
    void setPreliminaryWhenConnected(bool on) { m_preliminaryWhenConnected = on; }
    // The next passive address takes none of its data connections: they wait
    // in its queue, as on a server busy elsewhere, and later ones queue too.
    void leaveNextPassiveConnectionsQueued() { m_queueNextPassive = true; }
    // The next transfer's final reply (226 or 426) is held back, its data
    // connection closed, until releaseFinalReply(); finalReplyHeld() tells.
    void holdFinalReply() { m_holdFinalReply = true; }
    bool finalReplyHeld() const { return !m_heldFinalReply.isEmpty(); }
    void releaseFinalReply();
    // Closes the control connection once this many bytes were written to it.
    void setControlDropAfter(qint64 bytes);
    // The next RETR or STOR freezes the server once this many bytes of its
    // data have passed (-1: never), as a stopped process would: nothing is
    // read or written on either connection until thaw(). frozen() tells.
    void setStallAfter(qint64 bytes);
    bool isFrozen() const { return m_frozen; }
    // As pure-ftpd does: while a transfer runs, the server reads the control
    // connection only to look for ABOR. What it read at once with ABOR is
    // lost; the transfer ends with "426 ABORT" and "226 Aborted.".
    void loseWhatComesWithAbortInTransfers() { m_loseWithAbort = true; }
    // Bytes the client sent that the server has not read (a frozen server reads none).
    qint64 unreadControlBytes() const { return m_control ? m_control->bytesAvailable() : 0; }
    // The server goes on: the rest of the data, the transfer's final reply,
    // then the replies to the commands that came meanwhile. Only a frozen
    // server can go on: called earlier, it fails the test.
    void thaw();

    // What happened.
    QList<QByteArray> commands() const { return m_commands; } // lines as received, no CR LF
    // How many commands received start with prefix.
    int commandCount(const QByteArray &prefix) const
    {
        int n = 0;
        for (const QByteArray &command : m_commands)
            n += command.startsWith(prefix) ? 1 : 0;
        return n;
    }
    QByteArray storedData() const { return m_stored; }
    qint64 restOffset() const { return m_restOffset; }
    int connectionCount() const { return m_connections; }
    bool clientConnected() const;
    quint16 lastPortTarget() const { return m_portTarget; }

    // Closes the current control connection now.
    void closeControl();
    // Waits, without running the event loop, until the client's next bytes
    // reach the control connection, and takes them in; false if none came.
    bool takeClientBytes(int msecs);

signals:
    void commandReceived(const QByteArray &line);
    void dataTransferFinished();
    void frozen();

private:
    void onNewConnection();
    void onControlReadyRead();
    bool abortReadInTransfer();
    void handleCommand(const QByteArray &line);
    void send(const Reply &reply);
    void sendNow(const QByteArray &bytes);
    Reply defaultReply(const QByteArray &verb, const QByteArray &argument);
    void openPassive();
    void startTransfer(const QByteArray &verb);
    void withDataSocket(std::function<void(QTcpSocket *)> action);
    void finishTransfer(bool aborted);
    void freeze();
    // Runs `action` now, or at thaw() while the server is frozen.
    void unlessFrozen(std::function<void()> action);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_control;
    QByteArray m_inBuffer;
    Reply m_greeting;
    bool m_greet = true;
    QHash<QByteArray, Rule> m_rules;
    QHash<QByteArray, QList<QByteArray>> m_sequences;
    QList<QByteArray> m_dropVerbs;
    QByteArray m_beforeNextReply;
    QByteArray m_sendOnPort;
    QByteArray m_sendOnPassive;
    QByteArray m_sendOnPassiveEnd;
    QList<QByteArray> m_commands;
    int m_connections = 0;
    QList<Chunk> m_outgoing; // written in order, each after its delay
    bool m_waitingOnDelay = false;
    void pumpOutgoing();

    QByteArray m_listing;
    QByteArray m_fileData;
    QByteArray m_stored;
    QByteArray m_storedName; // the argument of the last STOR or APPE
    qint64 m_restOffset = 0;
    bool m_binary = false; // the session's TYPE is I
    QByteArray m_transferDone = "226 Transfer complete.";
    QByteArray m_transferStart = "150 Opening BINARY mode data connection.";
    bool m_restBinaryOnly = false;
    qint64 m_dataDropAfter = -1;
    QByteArray m_dropReply;
    bool m_keepOnFailedStore = false;
    std::optional<QByteArray> m_storedBefore; // the file a running STOR replaces
    qint64 m_controlDropAfter = -1;
    qint64 m_controlWritten = 0;
    QByteArray m_passiveHost = "127,0,0,1";

    QPointer<QTcpServer> m_dataServer;
    QPointer<QTcpSocket> m_data;
    quint16 m_portTarget = 0;
    bool m_activeMode = false;
    bool m_transferRunning = false;
    qint64 m_stallAfter = -1;
    bool m_frozen = false;
    bool m_loseWithAbort = false;
    bool m_preliminaryWhenConnected = false;
    bool m_queueNextPassive = false;
    bool m_awaitingData = false; // reads no command until the data connection comes
    QList<std::function<void()>> m_onThaw;
    bool m_holdFinalReply = false;
    QByteArray m_heldFinalReply;
};

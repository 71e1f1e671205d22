#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server for a test: Debian's pyftpdlib on 127.0.0.1 at a port the
// system picks, serving a temporary folder. User "user" with password
// "secret" may do everything; anonymous users may read.
class PyFtpServer
{
public:
    static constexpr const char *kUser = "user";
    static constexpr const char *kPassword = "secret";

    PyFtpServer();
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer &) = delete;
    PyFtpServer &operator=(const PyFtpServer &) = delete;

    // Before start(): the user's rights below a folder of the root, in
    // pyftpdlib's letters ("elr": list and read only, "el": not even read).
    void setFolderRights(const QString &relativePath, const QString &rights);
    // Before start(): listings leave out names that begin with "." (as pure-ftpd's
    // plain LIST does); such folders and files are still there when asked for by name.
    void setHideDotNames() { m_hideDotNames = true; }
    // Before start(): stores refused as other servers' settings refuse them,
    // "553" before any data moves: of a name the folder does not hold (the
    // user may write its files but make none), or of any name beginning with ".".
    void refuseNewFilesIn(const QString &relativePath) { m_arguments << QStringLiteral("--refuse-new") << relativePath; }
    void refuseDotFileNames() { m_arguments << QStringLiteral("--refuse-dot"); }
    // Before start(): a passive store so refused is refused only once its data
    // connection came, and that connection is closed: the other server of a
    // copy between two servers has reached it and lost it by then.
    void refuseOnceConnected() { m_arguments << QStringLiteral("--refuse-once-connected"); }
    // Before start(): the folder is listed as proftpd lists one it may enter but
    // not read: LIST and NLST as an empty folder, MLSD refused with 550.
    void listAsUnreadable(const QString &relativePath) { m_arguments << QStringLiteral("--unreadable") << relativePath; }
    // Before start(): the server reads at most this many bytes of an upload a
    // second (in bursts: as much at once, then it waits), through a receive
    // buffer of 64 KiB (the system takes that much more, doubled).
    void limitUploadRate(int bytesPerSecond)
    {
        m_arguments << QStringLiteral("--read-limit") << QString::number(bytesPerSecond);
    }

    // Starts the server; false (with a reason in error()) when it did not come up.
    [[nodiscard]] bool start();
    void stop();

    bool isRunning() const;
    quint16 port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString rootPath() const { return m_root.path(); }
    QString error() const { return m_error; }

    // Helpers to prepare the served tree; paths are relative to the root.
    bool writeFile(const QString &relativePath, const QByteArray &content) const;
    QByteArray readFile(const QString &relativePath) const;
    bool makeFolder(const QString &relativePath) const;
    bool exists(const QString &relativePath) const;

private:
    QTemporaryDir m_root;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QStringList m_rights;    // --perm arguments
    bool m_hideDotNames = false;
    QStringList m_arguments; // further arguments of the server's script
};

#include "PyFtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef FTPQOR_TEST_SUPPORT_DIR
#error "FTPQOR_TEST_SUPPORT_DIR must name tests/support"
#endif

namespace {

// Runs in the forked child before exec, so only async-signal-safe calls.
void PrepareServerChild()
{
    // The server dies with the test, even when the test crashes or is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The test may have died between fork and prctl: the parent is then init.
    if (::getppid() == 1)
        ::_exit(1);
    // Whatever the test process holds open (sockets, files, pipes of other
    // children) is closed at exec, so a server can never keep it alive.
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */) == 0)
        return;
#endif
    rlimit limit{};
    const long last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                          ? static_cast<long>(std::min<rlim_t>(limit.rlim_cur, 65536))
                          : 4096;
    for (int fd = 3; fd < last; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags != -1 && !(flags & FD_CLOEXEC))
            ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

} // namespace

PyFtpServer::PyFtpServer() = default;

PyFtpServer::~PyFtpServer() { stop(); }

void PyFtpServer::setFolderRights(const QString &relativePath, const QString &rights)
{
    m_rights << relativePath + QLatin1Char('=') + rights;
}

bool PyFtpServer::start()
{
    if (!m_root.isValid()) {
        m_error = QStringLiteral("cannot create the server's root folder");
        return false;
    }
    // Debian's interpreter: pyftpdlib is installed for it, not for other pythons on PATH.
    const QString python = QStringLiteral("/usr/bin/python3");
    const QString script = QStringLiteral(FTPQOR_TEST_SUPPORT_DIR "/pyftpd_server.py");
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setChildProcessModifier(PrepareServerChild);
    QStringList arguments{script, QStringLiteral("--root"), m_root.path(), QStringLiteral("--user"),
                          QString::fromLatin1(kUser), QStringLiteral("--password"),
                          QString::fromLatin1(kPassword), QStringLiteral("--anonymous")};
    for (const QString &rights : m_rights)
        arguments << QStringLiteral("--perm") << rights;
    if (m_hideDotNames)
        arguments << QStringLiteral("--hide-dot-names");
    arguments << m_arguments;
    m_process.start(python, arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start ") + python + QStringLiteral(": ") + m_process.errorString();
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            break;
        m_process.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 500)));
        out += m_process.readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (!line.startsWith("PORT ")) {
        m_error = QStringLiteral("pyftpdlib did not start: ") + QString::fromUtf8(m_process.readAllStandardError());
        stop();
        return false;
    }
    m_port = static_cast<quint16>(line.mid(5).toUInt());
    return m_port != 0;
}

void PyFtpServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool PyFtpServer::isRunning() const { return m_process.state() == QProcess::Running; }

bool PyFtpServer::writeFile(const QString &relativePath, const QByteArray &content) const
{
    const QString path = m_root.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray PyFtpServer::readFile(const QString &relativePath) const
{
    QFile file(m_root.filePath(relativePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool PyFtpServer::makeFolder(const QString &relativePath) const { return QDir().mkpath(m_root.filePath(relativePath)); }

bool PyFtpServer::exists(const QString &relativePath) const { return QFileInfo::exists(m_root.filePath(relativePath)); }

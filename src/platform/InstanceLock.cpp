#include "InstanceLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::InstanceLock(QString lockPath) : m_path(std::move(lockPath)) {}

InstanceLock::~InstanceLock() { release(); }

InstanceLock::Outcome InstanceLock::acquire(QString *error)
{
    if (isHeld())
        return Outcome::Acquired;
    // Close-on-exec: a program we start must not inherit (and so keep) the lock.
    const QByteArray nativePath = QFile::encodeName(m_path);
    const int fd = ::open(nativePath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int cause = errno;
        if (error)
            *error = (cause == EACCES || cause == EPERM || cause == EROFS
                          ? QStringLiteral("No permission to create the lock file ")
                          : QStringLiteral("The lock file could not be created: "))
                + m_path + QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(cause)) + QLatin1Char(')');
        return Outcome::Failed;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_fd = fd;
        // The holder's process id, for whoever looks at the file.
        const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
        if (::ftruncate(fd, 0) == 0) {
            // Only informative: the lock holds whether or not this is written.
            [[maybe_unused]] const ssize_t written = ::write(fd, pid.constData(), static_cast<size_t>(pid.size()));
        }
        return Outcome::Acquired;
    }
    const int cause = errno;
    ::close(fd);
    if (cause == EWOULDBLOCK)
        return Outcome::HeldByAnother;
    if (error)
        *error = QStringLiteral("The lock file could not be locked: ") + m_path + QStringLiteral(" (")
            + QString::fromLocal8Bit(std::strerror(cause)) + QLatin1Char(')');
    return Outcome::Failed;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd); // frees the kernel lock
        m_fd = -1;
    }
}

#include "InstanceLock.h"

#include <QLockFile>

InstanceLock::InstanceLock(QString lockPath) : m_path(std::move(lockPath)) {}

InstanceLock::~InstanceLock() { release(); }

InstanceLock::Outcome InstanceLock::acquire(QString *error)
{
    if (isHeld())
        return Outcome::Acquired;
    auto lock = std::make_unique<QLockFile>(m_path);
    // No age makes a lock stale: only a holder that no longer runs loses it.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return Outcome::Acquired;
    }
    switch (lock->error()) {
    case QLockFile::LockFailedError:
        return Outcome::HeldByAnother;
    case QLockFile::PermissionError:
        if (error)
            *error = QStringLiteral("No permission to create the lock file ") + m_path;
        return Outcome::Failed;
    default:
        if (error)
            *error = QStringLiteral("The lock file could not be created: ") + m_path;
        return Outcome::Failed;
    }
}

void InstanceLock::release()
{
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
}

bool InstanceLock::isHeld() const { return m_lock && m_lock->isLocked(); }

#pragma once

#include <QString>

#include <memory>

class QLockFile;

// One program instance per user: a lock file that the kernel frees with its
// process. A live holder is never taken over; the lock of a process that died
// is taken over by the next start.
class InstanceLock
{
public:
    enum class Outcome {
        Acquired,      // this process holds the lock now
        HeldByAnother, // a live process holds it
        Failed,        // the lock could not be set up (folder, permissions ...)
    };

    explicit InstanceLock(QString lockPath);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    Outcome acquire(QString *error = nullptr);
    void release();
    bool isHeld() const;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

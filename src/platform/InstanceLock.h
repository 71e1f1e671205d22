#pragma once

#include <QString>

// One program instance per user: a kernel lock on a file, which the kernel
// frees when its process ends, however it ends. A live holder is never taken
// over, and nothing a dead holder left behind (the file, whatever it holds)
// can keep the next start out. The file itself stays: removing it would let
// two starts lock two different files of the same name.
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
    bool isHeld() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

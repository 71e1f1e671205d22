#pragma once

#include <QAbstractEventDispatcher>
#include <QObject>

#include <sys/resource.h>

// What a stretch of a benchmark cost this process: CPU time (user + system,
// all its threads, from the operating system's accounting) and how often the
// event loop of the thread that made it went to sleep and woke again. Wall
// time alone hides the client's cost behind a slow server's.
class RunCost
{
public:
    RunCost() : m_startCpu(ProcessCpuSeconds())
    {
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
            m_counting = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                          [this] { ++m_wakeUps; });
    }
    ~RunCost() { QObject::disconnect(m_counting); }
    RunCost(const RunCost &) = delete;
    RunCost &operator=(const RunCost &) = delete;

    double cpuSeconds() const { return ProcessCpuSeconds() - m_startCpu; }
    qint64 wakeUps() const { return m_wakeUps; }

    static double ProcessCpuSeconds()
    {
        rusage usage{};
        if (getrusage(RUSAGE_SELF, &usage) != 0)
            return 0;
        const auto seconds = [](const timeval &t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
        };
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }

private:
    double m_startCpu;
    qint64 m_wakeUps = 0;
    QMetaObject::Connection m_counting;
};

#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QObject>

#include <sys/resource.h>

// What a stretch of a benchmark cost this process: CPU time (user + system,
// all its threads, from the operating system's accounting), how often the
// event loop of the thread that made it went to sleep and woke again, and
// how many events it handed out meanwhile (sockets ready, timers, queued
// calls, drawing, layout). Wall time alone hides the client's cost behind a
// slow server's.
class RunCost : public QObject
{
public:
    RunCost() : m_startCpu(ProcessCpuSeconds())
    {
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
            m_counting = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                          [this] { ++m_wakeUps; });
        if (QCoreApplication *application = QCoreApplication::instance())
            application->installEventFilter(this);
    }
    ~RunCost() override { QObject::disconnect(m_counting); }
    RunCost(const RunCost &) = delete;
    RunCost &operator=(const RunCost &) = delete;

    double cpuSeconds() const { return ProcessCpuSeconds() - m_startCpu; }
    qint64 wakeUps() const { return m_wakeUps; }
    qint64 events() const { return m_events; }

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

protected:
    bool eventFilter(QObject *, QEvent *) override
    {
        ++m_events;
        return false;
    }

private:
    double m_startCpu;
    qint64 m_wakeUps = 0;
    qint64 m_events = 0;
    QMetaObject::Connection m_counting;
};

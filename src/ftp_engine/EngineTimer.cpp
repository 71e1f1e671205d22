#include "EngineTimer.h"

#include <QPointer>

#include <algorithm>

EngineTimer::EngineTimer(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &EngineTimer::tick);
    m_clock.start();
}

qint64 EngineTimer::now() const
{
    return m_clock.elapsed();
}

void EngineTimer::start(int intervalMs)
{
    m_interval = intervalMs;
    m_timer.start(intervalMs);
}

void EngineTimer::stop()
{
    m_timer.stop();
}

bool EngineTimer::isActive() const
{
    return m_timer.isActive();
}

void ManualEngineTimer::start(int intervalMs)
{
    m_interval = intervalMs;
    m_active = true;
    m_nextTick = m_now + (intervalMs > 0 ? intervalMs : 1);
}

void ManualEngineTimer::stop()
{
    m_active = false;
}

bool ManualEngineTimer::fire()
{
    if (!m_active)
        return false;
    m_now = std::max(m_now, m_nextTick);
    m_nextTick = m_now + (m_interval > 0 ? m_interval : 1);
    emit tick();
    return true;
}

void ManualEngineTimer::advance(qint64 milliseconds)
{
    QPointer<ManualEngineTimer> self(this);
    const qint64 end = m_now + milliseconds;
    while (self && m_active && m_nextTick <= end)
        fire();
    if (self)
        m_now = std::max(m_now, end);
}

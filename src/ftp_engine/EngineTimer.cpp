#include "EngineTimer.h"

#include <QPointer>

EngineTimer::EngineTimer(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &EngineTimer::tick);
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
}

void ManualEngineTimer::stop()
{
    m_active = false;
}

bool ManualEngineTimer::fire()
{
    if (!m_active)
        return false;
    emit tick();
    return true;
}

void ManualEngineTimer::advance(qint64 milliseconds)
{
    QPointer<ManualEngineTimer> self(this);
    qint64 passed = 0;
    while (self && m_active && passed < milliseconds) {
        passed += m_interval > 0 ? m_interval : 1;
        emit tick();
    }
}

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The engine's periodic timer and its clock. Deadlines are measured on the
// clock (monotonic milliseconds) and checked on each tick, so tests replace
// both with a timer they fire by hand instead of sleeping.
class EngineTimer : public QObject
{
    Q_OBJECT
public:
    explicit EngineTimer(QObject *parent = nullptr);

    virtual void start(int intervalMs);
    virtual void stop();
    virtual bool isActive() const;
    int interval() const { return m_interval; }
    // Monotonic milliseconds since the timer was made.
    virtual qint64 now() const;

signals:
    void tick();

protected:
    int m_interval = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
};

// A timer that only ticks when told to: the clock seam for tests.
class ManualEngineTimer : public EngineTimer
{
    Q_OBJECT
public:
    using EngineTimer::EngineTimer;

    void start(int intervalMs) override;
    void stop() override;
    bool isActive() const override { return m_active; }
    qint64 now() const override { return m_now; }

    // Time runs on to the next tick and the timer ticks, when it runs; true when it ticked.
    bool fire();
    // `milliseconds` of time pass, with a tick at every interval since the
    // timer was (re)started, as a real timer would give them.
    void advance(qint64 milliseconds);

private:
    bool m_active = false;
    qint64 m_now = 0;
    qint64 m_nextTick = 0;
};

#pragma once

#include <QObject>
#include <QTimer>

// The engine's periodic timer. Time-outs are counted in ticks of this timer,
// so tests replace it with a timer they fire by hand instead of sleeping.
class EngineTimer : public QObject
{
    Q_OBJECT
public:
    explicit EngineTimer(QObject *parent = nullptr);

    virtual void start(int intervalMs);
    virtual void stop();
    virtual bool isActive() const;
    int interval() const { return m_interval; }

signals:
    void tick();

protected:
    int m_interval = 0;

private:
    QTimer m_timer;
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

    // One tick, when the timer runs; true when it ticked.
    bool fire();
    // Ticks until `milliseconds` of timer time have passed or it stops.
    void advance(qint64 milliseconds);

private:
    bool m_active = false;
};

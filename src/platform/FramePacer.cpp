#include "FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>
#include <QWidget>

FramePacer::FramePacer(QWidget *window) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
}

// A held request leaves the window's changed areas marked, so Qt asks for no
// further drawing until the one made at the end of the frame has painted them all.
bool FramePacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_drawing)
        return false;
    if (m_frame.isActive()) {
        m_held = true;
        return true;
    }
    m_frame.start(kFrameMs, this);
    return false;
}

void FramePacer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_frame.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    if (!m_held) {
        m_frame.stop();
        return;
    }
    // The frame goes on: what changes while this drawing's frame runs waits for its end.
    m_held = false;
    m_drawing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_drawing = false;
}

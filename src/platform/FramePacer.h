#pragma once

#include <QBasicTimer>
#include <QObject>

class QWidget;

// Paints a window at most once a frame, however many of its widgets change in
// between. Texts, values and ranges still change at once; only the drawing
// waits. Qt asks a window to paint on every pass of the event loop that found
// a widget changed, so a window whose widgets change with every reply of a
// busy connection would otherwise paint many hundred times a second.
//
// The first drawing after a quiet frame goes through at once, so a window that
// changes now and then responds as before; drawings asked for while a frame
// runs are put together and made when it ends.
class FramePacer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFrameMs = 33;

    // Paces `window` (a top-level widget) for as long as both live.
    explicit FramePacer(QWidget *window);

    // True from a drawing until the end of its frame.
    bool frameRunning() const { return m_frame.isActive(); }
    // True while a drawing waits for the end of the frame.
    bool drawingHeld() const { return m_held; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QWidget *m_window;
    QBasicTimer m_frame; // runs from a drawing until the end of its frame
    bool m_held = false;
    bool m_drawing = false;
};

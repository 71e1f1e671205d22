#pragma once

#include <QByteArray>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <vector>

class QWidget;

// Where a top-level window opens, and the size it goes back to from
// maximised. Its frame is kept inside the screen's available area; the frame
// is estimated before the first show and measured once the window manager
// has put it around the window. The normal geometry is followed here rather
// than taken from the window, since a window manager may report the
// maximised size before it reports the maximised state.
class WindowPlacement : public QObject
{
    Q_OBJECT
public:
    explicit WindowPlacement(QWidget *window);

    // The client rectangle nearest to `client` whose frame lies inside
    // `area`: moved back where it runs off, made smaller where it is larger.
    static QRect FitIntoArea(const QRect &client, const QMargins &frame, const QRect &area);

    // Sets up the window before its first show from what saveGeometry()
    // stored and from NormalGeometry() (invalid when not stored). A window
    // maximised when stored comes back maximised; its position and normal
    // size come back only with `wholeGeometry`, else it keeps its own.
    // Either way the result fits the screen.
    void Restore(const QByteArray &geometry, const QRect &normal, bool wholeGeometry);

    // The geometry the window has, or returns to when it is maximised.
    QRect NormalGeometry() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMargins frameMargins() const;
    QRect availableArea(const QRect &near) const;
    void fitOnceFrameKnown();
    void noteNormalGeometry();
    void forgetMaximisedSize();

    QPointer<QWidget> m_window;
    std::vector<QRect> m_normal; // the latest normal geometries, newest last
    QRect m_placed;              // as set up before the first show
    bool m_fitPending = true;
};

#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

constexpr Qt::WindowStates kNotNormal = Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;
constexpr size_t kKeptGeometries = 4;
constexpr int kLeastBorder = 6;

} // namespace

WindowPlacement::WindowPlacement(QWidget *window) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
}

QRect WindowPlacement::FitIntoArea(const QRect &client, const QMargins &frame, const QRect &area)
{
    const QRect inner = area.marginsRemoved(frame);
    if (!client.isValid() || inner.isEmpty())
        return client;
    QRect fitted(client.topLeft(), client.size().boundedTo(inner.size()));
    fitted.moveLeft(std::clamp(fitted.left(), inner.left(), inner.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), inner.top(), inner.bottom() - fitted.height() + 1));
    return fitted;
}

void WindowPlacement::Restore(const QByteArray &geometry, const QRect &normal, bool wholeGeometry)
{
    if (!m_window)
        return;
    // Read through a window that is never shown: the stored state without the stored place.
    QWidget stored;
    const bool hasStored = !geometry.isEmpty() && stored.restoreGeometry(geometry);
    const bool maximised = hasStored && stored.isMaximized();
    QRect wanted = m_window->geometry();
    bool placed = m_window->testAttribute(Qt::WA_Moved);
    if (hasStored && wholeGeometry) {
        wanted = normal.isValid() ? normal : stored.normalGeometry();
        placed = true;
    }
    const QRect fitted = FitIntoArea(wanted, frameMargins(), availableArea(wanted));
    m_window->setWindowState(m_window->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    // A window of the size it wants that nobody placed is placed by the window manager.
    if (placed || fitted.size() != wanted.size())
        m_window->setGeometry(fitted);
    else
        m_window->resize(fitted.size());
    m_placed = m_window->geometry();
    m_normal = {m_placed};
    m_fitPending = true;
    if (maximised)
        m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
}

QRect WindowPlacement::NormalGeometry() const
{
    if (!m_window)
        return QRect();
    if (!(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return m_window->geometry();
    return m_normal.empty() ? m_window->normalGeometry() : m_normal.back();
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_window)
        return false;
    if (watched == m_window->windowHandle()) {
        // Framed before it is exposed; the window need not move for that.
        if (event->type() == QEvent::Expose)
            fitOnceFrameKnown();
        return false;
    }
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        noteNormalGeometry();
        fitOnceFrameKnown();
        break;
    case QEvent::Show:
        if (m_fitPending && m_window->windowHandle())
            m_window->windowHandle()->installEventFilter(this);
        fitOnceFrameKnown();
        break;
    case QEvent::WindowStateChange:
        forgetMaximisedSize();
        break;
    default:
        break;
    }
    return false;
}

QMargins WindowPlacement::frameMargins() const
{
    if (const QWindow *handle = m_window->windowHandle(); handle && m_window->isVisible()) {
        const QMargins measured = handle->frameMargins();
        if (!measured.isNull())
            return measured;
    }
    // Not yet framed: a title bar and borders as the style draws them, or
    // as wide as window managers' grips commonly are.
    const QStyle *style = m_window->style();
    const int border = std::max(kLeastBorder, style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, m_window));
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, m_window);
    return QMargins(border, title + border, border, border);
}

QRect WindowPlacement::availableArea(const QRect &near) const
{
    QScreen *screen = QGuiApplication::screenAt(near.center());
    if (!screen)
        screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void WindowPlacement::fitOnceFrameKnown()
{
    if (!m_fitPending || !m_window->isVisible())
        return;
    // Shown maximised: fitted once it is first shown at its own size.
    if (m_window->windowState() & kNotNormal)
        return;
    // Sized since it was set up: nothing left to fit.
    if (m_window->size() != m_placed.size()) {
        m_fitPending = false;
        return;
    }
    const QWindow *handle = m_window->windowHandle();
    if (!handle || handle->frameMargins().isNull())
        return; // the window manager has not framed it yet
    m_fitPending = false;
    const QRect now = m_window->geometry();
    const QRect fitted = FitIntoArea(now, handle->frameMargins(), availableArea(now));
    if (fitted != now) {
        // Not from inside the window's own move or resize.
        QMetaObject::invokeMethod(this, [window = m_window, fitted] {
            if (window)
                window->setGeometry(fitted);
        }, Qt::QueuedConnection);
    }
}

void WindowPlacement::noteNormalGeometry()
{
    if (m_window->windowState() & kNotNormal)
        return;
    const QRect now = m_window->geometry();
    if (!m_normal.empty() && m_normal.back() == now)
        return;
    m_normal.push_back(now);
    if (m_normal.size() > kKeptGeometries)
        m_normal.erase(m_normal.begin());
}

void WindowPlacement::forgetMaximisedSize()
{
    if (!(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // A window manager may make the window maximised before it says so (its
    // new size and its new place may come one by one): what was taken then
    // is no geometry the user gave it. Told first, the window is still as the user left it.
    const QRect now = m_window->geometry();
    const QWindow *handle = m_window->windowHandle();
    const QSize covered = now.marginsAdded(handle ? handle->frameMargins() : QMargins()).size();
    const QSize area = availableArea(now).size();
    if (covered.width() < area.width() || covered.height() < area.height())
        return;
    while (m_normal.size() > 1 && (m_normal.back().size() == now.size() || m_normal.back().topLeft() == now.topLeft()))
        m_normal.pop_back();
}

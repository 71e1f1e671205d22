#include "ModMinMax.h"

#include "ErrorLog.h"
#include "OleColor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace {
constexpr OleColor kHoverColour = 0x80000016; // 3-D light
}

ModMinMax::ModMinMax(QObject *parent) : QObject(parent) {}

ModMinMax &ModMinMax::Program()
{
    // Owned by the application object, so it goes (and lets go of what it
    // holds) before the application does.
    static QPointer<ModMinMax> program;
    if (!program)
        program = new ModMinMax(QCoreApplication::instance());
    return *program;
}

void ModMinMax::InitMinMaxInfo()
{
    for (SizeMin &slot : m_limits)
        if (!slot.free && slot.window)
            UnhookMinMax(slot.window);
    m_limits.clear();
}

ModMinMax::SizeMin &ModMinMax::takeSlot(std::vector<SizeMin> &table)
{
    for (SizeMin &slot : table)
        if (slot.free)
            return slot;
    table.emplace_back();
    return table.back();
}

ModMinMax::SizeMin *ModMinMax::findSlot(std::vector<SizeMin> &table, const QObject *window)
{
    for (SizeMin &slot : table)
        if (!slot.free && slot.window == window)
            return &slot;
    return nullptr;
}

void ModMinMax::HookMinMax(QWidget *window, int minWidth, int minHeight, int maxWidth, int maxHeight)
{
    try {
        if (!window)
            return;
        SizeMin &slot = takeSlot(m_limits);
        slot = SizeMin{window, minWidth, minHeight, maxWidth, maxHeight, false,
                       window->minimumSize(), window->maximumSize(), false};
        window->setMinimumSize(qMax(0, minWidth), qMax(0, minHeight));
        QSize maximum(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        const QSize available = screen ? screen->availableGeometry().size() : QSize();
        if (maxWidth > 0 && (!available.isValid() || maxWidth < available.width()))
            maximum.setWidth(qMax(maxWidth, minWidth));
        if (maxHeight > 0 && (!available.isValid() || maxHeight < available.height()))
            maximum.setHeight(qMax(maxHeight, minHeight));
        window->setMaximumSize(maximum);
    } catch (...) {
        LogCurrentException(QStringLiteral("ModMinMax"), QStringLiteral("HookMinMax"));
    }
}

void ModMinMax::UnhookMinMax(QWidget *window)
{
    SizeMin *slot = findSlot(m_limits, window);
    if (!slot)
        return;
    slot->free = true;
    if (slot->window) {
        slot->window->setMinimumSize(slot->previousMinimum);
        slot->window->setMaximumSize(slot->previousMaximum);
    }
    slot->window = nullptr;
}

void ModMinMax::HookHover(QWidget *box)
{
    if (!box || findSlot(m_hovers, box))
        return;
    SizeMin &slot = takeSlot(m_hovers);
    slot = SizeMin{};
    slot.window = box;
    slot.free = false;
    slot.previousAutoFill = box->autoFillBackground();
    box->setAttribute(Qt::WA_Hover); // moves over the box arrive without mouse tracking
    box->installEventFilter(this);
}

void ModMinMax::UnhookHover(QWidget *box)
{
    SizeMin *slot = findSlot(m_hovers, box);
    if (!slot)
        return;
    if (slot->window)
        slot->window->removeEventFilter(this);
    slot->free = true;
    slot->window = nullptr;
}

bool ModMinMax::IsHovered(const QWidget *box) const
{
    for (const SizeMin &slot : m_hovers)
        if (!slot.free && slot.window == box)
            return slot.maxHeight == 1;
    return false;
}

void ModMinMax::setHover(SizeMin &slot, bool over)
{
    QWidget *box = slot.window;
    QPalette palette = box->palette();
    palette.setColor(box->backgroundRole(),
                     OleToQColor(over ? kHoverColour : OleColors::ButtonFace, QGuiApplication::palette()));
    box->setAutoFillBackground(true);
    box->setPalette(palette);
    slot.maxHeight = over ? 1 : 0;
}

bool ModMinMax::eventFilter(QObject *watched, QEvent *event)
{
    try {
        SizeMin *slot = findSlot(m_hovers, watched);
        if (!slot || !slot->window)
            return false;
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::HoverEnter:
        case QEvent::MouseMove:
        case QEvent::HoverMove:
            if (slot->maxHeight == 0)
                setHover(*slot, true);
            break;
        case QEvent::Leave:
        case QEvent::HoverLeave:
            setHover(*slot, false);
            break;
        default:
            break;
        }
    } catch (...) {
        // A colour change is not worth disturbing the window's events.
    }
    return false;
}

void ModMinMax::SetWorkArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    m_workArea = WorkAreaRect{PixelsToTwips(area.x()), PixelsToTwips(area.y()),
                              PixelsToTwips(area.x() + area.width()), PixelsToTwips(area.y() + area.height())};
}

#include "SteadyScrollBar.h"

#include "FramePacer.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimerEvent>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look shown;
    shown.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    shown.atMinimum = value() == minimum();
    shown.atMaximum = value() == maximum();
    return shown;
}

void SteadyScrollBar::sliderChange(SliderChange change)
{
    // The user's own dragging, and a held page or arrow button, are drawn as Qt draws them.
    if (!m_drawn || isSliderDown() || repeatAction() != SliderNoAction) {
        QScrollBar::sliderChange(change);
        return;
    }
    if (!m_check.isActive())
        m_check.start(FramePacer::kFrameMs, this);
}

void SteadyScrollBar::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_check.timerId()) {
        QScrollBar::timerEvent(event);
        return;
    }
    m_check.stop();
    if (look() != m_shown)
        QScrollBar::sliderChange(SliderValueChange);
}

void SteadyScrollBar::paintEvent(QPaintEvent *event)
{
    m_shown = look();
    m_drawn = true;
    QScrollBar::paintEvent(event);
}

#include "SteadyScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

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
    // A held page or arrow button repeats through here: that path stays as Qt has it.
    if (m_drawn && !isSliderDown() && repeatAction() == SliderNoAction && look() == m_shown)
        return;
    QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent *event)
{
    m_shown = look();
    m_drawn = true;
    QScrollBar::paintEvent(event);
}

#include "ElidingLabel.h"

#include "PlainToolTip.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>

ElidingLabel::ElidingLabel(const QString &text, QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setFullText(text);
}

void ElidingLabel::setMinimumText(const QString &text)
{
    m_minimumText = text;
    updateGeometry();
}

void ElidingLabel::setFullText(const QString &text, int wholeTail)
{
    wholeTail = std::clamp(wholeTail, 0, int(text.size()));
    if (text == m_text && wholeTail == m_wholeTail)
        return;
    m_text = text;
    m_wholeTail = wholeTail;
    m_shownStale = true;
    setToolTip(PlainToolTip(text));
    update();
}

bool ElidingLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(m_text) > contentsRect().width();
}

QSize ElidingLabel::minimumSizeHint() const
{
    const QString shortest = m_minimumText.isEmpty() ? QStringLiteral("…") : m_minimumText;
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(shortest) + margins.left() + margins.right(),
                 fontMetrics().height() + margins.top() + margins.bottom());
}

QSize ElidingLabel::sizeHint() const
{
    return minimumSizeHint();
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_shownStale = true;
}

void ElidingLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_shownStale = true;
        updateGeometry();
        update();
    }
}

QString ElidingLabel::elided(int width) const
{
    const QFontMetrics metrics = fontMetrics();
    if (m_wholeTail == 0 || metrics.horizontalAdvance(m_text) <= width)
        return metrics.elidedText(m_text, Qt::ElideRight, width);
    const QString tail = m_text.right(m_wholeTail);
    const int tailWidth = metrics.horizontalAdvance(tail);
    if (tailWidth > width) // not even the tail fits: its end still shows
        return metrics.elidedText(tail, Qt::ElideLeft, width);
    const QString head = metrics.elidedText(m_text.left(m_text.size() - m_wholeTail), Qt::ElideRight,
                                            width - tailWidth);
    return head + tail;
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    if (m_shownStale) {
        m_shown = elided(contentsRect().width());
        m_shownStale = false;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft) | Qt::AlignVCenter, palette(),
                          isEnabled(), m_shown, foregroundRole());
}

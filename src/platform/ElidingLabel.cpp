#include "ElidingLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

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

void ElidingLabel::setFullText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    elide();
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

void ElidingLabel::elide()
{
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideRight, contentsRect().width());
    if (shown == m_shown)
        return;
    m_shown = shown;
    update();
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    elide();
}

void ElidingLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateGeometry();
        elide();
    }
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft) | Qt::AlignVCenter, palette(),
                          isEnabled(), m_shown, foregroundRole());
}

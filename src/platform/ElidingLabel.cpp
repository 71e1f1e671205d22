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
    m_shownStale = true;
    setToolTip(text);
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

void ElidingLabel::paintEvent(QPaintEvent *)
{
    if (m_shownStale) {
        m_shown = fontMetrics().elidedText(m_text, Qt::ElideRight, contentsRect().width());
        m_shownStale = false;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft) | Qt::AlignVCenter, palette(),
                          isEnabled(), m_shown, foregroundRole());
}

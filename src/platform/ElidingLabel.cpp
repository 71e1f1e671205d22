#include "ElidingLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QTimerEvent>

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
    drawAtNextFrame();
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

// The first change after a quiet spell is drawn at once; changes that follow
// within a frame are drawn together when the frame ends.
void ElidingLabel::drawAtNextFrame()
{
    if (m_frame.isActive()) {
        m_drawPending = true;
        return;
    }
    update();
    m_frame.start(kFrameMs, this);
}

void ElidingLabel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_frame.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (m_drawPending) {
        m_drawPending = false;
        update();
    } else {
        m_frame.stop();
    }
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

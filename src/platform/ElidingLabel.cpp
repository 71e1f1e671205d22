#include "ElidingLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

ElidingLabel::ElidingLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ElidingLabel::setMinimumText(const QString &text)
{
    m_minimumText = text;
    updateGeometry();
}

void ElidingLabel::setFullText(const QString &text)
{
    setText(text);
    setToolTip(text);
}

bool ElidingLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QSize ElidingLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    const QString shortest = m_minimumText.isEmpty() ? QStringLiteral("…") : m_minimumText;
    return QSize(fontMetrics().horizontalAdvance(shortest) + margins.left() + margins.right(),
                 QLabel::minimumSizeHint().height());
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()) | Qt::AlignVCenter,
                          palette(), isEnabled(), shown, foregroundRole());
}

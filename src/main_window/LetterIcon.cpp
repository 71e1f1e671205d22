#include "LetterIcon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

QIcon LetterIcon(const QColor &colour, const QString &letter, LetterIconShape shape)
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(colour.darker(140));
    if (shape == LetterIconShape::Round)
        painter.drawEllipse(QRectF(1, 1, 14, 14));
    else
        painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(shape == LetterIconShape::Round ? 10 : 11);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, letter);
    return QIcon(picture);
}

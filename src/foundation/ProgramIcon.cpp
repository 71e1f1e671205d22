#include "ProgramIcon.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPixmap>

QIcon ProgramIcon()
{
    // Drawn at the sizes title bars, task bars and the tray ask for, so no
    // size is a blurred copy of another.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
        const qreal corner = size / 6.0;
        painter.drawRoundedRect(QRectF(0, 0, size, size), corner, corner);
        QFont font;
        font.setBold(true);
        font.setPixelSize(size * 3 / 4);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("Q"));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

#include "BulletPictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

constexpr int kSide = 32;

void drawSign(QPainter &p, const QColor &fill, const QString &sign)
{
    p.setPen(QPen(fill.darker(140), 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, kSide - 4, kSide - 4));
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, kSide, kSide), Qt::AlignCenter, sign);
}

void drawCross(QPainter &p)
{
    p.setPen(QPen(QColor(150, 0, 0), 1.5));
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(2, 2, kSide - 4, kSide - 4));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(22, 22));
    p.drawLine(QPointF(22, 10), QPointF(10, 22));
}

void drawWarning(QPainter &p)
{
    const QPolygonF triangle({QPointF(16, 2), QPointF(30, 29), QPointF(2, 29)});
    p.setPen(QPen(QColor(120, 90, 0), 1.5));
    p.setBrush(QColor(250, 200, 20));
    p.drawPolygon(triangle);
    p.setPen(QPen(Qt::black, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 11), QPointF(16, 20));
    p.drawPoint(QPointF(16, 25));
}

void drawSmile(QPainter &p)
{
    p.setPen(QPen(QColor(140, 110, 0), 1.5));
    p.setBrush(QColor(255, 220, 40));
    p.drawEllipse(QRectF(2, 2, kSide - 4, kSide - 4));
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(10, 10, 4, 5));
    p.drawEllipse(QRectF(18, 10, 4, 5));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 10, 14, 13), 200 * 16, 140 * 16);
}

} // namespace

QImage DefaultBulletPicture(int iconId)
{
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (iconId) {
    case 101: drawSign(p, QColor(30, 90, 200), QStringLiteral("i")); break;
    case 102: drawCross(p); break;
    case 103: drawWarning(p); break;
    case 104: drawSign(p, QColor(40, 120, 220), QStringLiteral("?")); break;
    case 106: drawSmile(p); break;
    default: return {};
    }
    return image;
}

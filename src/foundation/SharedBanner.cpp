#include "SharedBanner.h"

#include "AppInfo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

QPixmap &SharedBannerPicture()
{
    static QPixmap banner;
    return banner;
}

void SetUpSharedBanner()
{
    QPixmap &banner = SharedBannerPicture();
    if (!banner.isNull())
        return;
    QPixmap picture(480, 160);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, picture.width(), picture.height());
    gradient.setColorAt(0.0, QColor(0x12, 0x3f, 0x78));
    gradient.setColorAt(1.0, QColor(0x3d, 0x8e, 0xd6));
    painter.fillRect(picture.rect(), gradient);
    QFont font(QStringLiteral("Arial"), 28, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(picture.rect().adjusted(24, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, AppTitle());
    painter.end();
    banner = picture;
}

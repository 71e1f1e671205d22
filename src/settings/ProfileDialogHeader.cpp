#include "ProfileDialogHeader.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int kStripRows = 15;    // rows taken from the top of the banner
constexpr int kHeaderHeight = 48; // pixels
} // namespace

ProfileDialogHeader::ProfileDialogHeader(const QString &title, const QString &subtitle, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
    , m_subtitle(subtitle)
{
    setFixedHeight(kHeaderHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QPixmap ProfileDialogHeader::BannerPicture()
{
    QPixmap banner(400, 60);
    QPainter painter(&banner);
    QLinearGradient gradient(0, 0, banner.width(), 0);
    gradient.setColorAt(0.0, QColor(0x1F, 0x3A, 0x68));
    gradient.setColorAt(0.6, QColor(0x3B, 0x6E, 0xA8));
    gradient.setColorAt(1.0, QColor(0xDC, 0xE6, 0xF2));
    painter.fillRect(banner.rect(), gradient);
    return banner;
}

void ProfileDialogHeader::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QPixmap banner = BannerPicture();
    m_strip = banner.copy(0, 0, banner.width(), kStripRows)
                  .scaled(std::max(1, width()), height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ProfileDialogHeader::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_strip);
    painter.setPen(Qt::white);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    painter.setFont(titleFont);
    const QRect area = rect().adjusted(10, 4, -10, -4);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, m_title);
    painter.setFont(font());
    painter.drawText(area.adjusted(12, 0, 0, 0), Qt::AlignLeft | Qt::AlignBottom, m_subtitle);
}

#include "Indicator.h"

#include "ErrorLog.h"
#include "PropertyBag.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <limits>

namespace {

constexpr long kInvalidPropertyValue = 380;
constexpr OleColor kDefaultForeColor = 0x80000012;  // button text
constexpr OleColor kDefaultBorderColor = 0x80000002; // active caption
constexpr OleColor kDefaultDotColor = 0xFF0000;

QVariant colorValue(OleColor color) { return QVariant::fromValue<quint32>(color); }

} // namespace

Indicator::Indicator(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("Indicator"));
    m_timer.setInterval(kDefaultInterval);
    connect(&m_timer, &QTimer::timeout, this, &Indicator::timerTick);
    applyBorder();
}

void Indicator::applyTimer()
{
    // An interval of 0 or less leaves the timer silent instead of spinning.
    if (m_timerOn && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

void Indicator::applyBorder()
{
    if (m_borderStyle == 1) {
        setFrameStyle(m_appearance == 1 ? (QFrame::StyledPanel | QFrame::Sunken) : (QFrame::Box | QFrame::Plain));
        setLineWidth(1);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
    update();
}

void Indicator::StartNow()
{
    try {
        if (m_timerOn)
            return;
        m_timerOn = true;
        applyTimer();
        m_running = true;
        m_runTime = 0;
        m_framePos = 0;
        drawFrame();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("StartNow"));
    }
}

void Indicator::stopNow()
{
    m_timerOn = false;
    applyTimer();
    m_running = false;
    m_highlightIndex = 0;
    clearSurface();
    update();
}

void Indicator::PauseNow()
{
    if (!m_running)
        return;
    m_timerOn = false;
    applyTimer();
}

void Indicator::ResumeNow()
{
    if (!m_running)
        return;
    m_timerOn = true;
    applyTimer();
}

void Indicator::timerTick()
{
    try {
        drawFrame();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("Timer1_Timer"));
        return;
    }
    if (m_interval > 0 && m_runTime <= std::numeric_limits<int>::max() - m_interval)
        m_runTime += m_interval;
    if (RaiseTicK)
        Q_EMIT Tick();
}

void Indicator::drawFrame()
{
    if (m_visualEffect == 0)
        Animate();
    else
        SetPic();
}

void Indicator::clearSurface()
{
    if (!m_surface.isNull())
        m_surface.fill(OleToQColor(m_backColor, palette()));
}

void Indicator::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    const QSize inner = contentsRect().size().expandedTo(QSize(1, 1));
    QImage surface(inner, QImage::Format_ARGB32_Premultiplied);
    surface.fill(OleToQColor(m_backColor, palette()));
    if (!m_surface.isNull()) {
        QPainter painter(&surface);
        painter.drawImage(0, 0, m_surface);
    }
    m_surface = surface;
    m_dotBaseY = static_cast<int>(std::nearbyint(contentsRect().height() - 7.5));
}

void Indicator::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inner = contentsRect();
    painter.drawImage(inner.topLeft(), m_surface);
    if (m_shapeVisible && inner.width() > 2 && inner.height() > 2) {
        painter.setPen(OleToQColor(m_borderColor, palette()));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(inner.left() + 1, inner.top() + 1, inner.width() - 3, inner.height() - 3);
    }
}

void Indicator::Animate()
{
    if (m_surface.isNull())
        return;
    clearSurface();
    m_framePos = 0;
    const int innerWidth = contentsRect().width();
    const QColor fill = OleToQColor(m_fillColor, palette());
    const QColor dot = OleToQColor(m_dotColor, palette());
    QPainter painter(&m_surface);
    int x = 10;
    do {
        if (m_framePos == m_highlightIndex) {
            painter.setPen(OleToQColor(ForeColor(), palette()));
            painter.setBrush(fill);
            painter.drawRect(x, m_dotBaseY - 2, 7, 7);
            x += 7;
        } else {
            painter.fillRect(x, m_dotBaseY, 4, 4, dot);
            x += 3;
        }
        ++m_framePos;
        x += 15;
    } while (x <= innerWidth - 5);
    painter.end();
    update();
    if (++m_highlightIndex >= m_framePos)
        m_highlightIndex = 0;
}

void Indicator::SetPic()
{
    try {
        const int innerWidth = contentsRect().width();
        const int innerHeight = contentsRect().height();
        if (m_framePos > innerWidth)
            m_framePos = 0;
        else
            m_framePos += 8;
        if (m_surface.isNull())
            return;
        clearSurface();
        QPainter painter(&m_surface);
        const int x = m_framePos;
        const int height = innerHeight - 4; // from y 2 to y H - 3, both included
        for (int band = 0; band < 3; ++band)
            painter.fillRect(x + 9 * band, 2, 7, height, OleToQColor(m_bandColors[static_cast<size_t>(band)], palette()));
        painter.end();
        update();
    } catch (...) {
    }
}

void Indicator::setTriCol()
{
    if (m_visualEffect != 1)
        return;
    m_lightenStep = {60, 60, 70};
    m_bandColors[2] = m_scrollColor;
    m_bandColors[1] = getLightColor(m_bandColors[2]);
    m_bandColors[0] = getLightColor(m_bandColors[1]);
}

OleColor Indicator::getLightColor(OleColor color) const
{
    const OleColor red = static_cast<OleColor>(std::min(255, GetRed(color) + m_lightenStep[0]));
    const OleColor green = static_cast<OleColor>(std::min(255, GetGreen(color) + m_lightenStep[1]));
    const OleColor blue = static_cast<OleColor>(std::min(255, GetBlue(color) + m_lightenStep[2]));
    return red | (green << 8) | (blue << 16);
}

void Indicator::SetVisualEffect(int effect)
{
    m_visualEffect = effect;
    Q_EMIT PropertyChanged();
    setTriCol();
}

void Indicator::SetScrollColor(OleColor color)
{
    m_scrollColor = color;
    Q_EMIT PropertyChanged();
}

void Indicator::SetFillColor(OleColor color)
{
    m_fillColor = color;
    Q_EMIT PropertyChanged();
}

OleColor Indicator::ForeColor()
{
    setTriCol();
    return m_foreColor;
}

void Indicator::SetForeColor(OleColor color)
{
    m_foreColor = color;
    Q_EMIT PropertyChanged();
}

void Indicator::SetInterval(int milliseconds)
{
    m_interval = milliseconds;
    applyTimer();
    Q_EMIT PropertyChanged();
}

void Indicator::SetDotColor(OleColor color)
{
    m_dotColor = color;
    Q_EMIT PropertyChanged();
}

void Indicator::SetBorderStyle(int style)
{
    try {
        m_borderStyle = style;
        if (style < 0)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        if (style < 2) {
            m_shapeVisible = false;
            applyBorder();
        } else if (style == 2) {
            m_shapeVisible = true;
            applyBorder();
        }
        Q_EMIT PropertyChanged();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("BorderStyle"));
    }
}

void Indicator::SetBackColor(OleColor color)
{
    m_backColor = color;
    clearSurface();
    update();
    Q_EMIT PropertyChanged();
}

void Indicator::SetBorderColor(OleColor color)
{
    m_borderColor = color;
    update();
    Q_EMIT PropertyChanged();
}

void Indicator::SetAppearance(int appearance)
{
    try {
        if (appearance != 0 && appearance != 1)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        m_appearance = appearance;
        applyBorder();
        Q_EMIT PropertyChanged();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("Appearance"));
    }
}

void Indicator::ReadProperties(const PropertyBag &bag)
{
    const auto read = [&bag](const char *key, const QVariant &fallback) {
        return bag.ReadProperty(QString::fromLatin1(key), fallback);
    };
    try {
        m_fillColor = read("FillColor", colorValue(0)).toUInt();
        m_foreColor = read("ForeColor", colorValue(kDefaultForeColor)).toUInt();
        m_interval = read("Interval", kDefaultInterval).toInt();
        applyTimer();
        m_dotColor = read("DotColor", colorValue(kDefaultDotColor)).toUInt();
        m_visualEffect = read("VisualEffect", 0).toInt();
        m_scrollColor = read("ScrollColor", colorValue(0xFF0000)).toUInt();
        m_borderStyle = read("BorderStyle", 0).toInt();
        m_backColor = read("BackColor", colorValue(OleColors::ButtonFace)).toUInt();
        clearSurface();
        if (m_visualEffect == 1)
            setTriCol();
        m_borderColor = read("BorderColor", colorValue(kDefaultBorderColor)).toUInt();
        m_shapeVisible = m_borderStyle > 1;
        applyBorder();
        const int appearance = read("Appearance", QVariant::fromValue<qint16>(1)).toInt();
        if (appearance != 0 && appearance != 1)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        m_appearance = appearance;
        applyBorder();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("UserControl_ReadProperties"));
    }
}

void Indicator::WriteProperties(PropertyBag &bag) const
{
    bag.WriteProperty(QStringLiteral("FillColor"), colorValue(m_fillColor), colorValue(0));
    bag.WriteProperty(QStringLiteral("ForeColor"), colorValue(m_foreColor), colorValue(kDefaultForeColor));
    bag.WriteProperty(QStringLiteral("Interval"), m_interval, kDefaultInterval);
    bag.WriteProperty(QStringLiteral("DotColor"), colorValue(m_dotColor), colorValue(kDefaultDotColor));
    bag.WriteProperty(QStringLiteral("VisualEffect"), m_visualEffect, 0);
    bag.WriteProperty(QStringLiteral("ScrollColor"), colorValue(m_scrollColor), colorValue(0xFF0000));
    bag.WriteProperty(QStringLiteral("BorderStyle"), m_borderStyle, 0);
    bag.WriteProperty(QStringLiteral("BackColor"), colorValue(m_backColor), colorValue(OleColors::ButtonFace));
    bag.WriteProperty(QStringLiteral("BorderColor"), colorValue(m_borderColor), colorValue(kDefaultBorderColor));
    bag.WriteProperty(QStringLiteral("Appearance"), QVariant::fromValue<qint16>(static_cast<qint16>(m_appearance)),
                      QVariant::fromValue<qint16>(1));
}

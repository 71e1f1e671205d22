// The log pane's look-and-feel properties, background pictures and saved property set.
#include "Logger.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "PropertyBag.h"
#include "Prompts.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include <cmath>

namespace {

constexpr long kInvalidPropertyValue = 380;

void checkIndex(int index)
{
    if (index < 0 || index > 7)
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

QVariant colorValue(OleColor color) { return QVariant::fromValue<quint32>(color); }
QVariant shortValue(int value) { return QVariant::fromValue<qint16>(static_cast<qint16>(value)); }
QVariant pictureValue(const QImage &image) { return image.isNull() ? QVariant() : QVariant(image); }

Qt::CursorShape cursorShape(int pointer)
{
    switch (pointer) {
    case 2: return Qt::CrossCursor;
    case 3: return Qt::IBeamCursor;
    case 5:
    case 15: return Qt::SizeAllCursor;
    case 6: return Qt::SizeBDiagCursor;
    case 7: return Qt::SizeVerCursor;
    case 8: return Qt::SizeFDiagCursor;
    case 9: return Qt::SizeHorCursor;
    case 10: return Qt::UpArrowCursor;
    case 11: return Qt::WaitCursor;
    case 12: return Qt::ForbiddenCursor;
    case 13: return Qt::BusyCursor;
    case 14: return Qt::WhatsThisCursor;
    default: return Qt::ArrowCursor;
    }
}

} // namespace

void Logger::markChanged()
{
    if (!m_readingProperties)
        Q_EMIT PropertyChanged();
}

void Logger::applyBackColor()
{
    // The frame around the surface takes the surface's colour.
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Window, OleToQColor(m_backColor, palette()));
    viewport()->setPalette(p);
}

void Logger::applyBorder()
{
    if (m_borderStyle == 0) {
        setFrameStyle(QFrame::NoFrame);
    } else {
        setFrameStyle(m_appearance == 1 ? (QFrame::StyledPanel | QFrame::Sunken) : (QFrame::Box | QFrame::Plain));
        setLineWidth(1);
    }
}

void Logger::applyMouseCursor()
{
    if (m_mousePointer == 99 && !m_mouseIcon.isNull())
        viewport()->setCursor(QCursor(QPixmap::fromImage(m_mouseIcon)));
    else if (m_mousePointer == 0)
        viewport()->unsetCursor();
    else
        viewport()->setCursor(cursorShape(m_mousePointer));
}

void Logger::SetBackColor(OleColor color)
{
    m_backColor = color;
    markChanged();
    applyBackColor();
    DrawALL();
}

void Logger::SetBorderStyle(int style)
{
    try {
        if (style != 0 && style != 1)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        m_borderStyle = style;
        applyBorder();
        markChanged();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("BorderStyle"));
    }
}

QFont Logger::Font()
{
    m_visibleLines = getMaxVisLines();
    DrawALL();
    return m_font;
}

void Logger::SetFont(const QFont &font)
{
    m_font = font;
    markChanged();
    measureLineHeight();
}

void Logger::SetUseBullet(bool use)
{
    m_useBullet = use;
    markChanged();
}

OleColor Logger::LogColors(int StatCol) const
{
    try {
        checkIndex(StatCol);
        return m_palette[static_cast<size_t>(StatCol)];
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("LogColors"));
        return 0;
    }
}

void Logger::SetLogColors(int StatCol, OleColor color)
{
    try {
        checkIndex(StatCol);
        m_palette[static_cast<size_t>(StatCol)] = color;
        DrawALL();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("LogColors"));
    }
}

QImage Logger::BulletImage(int logType) const
{
    try {
        checkIndex(logType);
        return m_bullets[static_cast<size_t>(logType)];
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("BulletImage"));
        return {};
    }
}

void Logger::SetBulletImage(int logType, const QImage &picture)
{
    try {
        checkIndex(logType);
        m_bullets[static_cast<size_t>(logType)] = picture;
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("BulletImage"));
    }
}

QString Logger::InfoToolTip() const { return m_cornerButton->toolTip(); }

void Logger::SetInfoToolTip(const QString &text)
{
    m_cornerButton->setToolTip(text);
    markChanged();
}

void Logger::SetAppearance(int appearance)
{
    try {
        if (appearance != 0 && appearance != 1)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        m_appearance = appearance;
        applyBorder();
        markChanged();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("Appearance"));
    }
}

void Logger::SetMaxLogs(int value)
{
    if (value < 1 || value > kDefaultMaxLogs)
        return;
    m_maxLogs = value;
    markChanged();
}

void Logger::SetWordWrapLength(int value)
{
    if (value < 150 || value > 500)
        return;
    m_wordWrapLength = value;
    markChanged();
    DrawALL();
}

void Logger::SetTraceBorderWidth(int value)
{
    if (value < 1 || value > 20) {
        ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("Invalid Value. Range[1 - 20]"));
        return;
    }
    m_traceBorderWidth = value;
    markChanged();
}

void Logger::SetEnabled(bool enabled)
{
    setEnabled(enabled);
    markChanged();
}

int Logger::LargeChange() const { return horizontalScrollBar()->pageStep(); }

void Logger::SetLargeChange(int value)
{
    try {
        if (value < 1 || value > 32767)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        markChanged();
        horizontalScrollBar()->setPageStep(value);
        verticalScrollBar()->setPageStep(value);
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("LargeChange"));
    }
}

int Logger::SmallChange() const { return horizontalScrollBar()->singleStep(); }

void Logger::SetSmallChange(int value)
{
    try {
        if (value < 1 || value > 32767)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        markChanged();
        horizontalScrollBar()->setSingleStep(value);
        verticalScrollBar()->setSingleStep(value);
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("SmallChange"));
    }
}

void Logger::SetMouseIcon(const QImage &icon)
{
    m_mouseIcon = icon;
    markChanged();
    applyMouseCursor();
}

void Logger::SetMousePointer(int pointer)
{
    try {
        if ((pointer < 0 || pointer > 15) && pointer != 99)
            throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        m_mousePointer = pointer;
        markChanged();
        applyMouseCursor();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("MousePointer"));
    }
}

void Logger::SetPicture(const QImage &picture)
{
    markChanged();
    if (!m_img)
        setImage();
    if (m_img)
        m_img->setPixmap(QPixmap::fromImage(picture));
    m_picture = picture;
    // Taking the picture away takes it off the surface as well.
    if (picture.isNull())
        m_ownPicture = QImage();
    SetPicture();
    viewport()->update();
}

void Logger::SetSelectionColor(OleColor color)
{
    m_selectionColor = color;
    markChanged();
    DrawALL();
}

void Logger::SetPictureStyle(int style)
{
    m_pictureStyle = style;
    markChanged();
    SetPicture();
    viewport()->update();
}

void Logger::SetCornerBackColor(OleColor color)
{
    m_cornerBackColor = color;
    QPalette p = palette();
    p.setColor(QPalette::Window, OleToQColor(color, QApplication::palette()));
    setPalette(p);
    setAutoFillBackground(true);
}

void Logger::setImage()
{
    if (m_img)
        return;
    m_img = new QLabel(this);
    m_img->setObjectName(QStringLiteral("Img"));
    m_img->hide();
}

// --- background pictures ---

void Logger::clearSurface()
{
    if (m_pad.isNull())
        return;
    m_pad.fill(OleToQColor(m_backColor, palette()));
    if (!m_ownPicture.isNull()) {
        QPainter painter(&m_pad);
        painter.drawImage(QPointF(-horizontalOffset(), 0), m_ownPicture);
    }
}

void Logger::SetPicture()
{
    try {
        if (m_picture.isNull()) {
            clearSurface();
            return;
        }
        if (m_pictureStyle == 0) {
            m_ownPicture = m_picture;
            clearSurface();
            return;
        }
        if (m_pad.isNull())
            return;
        QPainter painter(&m_pad);
        painter.translate(-horizontalOffset(), 0);
        if (m_pictureStyle == 1)
            paintStretched(painter);
        else
            paintTiled(painter);
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("SetPicture"));
    }
}

void Logger::paintStretched(QPainter &painter)
{
    painter.drawImage(QRectF(0, 0, m_padWidth, viewport()->height()), m_picture);
}

void Logger::paintTiled(QPainter &painter)
{
    const int w = m_picture.width();
    const int h = m_picture.height();
    if (w <= 0 || h <= 0)
        return;
    const long columns = std::lround(std::nearbyint(m_padWidth / w + 1));
    const long rows = std::lround(std::nearbyint(static_cast<double>(viewport()->height()) / h + 1));
    for (long c = 0; c <= columns; ++c)
        for (long r = 0; r <= rows; ++r)
            painter.drawImage(QPointF(static_cast<double>(c * w), static_cast<double>(r * h)), m_picture);
}

void Logger::Orig_Picture()
{
    try {
        if (m_pictureStyle < 3 || m_pad.isNull())
            return;
        if (m_pictureStyle <= 4) {
            if (m_picture.isNull())
                throw RuntimeError(kInvalidPropertyValue, QStringLiteral("Invalid picture"));
            QPainter painter(&m_pad);
            if (m_pictureStyle == 3)
                paintStretched(painter);
            else
                paintTiled(painter);
        }
        m_ownPicture = m_pad.copy();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("Orig_Picture"));
    }
}

// --- saved property set ---

void Logger::ReadProperties(const PropertyBag &bag)
{
    m_readingProperties = true;
    readProperties(bag);
    m_readingProperties = false;
    DrawALL();
}

void Logger::readProperties(const PropertyBag &bag)
{
    // Each step that fails is skipped; the others still apply.
    const auto step = [](auto &&apply) {
        try {
            apply();
        } catch (...) {
        }
    };
    const auto read = [&bag](const char *key, const QVariant &fallback) {
        return bag.ReadProperty(QString::fromLatin1(key), fallback);
    };
    const QFont ambient = ambientFont();

    step([&] { m_useBullet = read("UseBullet", true).toBool(); });
    step([&] { m_backColor = read("BackColor", colorValue(OleColors::ButtonFace)).toUInt(); });
    step([&] {
        const int border = read("BorderStyle", shortValue(0)).toInt();
        m_borderStyle = border == 1 ? 1 : 0;
        applyBorder();
    });
    step([&] { m_font = read("Font", ambient).value<QFont>(); });
    step([&] { applyBackColor(); });
    step([&] { m_cornerButton->setToolTip(read("InfoToolTip", QString()).toString()); });
    step([&] {
        m_appearance = read("Appearance", shortValue(1)).toInt() == 0 ? 0 : 1;
        applyBorder();
    });
    step([&] { measureLineHeight(); });
    step([&] { m_maxLogs = read("MaxLogs", shortValue(kDefaultMaxLogs)).toInt(); });
    step([&] {
        const int wrap = read("WordWrapLength", shortValue(kDefaultWordWrapLength)).toInt();
        m_wordWrapLength = wrap < 1 ? kDefaultWordWrapLength : wrap; // a width of nothing cannot wrap
    });
    step([&] { m_traceBorderWidth = read("TraceBorderWidth", shortValue(1)).toInt(); });
    step([&] { setEnabled(read("Enabled", true).toBool()); });
    step([&] { horizontalScrollBar()->setPageStep(std::max(1, read("LargeChange", shortValue(1)).toInt())); });
    step([&] { SetMouseIcon(read("MouseIcon", QVariant()).value<QImage>()); });
    step([&] {
        m_mousePointer = read("MousePointer", shortValue(0)).toInt();
        applyMouseCursor();
    });
    step([&] { m_picture = read("Picture", QVariant()).value<QImage>(); });
    step([&] { horizontalScrollBar()->setSingleStep(std::max(1, read("SmallChange", shortValue(1)).toInt())); });
    step([&] {
        verticalScrollBar()->setPageStep(horizontalScrollBar()->pageStep());
        verticalScrollBar()->setSingleStep(horizontalScrollBar()->singleStep());
    });
    step([&] { m_selectionColor = read("SelectionColor", colorValue(OleColors::Highlight)).toUInt(); });
    step([&] { SetCornerBackColor(read("CornerBackColor", colorValue(OleColors::ButtonFace)).toUInt()); });
    step([&] { m_pictureStyle = read("PictureStyle", 0).toInt(); });
    step([&] {
        if (m_picture.isNull())
            return;
        if (!m_img)
            setImage();
        if (m_img)
            m_img->setPixmap(QPixmap::fromImage(m_picture));
        prepareSurface();
        Orig_Picture();
    });
}

void Logger::WriteProperties(PropertyBag &bag) const
{
    const QFont ambient = ambientFont();
    bag.WriteProperty(QStringLiteral("CornerBackColor"), colorValue(m_cornerBackColor), colorValue(OleColors::ButtonFace));
    bag.WriteProperty(QStringLiteral("UseBullet"), m_useBullet, true);
    bag.WriteProperty(QStringLiteral("BackColor"), colorValue(m_backColor), colorValue(OleColors::ButtonFace));
    bag.WriteProperty(QStringLiteral("BorderStyle"), shortValue(m_borderStyle), shortValue(0));
    bag.WriteProperty(QStringLiteral("Font"), m_font, ambient);
    bag.WriteProperty(QStringLiteral("InfoToolTip"), m_cornerButton->toolTip(), QString());
    bag.WriteProperty(QStringLiteral("Appearance"), shortValue(m_appearance), shortValue(1));
    bag.WriteProperty(QStringLiteral("MaxLogs"), shortValue(m_maxLogs), shortValue(kDefaultMaxLogs));
    bag.WriteProperty(QStringLiteral("WordWrapLength"), shortValue(m_wordWrapLength), shortValue(kDefaultWordWrapLength));
    bag.WriteProperty(QStringLiteral("TraceBorderWidth"), shortValue(m_traceBorderWidth), shortValue(1));
    bag.WriteProperty(QStringLiteral("Enabled"), isEnabled(), true);
    bag.WriteProperty(QStringLiteral("LargeChange"), shortValue(horizontalScrollBar()->pageStep()), shortValue(1));
    bag.WriteProperty(QStringLiteral("MouseIcon"), pictureValue(m_mouseIcon), QVariant());
    bag.WriteProperty(QStringLiteral("MousePointer"), shortValue(m_mousePointer), shortValue(0));
    bag.WriteProperty(QStringLiteral("Picture"), pictureValue(m_picture), QVariant());
    bag.WriteProperty(QStringLiteral("SmallChange"), shortValue(horizontalScrollBar()->singleStep()), shortValue(1));
    bag.WriteProperty(QStringLiteral("SelectionColor"), colorValue(m_selectionColor), colorValue(OleColors::Highlight));
    bag.WriteProperty(QStringLiteral("PictureStyle"), m_pictureStyle, 0);
}

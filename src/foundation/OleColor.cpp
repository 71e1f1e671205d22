#include "OleColor.h"

namespace {

QColor systemColor(quint32 index, const QPalette &p)
{
    switch (index) {
    case 0: return p.color(QPalette::Button);              // scroll bar
    case 1: return p.color(QPalette::Window);              // desktop
    case 2: return p.color(QPalette::Active, QPalette::Highlight);   // active caption
    case 3: return p.color(QPalette::Inactive, QPalette::Highlight); // inactive caption
    case 4: return p.color(QPalette::Window);              // menu
    case 5: return p.color(QPalette::Base);                // window background
    case 6: return p.color(QPalette::Shadow);              // window frame
    case 7: return p.color(QPalette::WindowText);          // menu text
    case 8: return p.color(QPalette::Text);                // window text
    case 9: return p.color(QPalette::HighlightedText);     // caption text
    case 10: return p.color(QPalette::Mid);                // active border
    case 11: return p.color(QPalette::Midlight);           // inactive border
    case 12: return p.color(QPalette::Dark);               // application workspace
    case 13: return p.color(QPalette::Highlight);
    case 14: return p.color(QPalette::HighlightedText);
    case 15: return p.color(QPalette::Button);             // button face
    case 16: return p.color(QPalette::Dark);               // button shadow
    case 17: return p.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18: return p.color(QPalette::ButtonText);
    case 19: return p.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: return p.color(QPalette::Light);              // button highlight
    case 21: return p.color(QPalette::Shadow);             // 3D dark shadow
    case 22: return p.color(QPalette::Midlight);           // 3D light
    case 23: return p.color(QPalette::ToolTipText);
    case 24: return p.color(QPalette::ToolTipBase);
    default: return p.color(QPalette::Window);
    }
}

} // namespace

bool IsSystemColor(OleColor color) { return (color & 0x80000000u) != 0; }

QColor OleToQColor(OleColor color, const QPalette &palette)
{
    if (IsSystemColor(color))
        return systemColor(color & 0xFFu, palette);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

OleColor QColorToOle(const QColor &color)
{
    return static_cast<OleColor>(color.red()) | (static_cast<OleColor>(color.green()) << 8)
        | (static_cast<OleColor>(color.blue()) << 16);
}

QString OleColorToText(OleColor color) { return QStringLiteral("&H") + QString::number(color, 16).toUpper(); }

bool OleColorFromText(const QString &text, OleColor &color)
{
    const QString t = text.trimmed();
    bool ok = false;
    qulonglong value = 0;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        QString digits = t.mid(2);
        if (digits.endsWith(QLatin1Char('&')))
            digits.chop(1);
        value = digits.toULongLong(&ok, 16);
    } else {
        const qlonglong signedValue = t.toLongLong(&ok);
        value = static_cast<qulonglong>(signedValue) & 0xFFFFFFFFull;
    }
    if (!ok || value > 0xFFFFFFFFull)
        return false;
    color = static_cast<OleColor>(value);
    return true;
}

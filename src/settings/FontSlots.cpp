#include "FontSlots.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>

const FontSlotInfo &FontSlotInfoOf(int slot)
{
    static const std::array<FontSlotInfo, FontSlotCount> table{{
        {QStringLiteral("Use this font for Ftp Logs"), QStringLiteral("Courier New"), 8.25, 7, 9},
        {QStringLiteral("Use this font for Folder Listing"), QStringLiteral("Arial"), 8.25, 7, 9},
        {QStringLiteral("Use this font forJob Listing"), QStringLiteral("Arial"), 8.25, 7, 9},
        {QStringLiteral("Use this font forJob Loging"), QStringLiteral("Tahoma"), 6.75, 7, 9},
        {QStringLiteral("Use this font for Built-in-Editor"), QStringLiteral("Courier New"), 9, 7, 14},
    }};
    return table.at(static_cast<size_t>(slot));
}

double ClampFontSize(int slot, double size)
{
    const FontSlotInfo &info = FontSlotInfoOf(slot);
    return std::clamp(size, info.minSize, info.maxSize);
}

QFont MakeFont(const QString &family, double pointSize)
{
    QFont font(family);
    const bool fixedPitch = family.contains(QLatin1String("Courier"), Qt::CaseInsensitive)
        || family.contains(QLatin1String("Mono"), Qt::CaseInsensitive);
    font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    return font;
}

QString FontSizeText(double pointSize)
{
    return QString::number(static_cast<double>(static_cast<float>(pointSize)), 'g', 7);
}

double FontSizeFromText(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return 0;
    return QLocale::c().toDouble(match.captured(1));
}

#include "LineWidthBound.h"

#include <QFontMetricsF>

bool LineWidthBound::prepare(const QFont &font)
{
    if (m_prepared && font == m_font)
        return m_usable;
    m_font = font;
    m_prepared = true;
    m_usable = font.letterSpacing() == 0 && font.wordSpacing() == 0 && font.capitalization() == QFont::MixedCase;
    if (m_usable) {
        const QFontMetricsF metrics(font);
        for (char16_t c = kFirst; c <= kLast; ++c)
            m_advances[c - kFirst] = metrics.horizontalAdvance(QChar(c));
    }
    return m_usable;
}

std::optional<double> LineWidthBound::of(const QFont &font, QStringView text)
{
    if (!prepare(font))
        return std::nullopt;
    double sum = 0;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < kFirst || code > kLast)
            return std::nullopt;
        sum += m_advances[code - kFirst];
    }
    return sum * kKerningRoom + 1;
}

#include "LineWidthBound.h"

#include <QFontMetricsF>

bool LineWidthBound::prepare(const QFont &font)
{
    if (m_prepared && font == m_font)
        return m_usable;
    m_font = font;
    m_prepared = true;
    m_usable = font.letterSpacing() == 0 && font.wordSpacing() == 0 && font.capitalization() == QFont::MixedCase;
    m_exact = false;
    if (m_usable) {
        const QFontMetricsF metrics(font);
        for (char16_t c = kFirst; c <= kLast; ++c)
            m_advances[c - kFirst] = metrics.horizontalAdvance(QChar(c));
        // Pairs that kern and letters that join in fonts that do either.
        static const QString probe = QStringLiteral("AV To Ty Yo LT P. F, r. y. Wa -J \"f\" ff fi fl ffi Th");
        double sum = 0;
        for (const QChar c : probe)
            sum += m_advances[c.unicode() - kFirst];
        m_exact = sum == metrics.horizontalAdvance(probe);
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
    return m_exact ? sum : sum * kKerningRoom + 1;
}

#pragma once

#include <QLocale>
#include <QRegularExpression>
#include <QString>

#include <cmath>
#include <limits>
#include <optional>

// Whole-number conversion of a stored or typed field: blanks around it are
// allowed, a fraction is rounded half to even; nothing when it is no number or
// out of Int's range.
template <typename Int>
std::optional<Int> ToWholeNumber(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(rounded);
}

// The whole number of a text's leading numeric value, as typed fields are
// read: "12abc" -> 12, "10.5KB" -> 10 (half to even), "x" or "" -> 0;
// nothing when it is out of Int's range.
template <typename Int>
std::optional<Int> LeadingWholeNumber(const QString &text)
{
    static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?(?:\\d+(?:\\.\\d*)?|\\.\\d+))"));
    const QRegularExpressionMatch m = leading.match(text);
    if (!m.hasMatch())
        return Int(0);
    return ToWholeNumber<Int>(m.captured(1));
}

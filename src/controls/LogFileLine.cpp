#include "LogFileLine.h"

#include <QLocale>

#include <cmath>

namespace LogFileLine {

QString DateLine(const QDateTime &when)
{
    return QStringLiteral("Saved By Logger On: ") + QLocale().toString(when, QLocale::ShortFormat);
}

QString EntryLine(const LogEntry &entry)
{
    return entry.Text + QLatin1Char('|') + QString::number(entry.ColorIndex) + QLatin1Char(',')
        + QString::number(entry.StyleFlags);
}

double LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    bool digits = false;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? std::nearbyint(value) : 0; // the default rounding mode sends halves to even
}

std::optional<Parsed> Parse(const QString &line)
{
    Parsed out;
    const qsizetype bar = line.lastIndexOf(QLatin1Char('|'));
    if (bar < 0) {
        out.text = line;
        return out;
    }
    out.text = line.left(bar);
    const QString rest = line.mid(bar + 1);
    const qsizetype comma = rest.indexOf(QLatin1Char(','));
    double color = 0;
    double style = 0;
    if (comma > 0) {
        color = LeadingNumber(rest.left(comma));
        style = LeadingNumber(rest.mid(comma + 1));
    } else {
        color = LeadingNumber(rest);
    }
    if (color < 0 || color > 255 || style < 0 || style > 255)
        return std::nullopt;
    out.color = static_cast<int>(color);
    out.style = static_cast<int>(style);
    return out;
}

} // namespace LogFileLine

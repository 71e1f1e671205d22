#pragma once

#include "LogEntry.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The line forms of a log file: an optional header, the date line, then one
// line per entry: text, "|", colour, ",", style. A "|" inside the text is not
// escaped; the reader splits at the last one.
namespace LogFileLine {

QString DateLine(const QDateTime &when);
QString EntryLine(const LogEntry &entry);

struct Parsed {
    QString text;
    int color = 0;
    int style = 0;
};
// Nothing when a number does not fit an unsigned byte.
std::optional<Parsed> Parse(const QString &line);

// The number at the start of a text, rounded to the nearest whole number
// (halves to even); 0 when the text does not start with one.
double LeadingNumber(const QString &text);

} // namespace LogFileLine

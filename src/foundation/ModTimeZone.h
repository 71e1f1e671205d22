#pragma once

#include "fFormat.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// The program's time-zone data: the fixed table of 74 server time zones a
// profile picks from (profiles store the row number, so the order is part of
// the stored data) and the machine's own bias.

struct TimeZoneRow {
    QString offsetText;  // "+05:45"
    QString displayName; // "Kathmandu"
    int offsetMinutes;   // east of Greenwich positive
};

constexpr int kTimeZoneCount = 74;

void InitTimeZoneSettings();
void LoadTimeZones();

// Rows 1 to 74; row(0) or a row out of range throws RuntimeError.
const TimeZoneRow &TimeZoneAt(int row);
const QVector<TimeZoneRow> &TimeZones(); // index 0 is row 1

// The machine's standard-time bias in minutes (UTC = local + bias).
int GetTimeZoneBias();
int MachineBias(); // the bias stored by InitTimeZoneSettings

// Local time to universal time by the stored bias.
QDateTime AddTimeZoneBias(const QDateTime &value);

// A server time "YYYYMMDDhhmm..." (universal time) in the user's general
// date-time form, converted with the local offset in force at that instant.
// A text that cannot be read comes back unchanged.
QString FormatServerTimeLocal(const QString &serverTime, int &namedFormat);

// The shared formatting object.
const fFormat &SharedFormat();

// Minutes east of Greenwich for an offset text such as "-03:30".
int OffsetTextToMinutes(const QString &offsetText);

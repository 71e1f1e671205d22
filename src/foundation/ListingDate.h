#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

// Reads the date texts that server listings and this program's own files and
// windows carry. Results are wall-clock values as written (no zone applied,
// spec UTC), so two results compare as the texts read.
class ListingDate
{
public:
    // In this order: UNIX listing "Mon D HH:MM" (the year is the latest one
    // that puts the date no later than tomorrow) and "Mon D YYYY"; Windows
    // listing "MM-DD-YY hh:mmAM" (two- or four-digit year, 12- or 24-hour);
    // the fixed "yyyy-MM-dd" with an optional " HH:mm" or " HH:mm:ss"; the
    // locale's general date text (short date and long time, as fFormat
    // writes it) and its short date text. Invalid when none of them fits.
    static QDateTime Read(const QString &text, const QDate &today, const QLocale &locale = QLocale());

    // The fixed forms this program writes into its own files.
    static QString FixedDate(const QDate &date);          // "yyyy-MM-dd"
    static QString FixedDateTime(const QDateTime &value); // "yyyy-MM-dd HH:mm:ss"

private:
    static QDateTime readListing(const QString &simplified, const QDate &today);
    static QDateTime readFixed(const QString &simplified);
    static QDateTime readLocale(const QString &simplified, const QLocale &locale);
};

// Seconds since the epoch of a listing's date text as ListingDate reads it,
// for sorting; 0 when the text is not understood.
qint64 ListingDateSortKey(const QString &dateText, const QDate &today);

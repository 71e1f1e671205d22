#include "ListingDate.h"

#include "ErrorLog.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTime>

namespace {

int monthNumber(const QString &name)
{
    static const QStringList months = {QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                       QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
                                       QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                       QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    return static_cast<int>(months.indexOf(name.left(3).toLower())) + 1;
}

QDateTime wallClock(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

// Two-digit years read by Qt land in 1900-1999; like the listings, 00-69 mean 2000-2069.
QDateTime shiftTwoDigitYear(QDateTime value, const QString &format)
{
    if (value.isValid() && !format.contains(QLatin1String("yyyy")) && value.date().year() < 1970)
        value = value.addYears(100);
    return value;
}

} // namespace

QDateTime ListingDate::readListing(const QString &text, const QDate &today)
{
    static const QRegularExpression unixStyle(
        QStringLiteral("^([A-Za-z]{3}) (\\d{1,2}) (?:(\\d{1,2}):(\\d{2})|(\\d{4}))$"));
    static const QRegularExpression windowsStyle(
        QStringLiteral("^(\\d{1,2})-(\\d{1,2})-(\\d{2}|\\d{4}) (\\d{1,2}):(\\d{2}) ?([AaPp][Mm])?$"));
    QRegularExpressionMatch m = unixStyle.match(text);
    if (m.hasMatch()) {
        const int month = monthNumber(m.captured(1));
        const int day = m.captured(2).toInt();
        if (month == 0)
            return {};
        if (!m.captured(5).isEmpty())
            return wallClock(QDate(m.captured(5).toInt(), month, day), QTime(0, 0));
        // No year: the most recent such date not later than tomorrow.
        QDate date(today.year(), month, day);
        if (!date.isValid() || date > today.addDays(1))
            date = QDate(today.year() - 1, month, day);
        return wallClock(date, QTime(m.captured(3).toInt(), m.captured(4).toInt()));
    }
    m = windowsStyle.match(text);
    if (m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year += year < 70 ? 2000 : 1900;
        int hour = m.captured(4).toInt();
        const QString half = m.captured(6).toUpper();
        if (!half.isEmpty() && (hour < 1 || hour > 12))
            return {};
        if (half == QLatin1String("PM") && hour < 12)
            hour += 12;
        if (half == QLatin1String("AM") && hour == 12)
            hour = 0;
        return wallClock(QDate(year, m.captured(1).toInt(), m.captured(2).toInt()),
                         QTime(hour, m.captured(5).toInt()));
    }
    return {};
}

QDateTime ListingDate::readFixed(const QString &text)
{
    static const QRegularExpression fixed(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?: (\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = fixed.match(text);
    if (!m.hasMatch())
        return {};
    return wallClock(QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()),
                     QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt()));
}

QDateTime ListingDate::readLocale(const QString &text, const QLocale &locale)
{
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QStringList dateTimeForms = {shortDate + QLatin1Char(' ') + LongTimeFormat(locale),
                                       shortDate + QLatin1Char(' ') + locale.timeFormat(QLocale::LongFormat),
                                       shortDate + QLatin1Char(' ') + locale.timeFormat(QLocale::ShortFormat)};
    for (const QString &form : dateTimeForms) {
        QDateTime value = locale.toDateTime(text, form);
        if (value.isValid()) {
            value = shiftTwoDigitYear(value, shortDate);
            return wallClock(value.date(), value.time());
        }
    }
    const QDate date = locale.toDate(text, shortDate);
    if (date.isValid())
        return shiftTwoDigitYear(wallClock(date, QTime(0, 0)), shortDate);
    return {};
}

QDateTime ListingDate::Read(const QString &text, const QDate &today, const QLocale &locale)
{
    const QString simplified = text.simplified();
    if (simplified.isEmpty())
        return {};
    QDateTime value = readListing(simplified, today);
    if (!value.isValid())
        value = readFixed(simplified);
    if (!value.isValid())
        value = readLocale(simplified, locale);
    return value;
}

QString ListingDate::FixedDate(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

QString ListingDate::FixedDateTime(const QDateTime &value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

qint64 ListingDateSortKey(const QString &dateText, const QDate &today)
{
    const QDateTime value = ListingDate::Read(dateText, today);
    return value.isValid() ? value.toSecsSinceEpoch() : 0;
}

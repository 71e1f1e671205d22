#include "ModTimeZone.h"

#include "ErrorLog.h"

#include <QTimeZone>

#include <cmath>

namespace {

const QString kModule = QStringLiteral("ModTimezone");

struct ZoneSource {
    const char *offset;
    const char *name;
};

// Ascending by display name.
constexpr ZoneSource kZones[kTimeZoneCount] = {
    {"+04:00", "Abu Dhabi, Muscat"},
    {"+09:30", "Adelaide"},
    {"-09:00", "Alaska"},
    {"+06:00", "Almaty, Novosibirsk"},
    {"+01:00", "Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"},
    {"-07:00", "Arizona"},
    {"+06:00", "Astana, Dhaka"},
    {"+02:00", "Athens, Istanbul, Minsk"},
    {"-04:00", "Atlantic Time (Canada)"},
    {"+12:00", "Auckland, Wellington"},
    {"-01:00", "Azores"},
    {"+03:00", "Baghdad"},
    {"+04:00", "Baku, Tbilisi, Yerevan"},
    {"+07:00", "Bangkok, Hanoi, Jakarta"},
    {"+08:00", "Beijing, Chongqing, Hong Kong, Urumqi"},
    {"+01:00", "Belgrade, Bratislava, Budapest, Ljubljana, Prague"},
    {"-05:00", "Bogota, Lima, Quito"},
    {"-03:00", "Brasilia"},
    {"+10:00", "Brisbane"},
    {"+01:00", "Brussels, Copenhagen, Madrid, Paris"},
    {"+02:00", "Bucharest"},
    {"-03:00", "Buenos Aires, Georgetown"},
    {"+02:00", "Cairo"},
    {"+10:00", "Canberra, Melbourne, Sydney"},
    {"-01:00", "Cape Verde Is."},
    {"-04:00", "Caracas, La Paz"},
    {"+00:00", "Casablanca, Monrovia"},
    {"-06:00", "Central America"},
    {"-06:00", "Central Time (US & Canada)"},
    {"+05:30", "Chennai, Kolkata, Mumbai, New Delhi"},
    {"+09:30", "Darwin"},
    {"-05:00", "Eastern Time (US & Canada)"},
    {"+05:00", "Ekaterinburg"},
    {"-12:00", "Eniwetok, Kwajalein"},
    {"+12:00", "Fiji, Kamchatka, Marshall Is."},
    {"-03:00", "Greenland"},
    {"+00:00", "Greenwich Mean Time: Dublin, Edinburgh, Lisbon, London"},
    {"+10:00", "Guam, Port Moresby"},
    {"+02:00", "Harare, Pretoria"},
    {"-10:00", "Hawaii"},
    {"+02:00", "Helsinki, Riga, Tallinn"},
    {"+10:00", "Hobart"},
    {"-05:00", "Indiana (East)"},
    {"+08:00", "Irkutsk, Ulaan Bataar"},
    {"+05:00", "Islamabad, Karachi, Tashkent"},
    {"+02:00", "Jerusalem"},
    {"+04:30", "Kabul"},
    {"+05:45", "Kathmandu"},
    {"+07:00", "Krasnoyarsk"},
    {"+08:00", "Kuala Lumpur, Singapore"},
    {"+03:00", "Kuwait, Riyadh"},
    {"+11:00", "Magadan, Solomon Is., New Caledonia"},
    {"-06:00", "Mexico City"},
    {"-02:00", "Mid-Atlantic"},
    {"-11:00", "Midway Island, Samoa"},
    {"+03:00", "Moscow, St. Petersburg, Volgograd"},
    {"-07:00", "Mountain Time (US & Canada)"},
    {"+03:00", "Nairobi"},
    {"-03:30", "Newfoundland"},
    {"+13:00", "Nuku'alofa"},
    {"+09:00", "Osaka, Sapporo, Tokyo"},
    {"-08:00", "Pacific Time (US & Canada); Tijuana"},
    {"+08:00", "Perth"},
    {"+06:30", "Rangoon"},
    {"-04:00", "Santiago"},
    {"+01:00", "Sarajevo, Skopje, Sofija, Vilnius, Warsaw, Zagreb"},
    {"-06:00", "Saskatchewan"},
    {"+09:00", "Seoul"},
    {"+06:00", "Sri Jayawardenepura"},
    {"+08:00", "Taipei"},
    {"+03:30", "Tehran"},
    {"+10:00", "Vladivostok"},
    {"+01:00", "West Central Africa"},
    {"+09:00", "Yakutsk"},
};

QVector<TimeZoneRow> &table()
{
    static QVector<TimeZoneRow> rows;
    return rows;
}

int &machineBias()
{
    static int bias = 0;
    return bias;
}

} // namespace

int OffsetTextToMinutes(const QString &offsetText)
{
    const QStringList parts = offsetText.split(QLatin1Char(':'));
    const int hours = parts.value(0).toInt();
    const int minutes = parts.value(1).toInt();
    const int sign = hours > 0 ? 1 : (hours < 0 ? -1 : 0);
    if (sign == 0)
        return offsetText.startsWith(QLatin1Char('-')) ? -minutes : minutes;
    return (sign * hours * 60 + minutes) * sign;
}

void LoadTimeZones()
{
    try {
        QVector<TimeZoneRow> &rows = table();
        rows.clear();
        rows.reserve(kTimeZoneCount);
        for (const ZoneSource &zone : kZones) {
            const QString offset = QString::fromLatin1(zone.offset);
            rows.append(TimeZoneRow{offset, QString::fromUtf8(zone.name), OffsetTextToMinutes(offset)});
        }
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("LoadTimeZones"));
    }
}

void InitTimeZoneSettings()
{
    try {
        LoadTimeZones();
        machineBias() = GetTimeZoneBias();
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("InitTimeZoneSettings"));
    }
}

const QVector<TimeZoneRow> &TimeZones()
{
    if (table().isEmpty())
        LoadTimeZones();
    return table();
}

const TimeZoneRow &TimeZoneAt(int row)
{
    const QVector<TimeZoneRow> &rows = TimeZones();
    if (row < 1 || row > rows.size())
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return rows[row - 1];
}

int GetTimeZoneBias()
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid())
        return 0;
    return -zone.standardTimeOffset(QDateTime::currentDateTimeUtc()) / 60;
}

int MachineBias() { return machineBias(); }

QDateTime AddTimeZoneBias(const QDateTime &value)
{
    const QDateTime shifted = value.addSecs(static_cast<qint64>(machineBias()) * 60);
    return shifted.isValid() ? shifted : QDateTime::currentDateTime();
}

const fFormat &SharedFormat()
{
    static const fFormat format;
    return format;
}

QString FormatServerTimeLocal(const QString &serverTime, int &namedFormat)
{
    try {
        if (serverTime.size() < 12)
            return serverTime;
        bool ok[5] = {};
        const int year = serverTime.mid(0, 4).toInt(&ok[0]);
        const int month = serverTime.mid(4, 2).toInt(&ok[1]);
        const int day = serverTime.mid(6, 2).toInt(&ok[2]);
        const int hour = serverTime.mid(8, 2).toInt(&ok[3]);
        const int minute = serverTime.mid(10, 2).toInt(&ok[4]);
        for (const bool b : ok)
            if (!b)
                return serverTime;
        // Validates the parts the way the shared formatter does (throws on a bad date).
        SharedFormat().ComposeLocaleDateTime(year, month, day, hour, minute, 0, namedFormat);
        const QDateTime utc(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
        const QDateTime local = utc.toLocalTime();
        return SharedFormat().FormatLocaleDateTime(0, local, fFormat::GeneralDate);
    } catch (...) {
        return serverTime;
    }
}

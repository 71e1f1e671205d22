#include "ErrorLog.h"
#include "ModTimeZone.h"

#include <QMap>

#include <gtest/gtest.h>

#include <ctime>

TEST(ModTimeZone, TableRowsAreAFileFormat)
{
    LoadTimeZones();
    const auto &rows = TimeZones();
    ASSERT_EQ(rows.size(), 74);
    EXPECT_EQ(TimeZoneAt(1).offsetText, QStringLiteral("+04:00"));
    EXPECT_EQ(TimeZoneAt(1).displayName, QStringLiteral("Abu Dhabi, Muscat"));
    EXPECT_EQ(TimeZoneAt(1).offsetMinutes, 240);
    EXPECT_EQ(TimeZoneAt(74).displayName, QStringLiteral("Yakutsk"));
    EXPECT_EQ(TimeZoneAt(74).offsetMinutes, 540);
    EXPECT_THROW(TimeZoneAt(0), RuntimeError);
    EXPECT_THROW(TimeZoneAt(75), RuntimeError);

    QMap<QString, int> minutesByName;
    QMap<QString, int> countByOffset;
    for (int i = 0; i < rows.size(); ++i) {
        minutesByName[rows[i].displayName] = rows[i].offsetMinutes;
        ++countByOffset[rows[i].offsetText];
        if (i > 0) {
            EXPECT_LT(rows[i - 1].displayName.compare(rows[i].displayName, Qt::CaseInsensitive), 0) << i;
        }
    }
    EXPECT_EQ(minutesByName[QStringLiteral("Newfoundland")], -210);
    EXPECT_EQ(minutesByName[QStringLiteral("Kathmandu")], 345);
    EXPECT_EQ(minutesByName[QStringLiteral("Tehran")], 210);
    EXPECT_EQ(minutesByName[QStringLiteral("Eniwetok, Kwajalein")], -720);
    EXPECT_EQ(minutesByName[QStringLiteral("Nuku'alofa")], 780);
    EXPECT_EQ(minutesByName[QStringLiteral("Adelaide")], 570);
    EXPECT_EQ(minutesByName[QStringLiteral("Casablanca, Monrovia")], 0);

    const QMap<QString, int> expected{
        {"-12:00", 1}, {"-11:00", 1}, {"-10:00", 1}, {"-09:00", 1}, {"-08:00", 1}, {"-07:00", 2}, {"-06:00", 4},
        {"-05:00", 3}, {"-04:00", 3}, {"-03:30", 1}, {"-03:00", 3}, {"-02:00", 1}, {"-01:00", 2}, {"+00:00", 2},
        {"+01:00", 5}, {"+02:00", 6}, {"+03:00", 4}, {"+03:30", 1}, {"+04:00", 2}, {"+04:30", 1}, {"+05:00", 2},
        {"+05:30", 1}, {"+05:45", 1}, {"+06:00", 3}, {"+06:30", 1}, {"+07:00", 2}, {"+08:00", 5}, {"+09:00", 3},
        {"+09:30", 2}, {"+10:00", 5}, {"+11:00", 1}, {"+12:00", 2}, {"+13:00", 1}};
    EXPECT_EQ(countByOffset, expected);
}

TEST(ModTimeZone, OffsetTexts)
{
    EXPECT_EQ(OffsetTextToMinutes(QStringLiteral("-03:30")), -210);
    EXPECT_EQ(OffsetTextToMinutes(QStringLiteral("+05:45")), 345);
    EXPECT_EQ(OffsetTextToMinutes(QStringLiteral("+00:00")), 0);
}

namespace {
struct ScopedTz {
    explicit ScopedTz(const char *tz) { qputenv("TZ", tz); tzset(); }
    ~ScopedTz() { qputenv("TZ", "UTC"); tzset(); }
};
} // namespace

TEST(ModTimeZone, ServerTimesUseTheOffsetInForceAtThatInstant)
{
    int format = 0;
    {
        ScopedTz tz("XST-1"); // one hour east, no daylight saving: bias -60
        InitTimeZoneSettings();
        EXPECT_EQ(MachineBias(), -60);
        EXPECT_EQ(FormatServerTimeLocal(QStringLiteral("20090830120000"), format), QStringLiteral("8/30/09 1:00:00 PM"));
        EXPECT_EQ(AddTimeZoneBias(QDateTime(QDate(2009, 8, 30), QTime(13, 0))),
                  QDateTime(QDate(2009, 8, 30), QTime(12, 0)));
    }
    {
        // Central Europe: +1 in winter, +2 in summer.
        ScopedTz tz("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(FormatServerTimeLocal(QStringLiteral("200908301200"), format), QStringLiteral("8/30/09 2:00:00 PM"));
        EXPECT_EQ(FormatServerTimeLocal(QStringLiteral("200901151200"), format), QStringLiteral("1/15/09 1:00:00 PM"));
    }
    EXPECT_EQ(FormatServerTimeLocal(QStringLiteral("20090830"), format), QStringLiteral("20090830"));
    EXPECT_EQ(FormatServerTimeLocal(QStringLiteral("2009AB301200"), format), QStringLiteral("2009AB301200"));
    EXPECT_EQ(FormatServerTimeLocal(QStringLiteral("200913301200"), format), QStringLiteral("200913301200"));
    InitTimeZoneSettings();
}

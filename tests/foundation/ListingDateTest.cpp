#include "ElapsedText.h"
#include "ErrorLog.h"
#include "ListingDate.h"

#include <gtest/gtest.h>

namespace {

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

} // namespace

TEST(ListingDate, UnixListingTextsInferTheYear)
{
    const QDate today(2026, 12, 7);
    EXPECT_EQ(ListingDate::Read("Dec  1 09:30", today), at(2026, 12, 1, 9, 30));
    EXPECT_EQ(ListingDate::Read("Dec  8 09:30", today), at(2026, 12, 8, 9, 30)); // tomorrow: clock skew
    EXPECT_EQ(ListingDate::Read("Dec 20 09:30", today), at(2025, 12, 20, 9, 30));
    EXPECT_EQ(ListingDate::Read("Feb 29 10:00", QDate(2025, 3, 1)), at(2024, 2, 29, 10, 0));
    EXPECT_EQ(ListingDate::Read("Mar  5  2019", today), at(2019, 3, 5));
    EXPECT_FALSE(ListingDate::Read("Foo  5  2019", today).isValid());
    EXPECT_FALSE(ListingDate::Read("Feb 30  2019", today).isValid());
}

TEST(ListingDate, WindowsListingTexts)
{
    const QDate today(2026, 12, 7);
    EXPECT_EQ(ListingDate::Read("10-13-07  01:13PM", today), at(2007, 10, 13, 13, 13));
    EXPECT_EQ(ListingDate::Read("01-02-99  12:05AM", today), at(1999, 1, 2, 0, 5));
    EXPECT_EQ(ListingDate::Read("01-02-2024  12:05PM", today), at(2024, 1, 2, 12, 5));
    EXPECT_EQ(ListingDate::Read("01-02-24  17:05", today), at(2024, 1, 2, 17, 5));
    EXPECT_FALSE(ListingDate::Read("01-02-24  17:05PM", today).isValid());
    EXPECT_FALSE(ListingDate::Read("13-02-24  01:05PM", today).isValid());
}

TEST(ListingDate, FixedAndLocaleTexts)
{
    const QDate today(2026, 12, 7);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(ListingDate::Read("2026-03-04", today, de), at(2026, 3, 4));
    EXPECT_EQ(ListingDate::Read("2026-03-04 05:06:07", today, us), at(2026, 3, 4, 5, 6, 7));
    EXPECT_EQ(ListingDate::FixedDateTime(at(2026, 3, 4, 5, 6, 7)), "2026-03-04 05:06:07");
    EXPECT_EQ(ListingDate::FixedDate(QDate(2026, 3, 4)), "2026-03-04");
    // The locale's short date and general date texts, two-digit years in this century.
    EXPECT_EQ(ListingDate::Read(us.toString(QDate(2026, 3, 4), QLocale::ShortFormat), today, us), at(2026, 3, 4));
    EXPECT_EQ(ListingDate::Read(de.toString(QDate(2026, 3, 4), QLocale::ShortFormat), today, de), at(2026, 3, 4));
    const QString general = us.toString(QDate(2026, 3, 4), QLocale::ShortFormat) + " "
                          + us.toString(QTime(17, 8, 9), LongTimeFormat(us));
    EXPECT_EQ(ListingDate::Read(general, today, us), at(2026, 3, 4, 17, 8, 9));
    EXPECT_FALSE(ListingDate::Read("2019", today, us).isValid());
    EXPECT_FALSE(ListingDate::Read("", today, us).isValid());
    EXPECT_EQ(ListingDateSortKey("nonsense", today), 0);
}

TEST(ElapsedText, MinutesAndSeconds)
{
    EXPECT_EQ(ElapsedText(0), "0 Min. 0 Sec.");
    EXPECT_EQ(ElapsedText(125), "2 Min. 5 Sec.");
    EXPECT_EQ(ElapsedText(-3), "0 Min. 0 Sec.");
}

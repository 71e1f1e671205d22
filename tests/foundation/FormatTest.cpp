#include "ErrorLog.h"
#include "fFormat.h"

#include <gtest/gtest.h>

TEST(fFormat, GeneralDateLeavesOutZeroDateAndMidnight)
{
    const fFormat f;
    EXPECT_EQ(f.ComposeLocaleDateTime(1899, 12, 30, 10, 5, 0, 0), QStringLiteral("10:05:00 AM"));
    EXPECT_EQ(f.ComposeLocaleDateTime(2009, 8, 30, 0, 0, 0, 0), QStringLiteral("8/30/09"));
    EXPECT_EQ(f.ComposeLocaleDateTime(2009, 8, 30, 10, 5, 0, 0), QStringLiteral("8/30/09 10:05:00 AM"));
    EXPECT_EQ(f.ComposeLocaleDateTime(2009, 8, 30, 22, 5, 9, 4), QStringLiteral("22:05"));
    EXPECT_EQ(f.ComposeLocaleDateTime(2009, 8, 30, 22, 5, 9, 99), f.ComposeLocaleDateTime(2009, 8, 30, 22, 5, 9, 0));
    const QDateTime dt(QDate(2009, 8, 30), QTime(10, 5));
    EXPECT_EQ(f.FormatLocaleDateTime(0, dt, 2), f.FormatLocaleDateTime(2048, dt, 2));
}

TEST(fFormat, ErrorsCarryTheNlsSource)
{
    const fFormat f;
    try {
        f.ComposeLocaleDateTime(2009, 0, 30, 0, 0, 0, 0);
        FAIL() << "month 0 must fail";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), -2147221504L);
        EXPECT_EQ(e.source(), QStringLiteral("NLS.Formats"));
        EXPECT_EQ(e.description(), QStringLiteral("Invalid parameter."));
    }
    try {
        fFormat::RaiseNlsError(1113);
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.description(), QStringLiteral("Unknown system error (459)."));
    }
}

TEST(fFormat, NumbersAndCurrency)
{
    const fFormat f;
    EXPECT_EQ(f.FormatLocaleNumber(0, 1234.5, 2, -1, 0, 1), QStringLiteral("1,234.50"));
    EXPECT_EQ(f.FormatLocaleNumber(0, 1234.5, 1, -1, 0, 0), QStringLiteral("1234.5"));
    EXPECT_EQ(f.FormatLocaleNumber(0, -0.5, 2, 0, -1, 0), QStringLiteral("(.50)"));
    EXPECT_EQ(f.FormatLocaleNumber(0, -0.5, 2, -1, 0, 0), QStringLiteral("-0.50"));
    EXPECT_EQ(f.FormatLocaleNumber(1031, 1234.5, 2, -1, 0, 1), QStringLiteral("1.234,50"));
    EXPECT_EQ(f.FormatLocaleCurrency(0, 1234.5, 2, -1, 0, 1), QStringLiteral("$1,234.50"));
    EXPECT_EQ(f.GetLocaleInfo(0, 14), QStringLiteral("."));
    EXPECT_TRUE(f.IsValidLocale(1033, 0));
    EXPECT_FALSE(f.IsValidLocale(99999, 0));
    EXPECT_EQ(f.ConvertDefaultLocale(0), 1033u);
}

#include "OleColor.h"
#include "PropertyBag.h"

#include <QFont>

#include <gtest/gtest.h>

TEST(PropertyBag, DefaultsAreNotWrittenAndKeysIgnoreCase)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("MaxLogs"), 32767, 32767);
    EXPECT_TRUE(bag.isEmpty());
    bag.WriteProperty(QStringLiteral("BackColor"), 0x80000005u, 0x8000000Fu);
    bag.WriteProperty(QStringLiteral("Font"), QFont(QStringLiteral("Courier New"), 8), QVariant());
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("backcolor"), 0u).toUInt(), 0x80000005u);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Missing"), 7).toInt(), 7);
    // Writing the default again removes the key.
    bag.WriteProperty(QStringLiteral("BACKCOLOR"), 0x8000000Fu, 0x8000000Fu);
    EXPECT_EQ(bag.keys(), QStringList{QStringLiteral("Font")});

    const PropertyBag back = PropertyBag::fromBytes(bag.toBytes());
    EXPECT_EQ(back, bag);
    EXPECT_EQ(back.ReadProperty(QStringLiteral("Font"), QVariant()).value<QFont>().family(), QStringLiteral("Courier New"));
    EXPECT_TRUE(PropertyBag::fromBytes("garbage").isEmpty());
}

TEST(OleColor, TextFormsAndSystemColours)
{
    EXPECT_EQ(OleColorToText(0xD8BFD8), QStringLiteral("&HD8BFD8"));
    EXPECT_EQ(OleColorToText(OleColors::WindowBackground), QStringLiteral("&H80000005"));
    OleColor c = 0;
    ASSERT_TRUE(OleColorFromText(QStringLiteral("&H80000005&"), c));
    EXPECT_EQ(c, 0x80000005u);
    ASSERT_TRUE(OleColorFromText(QStringLiteral("255"), c));
    EXPECT_EQ(OleToQColor(c), QColor(255, 0, 0)); // 0x0000FF is red
    EXPECT_FALSE(OleColorFromText(QStringLiteral("&Hzz"), c));
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    EXPECT_EQ(OleToQColor(OleColors::WindowBackground, palette), QColor(1, 2, 3));
    EXPECT_EQ(QColorToOle(QColor(0x11, 0x22, 0x33)), 0x332211u);
    EXPECT_EQ(TwipsToPixels(300), 20);
}

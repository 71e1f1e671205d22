#include "CBase64.h"

#include <gtest/gtest.h>

TEST(CBase64, EncodesWithPadding)
{
    const CBase64 b64;
    EXPECT_EQ(b64.ToBase64Ex(QStringLiteral("abc")), QStringLiteral("YWJj"));
    EXPECT_EQ(b64.ToBase64Ex(QStringLiteral("ab")), QStringLiteral("YWI="));
    EXPECT_EQ(b64.ToBase64Ex(QStringLiteral("a")), QStringLiteral("YQ=="));
    EXPECT_EQ(b64.ToBase64Ex(QString()), QString());
}

TEST(CBase64, DecodesLikeTheStoredFilesNeed)
{
    const CBase64 b64;
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YWJj")), QStringLiteral("abc"));
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YWI=")), QStringLiteral("ab"));
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YQ==")), QStringLiteral("a"));
    // Without padding an incomplete last group is ignored.
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YWI")), QString());
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YWJjYQ")), QStringLiteral("abc"));
    // A character above code 128 ends decoding after the complete groups before it.
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YWJjYW\u00e9j")), QStringLiteral("abc"));
    // A zero byte cuts the text.
    EXPECT_EQ(b64.Base64ToStringEx(QStringLiteral("YQBi")), QStringLiteral("a"));
}

TEST(CBase64, NonAsciiAndRecordSeparatorsRoundTripByteForByte)
{
    const CBase64 b64;
    const QString record = QStringLiteral("Caf\u00e9 \u20ac\x02") + QStringLiteral("ftp.example.org\x02\u65e5\u672c");
    const QString encoded = b64.ToBase64Ex(record);
    EXPECT_EQ(QByteArray::fromBase64(encoded.toLatin1()), record.toUtf8());
    EXPECT_EQ(b64.Base64ToStringEx(encoded), record);
    // Stored by an older version in Windows-1252: still readable.
    EXPECT_EQ(b64.Base64ToStringEx(QString::fromLatin1(QByteArray("caf\xe9").toBase64())), QStringLiteral("caf\u00e9"));
}

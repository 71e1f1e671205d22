#include "MD5Driver.h"

#include <gtest/gtest.h>

TEST(MD5Driver, KnownDigests)
{
    EXPECT_EQ(DigestStrToHexStr(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(DigestStrToHexStr(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(DigestStrToHexStr(QStringLiteral("message digest")), QStringLiteral("f96b697d7cb7938d525a2f31aaf161d0"));
    EXPECT_NE(DigestStrToHexStr(QStringLiteral("ABC")), DigestStrToHexStr(QStringLiteral("abc")));
}

TEST(MD5Driver, HashesEveryEncodedByte)
{
    // "é" is two bytes; both count.
    EXPECT_EQ(DigestStrToHexStr(QStringLiteral("\u00e9")),
              QString::fromLatin1(QCryptographicHash::hash("\xc3\xa9", QCryptographicHash::Md5).toHex()));
    const QByteArray array = StringToArray(QStringLiteral("ab"));
    EXPECT_EQ(array, QByteArray("ab\0", 3));
    EXPECT_EQ(DigestToString(QByteArray("\x01\xab", 2)), QStringLiteral("01ab"));
}

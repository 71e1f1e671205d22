#include "TextCodec.h"

#include <gtest/gtest.h>

TEST(TextCodec, DecodesUtf8AndFallsBackToWindows1252)
{
    EXPECT_EQ(TextCodec::Decode(QByteArray("caf\xc3\xa9")), QStringLiteral("café"));
    // Bytes an older version wrote: 0xE9 is é, 0x80 the euro sign in Windows-1252.
    EXPECT_EQ(TextCodec::Decode(QByteArray("caf\xe9 \x80")), QStringLiteral("café €"));
    EXPECT_FALSE(TextCodec::IsValidUtf8(QByteArray("\xe9")));
    EXPECT_EQ(TextCodec::Encode(QStringLiteral("é")), QByteArray("\xc3\xa9"));
}

TEST(TextCodec, ByteLengthsAndTruncationCountEncodedBytes)
{
    EXPECT_EQ(TextCodec::ByteLength(QStringLiteral("aé€")), 1 + 2 + 3);
    // Cutting inside "é" keeps the whole character out.
    EXPECT_EQ(TextCodec::EncodeTruncated(QStringLiteral("aé"), 2), QByteArray("a"));
    EXPECT_EQ(TextCodec::EncodeTruncated(QStringLiteral("aé"), 3), QByteArray("a\xc3\xa9"));
    EXPECT_EQ(TextCodec::EncodeTruncated(QStringLiteral("€"), 2), QByteArray());
}

TEST(TextCodec, SplitLinesAcceptsEveryLineEnd)
{
    EXPECT_EQ(TextCodec::SplitLines(QStringLiteral("a\r\nb\nc\rd")),
              QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
    EXPECT_EQ(TextCodec::SplitLines(QStringLiteral("a\r\n\r\nb\r\n")),
              QStringList({QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_TRUE(TextCodec::SplitLines(QString()).isEmpty());
}

#include "ReplyReader.h"

#include <gtest/gtest.h>

namespace {

QStringList Finals(const QList<ReplyReader::Line> &lines)
{
    QStringList out;
    for (const auto &line : lines) {
        if (line.final)
            out << line.text;
    }
    return out;
}

} // namespace

TEST(ReplyReader, LinesCompleteOnlyWhenTheirLineFeedArrives)
{
    ReplyReader reader;
    EXPECT_TRUE(reader.feed("226").isEmpty());
    EXPECT_TRUE(reader.feed(" Transfer").isEmpty());
    const auto lines = reader.feed(" complete.\r\n331 next\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].text, QStringLiteral("226 Transfer complete."));
    EXPECT_EQ(lines[0].code, 226);
    EXPECT_TRUE(lines[0].final);
    EXPECT_EQ(lines[1].text, QStringLiteral("331 next"));
    // A bare code is a complete reply; leading blanks are kept, not trimmed away.
    EXPECT_EQ(Finals(reader.feed("200\r\n  200 not a reply\r\n")), QStringList{QStringLiteral("200")});
}

TEST(ReplyReader, MultiLineReplyEndsOnlyAtItsOwnCodeAndBlank)
{
    ReplyReader reader;
    const auto lines = reader.feed("220-Welcome\r\n230 in the text\r\n220x\r\n220-still going\r\n"
                                   "123 more\r\n220 Ready.\r\n");
    EXPECT_EQ(Finals(lines), QStringList{QStringLiteral("220 Ready.")});
    EXPECT_EQ(lines.size(), 6);
    EXPECT_FALSE(reader.inMultiLineReply());
    EXPECT_EQ(lines[4].code, 123);
    EXPECT_EQ(Finals(reader.feed("211-a\r\n211-b\r\n211 end\r\n")), QStringList{QStringLiteral("211 end")});
}

TEST(ReplyReader, OversizedLinesAndRepliesAreFaults)
{
    ReplyReader reader;
    reader.feed(QByteArray(ReplyReader::kMaxLineBytes + 1, 'a'));
    EXPECT_EQ(reader.fault(), ReplyReader::Fault::LineTooLong);
    EXPECT_TRUE(reader.feed("200 ok\r\n").isEmpty());

    reader.reset();
    reader.feed("211-start\r\n");
    const QByteArray line = QByteArray(1000, 'x') + "\r\n";
    for (int i = 0; i < 1100 && reader.fault() == ReplyReader::Fault::None; ++i)
        reader.feed(line);
    EXPECT_EQ(reader.fault(), ReplyReader::Fault::ReplyTooLarge);
}

#include "DirectoryListingParser.h"

#include <gtest/gtest.h>

namespace {

FtpFileItem Item(const QString &name, qint64 size, const QString &attributes, const QString &date, bool folder)
{
    return FtpFileItem{name, size, attributes, date, folder};
}

QStringList Names(const QList<FtpFileItem> &items)
{
    QStringList names;
    for (const FtpFileItem &item : items)
        names.append(item.Name);
    return names;
}

} // namespace

TEST(DirectoryListingParser, ReadsUnixEntriesOfEveryKind)
{
    const QString listing = QStringLiteral(
        "total 24\r\n"
        "drwxr-xr-x    2 ftp      ftp          4096 Oct 13  2007 incoming\r\n"
        "-rw-r--r--    1 ftp      ftp       1048576 Jan  5 09:41 readme.txt\r\n"
        "lrwxrwxrwx    1 ftp      ftp            11 Mar 30 23:59 latest -> release-2.1\r\n"
        "-rw-r--r--    1 ftp      ftp    2147483648 Feb 29  2024 two-gib.iso\r\n"
        "-rw-r--r--    1 ftp      ftp    9000000000 Dec 31  2025 nine-gb.img\r\n"
        "crw-rw-rw-    1 root     root     1,     3 Jun  1  2020 null\r\n"
        "prw-r--r--    1 u        g               0 Jun  1 10:00 fifo\r\n");
    qsizetype count = -1;
    const QList<FtpFileItem> items = GetFileList(listing, u"/pub", count);
    ASSERT_EQ(count, 7);
    ASSERT_EQ(items.size(), 7);
    EXPECT_EQ(items[0], Item("incoming", 4096, "drwxr-xr-x", "Oct 13 2007", true));
    EXPECT_EQ(items[1], Item("readme.txt", 1048576, "-rw-r--r--", "Jan 5 09:41", false));
    // A link keeps its arrow and target and is not a folder.
    EXPECT_EQ(items[2], Item("latest -> release-2.1", 11, "lrwxrwxrwx", "Mar 30 23:59", false));
    EXPECT_EQ(items[3].Size, Q_INT64_C(2147483648));
    EXPECT_EQ(items[4].Size, Q_INT64_C(9000000000));
    EXPECT_EQ(items[4].DateText, "Dec 31 2025");
    EXPECT_EQ(items[6].Name, "fifo");
}

TEST(DirectoryListingParser, UnixNamesAreKeptVerbatim)
{
    const QString listing = QStringLiteral(
        "-rw-r--r-- 1 u g 10 Jan  1  2020 two  blanks\n"
        "-rw-r--r-- 1 u g 11 Jan  1  2020  leading blank\n"
        "-rw-r--r-- 1 u g 12 Jan  1  2020 trailing blank \n"
        "-rw-r--r-- 1 u g 13 Jan  1  2020    \n" // only blanks after the date: no name
        "-rw-r--r-- 1 u g 14 Jan  1  2020 Grüße – 日本.txt\n");
    const QList<FtpFileItem> items = GetFileList(listing, u"/");
    EXPECT_EQ(Names(items),
              QStringList({"two  blanks", " leading blank", "trailing blank ", "Grüße – 日本.txt"}));
}

TEST(DirectoryListingParser, LineEndingsOfAnyKind)
{
    const QString line1 = QStringLiteral("-rw-r--r-- 1 u g 1 Jan 1 2020 one");
    const QString line2 = QStringLiteral("-rw-r--r-- 1 u g 2 Jan 1 2020 two");
    for (const QString &separator : {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r\r\n"),
                                     QStringLiteral("\r\r\r\n")}) {
        const QString listing = "total 2" + separator + line1 + separator + line2 + separator;
        EXPECT_EQ(Names(GetFileList(listing, u"/")), QStringList({"one", "two"}))
            << qPrintable(separator.toUtf8().toHex());
    }
    // No final line end, and a leading LF.
    EXPECT_EQ(Names(GetFileList("\n" + line1 + "\r\n" + line2, u"/")), QStringList({"one", "two"}));
    // A CR inside a line is part of the name; only trailing ones go.
    EXPECT_EQ(Names(GetFileList(QStringLiteral("-rw-r--r-- 1 u g 1 Jan 1 2020 a\rb\r\r\n"), u"/")),
              QStringList({"a\rb"}));
}

TEST(DirectoryListingParser, FolderPrefixIsStrippedExactly)
{
    const QString listing = QStringLiteral(
        "-rw-r--r-- 1 u g 1 Jan 1 2020 /home/user/a.txt\r\n"
        "-rw-r--r-- 1 u g 1 Jan 1 2020 /HOME/user/b.txt\r\n"
        "drwxr-xr-x 1 u g 1 Jan 1 2020 /home/user/\r\n" // nothing left after the prefix
        "-rw-r--r-- 1 u g 1 Jan 1 2020 /home/username.txt\r\n");
    const QStringList expected({"a.txt", "/HOME/user/b.txt", "/home/username.txt"});
    EXPECT_EQ(Names(GetFileList(listing, u"/home/user")), expected);
    EXPECT_EQ(Names(GetFileList(listing, u"/home/user/")), expected);
}

TEST(DirectoryListingParser, WindowsStyleByFixedColumns)
{
    const QString listing = QStringLiteral(
        "10-13-07  01:13PM       <DIR>          Program Files\r\n"
        "10-13-07  01:13PM       <dir>          lower\r\n"
        "02-01-24  11:05AM                 1234 report  final.doc\r\n"
        "02-01-24  11:05AM           3000000000 big.iso\r\n"
        "02-01-24  11:05AM        1234567890123 huge.bin\r\n"
        "02-01-24  11:05AM         short\r\n"
        "10-13-07  01:13PM       <DIR>            \r\n" // long enough, but blanks for a name
        "not a windows line but long enough to pass the length\r\n"
        "10-13-07  01:13PM       <DIR>--        s\r\n");
    qsizetype count = 0;
    const QList<FtpFileItem> items = GetFileList(listing, u"/", count);
    ASSERT_EQ(count, 6);
    EXPECT_EQ(items[0], Item("Program Files", 0, "<DIR>", "10-13-07 01:13PM", true));
    EXPECT_EQ(items[1], Item("lower", 0, "<DIR>", "10-13-07 01:13PM", true));
    EXPECT_EQ(items[2], Item("report  final.doc", 1234, "", "02-01-24 11:05AM", false));
    EXPECT_EQ(items[3].Size, Q_INT64_C(3000000000));
    // Thirteen digits reach into the "<DIR>" column; the size is still whole.
    EXPECT_EQ(items[4].Size, Q_INT64_C(1234567890123));
    EXPECT_EQ(items[4].Name, "huge.bin");
    // The layout's own template line reads as a folder named by its last letter.
    EXPECT_EQ(items[5], Item("s", 0, "<DIR>", "10-13-07 01:13PM", true));
}

TEST(DirectoryListingParser, StyleIsDecidedByTheFirstLine)
{
    const QString winLine = QStringLiteral("10-13-07  01:13PM       <DIR>          folder");
    // An empty first line means UNIX, so the Windows line is not an entry.
    EXPECT_TRUE(GetFileList("\r\n" + winLine, u"/").isEmpty());
    EXPECT_EQ(GetFileList(winLine, u"/").size(), 1);
}

TEST(DirectoryListingParser, UnreadableLinesAreSkippedNotTheListing)
{
    const QString good = QStringLiteral("-rw-r--r-- 1 u g 5 Jan 1 2020 good%1\r\n");
    QString listing = good.arg(1);
    listing += QStringLiteral("-rw-r--r-- 1 u g 99999999999999999999 Jan 1 2020 overflow\r\n");
    listing += QStringLiteral("-rw-r--r-- 1 u 5 Jan 1 2020 eight-fields-only-and-long-enough\r\n");
    listing += QStringLiteral("226 Transfer complete. This line is long enough to be parsed\r\n");
    listing += QString(5000, QChar(u'x')) + "\r\n";
    listing += QStringLiteral("d\r\n\r\n    \r\n");
    listing += QString(60, QChar(0)) + "\r\n";
    listing += QStringLiteral("-rw-r--r-- \0 u g 5 Jan 1 2020 nul\r\n");
    listing += good.arg(2);
    listing += QStringLiteral("-rw-r--r-- 1 u g 7 Jan 1 2020 ");
    qsizetype count = 0;
    const QList<FtpFileItem> items = GetFileList(listing, u"/", count);
    EXPECT_EQ(Names(items), QStringList({"good1", "nul", "good2"}));
    EXPECT_EQ(count, 3);
}

TEST(DirectoryListingParser, EmptyListingResetsTheCount)
{
    qsizetype count = 42;
    EXPECT_TRUE(GetFileList(u"", u"/", count).isEmpty());
    EXPECT_EQ(count, 0);
    count = 42;
    EXPECT_TRUE(GetFileList(u"total 0\r\n", u"/", count).isEmpty());
    EXPECT_EQ(count, 0);
}

TEST(DirectoryListingParser, UnixLineSplitting)
{
    EXPECT_EQ(GetUnixFileItem(u"drwxr-xr-x   2 u  g  4096 Oct  1 12:00 a  b "),
              QStringList({"drwxr-xr-x", "2", "u", "g", "4096", "Oct", "1", "12:00", "a  b "}));
    EXPECT_EQ(GetUnixFileItem(u"  total   12 "), QStringList({"total", "12"}));
    EXPECT_TRUE(GetUnixFileItem(u"").isEmpty());
}

TEST(DirectoryListingParser, LeadingNumberValue)
{
    EXPECT_EQ(LeadingNumberValue(u"  123abc"), 123);
    EXPECT_EQ(LeadingNumberValue(u"abc"), 0);
    EXPECT_EQ(LeadingNumberValue(u""), 0);
    EXPECT_EQ(LeadingNumberValue(u"-5"), 0);
    EXPECT_EQ(LeadingNumberValue(u"9223372036854775807"), Q_INT64_C(9223372036854775807));
    EXPECT_FALSE(LeadingNumberValue(u"9223372036854775808").has_value());
}

TEST(DirectoryListingParser, DeviceLinesKeepTheirNames)
{
    // Devices show "major, minor" where files show a size: two fields, not one.
    const QString listing = QStringLiteral(
        "crw-rw-rw-    1 root     root     1,     3 Jun  1  2020 null\r\n"
        "brw-rw----    1 root     disk     8,   0 Dec  7 09:52 sda\r\n"
        "crw--w---- 1 root tty 136, 0 Jan 1 12:34 pts 0\r\n"
        "crw-rw-rw- 1 root root 1,3 Jan 1 12:34 zero\r\n");
    const QList<FtpFileItem> items = GetFileList(listing, u"/dev");
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(Names(items), QStringList({"null", "sda", "pts 0", "zero"}));
    EXPECT_EQ(items[0].DateText, "Jun 1 2020");
    EXPECT_EQ(items[0].Attributes, "crw-rw-rw-");
    EXPECT_EQ(items[1].DateText, "Dec 7 09:52");
    EXPECT_FALSE(items[1].IsFolder);
    EXPECT_EQ(items[2].DateText, "Jan 1 12:34");
}

TEST(DirectoryListingParser, WindowsLinesWithFourDigitYears)
{
    const QString listing = QStringLiteral(
        "10-13-2007  01:13PM       <DIR>          Program Files\r\n"
        "02-01-2024  11:05AM                 1234 report.doc\r\n"
        "02-01-2024  11:05AM           3000000000 9 lives.iso\r\n");
    const QList<FtpFileItem> items = GetFileList(listing, u"/");
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], Item("Program Files", 0, "<DIR>", "10-13-2007 01:13PM", true));
    EXPECT_EQ(items[1], Item("report.doc", 1234, "", "02-01-2024 11:05AM", false));
    EXPECT_EQ(items[2].Name, "9 lives.iso");
    EXPECT_EQ(items[2].Size, Q_INT64_C(3000000000));
}

TEST(DirectoryListingParser, LinesWithoutASizeWhereItBelongsAreNotGuessed)
{
    // Without a group, or with a group holding a blank, the fields after the
    // owner slide: a word of the name would be taken for the time and the
    // item would name another file. Such lines are skipped.
    const QString listing = QStringLiteral(
        "-rw-r--r-- 1 owner 1234 Jan  1 12:34 my file.txt\r\n"
        "-rw-r--r-- 1 owner Domain Users 1234 Jan  1 12:34 report.doc\r\n"
        "-rw-r--r-- 1 owner group 1234 Jan  1 12:34 kept.txt\r\n");
    EXPECT_EQ(Names(GetFileList(listing, u"/")), QStringList({"kept.txt"}));
}

TEST(DirectoryListingParser, IsoDatesAreNotReadAsMonthAndDay)
{
    // "2020-01-01 12:34" is two fields where "Jan  1 12:34" is three: the first
    // word of the name would become the time. Such lines are skipped.
    const QString listing = QStringLiteral(
        "-rw-r--r-- 1 u g 1234 2020-01-01 12:34 my file.txt\r\n"
        "-rw-r--r-- 1 u g 1234 1月  1 12:34 kept.txt\r\n");
    EXPECT_EQ(Names(GetFileList(listing, u"/")), QStringList({"kept.txt"}));
}

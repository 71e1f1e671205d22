#include "RemoteListing.h"
#include "ServerSlots.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

FtpFileItem item(const QString &name, bool folder, qint64 size = 0, const QString &date = "Jan  1 12:00")
{
    FtpFileItem i;
    i.Name = name;
    i.IsFolder = folder;
    i.Size = size;
    i.DateText = date;
    i.Attributes = folder ? "drwxr-xr-x" : "-rw-r--r--";
    return i;
}

} // namespace

TEST(RemoteListing, RowsCarryKeysTagsAndTheDateInTheFourthColumn)
{
    RemoteListingSummary summary;
    const auto rows = BuildRemoteRows({item(".", true), item("..", true), item("docs", true),
                                       item("a.txt", false, 1536, "Feb  3  2020"), item("b.TXT", false, 10)},
                                      QString(), summary);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Key, "D0");
    EXPECT_EQ(rows[0].Tag, "d0");
    EXPECT_EQ(rows[1].Key, "F0");
    EXPECT_EQ(rows[1].Tag, "b1536");
    EXPECT_EQ(rows[1].SubItems.value(0), "       1.5KB");
    EXPECT_EQ(rows[1].SubItems.value(2), "Feb  3  2020");
    EXPECT_EQ(rows[1].IconKey, "e_txt");
    EXPECT_EQ(rows[2].IconKey, "e_txt");
    EXPECT_EQ(summary.Folders, 1);
    EXPECT_EQ(summary.Files, 2);
    EXPECT_EQ(summary.Bytes, 1546);
    EXPECT_EQ(RemoteSummaryText(summary), "1 folders, 2 files, 0.0 MB");
}

TEST(RemoteListing, NameFilterTakesSeveralPatternsAndLeavesFoldersAlone)
{
    EXPECT_TRUE(MatchesNameFilter("x.bin", ""));
    EXPECT_TRUE(MatchesNameFilter("x.bin", " *.* "));
    EXPECT_TRUE(MatchesNameFilter("Notes.TXT", "*.txt;*.log"));
    EXPECT_TRUE(MatchesNameFilter("app.log", "*.txt; *.log"));
    EXPECT_FALSE(MatchesNameFilter("x.bin", "*.txt;*.log"));
    EXPECT_TRUE(MatchesNameFilter("data1.csv", "data?.csv"));

    RemoteListingSummary summary;
    const auto rows = BuildRemoteRows({item("logs", true), item("a.txt", false, 1), item("b.bin", false, 1)},
                                      "*.txt", summary);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Text, "logs");
    EXPECT_EQ(rows[1].Text, "a.txt");
}

TEST(RemoteListing, DatesOfBothListingStylesSortInTimeOrder)
{
    const QDate today(2026, 12, 7);
    const qint64 recent = ListingDateSortKey("Dec  1 09:30", today);
    const qint64 lastYear = ListingDateSortKey("Dec 20 09:30", today); // later than today: last year
    const qint64 old = ListingDateSortKey("Mar  5  2019", today);
    const qint64 windows = ListingDateSortKey("10-13-07  01:13PM", today);
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(recent, Qt::UTC), QDateTime(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC));
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(lastYear, Qt::UTC).date(), QDate(2025, 12, 20));
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(windows, Qt::UTC), QDateTime(QDate(2007, 10, 13), QTime(13, 13), Qt::UTC));
    EXPECT_LT(windows, old);
    EXPECT_LT(old, lastYear);
    EXPECT_LT(lastYear, recent);
    EXPECT_EQ(ListingDateSortKey("yesterday", today), 0);
}

TEST(RemoteListing, ParentFoldersStopAtTheRoot)
{
    EXPECT_EQ(ParentRemotePath("/a/b"), "/a");
    EXPECT_EQ(ParentRemotePath("/a/b/"), "/a");
    EXPECT_EQ(ParentRemotePath("/a"), "/");
    EXPECT_EQ(ParentRemotePath("/"), "/");
}

TEST(RemoteListing, QuickConnectProfileIsAnonymousAndMayNameAPort)
{
    const CProfile plain = ServerSlots::QuickConnectProfile(" ftp.example.org ");
    EXPECT_EQ(plain.ProfileName, "{Quick Connect -ftp.example.org}");
    EXPECT_EQ(plain.Server, "ftp.example.org");
    EXPECT_EQ(plain.Port, 21);
    EXPECT_EQ(plain.User, "anonymous");
    EXPECT_TRUE(plain.Password.contains('@'));
    EXPECT_EQ(plain.RemotePath, "/");

    const CProfile withPort = ServerSlots::QuickConnectProfile("127.0.0.1:2121");
    EXPECT_EQ(withPort.Server, "127.0.0.1");
    EXPECT_EQ(withPort.Port, 2121);
    EXPECT_EQ(withPort.ProfileName, "{Quick Connect -127.0.0.1:2121}");
    // An IPv6 address keeps its colons; a bad port stays part of the host.
    EXPECT_EQ(ServerSlots::QuickConnectProfile("::1").Server, "::1");
    EXPECT_EQ(ServerSlots::QuickConnectProfile("host:99999").Port, 21);
}

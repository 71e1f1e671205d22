// The search walk against a real server.
#include "SearchRecorder.h"

#include "FtpCommander.h"
#include "PyFtpServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SearchWalkTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.error().toStdString(); }

    SearchCriteria criteria(const QStringList &patterns = {QStringLiteral("*")}) const
    {
        SearchCriteria c;
        c.Server = server.host();
        c.User = PyFtpServer::kUser;
        c.Password = PyFtpServer::kPassword;
        c.Port = server.port();
        c.Passive = GetParam();
        c.FilePatterns = patterns;
        return c;
    }

    void setTime(const QString &relative, const QDateTime &when) const
    {
        QFile file(server.rootPath() + QLatin1Char('/') + relative);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
    }

    PyFtpServer server;
    QTemporaryDir cache;
    SearchRecorder sink;
};

} // namespace

TEST_P(SearchWalkTest, RootAndSpecialFolderAreWalkedBreadthFirstOnce)
{
    ASSERT_TRUE(server.writeFile("top.zip", "1"));
    ASSERT_TRUE(server.writeFile("docs/readme.txt", "22"));
    ASSERT_TRUE(server.writeFile("pub/a.ISO", "333"));
    ASSERT_TRUE(server.writeFile("pub/sub/b.zip", "4444"));
    ASSERT_TRUE(server.makeFolder("pub/empty"));
    SearchWalk walk(sink, cache.path());
    SearchCriteria c = criteria({"*.iso", "*.zip"});
    c.SpecialFolders = {"/pub"};
    ASSERT_TRUE(walk.Start(c));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_EQ(sink.end, SearchEnd::QueueDone);
    EXPECT_TRUE(sink.sessionWasActive);
    EXPECT_EQ(sink.visited, QStringList({"/", "/pub", "/docs", "/pub/empty", "/pub/sub"}));
    EXPECT_EQ(sink.hitPaths(), QStringList({"//top.zip", "/pub/a.ISO", "/pub/sub/b.zip"}));
    EXPECT_EQ(sink.stats.TotalFiles, 4);
    EXPECT_EQ(sink.stats.MatchedFiles, 3);
    EXPECT_EQ(sink.stats.TotalBytes, 10);
    EXPECT_EQ(sink.stats.MatchedBytes, 8);
    EXPECT_GE(sink.stats.TotalFolders, 4);
    EXPECT_FALSE(walk.SessionActive());
    EXPECT_FALSE(walk.IsRunning());
}

TEST_P(SearchWalkTest, FoldersDifferingInCaseAreBothSearched)
{
    ASSERT_TRUE(server.writeFile("Data/one.txt", "1"));
    ASSERT_TRUE(server.writeFile("data/two.txt", "2"));
    SearchWalk walk(sink, cache.path());
    SearchCriteria c = criteria({"*.txt"});
    ASSERT_TRUE(walk.Start(c));
    ASSERT_TRUE(sink.waitFinished());
    QStringList found = sink.hitPaths();
    found.sort();
    EXPECT_EQ(found, QStringList({"/Data/one.txt", "/data/two.txt"}));
}

TEST_P(SearchWalkTest, SizeAndDateLimitsAreInclusive)
{
    for (const qint64 size : {10239, 10240, 20480, 20481})
        ASSERT_TRUE(server.writeFile(QStringLiteral("s%1.bin").arg(size), QByteArray(size, 'x')));
    ASSERT_TRUE(server.writeFile("old.txt", "o"));
    ASSERT_TRUE(server.writeFile("older.txt", "o"));
    ASSERT_TRUE(server.writeFile("newer.txt", "o"));
    setTime("old.txt", QDateTime(QDate(2020, 1, 15), QTime(12, 0), Qt::UTC));
    setTime("older.txt", QDateTime(QDate(2020, 1, 14), QTime(23, 0), Qt::UTC));
    setTime("newer.txt", QDateTime(QDate(2020, 1, 16), QTime(1, 0), Qt::UTC));

    SearchWalk walk(sink, cache.path());
    SearchCriteria c = criteria({"*.bin"});
    c.CheckSize = true;
    c.MinSizeBytes = 10 * 1024;
    c.MaxSizeBytes = 20 * 1024;
    ASSERT_TRUE(walk.Start(c));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.hitPaths(), QStringList({"//s10240.bin", "//s20480.bin"}));

    sink = SearchRecorder();
    SearchRecorder &second = sink;
    SearchWalk &dated = walk;
    c = criteria({"*.txt"});
    c.CheckDate = true;
    c.DateFrom = QDateTime(QDate(2020, 1, 15), QTime(0, 0), Qt::UTC);
    c.DateTo = QDateTime(QDate(2020, 1, 15), QTime(23, 59, 59), Qt::UTC);
    ASSERT_TRUE(dated.Start(c));
    ASSERT_TRUE(second.waitFinished());
    // Listings of old files carry only the day, so the day decides.
    EXPECT_EQ(second.hitPaths(), QStringList({"//old.txt"}));
}

TEST_P(SearchWalkTest, ASecondSearchListsNothingAgainAndADeepTreeEnds)
{
    QString deep;
    for (int i = 0; i < 200; ++i)
        deep += QStringLiteral("d/");
    ASSERT_TRUE(server.writeFile(deep + "bottom.txt", "b"));
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria({"*.txt"})));
    ASSERT_TRUE(sink.waitFinished(60000));
    EXPECT_EQ(sink.hits.size(), 1u);
    EXPECT_EQ(sink.visited.size(), 201);
    EXPECT_EQ(sink.commandsLike("LIST"), 201);

    sink = SearchRecorder();
    ASSERT_TRUE(walk.Start(criteria({"*.txt"})));
    ASSERT_TRUE(sink.waitFinished(60000));
    EXPECT_EQ(sink.hits.size(), 1u);
    EXPECT_EQ(sink.commandsLike("LIST"), 0);
    EXPECT_EQ(sink.commandsLike("CWD"), 201);

}

TEST_P(SearchWalkTest, StopEndsAtTheNextFolderAndANewSearchStarts)
{
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(server.writeFile(QStringLiteral("f%1/x.txt").arg(i), "x"));
    ASSERT_TRUE(server.writeFile("x.txt", "x"));
    SearchWalk walk(sink, cache.path());
    sink.onHits = [&] { walk.RequestStop(); };
    ASSERT_TRUE(walk.Start(criteria({"*.txt"})));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.end, SearchEnd::Stopped);
    EXPECT_EQ(sink.hits.size(), 1u);
    EXPECT_FALSE(walk.SessionActive());

    sink = SearchRecorder();
    ASSERT_TRUE(walk.Start(criteria({"*.txt"})));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.end, SearchEnd::QueueDone);
    EXPECT_EQ(sink.hits.size(), 6u);
}

TEST_P(SearchWalkTest, MoreThanTwoThousandHitsEndTheSearchOnce)
{
    for (int i = 0; i < 2001; ++i)
        ASSERT_TRUE(server.writeFile(QStringLiteral("f%1.txt").arg(i), ""));
    ASSERT_TRUE(server.writeFile("later/x.txt", ""));
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria({"*.txt"})));
    ASSERT_TRUE(sink.waitFinished());
    QTest::qWait(50);
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_EQ(sink.end, SearchEnd::HitLimit);
    EXPECT_EQ(sink.hits.size(), 2001u);
    EXPECT_FALSE(sink.visited.contains("/later"));
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, SearchWalkTest, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Passive" : "Active"; });

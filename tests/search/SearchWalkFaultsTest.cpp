// The search walk against servers that fail, lie or send hostile names.
#include "SearchRecorder.h"

#include "RefusingPort.h"
#include "ScriptedFtpServer.h"

#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

QByteArray folderLine(const QByteArray &name) { return "drwxr-xr-x 1 u g 0 Jan 01 2020 " + name + "\r\n"; }
QByteArray fileLine(const QByteArray &name, int size = 10)
{
    return "-rw-r--r-- 1 u g " + QByteArray::number(size) + " Jan 01 2020 " + name + "\r\n";
}

class SearchWalkFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        // Each folder has its own listing; folders not scripted are empty.
        server.on("CWD", [this](const QByteArray &path) {
            if (refusedFolders.contains(path))
                return ScriptedFtpServer::Reply{{"550 No access.\r\n", 0}};
            if (path == dropAt) {
                server.closeControl();
                return ScriptedFtpServer::Reply{};
            }
            server.setListing(listings.value(path, selfListing));
            return ScriptedFtpServer::Reply{{"250 OK.\r\n", 0}};
        });
    }

    SearchCriteria criteria() const
    {
        SearchCriteria c;
        c.Server = server.host();
        c.User = "u";
        c.Password = "p";
        c.Port = server.port();
        c.FilePatterns = {"*"};
        return c;
    }

    QStringList cwdArguments() const
    {
        QStringList out;
        for (const QByteArray &line : server.commands()) {
            if (line.startsWith("CWD "))
                out.append(QString::fromUtf8(line.mid(4)));
        }
        return out;
    }

    ScriptedFtpServer server;
    QMap<QByteArray, QByteArray> listings;
    QByteArray selfListing; // what unscripted folders list
    QList<QByteArray> refusedFolders;
    QByteArray dropAt;
    QTemporaryDir cache;
    SearchRecorder sink;
};

} // namespace

TEST_F(SearchWalkFaults, ControlDroppedMidWalkEndsOnceAsFailed)
{
    listings["/"] = folderLine("a") + folderLine("b") + fileLine("x.txt");
    dropAt = "/a";
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria()));
    ASSERT_TRUE(sink.waitFinished());
    QTest::qWait(50);
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_EQ(sink.end, SearchEnd::Disconnected);
    EXPECT_FALSE(sink.sessionWasActive);
    EXPECT_EQ(sink.hits.size(), 1u);
}

TEST_F(SearchWalkFaults, RefusedConnectionEndsOnceWithoutHanging)
{
    const RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    const quint16 port = refusing.port();
    SearchWalk walk(sink, cache.path());
    SearchCriteria c = criteria();
    c.Port = port;
    ASSERT_TRUE(walk.Start(c));
    ASSERT_TRUE(sink.waitFinished(30000));
    QTest::qWait(50);
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_FALSE(sink.sessionWasActive);
    EXPECT_FALSE(walk.IsRunning());
}

TEST_F(SearchWalkFaults, AFolderListingItselfEndsAtThePathLimit)
{
    selfListing = folderLine(QByteArray(200, 'n')) + fileLine("f.txt");
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria()));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.end, SearchEnd::QueueDone);
    EXPECT_EQ(sink.refused.size(), 1);
    for (const QString &path : cwdArguments())
        EXPECT_LE(path.toUtf8().size(), SearchWalk::kMaxPathBytes);
}

TEST_F(SearchWalkFaults, HostileFolderNamesAreReportedNeverWalked)
{
    const QByteArray longName(5000, 'L');
    listings["/"] = folderLine("..") + folderLine("../x") + folderLine("a/b") + folderLine(longName)
                  + folderLine("ok") + fileLine("../x") + fileLine("<b>x</b>.txt");
    refusedFolders = {"/ok/locked"};
    listings["/ok"] = folderLine("locked") + fileLine("y.txt");
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria()));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.end, SearchEnd::QueueDone);
    EXPECT_EQ(cwdArguments(), QStringList({"/", "/ok", "/ok/locked"}));
    EXPECT_EQ(sink.visited, QStringList({"/", "/ok"}));
    EXPECT_EQ(sink.refused.size(), 3); // "../x", "a/b" and the long name
    EXPECT_EQ(sink.hits.size(), 3u);   // shown: the name is only text here
}

TEST_F(SearchWalkFaults, AFailingHandlerStillMovesTheWalkOn)
{
    listings["/"] = folderLine("next") + fileLine("a.txt");
    listings["/next"] = fileLine("b.txt");
    int calls = 0;
    sink.onHits = [&] {
        if (++calls == 1)
            throw std::runtime_error("sink failed");
    };
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria()));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.end, SearchEnd::QueueDone);
    EXPECT_EQ(sink.visited, QStringList({"/", "/next"}));
    EXPECT_EQ(calls, 2);
}

TEST_F(SearchWalkFaults, WatchdogEndsASearchWithoutSessionAfterTwoMinutes)
{
    server.setNoGreeting();
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria()));
    for (int i = 0; i < SearchWalk::kWatchdogSeconds - 1; ++i)
        walk.Timer1_Timer();
    EXPECT_EQ(sink.finishes, 0);
    walk.Timer1_Timer();
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_EQ(sink.end, SearchEnd::Watchdog);
    EXPECT_FALSE(sink.sessionWasActive);
}

TEST_F(SearchWalkFaults, ACarriageReturnInsideANameIsNeverSentToTheServer)
{
    listings["/"] = "drwxr-xr-x 1 u g 0 Jan 01 2020 x\ry\r\n-rw-r--r-- 1 u g 3 Jan 01 2020 c\rd.txt\r\n";
    SearchWalk walk(sink, cache.path());
    ASSERT_TRUE(walk.Start(criteria()));
    ASSERT_TRUE(sink.waitFinished());
    EXPECT_EQ(sink.end, SearchEnd::QueueDone);
    for (const QByteArray &line : server.commands())
        EXPECT_FALSE(line.contains('\r')) << line.toStdString();
    EXPECT_EQ(cwdArguments(), QStringList({"/"}));
}

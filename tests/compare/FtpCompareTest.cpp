#include "CompareTestSupport.h"
#include "FolderComparison.h"
#include "PyFtpServer.h"
#include "RefusingPort.h"
#include "ScriptedFtpServer.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

void setMtime(const QString &path, qint64 secs)
{
    timespec times[2] = {{static_cast<time_t>(secs), 0}, {static_cast<time_t>(secs), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

void putFile(const QString &path, const QByteArray &bytes, qint64 secs)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    setMtime(path, secs);
}

// A recent time at a whole minute: listings show it with minutes only.
qint64 recentMinute() { return (QDateTime::currentSecsSinceEpoch() - 86400) / 60 * 60; }

FtpLocation locationOf(const PyFtpServer &server, const QString &path, bool passive = true)
{
    FtpLocation location;
    location.ServerUrl = server.host();
    location.Port = server.port();
    location.UserName = QString::fromLatin1(PyFtpServer::kUser);
    location.Password = QString::fromLatin1(PyFtpServer::kPassword);
    location.Passive = passive;
    location.RemotePath = path;
    return location;
}

FtpLocation locationOf(const ScriptedFtpServer &server, const QString &path)
{
    FtpLocation location;
    location.ServerUrl = server.host();
    location.Port = server.port();
    location.UserName = "u";
    location.Password = "p";
    location.RemotePath = path;
    return location;
}

CompareLocation ftp(const FtpLocation &location)
{
    CompareLocation side;
    side.IsFtp = true;
    side.Ftp = location;
    return side;
}

CompareLocation local(const QString &path)
{
    CompareLocation side;
    side.LocalPath = path;
    return side;
}

// The server holds these folders, each with its listing; any other is refused as vsftpd does.
void serveFolders(ScriptedFtpServer &server, const QHash<QString, QByteArray> &listings)
{
    auto current = std::make_shared<QString>("/");
    server.on("CWD", [&server, listings, current](const QByteArray &argument) {
        const QString path = QString::fromUtf8(argument);
        if (!listings.contains(path))
            return ScriptedFtpServer::Reply{{"550 Failed to change directory.\r\n", 0}};
        *current = path;
        server.setListing(listings.value(path));
        return ScriptedFtpServer::Reply{{"250 Directory successfully changed.\r\n", 0}};
    });
    server.on("PWD", [current](const QByteArray &) {
        return ScriptedFtpServer::Reply{{"257 \"" + current->toUtf8() + "\" is the current directory\r\n", 0}};
    });
}

class FtpCompareTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        comparison.Run().Sink = &sink;
        ended = std::make_unique<QSignalSpy>(&comparison, &FolderComparison::finished);
    }

    // Runs a comparison to its end; false when it did not end in time.
    bool run(const CompareLocation &first, const CompareLocation &second, const QString &patterns = "*",
             bool onlyConflict = false)
    {
        comparison.Run().SetNamePatterns(CompareRules::SplitPatterns(patterns));
        comparison.Run().OnlyConflict = onlyConflict;
        comparison.Start(first, second);
        const bool done = QTest::qWaitFor([&] { return !ended->isEmpty(); }, 30000);
        QTest::qWait(20); // anything late would show as a second end
        return done;
    }
    QString failedServer() const { return ended->isEmpty() ? QString() : ended->first().at(0).toString(); }
    QString remarks(const QString &name) const
    {
        const FileListRow *row = sink.Find(name);
        return row ? VectorSink::Remarks(*row) : QStringLiteral("<no row>");
    }

    QTemporaryDir localDir;
    FolderComparison comparison;
    VectorSink sink;
    std::unique_ptr<QSignalSpy> ended;
};

} // namespace

TEST_P(FtpCompareTest, FtpToLocalComparesEachListingAsItArrives)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const qint64 t = recentMinute();
    const QString root = server.rootPath();
    putFile(root + "/data/same.txt", "abc", t);
    putFile(root + "/data/seconds.txt", "abc", t);
    putFile(root + "/data/grown.txt", "abcd", t);
    putFile(root + "/data/skip.bin", "x", t);
    putFile(root + "/data/sub/deep.txt", "x", t);
    putFile(root + "/data/gone/g.txt", "x", t);
    const QString l = localDir.path();
    putFile(l + "/same.txt", "abc", t);
    putFile(l + "/seconds.txt", "abc", t + 30); // minute-precision listing: no tolerance
    putFile(l + "/grown.txt", "abc", t);
    putFile(l + "/sub/deep.txt", "x", t);

    ASSERT_TRUE(run(ftp(locationOf(server, "/data", GetParam())), local(l), "*.txt", true));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(failedServer(), "");
    EXPECT_EQ(sink.Find("same.txt"), nullptr); // "Ok" hidden, still counted
    EXPECT_EQ(remarks("seconds.txt"), "FileTime changed");
    EXPECT_EQ(remarks("grown.txt"), "Size changed");
    EXPECT_EQ(sink.Find("skip.bin"), nullptr);
    EXPECT_EQ(remarks("sub"), "Ok");
    EXPECT_EQ(remarks("gone"), "Missing");
    EXPECT_EQ(remarks("g.txt"), "Missing");
    EXPECT_EQ(sink.Find("g.txt")->SubItems.value(0), "/data/gone");
    const auto &c = comparison.Run().Counts;
    EXPECT_EQ(c.TotalFiles, 6);
    EXPECT_EQ(c.CountOk, 2); // same.txt and sub/deep.txt
    EXPECT_EQ(c.CountMissing + c.CountOk + c.CountSizeChanged + c.CountTimeChanged, 6); // skip.bin counted too
    EXPECT_FALSE(comparison.Walk(0)->Engine()->SessionActive());
}

TEST_P(FtpCompareTest, LocalToFtpMatchesLettersLooselyAndKindsStrictly)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const qint64 t = recentMinute();
    const QString root = server.rootPath();
    putFile(root + "/pub/A.TXT", "abc", t);
    QDir().mkpath(root + "/pub/report.doc");
    putFile(root + "/pub/Sub/x.txt", "x", t);
    const QString l = localDir.path();
    putFile(l + "/a.txt", "abc", t);
    putFile(l + "/report.doc", "x", t);
    putFile(l + "/Sub/x.txt", "x", t);
    putFile(l + "/Sub/late.txt", "x", t + 30);
    QDir().mkpath(l + "/Empty");

    ASSERT_TRUE(run(local(l), ftp(locationOf(server, "/pub/", GetParam())), "*"));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(remarks("a.txt"), "Ok");
    EXPECT_EQ(remarks("report.doc"), "Missing"); // a remote folder is no file's counterpart
    EXPECT_EQ(remarks("Sub"), "OK");
    EXPECT_EQ(remarks("Empty"), "Missing");
    EXPECT_EQ(remarks("x.txt"), "Ok");
    EXPECT_EQ(remarks("late.txt"), "Missing");
    EXPECT_EQ(comparison.Walk(1)->Base(), "/pub");
}

TEST_P(FtpCompareTest, RootLocationWorksBelowTheTop)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const qint64 t = recentMinute();
    putFile(server.rootPath() + "/top/in.txt", "x", t);
    putFile(localDir.path() + "/top/in.txt", "x", t);
    ASSERT_TRUE(run(local(localDir.path()), ftp(locationOf(server, "/", GetParam()))));
    EXPECT_EQ(remarks("top"), "OK");
    EXPECT_EQ(remarks("in.txt"), "Ok");
}

TEST_P(FtpCompareTest, FtpToFtpLooksUpTheSecondSideUnderItsOwnPath)
{
    PyFtpServer one;
    PyFtpServer two;
    ASSERT_TRUE(one.start()) << one.error().toStdString();
    ASSERT_TRUE(two.start()) << two.error().toStdString();
    const qint64 t = recentMinute();
    putFile(one.rootPath() + "/data/same.txt", "abc", t);
    putFile(one.rootPath() + "/data/x", "abc", t);
    putFile(one.rootPath() + "/data/in/deep.txt", "abc", t);
    putFile(one.rootPath() + "/data/in/more/deeper.txt", "abc", t);
    putFile(two.rootPath() + "/backup/data/SAME.TXT", "abc", t);
    QDir().mkpath(two.rootPath() + "/backup/data/X");
    putFile(two.rootPath() + "/backup/data/in/deep.txt", "abcd", t);

    ASSERT_TRUE(run(ftp(locationOf(one, "/data", GetParam())), ftp(locationOf(two, "/backup/data", GetParam()))));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(remarks("same.txt"), "Ok");
    EXPECT_EQ(remarks("x"), "Missing"); // a file never matches a folder
    EXPECT_EQ(remarks("in"), "Ok");
    EXPECT_EQ(remarks("deep.txt"), "Size changed");
    EXPECT_EQ(remarks("more"), "Missing");
    EXPECT_EQ(remarks("deeper.txt"), "Missing");
    const FileListRow *in = sink.Find("in");
    EXPECT_FALSE(in->TextBold);
    EXPECT_TRUE(in->SubItemsBold);
    EXPECT_FALSE(comparison.Walk(0)->Engine()->SessionActive());
    EXPECT_FALSE(comparison.Walk(1)->Engine()->SessionActive());
}

TEST_P(FtpCompareTest, RowLimitEndsTheWalkOnce)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    for (int i = 0; i < 2001; ++i)
        ASSERT_TRUE(server.writeFile(QString("many/f%1.txt").arg(i), "x"));
    ASSERT_TRUE(server.writeFile("many/later/never.txt", "x"));
    QSignalSpy limit(&comparison, &FolderComparison::rowLimitReached);
    ASSERT_TRUE(run(ftp(locationOf(server, "/many", GetParam())), local(localDir.path())));
    EXPECT_EQ(limit.count(), 1);
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(sink.Find("never.txt"), nullptr);
    EXPECT_GT(sink.rows.size(), 2000u);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpCompareTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Passive" : "Active"; });

using FtpCompareFaultTest = FtpCompareTest;

TEST_F(FtpCompareFaultTest, StopMidWalkEndsOnce)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(server.writeFile(QString("d%1/f.txt").arg(i), "x"));
    comparison.Start(ftp(locationOf(server, "/")), local(localDir.path()));
    QObject::connect(comparison.Walk(0), &FtpSideWalk::folderListed, &comparison, [&] { comparison.RequestStop(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ended->isEmpty(); }, 30000));
    QTest::qWait(50);
    EXPECT_EQ(ended->count(), 1);
    EXPECT_LT(sink.rows.size(), 40u);
    EXPECT_FALSE(comparison.Walk(0)->Engine()->SessionActive());
}

TEST_F(FtpCompareFaultTest, ClosedPortGivesNoRowsAndNamesTheServer)
{
    const RefusingPort refusing; // no other test can take it meanwhile
    const quint16 port = refusing.port();
    ASSERT_NE(port, 0);
    FtpLocation location;
    location.ServerUrl = "127.0.0.1";
    location.Port = port;
    location.UserName = "u";
    location.Password = "p";
    location.RemotePath = "/";
    ASSERT_TRUE(run(local(localDir.path()), ftp(location)));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(failedServer(), "127.0.0.1");
    EXPECT_TRUE(sink.rows.empty());
}

TEST_F(FtpCompareFaultTest, RefusedLogInEndsAtOnce)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.on("PASS", "530 Login incorrect.");
    putFile(localDir.path() + "/a.txt", "x", 1600000000);
    ASSERT_TRUE(run(local(localDir.path()), ftp(locationOf(server, "/"))));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(failedServer(), "127.0.0.1");
    EXPECT_FALSE(ended->first().at(1).toString().isEmpty());
    EXPECT_TRUE(sink.rows.empty()); // no comparison on an empty cache
}

TEST_F(FtpCompareFaultTest, DropMidWalkEndsAtOnce)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("drwxr-xr-x 1 u g 0 Jan 01 2020 a\r\ndrwxr-xr-x 1 u g 0 Jan 01 2020 b\r\n");
    int cwds = 0;
    server.on("CWD", [&](const QByteArray &) {
        if (++cwds == 2)
            server.closeControl();
        return ScriptedFtpServer::Reply{{"250 OK.\r\n", 0}};
    });
    ASSERT_TRUE(run(ftp(locationOf(server, "/")), local(localDir.path())));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(failedServer(), "127.0.0.1");
}

TEST_F(FtpCompareFaultTest, HostileNamesAreNeverQueuedAndSelfLinksEnd)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    const QByteArray longName(5000, 'n');
    server.setListing("drwxr-xr-x 1 u g 0 Jan 01 2020 .\r\n"
                      "drwxr-xr-x 1 u g 0 Jan 01 2020 ..\r\n"
                      "drwxr-xr-x 1 u g 0 Jan 01 2020 ../x\r\n"
                      "drwxr-xr-x 1 u g 0 Jan 01 2020 a/b\r\n"
                      "drwxr-xr-x 1 u g 0 Jan 01 2020 cr\rin\r\n"
                      "drwxr-xr-x 1 u g 0 Jan 01 2020 " + longName + "\r\n"
                      "drwxr-xr-x 1 u g 0 Jan 01 2020 loop\r\n"
                      "-rw-r--r-- 1 u g 3 Jan 01 2020 file.txt\r\n");
    server.on("PWD", "257 \"/\" is current."); // every folder claims to be the root: a listing of itself
    ASSERT_TRUE(run(ftp(locationOf(server, "/")), local(localDir.path())));
    EXPECT_EQ(ended->count(), 1);
    QStringList cwds;
    for (const QByteArray &line : server.commands()) {
        if (line.startsWith("CWD"))
            cwds << QString::fromUtf8(line);
    }
    EXPECT_EQ(cwds, (QStringList{"CWD /", "CWD /loop"}));
    int lists = 0;
    for (const QByteArray &line : server.commands())
        lists += line.startsWith("LIST");
    EXPECT_EQ(lists, 1);
    EXPECT_EQ(remarks("file.txt"), "Missing");
}

TEST_F(FtpCompareFaultTest, DotEntriesOfFtpToFtpGetRowsButAreNotWalked)
{
    ScriptedFtpServer one;
    ScriptedFtpServer two;
    ASSERT_TRUE(one.listen());
    ASSERT_TRUE(two.listen());
    const QByteArray listing = "drwxr-xr-x 1 u g 0 Jan 01 2020 .\r\n"
                               "drwxr-xr-x 1 u g 0 Jan 01 2020 ..\r\n"
                               "-rw-r--r-- 1 u g 3 Jan 01 2020 f.txt\r\n";
    one.setListing(listing);
    two.setListing(listing);
    ASSERT_TRUE(run(ftp(locationOf(one, "/")), ftp(locationOf(two, "/"))));
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(remarks("f.txt"), "Ok");
    EXPECT_EQ(remarks("."), "Ok");
    EXPECT_EQ(remarks(".."), "Ok");
    for (const QByteArray &line : one.commands())
        EXPECT_FALSE(line.startsWith("CWD /.")) << line.constData();
}

TEST_F(FtpCompareFaultTest, AnUnreadableListingDateIsATimeDifferenceShownAsWritten)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("-rw-r--r-- 1 u g 3 Xyz 99 99:99 a.txt\r\n");
    putFile(localDir.path() + "/a.txt", "abc", 1600000000);
    ASSERT_TRUE(run(local(localDir.path()), ftp(locationOf(server, "/"))));
    const FileListRow *row = sink.Find("a.txt");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(VectorSink::Remarks(*row), "FileTime changed");
    EXPECT_TRUE(row->ToolTip.endsWith(" Vs. Xyz 99 99:99")) << row->ToolTip.toStdString();
}

// As vsftpd does: the parent's plain listing leaves dot folders out, but they
// are there when asked for by name, at any depth. A folder whose files were
// found is not "Missing", whether the first location is local or on a server
// that lists dot names (pyftpdlib); one the server refuses to enter is, and so
// are its files.
class DotFolderTest : public FtpCompareTest
{
};

TEST_P(DotFolderTest, ADotFolderLeftOutOfItsParentsListingIsFoundByName)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    serveFolders(server, {{"/", "-rw-r--r-- 1 u g 3 Jan 01 2020 top.txt\r\ndrwxr-xr-x 1 u g 0 Jan 01 2020 sub\r\n"},
                          {"/.hidden_dir", "-rw-r--r-- 1 u g 6 Jan 01 2020 inside.txt\r\n"},
                          {"/sub", ""},
                          {"/sub/.deep", "-rw-r--r-- 1 u g 4 Jan 01 2020 deep.txt\r\n"}});
    const bool ftpFirst = GetParam();
    PyFtpServer first;
    const QString tree = ftpFirst ? first.rootPath() : localDir.path();
    putFile(tree + "/top.txt", "abc", 1600000000);
    putFile(tree + "/.hidden_dir/inside.txt", "inside", 1600000000);
    putFile(tree + "/sub/.deep/deep.txt", "deep", 1600000000);
    putFile(tree + "/gone/lost.txt", "lost", 1600000000);
    if (ftpFirst)
        ASSERT_TRUE(first.start()) << first.error().toStdString();
    ASSERT_TRUE(run(ftpFirst ? ftp(locationOf(first, "/")) : local(tree), ftp(locationOf(server, "/"))));
    EXPECT_EQ(ended->count(), 1);
    const QString ok = ftpFirst ? "Ok" : "OK"; // how each kind words a folder found
    EXPECT_EQ(remarks(".hidden_dir"), ok);
    EXPECT_EQ(remarks("inside.txt"), "FileTime changed");
    EXPECT_EQ(remarks(".deep"), ok);
    EXPECT_EQ(remarks("deep.txt"), "FileTime changed");
    EXPECT_EQ(remarks("gone"), "Missing");
    EXPECT_EQ(remarks("lost.txt"), "Missing");
}

INSTANTIATE_TEST_SUITE_P(FirstLocations, DotFolderTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Ftp" : "Local"; });

// Servers close a session left idle (vsftpd after five minutes): the second
// walk's, waiting for the first, costs nothing until it has a folder to read,
// which it then reads on a session of its own again.
class SecondSessionClosedWhileWaitingTest : public FtpCompareTest
{
};

TEST_P(SecondSessionClosedWhileWaitingTest, TheComparisonGoesOnAsIfItWereOpen)
{
    const bool folderFoundLater = GetParam();
    ScriptedFtpServer one;
    ScriptedFtpServer two;
    ASSERT_TRUE(one.listen());
    ASSERT_TRUE(two.listen());
    const QByteArray file = "-rw-r--r-- 1 u g 3 Jan 01 2020 f.txt\r\n";
    const QByteArray dotFolder = folderFoundLater ? "drwxr-xr-x 1 u g 0 Jan 01 2020 .conf\r\n" : "";
    serveFolders(one, {{"/", file + dotFolder}, {"/.conf", file}}); // lists dot names
    serveFolders(two, {{"/", file}, {"/.conf", file}});             // leaves them out
    one.holdFinalReply();
    comparison.Run().SetNamePatterns(CompareRules::SplitPatterns("*"));
    comparison.Start(ftp(locationOf(one, "/")), ftp(locationOf(two, "/")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return one.finalReplyHeld() && comparison.Walk(1)->Listings().Find("/"); }, 10000));
    two.closeControl();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !two.clientConnected(); }, 10000));
    one.releaseFinalReply();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ended->isEmpty(); }, 30000));
    QTest::qWait(20);
    EXPECT_EQ(ended->count(), 1);
    EXPECT_EQ(ended->first().at(1).toString(), "");
    EXPECT_EQ(remarks("f.txt"), "Ok");
    EXPECT_EQ(remarks(".conf"), folderFoundLater ? "Ok" : "<no row>");
    EXPECT_EQ(two.commandCount("CWD /.conf"), folderFoundLater ? 1 : 0);
    EXPECT_EQ(two.connectionCount(), folderFoundLater ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(AfterTheClose, SecondSessionClosedWhileWaitingTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "AFolderFoundLater" : "NothingMoreToRead";
                         });

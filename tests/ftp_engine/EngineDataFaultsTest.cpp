// Data-connection faults from the scripted server: drops, hostile passive
// replies, refused resumes, stalls and strangers on the active port.
#include "EngineSocket.h"
#include "ScriptedEngineTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <utility>

namespace {

class DataFaults : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        engine.setCacheFile(local.filePath(QStringLiteral("listing.cache")));
        engine.setListingAllowed(true);
        ASSERT_TRUE(logIn());
    }

    // A resume of the first 40000 bytes of `content` into `part` whose passive
    // reply names no reachable address: it ends after the server took the
    // REST and before any RETR, so the server keeps that offset.
    void ResumeEndingAfterItsRest(const QByteArray &content, const QString &part, int jobs)
    {
        ASSERT_TRUE(WriteFileBytes(part, content.left(40000)));
        server.on("PASV", QByteArray("227 Entering Passive Mode (300,0,0,1,4,1)"));
        engine.FTP_RES_GET_FILE(QStringLiteral("/file.bin"), part, content.size(), QString(), false);
        ASSERT_TRUE(recorder.waitForJobs(jobs));
        ASSERT_FALSE(engine.LastCmdSucces());
        ASSERT_GE(sentCount("REST 40000"), 1);
        ASSERT_EQ(sentCount("RETR"), 0);
        server.off("PASV");
    }
};

} // namespace

TEST_F(DataFaults, DroppedDownloadResumesByteExact)
{
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    server.setDataDropAfter(30000);
    QObject::connect(&server, &ScriptedFtpServer::dataTransferFinished, &server,
                     [&] { server.setDataDropAfter(-1); });
    const QString target = local.filePath(QStringLiteral("file.bin"));
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), target, content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(ReadFileBytes(target), content);
    EXPECT_EQ(sentCount("REST 30000"), 1);
}

TEST_F(DataFaults, DroppedResumedDownloadGoesOnFromTheBytesOnDisk)
{
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    const QString target = local.filePath(QStringLiteral("file.bin"));
    ASSERT_TRUE(WriteFileBytes(target, content.left(10000)));
    server.setDataDropAfter(30000);
    QObject::connect(&server, &ScriptedFtpServer::dataTransferFinished, &server,
                     [&] { server.setDataDropAfter(-1); });

    engine.FTP_RES_GET_FILE(QStringLiteral("/file.bin"), target, content.size(), QString(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(ReadFileBytes(target), content);
    EXPECT_EQ(sentCount("REST 10000"), 1);
    EXPECT_EQ(sentCount("REST 40000"), 1);
}

// The upload ends at the server's 150 (its local file is gone); a host that
// starts its next operation from JobDone must not have that 150 judged as the
// next command's reply.
TEST_F(DataFaults, UploadEndingAtThePreliminaryReplyLeavesTheNextOperationAlone)
{
    QObject::connect(&engine, &FtpCommander::JobDone, &engine, [&] {
        if (engine.LastAct() == FtpCommander::ActSend)
            engine.FTP_CHG_DIR(QStringLiteral("/"));
    });
    engine.FTP_SEND_FILE(local.filePath(QStringLiteral("gone.bin")), QStringLiteral("/gone.bin"), 10, false);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(recorder.errorCodes.contains(12));
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_EQ(recorder.disconnects, 0);
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActChangeDir);
}

// STOR is not repeated more than once, also when each repeat goes back for a
// new passive port first.
TEST_F(DataFaults, RefusedUploadIsSentAtMostTwice)
{
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, "0123456789"));
    server.on("STOR", QByteArray("426 Connection closed; transfer aborted."));
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 10, false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("STOR"), 2);
}

// The host confirms the other side's data connection of a server-to-server
// copy; the sending side still times out when its server never answers STOR.
TEST_F(DataFaults, ConfirmedServerToServerCopyKeepsItsReplyTimeOut)
{
    server.on("STOR", ScriptedFtpServer::Reply{});
    QObject::connect(&engine, &FtpCommander::HandlePassiveAddress, &engine,
                     [&](const QString &, long) { engine.DataConnectionOk(); });
    engine.FTP_StoreFromServer(QStringLiteral("/copy.bin"), 100);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("STOR") == 1; }));
    // The store's time-outs pass; the server answers the abort that follows.
    for (int i = 0; i < 600 && !recorder.events.contains(QStringLiteral("CommandSent:ABOR")); ++i)
        timer->advance(1000);
    ASSERT_TRUE(recorder.waitForJobs(2, 2000));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
}

// A host that aborts from its DataPacket handler: the packet being announced
// is not written into a reopened (and emptied) local file.
TEST_F(DataFaults, AbortFromTheDataPacketHandlerKeepsWhatWasWritten)
{
    const QByteArray content = PatternBytes(4 * 1024 * 1024);
    server.setFileData(content);
    const QString target = local.filePath(QStringLiteral("file.bin"));
    server.on("ABOR", ScriptedFtpServer::Reply{{"426 Transfer aborted\r\n", 0}, {"226 Abort done\r\n", 5}});
    int packets = 0;
    QObject::connect(&engine, &FtpCommander::DataPacket, &engine, [&](qint64) {
        if (engine.BytesDone() > 0 && ++packets == 2)
            engine.Abort();
    });
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), target, content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    const QByteArray written = ReadFileBytes(target);
    EXPECT_GT(written.size(), 0);
    EXPECT_EQ(written.size(), engine.BytesDone());
    EXPECT_TRUE(content.startsWith(written));
}

TEST_F(DataFaults, DroppedUploadResumesFromTheStoredLength)
{
    const QByteArray content = PatternBytes(16 * 1024 * 1024); // more than the socket buffers hold
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, content));

    server.setDataDropAfter(20000);
    engine.setMaxConnectionTry(1);
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    ASSERT_EQ(server.storedData().size(), 20000);

    server.setDataDropAfter(-1);
    server.on("SIZE", [&](const QByteArray &) {
        return ScriptedFtpServer::Reply{{"213 " + QByteArray::number(server.storedData().size()) + "\r\n", 0}};
    });
    // The caller's count of bytes sent is more than the server stored: the server's size wins.
    qint64 offset = content.size() / 2;
    engine.FTP_RES_SEND_FILE(source, QStringLiteral("/up.bin"), content.size(), offset);
    ASSERT_TRUE(recorder.waitForJobs(3)) << engine.BytesDone() << " " << server.storedData().size();
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("REST 20000"), 1);
    EXPECT_EQ(server.storedData(), content);
}

// Without a size of the target to go on from, a resumed upload sends the whole
// file again, without REST: a missing target, a reply that is no number, a
// target larger than the local file.
TEST_F(DataFaults, ResumedUploadWithoutAUsableSizeIsSentWhole)
{
    const QByteArray content = PatternBytes(50000);
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, content));
    const QList<QByteArray> sizes = {"550 No such file.", "213 lots", "213 50001"};
    int jobs = 1;
    for (const QByteArray &reply : sizes) {
        // The reply to the resume's question; the check after the upload gets the stored size.
        auto asked = std::make_shared<bool>(false);
        server.on("SIZE", [this, reply, asked](const QByteArray &) {
            const QByteArray line = std::exchange(*asked, true) ? "213 " + QByteArray::number(server.storedData().size())
                                                                : reply;
            return ScriptedFtpServer::Reply{{line + "\r\n", 0}};
        });
        server.on("MDTM", QByteArray("550 No such file."));
        qint64 offset = 30000;
        engine.FTP_RES_SEND_FILE(source, QStringLiteral("/up.bin"), content.size(), offset);
        ASSERT_TRUE(recorder.waitForJobs(++jobs)) << reply.constData();
        EXPECT_TRUE(engine.LastCmdSucces()) << reply.constData();
        EXPECT_EQ(server.storedData(), content) << reply.constData();
    }
    EXPECT_EQ(sentCount("REST"), sentCount("REST 0")); // only the log-in's
    EXPECT_EQ(sentCount("STOR"), 3);
}

TEST_F(DataFaults, PassiveAddressOfAnotherHostIsNotFollowed)
{
    server.setPassiveHost("10,0,0,9");
    server.setListing("-rw-r--r-- 1 u g 5 Jan 01 2020 a.txt\r\n");
    engine.FTP_LIST_DIR();
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_TRUE(engine.getListData().contains(QStringLiteral("a.txt")));
    EXPECT_EQ(recorder.messages.filter(QStringLiteral("10.0.0.9")).size(), 1);
}

TEST_F(DataFaults, UnreadablePassiveRepliesFailWithinTheCap)
{
    engine.setMaxConnectionTry(2);
    server.on("PASV", QByteArray("227 Entering Passive Mode (300,0,0,1,4,1)"));
    engine.FTP_LIST_DIR();
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("PASV"), 3);
    EXPECT_EQ(sentCount("LIST"), 0);

    server.on("PASV", QByteArray("227 Entering Passive Mode 127,0,0,1,4,1"));
    engine.FTP_LIST_DIR();
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("LIST"), 0);
    EXPECT_FALSE(engine.isBusy());
}

TEST_F(DataFaults, RefusedRestEndsTheResume)
{
    const QString target = local.filePath(QStringLiteral("part.bin"));
    ASSERT_TRUE(WriteFileBytes(target, "12345"));
    server.setFileData(PatternBytes(1000));
    server.on("REST", QByteArray("502 Not implemented"));
    engine.FTP_RES_GET_FILE(QStringLiteral("/part.bin"), target, 1000, QString(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("RETR"), 0);
    EXPECT_EQ(ReadFileBytes(target), QByteArray("12345"));
}

// A resume that ends between its accepted REST and its RETR leaves the
// offset with a server that keeps it for the next transfer (as vsftpd does);
// the next download on the session still gets the file from its first byte.
TEST_F(DataFaults, ARestWhoseTransferNeverWentOutMovesNoLaterTransfer)
{
    engine.setMaxConnectionTry(1);
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    const QString part = local.filePath(QStringLiteral("part.bin"));
    ASSERT_NO_FATAL_FAILURE(ResumeEndingAfterItsRest(content, part, 2));

    const QString fresh = local.filePath(QStringLiteral("fresh.bin"));
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), fresh, content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_TRUE(ReadFileBytes(fresh) == content);
    EXPECT_EQ(sentCount("REST 0"), 2); // the log-in's and the one set back

    // Nothing held any more: a fresh transfer sends no REST of its own.
    const int rests = sentCount("REST");
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), fresh, content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("REST"), rests);
}

// A server without REST refuses the resume; the offset it never took is not
// set back later, so the next resume of a file the server does not have yet
// goes whole instead of failing on a second refused REST.
TEST_F(DataFaults, ARefusedRestLeavesNoOffsetToSetBack)
{
    const QByteArray content = PatternBytes(50000);
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, content));
    server.on("REST", QByteArray("502 REST not implemented."));
    server.setFileData(content.left(20000)); // what SIZE reports for the target
    qint64 offset = 20000;
    engine.FTP_RES_SEND_FILE(source, QStringLiteral("/up.bin"), content.size(), offset);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    ASSERT_EQ(sentCount("REST 20000"), 1);
    EXPECT_EQ(sentCount("STOR"), 0);

    server.on("SIZE", [&](const QByteArray &) {
        return ScriptedFtpServer::Reply{{server.commandCount("STOR") == 0 ? "550 No such file.\r\n"
                                                                          : "213 " + QByteArray::number(server.storedData().size()) + "\r\n",
                                         0}};
    });
    offset = 20000;
    engine.FTP_RES_SEND_FILE(source, QStringLiteral("/up.bin"), content.size(), offset);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(engine.LastCmdSucces()) << engine.LastFailure().toStdString();
    EXPECT_EQ(server.storedData(), content);
    EXPECT_EQ(sentCount("REST"), 2); // the log-in's and the refused one
}

// An offset the server kept from a resume that never transferred is set back
// in binary mode, right before the next transfer: a server that refuses REST
// in ASCII mode (pyftpdlib, proftpd) would otherwise keep it, and the fresh
// download would start at the old offset.
TEST_F(DataFaults, AnOffsetLeftWithTheServerIsSetBackInBinaryModeRightBeforeTheTransfer)
{
    engine.setMaxConnectionTry(1);
    server.refuseRestInAscii();
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    const QString part = local.filePath(QStringLiteral("part.bin"));
    ASSERT_NO_FATAL_FAILURE(ResumeEndingAfterItsRest(content, part, 2));
    // The user's own command puts the session back in ASCII mode.
    engine.FTP_CUSTOM_COMMAND(QStringLiteral("TYPE A"), QString(), QStringLiteral("200"));
    ASSERT_TRUE(recorder.waitForJobs(3));

    const QString fresh = local.filePath(QStringLiteral("fresh.bin"));
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), fresh, content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_TRUE(ReadFileBytes(fresh) == content);
    const QList<QByteArray> commands = server.commands();
    const qsizetype retr = commands.lastIndexOf("RETR /file.bin");
    ASSERT_GE(retr, 2);
    EXPECT_EQ(commands[retr - 1], QByteArray("REST 0"));
    EXPECT_EQ(commands[retr - 2], QByteArray("PASV"));

    // The sending side of a server copy sets it back too, and still hands on
    // its passive address.
    ASSERT_TRUE(WriteFileBytes(part, content.left(40000)));
    server.on("PASV", QByteArray("227 Entering Passive Mode (300,0,0,1,4,1)"));
    const int rests = sentCount("REST 40000");
    engine.FTP_RES_GET_FILE(QStringLiteral("/file.bin"), part, content.size(), QString(), false);
    ASSERT_TRUE(recorder.waitForJobs(5));
    ASSERT_GT(sentCount("REST 40000"), rests);
    server.off("PASV");
    long passivePort = 0;
    QObject::connect(&engine, &FtpCommander::HandlePassiveAddress, &engine,
                     [&](const QString &, long port) { passivePort = port; });
    engine.FTP_StoreFromServer(QStringLiteral("/copy.bin"), 100);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("STOR") == 1; }));
    EXPECT_GT(passivePort, 0);
    const QList<QByteArray> copyCommands = server.commands();
    const qsizetype stor = copyCommands.lastIndexOf("STOR /copy.bin");
    EXPECT_EQ(copyCommands.value(stor - 1), QByteArray("REST 0"));
    EXPECT_EQ(copyCommands.value(stor - 2), QByteArray("PASV"));
}

TEST_F(DataFaults, ResumedDownloadOfAnotherSizeStops)
{
    const QString target = local.filePath(QStringLiteral("part.bin"));
    ASSERT_TRUE(WriteFileBytes(target, "12345"));
    server.setFileData(PatternBytes(1000));
    qint64 reported = 0;
    QObject::connect(&engine, &FtpCommander::FileSizeDiffer, &engine,
                     [&](qint64 size, const QString &, const QString &direction) {
                         reported = size;
                         EXPECT_EQ(direction, QStringLiteral("download"));
                     });
    engine.FTP_RES_GET_FILE(QStringLiteral("/part.bin"), target, 1200, QString(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(reported, 1000);
    EXPECT_EQ(sentCount("RETR"), 0);
}

TEST_F(DataFaults, StalledTransferFailsAfterTheInactivityTime)
{
    server.on("RETR", QByteArray("150 Opening data connection"));
    engine.FTP_GET_FILE(QStringLiteral("/slow.bin"), local.filePath(QStringLiteral("slow.bin")), 10, false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.contains(QStringLiteral("150 Opening data connection")); }));
    timer->advance(58000);
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_TRUE(engine.SessionActive());
    // The transfer's final reply may still come: the session ends rather than read it as another's.
    timer->advance(4000);
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_EQ(recorder.errorCodes, QList<long>{11});
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_EQ(engine.CmdStatus(), EngineSocket::Closed);
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(QFile::exists(local.filePath(QStringLiteral("slow.bin"))));
}

TEST_F(DataFaults, HostileListingIsKeptByteForByte)
{
    const QByteArray hostile = QByteArray("total 3\r\r\n-rw-r--r-- 1 u g 3000000000 Jan 01  2020 big  name\r\r\n")
                               + QByteArray("\x01\x02 garbage \xff\n") + QByteArray(9000, 'x')
                               + "\nlrwxrwxrwx 1 u g 4 Jan 01 2020 ../../etc -> /etc";
    server.setListing(hostile);
    engine.FTP_LIST_DIR();
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    QFile cache(engine.CacheFile());
    ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
    EXPECT_EQ(cache.readAll(), hostile);
    EXPECT_TRUE(engine.getListData().endsWith(QStringLiteral("../../etc -> /etc")));
}

TEST_F(DataFaults, AbortDuringADownloadEndsTheOperationOnly)
{
    server.on("RETR", QByteArray("150 Opening data connection"));
    server.on("ABOR", ScriptedFtpServer::Reply{{"426 Transfer aborted\r\n", 0}, {"226 Abort done\r\n", 5}});
    engine.FTP_GET_FILE(QStringLiteral("/slow.bin"), local.filePath(QStringLiteral("slow.bin")), 10, false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.contains(QStringLiteral("150 Opening data connection")); }));
    engine.Abort();
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_EQ(engine.DataStatus(), EngineSocket::Closed);
    EXPECT_TRUE(recorder.messages.contains(QStringLiteral("426 Transfer aborted")));
}

TEST_F(DataFaults, UnansweredQuitClosesAfterAShortGrace)
{
    server.on("QUIT", ScriptedFtpServer::Reply{});
    engine.CloseSession();
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_EQ(engine.CmdStatus(), EngineSocket::Connected);
    timer->advance(FtpCommander::kQuitGraceMs);
    EXPECT_EQ(engine.CmdStatus(), EngineSocket::Closed);
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_FALSE(timer->isActive());
}

TEST(ActiveDataSocket, AcceptsOnlyTheControlPeer)
{
    EngineSocket socket;
    int refused = 0;
    int accepted = 0;
    QObject::connect(&socket, &EngineSocket::connectionRefusedFrom, &socket, [&] { ++refused; });
    QObject::connect(&socket, &EngineSocket::connected, &socket, [&] { ++accepted; });
    ASSERT_TRUE(socket.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0, QHostAddress(QStringLiteral("127.0.0.1"))));
    const quint16 port = socket.localPort();

    QTcpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    stranger.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), port);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return refused == 1; }));
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(socket.state(), EngineSocket::Listening);

    QTcpSocket peer;
    peer.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), port);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return accepted == 1; }));
    EXPECT_EQ(socket.state(), EngineSocket::Connected);
}

// A file the caller opened is what every try of the upload sends: after a
// drop, the engine's own second try sends that file whole again, whatever
// its path names by then.
TEST_F(DataFaults, AGivenFileIsSentByEveryTryWhateverItsPathNamesLater)
{
    const QByteArray content = PatternBytes(16 * 1024 * 1024);
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, content));
    auto given = std::make_unique<QFile>(source);
    ASSERT_TRUE(given->open(QIODevice::ReadOnly));
    int stores = 0;
    QObject::connect(&engine, &FtpCommander::CommandSent, &engine, [&](const QString &, const QString &command) {
        if (!command.startsWith(QLatin1String("STOR")))
            return;
        if (++stores == 1) {
            ASSERT_TRUE(QFile::remove(source));
            ASSERT_TRUE(WriteFileBytes(source, QByteArray(content.size(), 'X')));
        } else {
            server.setDataDropAfter(-1);
        }
    });
    server.setDataDropAfter(20000);
    engine.setMaxConnectionTry(2);
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), content.size(), false, {}, std::move(given));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("STOR"), 2);
    EXPECT_EQ(server.storedData(), content);
}

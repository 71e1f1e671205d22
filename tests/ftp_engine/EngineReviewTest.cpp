// Server-to-server copies in both data modes, late replies and overwrite
// answers the engine has no meaning for.
#include "EngineRecorder.h"
#include "FtpCommander.h"
#include "PyFtpServer.h"
#include "ScriptedEngineTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// Copies `name` from `from` to `to` with two engines in the given mode; true when both ended well.
bool CopyBetween(PyFtpServer &from, PyFtpServer &to, const QString &name, qint64 size, long mode, QString &log)
{
    FtpCommander sender;   // stores on `to`
    FtpCommander receiver; // reads from `from`
    sender.setMode(mode);
    receiver.setMode(mode);
    EngineRecorder sent(sender);
    EngineRecorder received(receiver);
    const QString user = QString::fromLatin1(PyFtpServer::kUser);
    const QString password = QString::fromLatin1(PyFtpServer::kPassword);
    if (!LogIn(sender, sent, to.host(), to.port(), user, password)
        || !LogIn(receiver, received, from.host(), from.port(), user, password))
        return false;
    QObject::connect(&sender, &FtpCommander::HandlePassiveAddress, &sender, [&](const QString &address, long port) {
        receiver.FTP_GetFromOtherServer(name, size, address, port);
    });
    QObject::connect(&receiver, &FtpCommander::DataConnect, &receiver, [&] {
        if (receiver.CurrentAct() == FtpCommander::ActGetFromServer)
            sender.DataConnectionOk();
    });
    sender.FTP_StoreFromServer(name, size);
    const bool done = sent.waitForJobs(2, 20000) && received.waitForJobs(2, 20000);
    log = sent.events.join(QLatin1Char('\n')) + QStringLiteral("\n----\n") + received.events.join(QLatin1Char('\n'));
    // Both sessions go on afterwards.
    sender.FTP_CHG_DIR(QStringLiteral("/"));
    receiver.FTP_CHG_DIR(QStringLiteral("/"));
    const bool after = sent.waitForJobs(3, 20000) && received.waitForJobs(3, 20000) && sender.LastCmdSucces()
                       && receiver.LastCmdSucces();
    return done && sent.jobDone == 3 && received.jobDone == 3 && after && !sender.isBusy() && !receiver.isBusy();
}

class ServerToServerModes : public ::testing::TestWithParam<long>
{
};

} // namespace

TEST_P(ServerToServerModes, CopiesInBothDirections)
{
    PyFtpServer first;
    PyFtpServer second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    const QByteArray there = PatternBytes(300 * 1024 + 5);
    const QByteArray back = PatternBytes(100 * 1024 + 1).toBase64();
    ASSERT_TRUE(first.writeFile(QStringLiteral("there.bin"), there));
    ASSERT_TRUE(second.writeFile(QStringLiteral("back.bin"), back));
    QString log;
    EXPECT_TRUE(CopyBetween(first, second, QStringLiteral("/there.bin"), there.size(), GetParam(), log))
        << log.toStdString();
    EXPECT_EQ(second.readFile(QStringLiteral("there.bin")), there);
    EXPECT_TRUE(CopyBetween(second, first, QStringLiteral("/back.bin"), back.size(), GetParam(), log))
        << log.toStdString();
    EXPECT_EQ(first.readFile(QStringLiteral("back.bin")), back);
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, ServerToServerModes, ::testing::Values(0L, 1L),
                         [](const ::testing::TestParamInfo<long> &info) {
                             return info.param == 0 ? std::string("Passive") : std::string("Active");
                         });

namespace {

class EngineFaults2 : public ScriptedEngineTest
{
};

} // namespace

// A command resent after its time-out: the late reply to the first sending
// is that sending's, and the next command waits for its own reply.
TEST_F(EngineFaults2, ReplyToAResentCommandIsNotTakenForTheNextCommands)
{
    int cwd = 0;
    server.on("CWD", [&](const QByteArray &) {
        return ++cwd == 1 ? ScriptedFtpServer::Reply{}
                          : ScriptedFtpServer::Reply{{"250 late\r\n", 0}, {"250 again\r\n", 20}};
    });
    server.on("PWD", ScriptedFtpServer::Reply{{"257 \"/x\"\r\n", 40}});
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/x"));
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return cwd == 1; }));
    timer->advance(20000);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(recorder.replies.last(), QStringLiteral("257 \"/x\""));
    EXPECT_EQ(sentCount("PWD"), 1);
}

// An upload to an existing file with an answer the engine has no meaning for
// goes on instead of waiting for ever.
TEST_F(EngineFaults2, OverwriteAnswerOfAnotherValueLetsTheUploadGoOn)
{
    server.on("STAT", QByteArray("213-Status of /up.bin:\r\n-rw-r--r-- 1 u g 5 Jan 01  2020 up.bin\r\n213 End"));
    ASSERT_TRUE(logIn());
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, "hello"));
    QObject::connect(
        &engine, &FtpCommander::ValidateUploadOverwrite, &engine, [](int &answer, const QString &) { answer = -2; },
        Qt::DirectConnection);
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 5, true);
    ASSERT_TRUE(recorder.waitForJobs(2, 5000));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(server.storedData(), QByteArray("hello"));
}

// The date a resumed download was checked against belongs to that download:
// a later fresh download with abort-on-date-change is not held to it.
TEST_F(EngineFaults2, FreshDownloadIsNotCheckedAgainstAnEarlierResumesDate)
{
    server.setFileData("0123456789");
    ASSERT_TRUE(logIn());
    const QString first = local.filePath(QStringLiteral("first.bin"));
    ASSERT_TRUE(WriteFileBytes(first, "0123"));
    engine.FTP_RES_GET_FILE(QStringLiteral("/first.bin"), first, 10, QStringLiteral("20010101000000"), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());

    int differ = 0;
    QObject::connect(&engine, &FtpCommander::FileDateTimeDiffer, &engine, [&] { ++differ; });
    const QString second = local.filePath(QStringLiteral("second.bin"));
    engine.FTP_GET_FILE(QStringLiteral("/second.bin"), second, 10, true);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(ReadFileBytes(second), QByteArray("0123456789"));
}

// An operation-config file whose reply map jumps to the step the server keeps
// refusing ends the operation instead of looping for ever.
TEST_F(EngineFaults2, ReplyMapJumpsAreCapped)
{
    const QString config = local.filePath(QStringLiteral("ops.cfg"));
    ASSERT_TRUE(WriteFileBytes(config, "<VARS>\nPWD@ 257 550[G6]\n</VARS>\n"));
    ASSERT_TRUE(engine.LoadCustomOpConfig(config));
    server.on("PWD", QByteArray("550 No"));
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/d"));
    ASSERT_TRUE(recorder.waitForJobs(2, 5000));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(sentCount("PWD"), 1 + engine.MaxConnectionTry());
}

// A host that closes the session from the upload or download question gets
// its FtpDisconnect and no JobDone of the operation it ended.
TEST_F(EngineFaults2, SessionClosedFromAFileQuestionRaisesNoJobDone)
{
    server.on("STAT", QByteArray("213-Status of /up.bin:\r\n-rw-r--r-- 1 u g 5 Jan 01  2020 up.bin\r\n213 End"));
    server.setFileData("0123456789");
    ASSERT_TRUE(logIn());
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, "hello"));
    QObject::connect(
        &engine, &FtpCommander::ValidateUploadOverwrite, &engine,
        [&](int &answer, const QString &) {
            engine.CloseSession();
            answer = 0;
        },
        Qt::DirectConnection);
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 5, true);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects == 1; }, 5000));
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_FALSE(engine.isBusy());

    ASSERT_TRUE(logIn());
    QObject::connect(&engine, &FtpCommander::FileDateTimeDiffer, &engine, [&] { engine.CloseSession(); });
    ASSERT_TRUE(WriteFileBytes(source, "0123"));
    engine.FTP_RES_GET_FILE(QStringLiteral("/f.bin"), source, 10, QStringLiteral("20010101000000"), true);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects == 2; }, 5000));
    EXPECT_EQ(recorder.jobDone, 2);
    EXPECT_FALSE(engine.isBusy());
}

// The transfer's preliminary reply that arrives after ABOR went out belongs to
// the transfer: the abort ends the download, not the session.
TEST_F(EngineFaults2, PreliminaryReplyAfterAbortDoesNotCloseTheSession)
{
    server.on("RETR", ScriptedFtpServer::Reply{{"150 Opening data connection\r\n", 100}});
    server.on("ABOR", ScriptedFtpServer::Reply{{"426 Transfer aborted\r\n", 0}, {"226 Abort done\r\n", 5}});
    ASSERT_TRUE(logIn());
    engine.FTP_GET_FILE(QStringLiteral("/slow.bin"), local.filePath(QStringLiteral("slow.bin")), 10, false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("RETR") == 1; }));
    engine.Abort();
    ASSERT_TRUE(recorder.waitForJobs(2, 5000));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_EQ(recorder.disconnects, 0);
    EXPECT_EQ(sentCount("QUIT"), 0);
}

// In a server-to-server copy no byte passes through the engine: a copy that
// takes longer than the data-inactivity time is not ended as stalled.
TEST_F(EngineFaults2, LongServerToServerCopyIsNotTakenForAStall)
{
    server.on("PORT", QByteArray("200 PORT ok"));
    server.on("RETR", ScriptedFtpServer::Reply{{"150 Copying\r\n", 0}, {"226 Copy done\r\n", 300}});
    ASSERT_TRUE(logIn());
    engine.FTP_GetFromOtherServer(QStringLiteral("/big.bin"), 10, QStringLiteral("127.0.0.1"), 4000);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.contains(QStringLiteral("150 Copying")); }));
    timer->advance(600000);
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_TRUE(engine.isBusy());
    ASSERT_TRUE(recorder.waitForJobs(2, 5000));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActGetFromServer);
}

// A file that shrank since the host listed it: the server's SIZE is what a
// fresh download is complete at, not the host's older size.
TEST(EngineFaults2RealServer, FileSmallerThanListedDownloadsWhole)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start());
    const QByteArray content = PatternBytes(1000);
    ASSERT_TRUE(server.writeFile(QStringLiteral("shrunk.bin"), content));
    QTemporaryDir local;
    FtpCommander engine;
    EngineRecorder recorder(engine);
    ASSERT_TRUE(LogIn(engine, recorder, server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser),
                      QString::fromLatin1(PyFtpServer::kPassword)));
    const QString target = local.filePath(QStringLiteral("shrunk.bin"));
    engine.FTP_GET_FILE(QStringLiteral("/shrunk.bin"), target, 1500, false);
    ASSERT_TRUE(recorder.waitForJobs(2, 20000));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(ReadFileBytes(target), content);
    EXPECT_EQ(recorder.sent.filter(QStringLiteral("RETR")).size(), 1);
}

// A host that aborts the upload while it is asked again about overwriting
// ends it there, whatever it answers: the upload does not go on beside ABOR.
TEST_F(EngineFaults2, AbortDuringTheRepeatedOverwriteQuestionEndsTheUpload)
{
    server.on("STAT", QByteArray("213-Status of /up.bin:\r\n-rw-r--r-- 1 u g 5 Jan 01  2020 up.bin\r\n213 End"));
    server.on("ABOR", QByteArray("225 No transfer to abort"));
    ASSERT_TRUE(logIn());
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, "hello"));
    int asked = 0;
    QObject::connect(
        &engine, &FtpCommander::ValidateUploadOverwrite, &engine,
        [&](int &answer, const QString &) {
            if (++asked == 2)
                engine.Abort();
            answer = asked == 1 ? -1 : 1;
        },
        Qt::DirectConnection);
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 5, true);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return asked == 1; }));
    timer->advance(2000);
    ASSERT_TRUE(recorder.waitForJobs(2, 5000));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(sentCount("TYPE"), 0);
    EXPECT_EQ(sentCount("STOR"), 0);
    EXPECT_EQ(recorder.jobDone, 2);
}

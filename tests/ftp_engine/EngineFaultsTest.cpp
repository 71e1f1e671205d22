// Replies and faults a real server does not produce, from the scripted server;
// time-outs through the engine's manual timer.
#include "RefusingPort.h"
#include "ScriptedEngineTest.h"
#include "ScriptedPrompts.h"

#include <gtest/gtest.h>


namespace {

class ScriptedServer : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        engine.setMaxConnectionTry(3);
    }
};

} // namespace

TEST_F(ScriptedServer, RepliesSplitAcrossPacketsAreReadWhole)
{
    server.setGreeting(ScriptedFtpServer::Reply{{"22", 0}, {"0", 5}, {" Ready\r", 5}, {"\n", 5}});
    server.on("USER", ScriptedFtpServer::Reply{{"331", 0}, {" Password", 5}, {" required\r\n", 5}});
    ASSERT_TRUE(logIn());
    EXPECT_TRUE(recorder.replies.contains(QStringLiteral("220 Ready")));
    EXPECT_TRUE(recorder.replies.contains(QStringLiteral("331 Password required")));
    EXPECT_EQ(recorder.replies.filter(QStringLiteral("331")).size(), 1);
    EXPECT_EQ(sentCount("USER"), 1);
}

// A server that is not ready yet says so before its greeting.
TEST_F(ScriptedServer, AGreetingAfterServiceReadyInAWhileLogsIn)
{
    server.setGreeting(ScriptedFtpServer::Reply{{"120 Service ready in 1 minute.\r\n", 0}, {"220 Ready\r\n", 100}});
    ASSERT_TRUE(logIn());
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_EQ(sentCount("USER"), 1);
    EXPECT_EQ(sentCount("QUIT"), 0);
}

namespace {

struct TypedCommand {
    const char *name;
    QByteArray verb;
    QString command;
    QByteArray reply;
};

void PrintTo(const TypedCommand &typed, std::ostream *out) { *out << typed.name; }

class TypedCommands : public ScriptedServer, public ::testing::WithParamInterface<TypedCommand>
{
};

} // namespace

// What the user types follows no reply table: any complete reply answers it,
// the session stays and the next command gets its own reply.
TEST_P(TypedCommands, AnyCompleteReplyAnswersACommandTheUserTyped)
{
    ASSERT_TRUE(logIn());
    server.on(GetParam().verb, GetParam().reply);
    engine.FTP_CUSTOM_COMMAND(GetParam().command, QString(), QStringLiteral("2XX[I]"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    server.on("CWD", QByteArray("250 In /pub."));
    engine.FTP_CHG_DIR(QStringLiteral("/pub"));
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActChangeDir);
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_TRUE(recorder.errorCodes.isEmpty());
    EXPECT_EQ(recorder.disconnects, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TypedCommands,
    ::testing::Values(TypedCommand{"SiteAnswered213", "SITE", QStringLiteral("SITE UTIME 20200101000000 name"), "213 UTIME OK"},
                      TypedCommand{"SiteAnswered200", "SITE", QStringLiteral("SITE CHMOD 644 name"), "200 SITE CHMOD command ok."},
                      TypedCommand{"UnknownVerbAnswered250", "XCRC", QStringLiteral("XCRC name"), "250 4A2B3C1D"},
                      // A verb the engine sends itself, answered with another verb's code.
                      TypedCommand{"KnownVerbAnswered257", "CWD", QStringLiteral("CWD x"), "257 \"/x\" is the current directory."}),
    [](const ::testing::TestParamInfo<TypedCommand> &info) { return std::string(info.param.name); });

TEST_F(ScriptedServer, MultiLineGreetingWithDigitLinesAdvancesOnce)
{
    server.setGreeting(QByteArray("220-Welcome\r\n123 Main Street\r\n331 is not the end\r\n220 Ready"));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(recorder.count(QStringLiteral("ServerReplied:123")), 1);
    EXPECT_EQ(sentCount("USER"), 1);
    EXPECT_EQ(sentCount("PASS"), 1);
}

TEST_F(ScriptedServer, SilentServerCountsAsFailedAttempts)
{
    server.setNoGreeting();
    engine.setMaxConnectionTry(2);
    engine.setCommandTimeout(5);
    engine.setServerUrl(QStringLiteral("FTP://") + server.host());
    engine.setPort(server.port());
    engine.SetStartUpPort(0, 0);
    engine.StartSession();
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.connects == 1; }));
    timer->advance(5000);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.connects == 2; }));
    EXPECT_EQ(recorder.connectionFailed, 0);
    timer->advance(5000);
    EXPECT_EQ(recorder.connectionFailed, 1);
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(recorder.jobDone, 0);
    EXPECT_TRUE(recorder.messages.contains(QStringLiteral("Trying to connect FTP://127.0.0.1 [ 2 of total 2]")));
}

TEST_F(ScriptedServer, ServerClosingWith421EndsTheSession)
{
    server.setGreeting(QByteArray("421 Too many users"));
    EXPECT_FALSE(logIn());
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(sentCount("USER"), 0);

    ScriptedFtpServer second;
    ASSERT_TRUE(second.listen());
    second.on("CWD", QByteArray("421 Shutting down"));
    ASSERT_TRUE(LogIn(engine, recorder, second.host(), second.port(), QStringLiteral("bob"), QStringLiteral("pw")));
    const int jobs = recorder.jobDone;
    engine.FTP_CHG_DIR(QStringLiteral("/x"));
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects == 2; }));
    EXPECT_EQ(recorder.jobDone, jobs);
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_FALSE(engine.isBusy());
}

TEST_F(ScriptedServer, IdlePollsRestartTheIdleTimerAnd421ClosesTheSession)
{
    server.onSequence("NOOP", {"200 ok", "421 Idle too long"});
    ASSERT_TRUE(logIn());
    const int jobs = recorder.jobDone;
    timer->advance(60000);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.last() == QStringLiteral("200 ok"); }));
    EXPECT_EQ(recorder.jobDone, jobs); // idle polls never raise JobDone
    EXPECT_TRUE(timer->isActive());
    timer->advance(60000);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects == 1; }));
    EXPECT_EQ(recorder.jobDone, jobs);
}

TEST_F(ScriptedServer, IdleWarningAfterTheHostClosedSendsNoPoll)
{
    ASSERT_TRUE(logIn());
    engine.setMaxIdealMinutes(0);
    int warnings = 0;
    QObject::connect(&engine, &FtpCommander::WarnIdeal, &engine, [&](int minutes) {
        ++warnings;
        EXPECT_EQ(minutes, 0);
        engine.CloseSession();
    });
    timer->advance(60000);
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(recorder.sent.filter(QStringLiteral("NOOP")).size(), 0);
    EXPECT_EQ(recorder.disconnects, 1);
}

TEST_F(ScriptedServer, RepeatedStepsStopAtTheCap)
{
    server.on("CWD", QByteArray("450 Busy"));
    server.on("DELE", QByteArray("350 Think again"));
    ASSERT_TRUE(logIn());

    engine.FTP_CHG_DIR(QStringLiteral("/x"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("CWD"), 4); // once and three repeats

    // Deleting is not repeated more than once.
    engine.FTP_DEL_FILE(QStringLiteral("/a.txt"));
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("DELE"), 2);
    EXPECT_FALSE(engine.isBusy());
}

TEST_F(ScriptedServer, UnansweredCommandsAreResentThenFail)
{
    server.on("CWD", ScriptedFtpServer::Reply{});
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/x"));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("CWD") == i + 1; }));
        timer->advance(20000);
    }
    // Its replies may still come, one command late each: the session ends
    // with a network error instead of reading them as later commands' replies.
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_EQ(recorder.errorCodes, QList<long>{11});
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("CWD"), 4);

    // A custom command that gets no answer ends the session at its first time-out.
    ASSERT_TRUE(logIn());
    server.on("SITE", ScriptedFtpServer::Reply{});
    engine.FTP_CUSTOM_COMMAND(QStringLiteral("SITE X"), QString(), QStringLiteral("2XX[I]"));
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("SITE X") == 1; }));
    timer->advance(20000);
    EXPECT_EQ(recorder.jobDone, 2);
    EXPECT_EQ(recorder.errorCodes, (QList<long>{11, 11}));
    EXPECT_FALSE(engine.SessionActive());

    // So does the FEAT a walk asks after an empty listing, told as a command left unanswered, not a stalled transfer.
    server.off("SITE");
    ASSERT_TRUE(logIn());
    server.on("FEAT", ScriptedFtpServer::Reply{});
    engine.setListingAllowed(true);
    engine.setCacheFile(local.filePath(QStringLiteral("listing.cache")));
    engine.FTP_LIST_DIR(FtpCommander::EmptyListing::AskWhetherRead);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("FEAT") == 1; }));
    timer->advance(20000);
    EXPECT_EQ(recorder.errorCodes, (QList<long>{11, 11, 11}));
    EXPECT_EQ(recorder.events.filter(QStringLiteral("Error:")).value(2), QStringLiteral("Error:11:No reply to the command.:1"));
    EXPECT_FALSE(engine.SessionActive());
}

TEST_F(ScriptedServer, OversizedReplyLineClosesTheSession)
{
    server.on("USER", QByteArray(9000, '3'));
    EXPECT_FALSE(logIn());
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects == 1; }));
    EXPECT_EQ(recorder.errorCodes, QList<long>{11});
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(engine.CmdStatus(), EngineSocket::Closed);
}

TEST_F(ScriptedServer, CommandsWithLineBreaksAreNeverWritten)
{
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/a\r\nDELE b"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    engine.FTP_CUSTOM_COMMAND(QStringLiteral("SITE a\nDELE b"), QString(), QStringLiteral("2XX[I]"));
    ASSERT_TRUE(recorder.waitForJobs(3));
    QTest::qWait(50);
    EXPECT_EQ(sentCount("DELE"), 0);
    EXPECT_EQ(sentCount("CWD"), 0);
}

TEST(EngineConnection, RefusedAndUnresolvableServersFailAfterAllAttempts)
{
    const RefusingPort refusing; // no other test can take it meanwhile
    const quint16 port = refusing.port();
    ASSERT_NE(port, 0);

    for (const QString &host : {QStringLiteral("127.0.0.1"), QStringLiteral("no-such-host.invalid")}) {
        SCOPED_TRACE(host.toStdString());
        FtpCommander engine;
        EngineRecorder recorder(engine);
        engine.setMaxConnectionTry(2);
        engine.setServerUrl(host);
        engine.setPort(port);
        engine.SetStartUpPort(0, 0);
        engine.StartSession();
        ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.connectionFailed > 0; }, 30000));
        EXPECT_EQ(recorder.connectionFailed, 1);
        EXPECT_EQ(recorder.disconnects, 0);
        EXPECT_FALSE(engine.isBusy());
        EXPECT_EQ(recorder.messages.filter(QStringLiteral("Trying to connect")).size(), 2);
    }
}

TEST(EngineConnection, StartWithoutPortRangeIsRefused)
{
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Invalid configuration!"), PromptButton::Ok);
    FtpCommander engine;
    engine.StartSession();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(engine.isBusy());
}

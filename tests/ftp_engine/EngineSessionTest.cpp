// Sessions against a real server on loopback.
#include "EngineRecorder.h"
#include "FtpCommander.h"
#include "LoginFailedHandler.h"
#include "PropertyBag.h"
#include "PyFtpServer.h"

#include <gtest/gtest.h>

namespace {

class RealServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
    }

    bool logIn(const QString &password = QString::fromLatin1(PyFtpServer::kPassword))
    {
        return LogIn(engine, recorder, server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser), password);
    }

    PyFtpServer server;
    FtpCommander engine;
    EngineRecorder recorder{engine};
};

class FixedAnswer : public LoginFailedHandler
{
public:
    bool askCredentials(FtpCommander &, const QString &server, QString &user, QString &password) override
    {
        ++asked;
        seenServer = server;
        user = QString::fromLatin1(PyFtpServer::kUser);
        password = QString::fromLatin1(PyFtpServer::kPassword);
        return true;
    }
    int asked = 0;
    QString seenServer;
};

} // namespace

TEST_F(RealServer, LogInReportsEveryCommandAndReplyThenJobDone)
{
    ASSERT_TRUE(logIn());
    EXPECT_EQ(engine.LastAct(), 0);
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(engine.CmdStatus(), EngineSocket::Connected);
    EXPECT_EQ(engine.SystemType(), 1);

    // Connected first, then the greeting, then the commands; JobDone last.
    ASSERT_FALSE(recorder.events.isEmpty());
    EXPECT_EQ(recorder.events.first(), QStringLiteral("FtpConnect"));
    EXPECT_TRUE(recorder.events[1].startsWith(QStringLiteral("ServerReplied:220:")));
    EXPECT_EQ(recorder.events[2], QStringLiteral("CommandSent:USER ****"));
    EXPECT_EQ(recorder.events.last(), QStringLiteral("JobDone"));
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_TRUE(recorder.sent.contains(QStringLiteral("PASS ******")));
    EXPECT_EQ(recorder.sent.filter(QStringLiteral("secret")).size(), 0);
    // The transcript keeps what was really sent.
    EXPECT_TRUE(engine.LastCommandSink().contains(QStringLiteral("\r\nUSER user|331||331|")));
    EXPECT_TRUE(engine.LastCommandSink().contains(QStringLiteral("PASS secret|230||230|")));
}

TEST_F(RealServer, RefusedPasswordWithoutAnAnswerClosesTheSession)
{
    int modal = 0;
    QObject::connect(&engine, &FtpCommander::NotifyModal, &engine, [&](bool &isModal) { modal += isModal ? 1 : 10; },
            Qt::DirectConnection);
    EXPECT_FALSE(logIn(QStringLiteral("wrong")));
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects > 0; }));
    EXPECT_EQ(modal, 11);
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_EQ(recorder.jobDone, 0);
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_FALSE(engine.isBusy());
    EXPECT_EQ(engine.LastAct(), -1);
    EXPECT_TRUE(recorder.sent.contains(QStringLiteral("QUIT")));
}

TEST_F(RealServer, RefusedPasswordWithNewCredentialsLogsInAgain)
{
    FixedAnswer answer;
    engine.setLoginFailedHandler(&answer);
    ASSERT_TRUE(logIn(QStringLiteral("wrong")));
    EXPECT_EQ(answer.asked, 1);
    EXPECT_EQ(answer.seenServer, server.host());
    EXPECT_EQ(recorder.sent.count(QStringLiteral("USER ****")), 2);
    EXPECT_EQ(engine.Password(), QStringLiteral("secret"));
    EXPECT_EQ(recorder.jobDone, 1);
}

TEST_F(RealServer, ChangeFolderAndCustomCommands)
{
    ASSERT_TRUE(server.makeFolder(QStringLiteral("sub")));
    ASSERT_TRUE(logIn());

    engine.FTP_CHG_DIR(QStringLiteral("/sub"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), 1);
    EXPECT_EQ(engine.RemotePath(), QStringLiteral("/sub"));
    EXPECT_TRUE(recorder.replies.last().startsWith(QStringLiteral("257 \"/sub\"")));

    engine.FTP_CHG_DIR(QStringLiteral("/missing"));
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
    EXPECT_TRUE(engine.SessionActive());

    engine.FTP_CUSTOM_COMMAND(QStringLiteral("NOOP"), QStringLiteral("Checking.."), QStringLiteral("2XX[I]5XX[I]XXX[I]"));
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActCustom);
    EXPECT_TRUE(recorder.messages.contains(QStringLiteral("Checking..")));

    // A reply outside the rule's success codes ends the command as failed.
    engine.FTP_CUSTOM_COMMAND(QStringLiteral("XYZZ now"), QString(), QStringLiteral("2XX[I]5XX[I]XXX[I]"));
    ASSERT_TRUE(recorder.waitForJobs(5));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());
}

TEST_F(RealServer, CloseSessionQuitsAndDisconnectsOnce)
{
    ASSERT_TRUE(logIn());
    engine.CloseSession();
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_EQ(recorder.sent.last(), QStringLiteral("QUIT"));
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return engine.CmdStatus() == EngineSocket::Closed; }));
    engine.CloseSession();
    EXPECT_EQ(recorder.disconnects, 1);
    // A command after the close is not sent.
    engine.FTP_CHG_DIR(QStringLiteral("/"));
    EXPECT_EQ(recorder.sent.last(), QStringLiteral("QUIT"));
}

TEST(EngineProperties, NewEngineAndSavedPropertySet)
{
    FtpCommander engine;
    EXPECT_EQ(engine.LastAct(), -1);
    EXPECT_EQ(engine.CurrentAct(), -1);
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_EQ(engine.StartupPath(), QStringLiteral("/"));
    EXPECT_EQ(engine.MaxIdealMinutes(), 15);
    EXPECT_EQ(engine.getListData(), QString());

    PropertyBag design;
    design.WriteProperty(QStringLiteral("User"), QStringLiteral("designer"), QStringLiteral("anonymous"));
    design.WriteProperty(QStringLiteral("Port"), 2121, 21);
    engine.ReadProperties(design);
    EXPECT_EQ(engine.User(), QStringLiteral("designer"));
    EXPECT_EQ(engine.Port(), 2121);

    // Values a host sets at run time from a profile never reach the saved set.
    engine.setUser(QStringLiteral("profile-user"));
    engine.setPassword(QStringLiteral("profile-secret"));
    PropertyBag saved;
    engine.WriteProperties(saved);
    EXPECT_EQ(saved.ReadProperty(QStringLiteral("User"), QString()).toString(), QStringLiteral("designer"));
    EXPECT_FALSE(saved.contains(QStringLiteral("Password")));
    EXPECT_EQ(saved.ReadProperty(QStringLiteral("Port"), 0).toInt(), 2121);
    EXPECT_FALSE(saved.contains(QStringLiteral("Mode")));
}

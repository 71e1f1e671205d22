// User commands run from the menu through a real engine against a real server.
#include "CustomCommandRunner.h"
#include "FtpCommander.h"
#include "FtpCommanderCommandTarget.h"
#include "PyFtpServer.h"
#include "ScriptedPrompts.h"
#include "UserCommandList.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class UserCommandServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        QObject::connect(&engine, &FtpCommander::JobDone, &engine, [this] {
            ++jobs;
            runner.JobDone(0, engine.LastCmdSucces(), static_cast<int>(engine.LastAct()));
        });
        QObject::connect(&engine, &FtpCommander::CommandSent, &engine,
                         [this](const QString &, const QString &command) { sent << command; });
        QObject::connect(&runner, &CustomCommandRunner::reloadRequested, &runner, [this](int slot) {
            EXPECT_EQ(slot, 0);
            ++reloads;
        });

        engine.setServerUrl(server.host());
        engine.setPort(server.port());
        engine.setUser(QString::fromLatin1(PyFtpServer::kUser));
        engine.setPassword(QString::fromLatin1(PyFtpServer::kPassword));
        engine.SetStartUpPort(0, 0);
        engine.StartSession();
        ASSERT_TRUE(waitForJob(1));
        ASSERT_TRUE(engine.SessionActive());
    }

    bool waitForJob(int count) { return QTest::qWaitFor([&] { return jobs >= count; }, 30000); }

    void define(const QString &name, const QString &verb, const QString &argument, bool site = false)
    {
        UserCommand command;
        command.Name = name;
        command.CommandText = verb;
        command.Argument = argument;
        command.SuccessCode = QStringLiteral("2XX");
        command.FailureCode = QStringLiteral("5XX");
        command.HasArgument = 1;
        command.FullPath = 1;
        command.Reload = 1;
        command.Site = site ? 1 : 0;
        if (commands.hasCommands())
            commands.append(command);
        else
            commands[0] = command;
    }

    PyFtpServer server;
    FtpCommander engine;
    FtpCommanderCommandTarget target{&engine};
    QTemporaryDir dir;
    UserCommandList commands{dir.filePath(QStringLiteral("UsrCmd.dat"))};
    UserCommandContext context{{}, QStringLiteral("/"), QString::fromLatin1(PyFtpServer::kUser),
                               QString::fromLatin1(PyFtpServer::kPassword)};
    QWidget owner;
    ScriptedPrompts prompts;
    int permissionAnswer = 640;
    CustomCommandRunner runner{commands, &owner,
                               [this] { return CustomCommandRunner::Target{0, &target, context}; },
                               [this](QWidget *, const QString &, const QString &) { return permissionAnswer; }};
    int jobs = 0;
    int reloads = 0;
    QStringList sent;
};

TEST_F(UserCommandServerTest, DeleteByNameIsJudgedByItsReplyRule)
{
    ASSERT_TRUE(server.writeFile(QStringLiteral("x$pwd"), "data"));
    define(QStringLiteral("Remove"), QStringLiteral("DELE"), QStringLiteral("$file"));
    context.selection = {{QStringLiteral("x$pwd"), false, QStringLiteral("-rw-r--r--")}};

    runner.MNU_RMT_CSTCMDITEM_Click(0);
    ASSERT_TRUE(waitForJob(2));
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActCustom);
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_FALSE(server.exists(QStringLiteral("x$pwd")));
    EXPECT_EQ(sent.last(), QStringLiteral("DELE /x$pwd"));
    EXPECT_TRUE(sent.filter(QString::fromLatin1(PyFtpServer::kPassword)).isEmpty());
    EXPECT_EQ(reloads, 1);

    // The file is gone now: 550 is a failure, and nothing is listed again.
    runner.MNU_RMT_CSTCMDITEM_Click(0);
    ASSERT_TRUE(waitForJob(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_EQ(reloads, 1);
}

TEST_F(UserCommandServerTest, SiteCommandWithPermissionChangesTheFileMode)
{
    ASSERT_TRUE(server.writeFile(QStringLiteral("a.txt"), "data"));
    define(QStringLiteral("Permissions"), QStringLiteral("CHMOD"), QStringLiteral("$attrib $file"), true);
    context.selection = {{QStringLiteral("a.txt"), false, QStringLiteral("-rw-r--r--")}};

    runner.MNU_RMT_CSTCMDITEM_Click(0);
    ASSERT_TRUE(waitForJob(2));
    EXPECT_EQ(sent.last(), QStringLiteral("SITE CHMOD 640 /a.txt"));
    EXPECT_TRUE(engine.LastCmdSucces());
    const QFileInfo info(server.rootPath() + QStringLiteral("/a.txt"));
    EXPECT_EQ(info.permissions() & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                    | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                                    | QFile::ExeOther),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

} // namespace

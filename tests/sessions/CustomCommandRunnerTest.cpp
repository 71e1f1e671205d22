// Running user commands from the menu on the focused server slot, and the
// reload request after a successful command.
#include "CustomCommandEngine.h"
#include "CustomCommandRunner.h"
#include "ScriptedPrompts.h"
#include "UserCommandList.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Records what the runner hands to the connection.
class RecordingEngine final : public CustomCommandEngine
{
public:
    bool SessionActive() const override { return active; }
    bool isBusy() const override { return busy; }
    void FTP_CUSTOM_COMMAND(const QString &command, const QString &status, const QString &rule) override
    {
        sent << QStringList{command, status, rule};
    }
    bool active = true;
    bool busy = false;
    QList<QStringList> sent;
};

class CustomCommandRunnerTest : public ::testing::Test
{
protected:
    CustomCommandRunnerTest()
    {
        UserCommand noop;
        noop.Name = QStringLiteral("Keep alive");
        noop.CommandText = QStringLiteral("NOOP");
        noop.SuccessCode = QStringLiteral("200");
        noop.FailureCode = QStringLiteral("5XX");
        noop.Reload = 1;
        commands[0] = noop;
        commands.append(UserCommand{}); // a free slot
        UserCommand ask = noop;
        ask.Name = QStringLiteral("Ask");
        ask.CommandText = QStringLiteral("ECHO");
        ask.Argument = QStringLiteral("$input");
        ask.HasArgument = 1;
        ask.Reload = 0;
        commands.append(ask);
    }

    std::optional<CustomCommandRunner::Target> target()
    {
        if (!hasTarget)
            return std::nullopt;
        return CustomCommandRunner::Target{serverSlot, &engine, context};
    }

    QTemporaryDir dir;
    UserCommandList commands{dir.filePath(QStringLiteral("UsrCmd.dat"))};
    RecordingEngine engine;
    UserCommandContext context;
    int serverSlot = 1;
    bool hasTarget = true;
    QWidget owner;
    ScriptedPrompts prompts;
    CustomCommandRunner runner{commands, &owner, [this] { return target(); }};
};

TEST_F(CustomCommandRunnerTest, NothingIsSentWithoutACommandOrAReadyConnection)
{
    runner.MNU_RMT_CSTCMDITEM_Click(1);  // free slot
    runner.MNU_RMT_CSTCMDITEM_Click(3);  // no such slot
    runner.MNU_RMT_CSTCMDITEM_Click(-1);
    engine.active = false;
    runner.MNU_RMT_CSTCMDITEM_Click(0);
    engine.active = true;
    engine.busy = true;
    runner.MNU_RMT_CSTCMDITEM_Click(0);
    engine.busy = false;
    hasTarget = false;
    runner.MNU_RMT_CSTCMDITEM_Click(0);
    hasTarget = true;
    prompts.expectInput(QStringLiteral("'Ask'"), std::nullopt);
    runner.MNU_RMT_CSTCMDITEM_Click(2);
    EXPECT_TRUE(engine.sent.isEmpty());

    // The connection went busy while the user was typing.
    prompts.onNext([this] { engine.busy = true; }).expectInput(QStringLiteral("'Ask'"), QStringLiteral("x"));
    runner.MNU_RMT_CSTCMDITEM_Click(2);
    EXPECT_TRUE(engine.sent.isEmpty());
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CustomCommandRunnerTest, SuccessfulCommandWithReloadAsksForTheListingOnce)
{
    QSignalSpy reload(&runner, &CustomCommandRunner::reloadRequested);
    runner.MNU_RMT_CSTCMDITEM_Click(0);
    runner.JobDone(1, true, 2);  // some other operation ended first
    EXPECT_EQ(reload.size(), 0);
    runner.JobDone(0, true, 21); // the other server slot
    EXPECT_EQ(reload.size(), 0);
    runner.JobDone(1, true, 21);
    ASSERT_EQ(reload.size(), 1);
    EXPECT_EQ(reload.first().first().toInt(), 1);
    runner.JobDone(1, true, 21);
    EXPECT_EQ(reload.size(), 1);

    // A later success of a command without reload lists nothing.
    prompts.expectInput(QStringLiteral("'Ask'"), QStringLiteral("x"));
    runner.MNU_RMT_CSTCMDITEM_Click(2);
    runner.JobDone(1, true, 21);
    EXPECT_EQ(reload.size(), 1);
}

} // namespace

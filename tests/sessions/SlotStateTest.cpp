// What a server pane says between operations: idle polls and servers that
// stop answering, on the engines' manual clocks.
#include "ServerSlot.h"

#include "EngineTimer.h"
#include "FtpCommander.h"
#include "PathHistory.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ServerSlots.h"
#include "SlotTestSupport.h"

#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct SlotClock : ::testing::Test
{
    PyFtpServer server;
    StubWindow window;
    RemotePane pane{0, window.images};
    RemotePane unused{1, window.images};
    LocalFolderHistory localHistory;
    ManualEngineTimer *timer = new ManualEngineTimer;
    std::unique_ptr<ServerSlots> serverSlots;
    RecordingLog log;

    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        serverSlots = std::make_unique<ServerSlots>(std::array<RemotePane *, 2>{&pane, &unused}, window,
                                                    localHistory, nullptr, nullptr,
                                                    std::array<EngineTimer *, 2>{timer, nullptr});
        slot().setLog(&log);
    }

    ServerSlot &slot() { return *serverSlots->Slot(0); }
    QString state() const { return pane.lblState->text(); }
};

} // namespace

TEST_F(SlotClock, IdlePollsLeaveTheConnectedState)
{
    serverSlots->UseProfile(0, ServerProfile(server), true);
    ASSERT_TRUE(WaitUntil([&] { return slot().SessionActive() && !slot().IsBusy() && state() == "Connected"; }))
        << state().toStdString();
    for (int poll = 1; poll <= 3; ++poll) {
        const int replies = log.lines.size();
        timer->advance(60000);
        ASSERT_TRUE(WaitUntil([&] { return log.lines.size() >= replies + 2; })); // the poll and its reply
        QTest::qWait(20);
        EXPECT_EQ(state(), "Connected") << "poll " << poll;
        EXPECT_TRUE(pane.Progress->isHidden());
    }
    slot().DisConnectFromFTP();
}

TEST_F(SlotClock, AFrozenServerLogsEachTimeOutAndThePaneSaysWhyTheSessionEnded)
{
    ScriptedFtpServer frozen;
    ASSERT_TRUE(frozen.listen());
    frozen.on("PASV", ScriptedFtpServer::Reply{});
    CProfile profile = ServerProfile(server);
    profile.Port = frozen.port();
    serverSlots->UseProfile(0, profile, true);
    const auto pasvSent = [&] {
        int n = 0;
        for (const QByteArray &command : frozen.commands())
            n += command.startsWith("PASV") ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return pasvSent() == 1; }));
    const QString line = "No reply from the server within 20 seconds.";
    for (int sent = 1; slot().IsBusy(); ++sent) {
        ASSERT_TRUE(WaitUntil([&] { return pasvSent() == sent || !slot().IsBusy(); }));
        ASSERT_EQ(log.count(line), sent - 1);
        timer->advance(20000);
        EXPECT_EQ(log.count(line), sent);
        ASSERT_LT(sent, 10);
    }
    EXPECT_EQ(log.count(line), pasvSent());
    EXPECT_EQ(state(), "Not connected: no reply from the server");
}

// A server whose replies answer nothing that was sent: a folder change gets
// "213 6", and the abort's end marker "213 7". At the time-out the log and
// the pane say that the replies did not answer, not that none came.
TEST_F(SlotClock, RepliesThatAnswerNothingSentEndTheSessionSayingSo)
{
    ScriptedFtpServer odd;
    ASSERT_TRUE(odd.listen());
    CProfile profile = ServerProfile(server);
    profile.Port = odd.port();
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return slot().SessionActive() && !slot().IsBusy() && state() == "Connected"; }))
        << state().toStdString();
    odd.on("CWD", QByteArray("213 6"));
    odd.on("ABOR", QByteArray("225 ABOR command successful."));
    odd.on("PWD", QByteArray("213 7"));
    slot().ChangeFolder(QStringLiteral("/pub"));
    ASSERT_TRUE(WaitUntil([&] { return log.lines.contains(QStringLiteral("213 7")); })) << log.lines.join('\n').toStdString();
    timer->advance(20000);
    ASSERT_TRUE(WaitUntil([&] { return !slot().SessionActive(); }));
    EXPECT_EQ(log.count(QStringLiteral("No reply from the server")), 0) << log.lines.join('\n').toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Error 11: The server's replies did not answer the commands sent")), 1)
        << log.lines.join('\n').toStdString();
    EXPECT_EQ(state(), "Not connected");
}

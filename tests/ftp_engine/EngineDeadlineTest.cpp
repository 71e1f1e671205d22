// Servers that drip bytes: a reply's time-out runs from when its command went
// out and partial lines do not extend it; a stalled transfer is timed by data
// bytes only. The engine's clock is the manual timer, advanced per packet as
// the dripping server's pace would advance it.
#include "ScriptedEngineTest.h"

#include <gtest/gtest.h>

namespace {

class DrippingServer : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        engine.setMaxConnectionTry(1);
        engine.setCommandTimeout(20);
        QObject::connect(&engine, &FtpCommander::DataPacket, &engine, [this] { ++packets; });
        QObject::connect(&engine, &FtpCommander::ReplyTimedOut, &engine, [this] { ++timeOuts; });
    }

    // Lets `paceMs` of engine time pass after each packet until `done` holds;
    // the engine time that took, or -1 when the server ran dry first.
    qint64 pace(qint64 paceMs, const std::function<bool()> &done)
    {
        qint64 elapsed = 0;
        for (int seen = packets; !done();) {
            if (!EngineRecorder::waitFor([&] { return packets > seen || done(); }, 5000))
                return -1;
            if (done())
                break;
            seen = packets;
            timer->advance(paceMs);
            elapsed += paceMs;
        }
        return elapsed;
    }

    static ScriptedFtpServer::Reply drip(const QByteArray &first, const QByteArray &piece, int count)
    {
        ScriptedFtpServer::Reply reply{{first, 0}};
        for (int i = 0; i < count; ++i)
            reply.append({piece, 3});
        return reply;
    }

    int packets = 0;
    int timeOuts = 0;
};

} // namespace

TEST_F(DrippingServer, AGreetingThatNeverEndsTimesOutFromTheConnection)
{
    server.setGreeting(drip("2", "2", 80)); // one byte every 0.7 s, never a line end
    engine.setServerUrl(server.host());
    engine.setPort(server.port());
    engine.SetStartUpPort(0, 0);
    engine.StartSession();
    const qint64 took = pace(700, [&] { return recorder.connectionFailed > 0; });
    EXPECT_TRUE(recorder.messages.contains(QStringLiteral("No greeting from the server.")));
    EXPECT_GE(took, 19000);
    EXPECT_LE(took, 21000);
    EXPECT_EQ(timeOuts, 1);
}

TEST_F(DrippingServer, AMultiLineReplyThatNeverEndsIsTimedFromItsCommand)
{
    ASSERT_TRUE(logIn());
    server.on("CWD", drip("250-Still here\r\n", "250-And here\r\n", 40)); // a line every 2 s
    engine.FTP_CHG_DIR(QStringLiteral("/x"));
    const qint64 took = pace(2000, [&] { return timeOuts > 0; });
    EXPECT_GE(took, 18000);
    EXPECT_LE(took, 22000);
    // The step is repeated, as for a silent server.
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return sentCount("CWD") == 2; }));
}

TEST_F(DrippingServer, AStalledTransferIsNotKeptAliveByControlBytes)
{
    ASSERT_TRUE(logIn());
    // The data connection opens and stays silent; the control connection gets a byte a second.
    server.on("RETR", drip("150 Opening data connection.\r\n", "2", 90));
    engine.FTP_GET_FILE(QStringLiteral("/big.bin"), local.filePath(QStringLiteral("big.bin")), 1000, false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("RETR") == 1; }));
    const qint64 took = pace(1000, [&] { return recorder.messages.contains(QStringLiteral("The transfer stalled: no data arrived in time.")); });
    EXPECT_GE(took, 58000);
    EXPECT_LE(took, 63000);
    EXPECT_FALSE(engine.LastCmdSucces());
}

TEST_F(DrippingServer, AFrozenServerGetsOneTimeOutPerRepeatAndTheSessionEnds)
{
    ASSERT_TRUE(logIn());
    engine.setMaxConnectionTry(4);
    server.on("CWD", ScriptedFtpServer::Reply{});
    const int jobs = recorder.jobDone;
    engine.FTP_CHG_DIR(QStringLiteral("/x"));
    for (int i = 1; i <= 5; ++i) {
        ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("CWD") == i; }));
        timer->advance(20000);
        EXPECT_EQ(timeOuts, i);
    }
    EXPECT_EQ(recorder.jobDone, jobs);
    EXPECT_EQ(recorder.errorCodes, QList<long>{11});
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(timeOuts, 5);
    EXPECT_EQ(sentCount("CWD"), 5);
}

// Where an abort's replies end. A transfer broken off with ABOR leaves
// replies in flight that servers give in different numbers and words: the
// session must come out of it in step, so that the next command gets its own
// reply and no file is taken for whole that is not. The scripted server
// answers the abort's end marker (PWD), and NOOP for good measure, as each
// test says. A session found out of step gets back in step the same way.
#include "ScriptedEngineTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTimer>

#include <functional>

namespace {

class Aborts : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        ASSERT_TRUE(logIn());
        server.setFileData(content);
        ASSERT_TRUE(WriteFileBytes(upload(), content));
    }

    QString upload() const { return local.filePath(QStringLiteral("up.bin")); }
    QString download() const { return local.filePath(QStringLiteral("down.bin")); }

    // The end marker of the abort is answered with `chunks`.
    void markerAnswers(const ScriptedFtpServer::Reply &chunks)
    {
        server.on("PWD", chunks);
        server.on("NOOP", chunks);
    }

    // A store the server refuses midway, after it took the data connection.
    void storeRefusedMidway()
    {
        server.on("STOR", ScriptedFtpServer::Reply{
                              {"150 Ok to send data.\r\n", 0},
                              {"552 Requested file action aborted. Exceeded storage allocation.\r\n", 30}});
    }

    // The host starts its next operation from the aborted one's JobDone, as a
    // batch does; how the aborted one ended is kept.
    void thenFromJobDone(std::function<void()> next)
    {
        auto pending = std::make_shared<std::function<void()>>(std::move(next));
        QObject::connect(&engine, &FtpCommander::JobDone, &engine, [this, pending] {
            if (!*pending)
                return;
            abortedSucceeded = engine.LastCmdSucces();
            abortedFailure = engine.LastFailure();
            std::exchange(*pending, {})();
        });
    }

    void getWhole() { engine.FTP_GET_FILE(QStringLiteral("/file.bin"), download(), content.size(), false); }

    // The operation after the abort got its own replies: the file arrived whole.
    void expectNextDownloadWhole(int jobs)
    {
        ASSERT_TRUE(recorder.waitForJobs(jobs)) << recorder.events.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(engine.LastCmdSucces()) << recorder.events.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(ReadFileBytes(download()) == content);
        EXPECT_TRUE(engine.SessionActive());
        EXPECT_TRUE(recorder.errorCodes.isEmpty());
    }

    const QByteArray content = PatternBytes(300000);
    bool abortedSucceeded = true;
    QString abortedFailure;
};

} // namespace

// The server answers ABOR with a plain "200 Command okay." and the marker
// 300 ms later: the 200 is the abort's, not the marker's.
TEST_F(Aborts, APlainTwoHundredToAbortIsNotTakenForTheEndOfTheAbort)
{
    storeRefusedMidway();
    server.on("ABOR", QByteArray("200 Command okay."));
    markerAnswers({{"257 \"/\" is the current directory.\r\n", 300}});
    thenFromJobDone([this] { getWhole(); });
    engine.FTP_SEND_FILE(upload(), QStringLiteral("/up.bin"), content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(abortedSucceeded);
    EXPECT_TRUE(abortedFailure.startsWith(QStringLiteral("552 Requested file action aborted."))) << abortedFailure.toStdString();
    expectNextDownloadWhole(3);
}

// The user stops a download while the server still owes TYPE I's 200: that
// 200 and ABOR's reply come before the marker's.
TEST_F(Aborts, AnAbortWhileTypesReplyIsOwedWaitsForEveryReplyBeforeItsEnd)
{
    server.on("TYPE", ScriptedFtpServer::Reply{{"200 Switching to Binary mode.\r\n", 300}});
    server.on("ABOR", ScriptedFtpServer::Reply{{"225 No transfer to ABOR.\r\n", 100}});
    markerAnswers({{"257 \"/\" is the current directory.\r\n", 100}});
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), download(), content.size(), false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("TYPE") == 1; }));
    thenFromJobDone([this] {
        server.off("TYPE");
        server.off("NOOP");
        getWhole();
    });
    engine.Abort();
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(abortedSucceeded);
    expectNextDownloadWhole(3);
    EXPECT_EQ(sentCount("RETR"), 1);
}

// The user stops a size query while TYPE A's reply is owed: the abort takes
// that reply, so the type is unknown and the next download sets binary again.
TEST_F(Aborts, AnAbortThatTakesATypesReplyLeavesTheTypeToBeSetAgain)
{
    server.on("TYPE", [](const QByteArray &type) {
        return ScriptedFtpServer::Reply{{"200 Type set.\r\n", type.startsWith('A') ? 300 : 0}};
    });
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this](const QByteArray &command) {
        if (command == "TYPE A")
            QTimer::singleShot(0, &engine, [this] { engine.Abort(); });
    });
    thenFromJobDone([this] { getWhole(); });
    engine.FTP_FILE_SIZE(QStringLiteral("/file.bin"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(abortedSucceeded);
    expectNextDownloadWhole(3);
    const QList<QByteArray> sent = server.commands();
    const qsizetype abor = sent.indexOf("ABOR");
    ASSERT_GT(abor, sent.indexOf("TYPE A"));
    EXPECT_TRUE(sent.mid(abor, sent.indexOf("RETR /file.bin") - abor).contains("TYPE I"))
        << sent.join(' ').toStdString();
}

namespace {

class AbortsEither : public Aborts, public ::testing::WithParamInterface<bool>
{
};
using StrayReplyAfterEveryAbort = AbortsEither; // true: idle polls meet the stray replies, false: deletes
using StopInTransfer = AbortsEither;            // true: an upload, false: a download
enum class LateEnd { WhileMdtmIsOwed, AfterTheNextRetr, OnTheNextPassiveConnection };
class LateTransferEnd : public Aborts, public ::testing::WithParamInterface<LateEnd>
{
};

} // namespace

// Each abort leaves a stray 226 that the next command (a delete, not asked
// again, or an idle poll) takes for its own; a few such aborts in a row end
// the session, saying why.
TEST_P(StrayReplyAfterEveryAbort, AFewAbortsThatNeverGetTheSessionInStepEndIt)
{
    server.on("ABOR", QByteArray("225 ABOR command successful."));
    server.on("PWD", [this](const QByteArray &) {
        const QList<QByteArray> sent = server.commands();
        if (sent.size() >= 2 && sent.at(sent.size() - 2) == "ABOR")
            server.sayBeforeNextReply("226 Transfer complete.");
        return ScriptedFtpServer::Reply{{"257 \"/\" is the current directory.\r\n", 0}};
    });
    server.sayBeforeNextReply("226 Transfer complete.");
    if (GetParam()) {
        for (int poll = 1; poll <= 10 && engine.SessionActive(); ++poll) {
            timer->advance(60000);
            ASSERT_TRUE(EngineRecorder::waitFor([&] {
                return !engine.SessionActive() || (sentCount("NOOP") == poll && sentCount("ABOR") == sentCount("PWD"));
            }));
        }
    } else {
        QObject::connect(&engine, &FtpCommander::JobDone, &engine, [this] {
            if (engine.SessionActive() && sentCount("DELE") < 10)
                engine.FTP_DEL_FILE(QStringLiteral("/old.txt"));
        });
        engine.FTP_DEL_FILE(QStringLiteral("/old.txt"));
    }
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return !engine.SessionActive(); }));
    EXPECT_EQ(sentCount("ABOR"), engine.MaxConnectionTry());
    EXPECT_EQ(recorder.events.filter(QStringLiteral("Error:11:The server's replies could not be put in order")).size(), 1)
        << recorder.events.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Senders, StrayReplyAfterEveryAbort, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return std::string(info.param ? "IdlePolls" : "OneDeleteAfterAnother");
});

// The server reads ABOR mid-transfer and loses what came with it: the marker
// goes only once the transfer has ended, so the stop ends at once, in step.
TEST_P(StopInTransfer, AServerThatLosesWhatCameWithAbortAnswersTheMarker)
{
    server.loseWhatComesWithAbortInTransfers();
    server.setStallAfter(64 * 1024);
    if (GetParam())
        engine.FTP_SEND_FILE(upload(), QStringLiteral("/up.bin"), content.size(), false);
    else
        getWhole();
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return server.isFrozen(); }));
    thenFromJobDone([this] { getWhole(); });
    engine.Abort();
    // Whatever the stop sent has reached the server before it reads again.
    const QStringList sent = recorder.sent.mid(recorder.sent.indexOf(QRegularExpression(QStringLiteral("(RETR|STOR) .*"))) + 1);
    ASSERT_TRUE(sent.contains(QStringLiteral("ABOR")));
    const qint64 bytes = sent.join(QStringLiteral("\r\n")).size() + 2; // each command and its CRLF
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return server.unreadControlBytes() == bytes; }));
    server.thaw();
    ASSERT_TRUE(recorder.waitForJobs(2)) << recorder.events.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(abortedSucceeded);
    expectNextDownloadWhole(3);
    EXPECT_EQ(sentCount("ABOR"), 1);
}

INSTANTIATE_TEST_SUITE_P(Transfers, StopInTransfer, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return std::string(info.param ? "Upload" : "Download");
});

// Now and then a poll meets a stray reply, and the abort behind it finds its
// end; the polls between get their own replies. Each time the session was in
// step again: however many such polls a long idle time brings, it stays.
TEST_F(Aborts, AnIdleSessionBackInStepAfterEachStrayReplyStays)
{
    server.on("ABOR", QByteArray("225 ABOR command successful."));
    const int strays = engine.MaxConnectionTry() + 2;
    int polls = 0;
    auto poll = [&] {
        ++polls;
        timer->advance(60000);
        return EngineRecorder::waitFor([&] {
            return !engine.SessionActive()
                   || (sentCount("NOOP") == polls && sentCount("ABOR") == sentCount("PWD")
                       && recorder.replies.filter(QStringLiteral("257 ")).size() == sentCount("PWD"));
        });
    };
    for (int stray = 1; stray <= strays && engine.SessionActive(); ++stray) {
        server.sayBeforeNextReply("226 Transfer complete.");
        ASSERT_TRUE(poll());
        ASSERT_TRUE(poll());
        ASSERT_TRUE(poll());
    }
    EXPECT_TRUE(engine.SessionActive()) << recorder.events.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sentCount("ABOR"), strays);
    EXPECT_TRUE(recorder.errorCodes.isEmpty());
}

// The server answers the abort of a download with one reply and sends the
// transfer's 226 after the marker's reply: while the next operation waits for
// its first reply, or (as pyftpdlib does after a stop in active mode) once
// the next RETR went out, before its 150, the stopped download's bytes sent
// on the next PORT's connection. Nothing of it is taken for the next
// download's.
TEST_P(LateTransferEnd, IsNotTakenForTheNextCommands)
{
    const bool afterNextRetr = GetParam() == LateEnd::AfterTheNextRetr;
    const bool passiveStale = GetParam() == LateEnd::OnTheNextPassiveConnection;
    engine.setMode(afterNextRetr ? 1 : 0); // pyftpdlib's order came in active mode
    server.on("RETR", QByteArray("150 Opening BINARY mode data connection."));
    server.on("ABOR", QByteArray("225 ABOR command successful; data channel closed."));
    if (GetParam() == LateEnd::WhileMdtmIsOwed)
        markerAnswers({{"257 \"/\" is the current directory.\r\n", 0}, {"226 Transfer complete.\r\n", 300}});
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this, afterNextRetr](const QByteArray &command) {
        if (command == "PWD")
            QTimer::singleShot(0, &server, [this] { server.off("PWD"); }); // the late 226 comes once
        if (afterNextRetr && command.startsWith("RETR") && sentCount("RETR") == 2)
            server.sayBeforeNextReply("226 Transfer complete.");
    });
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), download(), content.size(), false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.contains(QStringLiteral("150 Opening BINARY mode data connection.")); }));
    server.off("RETR");
    if (GetParam() == LateEnd::WhileMdtmIsOwed)
        server.on("MDTM", ScriptedFtpServer::Reply{{"213 20090830120000\r\n", 600}});
    if (passiveStale) // the stopped file's bytes, the same size as the next one's, then its end
        server.on("NOOP", ScriptedFtpServer::Reply{{"200 NOOP ok.\r\n", 100}});
    thenFromJobDone([this, afterNextRetr, passiveStale] {
        if (afterNextRetr)
            server.sendOnNextPort(QByteArray(1024 * 1024, 'x'));
        if (passiveStale)
            server.sendOnNextPassive(QByteArray(content.size(), 'x'), "226 Transfer complete.");
        getWhole();
    });
    engine.Abort();
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(abortedSucceeded);
    expectNextDownloadWhole(3); // no time-out: the manual clock stands still
    EXPECT_TRUE(recorder.replies.contains(QStringLiteral("226 Transfer complete.")));
    EXPECT_EQ(sentCount("RETR"), 2);
    EXPECT_EQ(sentCount("ABOR"), 1); // the stop's only
}

std::string LateEndName(const ::testing::TestParamInfo<LateEnd> &info)
{
    static const char *const names[] = {"WhileMdtmIsOwed", "AfterTheNextRetr", "OnTheNextPassiveConnection"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Arrivals, LateTransferEnd,
                         ::testing::Values(LateEnd::WhileMdtmIsOwed, LateEnd::AfterTheNextRetr, LateEnd::OnTheNextPassiveConnection),
                         LateEndName);

// The marker refused after a prompt reply to ABOR is the abort's end: the
// operation ends at once, with the store's own refusal as its reason.
TEST_F(Aborts, ARefusedMarkerEndsTheAbortAndTheTransfersRefusalStaysTheReason)
{
    storeRefusedMidway();
    server.on("ABOR", QByteArray("225 ABOR command successful; data channel closed."));
    markerAnswers({{"502 Command not implemented.\r\n", 0}});
    thenFromJobDone([this] { getWhole(); });
    engine.FTP_SEND_FILE(upload(), QStringLiteral("/up.bin"), content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2)); // no time-out: the manual clock stands still
    EXPECT_FALSE(abortedSucceeded);
    EXPECT_EQ(abortedFailure, QStringLiteral("552 Requested file action aborted. Exceeded storage allocation."));
    expectNextDownloadWhole(3);

    // The same with the transfer's 426 before ABOR's reply.
    server.off("STOR");
    server.on("ABOR", ScriptedFtpServer::Reply{{"426 Transfer aborted.\r\n", 0}, {"226 Abort successful.\r\n", 0}});
    QFile::remove(download());
    server.on("RETR", QByteArray("150 Opening BINARY mode data connection."));
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), download(), content.size(), false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("RETR") == 2; }));
    server.off("RETR");
    abortedSucceeded = true;
    thenFromJobDone([this] { getWhole(); });
    engine.Abort();
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_FALSE(abortedSucceeded);
    expectNextDownloadWhole(5);
}

// A server that answers twice: the second reply reaches PASV, which it cannot
// answer. The session gets back in step through an abort, PASV is asked
// again and the file goes whole.
TEST_F(Aborts, AReplyThatCannotAnswerItsCommandGetsTheSessionBackInStep)
{
    server.on("TYPE", ScriptedFtpServer::Reply{{"200 Switching to Binary mode.\r\n", 0},
                                               {"200 Switching to Binary mode.\r\n", 50}});
    engine.FTP_SEND_FILE(upload(), QStringLiteral("/up.bin"), content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces()) << recorder.events.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(server.storedData() == content);
    EXPECT_TRUE(engine.SessionActive());
    EXPECT_TRUE(recorder.errorCodes.isEmpty());
    EXPECT_EQ(sentCount("ABOR"), 1);
    EXPECT_EQ(sentCount("PASV"), 2);
    EXPECT_EQ(sentCount("STOR"), 1);
}

// A server that answers TYPE twice puts the upload's PASV out of step; the
// user stops the upload while the abort that gets the session back in step
// waits for its marker. The upload ends there: nothing is stored.
TEST_F(Aborts, AStopWhileTheSessionGetsBackInStepEndsTheOperationAtTheMarker)
{
    server.on("TYPE", ScriptedFtpServer::Reply{{"200 Switching to Binary mode.\r\n", 0},
                                               {"200 Switching to Binary mode.\r\n", 50}});
    markerAnswers({{"257 \"/\" is the current directory.\r\n", 300}});
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this](const QByteArray &command) {
        if (command == "ABOR")
            QTimer::singleShot(0, &engine, [this] { engine.Abort(); });
    });
    engine.FTP_SEND_FILE(upload(), QStringLiteral("/up.bin"), content.size(), false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("STOR"), 0);
    EXPECT_TRUE(engine.SessionActive());
}

// A server without ABOR refuses it after the aborted download's own 226: the
// refusal is ABOR's, not the marker's, so the marker's 257 is no answer to
// the command the user types next.
TEST_F(Aborts, ARefusedAbortAfterTheTransfersReplyIsNotTakenForTheEndOfTheAbort)
{
    server.on("RETR", QByteArray("150 Opening BINARY mode data connection."));
    server.on("ABOR", ScriptedFtpServer::Reply{{"226 Transfer complete.\r\n", 0}, {"502 ABOR not implemented.\r\n", 0}});
    markerAnswers({{"257 \"/\" is the current directory.\r\n", 200}});
    server.on("SITE", QByteArray("550 Permission denied."));
    engine.FTP_GET_FILE(QStringLiteral("/file.bin"), download(), content.size(), false);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.contains(QStringLiteral("150 Opening BINARY mode data connection.")); }));
    thenFromJobDone([this] { engine.FTP_CUSTOM_COMMAND(QStringLiteral("SITE CHMOD 644 f"), QString(), QStringLiteral("2XX[I]")); });
    engine.Abort();
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActCustom);
    EXPECT_EQ(recorder.replies.constLast(), QStringLiteral("550 Permission denied."));
    EXPECT_TRUE(engine.SessionActive());
}

// A reply the size check cannot give comes in one packet with the check's
// own reply, and the server refuses the marker. The line read before ABOR
// went out is still the check's: ABOR's 225 and then the refusal end the
// abort, the check is asked again and the file arrives whole.
TEST_F(Aborts, RepliesReadBeforeTheAbortWentOutStillAnswerTheCommandsBeforeIt)
{
    server.onSequence("SIZE", {"226 Transfer complete.\r\n213 300000", "213 300000"});
    server.on("ABOR", QByteArray("225 No transfer to ABOR."));
    markerAnswers({{"500 Unknown command.\r\n", 0}});
    getWhole();
    expectNextDownloadWhole(2);
    EXPECT_EQ(sentCount("ABOR"), 1);
    EXPECT_EQ(sentCount("SIZE"), 2);
}

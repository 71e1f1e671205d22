// A server-to-server copy whose source refuses the file after it was listed:
// the target, told to store, is aborted, and servers answer that abort in
// different ways. The target (slot 0) is a scripted server on a manual clock
// that answers STOR with 150 alone, as servers do while they wait for the
// data; the source (slot 1) a real one.
#include "frmZAVUde.h"

#include "BatchFailures.h"
#include "BatchRunner.h"
#include "DataRoot.h"
#include "EngineTimer.h"
#include "OptionFlags.h"
#include "FtpCommander.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerCopy.h"
#include "ServerCopyTestSupport.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "TestFiles.h"

#include <QAction>
#include <QFile>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct CopyAbort : ::testing::Test
{
    ScriptedFtpServer target;
    PyFtpServer source;
    ManualEngineTimer *clock = new ManualEngineTimer; // the window's engine owns it
    std::unique_ptr<frmZAVUde> window;
    ScriptedPrompts prompts;
    bool sourceConnectionQueued = false; // the target has not taken the source's data connection yet

    void SetUp() override
    {
        ASSERT_TRUE(target.listen());
        HoldOnly(target);
        ASSERT_TRUE(source.start());
        window = DualWindow({clock, nullptr});
    }

    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    // Both logged in; the source lists gone.bin, which is still there when the
    // copy asks its size and deleted before it is sent.
    bool connectWithAVanishedFile()
    {
        if (!source.writeFile(QStringLiteral("gone.bin"), PatternBytes(5000)))
            return false;
        window->Slots()->UseProfile(0, ServerProfile(target), true);
        window->Slots()->UseProfile(1, ServerProfile(source), true);
        QObject::connect(window->Slot(1)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                         [this](const QString &, const QString &command) {
                             if (command.startsWith(QStringLiteral("PORT")))
                                 QFile::remove(source.rootPath() + QStringLiteral("/gone.bin"));
                         });
        return waitFor([&] {
            return window->Slot(0)->SessionActive() && !window->Slot(0)->IsBusy() && window->Slot(1)->SessionActive()
                && !window->Slot(1)->IsBusy() && window->Remote(1)->Model->size() > 0;
        });
    }

    bool startCopy()
    {
        window->Remote(1)->RightView->selectAll();
        return window->Runner()->Copy().CmdToFTP_Click(1);
    }

    bool targetFree()
    {
        return waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }, 10000);
    }

    // The one message names the file and the source's refusal.
    void expectToldWhy()
    {
        ASSERT_EQ(prompts.messageTexts().size(), 1) << prompts.messageTexts().join("|").toStdString();
        const QString text = prompts.messageTexts().constFirst();
        EXPECT_TRUE(text.contains(QStringLiteral("\"/gone.bin\" was not copied"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Source server: 550"))) << text.toStdString();
    }

    // The copy fails at the source; the target answers its ABOR with `answer`,
    // and the PWD behind it as a server does or not at all.
    void copyAVanishedFile(const ScriptedFtpServer::Reply &answer, bool markerAnswered = true)
    {
        target.on("STOR", QByteArray("150 Ok to send data."));
        target.on("ABOR", answer);
        ASSERT_TRUE(connectWithAVanishedFile());
        if (!markerAnswered)
            target.on("PWD", ScriptedFtpServer::Reply{});
        prompts.expectMessage(QStringLiteral("\"/gone.bin\" was not copied"), PromptButton::Ok);
        if (sourceConnectionQueued)
            target.leaveNextPassiveConnectionsQueued();
        ASSERT_TRUE(startCopy());
    }

    // One ABOR went out, and nothing but the PWD that marks the end of its
    // replies behind it (that one once the server answered).
    void expectOneAbort()
    {
        EXPECT_EQ(target.commandCount("ABOR"), 1);
        const QList<QByteArray> commands = target.commands();
        EXPECT_EQ(commands.value(commands.indexOf("ABOR") + 1, "PWD"), QByteArray("PWD"));
    }

    // The copy ended told, the target's session kept after one ABOR and in step.
    void expectFreeAfterOneAbort()
    {
        ASSERT_TRUE(targetFree());
        EXPECT_TRUE(window->Slot(0)->SessionActive());
        expectToldWhy();
        expectOneAbort();
        expectNextCommandAnswered();
    }

    // The session is in step: the next command gets its own reply.
    void expectNextCommandAnswered()
    {
        target.off("STOR");
        const int lists = target.commandCount("LIST");
        window->Slot(0)->RefreshListing();
        ASSERT_TRUE(waitFor([&] { return target.commandCount("LIST") > lists && !window->Slot(0)->IsBusy(); }));
        EXPECT_TRUE(window->Slot(0)->SessionActive());
    }
};

// pyftpdlib's one reply stands for the transfer and the abort together.
TEST_F(CopyAbort, ATargetAnsweringAbortOnceIsFreeAgain)
{
    copyAVanishedFile({{"225 ABOR command successful; data channel closed.\r\n", 0}});
    expectFreeAfterOneAbort();
}

TEST_F(CopyAbort, ATargetAnsweringTheTransferAndTheAbortIsFreeAgain)
{
    copyAVanishedFile({{"426 Transfer aborted.\r\n", 0}, {"226 Abort successful.\r\n", 20}});
    expectFreeAfterOneAbort();
}

// The source's data connection still waits in the target's queue when the
// copy fails: the empty connection meant to end the store queues behind it,
// and the store, never ended by it, gets ABOR after a short wait.
TEST_F(CopyAbort, ATargetThatHasNotTakenTheSourcesConnectionYetIsAbortedAndFreeAgain)
{
    sourceConnectionQueued = true;
    copyAVanishedFile({{"426 Transfer aborted.\r\n", 0}, {"226 Abort successful.\r\n", 20}});
    expectFreeAfterOneAbort();
}

// pure-ftpd answers nothing: after one reply time-out the target's session
// ends, and ABOR is not sent again.
TEST_F(CopyAbort, ATargetAnsweringNothingEndsItsSessionAfterOneTimeOut)
{
    copyAVanishedFile({}, false); // a server held in its transfer reads nothing
    ASSERT_TRUE(waitFor([&] { return target.commandCount("ABOR") == 1; }));
    EXPECT_TRUE(window->Slot(0)->IsBusy());
    long error = 0;
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::Error, window.get(),
                     [&](long code, const QString &, bool) { error = code; });
    clock->advance(window->Slot(0)->FtpCmd()->CommandTimeout() * 1000 + 2000);
    ASSERT_TRUE(targetFree());
    EXPECT_FALSE(window->Slot(0)->SessionActive());
    EXPECT_EQ(error, 11);
    expectToldWhy();
    expectOneAbort();
}

// The target's connection ends while it waits for the data, or while the
// source still sends it: the copy ends naming the file and saying once
// whether the connection was lost or the user disconnected it.
TEST_F(CopyAbort, ACopyWhoseTargetSessionEndsSaysWhetherTheConnectionWasLostOrTheUserEndedIt)
{
    ASSERT_TRUE(source.writeFile(QStringLiteral("kept.bin"), PatternBytes(5000)));
    ASSERT_TRUE(connectWithAVanishedFile());
    target.on("STOR", ScriptedFtpServer::Reply{{"150 Ok to send data.\r\n", 0}});
    const auto disconnect = [this] { window->findChild<QAction *>("mnuDisconnect0")->trigger(); };
    const struct {
        const char *how;
        std::function<void()> end;
        QString said;
        qint64 size = 5000; // a larger file keeps the source sending to a target that stops reading
    } cases[] = {
        {"dropped", [this] { target.closeControl(); }, BatchFailures::kLostText},
        {"disconnected", disconnect, BatchFailures::kDisconnectedText},
        {"disconnected while the source sends", disconnect, BatchFailures::kDisconnectedText, 32 << 20},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_TRUE(source.writeFile(QStringLiteral("kept.bin"), PatternBytes(c.size)));
        if (c.size > 5000)
            target.setStallAfter(64 * 1024);
        const QMetaObject::Connection ending =
            QObject::connect(&target, &ScriptedFtpServer::commandReceived, &target, [&c, this](const QByteArray &line) {
                if (line.startsWith("STOR"))
                    QTimer::singleShot(50, &target, c.end);
            });
        if (!window->Slot(0)->SessionActive()) {
            window->Slots()->UseProfile(0, ServerProfile(target), true);
            ASSERT_TRUE(waitFor([&] { return window->Slot(0)->SessionActive() && !window->Slot(0)->IsBusy(); }));
        }
        const qsizetype told = prompts.messageTexts().size();
        prompts.expectMessage(c.said, PromptButton::Ok);
        RemotePane *pane = window->Remote(1);
        for (int r = 0; r < pane->Model->size(); ++r)
            if (pane->Model->row(r).Text == QStringLiteral("kept.bin"))
                pane->RightView->selectionModel()->select(pane->Model->index(r, 0),
                                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(1));
        ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && prompts.messageTexts().size() > told; }));
        QObject::disconnect(ending);
        ASSERT_EQ(prompts.messageTexts().size(), told + 1);
        const QString text = prompts.messageTexts().constLast();
        EXPECT_FALSE(text.contains(BatchRunner::kTerminatedText)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\"/kept.bin\" was not copied"))) << text.toStdString();
        EXPECT_EQ(text.count(c.said), 1) << text.toStdString();
        EXPECT_TRUE(prompts.allUsed());
        if (target.isFrozen())
            target.thaw();
    }
}

// How a copy's source answers the abort of its RETR.
struct SourceAbortAnswer {
    const char *name;
    QByteArray afterNextCommand; // ABOR's reply, said only before the next command's (none: never)
    bool markerAnswered;
};

const SourceAbortAnswer kSourceAbortAnswers[] = {
    {"AbortAnsweredAfterTheNextCommand", "225 ABOR command successful.", true},
    {"AbortNeverAnswered", {}, true},
    {"NothingAnswered", {}, false},
};

struct CopySourceAbort : ::testing::TestWithParam<SourceAbortAnswer>
{
};

// The target refuses the copy after its 150 while the source (on a manual
// clock) runs its RETR; the source is aborted. A source that answers the
// abort late, or only its end marker, keeps its session and sends the next
// copy whole; one that answers nothing has its session ended, and the
// copy's message and error.log say which server and why.
TEST_P(CopySourceAbort, TheNextCopyIsWholeOrTheMessageSaysWhichSessionEnded)
{
    const SourceAbortAnswer &answer = GetParam();
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    ScriptedFtpServer source;
    ScriptedFtpServer target;
    ScriptedPrompts prompts;
    auto *clock = new ManualEngineTimer; // the source's engine owns it
    ASSERT_TRUE(source.listen() && target.listen());
    ServeOneFile(source);
    HoldOnly(target);
    target.on("STOR", ScriptedFtpServer::Reply{{"150 Ok to send data.\r\n", 0}});
    source.on("RETR", ScriptedFtpServer::Reply{{"150 Opening BINARY mode data connection.\r\n", 0}});
    source.on("ABOR", [&](const QByteArray &) {
        source.sayBeforeNextReply(answer.afterNextCommand);
        return ScriptedFtpServer::Reply{};
    });
    QObject::connect(&source, &ScriptedFtpServer::commandReceived, &source, [&](const QByteArray &command) {
        if (command.startsWith("RETR") && source.commandCount("RETR") == 1)
            target.say("552 Quota exceeded.");
    });
    std::unique_ptr<frmZAVUde> window = DualWindow({clock, nullptr});
    ASSERT_TRUE(ConnectSourceAndTarget(*window, ServerProfile(source), ServerProfile(target)));
    if (!answer.markerAnswered)
        source.on("PWD", ScriptedFtpServer::Reply{});
    QFile::remove(DataRoot::FileInRoot(QStringLiteral("error.log")));
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.commandCount("ABOR") == 1; }));
    FtpCommander *engine = window->Slot(0)->FtpCmd();
    clock->advance(answer.markerAnswered ? 2000 : engine->CommandTimeout() * 1000 + 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }, 10000));
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    const QString text = prompts.messageTexts().constFirst();
    EXPECT_TRUE(text.contains(QStringLiteral("Target server: 552 Quota exceeded."))) << text.toStdString();
    if (!answer.markerAnswered) {
        const QString why = QStringLiteral("Source server: The server did not answer the abort request");
        EXPECT_TRUE(text.contains(why)) << text.toStdString();
        EXPECT_TRUE(ReadFileBytes(DataRoot::FileInRoot(QStringLiteral("error.log")))
                        .contains("The server did not answer the abort request"));
        EXPECT_FALSE(window->Slot(0)->SessionActive());
        return;
    }
    EXPECT_FALSE(text.contains(QStringLiteral("Source server"))) << text.toStdString();
    // The next copy, with both servers as they usually are.
    for (const char *verb : {"RETR", "ABOR"})
        source.off(verb);
    target.off("STOR");
    ASSERT_TRUE(QTest::qWaitFor([&] { return SlotReady(*window, 0) && SlotReady(*window, 1); }));
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && SlotReady(*window, 1); }, 10000));
    EXPECT_TRUE(target.storedData() == PatternBytes(5000));
    EXPECT_EQ(prompts.messageTexts().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Orders, CopySourceAbort, ::testing::ValuesIn(kSourceAbortAnswers),
                         [](const ::testing::TestParamInfo<SourceAbortAnswer> &info) {
                             return std::string(info.param.name);
                         });

} // namespace

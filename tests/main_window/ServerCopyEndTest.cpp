// When a server-to-server copy is done: only once the source said it sent the
// whole file and the target said it stored it, whichever says so first, and
// the target holds as many bytes as the source said the file has. The source
// (slot 0) is a scripted server that holds back its transfer's final reply
// until the test lets it go; the target (slot 1) is real.
#include "frmZAVUde.h"

#include "BatchFailures.h"
#include "BatchRunner.h"
#include "DelayingRelay.h"
#include "FtpCommander.h"
#include "OptionFlags.h"
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

#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

struct CopyEnd : ::testing::Test
{
    ScriptedFtpServer source;
    PyFtpServer target;
    std::unique_ptr<frmZAVUde> window;
    ScriptedPrompts prompts;
    QList<bool> ended;       // what each copyEnded said
    QStringList targetSent;  // the commands the target's connection sent
    bool storing = false;    // the target's STOR went out
    bool targetSaidDone = false; // and its server said the file was stored
    int targetListings = 0;

    void SetUp() override
    {
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        ASSERT_TRUE(source.listen());
        ASSERT_TRUE(target.start());
        ServeOneFile(source);
        window = DualWindow();
    }

    bool ready(int slot) { return SlotReady(*window, slot); }

    bool connectBoth()
    {
        if (!ConnectSourceAndTarget(*window, ServerProfile(source), ServerProfile(target)))
            return false;
        FtpCommander *engine = window->Slot(1)->FtpCmd();
        QObject::connect(engine, &FtpCommander::CommandSent, window.get(), [this](const QString &, const QString &command) {
            targetSent << command;
            storing = storing || command.startsWith(QStringLiteral("STOR"));
        });
        QObject::connect(engine, &FtpCommander::ServerReplied, window.get(), [this](const QString &code, const QString &) {
            targetSaidDone = targetSaidDone || (storing && code == QLatin1String("226"));
        });
        QObject::connect(window->Slot(1), &ServerSlot::remoteFolderListed, window.get(), [this] { ++targetListings; });
        QObject::connect(&window->Runner()->Copy(), &ServerCopy::copyEnded, window.get(),
                         [this](bool success) { ended << success; });
        return true;
    }

    bool copy()
    {
        targetSent.clear();
        storing = targetSaidDone = false;
        targetListings = 0;
        window->Remote(0)->RightView->selectAll();
        return window->Runner()->Copy().CmdToFTP_Click(0);
    }

    // The target has stored what came and said so; the source's end is held back.
    bool targetEndedFirst()
    {
        return waitFor([&] { return targetSaidDone && !window->Slot(1)->IsBusy() && source.finalReplyHeld(); });
    }

    bool endedAndTargetListed()
    {
        return waitFor([&] { return !window->Runner()->Running() && targetListings > 0 && ready(1); });
    }

    QString onlyMessage() const
    {
        const QStringList texts = prompts.messageTexts();
        EXPECT_EQ(texts.size(), 1) << texts.join("|").toStdString();
        return texts.isEmpty() ? QString() : texts.constLast();
    }
};

// The source's read fails partway: it has sent 2000 bytes and closed the data
// connection, the target said 226, and only then does the source say 451.
TEST_F(CopyEnd, ASourceFailingAfterTheTargetStoredFailsTheCopyAndTheTargetIsListedAfresh)
{
    source.setFileData(PatternBytes(2000));
    source.on("SIZE", "213 5000");
    ASSERT_TRUE(connectBoth());
    source.setTransferDoneReply("451 Transfer aborted: read error on the file.");
    source.holdFinalReply();
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied to \"/f.bin\""), PromptButton::Ok);
    ASSERT_TRUE(copy());
    ASSERT_TRUE(targetEndedFirst());
    EXPECT_TRUE(window->Runner()->Running());
    EXPECT_TRUE(ended.isEmpty());

    source.releaseFinalReply();
    ASSERT_TRUE(endedAndTargetListed());
    EXPECT_EQ(ended, QList<bool>{false});
    const QString text = onlyMessage();
    EXPECT_TRUE(text.contains(QStringLiteral("Source server: 451 Transfer aborted: read error on the file.")))
        << text.toStdString();
    // What the target holds is left there and shown.
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(2000));
    EXPECT_GE(window->Remote(1)->Model->findText(QStringLiteral("f.bin")), 0);
    EXPECT_TRUE(targetSent.filter(QStringLiteral("DELE")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_TRUE(window->Slot(0)->SessionActive());
    EXPECT_TRUE(window->Slot(1)->SessionActive());
}

// Both servers say the transfer went well, but the target holds less than the
// source's SIZE said: the copy fails, and the short file is shown.
TEST_F(CopyEnd, ATargetHoldingLessThanTheSourceSaidFailsTheCopy)
{
    source.setFileData(PatternBytes(2000));
    source.on("SIZE", "213 5000");
    ASSERT_TRUE(connectBoth());
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copy());
    ASSERT_TRUE(endedAndTargetListed());
    EXPECT_EQ(ended, QList<bool>{false});
    const QString text = onlyMessage();
    EXPECT_TRUE(text.contains(QStringLiteral("Target server: The server holds 2000 of the file's 5000 bytes.")))
        << text.toStdString();
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")).size(), 2000);
    EXPECT_GE(window->Remote(1)->Model->findText(QStringLiteral("f.bin")), 0);

    // The whole file: the target's size is asked and agrees.
    source.setFileData(PatternBytes(5000));
    ASSERT_TRUE(copy());
    ASSERT_TRUE(endedAndTargetListed());
    EXPECT_EQ(ended, (QList<bool>{false, true}));
    EXPECT_EQ(targetSent.filter(QStringLiteral("SIZE /ftpqor-copy-")).size(), 2) << targetSent.join("|").toStdString();
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(5000));

    // A source that cannot say the size: both ends' word stands, unchecked.
    source.on("SIZE", "502 Command not implemented.");
    ASSERT_TRUE(copy());
    ASSERT_TRUE(endedAndTargetListed());
    EXPECT_EQ(ended, (QList<bool>{false, true, true}));
    // (only whether the temporary name is free)
    EXPECT_EQ(targetSent.filter(QStringLiteral("SIZE")).size(), 1) << targetSent.join("|").toStdString();
    EXPECT_EQ(prompts.messageTexts().size(), 1);
}

// The source's connection drops after the target said it stored the file:
// the source never said it sent it all.
TEST_F(CopyEnd, ASourceLostAfterTheTargetStoredFailsTheCopy)
{
    ASSERT_TRUE(connectBoth());
    source.holdFinalReply();
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    ASSERT_TRUE(copy());
    ASSERT_TRUE(targetEndedFirst());
    source.closeControl();
    ASSERT_TRUE(endedAndTargetListed());
    EXPECT_EQ(ended, QList<bool>{false});
    const QString text = onlyMessage();
    EXPECT_TRUE(text.contains(QStringLiteral("(source server)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\"/f.bin\" was not copied"))) << text.toStdString();
    EXPECT_TRUE(window->Slot(1)->SessionActive());
}

// The window closes between the target's end and the source's: the copy
// ends, the target's file stays, and the user is told what it holds.
TEST_F(CopyEnd, AWindowClosedBetweenTheTwoEndsNamesWhatTheTargetKeeps)
{
    ASSERT_TRUE(connectBoth());
    source.holdFinalReply();
    ASSERT_TRUE(copy());
    ASSERT_TRUE(targetEndedFirst());
    const qsizetype sentBefore = targetSent.size();
    prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("was stopped"), PromptButton::Ok);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->Runner()->Running());
    EXPECT_EQ(ended, QList<bool>{false});
    ASSERT_EQ(prompts.messageTexts().size(), 2);
    EXPECT_EQ(prompts.messageTexts().constLast().toStdString(),
              "The copy of \"/f.bin\" to \"/f.bin\" was stopped.\n\nThe target server keeps \"/f.bin\" with 5000 of the "
              "file's 5000 bytes.");
    const QStringList after = targetSent.mid(sentBefore);
    EXPECT_TRUE(after.filter(QStringLiteral("DELE")).isEmpty()) << after.join("|").toStdString();
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(5000));
}

// Both servers are scripted; the target holds back its final reply, so the
// source's 226 comes first.
struct CopyEndOrder : ::testing::Test
{
    ScriptedFtpServer source;
    ScriptedFtpServer target;
    std::unique_ptr<frmZAVUde> window;
    ScriptedPrompts prompts;
    QList<bool> ended;

    void SetUp() override
    {
        ASSERT_TRUE(source.listen());
        ASSERT_TRUE(target.listen());
        ServeOneFile(source);
        HoldOnly(target);
        window = DualWindow();
        window->Slots()->UseProfile(0, ServerProfile(source), true);
        window->Slots()->UseProfile(1, ServerProfile(target), true);
        ASSERT_TRUE(waitFor([&] { return idle(0) && idle(1) && window->Remote(0)->Model->size() > 0; }));
        QObject::connect(&window->Runner()->Copy(), &ServerCopy::copyEnded, window.get(),
                         [this](bool success) { ended << success; });
    }

    bool idle(int slot) { return window->Slot(slot)->SessionActive() && !window->Slot(slot)->IsBusy(); }

    // Copies f.bin; the target's end is held back until the source has ended.
    bool sourceEndedFirst()
    {
        const int sent = source.commandCount("RETR");
        target.holdFinalReply();
        window->Remote(0)->RightView->selectAll();
        return window->Runner()->Copy().CmdToFTP_Click(0)
            && waitFor([&] { return target.finalReplyHeld() && idle(0) && source.commandCount("RETR") > sent; });
    }
};

TEST_F(CopyEndOrder, TheTargetsEndDecidesAfterTheSourcesSuccess)
{
    // The target's data connection was cut: its STOR is not sent again, the
    // source's connection to it being gone.
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    target.setTransferDoneReply("426 Connection closed; transfer aborted.");
    ASSERT_TRUE(sourceEndedFirst());
    EXPECT_TRUE(window->Runner()->Running());
    EXPECT_TRUE(ended.isEmpty());
    const int listings = target.commandCount("LIST");
    target.releaseFinalReply();
    target.setTransferDoneReply("226 Transfer complete.");
    // Over, and the target listed afresh.
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && target.commandCount("LIST") > listings && idle(1); }));
    EXPECT_EQ(ended, QList<bool>{false});
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains(QStringLiteral("Target server: 426 Connection closed; transfer aborted.")))
        << prompts.messageTexts().constFirst().toStdString();

    EXPECT_EQ(target.commandCount("STOR"), 1);

    // The target stores it: done, once the stored size was confirmed.
    const int sized = target.commandCount("SIZE /f.bin");
    ASSERT_TRUE(sourceEndedFirst());
    EXPECT_TRUE(window->Runner()->Running());
    target.releaseFinalReply();
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && idle(1); }));
    EXPECT_EQ(ended, (QList<bool>{false, true}));
    EXPECT_EQ(target.commandCount("SIZE /f.bin"), sized + 2); // whether it held the file, and what it holds after
    EXPECT_EQ(target.commandCount("RNTO /f.bin"), 1);         // the copy put over it once whole
    EXPECT_EQ(target.storedData(), PatternBytes(5000));
    EXPECT_EQ(prompts.messageTexts().size(), 1);
}

// After the store the target is asked the file's size: only the source's
// size, or SIZE not understood (where nobody can tell), make the copy done; a
// target that says it holds no such file, or another size, fails it.
TEST_F(CopyEndOrder, OnlyTheSourcesSizeOrSizeNotUnderstoodMakeAStoredCopyDone)
{
    struct Case {
        QByteArray reply;
        bool done;
    };
    for (const Case &c : {Case{"550 No such file.", false}, Case{"213 4999", false},
                          Case{"502 Command not implemented.", true}, Case{"213 5000", true}}) {
        SCOPED_TRACE(c.reply.toStdString());
        const int stores = target.commandCount("STOR");
        target.on("SIZE", [this, c, stores](const QByteArray &) {
            const QByteArray reply = target.commandCount("STOR") > stores ? c.reply : QByteArray("550 No such file.");
            return ScriptedFtpServer::Reply{{reply + "\r\n", 0}};
        });
        if (!c.done)
            prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
        const qsizetype told = prompts.messageTexts().size();
        const qsizetype copies = ended.size();
        window->Remote(0)->RightView->selectAll();
        ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
        ASSERT_TRUE(waitFor([&] { return ended.size() > copies && !window->Runner()->Running() && idle(1); }));
        EXPECT_EQ(ended.constLast(), c.done);
        EXPECT_EQ(target.storedData(), PatternBytes(5000));
        ASSERT_EQ(prompts.messageTexts().size(), told + (c.done ? 0 : 1));
        if (!c.done) {
            EXPECT_TRUE(prompts.messageTexts().constLast().contains(QStringLiteral("Target server: ")))
                << prompts.messageTexts().constLast().toStdString();
        }
    }
    EXPECT_TRUE(prompts.allUsed());
}

// The target's control link is slow (40 ms each way), the link between the
// servers fast: the source is started only once the target's STOR has had
// time to arrive, so the target takes the source's data connection as its
// store's, and the file arrives whole whether it is new, replaces a file, or
// is stored onto a file the folder keeps (no new files there).
struct FarTarget
{
    const char *name;
    bool held;      // the target holds f.bin already
    bool refuseNew; // and its folder takes no new file: the user says Yes to storing onto it
};

struct CopyToAFarTarget : ::testing::TestWithParam<FarTarget>
{
};

TEST_P(CopyToAFarTarget, TheFileArrivesWhole)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    PyFtpServer source;
    PyFtpServer target;
    ScriptedPrompts prompts;
    ASSERT_TRUE(source.writeFile(QStringLiteral("f.bin"), PatternBytes(5000)));
    ASSERT_TRUE(GetParam().held ? target.writeFile(QStringLiteral("drop/f.bin"), QByteArray(6000, 'h'))
                                : target.makeFolder(QStringLiteral("drop")));
    if (GetParam().refuseNew)
        target.refuseNewFilesIn(QStringLiteral("drop"));
    ASSERT_TRUE(source.start() && target.start());
    DelayingRelay relay(40);
    ASSERT_TRUE(relay.listen(target.port()));
    auto window = DualWindow();
    const CProfile far = ServerProfile(relay.host(), relay.port(), QString::fromLatin1(PyFtpServer::kUser),
                                       QString::fromLatin1(PyFtpServer::kPassword), QStringLiteral("Far"));
    ASSERT_TRUE(ConnectToTargetFolder(*window, ServerProfile(source), far, QStringLiteral("/drop"), GetParam().held));
    QList<bool> ended;
    QObject::connect(&window->Runner()->Copy(), &ServerCopy::copyEnded, window.get(), [&](bool done) { ended << done; });
    if (GetParam().refuseNew)
        prompts.expectMessage(QStringLiteral("Store the copy directly onto \"/drop/f.bin\"?"), PromptButton::Yes);
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(waitFor([&] { return !ended.isEmpty() && !window->Runner()->Running(); }));
    EXPECT_EQ(ended, QList<bool>{true}) << prompts.messageTexts().join("|").toStdString();
    EXPECT_EQ(target.readFile(QStringLiteral("drop/f.bin")), PatternBytes(5000));
    EXPECT_EQ(QDir(target.rootPath() + QStringLiteral("/drop")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("f.bin")});
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), GetParam().refuseNew ? 1U : 0U) << prompts.messageTexts().join("|").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Far, CopyToAFarTarget,
                         ::testing::Values(FarTarget{"NewFile", false, false}, FarTarget{"HeldFile", true, false},
                                           FarTarget{"StoredOntoTheHeldFile", true, true}),
                         [](const ::testing::TestParamInfo<FarTarget> &info) { return std::string(info.param.name); });

} // namespace

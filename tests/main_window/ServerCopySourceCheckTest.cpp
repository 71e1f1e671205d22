// A server-to-server copy whose source cannot send the file: the target must
// keep what it held, keep no empty file it did not hold, show what it holds
// now, and both sessions must stay usable. Both servers are real; the source
// (slot 0) runs on a manual clock.
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "EngineTimer.h"
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
#include "WhenModal.h"
#include "frmOverwrite.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct CopyCheck : ::testing::Test
{
    PyFtpServer source;
    PyFtpServer target;
    ManualEngineTimer *clock = new ManualEngineTimer; // the window's engine owns it
    std::unique_ptr<frmZAVUde> window;
    ScriptedPrompts prompts;
    QStringList targetSent; // the commands the target's connection sent
    int targetListings = 0;

    void SetUp() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }

    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    // Both servers up and logged in, the source showing `folder`.
    bool connectBoth(const QString &folder = QStringLiteral("/"))
    {
        if (!source.start() || !target.start())
            return false;
        window = DualWindow({clock, nullptr});
        window->Slots()->UseProfile(0, ServerProfile(source), true);
        window->Slots()->UseProfile(1, ServerProfile(target), true);
        if (!waitFor([&] { return ready(0) && ready(1); }))
            return false;
        if (folder != QLatin1String("/")) {
            window->Slot(0)->ChangeFolder(folder);
            if (!waitFor([&] { return ready(0) && window->Slot(0)->SlotRemotePath() == folder; }))
                return false;
        }
        QObject::connect(window->Slot(1)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                         [this](const QString &, const QString &command) { targetSent << command; });
        QObject::connect(window->Slot(1), &ServerSlot::remoteFolderListed, window.get(), [this] { ++targetListings; });
        return waitFor([&] { return window->Remote(0)->Model->size() > 0; });
    }

    bool ready(int slot) { return SlotReady(*window, slot); }

    // Copies the source's file `name` to the target.
    bool copy(const QString &name)
    {
        RemotePane *pane = window->Remote(0);
        const int row = pane->Model->findText(name);
        if (row < 0)
            return false;
        pane->RightView->selectionModel()->select(pane->Model->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        targetSent.clear();
        targetListings = 0;
        return window->Runner()->Copy().CmdToFTP_Click(0);
    }

    bool bothFree()
    {
        return waitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); });
    }

    QString lastMessage() const
    {
        return prompts.messageTexts().isEmpty() ? QString() : prompts.messageTexts().constLast();
    }
};

// The file went from the source after it was listed: the target is never
// told to store, so a file of that name keeps its bytes.
TEST_F(CopyCheck, AFileGoneFromTheSourceLeavesTheTargetUntouched)
{
    ASSERT_TRUE(source.writeFile(QStringLiteral("f.bin"), PatternBytes(5000)));
    ASSERT_TRUE(target.writeFile(QStringLiteral("f.bin"), PatternBytes(700)));
    ASSERT_TRUE(connectBoth());
    ASSERT_TRUE(QFile::remove(source.rootPath() + QStringLiteral("/f.bin")));
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copy(QStringLiteral("f.bin")));
    ASSERT_TRUE(bothFree());
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(700));
    EXPECT_TRUE(targetSent.filter(QStringLiteral("STOR")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_TRUE(targetSent.filter(QStringLiteral("PASV")).isEmpty()) << targetSent.join("|").toStdString();
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("Source server: 550"))) << lastMessage().toStdString();

    // A file it still holds goes across as before.
    ASSERT_TRUE(source.writeFile(QStringLiteral("g.bin"), PatternBytes(9000)));
    window->Slot(0)->RefreshListing();
    ASSERT_TRUE(waitFor([&] { return ready(0) && window->Remote(0)->Model->findText(QStringLiteral("g.bin")) >= 0; }));
    ASSERT_TRUE(copy(QStringLiteral("g.bin")));
    ASSERT_TRUE(bothFree());
    EXPECT_EQ(target.readFile(QStringLiteral("g.bin")), PatternBytes(9000));
    EXPECT_EQ(prompts.messageTexts().size(), 1);
}

// How the user came to replace the target's file.
struct Replacing
{
    const char *name;
    bool confirmOverwrite; // asked first, and answered "Yes"
};

void PrintTo(const Replacing &replacing, std::ostream *out) { *out << replacing.name; }

struct CopyOntoHeld : CopyCheck, ::testing::WithParamInterface<Replacing>
{
    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }
};

// The source lists and sizes the files of a folder but refuses to send them
// ("550 Not enough privileges."): the target keeps the file it held, byte for
// byte, keeps no file the copy began, and is listed afresh.
TEST_P(CopyOntoHeld, ASourceRefusingToSendLeavesTheTargetAsItWas)
{
    source.setFolderRights(QStringLiteral("locked"), QStringLiteral("el"));
    ASSERT_TRUE(source.makeFolder(QStringLiteral("locked")));
    ASSERT_TRUE(source.writeFile(QStringLiteral("locked/new.bin"), PatternBytes(5000)));
    ASSERT_TRUE(source.writeFile(QStringLiteral("locked/held.bin"), PatternBytes(5000)));
    const QByteArray held = QByteArray(6000, 'h');
    ASSERT_TRUE(target.writeFile(QStringLiteral("held.bin"), held));
    ASSERT_TRUE(connectBoth(QStringLiteral("/locked")));
    SetOptionFlag(OptionFlag::ConfirmOverwrite, GetParam().confirmOverwrite); // after the window read its options
    const auto targetFiles = [&] { return QDir(target.rootPath()).entryList(QDir::Files | QDir::Hidden); };

    // A name the target did not hold: the empty file its store began is removed.
    prompts.expectMessage(QStringLiteral("\"/locked/new.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copy(QStringLiteral("new.bin")));
    ASSERT_TRUE(bothFree());
    ASSERT_TRUE(waitFor([&] { return targetListings > 0 && ready(1); }));
    EXPECT_EQ(targetFiles(), QStringList{QStringLiteral("held.bin")});
    EXPECT_LT(window->Remote(1)->Model->findText(QStringLiteral("new.bin")), 0);
    EXPECT_FALSE(targetSent.filter(QStringLiteral("STOR")).isEmpty());
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("Source server: 550"))) << lastMessage().toStdString();

    // A name it held keeps its bytes, and the pane shows what is there now.
    int asked = 0;
    if (GetParam().confirmOverwrite)
        WhenModal<frmOverwrite>([&](frmOverwrite &question) {
            ++asked;
            question.CmdOK->click();
        });
    prompts.expectMessage(QStringLiteral("\"/locked/held.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copy(QStringLiteral("held.bin")));
    ASSERT_TRUE(bothFree());
    ASSERT_TRUE(waitFor([&] { return targetListings > 0 && ready(1); }));
    EXPECT_EQ(asked, GetParam().confirmOverwrite ? 1 : 0);
    EXPECT_FALSE(targetSent.filter(QStringLiteral("STOR")).isEmpty());
    EXPECT_EQ(target.readFile(QStringLiteral("held.bin")), held);
    EXPECT_EQ(targetFiles(), QStringList{QStringLiteral("held.bin")});
    EXPECT_TRUE(targetSent.filter(QStringLiteral("DELE /held.bin")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_GE(window->Remote(1)->Model->findText(QStringLiteral("held.bin")), 0);
    EXPECT_EQ(prompts.messageTexts().size(), 2);
    EXPECT_TRUE(window->Slot(1)->SessionActive());
}

INSTANTIATE_TEST_SUITE_P(Replacing, CopyOntoHeld,
                         ::testing::Values(Replacing{"DefaultOptions", false}, Replacing{"AfterYes", true}),
                         [](const ::testing::TestParamInfo<Replacing> &info) { return std::string(info.param.name); });

// A target folder that takes stores but neither renames nor removes files,
// as an upload-only folder: the copy's temporary file stays there, and the
// user is told its name whether or not the file was copied.
struct LeftOver
{
    const char *name;
    bool sourceSends;
    const char *message; // how the message begins
};

struct CopyLeavingItsTemporary : CopyCheck, ::testing::WithParamInterface<LeftOver>
{
};

TEST_P(CopyLeavingItsTemporary, TheMessageNamesTheFileLeft)
{
    if (!GetParam().sourceSends)
        source.setFolderRights(QStringLiteral("from"), QStringLiteral("el"));
    target.setFolderRights(QStringLiteral("drop"), QStringLiteral("elrw"));
    ASSERT_TRUE(source.makeFolder(QStringLiteral("from")) && target.makeFolder(QStringLiteral("drop")));
    ASSERT_TRUE(source.writeFile(QStringLiteral("from/f.bin"), PatternBytes(5000)));
    const QByteArray held = QByteArray(6000, 'h');
    ASSERT_TRUE(target.writeFile(QStringLiteral("drop/f.bin"), held));
    ASSERT_TRUE(connectBoth(QStringLiteral("/from")));
    window->Slot(1)->ChangeFolder(QStringLiteral("/drop"));
    ASSERT_TRUE(waitFor([&] { return ready(1) && window->Remote(1)->Model->findText(QStringLiteral("f.bin")) >= 0; }));

    prompts.expectMessage(QString::fromLatin1(GetParam().message), PromptButton::Ok);
    ASSERT_TRUE(copy(QStringLiteral("f.bin")));
    ASSERT_TRUE(bothFree());
    EXPECT_EQ(target.readFile(QStringLiteral("drop/f.bin")), GetParam().sourceSends ? PatternBytes(5000) : held);
    const QStringList left = QDir(target.rootPath() + QStringLiteral("/drop"))
                                 .entryList({QStringLiteral("ftpqor-copy-*")}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(left.size(), 1);
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("The copy's temporary file \"/drop/%1\" could not be removed from the "
                                                      "target server: 550")
                                           .arg(left.constFirst())))
        << lastMessage().toStdString();
}

INSTANTIATE_TEST_SUITE_P(LeftOver, CopyLeavingItsTemporary,
                         ::testing::Values(LeftOver{"Copied", true, "The copy's temporary file"},
                                           LeftOver{"SourceRefusing", false, "\"/from/f.bin\" was not copied"}),
                         [](const ::testing::TestParamInfo<LeftOver> &info) { return std::string(info.param.name); });

using CopyReport = CopyCheck;

// The failure is shown once the reply that told of it has been handled: a
// reply the source's server sends while the message is open (the idle poll's)
// is taken, and the session does not end for want of it afterwards.
TEST_F(CopyReport, WhileACopyFailureIsShownTheSourceTakesItsServersReplies)
{
    ASSERT_TRUE(source.writeFile(QStringLiteral("f.bin"), PatternBytes(5000)));
    ASSERT_TRUE(connectBoth());
    ASSERT_TRUE(QFile::remove(source.rootPath() + QStringLiteral("/f.bin")));
    bool polled = false;
    bool answered = false;
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                     [&](const QString &, const QString &command) { polled = polled || command == "NOOP"; });
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::ServerReplied, window.get(),
                     [&](const QString &code, const QString &) { answered = answered || (polled && code == "200"); });
    bool answeredWhileShown = false;
    prompts
        .onNext([&] {
            clock->advance(61000); // idle for a minute: the connection polls its server
            answeredWhileShown = polled && waitFor([&] { return answered; }, 10000);
        })
        .expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copy(QStringLiteral("f.bin")));
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));
    EXPECT_TRUE(polled);
    EXPECT_TRUE(answeredWhileShown);
    clock->advance(window->Slot(0)->FtpCmd()->CommandTimeout() * 1000 + 2000);
    EXPECT_TRUE(window->Slot(0)->SessionActive());
    EXPECT_EQ(prompts.messageTexts().size(), 1);
}

// Both sides answer as vsftpd does: the source connects to the target only
// once it has opened the file for RETR, and the target says 150 to STOR only
// once that connection came, reading no command (no ABOR) until then.
struct CopyRelease : ::testing::Test
{
    ScriptedFtpServer source;
    ScriptedFtpServer target;
    std::unique_ptr<frmZAVUde> window;
    ScriptedPrompts prompts;

    void SetUp() override
    {
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        ASSERT_TRUE(source.listen());
        ASSERT_TRUE(target.listen());
        ServeOneFile(source);
        HoldOnly(target);
        target.setPreliminaryWhenConnected(true);
        window = DualWindow();
    }

    bool ready(int slot) { return SlotReady(*window, slot); }

    bool connectBoth() { return ConnectSourceAndTarget(*window, ServerProfile(source), ServerProfile(target)); }
};

// The source refuses RETR after the target was told to store: the target's
// wait is ended by an empty data connection, not by an ABOR it would not
// read, and the empty file is removed.
TEST_F(CopyRelease, ATargetWaitingForTheDataConnectionIsFreedAndKeepsNoEmptyFile)
{
    source.on("RETR", "550 Failed to open file.");
    source.on("ABOR", "225 No transfer to ABOR.");
    target.on("SIZE", [&](const QByteArray &) { // no such file until the store made an empty one
        return ScriptedFtpServer::Reply{
            {target.commandCount("STOR") > 0 ? "213 0\r\n" : "550 Could not get file size.\r\n", 0}};
    });
    ASSERT_TRUE(connectBoth());
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(1); }, 30000));
    EXPECT_EQ(target.commandCount("ABOR"), 0);
    EXPECT_EQ(target.commandCount("STOR /f.bin"), 1);
    EXPECT_EQ(target.commandCount("DELE /f.bin"), 1);
    EXPECT_TRUE(window->Slot(1)->SessionActive());
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains(QStringLiteral("Source server: 550 Failed to open file.")))
        << prompts.messageTexts().constFirst().toStdString();
    // The session is in step: the next command gets its own reply.
    const int listings = target.commandCount("LIST");
    window->Slot(1)->RefreshListing();
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.commandCount("LIST") > listings && ready(1); }, 30000));
}

} // namespace

namespace {

// The source says the file is gone while the target lists its folder (the
// user refreshed it as the copy began): the copy ends with that listing, and
// both sides are free for the next copy.
TEST_F(CopyRelease, ASourceRefusalWhileTheTargetListsEndsTheCopyOnceTheListingHas)
{
    ASSERT_TRUE(connectBoth());
    bool targetListing = false;
    source.on("SIZE", [&](const QByteArray &) {
        window->Slot(1)->RefreshListing();
        targetListing = window->Slot(1)->IsBusy();
        return ScriptedFtpServer::Reply{{"550 Could not get file size.\r\n", 0}};
    });
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000))
        << "copy running: " << window->Runner()->Running();
    EXPECT_TRUE(targetListing);
    EXPECT_EQ(target.commandCount("STOR"), 0);
    EXPECT_EQ(prompts.messageTexts().size(), 1);

    // The next copy of a file the source holds goes across.
    source.off("SIZE");
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    EXPECT_EQ(target.storedData(), PatternBytes(5000));
}

} // namespace

namespace {

// The target refuses the store outright, as vsftpd does when it cannot open
// the file, and the user keeps the file rather than have it stored over: the
// copy never wrote there, so neither an empty file of that name that another
// client made after the listing nor anything else is removed.
TEST_F(CopyRelease, AStoreRefusedOutrightRemovesNothingOnTheTarget)
{
    target.on("STOR", "553 Could not create file.");
    HoldOnly(target, "/f.bin");
    ASSERT_TRUE(connectBoth());
    prompts.expectMessage(QStringLiteral("553 Could not create file."), PromptButton::No);
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    EXPECT_EQ(target.commandCount("STOR"), 1);
    EXPECT_EQ(target.commandCount("STOR /ftpqor-copy-"), 1);
    EXPECT_EQ(target.commandCount("DELE"), 0);
    EXPECT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(window->Slot(0)->SessionActive());
    EXPECT_TRUE(window->Slot(1)->SessionActive());
}

// The target says 226 as soon as its data connection closes; the source's own
// final reply may come later. The copy is over only when both have spoken.
TEST_F(CopyRelease, ACopyEndsOnlyOnceTheSourceHasSaidItsFileWentWhole)
{
    ASSERT_TRUE(connectBoth());
    source.holdFinalReply();
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.finalReplyHeld() && ready(1); }, 30000));
    EXPECT_EQ(target.storedData(), PatternBytes(5000));
    EXPECT_TRUE(window->Runner()->Running()); // the source's transfer is still the copy's

    source.releaseFinalReply();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running(); }, 30000));
    EXPECT_FALSE(window->Slot(0)->IsBusy()); // free for what the user asks next
    EXPECT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    EXPECT_EQ(target.commandCount("STOR"), 2);
    EXPECT_EQ(target.commandCount("RNTO /f.bin"), 1); // the second onto the file the first left
    EXPECT_TRUE(prompts.shown().empty());
}

// The user lists a server's folder while the copy has nothing running there:
// the copy sends that server nothing before the listing ended, and the file
// arrives whole.
struct ListedMeanwhile
{
    const char *name;
    const QByteArray held;      // what the target holds ("": nothing)
    const QByteArray targetGot; // the user lists the source's folder as the target gets this ("": the
                                // target's folder, between the target's end and the source's)
};

struct CopyWhileListed : CopyRelease, ::testing::WithParamInterface<ListedMeanwhile>
{
};

TEST_P(CopyWhileListed, TheCopyWaitsForTheListing)
{
    HoldOnly(target, GetParam().held, 700);
    ASSERT_TRUE(connectBoth());
    const bool targetListed = GetParam().targetGot.isEmpty();
    const ScriptedFtpServer &listed = targetListed ? target : source;
    const int listings = listed.commandCount("LIST");
    // The source's listing, or its sending, ends once the copy went as far as it could meanwhile.
    QObject::connect(&target, &ScriptedFtpServer::commandReceived, window.get(), [&](const QByteArray &line) {
        if (!targetListed && line.startsWith(GetParam().targetGot) && listed.commandCount("LIST") == listings) {
            source.holdFinalReply();
            window->Slot(0)->RefreshListing();
        }
    });
    if (targetListed)
        source.holdFinalReply();
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return source.finalReplyHeld() && (ready(1) || (!targetListed && target.commandCount("STOR") > 0)); },
        30000));
    if (targetListed) {
        window->Slot(1)->RefreshListing();
        ASSERT_TRUE(window->Slot(1)->IsBusy());
    }
    source.releaseFinalReply();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    EXPECT_EQ(target.storedData(), PatternBytes(5000));
    EXPECT_EQ(target.commandCount("RNTO /f.bin"), GetParam().held.isEmpty() ? 0 : 1);
    EXPECT_GE(listed.commandCount("LIST"), listings + (targetListed ? 2 : 1)); // the user's (and the copy's own)
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_TRUE(window->Slot(0)->SessionActive() && window->Slot(1)->SessionActive());
}

INSTANTIATE_TEST_SUITE_P(
    ListedMeanwhile, CopyWhileListed,
    ::testing::Values(ListedMeanwhile{"SourceWhileTheTargetIsAsked", "", "SIZE /f.bin"},
                      ListedMeanwhile{"SourceWhileATemporaryNameIsChosen", "/f.bin", "SIZE /ftpqor-copy-"},
                      ListedMeanwhile{"TargetBetweenTheEnds", "/f.bin", ""}),
    [](const ::testing::TestParamInfo<ListedMeanwhile> &info) { return std::string(info.param.name); });

// A target that renames nothing: a file it holds is stored over instead, and
// a failure then says that file was emptied.
TEST_F(CopyRelease, ATargetThatRenamesNothingHasItsFileStoredOver)
{
    target.on("RNFR", "550 Permission denied.");
    HoldOnly(target, "/f.bin", 700);
    ASSERT_TRUE(connectBoth());
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    EXPECT_EQ(target.commandCount("STOR /f.bin"), 1);
    EXPECT_EQ(target.commandCount("DELE /ftpqor-copy-"), 1);
    EXPECT_EQ(target.storedData(), PatternBytes(5000));
    EXPECT_TRUE(prompts.shown().empty());

    // The source refuses the second sending.
    QObject::connect(&target, &ScriptedFtpServer::commandReceived, window.get(), [&](const QByteArray &line) {
        if (line.startsWith("DELE"))
            source.on("RETR", "550 Failed to open file.");
    });
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains(QStringLiteral("The target's file \"/f.bin\" was emptied")))
        << prompts.messageTexts().constFirst().toStdString();
}

// The source breaks off after part of the file: the target stores the part
// and says 226 before the source says 426. That is no copy.
TEST_F(CopyRelease, ASourceBreakingOffAfterTheTargetStoredIsNotACopy)
{
    ASSERT_TRUE(connectBoth());
    source.setDataDropAfter(2000);
    source.holdFinalReply();
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.finalReplyHeld() && ready(1); }, 30000));
    EXPECT_EQ(target.storedData().size(), 2000);

    source.releaseFinalReply();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000));
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    const QString text = prompts.messageTexts().constFirst();
    EXPECT_TRUE(text.contains(QStringLiteral("Source server: ")) && text.contains(QStringLiteral("426"))) << text.toStdString();
    EXPECT_TRUE(window->Slot(0)->SessionActive());
    EXPECT_TRUE(window->Slot(1)->SessionActive());
}

} // namespace

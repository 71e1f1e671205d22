// A server-to-server copy onto a name the target's pane does not list, though
// the target's server holds it (made after the listing): the user is asked
// before it is replaced, and a copy that fails afterwards never removes it.
// The target is a real server; the source sizes the file, then refuses RETR.
#include "frmZAVUde.h"

#include "BatchRunner.h"
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

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct CopyOntoUnlisted : ::testing::Test
{
    ScriptedFtpServer source;
    PyFtpServer target;
    std::unique_ptr<frmZAVUde> window;
    ScriptedPrompts prompts;
    QStringList asked; // the files the overwrite question named
    QStringList targetSent;

    void SetUp() override
    {
        ASSERT_TRUE(source.listen());
        ServeOneFile(source);
        source.on("RETR", "550 Failed to open file.");
        source.on("ABOR", "225 No transfer to ABOR.");
        ASSERT_TRUE(target.start());
    }

    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }

    bool ready(int slot) { return SlotReady(*window, slot); }

    // Both logged in and listed; the target's file is made after its listing.
    bool connectBoth(bool confirmOverwrite = true)
    {
        window = std::make_unique<frmZAVUde>();
        SetOptionFlag(OptionFlag::ConfirmOverwrite, confirmOverwrite); // after the window read its options
        window->ShowDual(true);
        window->show();
        if (!ConnectSourceAndTarget(*window, ServerProfile(source), ServerProfile(target)))
            return false;
        QObject::connect(window->Slot(1)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                         [this](const QString &, const QString &command) { targetSent << command; });
        return target.writeFile(QStringLiteral("f.bin"), PatternBytes(700))
            && window->Remote(1)->Model->findText(QStringLiteral("f.bin")) < 0;
    }

    void answerWith(QPushButton *frmOverwrite::*button)
    {
        WhenModal<frmOverwrite>([this, button](frmOverwrite &question) {
            asked << question.lblInfo->text();
            (question.*button)->click();
        });
    }

    // The target's pane, listed afresh after the copy, shows the file it holds.
    bool targetListsItsFile()
    {
        return QTest::qWaitFor(
            [&] {
                const int row = window->Remote(1)->Model->findText(QStringLiteral("f.bin"));
                return ready(1) && row >= 0 && window->Remote(1)->Model->row(row).Size == 700;
            },
            10000);
    }

    bool copyAndWait()
    {
        window->Remote(0)->RightView->selectAll();
        if (!window->Runner()->Copy().CmdToFTP_Click(0))
            return false;
        return QTest::qWaitFor([&] { return !window->Runner()->Running() && ready(0) && ready(1); }, 30000);
    }
};

TEST_F(CopyOntoUnlisted, TheTargetsServerIsAskedAndItsFileIsReplacedOnlyWhenTheUserAgrees)
{
    ASSERT_TRUE(connectBoth());

    // No: nothing is sent to either side's transfer, the file keeps its bytes.
    answerWith(&frmOverwrite::CmdStop);
    ASSERT_TRUE(copyAndWait());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.first().contains(QStringLiteral("f.bin"))) << asked.first().toStdString();
    EXPECT_TRUE(targetSent.filter(QStringLiteral("STOR")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_EQ(source.commandCount("RETR"), 0);
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(700));
    EXPECT_TRUE(prompts.messageTexts().isEmpty());

    // Yes, and the source then refuses to send: the file was the target's
    // before, so the failure leaves it as it was.
    answerWith(&frmOverwrite::CmdOK);
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copyAndWait());
    EXPECT_EQ(asked.size(), 2);
    EXPECT_FALSE(targetSent.filter(QStringLiteral("STOR")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_TRUE(targetSent.filter(QStringLiteral("DELE /f.bin")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(700));
    EXPECT_TRUE(targetListsItsFile());
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains(QStringLiteral("Source server: 550 Failed to open file.")))
        << prompts.messageTexts().constFirst().toStdString();
}

// Without the question the file is still counted as the target's own.
TEST_F(CopyOntoUnlisted, WithoutTheQuestionAFailedCopyStillKeepsTheFile)
{
    ASSERT_TRUE(connectBoth(false));
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copyAndWait());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(targetSent.filter(QStringLiteral("DELE /f.bin")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_EQ(target.readFile(QStringLiteral("f.bin")), PatternBytes(700));
    EXPECT_TRUE(targetListsItsFile());

    // A name the target's server does not hold either: the empty file the
    // failed store left is removed, as before.
    ASSERT_TRUE(QFile::remove(target.rootPath() + QStringLiteral("/f.bin")));
    window->Slot(1)->RefreshListing();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready(1) && window->Remote(1)->Model->findText(QStringLiteral("f.bin")) < 0; }));
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(copyAndWait());
    EXPECT_FALSE(targetSent.filter(QStringLiteral("DELE /f.bin")).isEmpty()) << targetSent.join("|").toStdString();
    EXPECT_FALSE(target.exists(QStringLiteral("f.bin")));
}

} // namespace

#include "MainWindowEditJobs.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "ElidingLabel.h"
#include "FtpStatusStrip.h"
#include "LocalPane.h"
#include "ScriptedFtpServer.h"
#include "ServerProfile.h"
#include "WhenModal.h"
#include "frmProgress.h"

namespace {

// What the user sees of a pane's status strip: a bar with a percentage or none.
bool barShown(const RemotePane *pane)
{
    const FtpStatusSnapshot strip = pane->Status->snapshot();
    return strip.visible && strip.expectedSize > 0;
}

struct StatusLine : ::testing::Test
{
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;

    void SetUp() override
    {
        window = ShownWindow();
        ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    }

    // Downloads the named remote file in the background (the progress dialog
    // closed). A server process given is held stopped until the dialog is
    // closed, so a quick download cannot end with the dialog before it is.
    void downloadInBackground(const QString &name, qint64 heldServer = 0)
    {
        SelectInFirstSlot(*window, name);
        const auto pid = static_cast<pid_t>(heldServer);
        if (pid > 0)
            ::kill(pid, SIGSTOP);
        WhenModal<frmProgress>([pid](frmProgress &progress) {
            progress.Command1->click();
            if (pid > 0)
                ::kill(pid, SIGCONT);
        });
        window->Batch()->HandleFileDownloads(0, true, false, false);
    }

    bool visit(const QString &path)
    {
        ServerSlot *slot = window->Slot(0);
        slot->ChangeFolder(path);
        return WaitUntil([&] { return !slot->IsBusy() && slot->SlotRemotePath() == path; });
    }
};

// The bar belongs to the transfer that drew it: once the session ends, or a
// listing follows the transfer, nothing of it stays beside the state line.
TEST_F(StatusLine, TheProgressBarGoesWithTheSessionAndTheNextListing)
{
    enum class Then { Disconnect, Refresh, OtherFolder };
    for (const Then then : {Then::Disconnect, Then::Refresh, Then::OtherFolder}) {
        SCOPED_TRACE(int(then));
        SetUp(); // a window of its own
        PyFtpServer server;
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(server.writeFile("big.bin", PatternBytes(300000)));
        ASSERT_TRUE(server.makeFolder("sub"));
        ASSERT_TRUE(ConnectFirstSlot(*window, server));
        ServerSlot *slot = window->Slot(0);
        RemotePane *pane = window->Remote(0);
        downloadInBackground("big.bin", server.processId());
        ASSERT_TRUE(WaitUntil([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
        ASSERT_EQ(ReadFileBytes(dir.filePath("big.bin")), PatternBytes(300000));

        if (then == Then::Disconnect) {
            window->Slot(0)->DisConnectFromFTP();
            ASSERT_TRUE(WaitUntil([&] { return !window->Slot(0)->SessionActive(); }));
            EXPECT_EQ(pane->lblState->text(), "Not connected");
        } else if (then == Then::Refresh) {
            slot->RefreshListing();
            ASSERT_TRUE(WaitUntil([&] { return !slot->IsBusy(); }));
        } else {
            ASSERT_TRUE(visit("/sub"));
        }
        EXPECT_FALSE(barShown(pane));
        QFile::remove(dir.filePath("big.bin"));
    }
}

TEST_F(StatusLine, ADisconnectDuringABackgroundDownloadTakesItsBarAway)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("-rw-r--r-- 1 u g 100000 Dec 08 13:30 part.bin\r\n");
    server.setFileData(PatternBytes(100000));
    server.on("SIZE", "213 100000");
    server.setStallAfter(32500);
    ASSERT_TRUE(ConnectFirstSlot(*window, ServerProfile(server)));
    RemotePane *pane = window->Remote(0);

    downloadInBackground("part.bin");
    ASSERT_TRUE(WaitUntil([&] { return server.isFrozen() && pane->Status->snapshot().bytesDone > 0; }));
    EXPECT_TRUE(barShown(pane));
    prompts.expectMessage("You disconnected from the server", PromptButton::Ok);
    window->Slot(0)->DisConnectFromFTP();
    ASSERT_TRUE(WaitUntil([&] { return !window->Slot(0)->SessionActive() && !window->Runner()->Running(); }));
    EXPECT_FALSE(barShown(pane));
    server.thaw();
}

// "…of 12 08 2026 01:30:2…" at half past one in the afternoon reads as the
// night: a narrow state line gives way before the time of the cached listing.
TEST_F(StatusLine, ACachedListingKeepsItsTimeWholeInANarrowPane)
{
    const bool cacheWasOn = IsOptionOn(OptionFlag::UseListingCache);
    SetOptionFlag(OptionFlag::UseListingCache, true);
    PyFtpServer server;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.writeFile("sub/a.txt", "a"));
    ASSERT_TRUE(ConnectFirstSlot(*window, server));
    ASSERT_TRUE(visit("/sub"));
    ASSERT_TRUE(visit("/"));

    ElidingLabel *state = window->Remote(0)->lblState;
    ASSERT_TRUE(state->text().startsWith("Connected (cached listing of ")) << state->text().toStdString();
    const QString time = state->text().mid(QStringLiteral("Connected (cached listing of ").size());
    const int needed = state->fontMetrics().horizontalAdvance(state->text());
    for (const int width : {needed + 10, needed * 2 / 3, state->fontMetrics().horizontalAdvance(time) + 4}) {
        SCOPED_TRACE(width);
        state->setFixedWidth(width + state->contentsMargins().left() + state->contentsMargins().right());
        state->grab(); // draws it now, shown or not
        EXPECT_TRUE(state->shownText().endsWith(time)) << state->shownText().toStdString();
        EXPECT_EQ(state->toolTip(), state->text());
    }
    SetOptionFlag(OptionFlag::UseListingCache, cacheWasOn);
}

} // namespace

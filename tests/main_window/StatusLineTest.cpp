#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "ElidingLabel.h"
#include "FtpCache.h"
#include "FtpCommander.h"
#include "FtpStatusStrip.h"
#include "LocalPane.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "TestFiles.h"
#include "WhenModal.h"
#include "frmProgress.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

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
        window = std::make_unique<frmZAVUde>();
        window->show();
        ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    }

    bool connect(const CProfile &profile)
    {
        window->Slots()->UseProfile(0, profile, true);
        return waitFor([&] {
            ServerSlot *s = window->Slot(0);
            return s->SessionActive() && !s->IsBusy() && window->Remote(0)->Model->size() > 0;
        });
    }

    // Downloads the named remote file in the background (the progress dialog closed).
    void downloadInBackground(const QString &name)
    {
        RemotePane *pane = window->Remote(0);
        for (int r = 0; r < pane->Model->size(); ++r) {
            if (pane->Model->row(r).Text == name)
                pane->RightView->selectionModel()->select(pane->Model->index(r, 0),
                                                          QItemSelectionModel::ClearAndSelect
                                                              | QItemSelectionModel::Rows);
        }
        WhenModal<frmProgress>([](frmProgress &progress) { progress.Command1->click(); });
        window->Batch()->HandleFileDownloads(0, true, false, false);
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
        ASSERT_TRUE(connect(ServerProfile(server)));
        ServerSlot *slot = window->Slot(0);
        RemotePane *pane = window->Remote(0);
        downloadInBackground("big.bin");
        ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
        ASSERT_EQ(ReadFileBytes(dir.filePath("big.bin")), PatternBytes(300000));

        if (then == Then::Disconnect) {
            window->Slot(0)->DisConnectFromFTP();
            ASSERT_TRUE(waitFor([&] { return !window->Slot(0)->SessionActive(); }));
            EXPECT_EQ(pane->lblState->text(), "Not connected");
        } else if (then == Then::Refresh) {
            slot->RefreshListing();
            ASSERT_TRUE(waitFor([&] { return !slot->IsBusy(); }));
        } else {
            slot->ChangeFolder("/sub");
            ASSERT_TRUE(waitFor([&] { return !slot->IsBusy() && slot->SlotRemotePath() == "/sub"; }));
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
    CProfile profile = ServerProfile(server);
    ASSERT_TRUE(connect(profile));
    RemotePane *pane = window->Remote(0);

    downloadInBackground("part.bin");
    ASSERT_TRUE(waitFor([&] { return server.isFrozen() && pane->Status->snapshot().bytesDone > 0; }));
    EXPECT_TRUE(barShown(pane));
    prompts.expectMessage("You disconnected from the server", PromptButton::Ok);
    window->Slot(0)->DisConnectFromFTP();
    ASSERT_TRUE(waitFor([&] { return !window->Slot(0)->SessionActive() && !window->Runner()->Running(); }));
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
    ASSERT_TRUE(connect(ServerProfile(server)));
    ServerSlot *slot = window->Slot(0);
    slot->ChangeFolder("/sub");
    ASSERT_TRUE(waitFor([&] { return !slot->IsBusy() && slot->SlotRemotePath() == "/sub"; }));
    slot->ChangeFolder("/");
    ASSERT_TRUE(waitFor([&] { return !slot->IsBusy() && slot->SlotRemotePath() == "/"; }));

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

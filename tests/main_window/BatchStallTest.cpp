// A server that stops in the middle of an immediate batch's second file for
// longer than the transfer time-out, then sends the rest and its late final
// reply: the batch ends there as for a lost session, and nothing after the
// stall is taken as done. The browsing connection runs on a manual clock.
#include "frmZAVUde.h"

#include "BatchFailures.h"
#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "EngineTimer.h"
#include "FtpCommander.h"
#include "FtpStatusStrip.h"
#include "LocalPane.h"
#include "OptionFlags.h"
#include "FileListModel.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr qint64 kFileSize = 100000;
constexpr qint64 kStallAt = 30000;

struct StalledBatch : ::testing::Test
{
    ScriptedFtpServer server;
    ManualEngineTimer *clock = new ManualEngineTimer; // the window's engine owns it
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QStringList names{QStringLiteral("a.bin"), QStringLiteral("b.bin"), QStringLiteral("c.bin")};

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        window = std::make_unique<frmZAVUde>(nullptr, std::array<EngineTimer *, 2>{clock, nullptr});
        window->show();
        QByteArray listing;
        for (const QString &name : names)
            listing += "-rw-r--r-- 1 owner group " + QByteArray::number(kFileSize) + " Jan 01 2024 " + name.toLatin1()
                     + "\r\n";
        server.setListing(listing);
        server.setFileData(PatternBytes(kFileSize));
        // Once the server stops, more than the transfer time-out passes; then it goes on.
        QObject::connect(&server, &ScriptedFtpServer::frozen, &server, [this] {
            QTimer::singleShot(0, &server, [this] {
                QTest::qWait(50); // what was sent before the stop has arrived
                clock->advance(61000);
                server.thaw();
            });
        });
    }

    bool connect()
    {
        window->Slots()->UseProfile(0, ServerProfile(server), true);
        return QTest::qWaitFor([&] {
            ServerSlot *s = window->Slot(0);
            return s->SessionActive() && !s->IsBusy() && window->Remote(0)->Model->size() == names.size();
        }, 30000);
    }

    // The batch has ended as for a lost session, and stays ended after the
    // late reply and the rest of the data came.
    void expectEndedAtTheStall()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running(); }, 30000));
        QTest::qWait(200);
        EXPECT_FALSE(window->Slot(0)->SessionActive());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(window->ModalState());
    }

    // The one message names the stalled file and the file never started.
    void expectToldNotDone()
    {
        const QString text = prompts.messageTexts().value(0);
        EXPECT_TRUE(text.contains("2 of 3 files were not transferred:")) << text.toStdString();
        EXPECT_TRUE(text.contains("b.bin\": The transfer stalled: no data arrived in time.")) << text.toStdString();
        EXPECT_TRUE(text.contains("c.bin\": not started, the session ended")) << text.toStdString();
        EXPECT_FALSE(text.contains("a.bin")) << text.toStdString();
    }
};

TEST_F(StalledBatch, ADownloadStalledPastItsTimeOutEndsTheBatchAndNothingAfterIsTakenAsDone)
{
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    RemotePane *pane = window->Remote(0);
    pane->RightView->selectAll();
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this](const QByteArray &line) {
        if (line.startsWith("RETR /b.bin"))
            server.setStallAfter(kStallAt);
    });
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    expectEndedAtTheStall();
    EXPECT_TRUE(prompts.allUsed());
    expectToldNotDone();
    EXPECT_EQ(ReadFileBytes(dir.filePath("a.bin")), PatternBytes(kFileSize));
    EXPECT_LT(QFileInfo(dir.filePath("b.bin")).size(), kFileSize);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("c.bin")));
    EXPECT_EQ(server.commandCount("RETR"), 2);
    // The local pane shows what arrived, the part of b.bin too.
    QStringList shown;
    for (int r = 0; r < window->Local()->Model->size(); ++r)
        shown << window->Local()->Model->row(r).Text;
    EXPECT_TRUE(shown.contains("a.bin")) << shown.join(",").toStdString();
    EXPECT_TRUE(shown.contains("b.bin")) << shown.join(",").toStdString();
}

TEST_F(StalledBatch, AnUploadStalledPastItsTimeOutEndsTheBatchAndNothingAfterIsTakenAsDone)
{
    ASSERT_TRUE(connect());
    QStringList paths;
    for (const QString &name : names) {
        paths << dir.filePath(name);
        ASSERT_TRUE(WriteFileBytes(paths.last(), PatternBytes(kFileSize)));
    }
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this](const QByteArray &line) {
        if (line.startsWith("STOR /b.bin"))
            server.setStallAfter(kStallAt);
    });
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    window->Batch()->PrepareUploads(paths, 0, true, false);
    expectEndedAtTheStall();
    EXPECT_TRUE(prompts.allUsed());
    expectToldNotDone();
    EXPECT_EQ(server.commandCount("STOR"), 2);
    EXPECT_EQ(server.commandCount("STOR /c.bin"), 0);
    // The server never confirmed any of b.bin: the engine counts none of it, not what went out,
    // and the session's end took the bar away.
    EXPECT_EQ(window->Slot(0)->FtpCmd()->ExpectedSize(), kFileSize);
    EXPECT_EQ(window->Slot(0)->FtpCmd()->BytesDone(), 0);
    EXPECT_EQ(window->Remote(0)->Status->snapshot().expectedSize, 0);
}

// The first upload stalls, so no step succeeded: the remote folder's cached
// listing is still stale, and the next visit lists it afresh.
TEST_F(StalledBatch, AnUploadEndedByAStallLeavesItsFolderToBeListedAfresh)
{
    const bool cacheWasOn = IsOptionOn(OptionFlag::UseListingCache);
    SetOptionFlag(OptionFlag::UseListingCache, true);
    ASSERT_TRUE(connect());
    ServerSlot *slot = window->Slot(0);
    ASSERT_FALSE(slot->Cache().GetDirCache(QStringLiteral("/")).isEmpty());
    const QString path = dir.filePath(names.first());
    ASSERT_TRUE(WriteFileBytes(path, PatternBytes(kFileSize)));
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this](const QByteArray &line) {
        if (line.startsWith("STOR"))
            server.setStallAfter(kStallAt);
    });
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    window->Batch()->PrepareUploads({path}, 0, true, false);
    expectEndedAtTheStall();
    EXPECT_TRUE(slot->Cache().GetDirCache(QStringLiteral("/")).isEmpty());
    SetOptionFlag(OptionFlag::UseListingCache, cacheWasOn);
}

} // namespace

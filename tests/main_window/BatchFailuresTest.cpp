// Steps of an immediate batch that a real server refuses: the batch goes on,
// and its end tells once how many items were not done, which and why; the
// server pane's state line says so after the end-of-batch refresh. A file
// skipped at the overwrite question is no failure.
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "CuttingProxy.h"
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
#include "TestFiles.h"
#include "WhenModal.h"
#include "frmFileConfirm.h"
#include "frmOverwrite.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
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

struct FailingBatch : ::testing::Test
{
    PyFtpServer server;
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    int lists = 0;

    void SetUp() override
    {
        window = std::make_unique<frmZAVUde>();
        window->show();
        QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                         [this](const QString &, const QString &command) { lists += command.startsWith("LIST"); });
    }

    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }

    // Logs in to the server, or to `proxy` in front of it.
    bool connect(CuttingProxy *proxy = nullptr)
    {
        if (!server.start())
            return false;
        CProfile profile = ServerProfile(server);
        if (proxy) {
            if (!proxy->listen(server.port()))
                return false;
            profile.Port = proxy->port();
        }
        window->Slots()->UseProfile(0, profile, true);
        return waitFor([&] {
            ServerSlot *s = window->Slot(0);
            return s->SessionActive() && !s->IsBusy() && !s->SlotRemotePath().isEmpty();
        });
    }

    bool idle()
    {
        return waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); });
    }

    void selectRemote(const QStringList &names)
    {
        RemotePane *pane = window->Remote(0);
        pane->RightView->selectionModel()->clearSelection();
        for (int r = 0; r < pane->Model->size(); ++r) {
            if (names.contains(pane->Model->row(r).Text))
                pane->RightView->selectionModel()->select(pane->Model->index(r, 0),
                                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    QString state() const { return window->Remote(0)->lblState->text(); }
    QString message() const { return prompts.messageTexts().value(0); }

    static void runNow(frmFileConfirm &list) { list.CmdDo->click(); }
};

TEST_F(FailingBatch, UploadsIntoAReadOnlyFolderAreToldOnceAndASkippedFileIsNoFailure)
{
    ASSERT_TRUE(server.makeFolder("up/ro"));
    server.setFolderRights("up/ro", "elr");
    ASSERT_TRUE(server.writeFile("up/same.txt", "old"));
    ASSERT_TRUE(connect()) << server.error().toStdString();
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    for (const char *name : {"up/a.txt", "up/same.txt", "up/ro/x.txt", "up/ro/y.txt"}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath()));
        ASSERT_TRUE(WriteFileBytes(dir.filePath(name), PatternBytes(3000)));
    }
    WhenModal<frmFileConfirm>(runNow);
    WhenModal<frmOverwrite>([](frmOverwrite &question) { question.CmdStopAll->click(); });
    prompts.expectMessage("2 of 4 files were not transferred:", PromptButton::Ok);
    const int listsBefore = lists;
    window->Batch()->PrepareUploads({dir.filePath("up")}, 0, true, false);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), 1u);
    EXPECT_TRUE(message().contains("x.txt\": 550 Not enough privileges")) << message().toStdString();
    EXPECT_TRUE(message().contains("y.txt\": 550")) << message().toStdString();
    EXPECT_FALSE(message().contains("same.txt")) << message().toStdString();
    EXPECT_EQ(server.readFile("up/a.txt"), PatternBytes(3000));
    EXPECT_EQ(server.readFile("up/same.txt"), QByteArray("old"));
    // Refreshed, as a step succeeded; the state line says what failed, after the refresh.
    EXPECT_GT(lists, listsBefore);
    EXPECT_EQ(state(), "2 of 4 files were not transferred.");
}

TEST_F(FailingBatch, AnUnreadableRemoteFileAndAnUndeletableOneAreTold)
{
    ASSERT_TRUE(server.writeFile("t/a.txt", PatternBytes(4000)));
    ASSERT_TRUE(server.writeFile("t/locked/b.txt", PatternBytes(5000)));
    server.setFolderRights("t/locked", "el"); // listed, not read
    ASSERT_TRUE(server.writeFile("d/a.txt", "a"));
    ASSERT_TRUE(server.writeFile("d/ro/b.txt", "b"));
    server.setFolderRights("d/ro", "elr"); // nothing in it deleted
    ASSERT_TRUE(connect()) << server.error().toStdString();
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));

    selectRemote({"t"});
    WhenModal<frmFileConfirm>(runNow);
    prompts.expectMessage("1 of 2 files were not transferred:", PromptButton::Ok);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(message().contains("b.txt\": 550")) << message().toStdString();
    EXPECT_EQ(ReadFileBytes(dir.filePath("t/a.txt")), PatternBytes(4000));
    EXPECT_EQ(state(), "1 of 2 files were not transferred.");

    selectRemote({"d"});
    WhenModal<frmFileConfirm>(runNow);
    prompts.expectMessage("files and folders were not deleted:", PromptButton::Ok);
    window->Batch()->HandleFileDeletes(0);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(prompts.messageTexts().value(1).contains("b.txt\": 550")) << prompts.messageTexts().value(1).toStdString();
    EXPECT_FALSE(server.exists("d/a.txt"));
    EXPECT_TRUE(server.exists("d/ro/b.txt"));
}

// A Quick Upload whose second file's data connection is cut on the way,
// unnoticed by the client, while the server takes the early end for the end
// of the file: that file is told as not transferred, the others arrive whole.
TEST_F(FailingBatch, AQuickUploadCutOnTheWayIsToldAndTheOthersArriveWhole)
{
    CuttingProxy proxy;
    ASSERT_TRUE(connect(&proxy)) << server.error().toStdString();
    const QByteArray content = PatternBytes(1024 * 1024);
    QStringList paths;
    for (const char *name : {"a.bin", "b.bin", "c.bin"}) {
        paths << dir.filePath(name);
        ASSERT_TRUE(WriteFileBytes(paths.last(), content));
    }
    // The data connection is opened before STOR goes out and taken by the proxy after.
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent, &proxy,
                     [&](const QString &, const QString &command) {
                         if (command.startsWith("STOR"))
                             proxy.setCut(command.endsWith("/b.bin") ? 300000 : -1, CuttingProxy::Cut::ClientNotTold);
                     });
    prompts.expectMessage("1 of 3 files were not transferred:", PromptButton::Ok);
    window->Batch()->PrepareUploads(paths, 0, true, false);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(proxy.cuts(), 1);
    EXPECT_TRUE(message().contains("b.bin\": The server holds 300000 of the file's 1048576 bytes")) << message().toStdString();
    EXPECT_TRUE(server.readFile("a.bin") == content);
    EXPECT_TRUE(server.readFile("c.bin") == content);
    EXPECT_EQ(server.readFile("b.bin").size(), 300000);
}

// A failed Quick Upload leaves the server pane's progress bar at what the
// server confirmed, not at what went into the data connection: the size its
// check after the early end found, or nothing where no size was confirmed.
TEST_F(FailingBatch, AFailedQuickUploadShowsTheBytesTheServerConfirmed)
{
    CuttingProxy proxy;
    ASSERT_TRUE(connect(&proxy)) << server.error().toStdString();
    const QString path = dir.filePath("cut.bin");
    const qint64 size = 1024 * 1024;
    ASSERT_TRUE(WriteFileBytes(path, PatternBytes(size)));
    const FtpStatusStrip *bar = window->Remote(0)->Status;
    CuttingProxy::Cut how = CuttingProxy::Cut::ClientNotTold;
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent, &proxy,
                     [&](const QString &, const QString &command) {
                         if (command.startsWith("STOR"))
                             proxy.setCut(300000, how);
                     });

    // Every byte went out; the server's size after its 226 tells the cut.
    prompts.expectMessage("1 of 1 files were not transferred:", PromptButton::Ok);
    window->Batch()->PrepareUploads({path}, 0, true, false);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(prompts.allUsed());
    EXPECT_TRUE(message().contains("The server holds 300000 of the file's 1048576 bytes")) << message().toStdString();
    EXPECT_EQ(bar->snapshot().expectedSize, size);
    EXPECT_EQ(bar->snapshot().bytesDone, 300000);

    // The client sees the data connection close early: nothing was confirmed.
    how = CuttingProxy::Cut::ClientSeesClose;
    prompts.expectMessage("1 of 1 files were not transferred:", PromptButton::Ok);
    window->Batch()->PrepareUploads({path}, 0, true, false);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(prompts.allUsed());
    EXPECT_EQ(proxy.cuts(), 2);
    EXPECT_EQ(bar->snapshot().expectedSize, size);
    EXPECT_EQ(bar->snapshot().bytesDone, 0);
}

// Uploads cut on the way, told as the servers tell them: a server that ends
// the upload with a multi-line 451 (as pure-ftpd does) keeps the lines that
// explain it in the reason; one whose both tries of a file were cut (426,
// as vsftpd answers) is said to have had its data connection cut, not to
// have refused the command.
TEST_F(FailingBatch, AnUploadCutOnTheWayIsToldWithTheWholeReplyOrAsACutDataConnection)
{
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    window->Slots()->UseProfile(0, ServerProfile(scripted), true);
    ASSERT_TRUE(waitFor([&] {
        ServerSlot *s = window->Slot(0);
        return s->SessionActive() && !s->IsBusy() && !s->SlotRemotePath().isEmpty();
    }));
    const QString file = dir.filePath("cut.bin");
    ASSERT_TRUE(WriteFileBytes(file, PatternBytes(600000)));

    scripted.on("STOR", ScriptedFtpServer::Reply{
                            {"150 Accepted data connection\r\n", 0},
                            {"451-Error during read from data connection\r\n"
                             "451-Transfer aborted\r\n"
                             "451 0.001 seconds (measured here), 488.28 Mbytes per second\r\n",
                             50}});
    scripted.on("ABOR", QByteArray("226 Since you see this ABOR must've succeeded"));
    prompts.expectMessage("1 of 1 files were not transferred:", PromptButton::Ok);
    window->Batch()->PrepareUploads({file}, 0, true, false);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(prompts.allUsed());
    EXPECT_TRUE(message().contains("cut.bin\": 451 Error during read from data connection; Transfer aborted; "
                                   "0.001 seconds (measured here), 488.28 Mbytes per second"))
        << message().toStdString();

    scripted.off("STOR");
    scripted.setDataDropAfter(200000);
    prompts.expectMessage("1 of 1 files were not transferred:", PromptButton::Ok);
    window->Batch()->PrepareUploads({file}, 0, true, false);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(prompts.allUsed());
    EXPECT_EQ(scripted.commandCount("STOR"), 3);
    const QString second = prompts.messageTexts().value(1);
    EXPECT_TRUE(second.contains("cut.bin\": The data connection was cut in each of 2 attempts; the transfer failed "
                                "(426 Connection closed; transfer aborted.)"))
        << second.toStdString();
    EXPECT_FALSE(second.contains("did not accept")) << second.toStdString();
}

// The local side ends a transfer: a download into a folder that cannot be
// made (a file stands where it goes, which stops root too), an upload whose
// file shrinks while it is sent. The server answers the ABOR that follows as
// it likes ("426 Transfer aborted via ABOR."); the message names the local
// cause, and the system's reason where it gave one.
TEST_F(FailingBatch, ATransferTheLocalSideEndsIsToldWithTheLocalCause)
{
    struct Case {
        const char *name;
        bool upload;
        QString told; // what the message says of the file
    };
    const QByteArray content = PatternBytes(32 << 20);
    ASSERT_TRUE(server.writeFile("t/name with spaces.txt", content));
    ASSERT_TRUE(connect()) << server.error().toStdString();
    const QString shrinking = dir.filePath("name with spaces.bin");
    bool shrunk = false;
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::DataProgress, window.get(), [&](qint64 bytes) {
        if (!shrunk && bytes > 0 && QFileInfo::exists(shrinking))
            shrunk = QFile::resize(shrinking, 1000);
    });
    for (const Case &c : {Case{"download into a folder that cannot be made", false,
                               "name with spaces.txt\": The local file could not be opened: "
                                   + dir.filePath("t/name with spaces.txt") + " (Not a directory)"},
                          Case{"upload of a file that shrinks", true,
                               "name with spaces.bin\": The local file could not be read: "}}) {
        SCOPED_TRACE(c.name);
        prompts.expectMessage("1 of 1 files were not transferred:", PromptButton::Ok);
        if (c.upload) {
            ASSERT_TRUE(WriteFileBytes(shrinking, content));
            window->Batch()->PrepareUploads({shrinking}, 0, true, false);
        } else {
            ASSERT_TRUE(WriteFileBytes(dir.filePath("t"), "a file where the folder goes"));
            ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
            selectRemote({"t"});
            WhenModal<frmFileConfirm>(runNow);
            window->Batch()->HandleFileDownloads(0, true, false, false);
        }
        ASSERT_TRUE(idle());
        ASSERT_TRUE(prompts.allUsed());
        const QString told = prompts.messageTexts().constLast();
        EXPECT_TRUE(told.contains(c.told)) << told.toStdString();
        EXPECT_FALSE(told.contains("ABOR")) << told.toStdString();
    }
    EXPECT_TRUE(shrunk);
}

} // namespace

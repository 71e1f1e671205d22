#include "frmZAVUde.h"

#include "BatchFailures.h"
#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "FtpCommander.h"
#include "LocalPane.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerCopy.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "TestFiles.h"
#include "WhenModal.h"
#include "frmFileConfirm.h"
#include "frmProgress.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

QByteArray line(const QByteArray &type, qint64 size, const QByteArray &name)
{
    return type + "rw-r--r-- 1 owner group " + QByteArray::number(size) + " Jan 01 2024 " + name + "\r\n";
}

// The real main window on a scripted server that misbehaves as each test says.
struct FaultWindow : ::testing::Test
{
    ScriptedFtpServer server;
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        window = std::make_unique<frmZAVUde>();
        window->show();
    }

    bool connect()
    {
        window->Slots()->UseProfile(0, ServerProfile(server), true);
        return waitFor([&] {
            ServerSlot *s = window->Slot(0);
            return s->SessionActive() && !s->IsBusy() && window->Remote(0)->Model->size() > 0;
        });
    }

    void selectRemote(const QStringList &names)
    {
        RemotePane *pane = window->Remote(0);
        for (int r = 0; r < pane->Model->size(); ++r) {
            if (names.contains(pane->Model->row(r).Text))
                pane->RightView->selectionModel()->select(pane->Model->index(r, 0),
                                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // The batch is over: no display, no modal state, and the one message.
    void expectEndedWithOneMessage()
    {
        ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));
        EXPECT_EQ(window->Runner()->ProgressDialog(), nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(window->ModalState());
        ASSERT_EQ(prompts.messageTexts().size(), 1);
        // A lost connection says so, not that an unexpected error happened.
        EXPECT_TRUE(prompts.messageTexts().constFirst().startsWith(BatchFailures::kLostText));
    }

    void dropOnNth(const QByteArray &verb, int n)
    {
        auto seen = std::make_shared<int>(0);
        QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [this, verb, n, seen](const QByteArray &l) {
            if (l.startsWith(verb) && ++*seen == n - 1)
                server.dropOn(verb);
        });
    }
};

TEST_F(FaultWindow, ADropDuringTheThirdDownloadEndsTheBatchOnce)
{
    QByteArray listing;
    QStringList names;
    for (int i = 0; i < 5; ++i) {
        names << QStringLiteral("f%1").arg(i);
        listing += line("-", 10, names.last().toLatin1());
    }
    server.setListing(listing);
    server.setFileData("0123456789");
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    selectRemote(names);
    dropOnNth("RETR", 3);
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    expectEndedWithOneMessage();
    const QString text = prompts.messageTexts().value(0);
    EXPECT_TRUE(text.contains(" of 5 files were not transferred:")) << text.toStdString();
    EXPECT_TRUE(text.contains("\"f4\": not started, the session ended")) << text.toStdString();
}

// The progress display closed, the batch goes on; another transfer asked for
// meanwhile is refused with a message, not only on the state line the batch rewrites.
// "Close" is enabled before RETR goes out: the server must have stopped in
// the file before it is asked to go on, or it stops later for good and the
// batch ends only at its transfer time-out.
TEST_F(FaultWindow, ATransferAskedForWhileABatchRunsInTheBackgroundSaysTheServerIsBusy)
{
    server.setListing(line("-", 100000, "big.bin"));
    server.setFileData(PatternBytes(100000));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    window->Remote(0)->RightView->selectAll();
    server.setStallAfter(1000);
    WhenModal<frmProgress>([](frmProgress &shown) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown.Command1->isEnabled(); }));
        shown.Command1->click();
    });
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(window->Runner()->Running());
    ASSERT_TRUE(waitFor([&] { return server.isFrozen(); }));
    ASSERT_TRUE(window->Runner()->Running());
    ASSERT_TRUE(WriteFileBytes(dir.filePath("up.txt"), "up"));
    prompts.expectMessage(BatchTransfers::kBusyText, PromptButton::Ok)
        .expectMessage(BatchTransfers::kBusyText, PromptButton::Ok);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    window->Batch()->PrepareUploads({dir.filePath("up.txt")}, 0, true, false);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(server.commandCount("RETR"), 1);
    EXPECT_EQ(server.commandCount("STOR"), 0);
    server.thaw();
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));
    EXPECT_EQ(prompts.messageTexts().size(), 2);
    EXPECT_EQ(ReadFileBytes(dir.filePath("big.bin")), PatternBytes(100000));
}

// The user ends a batch that runs without its progress display by
// disconnecting: the message says so, not that the connection was lost.
TEST_F(FaultWindow, DisconnectingDuringABackgroundDownloadSaysTheUserEndedIt)
{
    server.setListing(line("-", 100000, "big.bin"));
    server.setFileData(PatternBytes(100000));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    window->Remote(0)->RightView->selectAll();
    server.setStallAfter(1000);
    WhenModal<frmProgress>([](frmProgress &shown) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown.Command1->isEnabled(); }));
        shown.Command1->click();
    });
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return server.isFrozen(); }));
    ASSERT_TRUE(window->Runner()->Running());
    prompts.expectMessage(BatchFailures::kDisconnectedText, PromptButton::Ok);
    window->findChild<QAction *>("mnuDisconnect0")->trigger();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(prompts.messageTexts().value(0).contains(BatchFailures::kLostText));
    EXPECT_FALSE(window->Runner()->Running());
    server.thaw();
}

TEST_F(FaultWindow, ADropDuringFolderCreationEndsTheBatchOnce)
{
    server.setListing(line("-", 1, "x"));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(WriteFileBytes(dir.filePath("up/sub/a.txt"), "a") || (QDir().mkpath(dir.filePath("up/sub"))
                                                                       && WriteFileBytes(dir.filePath("up/sub/a.txt"), "a")));
    server.dropOn("MKD");
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    WhenModal<frmFileConfirm>([](frmFileConfirm &list) { list.CmdDo->click(); });
    window->Batch()->PrepareUploads({dir.filePath("up")}, 0, true, false);
    expectEndedWithOneMessage();
}

TEST_F(FaultWindow, ADropDuringAWalkEndsItOnceAndNothingStarts)
{
    server.setListing(line("d", 0, "walked"));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    selectRemote({"walked"});
    server.dropOn("CWD");
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    expectEndedWithOneMessage();
    EXPECT_TRUE(prompts.messageTexts().value(0).contains("\"/walked\"")) << prompts.messageTexts().value(0).toStdString();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(FaultWindow, TheUserStopsASlowWalkAndNothingIsTransferredOrDeleted)
{
    // A deep tree listed slowly: every folder holds a folder and a file.
    server.setListing(line("d", 0, "d") + line("-", 10, "f"));
    server.setFileData("0123456789");
    server.on("CWD", [](const QByteArray &path) {
        return path.count('/') > 40 ? ScriptedFtpServer::Reply{{"550 Too deep.\r\n", 0}}
                                    : ScriptedFtpServer::Reply{{"250 OK.\r\n", 100}};
    });
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    // Any confirmation list would mean the walk went on to a batch.
    int lists = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (auto *list = qobject_cast<frmFileConfirm *>(QApplication::activeModalWidget())) {
            ++lists;
            list->cmdCnc_Click();
        }
    });
    watchdog.start(10);

    selectRemote({"d", "f"});
    prompts.expectMessage(frmProgress::kStopWalkText, PromptButton::No)
        .expectMessage(frmProgress::kStopWalkText, PromptButton::Yes)
        .expectMessage(frmProgress::kStopDeleteWalkText, PromptButton::Yes); // the delete's speaks of deleting
    WhenModal<frmProgress>([](frmProgress &shown) {
        shown.close(); // No: the walk goes on
        EXPECT_TRUE(shown.isVisible());
        QTest::keyClick(&shown, Qt::Key_Escape); // Yes
    });
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(server.commandCount("RETR"), 0);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_GE(server.commandCount("CWD /d"), 1);
    EXPECT_LT(server.commandCount("CWD /d/d/d/d/d/d/d/d/d/d"), 1);
    EXPECT_EQ(window->Slot(0)->SlotRemotePath(), "/"); // back where it was
    EXPECT_FALSE(window->ModalState());

    // The same for a delete, stopped with Escape at once.
    ASSERT_TRUE(waitFor([&] { return window->Remote(0)->Model->size() > 0; }));
    selectRemote({"d", "f"});
    WhenModal<frmProgress>([](frmProgress &shown) { QTest::keyClick(&shown, Qt::Key_Escape); });
    window->Batch()->HandleFileDeletes(0);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(server.commandCount("DELE"), 0);
    EXPECT_EQ(server.commandCount("RMD"), 0);
    EXPECT_EQ(lists, 0);
    EXPECT_TRUE(prompts.allUsed());
    // No error message: only the three questions.
    EXPECT_EQ(prompts.messageTexts(), QStringList({frmProgress::kStopWalkText, frmProgress::kStopWalkText,
                                                   frmProgress::kStopDeleteWalkText}));
}

TEST_F(FaultWindow, AHostileTreeIsWalkedInsideTheChosenFolderOnly)
{
    const QByteArray deep(250, 'd');
    const QByteArray data = PatternBytes(3000);
    QByteArray listing = line("d", 0, deep) + line("d", 0, "..") + line("-", 3000, "../x") + line("-", 3000, "a/b")
                       + line("-", 3000, "cr\rname") + line("-", 3000, QByteArray(255, 'n'))
                       + line("-", 3000, QByteArray(256, 'm'));
    server.setListing(listing); // every folder holds the same, a sub-folder included
    server.setFileData(data);
    ASSERT_TRUE(connect());
    const QString chosen = dir.filePath("chosen");
    ASSERT_TRUE(QDir().mkpath(chosen));
    ASSERT_TRUE(window->Local()->LoadLocalFolders(chosen));
    selectRemote({QString::fromLatin1(deep)});
    ASSERT_EQ(window->Remote(0)->RightView->selectionModel()->selectedRows().size(), 1);
    WhenModal<frmFileConfirm>([](frmFileConfirm &list) { list.CmdDo->click(); });
    // Names too long for a local file cannot be written: told at the end.
    prompts.expectMessage("files were not transferred:", PromptButton::Ok);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }, 60000));

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"chosen"});
    QDirIterator it(chosen, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir::cleanPath(it.next());
        EXPECT_TRUE(path.startsWith(chosen + "/")) << path.toStdString();
    }
    const QString top = chosen + "/" + QString::fromLatin1(deep);
    EXPECT_EQ(ReadFileBytes(top + "/" + QString(255, 'n')), data);
    EXPECT_FALSE(QFileInfo::exists(top + "/" + QString(256, 'm')));
    for (const QByteArray &command : server.commands()) {
        EXPECT_FALSE(command.contains('\r') || command.contains('\n'));
        EXPECT_FALSE(command.contains("../x") || command.contains("a/b")) << command.constData();
    }
    // The walk stopped before remote paths of 4,096 bytes.
    int deepest = 0;
    for (const QByteArray &command : server.commands())
        if (command.startsWith("CWD "))
            deepest = std::max(deepest, static_cast<int>(command.size()) - 4);
    EXPECT_LT(deepest, 4096);
    EXPECT_GT(deepest, 3000);
}

} // namespace

namespace {

// 250 files: each costs the scripted server tens of milliseconds, and the suite must stay fast.
TEST_F(FaultWindow, ManyFilesListNothingPerFileAndReloadTheLocalPaneOnce)
{
    QByteArray listing;
    QStringList names;
    for (int i = 0; i < 250; ++i) {
        names << QStringLiteral("n%1").arg(i, 4, 10, QLatin1Char('0'));
        listing += line("-", 4, names.last().toLatin1());
    }
    server.setListing(listing);
    server.setFileData("data");
    ASSERT_TRUE(connect());
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    window->Remote(0)->RightView->selectAll();
    const qsizetype listsBefore = server.commands().count("LIST");
    QObject watching; // the counts are not touched once the test is over
    int reloads = 0;
    QObject::connect(window->Local()->Model, &QAbstractItemModel::modelReset, &watching, [&] { ++reloads; });
    int remoteRebuilds = 0;
    QObject::connect(window->Remote(0)->Model, &QAbstractItemModel::modelReset, &watching, [&] { ++remoteRebuilds; });
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }, 60000));
    EXPECT_EQ(server.commands().count("LIST"), listsBefore);
    EXPECT_EQ(remoteRebuilds, 0);
    EXPECT_LE(reloads, 2); // cleared and filled once
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 250);
    EXPECT_TRUE(prompts.shown().empty());
}

} // namespace


namespace {

// A copy between the scripted server (slot 0) and a real one (slot 1).
struct CopyFaults : FaultWindow
{
    PyFtpServer real;

    bool connectBoth()
    {
        server.on("ABOR", "226 Abort successful."); // as real servers answer it
        if (!real.start())
            return false;
        window->ShowDual(true);
        if (!connect())
            return false;
        window->Slots()->UseProfile(1, ServerProfile(real), true);
        return waitFor([&] {
            ServerSlot *s = window->Slot(1);
            return s->SessionActive() && !s->IsBusy() && !s->SlotRemotePath().isEmpty();
        });
    }

    bool bothIdle()
    {
        return waitFor([&] {
            return !window->Runner()->Running() && !window->Slot(0)->IsBusy() && !window->Slot(1)->IsBusy();
        }, 10000);
    }
};

TEST_F(CopyFaults, ATargetRefusingTheStoreEndsTheSourceAtOnce)
{
    server.setListing(line("-", 10, "x"));
    server.on("STOR", "550 Refused.");
    server.on("SIZE", "550 No such file."); // nothing of the name is there
    ASSERT_TRUE(real.writeFile("src.bin", PatternBytes(200000)));
    ASSERT_TRUE(connectBoth());
    window->Remote(1)->RightView->selectAll();
    prompts.expectMessage("was not copied", PromptButton::Ok);
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(1));
    ASSERT_TRUE(bothIdle());
    EXPECT_FALSE(window->Slots()->CopyRunning());
    EXPECT_TRUE(window->Slot(0)->SessionActive());
    EXPECT_TRUE(window->Slot(1)->SessionActive());
    // The user is told which file and why.
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains("\"/src.bin\" was not copied"));
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains("Target server: 550 Refused."));
}

} // namespace

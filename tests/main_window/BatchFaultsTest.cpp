#include "frmZAVUde.h"

#include "BatchFailures.h"
#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "FtpCommander.h"
#include "FtpTask.h"
#include "JobAccount.h"
#include "JobCommands.h"
#include "JobDispatcher.h"
#include "JobQueuePane.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "OptionFlags.h"
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
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>

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

    // The whole 100000-byte file is being downloaded with the progress display
    // closed, and the server has stopped in it: the batch runs in the background.
    void startBackgroundDownloadThatStalls()
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
    ASSERT_NO_FATAL_FAILURE(startBackgroundDownloadThatStalls());
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
    ASSERT_NO_FATAL_FAILURE(startBackgroundDownloadThatStalls());
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

// A folder the server enters but cannot read ends its listing empty, as a
// success, saying so in words (vsftpd in one line, pure-ftpd in several), or
// in none, as proftpd, whose MLSD then refuses it: the delete never takes it
// for empty, so nothing in or above it is deleted.
struct UnreadFolderDelete : FaultWindow, ::testing::WithParamInterface<std::pair<const char *, QByteArray>>
{
};

TEST_P(UnreadFolderDelete, NothingIsDeletedAndTheWalkSaysItEnded)
{
    const QByteArray unreadEnd = GetParam().second; // none: as proftpd's
    server.on("CWD", [this, unreadEnd](const QByteArray &path) {
        server.setListing(path == "/"    ? line("d", 0, "d")
                          : path == "/d" ? line("-", 3, "f.txt") + line("d", 0, "locked")
                                         : QByteArray());
        server.setTransferDoneReply(path == "/d/locked" && !unreadEnd.isEmpty() ? unreadEnd
                                                                                : QByteArray("226 Directory send OK."));
        return ScriptedFtpServer::Reply{{"250 Directory successfully changed.\r\n", 0}};
    });
    server.on("FEAT", "211-Features:\r\n MDTM\r\n MLST type*;size*;modify*;perm*;\r\n SIZE\r\n211 End");
    server.on("MLSD", "550 /d/locked: Permission denied");
    ASSERT_TRUE(connect());
    // Were the walk to go on to a batch, its confirmation list is run as the user would.
    int lists = 0;
    QTimer confirm;
    QObject::connect(&confirm, &QTimer::timeout, [&] {
        if (auto *list = qobject_cast<frmFileConfirm *>(QApplication::activeModalWidget())) {
            ++lists;
            list->CmdDo->click();
        }
    });
    confirm.start(10);
    prompts.expectMessage(BatchRunner::kTerminatedText
                              + "\r\nThe folder \"/d/locked\" could not be listed; nothing was deleted.",
                          PromptButton::Ok);
    selectRemote({"d"});
    window->Batch()->HandleFileDeletes(0);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(server.commandCount("DELE"), 0);
    EXPECT_EQ(server.commandCount("RMD"), 0);
    EXPECT_EQ(lists, 0);
    EXPECT_TRUE(prompts.allUsed());
    // Asked only where the listing left it open.
    EXPECT_EQ(server.commandCount("MLSD"), unreadEnd.isEmpty() ? 1 : 0);

    // A download of the folder names it too, and fetches what could be listed.
    server.setFileData("abc");
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    prompts.expectMessage(BatchRunner::kTerminatedText + "\r\nThe folder \"/d/locked\" could not be listed.",
                          PromptButton::Ok);
    selectRemote({"d"});
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(dir.filePath("d/f.txt")), "abc");
}

INSTANTIATE_TEST_SUITE_P(Servers, UnreadFolderDelete,
                         ::testing::Values(std::pair("OneLine", ScriptedFtpServer::kVsftpdUnreadFolder),
                                           std::pair("MultiLine", ScriptedFtpServer::kPureFtpdUnreadFolder),
                                           std::pair("MachineListingRefused", QByteArray())),
                         [](const auto &info) { return std::string(info.param.first); });

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

const QByteArray k426 = "426 Connection closed; transfer aborted.\r\n";
const QByteArray k257 = "257 \"/\" is the current directory.\r\n";
const QByteArray k150 = "150 Opening BINARY mode data connection.\r\n";

// Six files through an immediate batch or as jobs on one connection; the
// first ends early as each test says. The other five must arrive whole and
// be shown done: the batch's message names only the first, the jobs say
// "Completed".
struct SixFiles : FaultWindow
{
    QStringList names;
    std::vector<std::shared_ptr<FtpTask>> jobs;
    QHash<QByteArray, QByteArray> stored;

    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }

    void name(const char *prefix)
    {
        for (int i = 0; i < 6; ++i)
            names << QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(i);
    }

    // Six files "f0".."f5" of `content` to download; RETR is refused midway,
    // with its data connection open, until the rule is taken off.
    void serveFilesRefusingMidway(const QByteArray &content)
    {
        name("f");
        QByteArray listing;
        for (const QString &file : names)
            listing += line("-", content.size(), file.toLatin1());
        server.setListing(listing);
        server.setFileData(content);
        server.on("RETR", ScriptedFtpServer::Reply{{k150, 0}, {"551 Read error.\r\n", 30}});
    }

    void transfer(bool upload, bool asJobs,
                  const QString &batchMessage = QStringLiteral("1 of 6 files were not transferred:"))
    {
        if (asJobs) {
            JobDispatcher &dispatcher = window->JobControl()->Dispatcher();
            dispatcher.setConnectionLimit(1);
            const JobAccount account{server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")};
            for (const QString &file : names) {
                jobs.push_back(account.job(upload, dir.path(), QStringLiteral("/"), file));
                ASSERT_TRUE(window->Jobs()->AddJob(jobs.back()));
                jobs.back()->setLocked(false);
            }
            dispatcher.RunQueuedJobs();
            ASSERT_TRUE(waitFor([&] {
                return std::all_of(jobs.cbegin(), jobs.cend(), [](const auto &job) { return job->Status() >= 2; })
                       && !dispatcher.LinkedJob(0);
            }));
            return;
        }
        ASSERT_TRUE(connect());
        ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
        prompts.expectMessage(batchMessage, PromptButton::Ok);
        if (upload) {
            QStringList paths;
            for (const QString &file : names)
                paths << dir.filePath(file);
            window->Batch()->PrepareUploads(paths, 0, true, false);
        } else {
            selectRemote(names);
            window->Batch()->HandleFileDownloads(0, true, false, false);
        }
        ASSERT_TRUE(waitFor([&] {
            return !prompts.messageTexts().isEmpty() && !window->Runner()->Running() && !window->Slot(0)->IsBusy();
        }));
    }

    // What each STOR stored, by the path it named.
    const QHash<QByteArray, QByteArray> &keepStored()
    {
        QObject::connect(&server, &ScriptedFtpServer::dataTransferFinished, &server, [this] {
            const QList<QByteArray> commands = server.commands();
            for (auto it = commands.crbegin(); it != commands.crend(); ++it) {
                if (it->startsWith("STOR ")) {
                    stored.insert(it->mid(5), server.storedData());
                    return;
                }
            }
        });
        return stored;
    }

    void expectOnlyTheFirstFailed(bool asJobs)
    {
        if (asJobs) {
            EXPECT_EQ(jobs.at(0)->Status(), 3);
            for (size_t i = 1; i < jobs.size(); ++i)
                EXPECT_EQ(GetJobStatusText(*jobs[i], true).toStdString(), "Completed") << names[i].toStdString();
            return;
        }
        ASSERT_EQ(prompts.messageTexts().size(), 1);
        const QString text = prompts.messageTexts().constFirst();
        EXPECT_TRUE(text.contains(QLatin1Char('"') + names[0] + QLatin1Char('"'))) << text.toStdString();
        for (qsizetype i = 1; i < names.size(); ++i)
            EXPECT_FALSE(text.contains(QLatin1Char('"') + names[i] + QLatin1Char('"'))) << text.toStdString();
    }
};

struct AbortAnswer {
    const char *name;
    ScriptedFtpServer::Reply abor;
    ScriptedFtpServer::Reply pwd; // the abort's end marker
    QByteArray beforeNextDate;    // said just before the next file's MDTM reply
};

const AbortAnswer kAbortAnswers[] = {
    {"TransfersAndAbortsReply", {{k426, 0}, {"226 Abort successful.\r\n", 0}}, {{k257, 0}}},
    {"MarkerRefused", {{k426, 0}, {"226 Abort successful.\r\n", 0}}, {{"500 Unknown command.\r\n", 0}}},
    {"PreliminaryBeforeTheMarkersReply", {{k426, 0}, {"226 Abort successful.\r\n", 0}}, {{k150, 0}, {k257, 0}}},
    {"PreliminaryAfterTheMarkersReply", {{"225 ABOR command successful.\r\n", 0}}, {{k257, 0}, {k150, 100}}},
    {"TransfersRefusalAfterTheMarkersReply", {{"225 ABOR command successful.\r\n", 0}}, {{k257, 0}, {k426, 100}}},
    {"TransfersRefusalBeforeTheNextDate", {{"225 ABOR command successful.\r\n", 0}}, {{k257, 0}}, k426},
};

struct AbortOrders : SixFiles, ::testing::WithParamInterface<std::tuple<int, bool>>
{
};

} // namespace

// A download refused midway with its data connection open is aborted; the
// server answers the abort and its end marker in each order of the table.
TEST_P(AbortOrders, TheFiveFilesAfterTheRefusedOneArriveWholeInTheSameSession)
{
    const auto [row, asJobs] = GetParam();
    const AbortAnswer &answer = kAbortAnswers[row];
    const QByteArray content = PatternBytes(50000);
    // The first RETR is refused midway, and the first abort answered as the
    // row says; later ones get the plain replies.
    serveFilesRefusingMidway(content);
    server.on("ABOR", answer.abor);
    QMap<QByteArray, int> seen;
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [&](const QByteArray &command) {
        const QByteArray verb = command.left(4).toUpper();
        const int n = ++seen[verb];
        if ((verb == "RETR" || verb == "ABOR") && n == 2)
            server.off(verb);
        if (verb == "ABOR" && n == 1)
            server.on("PWD", answer.pwd);
        if (verb == "PWD" && seen.value("ABOR") == 1)
            QTimer::singleShot(0, &server, [&] { server.off("PWD"); });
        if (verb == "MDTM" && seen.value("ABOR") == 1 && !answer.beforeNextDate.isEmpty()) {
            server.on("MDTM", ScriptedFtpServer::Reply{{answer.beforeNextDate, 0}, {"213 20090830120000\r\n", 0}});
            QTimer::singleShot(0, &server, [&] { server.off("MDTM"); });
        }
    });
    transfer(false, asJobs);
    expectOnlyTheFirstFailed(asJobs);
    for (qsizetype i = 1; i < names.size(); ++i)
        EXPECT_TRUE(ReadFileBytes(dir.filePath(names[i])) == content) << names[i].toStdString();
    EXPECT_EQ(server.connectionCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(ServerOrders, AbortOrders,
                         ::testing::Combine(::testing::Range(0, int(std::size(kAbortAnswers))), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>> &info) {
                             return std::string(kAbortAnswers[std::get<0>(info.param)].name)
                                    + (std::get<1>(info.param) ? "AsJobs" : "InABatch");
                         });

namespace {

// A server that answers every ABOR out of the usual order: ABOR's own reply,
// or a stray one, comes right before the reply to the command after the abort's end marker.
struct StrayAbortReply {
    const char *name;
    ScriptedFtpServer::Reply abor;
    QByteArray beforeTheNextReply;
};

const StrayAbortReply kStrayAbortReplies[] = {
    {"AbortsReplyAfterTheMarkersReply", {}, "225 ABOR command successful."},
    {"StrayTransferReplyBeforeTheNextReply", {{"225 ABOR command successful.\r\n", 0}}, "226 Transfer complete."},
};

// Downloads through a batch, downloads or uploads as jobs.
enum class Route { Batch, DownloadJobs, UploadJobs };
const char *const kRouteNames[] = {"InABatch", "AsJobs", "AsUploadJobs"};

struct StrayAbortReplies : SixFiles, ::testing::WithParamInterface<std::tuple<int, Route>>
{
};

const QString kOutOfOrder = QStringLiteral("The server's replies could not be put in order");

} // namespace

// A download refused midway, or an upload refused outright, is aborted, and
// each abort leaves a reply that the next command takes for its own, so
// getting back in step takes another abort, and so on. A few tries end the
// session, saying why; the job it ended runs again in a new session, and it
// and the jobs after it arrive whole.
TEST_P(StrayAbortReplies, AFewAbortsEndTheSessionSayingWhyAndLaterJobsArriveWhole)
{
    const auto [row, route] = GetParam();
    const StrayAbortReply &stray = kStrayAbortReplies[row];
    const QByteArray content = PatternBytes(50000);
    const bool upload = route == Route::UploadJobs;
    const QByteArray verb = upload ? "STOR" : "RETR";
    if (upload) {
        name("u");
        for (const QString &file : names)
            ASSERT_TRUE(WriteFileBytes(dir.filePath(file), content));
        server.on("STOR", "552 Insufficient storage space.");
    } else {
        serveFilesRefusingMidway(content);
    }
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [&](const QByteArray &command) {
        if (command.startsWith(verb) && server.commandCount(verb) == 2)
            server.off(verb); // only the first is refused
    });
    const QHash<QByteArray, QByteArray> &stored = keepStored();
    server.on("ABOR", stray.abor);
    server.on("PWD", [&](const QByteArray &) {
        const QList<QByteArray> commands = server.commands();
        if (commands.size() >= 2 && commands.at(commands.size() - 2) == "ABOR")
            server.sayBeforeNextReply(stray.beforeTheNextReply);
        return ScriptedFtpServer::Reply{{k257, 0}};
    });
    const int tries = window->Slot(0)->FtpCmd()->MaxConnectionTry();
    if (route == Route::Batch) {
        transfer(false, false, kOutOfOrder);
        ASSERT_EQ(prompts.messageTexts().size(), 1);
        const QString text = prompts.messageTexts().constFirst();
        // The engine's reason heads the message, not a lost connection.
        EXPECT_EQ(text.section(QLatin1Char('\n'), 0, 0),
                  kOutOfOrder + QStringLiteral(" (its reply \"%1\" does not answer MDTM); the session was ended.")
                                    .arg(QLatin1String(stray.beforeTheNextReply)));
        EXPECT_FALSE(text.contains(BatchFailures::kLostText)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\"f0\": 551 Read error."))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\"f1\": ") + kOutOfOrder)) << text.toStdString();
        EXPECT_FALSE(window->Slot(0)->SessionActive());
    } else {
        transfer(upload, true);
        expectOnlyTheFirstFailed(true);
        const LogPane *log = window->FtpLogger(0);
        bool logged = false;
        for (int i = 1; i <= log->GetCount(); ++i)
            logged = logged || log->getLog(i).contains(kOutOfOrder);
        EXPECT_TRUE(logged);
        for (qsizetype i = 1; i < names.size(); ++i) {
            const QByteArray arrived = upload ? stored.value("/" + names[i].toLatin1())
                                              : ReadFileBytes(dir.filePath(names[i]));
            EXPECT_TRUE(arrived == content) << names[i].toStdString();
        }
        EXPECT_EQ(server.connectionCount(), 2);
    }
    EXPECT_LE(server.commandCount("ABOR"), 1 + tries);
}

INSTANTIATE_TEST_SUITE_P(EveryAbort, StrayAbortReplies,
                         ::testing::Combine(::testing::Range(0, int(std::size(kStrayAbortReplies))),
                                            ::testing::Values(Route::Batch, Route::DownloadJobs, Route::UploadJobs)),
                         [](const ::testing::TestParamInfo<std::tuple<int, Route>> &info) {
                             return std::string(kStrayAbortReplies[std::get<0>(info.param)].name)
                                    + kRouteNames[int(std::get<1>(info.param))];
                         });

namespace {

struct ShrunkUpload : SixFiles, ::testing::WithParamInterface<bool>
{
};

} // namespace

// An upload whose local file shrinks while it is sent ends before its
// server's 226. The server answers each later command before that 226, as
// pyftpdlib was seen to, and refuses to list or size files it does not hold.
TEST_P(ShrunkUpload, TheNextFilesArriveWholeAndAreShownDone)
{
    const bool asJobs = GetParam();
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true); // the batch asks for each file first
    name("u");
    server.setListing(line("-", 1, "held.txt"));
    for (qsizetype i = 0; i < names.size(); ++i)
        ASSERT_TRUE(WriteFileBytes(dir.filePath(names[i]), PatternBytes(i == 0 ? 32 << 20 : 20000 + int(i))));
    keepStored();
    const auto held = [&](const QByteArray &path, const QByteArray &found) {
        return stored.contains(path) ? found : QByteArray("550 No such file.");
    };
    server.on("SIZE", [&](const QByteArray &path) {
        return ScriptedFtpServer::Reply{{held(path, "213 " + QByteArray::number(stored.value(path).size())) + "\r\n", 0}};
    });
    server.on("STAT", [&](const QByteArray &path) {
        return ScriptedFtpServer::Reply{{held(path, "213 -rw-r--r-- 1 o g 1 Jan 01 2024 x") + "\r\n", 0}};
    });
    server.on("ABOR", QByteArray("225 ABOR command successful; data channel closed."));
    server.setStallAfter(64 * 1024);
    QObject::connect(&server, &ScriptedFtpServer::frozen, &server, [&] {
        QTimer::singleShot(0, &server, [&] {
            QFile first(dir.filePath(names[0]));
            ASSERT_TRUE(first.resize(100000));
            server.thaw();
        });
    });
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [&](const QByteArray &command) {
        if (command.startsWith("STOR") && server.commandCount("STOR") == 1)
            server.holdFinalReply();
        else if (server.finalReplyHeld())
            QTimer::singleShot(0, &server, [&] { server.releaseFinalReply(); });
    });
    transfer(true, asJobs);
    expectOnlyTheFirstFailed(asJobs);
    for (qsizetype i = 1; i < names.size(); ++i)
        EXPECT_TRUE(stored.value("/" + names[i].toLatin1()) == ReadFileBytes(dir.filePath(names[i])))
            << names[i].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Routes, ShrunkUpload, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "AsJobs" : "InABatch");
                         });

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

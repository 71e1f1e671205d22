#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "FtpCommander.h"
#include "FtpStatusStrip.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "OptionFlags.h"
#include "ModalHolders.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "ServerCopy.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "TestFiles.h"
#include "WhenModal.h"
#include "frmFileConfirm.h"
#include "frmOverwrite.h"
#include "frmProgress.h"

#include <QDir>
#include <QDirIterator>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <csignal>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// Files below a folder, relative, sorted.
QStringList treeOf(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The real main window on a real server, passive or active.
struct BatchWindow : ::testing::TestWithParam<bool>
{
    PyFtpServer server;
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QStringList commands;

    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        window = std::make_unique<frmZAVUde>();
        window->show();
        QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent,
                         [this](const QString &, const QString &command) { commands << command; });
    }

    CProfile profile(const PyFtpServer &on) const
    {
        CProfile p = ServerProfile(on);
        p.IsPassive = GetParam() ? 1 : 0;
        return p;
    }

    bool connect(int slot, const PyFtpServer &on)
    {
        window->Slots()->UseProfile(slot, profile(on), true);
        return waitFor([&] {
            ServerSlot *s = window->Slot(slot);
            return s->SessionActive() && !s->IsBusy() && !s->SlotRemotePath().isEmpty();
        });
    }

    bool refreshed(int slot = 0)
    {
        ServerSlot *s = window->Slot(slot);
        s->RefreshListing();
        return waitFor([&] { return !s->IsBusy(); });
    }

    void selectRemote(const QStringList &names, int slot = 0)
    {
        RemotePane *pane = window->Remote(slot);
        pane->RightView->selectionModel()->clearSelection();
        for (int r = 0; r < pane->Model->size(); ++r) {
            if (names.contains(pane->Model->row(r).Text))
                pane->RightView->selectionModel()->select(pane->Model->index(r, 0),
                                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &c : commands)
            n += c.startsWith(prefix);
        return n;
    }

    static void runNow(frmFileConfirm &list) { list.CmdDo->click(); }
};

TEST_P(BatchWindow, UploadsATreeMakingMissingFoldersAndGoingOnPastARefusedOne)
{
    ASSERT_TRUE(connect(0, server));
    const QString up = dir.filePath("up");
    QMap<QString, QByteArray> files;
    files["up/a/x.bin"] = PatternBytes(70000);
    files["up/a/b/y.bin"] = PatternBytes(3);
    for (int i = 0; i < 8; ++i)
        files[QStringLiteral("up/z%1.txt").arg(i)] = PatternBytes(100 + i);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QDir().mkpath(QFileInfo(dir.filePath(it.key())).absolutePath());
        ASSERT_TRUE(WriteFileBytes(dir.filePath(it.key()), it.value()));
    }
    ASSERT_TRUE(server.makeFolder("up/a")); // its MKD is refused; the batch goes on

    WhenModal<frmFileConfirm>(runNow);
    window->Batch()->PrepareUploads({up}, 0, true, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        EXPECT_EQ(server.readFile(it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(count("STOR"), 10);
    EXPECT_EQ(count("MKD"), 3);
    EXPECT_FALSE(window->ModalState());
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_P(BatchWindow, DownloadsAWalkedTreeIntoAnEmptyFolderAndDeletesInOrder)
{
    ASSERT_TRUE(server.writeFile("t/a.txt", PatternBytes(5000)));
    ASSERT_TRUE(server.writeFile("t/s/b.txt", PatternBytes(17)));
    ASSERT_TRUE(server.writeFile("t/s/u/c.txt", PatternBytes(90000)));
    ASSERT_TRUE(server.writeFile("top.txt", "top"));
    ASSERT_TRUE(connect(0, server));
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));

    selectRemote({"t", "top.txt"});
    WhenModal<frmFileConfirm>(runNow);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(treeOf(dir.path()), QStringList({"t/a.txt", "t/s/b.txt", "t/s/u/c.txt", "top.txt"}));
    EXPECT_EQ(ReadFileBytes(dir.filePath("t/s/u/c.txt")), PatternBytes(90000));
    EXPECT_EQ(ReadFileBytes(dir.filePath("t/a.txt")), PatternBytes(5000));
    // The local pane shows what arrived; the remote pane is back where it was.
    EXPECT_GE(window->Local()->Model->findKey("Dir0"), 0);
    EXPECT_EQ(window->Slot(0)->SlotRemotePath(), "/");
    EXPECT_GT(window->Remote(0)->Model->size(), 0);

    // A new folder after the walk makes that folder only.
    commands.clear();
    prompts.expectInput(QString(), QString("fresh"));
    window->Slot(0)->MakeFolder();
    ASSERT_TRUE(waitFor([&] { return server.exists("fresh") && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(count("MKD"), 1);

    // Delete a/b/c.txt: the file, then the deepest folder, then its parent.
    ASSERT_TRUE(server.writeFile("a/b/c.txt", "c"));
    ASSERT_TRUE(refreshed());
    commands.clear();
    selectRemote({"a"});
    WhenModal<frmFileConfirm>(runNow);
    window->Batch()->HandleFileDeletes(0);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    QStringList removals;
    for (const QString &c : commands)
        if (c.startsWith("DELE") || c.startsWith("RMD"))
            removals << c;
    EXPECT_EQ(removals, QStringList({"DELE /a/b/c.txt", "RMD /a/b", "RMD /a"}));
    EXPECT_FALSE(server.exists("a"));
    EXPECT_TRUE(prompts.allUsed());
}

// The walk lists folders through the pane's connection; when the pane comes
// back to its folder from the listing cache, nothing of the walk's listing
// stays on the idle connection's status line.
TEST_P(BatchWindow, AWalkedDownloadLeavesNoBusyBarBehind)
{
    const bool cacheWasOn = IsOptionOn(OptionFlag::UseListingCache);
    SetOptionFlag(OptionFlag::UseListingCache, true);
    ASSERT_TRUE(server.writeFile("t/a.txt", PatternBytes(5000)));
    ASSERT_TRUE(server.writeFile("t/s/b.txt", PatternBytes(17)));
    ASSERT_TRUE(connect(0, server));
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    RemotePane *pane = window->Remote(0);
    EXPECT_TRUE(pane->Progress->isHidden());

    bool barShown = false;
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::DataPacket, pane,
                     [&] { barShown = barShown || !pane->Progress->isHidden(); });
    selectRemote({"t"});
    WhenModal<frmFileConfirm>(runNow);
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(treeOf(dir.path()), QStringList({"t/a.txt", "t/s/b.txt"}));
    EXPECT_EQ(window->Slot(0)->SlotRemotePath(), "/");
    EXPECT_TRUE(barShown); // the walk's listings were shown coming
    EXPECT_TRUE(pane->Progress->isHidden());
    SetOptionFlag(OptionFlag::UseListingCache, cacheWasOn);
}

TEST_P(BatchWindow, CloseLetsTheBatchFinishAndClosingTheWindowEndsItQuietly)
{
    QStringList names;
    for (int i = 0; i < 12; ++i) {
        names << QStringLiteral("f%1.bin").arg(i, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(server.writeFile(names.last(), PatternBytes(20000 + i)));
    }
    ASSERT_TRUE(connect(0, server));
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    selectRemote(names);
    // The server is held until the display is closed, so the batch cannot end with it first.
    const auto pid = static_cast<pid_t>(server.processId());
    ::kill(pid, SIGSTOP);
    WhenModal<frmProgress>([pid](frmProgress &progress) {
        progress.Command1->click();
        ::kill(pid, SIGCONT);
    });
    window->Batch()->HandleFileDownloads(0, true, false, false);
    EXPECT_TRUE(window->Runner()->Running()); // the display is gone, the batch is not
    EXPECT_FALSE(window->ModalState());
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFileBytes(dir.filePath(names[i])), PatternBytes(20000 + i));
    EXPECT_EQ(window->Local()->Model->size(), names.size());

    // Again, and the window closes while the batch runs: one question, no error.
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path());
    ASSERT_TRUE(waitFor([&] { return !window->Slot(0)->IsBusy(); }));
    // The server stops at the first file, so the batch is still running when the window closes.
    bool stopped = false;
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                     [&](const QString &, const QString &command) {
                         if (!stopped && command.startsWith("RETR"))
                             stopped = ::kill(pid, SIGSTOP) == 0;
                     });
    WhenModal<frmProgress>([](frmProgress &progress) { progress.Command1->click(); });
    window->Batch()->HandleFileDownloads(0, true, false, false);
    ASSERT_TRUE(window->Runner()->Running());
    // The download's first commands (TYPE, SIZE, PASV) may still be under way.
    ASSERT_TRUE(waitFor([&] { return stopped; }));
    prompts.expectMessage("Disconnect and exit", PromptButton::Yes);
    window->ExitProgram();
    ::kill(pid, SIGCONT);
    EXPECT_FALSE(window->Runner()->Running());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), 1u);
}

TEST_P(BatchWindow, CopiesAFileBetweenTwoServers)
{
    PyFtpServer other;
    ASSERT_TRUE(other.start());
    ASSERT_TRUE(server.writeFile("readme.txt", PatternBytes(40000)));
    window->ShowDual(true);
    ASSERT_TRUE(connect(0, server));
    selectRemote({"readme.txt"});
    // The other side is not logged in: nothing happens.
    EXPECT_FALSE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(connect(1, other));
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    EXPECT_FALSE(window->Runner()->Copy().CmdToFTP_Click(0)); // one copy at a time
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));
    ASSERT_TRUE(waitFor([&] { return other.readFile("readme.txt") == PatternBytes(40000); }));
    EXPECT_EQ(window->Slot(1)->FtpCmd()->mode(), GetParam() ? 0 : 1);
    ASSERT_TRUE(waitFor([&] { return window->Remote(1)->Model->findKey("F0") >= 0; }));
    // The source's status strip reads the copy as done, not 0.0%.
    const FtpStatusSnapshot strip = window->Remote(0)->Status->snapshot();
    EXPECT_EQ(strip.expectedSize, 40000);
    EXPECT_EQ(strip.bytesDone, 40000);
}

// Lines the slot's log pane holds.
QStringList logLines(frmZAVUde &window, int slot)
{
    QStringList lines;
    LogPane *log = window.FtpLogger(slot);
    for (int i = 1; i <= log->GetCount(); ++i)
        lines << log->getLog(i);
    return lines;
}

TEST_P(BatchWindow, EachCopyButtonCopiesFromItsOwnServerToTheOther)
{
    PyFtpServer other;
    ASSERT_TRUE(other.start());
    ASSERT_TRUE(server.writeFile("one.txt", PatternBytes(3000)));
    ASSERT_TRUE(other.writeFile("two.txt", PatternBytes(5000)));
    window->ShowDual(true);
    ASSERT_TRUE(connect(0, server));
    ASSERT_TRUE(connect(1, other));
    for (QToolButton *button : window->CmdToFTP) {
        EXPECT_TRUE(button->isVisible());
        EXPECT_TRUE(button->isEnabled());
        EXPECT_EQ(button->toolTip(), "Transfer between Server to Server");
    }
    // The pictures show opposite directions.
    EXPECT_NE(window->CmdToFTP[0]->icon().pixmap(20, 20).toImage(), window->CmdToFTP[1]->icon().pixmap(20, 20).toImage());

    // The first pane has the focus; the second server's button still copies from the second server.
    window->Slots()->SetCurrentSlot(0);
    selectRemote({"one.txt"}, 0);
    selectRemote({"two.txt"}, 1);
    window->CmdToFTP[1]->click();
    ASSERT_TRUE(waitFor([&] { return server.readFile("two.txt") == PatternBytes(5000); }));
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
    EXPECT_FALSE(other.exists("one.txt"));

    window->Slots()->SetCurrentSlot(1);
    ASSERT_TRUE(waitFor([&] { return !window->Slot(1)->IsBusy(); }));
    selectRemote({"one.txt"}, 0);
    window->CmdToFTP[0]->click();
    ASSERT_TRUE(waitFor([&] { return other.readFile("one.txt") == PatternBytes(3000); }))
        << "LOG0:\n" << logLines(*window, 0).join('\n').toStdString() << "\nLOG1:\n" << logLines(*window, 1).join('\n').toStdString();
}

TEST_P(BatchWindow, ACopyOntoItselfOrOfAFolderSendsNothing)
{
    // One server, reached as "localhost" by the first pane and as 127.0.0.1 by the second.
    ASSERT_TRUE(server.writeFile("same.bin", PatternBytes(60000)));
    ASSERT_TRUE(server.makeFolder("folder"));
    ASSERT_TRUE(server.makeFolder("sub"));
    QStringList sent;
    for (int slot = 1; slot < 2; ++slot)
        QObject::connect(window->Slot(slot)->FtpCmd(), &FtpCommander::CommandSent,
                         [&sent](const QString &, const QString &command) { sent << command; });
    QObject::connect(window->Slot(0)->FtpCmd(), &FtpCommander::CommandSent,
                     [&sent](const QString &, const QString &command) { sent << command; });
    window->ShowDual(true);
    CProfile byName = profile(server);
    byName.Server = "localhost";
    window->Slots()->UseProfile(0, byName, true);
    ASSERT_TRUE(waitFor([&] { return window->Slot(0)->SessionActive() && !window->Slot(0)->IsBusy()
                                     && !window->Slot(0)->SlotRemotePath().isEmpty(); }));
    ASSERT_TRUE(connect(1, server));
    ASSERT_TRUE(waitFor([&] { return window->Remote(0)->Model->findText("same.bin") >= 0; }));
    sent.clear();

    prompts.expectMessage(ServerCopy::kSameFileText, PromptButton::Ok);
    selectRemote({"same.bin"}, 0);
    window->CmdToFTP[0]->click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(window->Runner()->Running());
    EXPECT_TRUE(sent.isEmpty()) << sent.join('|').toStdString();
    EXPECT_EQ(server.readFile("same.bin"), PatternBytes(60000));

    // A folder: nothing is sent, one line says why.
    selectRemote({"folder"}, 0);
    window->CmdToFTP[0]->click();
    EXPECT_FALSE(window->Runner()->Running());
    EXPECT_TRUE(sent.isEmpty()) << sent.join('|').toStdString();
    EXPECT_EQ(logLines(*window, 0).filter(ServerCopy::kOnlyFilesText).size(), 1);
    EXPECT_TRUE(server.exists("folder"));
    EXPECT_EQ(prompts.shown().size(), 1u);

    // The same server in another folder is another place: the copy runs.
    window->Slot(1)->ChangeFolder("/sub");
    ASSERT_TRUE(waitFor([&] { return window->Slot(1)->SlotRemotePath() == "/sub" && !window->Slot(1)->IsBusy(); }));
    selectRemote({"same.bin"}, 0);
    window->CmdToFTP[0]->click();
    ASSERT_TRUE(waitFor([&] { return server.readFile("sub/same.bin") == PatternBytes(60000); }));
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));
    EXPECT_EQ(server.readFile("same.bin"), PatternBytes(60000));
}

TEST_P(BatchWindow, ACopyOntoAnExistingFileAsksFirstWithoutTheBatchAnswers)
{
    PyFtpServer other;
    ASSERT_TRUE(other.start());
    ASSERT_TRUE(server.writeFile("a.bin", PatternBytes(9000)));
    ASSERT_TRUE(other.writeFile("a.bin", PatternBytes(7)));
    window->ShowDual(true);
    ASSERT_TRUE(connect(0, server));
    ASSERT_TRUE(connect(1, other));
    ASSERT_TRUE(waitFor([&] { return window->Remote(1)->Model->findText("a.bin") >= 0; }));
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    window->Runner()->Questions().SetCountdown(11, 60000);
    BatchAnswers &answers = window->Batch()->Answers;
    answers.UploadOverwriteAll = true; // left from an earlier batch: not this copy's answer

    // Skip: nothing is sent, the target keeps its bytes.
    bool guardHeld = false;
    WhenModal<frmOverwrite>([&](frmOverwrite &question) {
        guardHeld = window->Runner()->Questions().OverwriteQuestionOpen();
        question.CmdStopAll->click();
    });
    selectRemote({"a.bin"}, 0);
    window->CmdToFTP[0]->click();
    EXPECT_TRUE(guardHeld);
    EXPECT_FALSE(window->Runner()->Questions().OverwriteQuestionOpen());
    EXPECT_FALSE(window->Runner()->Running());
    EXPECT_FALSE(answers.UploadSkipAll);
    EXPECT_EQ(other.readFile("a.bin"), PatternBytes(7));

    // Overwrite: the copy runs.
    answers.UploadOverwriteAll = false;
    WhenModal<frmOverwrite>([](frmOverwrite &question) { question.CmdOKAll->click(); });
    window->CmdToFTP[0]->click();
    EXPECT_FALSE(answers.UploadOverwriteAll);
    ASSERT_TRUE(waitFor([&] { return other.readFile("a.bin") == PatternBytes(9000); }));
    ASSERT_TRUE(waitFor([&] { return !window->Runner()->Running(); }));

    // With the option off no question is asked.
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    ASSERT_TRUE(server.writeFile("a.bin", PatternBytes(400)));
    ASSERT_TRUE(waitFor([&] { return !window->Slot(1)->IsBusy() && window->Remote(1)->Model->findText("a.bin") >= 0; }));
    window->CmdToFTP[0]->click();
    ASSERT_TRUE(waitFor([&] { return other.readFile("a.bin") == PatternBytes(400); }));
    EXPECT_TRUE(prompts.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, BatchWindow, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Passive" : "Active"; });

} // namespace

#include "frmZAVUde.h"

#include "BatchTestSupport.h"
#include "FileListView.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

struct WindowFixture : ::testing::Test
{
    PyFtpServer server;
    std::unique_ptr<frmZAVUde> window;
    RecordingBatchSteps steps;
    QTemporaryDir dir;

    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(server.writeFile("remote.txt", "r"));
        window = std::make_unique<frmZAVUde>();
        window->Batch()->setSteps(&steps);
        window->show();
    }

    bool connect(int slot)
    {
        window->Slots()->UseProfile(slot, ServerProfile(server), true);
        return WaitUntil([&] {
            ServerSlot *s = window->Slot(slot);
            return s->SessionActive() && !s->IsBusy() && window->Remote(slot)->Model->size() > 0;
        });
    }

    void selectRemote(int slot)
    {
        RemotePane *pane = window->Remote(slot);
        pane->RightView->selectionModel()->select(pane->Model->index(0, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    QString tag(QToolButton *button) const { return button->property("Tag").toString(); }
};

QList<bool> enabled(const RemotePane *pane)
{
    QList<bool> states;
    for (QAction *item : {pane->MNU_RMT_DNLD, pane->MNU_RMT_JADD, pane->MNU_RMT_JADDEX, pane->MNU_RMT_DEL,
                          pane->MNU_RMT_PASTE, pane->MNU_RMT_PASTEJOB})
        states << item->isEnabled();
    return states;
}

} // namespace

TEST_F(WindowFixture, TheRemoteMenuOffersTransfersByTheSessionAndTheSelection)
{
    const RemotePane *pane = window->Remote(0);
    QStringList captions;
    for (QAction *item : {pane->MNU_RMT_DNLD, pane->MNU_RMT_JADD, pane->MNU_RMT_JADDEX, pane->MNU_RMT_DEL,
                          pane->MNU_RMT_PASTE, pane->MNU_RMT_PASTEJOB})
        captions << item->text();
    EXPECT_EQ(captions, QStringList({"Quick &Download...", "Add As Download Job...", "Add As Download Job [+]...",
                                     "&Delete", "Paste...", "Paste As  Upload Job..."}));
    EXPECT_EQ(enabled(pane), QList<bool>({false, false, false, false, false, false}));

    ASSERT_TRUE(connect(0));
    window->Remote(0)->RightView->selectionModel()->clearSelection();
    EXPECT_EQ(enabled(pane), QList<bool>({false, false, false, false, true, true}));
    selectRemote(0);
    EXPECT_EQ(enabled(pane), QList<bool>({true, true, true, true, true, true})); // the window's job queue
    window->SetJobIntake(nullptr);
    EXPECT_EQ(enabled(pane), QList<bool>({true, false, false, true, true, false})); // no job queue
    RecordedJobs jobs;
    window->SetJobIntake(&jobs);
    EXPECT_EQ(enabled(pane), QList<bool>({true, true, true, true, true, true}));
    window->SetJobIntake(nullptr);

    // The menu bar's local menu offers the pop-up's own commands.
    for (QAction *item : window->Local()->mnuLocal->actions())
        EXPECT_TRUE(window->mnuLocalBar->actions().contains(item)) << item->text().toStdString();
}

TEST_F(WindowFixture, TransferButtonsFollowTheSessionsAndIgnoreClicksWhenOff)
{
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    EXPECT_EQ(tag(window->CmdOut[0]), "D");
    EXPECT_EQ(tag(window->CmdIN[0]), "D");
    EXPECT_FALSE(window->CmdToFTP[0]->isVisible());
    EXPECT_FALSE(window->CmdToFTP[1]->isVisible());
    window->CmdOut_Click(0);
    EXPECT_TRUE(steps.starts.isEmpty());

    ASSERT_TRUE(connect(0));
    EXPECT_EQ(tag(window->CmdOut[0]), "E");
    EXPECT_FALSE(window->CmdOut[0]->icon().isNull());
    EXPECT_EQ(tag(window->CmdOut[1]), "D");
    selectRemote(0);
    if (window->Local()->LocalDriveTakesDownloads()) {
        EXPECT_EQ(tag(window->CmdIN[0]), "E");
        window->CmdIN[0]->click();
        ASSERT_EQ(steps.starts.size(), 1);
        EXPECT_EQ(steps.starts[0].action, "D");
    }

    window->ShowDual(true);
    for (QToolButton *copy : window->CmdToFTP) {
        EXPECT_TRUE(copy->isVisible());
        EXPECT_EQ(copy->toolTip(), "Transfer between Server to Server");
        EXPECT_FALSE(copy->isEnabled());
    }
    ASSERT_TRUE(connect(1));
    EXPECT_TRUE(window->CmdToFTP[0]->isEnabled());
    EXPECT_TRUE(window->CmdToFTP[1]->isEnabled());
    EXPECT_EQ(tag(window->CmdOut[1]), "E");
}

TEST_F(WindowFixture, DropsBetweenThePanesTransferAtOnce)
{
    ASSERT_TRUE(WriteFileBytes(dir.filePath("up.txt"), "u"));
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    ASSERT_TRUE(connect(0));
    FileListView *left = window->Local()->LeftView;
    FileListView *right = window->Remote(0)->RightView;

    // Only our own panes' rows are taken, and only from the other side.
    std::unique_ptr<QMimeData> local(left->makeDragData());
    std::unique_ptr<QMimeData> remote(right->makeDragData());
    EXPECT_EQ(right->acceptedSource(local.get(), left), "local");
    EXPECT_EQ(left->acceptedSource(remote.get(), right), "remote0");
    EXPECT_EQ(left->acceptedSource(local.get(), left), "");
    EXPECT_EQ(window->Remote(1)->RightView->acceptedSource(remote.get(), right), "");
    QMimeData foreign;
    foreign.setUrls({QUrl::fromLocalFile(dir.filePath("up.txt"))});
    EXPECT_EQ(right->acceptedSource(&foreign, nullptr), "");
    EXPECT_EQ(right->acceptedSource(local.get(), nullptr), ""); // another program's drag has no source here

    left->selectionModel()->select(window->Local()->Model->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit right->rowsDropped("local");
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(steps.starts[0].action, "U");
    EXPECT_EQ(window->Batch()->UploadList.at(0).Name, "up.txt");

    selectRemote(0);
    emit left->rowsDropped("remote0");
    ASSERT_EQ(steps.starts.size(), 2);
    EXPECT_EQ(steps.starts[1].action, "D");
    EXPECT_EQ(window->Batch()->TransferList.at(0).LocalFolder, dir.path());
}

TEST_F(WindowFixture, PasteUploadsTheClipboardFilesToALoggedInServerOnly)
{
    ASSERT_TRUE(WriteFileBytes(dir.filePath("one.txt"), "1"));
    ASSERT_TRUE(WriteFileBytes(dir.filePath("two.txt"), "2"));
    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(dir.filePath("one.txt")), QUrl::fromLocalFile(dir.filePath("two.txt"))});
    QApplication::clipboard()->setMimeData(files);

    window->Remote(0)->MNU_RMT_PASTE->setEnabled(true); // as if the menu were open before the session ended
    window->Remote(0)->MNU_RMT_PASTE->trigger();
    EXPECT_TRUE(steps.starts.isEmpty());

    ASSERT_TRUE(connect(0));
    window->Remote(0)->MNU_RMT_PASTE->trigger();
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(steps.starts[0].count, 2);
    EXPECT_TRUE(steps.confirmations.isEmpty());

    QApplication::clipboard()->clear();
    window->Remote(0)->MNU_RMT_PASTE->trigger(); // nothing on the clipboard: nothing, silently
    EXPECT_EQ(steps.starts.size(), 1);
}

TEST_F(WindowFixture, RemoteDeleteAsksFirstAndAVanishedHistoryFolderIsDropped)
{
    ASSERT_TRUE(connect(0));
    selectRemote(0);
    ScriptedPrompts prompts;
    prompts.expectMessage("Delete \"remote.txt\" from the server?", PromptButton::No);
    window->Remote(0)->MNU_RMT_DEL->trigger();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(steps.starts.isEmpty());

    const QString gone = dir.filePath("gone");
    ASSERT_TRUE(QDir().mkpath(gone));
    window->AddToFolderHistory(gone);
    auto listed = [&] {
        for (QAction *item : window->mnuList->actions())
            if (item->text() == gone)
                return true;
        return false;
    };
    ASSERT_TRUE(listed());
    ASSERT_TRUE(QDir(gone).removeRecursively());
    window->mnuList_Click(gone);
    EXPECT_FALSE(listed());
}

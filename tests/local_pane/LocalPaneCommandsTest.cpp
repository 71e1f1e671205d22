#include "LocalPane.h"

#include "KeyedImageList.h"
#include "OptionFlags.h"
#include "ScriptedPrompts.h"
#include "StubWindow.h"
#include "TestFiles.h"
#include "XdgDesktopFiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

class Servers final : public StubWindow
{
public:
    bool ServerConnected(int slot) const override { return connected[slot & 1]; }
    bool SecondPaneShown() const override { return dual; }
    bool connected[2] = {false, false};
    bool dual = false;
};

struct Upload
{
    int slot;
    bool immediate;
    bool asJobs;
    bool operator==(const Upload &) const = default;
};

struct CommandsFixture : ::testing::Test
{
    KeyedImageList images;
    LocalPane pane{images};
    Servers servers;
    bool jobs = true;
    QList<Upload> uploads;
    QStringList picked;
    std::map<int, bool> outButtons;
    QTemporaryDir folder;

    void SetUp() override
    {
        pane.setDriveLister({[] { return QList<LocalDrive>{}; }});
        LocalPane::Host host;
        host.SetInButtonState = [](int, bool) {};
        host.SetOutButtonState = [this](int slot, bool on) { outButtons[slot] = on; };
        host.SlotConnected = [this](int slot) { return servers.connected[slot & 1]; };
        host.SecondPaneShown = [this] { return servers.dual; };
        host.JobsAvailable = [this] { return jobs; };
        host.HandleFileUploads = [this](int slot, bool now, bool asJobs) { uploads.append({slot, now, asJobs}); };
        host.FolderPicked = [this](const QString &path) { picked << path; };
        host.Window = &servers;
        pane.setHost(host);
        ASSERT_TRUE(WriteFileBytes(folder.filePath("a.txt"), "a"));
        ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    }

    void TearDown() override { SetOptionFlag(OptionFlag::EnableShellMenu, false); }

    void selectFirst()
    {
        pane.LeftView->selectionModel()->select(pane.Model->index(0, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    QList<bool> enabled()
    {
        pane.UpdateLocalMenu();
        return {pane.mnuLOC_QUPLOAD->isEnabled(), pane.mnuLOC_UTASK->isEnabled(), pane.mnuLOC_QUPLOAD1->isEnabled(),
                pane.mnuLOC_UTASK1->isEnabled(), pane.mnuLOC_Refresh->isEnabled()};
    }
};

} // namespace

TEST_F(CommandsFixture, PopupItemsFollowSelectionServersAndDualMode)
{
    QStringList captions;
    for (QAction *item : pane.mnuLocal->actions())
        captions << (item->isSeparator() ? "-" : item->text());
    EXPECT_EQ(captions, QStringList({"Quick Upload...", "Add to Jobs...", "-", "Quick Upload (Second Sever)...",
                                     "Add to Jobs (Second Sever)...", "-", "&Refresh"}));

    servers.connected[0] = servers.connected[1] = true;
    EXPECT_EQ(enabled(), QList<bool>({false, false, false, false, true})); // nothing selected
    EXPECT_FALSE(pane.mnusp23->isVisible() || pane.mnuLOC_QUPLOAD1->isVisible() || pane.mnuLOC_UTASK1->isVisible());

    selectFirst();
    servers.connected[1] = false;
    servers.dual = true;
    EXPECT_EQ(enabled(), QList<bool>({true, true, false, false, true}));
    EXPECT_TRUE(pane.mnusp23->isVisible() && pane.mnuLOC_QUPLOAD1->isVisible());
    jobs = false;
    EXPECT_EQ(enabled(), QList<bool>({true, false, false, false, true}));

    pane.mnuLOC_QUPLOAD->trigger();
    pane.mnuLOC_QUPLOAD1->trigger(); // slot 1 is not connected: nothing
    EXPECT_EQ(uploads, QList<Upload>({{0, true, false}}));
}

TEST_F(CommandsFixture, TheMenuKeyOpensThePopupAtTheListsTop)
{
    pane.resize(400, 300);
    pane.show();
    QTest::keyClick(pane.LeftView, Qt::Key_Menu);
    ASSERT_TRUE(pane.mnuLocal->isVisible());
    const QPoint expected = pane.LeftView->viewport()->mapToGlobal(QPoint(LocalPane::kMenuKeyOffset, 0));
    EXPECT_LE((pane.mnuLocal->pos() - expected).manhattanLength(), 2);
    pane.mnuLocal->hide();

    // A right click on empty space opens it too.
    emit pane.LeftView->customContextMenuRequested(QPoint(10, 250));
    EXPECT_TRUE(pane.mnuLocal->isVisible());
    pane.mnuLocal->hide();
}

TEST_F(CommandsFixture, ToolbarKeysAndTheFolderPicker)
{
    QStringList keys;
    for (QAction *button : pane.TB_LOC->actions())
        keys << button->data().toString();
    EXPECT_EQ(keys, QStringList({"up", "open", "ref", "ctx"}));

    QDir(folder.path()).mkdir("picked");
    ScriptedPrompts prompts;
    prompts.expectFile("Please select a folder:", folder.filePath("picked"));
    pane.LocalButton("open")->trigger();
    EXPECT_EQ(pane.CurrentPath(), folder.filePath("picked"));
    EXPECT_EQ(picked, QStringList({folder.filePath("picked")}));
    prompts.expectFile("Please select a folder:", std::nullopt);
    pane.TB_LOC_ButtonClick("open");
    EXPECT_EQ(picked.size(), 1);

    ASSERT_TRUE(WriteFileBytes(folder.filePath("picked/new.txt"), "n"));
    pane.LocalButton("ref")->trigger();
    EXPECT_EQ(pane.Model->size(), 1);
    pane.LocalButton("up")->trigger();
    EXPECT_EQ(pane.CurrentPath(), folder.path());
}

TEST_F(CommandsFixture, ShellMenuCommandsAndTheRefreshAfterATrashMove)
{
    SetOptionFlag(OptionFlag::EnableShellMenu, true);
    servers.connected[0] = true;
    QList<int> offered;
    int choose = 0;
    pane.setShellMenuRunner([&](QMenu &menu, const QPoint &) -> QAction * {
        for (QAction *item : menu.actions()) {
            offered << item->data().toInt();
            if (item->data().toInt() == choose)
                return item;
        }
        return nullptr;
    });

    // No selection: no menu at all.
    QString verb;
    EXPECT_EQ(pane.ShellContextMenu(QPoint(5, 5), verb), 0);
    EXPECT_TRUE(offered.isEmpty());

    selectFirst();
    choose = 801;
    pane.ShowLocalPopup(QPoint(5, 5));
    choose = 802;
    pane.ShowLocalPopup(QPoint(5, 5));
    EXPECT_EQ(uploads, QList<Upload>({{0, true, false}, {0, false, true}}));
    EXPECT_TRUE(pane.PopupSawConnected(0));
    EXPECT_FALSE(offered.contains(803)); // one server shown

    // The trash move empties the folder, and the list follows.
    ASSERT_TRUE(QDir().mkpath(XdgDesktopFiles::DataHome()));
    QTemporaryDir inData(XdgDesktopFiles::DataHome() + "/trash-test-XXXXXX");
    ASSERT_TRUE(WriteFileBytes(inData.filePath("old.log"), "o"));
    ASSERT_TRUE(pane.LoadLocalFolders(inData.path()));
    selectFirst();
    choose = 5; // move to trash
    pane.ShowLocalPopup(QPoint(5, 5));
    EXPECT_EQ(pane.Model->size(), 0);
}

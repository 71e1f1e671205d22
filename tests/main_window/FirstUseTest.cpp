// What a new user meets first: sorting by header clicks, where the layout is
// stored, the name column's width.
#include "frmZAVUde.h"

#include "DataRoot.h"
#include "ElidingLabel.h"
#include "FileHandlerCollection.h"
#include "FileListModel.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "Logger.h"
#include "ModListView.h"
#include "ModProfile.h"
#include "OptionFlags.h"
#include "PermissionDialog.h"
#include "ProfileRecordFile.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "SettingsFile.h"
#include "WhenModal.h"
#include "frmLogin.h"
#include "frmQuickCon.h"
#include "modSysTrayEx.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

void clickHeader(QTreeView *list, int column)
{
    QHeaderView *header = list->header();
    const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, middle);
}

// Drags the right edge of a column's header section to `x`, as the user sizes a column.
void dragColumnEdge(QTreeView *list, int column, int x)
{
    QHeaderView *header = list->header();
    QWidget *viewport = header->viewport();
    const int y = header->height() / 2;
    const QPoint edge(header->sectionViewportPosition(column) + header->sectionSize(column) - 1, y);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, edge);
    QTest::mouseMove(viewport, QPoint((edge.x() + x) / 2, y));
    QTest::mouseMove(viewport, QPoint(x, y));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
}

QString marks(const QTreeView *list)
{
    QStringList keys;
    for (int i = 0; i < list->model()->columnCount(); ++i)
        keys << (HeaderIconKey(list, i).isEmpty() ? QStringLiteral("-") : HeaderIconKey(list, i));
    return keys.join(QLatin1Char(' '));
}

QStringList textFiles(const FileListModel *model)
{
    QStringList names;
    for (int i = 0; i < model->size(); ++i) {
        if (model->row(i).Text.endsWith(QLatin1String(".txt")))
            names << model->row(i).Text;
    }
    return names;
}

// Left edge and width of a widget in the window's coordinates.
QPair<int, int> span(const QWidget *widget, const QWidget *window)
{
    return {widget->mapTo(window, QPoint(0, 0)).x(), widget->width()};
}

int availableWidth()
{
    return QGuiApplication::primaryScreen()->availableGeometry().width();
}

// The dialog, as laid out when shown, fits the screen and so does its last button.
void expectFitsTheScreen(QDialog &dialog, const char *what)
{
    QTest::qWait(20);
    EXPECT_LE(dialog.frameGeometry().width(), availableWidth()) << what;
    for (const QPushButton *button : dialog.findChildren<QPushButton *>()) {
        if (button->isVisible()) {
            EXPECT_LE(button->mapTo(&dialog, QPoint(button->width(), 0)).x(), availableWidth()) << what;
        }
    }
}

void showAtDefaultSize(frmZAVUde &window)
{
    window.resize(1000, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

// Each case meets the window as a new user does: nothing stored by an earlier
// window in the same process decides its sort order or column widths.
class FirstUse : public ::testing::Test
{
protected:
    void SetUp() override { frmZAVUde::OpenSettingsStore()->remove(QString()); }
};

} // namespace

TEST_F(FirstUse, HeaderClicksSortUpDownUpAndAnotherColumnStartsAscending)
{
    QTemporaryDir folder;
    for (const char *name : {"b.txt", "a.txt", "c.txt"}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    {
        frmZAVUde window;
        showAtDefaultSize(window);
        window.ShowDual(true);
        ASSERT_TRUE(window.Local()->LoadLocalFolders(folder.path()));
        QTreeView *local = window.Local()->LeftView;
        clickHeader(local, 0);
        EXPECT_EQ(marks(local), "arr_up - - -");
        EXPECT_EQ(textFiles(window.Local()->Model), QStringList({"a.txt", "b.txt", "c.txt"}));
        clickHeader(local, 0);
        EXPECT_EQ(marks(local), "arr_dn - - -");
        EXPECT_EQ(textFiles(window.Local()->Model), QStringList({"c.txt", "b.txt", "a.txt"}));
        clickHeader(local, 0);
        EXPECT_EQ(marks(local), "arr_up - - -");

        for (QTreeView *list : QList<QTreeView *>{local, window.Remote(0)->RightView, window.Remote(1)->RightView}) {
            if (list != local) {
                EXPECT_EQ(ListSortColumn(list), -1);
            }
            clickHeader(list, 1);
            EXPECT_EQ(ListSortOrder(list), Qt::AscendingOrder);
            clickHeader(list, 1);
            EXPECT_EQ(ListSortOrder(list), Qt::DescendingOrder);
            clickHeader(list, 1);
            EXPECT_EQ(ListSortOrder(list), Qt::AscendingOrder);
            EXPECT_EQ(marks(list).split(' ').at(1), "arr_up");
            clickHeader(list, 2);
            EXPECT_EQ(ListSortColumn(list), 2);
            EXPECT_EQ(ListSortOrder(list), Qt::AscendingOrder);
            EXPECT_EQ(marks(list).split(' ').mid(1, 2), QStringList({"dot", "arr_up"}));
        }
        clickHeader(window.Remote(1)->RightView, 2); // what the screen shows at exit: descending
        EXPECT_TRUE(window.close());
    }
    frmZAVUde again;
    showAtDefaultSize(again);
    EXPECT_EQ(ListSortColumn(again.Local()->LeftView), 2);
    EXPECT_EQ(ListSortOrder(again.Local()->LeftView), Qt::AscendingOrder);
    EXPECT_EQ(again.Local()->Model->sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(HeaderIconKey(again.Local()->LeftView, 2), "arr_up");
    EXPECT_EQ(ListSortOrder(again.Remote(1)->RightView), Qt::DescendingOrder);
    EXPECT_EQ(HeaderIconKey(again.Remote(1)->RightView, 2), "arr_dn");
    // The next click on the restored column turns it round.
    clickHeader(again.Local()->LeftView, 2);
    EXPECT_EQ(ListSortOrder(again.Local()->LeftView), Qt::DescendingOrder);
}

TEST_F(FirstUse, APrivateDataRootHoldsTheLayoutAndLeavesTheConfigurationFolderAlone)
{
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    {
        frmZAVUde window;
        showAtDefaultSize(window);
        clickHeader(window.Local()->LeftView, 1);
        EXPECT_TRUE(window.close());
    }
    qputenv("XDG_CONFIG_HOME", oldConfig);
    EXPECT_TRUE(QDir(config.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << QDir(config.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).join(' ').toStdString();
    const QString stored = DataRoot::AppPath() + "/Config/" + QCoreApplication::applicationName() + ".conf";
    ASSERT_TRUE(QFileInfo::exists(stored));
    QSettings settings(stored, QSettings::IniFormat);
    settings.beginGroup(frmZAVUde::SettingsSection());
    EXPECT_TRUE(settings.value("LV-Sort").toString().startsWith("1,1|"));
    EXPECT_FALSE(settings.value("LV-Path").toString().isEmpty());
}

TEST_F(FirstUse, TheNameColumnTakesTheFreeWidthUnlessWidthsWereStored)
{
    {
        frmZAVUde window;
        showAtDefaultSize(window);
        for (QTreeView *list : QList<QTreeView *>{window.Local()->LeftView, window.Remote(0)->RightView}) {
            int others = 0;
            for (int i = 1; i < list->model()->columnCount(); ++i)
                others += list->columnWidth(i);
            EXPECT_GE(list->columnWidth(0) + others, list->viewport()->width() - 4) << list->objectName().toStdString();
            EXPECT_GT(list->columnWidth(0), list->header()->defaultSectionSize()); // wider than it started
        }
        dragColumnEdge(window.Remote(0)->RightView, 0, 90); // the user's width
        EXPECT_TRUE(window.close());
    }
    frmZAVUde again;
    showAtDefaultSize(again);
    EXPECT_NEAR(again.Remote(0)->RightView->columnWidth(0), 90, 3);
}

TEST_F(FirstUse, ColumnWidthsComeBackUnchangedOverRestartsMaximisedOrNotInSingleAndDualMode)
{
    // "Maintain last used window position", as the window reads it at start.
    const QString zeros(OptionStringMinLength, '0');
    QString general = zeros;
    general[0] = '1';
    ASSERT_TRUE(WriteConfFile(ComposeConfFile({general, zeros, zeros, zeros}, FileHandlerCollection(), {}, {})));
    QList<QList<int>> sized; // per list, the widths of the columns the user sized
    auto columnWidths = [](const QTreeView *list) {
        return QList<int>{list->columnWidth(0), list->columnWidth(1), list->columnWidth(2)};
    };
    auto listsOf = [](frmZAVUde &window, bool dual) {
        QList<QTreeView *> lists{window.Local()->LeftView, window.Remote(0)->RightView};
        if (dual)
            lists << window.Remote(1)->RightView;
        return lists;
    };
    auto settled = [&](frmZAVUde &window, bool maximised, bool dual) {
        return QTest::qWaitFor([&] {
            if (maximised != window.isMaximized())
                return false;
            for (QTreeView *list : listsOf(window, dual)) {
                if (!list->isVisible() || list->width() < 150)
                    return false;
            }
            return true;
        }, 5000);
    };
    for (const bool maximised : {false, true}) {
        for (const bool dual : {false, true}) {
            SCOPED_TRACE(std::string(maximised ? "maximised" : "normal") + (dual ? ", dual" : ", single"));
                    frmZAVUde::OpenSettingsStore()->remove("UI");
            {
                // The user sizes the name columns once.
                frmZAVUde window;
                window.ShowDual(dual);
                window.resize(1000, 700);
                if (maximised)
                    window.showMaximized();
                else
                    window.show();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
                ASSERT_TRUE(settled(window, maximised, dual));
                // The other columns made room, so that every column is in view.
                for (QTreeView *list : listsOf(window, dual)) {
                    dragColumnEdge(list, 0, list->width() * 45 / 100);
                    dragColumnEdge(list, 1, list->width() * 60 / 100);
                    dragColumnEdge(list, 2, list->width() * 75 / 100);
                }
                for (QTreeView *list : listsOf(window, dual))
                    sized << columnWidths(list);
                EXPECT_TRUE(window.close());
            }
            // Two starts as the program starts, without touching a column: the widths the user sized, to the pixel.
            for (int restart = 1; restart <= 2; ++restart) {
                SCOPED_TRACE(restart);
                frmZAVUde window;
                window.ShowQor();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
                ASSERT_TRUE(settled(window, maximised, dual));
                const QList<QTreeView *> lists = listsOf(window, dual);
                for (qsizetype list = 0; list < lists.size(); ++list)
                    EXPECT_EQ(columnWidths(lists[list]), sized.value(list)) << list;
                EXPECT_TRUE(window.close());
            }
            sized.clear();
        }
    }
    QFile::remove(SettingsFilePath());
    SetOptionFlag(OptionFlag::MaintainWindowPosition, false);
}

TEST_F(FirstUse, DualModeAtTheDefaultSizeKeepsEveryButtonAndLinesTheLogsUp)
{
    frmZAVUde window;
    showAtDefaultSize(window);
    window.ShowDual(true);
    window.Remote(0)->ShowState("Connected (cached listing of 12/31/2026 23:59:59)");
    window.Remote(1)->ShowSummary("12 folders, 345 files, 1024.3 MB");
    window.Remote(1)->ShowState("Connected");
    QTest::qWait(50);
    ASSERT_EQ(window.width(), 1000);
    for (int slot = 0; slot < 2; ++slot) {
        RemotePane *pane = window.Remote(slot);
        for (QAction *action : pane->TB_RMT->actions()) {
            if (!action->isVisible())
                continue;
            const QWidget *button = pane->TB_RMT->widgetForAction(action);
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->isVisible()) << slot << " " << action->text().toStdString();
        }
        const QPair<int, int> server = span(pane, &window);
        const QPair<int, int> log = span(window.FtpLogger(slot)->Widget(), &window);
        EXPECT_NEAR(log.first, server.first, 3) << slot;
        EXPECT_NEAR(log.second, server.second, 3) << slot;
        EXPECT_GE(pane->lblState->width(), pane->lblState->fontMetrics().horizontalAdvance("Connected")) << slot;
        EXPECT_GE(pane->lblRemote->width(), pane->lblRemote->sizeHint().width() - 2) << slot;
    }
    // A state text too long for the pane ends in an ellipsis and is whole in its tool tip.
    ElidingLabel *state = window.Remote(0)->lblState;
    if (state->isElided()) {
        EXPECT_EQ(state->toolTip(), "Connected (cached listing of 12/31/2026 23:59:59)");
    }
    EXPECT_EQ(state->text(), "Connected (cached listing of 12/31/2026 23:59:59)");
    for (QAction *action : window.TB->actions()) {
        if (action->isVisible() && window.TB->widgetForAction(action)) {
            EXPECT_TRUE(window.TB->widgetForAction(action)->isVisible()) << action->text().toStdString();
        }
    }
}

TEST_F(FirstUse, DialogsShowingALongServerNameStayWithinTheScreen)
{
    const QString longName = QString(251, QLatin1Char('n')) + ".txt";
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile(longName, "x"));
    QFile::remove(DefaultProfileFilePath());
    {
        const ProfileRecordFile file(DefaultProfileFilePath());
        file.ensureExists();
        file.writeRecord(1, ProfileRecordFile::EncodeRecord(ServerProfile(server, "Long names")));
    }
    frmZAVUde window;
    showAtDefaultSize(window);
    window.BuildProfileMenus();
    window.mnuProfile[0]->actions().at(0)->trigger();
    RemotePane *pane = window.Remote(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->Model->size() == 1 && !window.Slot(0)->IsBusy(); }, 30000));
    pane->RightView->setCurrentIndex(pane->Model->index(0, 0));

    WhenModal<QInputDialog>([&](QInputDialog &dialog) {
        expectFitsTheScreen(dialog, "rename");
        EXPECT_EQ(dialog.textValue(), longName); // whole in its field, which scrolls
        dialog.reject();
    });
    pane->Button("rename")->trigger();

    WhenModal<PermissionDialog>([&](PermissionDialog &dialog) {
        expectFitsTheScreen(dialog, "permissions");
        EXPECT_TRUE(dialog.lblItem->isVisible());
        EXPECT_TRUE(dialog.lblItem->text().remove(QChar(0x200B)).contains(longName));
        dialog.reject();
    });
    pane->Button("props")->trigger();

    WhenModal<QInputDialog>([&](QInputDialog &dialog) {
        expectFitsTheScreen(dialog, "new folder");
        dialog.reject();
    });
    pane->Button("newdir")->trigger();
    window.Slot(0)->DisConnectFromFTP();

    {
        QFile list(frmQuickCon::ListFilePath());
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write(QByteArray(255, 'q') + ".example\r\n");
    }
    WhenModal<frmQuickCon>([&](frmQuickCon &dialog) {
        dialog.findChild<QComboBox *>("Combo1")->setCurrentIndex(0);
        expectFitsTheScreen(dialog, "quick connect");
        dialog.findChild<QPushButton *>("CmdCnc")->click();
    });
    window.TB_ButtonClick("quick");
    QFile::remove(frmQuickCon::ListFilePath());

    frmLogin login;
    WhenModal<frmLogin>([&](frmLogin &dialog) {
        expectFitsTheScreen(dialog, "login failed");
        dialog.reject();
    });
    login.ShowLogin(&window, QString(255, QLatin1Char('h')), "user");
}

TEST_F(FirstUse, ClosingToTheTrayWithoutATrayHostMinimisesInstead)
{
    modSysTrayEx::Program().SetTrayAvailableOverride(0);
    {
        frmZAVUde window;
        window.ShowQor();
        SetOptionFlag(OptionFlag::MinimiseOnClose, true); // after the window read its settings
        EXPECT_FALSE(window.close());
        EXPECT_TRUE(window.isVisible()); // on the task bar, where the user can find it
        EXPECT_TRUE(window.isMinimized());
        window.ExitProgram();
        EXPECT_FALSE(window.isVisible());
    }
    SetOptionFlag(OptionFlag::MinimiseOnClose, false);
    modSysTrayEx::Program().SetTrayAvailableOverride(-1);
}

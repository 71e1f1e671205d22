// The main window's layout: the panes and their splitters, the lists' columns,
// what is stored of them, and the window brought back from the tray.
#include "frmZAVUde.h"

#include "LocalPane.h"
#include "OptionFlags.h"
#include "RemotePane.h"
#include "modSysTrayEx.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

void forgetLayout()
{
    const std::unique_ptr<QSettings> settings = frmZAVUde::OpenSettingsStore();
    settings->remove("LV");
    settings->remove("UI");
}

// Presses on the widget at `from`, moves by `by` in two steps and lets go, as a user drags.
void drag(QWidget *widget, QPoint from, QPoint by)
{
    const QPoint start = widget->mapToGlobal(from);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, widget->mapFromGlobal(at), at, button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, start + by / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, start + by, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + by, Qt::LeftButton, Qt::NoButton);
}

void dragHandle(QSplitter *splitter, int index, int by)
{
    QWidget *handle = splitter->handle(index);
    drag(handle, handle->rect().center(), QPoint(by, 0));
}

// Drags the right edge of a column's header, as a user sizes the column.
void dragColumnEdge(QTreeView *list, int column, int by)
{
    QHeaderView *header = list->header();
    const int edge = header->sectionViewportPosition(column) + header->sectionSize(column) - 2;
    drag(header->viewport(), QPoint(edge, header->height() / 2), QPoint(by, 0));
}

// What a usual file name needs to read whole: its text, the icon and the margins.
int usualNameWidth(const QTreeView *list)
{
    return list->fontMetrics().horizontalAdvance(QStringLiteral("project-notes.txt")) + 16 + 8;
}

QList<QTreeView *> fileLists(frmZAVUde &window)
{
    return {window.Local()->LeftView, window.Remote(0)->RightView, window.Remote(1)->RightView};
}

} // namespace

TEST(MainWindow, ColumnWidthsComeBackAtTheSizeTheyWereLeft)
{
    frmZAVUde::OpenSettingsStore()->remove("LV");
    QList<int> left;
    {
        frmZAVUde window;
        window.ShowDual(false);
        window.resize(1100, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTreeView *local = window.Local()->LeftView;
        for (int column : {1, 2, 0}) {
            const int wanted = local->viewport()->width() / (column == 0 ? 2 : 8);
            dragColumnEdge(local, column, wanted - local->columnWidth(column));
            EXPECT_NEAR(local->columnWidth(column), wanted, 2) << column;
        }
        for (int column = 0; column < 3; ++column)
            left << local->columnWidth(column);
        EXPECT_TRUE(window.close());
    }
    frmZAVUde again;
    again.resize(900, 700); // narrower: the widths the user sized come back as they were, to the pixel
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    QTreeView *local = again.Local()->LeftView;
    ASSERT_NE(local->width(), 0);
    for (int column = 0; column < 3; ++column)
        EXPECT_EQ(local->columnWidth(column), left[column]) << column;

    // The second server's list was never shown: what it had before showing is not its layout.
    again.ShowDual(true);
    QTreeView *second = again.Remote(1)->RightView;
    ASSERT_TRUE(waitUntil([&] { return second->width() > 200; }));
    EXPECT_LT(second->columnWidth(0), second->width() / 2);
}


TEST(MainWindow, DraggingBesideTheArrowButtonsSizesThePanesAndBothServersShareTheRoom)
{
    frmZAVUde::OpenSettingsStore()->remove("UI");
    frmZAVUde window;
    window.ShowDual(false);
    window.resize(1200, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto *panes = window.findChild<QSplitter *>("splPanes");
    auto *strip = window.findChild<QWidget *>("TransferButtons");
    ASSERT_NE(panes, nullptr);
    ASSERT_NE(strip, nullptr);
    const int stripWidth = strip->width();
    const int localWidth = window.Local()->width();
    EXPECT_LT(stripWidth, 60);

    const int remoteWidth = window.Remote(0)->width();
    dragHandle(panes, 1, -150); // beside the arrow buttons
    EXPECT_EQ(strip->width(), stripWidth);
    EXPECT_NEAR(window.Local()->width(), localWidth - 150, 2);
    EXPECT_NEAR(window.Remote(0)->width(), remoteWidth + 150, 2);
    dragHandle(panes, 1, 100);
    EXPECT_EQ(strip->width(), stripWidth);
    EXPECT_NEAR(window.Local()->width(), localWidth - 50, 2);
    EXPECT_TRUE(window.close()); // stored with one server shown

    // The second server opens as wide as the first, each time it is shown.
    frmZAVUde again;
    again.resize(1200, 700);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        again.ShowDual(true);
        EXPECT_TRUE(waitUntil([&] {
            return again.Remote(1)->width() > 200 && std::abs(again.Remote(1)->width() - again.Remote(0)->width()) <= 1;
        }));
        EXPECT_GT(again.Remote(1)->width(), 200);
        EXPECT_NEAR(again.Remote(1)->width(), again.Remote(0)->width(), 1);
        EXPECT_EQ(again.findChild<QWidget *>("TransferButtons")->width(), stripWidth);
        again.ShowDual(false);
    }
    again.close();
    frmZAVUde::OpenSettingsStore()->remove("UI");
}


TEST(MainWindow, StoredColumnWidthsWiderThanTheListAreNarrowedToIt)
{
    {
        const std::unique_ptr<QSettings> settings = frmZAVUde::OpenSettingsStore();
        // The second server's list sized while its pane was far too narrow: four columns each about half the list.
        settings->setValue("LV", "|0.4;0.2;0.2;0.1|0.5;0.45;0.5;0.4|");
        settings->setValue("UI", QVariantMap{{"Dual", true}});
    }
    frmZAVUde window;
    window.resize(1200, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTreeView *second = window.Remote(1)->RightView;
    const auto columnsTotal = [](const QTreeView *list) {
        int total = 0;
        for (int i = 0; i < 4; ++i)
            total += list->columnWidth(i);
        return total;
    };
    ASSERT_TRUE(waitUntil([&] { return second->width() > 200; }));
    EXPECT_TRUE(waitUntil([&] { return columnsTotal(second) <= second->viewport()->width(); }));
    int total = 0;
    for (int i = 0; i < 4; ++i) {
        EXPECT_GT(second->columnWidth(i), second->viewport()->width() / 8) << i;
        total += second->columnWidth(i);
    }
    EXPECT_LE(total, second->viewport()->width()); // "Modified" is in view
    for (int i = 1; i < 4; ++i) // the other columns gave way before the name column
        EXPECT_GT(second->columnWidth(0), second->columnWidth(i)) << i;
    // A set that fits is used as stored.
    QTreeView *first = window.Remote(0)->RightView;
    EXPECT_NEAR(first->columnWidth(1), first->width() * 0.2, 2);
    window.close();
    frmZAVUde::OpenSettingsStore()->remove("LV");
    frmZAVUde::OpenSettingsStore()->remove("UI");
}


// Stored widths no list can have had (a damaged or hand-edited file) are
// passed over: the list comes up fitted, its name column readable.
TEST(WindowLayout, StoredWidthsNoListCanHaveHadAreFittedInstead)
{
    const struct {
        const char *widths, *measured;
    } cases[] = {
        {"nan;0.3;0.2;0.2|||", ""},
        {"nan;0.3;0.3;0.3|||", "500|||"},
        {"0.5;0.9;0.8;0.7|||", "2147483647|||"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.widths) + " measured on " + c.measured);
        {
            const std::unique_ptr<QSettings> settings = frmZAVUde::OpenSettingsStore();
            settings->setValue("LV", c.widths);
            settings->setValue("UI", QVariantMap{{"ListWidths", c.measured}});
        }
        frmZAVUde window;
        window.resize(1000, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QTreeView *list = window.Local()->LeftView;
        const auto total = [list] {
            int sum = 0;
            for (int i = 0; i < 4; ++i)
                sum += list->columnWidth(i);
            return sum;
        };
        EXPECT_TRUE(waitUntil([&] {
            return list->columnWidth(0) >= usualNameWidth(list) && total() <= list->viewport()->width();
        })) << list->columnWidth(0) << " " << total();
        window.close();
    }
    forgetLayout();
}

TEST(WindowLayout, InNarrowPanesTheNameColumnKeepsItsWidthAndOnlyWhatTheUserSizedIsStored)
{
    forgetLayout();
    {
        frmZAVUde window;
        window.resize(1000, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.ShowDual(true);
        ASSERT_TRUE(waitUntil([&] { return window.Remote(1)->RightView->width() > 150; }));
        // Names read whole and lead, and what does not fit is scrolled to.
        const auto namesFit = [&] {
            for (QTreeView *list : fileLists(window)) {
                int total = 0;
                for (int i = 0; i < 4; ++i) {
                    total += list->columnWidth(i);
                    if (list->columnWidth(0) < list->columnWidth(i))
                        return false;
                }
                if (list->columnWidth(0) < usualNameWidth(list)
                    || list->horizontalScrollBar()->maximum() < total - list->viewport()->width() - 2)
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(waitUntil(namesFit));
        auto checkNames = [&](const char *when) {
            SCOPED_TRACE(when);
            for (QTreeView *list : fileLists(window)) {
                SCOPED_TRACE(list->width());
                EXPECT_GE(list->columnWidth(0), usualNameWidth(list));
                for (int i = 1; i < 4; ++i)
                    EXPECT_GE(list->columnWidth(0), list->columnWidth(i)) << i;
                int total = 0;
                for (int i = 0; i < 4; ++i)
                    total += list->columnWidth(i);
                // What does not fit is scrolled to.
                EXPECT_GE(list->horizontalScrollBar()->maximum(), total - list->viewport()->width() - 2);
            }
        };
        checkNames("default window, both servers");
        // A wider window, the second server squeezed by the first.
        window.resize(1600, 800);
        ASSERT_TRUE(waitUntil([&] { return window.Remote(1)->width() > 380; })) << window.Remote(1)->width();
        auto *servers = window.findChild<QSplitter *>("splRemote");
        ASSERT_NE(servers, nullptr);
        const int before = window.Remote(1)->width();
        dragHandle(servers, 1, 150);
        ASSERT_LT(window.Remote(1)->width(), before - 60);
        EXPECT_TRUE(waitUntil(namesFit));
        checkNames("second server squeezed");
        EXPECT_TRUE(window.close());
    }
    // Widths fitted to the panes are fitted again at the next start, at the widths the panes have then.
    EXPECT_EQ(frmZAVUde::OpenSettingsStore()->value("LV").toString(), "|||");
    forgetLayout();
}

TEST(WindowLayout, WidthsStoredFromASqueezedPaneDoNotSqueezeAWideOne)
{
    QTemporaryDir folder;
    QFile big(folder.filePath("big.iso"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(19LL * 1024 * 1024 + 12345));
    big.close();
    forgetLayout();
    // Stored by an earlier start from panes far narrower than the columns' plain widths.
    frmZAVUde::OpenSettingsStore()->setValue("LV", "0.1541;0.2801;0.2801;0.2801|0.1541;0.2801;0.2801;0.2801||");
    frmZAVUde window;
    window.ShowDual(false);
    window.resize(1400, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(window.Local()->LoadLocalFolders(folder.path()));
    QTreeView *local = window.Local()->LeftView;
    ASSERT_TRUE(waitUntil([&] { return local->width() > 500; }));
    EXPECT_TRUE(waitUntil([&] {
        for (const QTreeView *list : {local, static_cast<QTreeView *>(window.Remote(0)->RightView)})
            for (int i = 1; i < 4; ++i)
                if (list->columnWidth(0) <= 2 * list->columnWidth(i))
                    return false;
        return true;
    }));
    for (QTreeView *list : QList<QTreeView *>{local, window.Remote(0)->RightView}) {
        SCOPED_TRACE(list->width());
        for (int i = 1; i < 4; ++i)
            EXPECT_GT(list->columnWidth(0), 2 * list->columnWidth(i)) << i;
    }
    // The big file's size reads whole.
    const QModelIndex size = local->model()->index(0, 1);
    ASSERT_TRUE(size.data().toString().contains("KB"));
    EXPECT_GE(local->columnWidth(1), local->fontMetrics().horizontalAdvance(size.data().toString()) + 8);

    // Fitted again at the next start: not stored.
    window.close();
    EXPECT_EQ(frmZAVUde::OpenSettingsStore()->value("LV").toString(), "|||");

    // A set the user sized in a wide pane is kept as it was stored.
    frmZAVUde::OpenSettingsStore()->setValue("LV", "0.45;0.15;0.15;0.2|||");
    frmZAVUde again;
    again.ShowDual(false);
    again.resize(1400, 800);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    QTreeView *kept = again.Local()->LeftView;
    ASSERT_TRUE(waitUntil([&] { return kept->width() > 500; }));
    EXPECT_TRUE(waitUntil([&] { return std::abs(kept->columnWidth(0) - kept->width() * 0.45) <= 2; }));
    EXPECT_NEAR(kept->columnWidth(0), kept->width() * 0.45, 2);
    EXPECT_NEAR(kept->columnWidth(1), kept->width() * 0.15, 2);
    again.close();
    EXPECT_EQ(frmZAVUde::OpenSettingsStore()->value("LV").toString().section('|', 0, 0), "0.45;0.15;0.15;0.2");
    forgetLayout();
}

TEST(WindowLayout, BothServersShareTheRoomAlsoWhenTheWindowGrowsAfterItIsShown)
{
    forgetLayout();
    // As a window manager maximises a window: shown at its own size first, then made larger.
    auto showAndGrow = [](frmZAVUde &window) {
        window.resize(1000, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.ShowDual(true);
        ASSERT_TRUE(waitUntil([&] { return window.Remote(1)->width() > 150; }));
        window.resize(1600, 1000);
        ASSERT_TRUE(waitUntil([&] {
            return window.Remote(0)->width() + window.Remote(1)->width() > 800
                && std::abs(window.Remote(1)->width() - window.Remote(0)->width()) <= 2;
        }));
    };
    {
        frmZAVUde window;
        showAndGrow(window);
        EXPECT_NEAR(window.Remote(1)->width(), window.Remote(0)->width(), 2);
        EXPECT_TRUE(window.close());
    }
    frmZAVUde again; // opened with both servers shown
    showAndGrow(again);
    EXPECT_NEAR(again.Remote(1)->width(), again.Remote(0)->width(), 2);
    again.close();
    forgetLayout();
}

TEST(WindowLayout, TheSplitBetweenTheServersComesBackWhereTheUserLeftIt)
{
    forgetLayout();
    int first = 0;
    int second = 0;
    {
        frmZAVUde window;
        window.resize(1600, 1000);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.ShowDual(true);
        ASSERT_TRUE(waitUntil([&] { return window.Remote(1)->width() > 200; }));
        dragHandle(window.findChild<QSplitter *>("splRemote"), 1, 320 - window.Remote(0)->width());
        first = window.Remote(0)->width();
        second = window.Remote(1)->width();
        ASSERT_LT(first, second - 150);
        EXPECT_TRUE(window.close());
    }
    frmZAVUde again;
    again.resize(1000, 700);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    again.resize(1600, 1000);
    const double share = static_cast<double>(first) / (first + second);
    ASSERT_TRUE(waitUntil([&] {
        const int total = again.Remote(0)->width() + again.Remote(1)->width();
        return total > 800 && std::abs(again.Remote(0)->width() - share * total) <= 3;
    }));
    const int total = again.Remote(0)->width() + again.Remote(1)->width();
    EXPECT_NEAR(again.Remote(0)->width(), share * total, 3);
    EXPECT_NEAR(total, first + second, 3); // the same window: the same widths
    again.close();
    forgetLayout();
}

TEST(WindowLayout, TheTrayIconBringsTheWindowBackAsItWas)
{
    modSysTrayEx::Program().SetTrayAvailableOverride(1);
    frmZAVUde window;
    window.ShowQor();
    auto clickTheIcon = [&] {
        emit modSysTrayEx::Program().MouseMessage(&window, frmZAVUde::kTrayIdentifier, modSysTrayEx::LeftButtonUp);
    };
    window.showMaximized();
    window.showMinimized();
    clickTheIcon();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isMaximized());

    // Hidden to the tray by closing it.
    SetOptionFlag(OptionFlag::MinimiseOnClose, true);
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    clickTheIcon();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMaximized());

    // A window of its own size keeps it.
    window.showNormal();
    window.showMinimized();
    clickTheIcon();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(window.isMaximized());
    SetOptionFlag(OptionFlag::MinimiseOnClose, false);
    window.ExitProgram();
    modSysTrayEx::Program().SetTrayAvailableOverride(-1);
}

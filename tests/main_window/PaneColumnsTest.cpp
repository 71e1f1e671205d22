// The file lists' columns as a new user meets them: where the name column has
// room to give, types, attributes and dates read whole, and names keep room;
// where it has not, dates read before types and attributes.
#include "frmZAVUde.h"

#include "FileListModel.h"
#include "LocalPane.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "ShownToolTip.h"
#include "TestFiles.h"

#include <QApplication>
#include <QHeaderView>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

// Names of 10 to 20 characters of several types, as a folder usually holds.
const QStringList kNames{"notes-2026.txt", "holiday-photo.jpg", "report-final.pdf", "build.sh",
                         "meeting-minutes.html", "archive-2025.zip"};

void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

void expectWhole(const QTreeView *list, const QList<int> &columns, const char *what)
{
    ASSERT_GT(list->model()->rowCount(), 0) << what;
    for (int column : columns) {
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QModelIndex cell = list->model()->index(row, column);
            EXPECT_GE(list->columnWidth(column), list->sizeHintForIndex(cell).width())
                << what << ": " << cell.data().toString().toStdString() << " in column " << column;
        }
    }
}

struct ListCase
{
    const char *what;
    int width;
    int height;
    bool dual;
    int pointSize;   // of the program's font; 0: as it is
    bool roomForAll; // every list has room for every text
};

void PrintTo(const ListCase &c, std::ostream *out) { *out << c.what; }

class PaneColumns : public ::testing::TestWithParam<ListCase>
{
protected:
    void SetUp() override
    {
        frmZAVUde::OpenSettingsStore()->remove(QString()); // nothing sized by hand
        ASSERT_TRUE(QDir(local.path()).mkdir("photos"));
        for (const QString &name : kNames) {
            ASSERT_TRUE(WriteFileBytes(local.filePath(name), name.toUtf8()));
            ASSERT_TRUE(server.writeFile(name, name.toUtf8()));
        }
        ASSERT_TRUE(server.makeFolder("photos"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        if (GetParam().pointSize > 0) {
            QFont larger = font;
            larger.setPointSize(GetParam().pointSize);
            QApplication::setFont(larger);
        }
    }
    void TearDown() override
    {
        QApplication::setFont(font);
        frmZAVUde::OpenSettingsStore()->remove(QString());
    }

    // The window at the case's size with the local folder and the server listed in its lists.
    QList<QTreeView *> showLists(frmZAVUde &window)
    {
        const bool dual = GetParam().dual;
        window.ShowDual(dual);
        window.resize(GetParam().width, GetParam().height);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_TRUE(window.Local()->LoadLocalFolders(local.path()));
        QList<QTreeView *> lists{window.Local()->LeftView};
        for (int slot = 0; slot < (dual ? 2 : 1); ++slot) {
            window.Slots()->UseProfile(slot, ServerProfile(server), true);
            EXPECT_TRUE(QTest::qWaitFor([&] {
                const ServerSlot *s = window.Slot(slot);
                return s->SessionActive() && !s->IsBusy() && window.Remote(slot)->Model->size() == kNames.size() + 1;
            }, 30000));
            lists << window.Remote(slot)->RightView;
        }
        settle();
        return lists;
    }

    const QFont font = QApplication::font();

    QTemporaryDir local;
    PyFtpServer server;
    ScriptedPrompts prompts; // any question fails the test
};

} // namespace

TEST_P(PaneColumns, TypesAndDatesReadWholeWhereNamesHaveRoomToGive)
{
    const ListCase &c = GetParam();
    frmZAVUde window;
    const QList<QTreeView *> lists = showLists(window);
    ASSERT_FALSE(HasFailure());
    for (const QTreeView *list : lists) {
        const std::string what = list->objectName().toStdString() + " at " + c.what;
        const QAbstractItemModel *model = list->model();
        // Type (local) or attributes (servers), and the date, whole beside a name column wider than its names.
        if (c.roomForAll || list->columnWidth(0) > static_cast<const QAbstractItemView *>(list)->sizeHintForColumn(0))
            expectWhole(list, {2, 3}, what.c_str());
        // Names keep their room: a short one reads whole everywhere, every one where the list has room.
        const QModelIndex shortName = model->index(static_cast<const FileListModel *>(model)->findText("build.sh"), 0);
        EXPECT_GE(list->columnWidth(0), list->sizeHintForIndex(shortName).width()) << what;
        if (c.roomForAll)
            expectWhole(list, {0}, what.c_str());
        // Where not every column fits, the date reads before the type or attributes: whole unless they
        // have given all they can; in a server's list, within the list (the local list beside two servers
        // holds a name, a size and part of a date).
        if (list->columnWidth(2) > list->header()->minimumSectionSize())
            expectWhole(list, {3}, what.c_str());
        if (list != window.Local()->LeftView) {
            EXPECT_LE(list->header()->sectionPosition(3) + list->columnWidth(3), list->viewport()->width()) << what;
        }
    }
}

// A text its column cuts (a name too long for any pane, a date or type in a
// narrow pane) reads whole in its tool tip, as written even where it looks like markup.
TEST_P(PaneColumns, ACutTextReadsWholeInItsToolTip)
{
    const QString longName = "<b>minutes<b> of the meeting of every department &amp; their guests, "
                             "with all the attachments.txt";
    ASSERT_TRUE(WriteFileBytes(local.filePath(longName), "x"));
    frmZAVUde window;
    const QList<QTreeView *> lists = showLists(window);
    ASSERT_FALSE(HasFailure());
    int cut = 0;
    for (QTreeView *list : lists) {
        for (int column = 0; column < list->model()->columnCount(); ++column) {
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                const QModelIndex cell = list->model()->index(row, column);
                if (list->sizeHintForIndex(cell).width() <= list->columnWidth(column))
                    continue;
                ++cut;
                EXPECT_EQ(ShownToolTip(list, cell).toStdString(), cell.data().toString().toStdString())
                    << list->objectName().toStdString() << " column " << column;
            }
        }
    }
    EXPECT_GE(cut, 1); // the long name at least
}

INSTANTIATE_TEST_SUITE_P(
    WindowSizes, PaneColumns,
    ::testing::Values(ListCase{"first start", 1000, 700, false, 0, false},
                      ListCase{"first start, 11-point font", 1000, 700, false, 11, false},
                      ListCase{"two servers", 1000, 700, true, 0, false},
                      ListCase{"maximised", 1600, 1000, false, 0, true},
                      ListCase{"maximised, two servers", 1600, 1000, true, 0, false}),
    [](const ::testing::TestParamInfo<ListCase> &info) {
        return std::to_string(info.param.width) + "x" + std::to_string(info.param.height)
             + (info.param.dual ? "Dual" : "") + (info.param.pointSize ? "Font" + std::to_string(info.param.pointSize) : "");
    });

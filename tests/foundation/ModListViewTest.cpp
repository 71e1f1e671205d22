#include "ModFTPTrelm.h"
#include "ModListView.h"
#include "StubWindow.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<QTreeWidget> makeList(const QList<int> &widths, int listWidth)
{
    auto list = std::make_unique<QTreeWidget>();
    list->setColumnCount(static_cast<int>(widths.size()));
    list->header()->setStretchLastSection(false);
    list->header()->setMinimumSectionSize(0);
    list->resize(listWidth, 200);
    for (int i = 0; i < widths.size(); ++i)
        list->setColumnWidth(i, widths[i]);
    return list;
}

QList<int> widthsOf(const QTreeWidget &list)
{
    QList<int> widths;
    for (int i = 0; i < list.columnCount(); ++i)
        widths << list.columnWidth(i);
    return widths;
}

QStringList column(const QTreeWidget &list, int c)
{
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(c);
    return texts;
}

} // namespace

TEST(SetColumnWidthsTest, FractionsOfTheListWidth)
{
    auto two = makeList({10, 10}, 900);
    SetColumnWidths(two.get(), QStringLiteral("0.5;0.5"));
    EXPECT_EQ(widthsOf(*two), QList<int>({450, 450}));

    auto extra = makeList({10, 10}, 900);
    SetColumnWidths(extra.get(), QStringLiteral("0.2;x;0.9"));
    EXPECT_EQ(widthsOf(*extra), QList<int>({180, 0}));

    auto one = makeList({100}, 900);
    SetColumnWidths(one.get(), QString());
    EXPECT_EQ(widthsOf(*one), QList<int>({0}));
}

TEST(SetColumnWidthsTest, FewerEntriesRescaleTheCurrentWidths)
{
    // 100 + 200 + 302 less the 2-pixel frame allowance is exactly 600.
    auto list = makeList({100, 200, 302}, 600);
    SetColumnWidths(list.get(), QStringLiteral("0.5;0.5"));
    EXPECT_EQ(widthsOf(*list), QList<int>({100, 200, 302}));

    auto doubled = makeList({100, 200, 302}, 1200);
    SetColumnWidths(doubled.get(), QString());
    EXPECT_EQ(widthsOf(*doubled), QList<int>({200, 400, 604}));
}

TEST(SetColumnWidthsTest, NothingChangesWhenWidthsSumToNothing)
{
    auto list = makeList({0, 1, 1}, 600);
    SetColumnWidths(list.get(), QStringLiteral("0.5"));
    EXPECT_EQ(widthsOf(*list), QList<int>({0, 1, 1}));
}

TEST(ListSortTest, ClickedColumnsSortWithHeaderMarks)
{
    QTreeWidget list;
    list.setColumnCount(2);
    const QList<QPair<QString, qint64>> files = {{QStringLiteral("b.txt"), 1200}, {QStringLiteral("a.txt"), 99},
                                                 {QStringLiteral("c.txt"), 30000}};
    for (const auto &[name, size] : files)
        new QTreeWidgetItem(&list, {name, PadText(QString::number(size), 12)});
    SortListView(&list, 0, true);
    EXPECT_EQ(column(list, 0), QStringList({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
    EXPECT_EQ(HeaderIconKey(&list, 0), QStringLiteral("arr_up"));

    HandleLVSort(&list, 1); // a new column: ascending, the old one gets the dot
    EXPECT_EQ(HeaderIconKey(&list, 0), QStringLiteral("dot"));
    EXPECT_EQ(HeaderIconKey(&list, 1), QStringLiteral("arr_up"));
    EXPECT_EQ(column(list, 0), QStringList({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
    EXPECT_EQ(column(list, 1).first().trimmed(), QStringLiteral("99"));

    HandleLVSort(&list, 1);
    EXPECT_EQ(HeaderIconKey(&list, 1), QStringLiteral("arr_dn"));
    EXPECT_EQ(column(list, 0), QStringList({QStringLiteral("c.txt"), QStringLiteral("b.txt"), QStringLiteral("a.txt")}));
    HandleLVSort(&list, 1);
    EXPECT_EQ(HeaderIconKey(&list, 1), QStringLiteral("arr_up"));

    SortListView(&list, 0, false);
    EXPECT_EQ(HeaderIconKey(&list, 1), QStringLiteral("dot"));
    EXPECT_EQ(HeaderIconKey(&list, 0), QStringLiteral("arr_dn"));
    EXPECT_EQ(column(list, 0).first(), QStringLiteral("c.txt"));
}

TEST(ListSortTest, HeaderMarksShowTheHostsPictures)
{
    QTreeWidget list;
    list.setColumnCount(2);
    QPixmap up(8, 8);
    up.fill(Qt::red);
    SetHeaderImageList(&list, {{QStringLiteral("arr_up"), QIcon(up)}});
    HandleLVSort(&list, 1);
    EXPECT_FALSE(list.headerItem()->icon(1).isNull());
    EXPECT_TRUE(list.headerItem()->icon(0).isNull()); // "dot" was not supplied
}

TEST(ImageListTest, KeysNeverAddedAreNotFound)
{
    StubWindow window;
    EXPECT_FALSE(GetImageListPicture(window, QStringLiteral(".txt")));
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    EXPECT_TRUE(window.images.Add(QStringLiteral(".txt"), QIcon(pixmap)));
    EXPECT_FALSE(window.images.Add(QStringLiteral(".txt"), QIcon()));
    EXPECT_TRUE(GetImageListPicture(window, QStringLiteral(".txt")));
}

TEST(SelectedRowsUpToTest, CountsWholeRowsAsSelectedRowsDoesUpToTheLimit)
{
    QStandardItemModel model(1000, 4);
    QItemSelectionModel selection(&model);
    const auto rowRange = [&](int top, int bottom) {
        return QItemSelection(model.index(top, 0), model.index(bottom, 3));
    };
    EXPECT_EQ(SelectedRowsUpTo(&selection, 2), 0);

    selection.select(rowRange(0, 999), QItemSelectionModel::Select);
    EXPECT_EQ(SelectedRowsUpTo(&selection, 2), 2);
    EXPECT_EQ(SelectedRowsUpTo(&selection, 5), 5);

    selection.clearSelection();
    selection.select(rowRange(7, 7), QItemSelectionModel::Select);
    selection.select(rowRange(7, 7), QItemSelectionModel::Select); // the same row twice is one row
    EXPECT_EQ(SelectedRowsUpTo(&selection, 2), 1);
    selection.select(rowRange(9, 9), QItemSelectionModel::Select);
    EXPECT_EQ(SelectedRowsUpTo(&selection, 2), 2);

    // A row with only some of its cells selected is no selected row.
    selection.clearSelection();
    selection.select(QItemSelection(model.index(3, 0), model.index(3, 1)), QItemSelectionModel::Select);
    EXPECT_EQ(SelectedRowsUpTo(&selection, 2), 0);
    selection.select(QItemSelection(model.index(3, 2), model.index(3, 3)), QItemSelectionModel::Select);
    EXPECT_EQ(SelectedRowsUpTo(&selection, 2), static_cast<int>(selection.selectedRows().size()));
}

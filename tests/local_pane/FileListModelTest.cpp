#include "FileListModel.h"

#include <QItemSelectionModel>
#include <QPersistentModelIndex>

#include <gtest/gtest.h>

namespace {

FileListRow makeRow(const QString &key, const QString &name, bool folder, qint64 size, qint64 time)
{
    FileListRow row;
    row.Key = key;
    row.Text = name;
    row.IsFolder = folder;
    row.Size = size;
    row.SortTime = time;
    row.SubItems = {FormatKilobytes(size), QStringLiteral("t"), QString::number(time)};
    row.Tag = (folder ? QStringLiteral("d") : QStringLiteral("b")) + QString::number(size);
    return row;
}

QStringList names(const FileListModel &model)
{
    QStringList out;
    for (int i = 0; i < model.size(); ++i)
        out << model.row(i).Text;
    return out;
}

} // namespace

TEST(FileListModel, SortingKeepsFoldersOnTopAndComparesSizesAsNumbers)
{
    FileListModel model({"File", "Size", "Type", "Modified"});
    std::vector<FileListRow> rows;
    rows.push_back(makeRow("F0", "big.bin", false, 10 * 1024 * 1024, 3));
    rows.push_back(makeRow("D0", "zeta", true, 0, 1));
    rows.push_back(makeRow("F1", "Small.txt", false, 900, 2));
    rows.push_back(makeRow("D1", "Alpha", true, 0, 5));
    rows.push_back(makeRow("F2", "mid.dat", false, 5000, 9));
    model.setRows(std::move(rows));

    model.sort(0, Qt::AscendingOrder);
    EXPECT_EQ(names(model), QStringList({"Alpha", "zeta", "big.bin", "mid.dat", "Small.txt"}));
    model.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(names(model), QStringList({"zeta", "Alpha", "Small.txt", "mid.dat", "big.bin"}));
    // "10240.0KB" sorts below "4.9KB" as text; as numbers it is the largest.
    model.sort(1, Qt::AscendingOrder);
    EXPECT_EQ(names(model).mid(2), QStringList({"Small.txt", "mid.dat", "big.bin"}));
    model.sort(3, Qt::DescendingOrder);
    EXPECT_EQ(names(model), QStringList({"Alpha", "zeta", "mid.dat", "big.bin", "Small.txt"}));
}

TEST(FileListModel, SelectionFollowsItsRowsThroughASort)
{
    FileListModel model({"File", "Size", "Type", "Modified"});
    std::vector<FileListRow> rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back(makeRow("F" + QString::number(i), QString("file%1").arg(i, 2, 10, QChar('0')), false, i, i));
    model.setRows(std::move(rows));
    QItemSelectionModel selection(&model);
    selection.select(model.index(7, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    model.sort(0, Qt::DescendingOrder);

    const QModelIndexList selected = selection.selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(model.row(selected.first().row()).Text, "file07");
    EXPECT_EQ(selected.first().data(FileListModel::KeyRole).toString(), "F7");
}

TEST(FileListModel, NewRowsArriveInTheCurrentSortOrder)
{
    FileListModel model({"File", "Size", "Type", "Modified"});
    model.sort(1, Qt::DescendingOrder);
    std::vector<FileListRow> rows;
    rows.push_back(makeRow("F0", "a", false, 1, 0));
    rows.push_back(makeRow("F1", "b", false, 3, 0));
    rows.push_back(makeRow("F2", "c", false, 2, 0));
    model.setRows(std::move(rows));
    EXPECT_EQ(names(model), QStringList({"b", "c", "a"}));
    EXPECT_EQ(model.findKey("F2"), 1);
    EXPECT_EQ(model.findKey("nope"), -1);
}

TEST(FileListModel, KilobyteTextIsRightAlignedInTwelveCharacters)
{
    EXPECT_EQ(FormatKilobytes(1536), "       1.5KB");
    EXPECT_EQ(FormatKilobytes(0), "       0.0KB");
    // No group separator, and a text longer than the column stays whole.
    EXPECT_EQ(FormatKilobytes(5LL * 1024 * 1024 * 1024 * 1024), "5368709120.0KB");
}

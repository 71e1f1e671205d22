#include "JobListModel.h"

#include "KeyedImageList.h"

#include <algorithm>

JobListModel::JobListModel(const KeyedImageList *pictures, QObject *parent)
    : QAbstractTableModel(parent), m_pictures(pictures)
{
}

bool JobListModel::AddRow(const QString &key, const std::array<QString, ColumnCount> &cells,
                          const std::array<QString, ColumnCount> &pictureKeys)
{
    if (key.isEmpty() || Contains(key))
        return false;
    const int row = static_cast<int>(m_list.size());
    beginInsertRows({}, row, row);
    m_list.push_back(Row{key, cells, pictureKeys, QColor(), 0});
    m_rows.insert(Folded(key), row);
    endInsertRows();
    return true;
}

int JobListModel::RowOf(const QString &key) const
{
    return m_rows.value(Folded(key), -1);
}

QString JobListModel::KeyAt(int row) const
{
    return row >= 0 && row < static_cast<int>(m_list.size()) ? m_list[static_cast<size_t>(row)].key : QString();
}

JobListModel::Row *JobListModel::find(const QString &key)
{
    const int row = RowOf(key);
    return row < 0 ? nullptr : &m_list[static_cast<size_t>(row)];
}

const JobListModel::Row *JobListModel::find(const QString &key) const
{
    const int row = RowOf(key);
    return row < 0 ? nullptr : &m_list[static_cast<size_t>(row)];
}

QString JobListModel::Text(const QString &key, int column) const
{
    const Row *row = find(key);
    return row && column >= 0 && column < ColumnCount ? row->cells[static_cast<size_t>(column)] : QString();
}

QString JobListModel::PictureKey(const QString &key, int column) const
{
    const Row *row = find(key);
    return row && column >= 0 && column < ColumnCount ? row->pictures[static_cast<size_t>(column)] : QString();
}

QColor JobListModel::Colour(const QString &key, int column) const
{
    const Row *row = find(key);
    return row && column <= row->colourCount ? row->colour : QColor();
}

void JobListModel::cellChanged(const Row &row, int first, int last)
{
    const int at = static_cast<int>(&row - m_list.data());
    emit dataChanged(index(at, first), index(at, last));
}

void JobListModel::SetText(const QString &key, int column, const QString &text)
{
    Row *row = find(key);
    if (!row || column < 0 || column >= ColumnCount || row->cells[static_cast<size_t>(column)] == text)
        return;
    row->cells[static_cast<size_t>(column)] = text;
    cellChanged(*row, column, column);
}

void JobListModel::SetPictureKey(const QString &key, int column, const QString &pictureKey)
{
    Row *row = find(key);
    if (!row || column < 0 || column >= ColumnCount || row->pictures[static_cast<size_t>(column)] == pictureKey)
        return;
    row->pictures[static_cast<size_t>(column)] = pictureKey;
    cellChanged(*row, column, column);
}

void JobListModel::SetColour(const QString &key, const QColor &colour, int count)
{
    Row *row = find(key);
    const int colourCount = qBound(0, count, ColumnCount - 1);
    if (!row || (row->colour == colour && row->colourCount == colourCount))
        return;
    row->colour = colour;
    row->colourCount = colourCount;
    cellChanged(*row, 0, ColumnCount - 1);
}

void JobListModel::RemoveRow(const QString &key)
{
    const int row = RowOf(key);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_list.erase(m_list.begin() + row);
    reindex();
    endRemoveRows();
}

int JobListModel::RemoveRows(const std::function<bool(const QString &key)> &pick)
{
    std::vector<Row> kept;
    kept.reserve(m_list.size());
    for (Row &row : m_list) {
        if (!pick(row.key))
            kept.push_back(std::move(row));
    }
    const int removed = static_cast<int>(m_list.size() - kept.size());
    if (removed == 0) {
        // Moved-from rows must be restored: nothing was picked.
        m_list = std::move(kept);
        return 0;
    }
    beginResetModel();
    m_list = std::move(kept);
    reindex();
    endResetModel();
    return removed;
}

void JobListModel::Clear()
{
    beginResetModel();
    m_list.clear();
    m_rows.clear();
    endResetModel();
}

void JobListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount || m_list.size() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<QString> keysBefore;
    keysBefore.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex &index : before)
        keysBefore.push_back(m_list[static_cast<size_t>(index.row())].key);
    const auto column_ = static_cast<size_t>(column);
    std::stable_sort(m_list.begin(), m_list.end(), [column_, order](const Row &a, const Row &b) {
        const int c = a.cells[column_].compare(b.cells[column_], Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    reindex();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(index(RowOf(keysBefore[static_cast<size_t>(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void JobListModel::reindex()
{
    m_rows.clear();
    for (int i = 0; i < static_cast<int>(m_list.size()); ++i)
        m_rows.insert(Folded(m_list[static_cast<size_t>(i)].key), i);
}

int JobListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list.size());
}

int JobListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JobListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_list.size()))
        return {};
    const Row &row = m_list[static_cast<size_t>(index.row())];
    const auto column = static_cast<size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.cells[column];
    case Qt::ToolTipRole:
        // The whole reason, also where the column is narrower than it.
        if (index.column() == Status && !row.cells[column].isEmpty())
            return row.cells[column];
        return {};
    case Qt::DecorationRole:
        if (m_pictures && !row.pictures[column].isEmpty())
            return m_pictures->Picture(row.pictures[column]);
        return {};
    case Qt::ForegroundRole:
        if (row.colour.isValid() && index.column() <= row.colourCount)
            return row.colour;
        return {};
    case Qt::UserRole:
        return row.key;
    default:
        return {};
    }
}

QVariant JobListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const std::array<QString, ColumnCount> captions{
        QStringLiteral("File"),       QStringLiteral("Local Path"), QStringLiteral("Remote Path"),
        QStringLiteral("Size"),       QStringLiteral("% Complete"), QStringLiteral("Status"),
        QStringLiteral("Time Left")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return captions[static_cast<size_t>(section)];
    return {};
}

Qt::ItemFlags JobListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

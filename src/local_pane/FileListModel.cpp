#include "FileListModel.h"

#include "ModFTPTrelm.h"

#include <QFont>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <iterator>

FileListModel::FileListModel(const QStringList &headers, QObject *parent)
    : QAbstractTableModel(parent), m_headers(headers), m_headerData(headers.size())
{
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    const FileListRow &r = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return r.Text;
        return index.column() - 1 < r.SubItems.size() ? r.SubItems[index.column() - 1] : QString();
    case Qt::DecorationRole:
        if (index.column() == 0 && m_icons && !r.IconKey.isEmpty())
            return m_icons(r.IconKey);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == m_kinds.sizeColumn
            || (m_kinds.dateRightAligned && index.column() == m_kinds.dateColumn))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ForegroundRole:
        if (r.ForeColor.isValid())
            return r.ForeColor;
        return {};
    case Qt::FontRole:
        if (index.column() == 0 ? r.TextBold : r.SubItemsBold) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == r.ToolTipColumn && !r.ToolTip.isEmpty())
            return r.ToolTip;
        return {};
    case KeyRole:
        return r.Key;
    case TagRole:
        return r.Tag;
    case IsFolderRole:
        return r.IsFolder;
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    // Rows may be dragged; the view decides whether it starts drags at all.
    return QAbstractTableModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_headers[section];
    return m_headerData[section].value(role);
}

bool FileListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
        return false;
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        m_headers[section] = value.toString();
    else
        m_headerData[section].insert(role, value);
    emit headerDataChanged(orientation, section, section);
    return true;
}

bool FileListModel::lessThan(const FileListRow &a, const FileListRow &b, int column) const
{
    if (column == m_kinds.sizeColumn)
        return a.Size < b.Size;
    if (column == m_kinds.dateColumn)
        return a.SortTime < b.SortTime;
    const QString &left = column == 0 ? a.Text : a.SubItems.value(column - 1);
    const QString &right = column == 0 ? b.Text : b.SubItems.value(column - 1);
    return left.compare(right, Qt::CaseInsensitive) < 0;
}

void FileListModel::sortRows()
{
    if (m_sortColumn < 0 || m_sortColumn >= columnCount())
        return;
    const int column = m_sortColumn;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const FileListRow &a, const FileListRow &b) {
        if (a.IsFolder != b.IsFolder)
            return a.IsFolder; // folders stay on top in both directions
        return descending ? lessThan(b, a, column) : lessThan(a, b, column);
    });
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<QString> keys;
    keys.reserve(before.size());
    for (const QModelIndex &index : before)
        keys << m_rows[static_cast<size_t>(index.row())].Key;
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows();
    if (!before.isEmpty()) {
        // Keys are unique within a list: map the persistent indexes (selection, current row) across.
        QHash<QString, int> rowOfKey;
        rowOfKey.reserve(size());
        for (int i = 0; i < size(); ++i)
            rowOfKey.insert(m_rows[static_cast<size_t>(i)].Key, i);
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after << index(rowOfKey.value(keys[i], before[i].row()), before[i].column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FileListModel::appendRow(FileListRow row)
{
    const int at = size();
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void FileListModel::replaceRow(int at, FileListRow row)
{
    if (at < 0 || at >= size())
        return;
    m_rows[static_cast<size_t>(at)] = std::move(row);
    emit dataChanged(index(at, 0), index(at, columnCount() - 1));
}

void FileListModel::appendRows(std::vector<FileListRow> rows)
{
    if (rows.empty())
        return;
    const int at = size();
    beginInsertRows({}, at, at + static_cast<int>(rows.size()) - 1);
    m_rows.reserve(m_rows.size() + rows.size());
    std::move(rows.begin(), rows.end(), std::back_inserter(m_rows));
    endInsertRows();
}

void FileListModel::setRows(std::vector<FileListRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    sortRows();
    endResetModel();
}

int FileListModel::findKey(const QString &key) const
{
    for (int i = 0; i < size(); ++i) {
        if (m_rows[static_cast<size_t>(i)].Key == key)
            return i;
    }
    return -1;
}

int FileListModel::findText(const QString &text) const
{
    for (int i = 0; i < size(); ++i) {
        if (m_rows[static_cast<size_t>(i)].Text == text)
            return i;
    }
    return -1;
}

QString FormatKilobytes(qint64 bytes)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString text = locale.toString(static_cast<double>(bytes) / 1024.0, 'f', 1) + QStringLiteral("KB");
    return PadText(text, 12);
}

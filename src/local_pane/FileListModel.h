#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// One row of a file list (local folder, remote folder): a key, the name, an
// icon key, the texts of the other columns and a tag. The tag's text after
// its first character is the size in bytes ("b0" for a folder, "b1536").
struct FileListRow
{
    QString Key;
    QString Text;
    QString IconKey;
    QStringList SubItems; // the columns after the name
    QString Tag;
    bool IsFolder = false;
    qint64 Size = 0;
    qint64 SortTime = 0; // seconds since the epoch, for the date column; 0 when unknown
    // Styling of result lists: one colour for every cell (invalid: the list's own),
    // bold name and bold other cells, and the tool tip of one cell.
    QColor ForeColor;
    bool TextBold = false;
    bool SubItemsBold = false;
    int ToolTipColumn = -1;
    QString ToolTip;
};

// A report list's rows for a QTreeView. Holds plain values only, so a pane
// shows 100,000 entries without a widget or item object per row. Sorting
// keeps folders above files.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole + 1;
    static constexpr int TagRole = Qt::UserRole + 2;
    static constexpr int IsFolderRole = Qt::UserRole + 3;

    // The column that holds dates and the one that holds sizes; -1 for none.
    // Sizes are right-aligned; dates too where the list asks for it.
    struct ColumnKinds {
        int sizeColumn = 1;
        int dateColumn = 3;
        bool dateRightAligned = false;
    };

    using IconLookup = std::function<QIcon(const QString &key)>;

    explicit FileListModel(const QStringList &headers, QObject *parent = nullptr);

    void setColumnKinds(ColumnKinds kinds) { m_kinds = kinds; }
    void setIconLookup(IconLookup lookup) { m_icons = std::move(lookup); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role) override;
    void sort(int column, Qt::SortOrder order) override;

    void clear();
    void appendRow(FileListRow row);
    // Appends many rows in one insertion, so a view is told once.
    void appendRows(std::vector<FileListRow> rows);
    // Replaces all rows at once, in the current sort order when one is set.
    void setRows(std::vector<FileListRow> rows);

    const FileListRow &row(int index) const { return m_rows.at(static_cast<size_t>(index)); }
    // Puts `row` in place of the row at `index`; nothing when there is none.
    void replaceRow(int index, FileListRow row);
    int size() const { return static_cast<int>(m_rows.size()); }
    // The row index of a key, -1 when absent.
    int findKey(const QString &key) const;
    // The index of the first row showing `text` (exactly), -1 when none does.
    int findText(const QString &text) const;

    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

private:
    bool lessThan(const FileListRow &a, const FileListRow &b, int column) const;
    void sortRows();

    QStringList m_headers;
    QList<QMap<int, QVariant>> m_headerData;
    std::vector<FileListRow> m_rows;
    ColumnKinds m_kinds;
    IconLookup m_icons;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// The size column's text: bytes / 1024 formatted "0.0" and "KB", right-aligned in 12 characters.
QString FormatKilobytes(qint64 bytes);

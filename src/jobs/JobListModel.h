#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QString>

#include <array>
#include <functional>
#include <vector>

class KeyedImageList;

// The rows of the job list, one per queued job, found by the job's key.
// Each row holds its seven cell texts, the picture key of each cell and one
// fore colour for its first cells. Rows are added one at a time at the end.
// Only cells whose content changed are told to the views: a running job sets
// its row several times in each step, and every change told has the list and
// its column fitting look at the row again.
class JobListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { File = 0, LocalPath, RemotePath, Size, Complete, Status, TimeLeft, ColumnCount };

    explicit JobListModel(const KeyedImageList *pictures, QObject *parent = nullptr);

    // Appends a row; false when the key has a row already.
    bool AddRow(const QString &key, const std::array<QString, ColumnCount> &cells,
                const std::array<QString, ColumnCount> &pictureKeys);
    bool Contains(const QString &key) const { return m_rows.contains(Folded(key)); }
    int RowOf(const QString &key) const;
    QString KeyAt(int row) const;
    QString Text(const QString &key, int column) const;
    QString PictureKey(const QString &key, int column) const;
    QColor Colour(const QString &key, int column) const;

    void SetText(const QString &key, int column, const QString &text);
    void SetPictureKey(const QString &key, int column, const QString &pictureKey);
    // The row's text and its cells 1 to count get the colour.
    void SetColour(const QString &key, const QColor &colour, int count);

    void RemoveRow(const QString &key);
    // Removes every row whose key the predicate picks, in one pass.
    int RemoveRows(const std::function<bool(const QString &key)> &pick);
    void Clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    // Orders the rows by one column's text, letter case ignored; equal texts keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Row {
        QString key;
        std::array<QString, ColumnCount> cells;
        std::array<QString, ColumnCount> pictures;
        QColor colour;
        int colourCount = 0;
    };
    static QString Folded(const QString &key) { return key.toLower(); }
    Row *find(const QString &key);
    const Row *find(const QString &key) const;
    void cellChanged(const Row &row, int first, int last);
    void reindex();

    const KeyedImageList *m_pictures;
    std::vector<Row> m_list;
    QHash<QString, int> m_rows;
};

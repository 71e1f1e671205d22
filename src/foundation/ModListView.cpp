#include "ModListView.h"

#include "ErrorLog.h"
#include "KeyedImageList.h"
#include "MainWindowServices.h"
#include "OleColor.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QVariant>

namespace {

const char *const kHeaderPicturesProperty = "headerImageList";
// The sort the list shows, kept apart from the header's own indicator: the
// header flips that on every click before any handler sees the click.
const char *const kSortColumnProperty = "listSortColumn";
const char *const kSortOrderProperty = "listSortOrder";
const QString kObject = QStringLiteral("ModListView");

// Frame allowance the stored widths were measured with (36 twips).
constexpr int kBorderAllowance = TwipsToPixels(36);

void setHeaderIcon(QTreeView *list, int column, const QString &key)
{
    QAbstractItemModel *model = list->model();
    if (!model || column < 0 || column >= model->columnCount())
        return;
    model->setHeaderData(column, Qt::Horizontal, key, HeaderIconKeyRole);
    const QVariantMap pictures = list->property(kHeaderPicturesProperty).toMap();
    const auto picture = pictures.constFind(key);
    model->setHeaderData(column, Qt::Horizontal,
                         picture != pictures.cend() ? *picture : QVariant(), Qt::DecorationRole);
}

void applySort(QTreeView *list, int column, Qt::SortOrder order)
{
    list->setProperty(kSortColumnProperty, column);
    list->setProperty(kSortOrderProperty, static_cast<int>(order));
    list->sortByColumn(column, order);
    list->header()->setSortIndicator(column, order);
}

// Sets a list's column widths from fractions once it first has its width, then leaves.
class WidthsWhenShown : public QObject
{
public:
    WidthsWhenShown(QTreeView *list, const QString &widthText) : QObject(list), m_list(list), m_widths(widthText)
    {
        list->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_list && (type == QEvent::Show || type == QEvent::Resize) && m_list->isVisible()
            && m_list->width() > 0) {
            SetColumnWidths(m_list, m_widths);
            m_list->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTreeView *m_list;
    QString m_widths;
};

} // namespace

int ListSortColumn(const QTreeView *list)
{
    const QVariant column = list->property(kSortColumnProperty);
    return column.isValid() ? column.toInt() : -1;
}

Qt::SortOrder ListSortOrder(const QTreeView *list)
{
    const QVariant order = list->property(kSortOrderProperty);
    return order.isValid() ? static_cast<Qt::SortOrder>(order.toInt()) : Qt::AscendingOrder;
}

void SetHeaderImageList(QTreeView *list, const QMap<QString, QIcon> &pictures)
{
    QVariantMap map;
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it)
        map.insert(it.key(), QVariant::fromValue(it.value()));
    list->setProperty(kHeaderPicturesProperty, map);
}

QString HeaderIconKey(const QTreeView *list, int column)
{
    const QAbstractItemModel *model = list->model();
    return model ? model->headerData(column, Qt::Horizontal, HeaderIconKeyRole).toString() : QString();
}

void SetColumnWidths(QTreeView *list, const QString &widthText)
{
    try {
        if (!list || !list->model())
            return;
        const int columns = list->model()->columnCount();
        const QStringList entries = widthText.split(QLatin1Char(';'));
        const double listWidth = list->width();
        if (columns > entries.size()) {
            qint64 sum = 0;
            for (int i = 0; i < columns; ++i)
                sum += list->columnWidth(i);
            const qint64 scale = sum - kBorderAllowance;
            if (scale <= 0)
                return;
            QList<int> widths;
            for (int i = 0; i < columns; ++i)
                widths << qRound(listWidth * (static_cast<double>(list->columnWidth(i)) / scale));
            for (int i = 0; i < columns; ++i)
                list->setColumnWidth(i, widths[i]);
            return;
        }
        for (int i = 0; i < columns; ++i) {
            bool ok = false;
            double fraction = entries[i].trimmed().toDouble(&ok);
            if (!ok)
                fraction = 0;
            list->setColumnWidth(i, qMax(0, static_cast<int>(qRound(listWidth * fraction))));
        }
    } catch (...) {
        // Widths already set stay; a bad stored text is not worth a report.
    }
}

void SetColumnWidthsWhenShown(QTreeView *list, const QString &widthText)
{
    if (list)
        new WidthsWhenShown(list, widthText);
}

void WidenColumnToContents(QTreeView *list, int column, int giver, int giverMinimum)
{
    if (!list || !list->model() || list->model()->rowCount() == 0)
        return;
    const int more = static_cast<const QAbstractItemView *>(list)->sizeHintForColumn(column) - list->columnWidth(column);
    if (more <= 0)
        return;
    list->setColumnWidth(giver, qMax(giverMinimum, list->columnWidth(giver) - more));
    list->setColumnWidth(column, list->columnWidth(column) + more);
}

void HandleLVSort(QTreeView *list, int clickedColumn)
{
    try {
        if (!list || !list->model())
            return;
        const int current = ListSortColumn(list);
        if (clickedColumn != current) {
            setHeaderIcon(list, current, QStringLiteral("dot"));
            setHeaderIcon(list, clickedColumn, QStringLiteral("arr_up"));
            applySort(list, clickedColumn, Qt::AscendingOrder);
            return;
        }
        if (ListSortOrder(list) == Qt::DescendingOrder) {
            setHeaderIcon(list, clickedColumn, QStringLiteral("arr_up"));
            applySort(list, clickedColumn, Qt::AscendingOrder);
        } else {
            setHeaderIcon(list, clickedColumn, QStringLiteral("arr_dn"));
            applySort(list, clickedColumn, Qt::DescendingOrder);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("HandleLVSort"));
    }
}

void SortListView(QTreeView *list, int column, bool ascending)
{
    try {
        if (!list || !list->model())
            return;
        const int current = ListSortColumn(list);
        if (column != current)
            setHeaderIcon(list, current, QStringLiteral("dot"));
        setHeaderIcon(list, column, ascending ? QStringLiteral("arr_up") : QStringLiteral("arr_dn"));
        applySort(list, column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SortListView"));
    }
}

bool GetImageListPicture(MainWindowServices &mainWindow, const QString &key)
{
    try {
        return mainWindow.ImageList2().Contains(key);
    } catch (...) {
        return false;
    }
}

bool IsListRowSelected(const QItemSelectionModel *selection, int row)
{
    if (!selection || !selection->model() || row < 0)
        return false;
    const QModelIndex root;
    const int columns = selection->model()->columnCount(root);
    for (int column = 0; column < columns; ++column) {
        if (selection->isSelected(selection->model()->index(row, column, root)))
            return true;
    }
    return false;
}

bool HasSelectedListRow(const QItemSelectionModel *selection)
{
    return selection && selection->hasSelection();
}

void FlattenListViewHeader(QTreeView *list)
{
    if (list && list->header())
        list->header()->setSectionsClickable(false);
}

int SelectedRowsUpTo(const QItemSelectionModel *selection, int limit)
{
    if (!selection || !selection->hasSelection() || limit <= 0)
        return 0;
    const QAbstractItemModel *model = selection->model();
    QList<QModelIndex> rows; // distinct, at most `limit`
    for (const QItemSelectionRange &range : selection->selection()) {
        const int columns = model ? model->columnCount(range.parent()) : 0;
        if (range.left() != 0 || range.right() != columns - 1) // part of a row: count exactly
            return static_cast<int>(qMin<qsizetype>(selection->selectedRows().size(), limit));
        for (int row = range.top(); row <= range.bottom() && rows.size() < limit; ++row) {
            const QModelIndex first = range.model()->index(row, 0, range.parent());
            if (!rows.contains(first))
                rows.append(first);
        }
        if (rows.size() >= limit)
            break;
    }
    return static_cast<int>(rows.size());
}

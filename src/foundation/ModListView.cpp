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

// Sets a list's column widths from fractions once it first has its width. A
// column of sizes then widens to every size that comes, taking the width from
// the giver: a size is never cut. Widths the user sizes stay as the user left them.
class WidthsWhenShown : public QObject
{
public:
    WidthsWhenShown(QTreeView *list, const QString &widthText, int sizeColumn, int giver)
        : QObject(list), m_list(list), m_widths(widthText), m_sizeColumn(sizeColumn), m_giver(giver)
    {
        list->installEventFilter(this);
        if (m_sizeColumn < 0 || !list->model())
            return;
        m_headerViewport = list->header()->viewport();
        m_headerViewport->installEventFilter(this);
        connect(list->header(), &QHeaderView::sectionResized, this, [this] {
            if (m_headerPressed)
                m_userSized = true;
        });
        QAbstractItemModel *model = list->model();
        connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &parent, int first, int last) {
            if (!parent.isValid())
                measureSizes(first, last);
        });
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            m_longest = 0;
            measureSizes(0, m_list->model()->rowCount() - 1);
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        // Compared, never reached through the list: the header's viewport
        // still sends events while the list around it is being destroyed.
        if (m_headerViewport && watched == m_headerViewport) {
            // A drag on a divider, or a double-click on one, is the user sizing a column.
            if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
                m_headerPressed = true;
            else if (type == QEvent::MouseButtonRelease)
                m_headerPressed = false;
        } else if (watched == m_list && type == QEvent::FontChange && m_sizeColumn >= 0) {
            // Another font measures every size anew.
            m_longest = 0;
            m_needed = 0;
            measureSizes(0, m_list->model()->rowCount() - 1);
        } else if (watched == m_list && !m_shown && (type == QEvent::Show || type == QEvent::Resize)
                   && m_list->isVisible() && m_list->width() > 0) {
            m_shown = true;
            SetColumnWidths(m_list, m_widths);
            if (m_sizeColumn < 0) {
                m_list->removeEventFilter(this);
                deleteLater();
            } else {
                fitSizes();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // Only a size text longer than any before is measured: a size's width
    // follows its count of digits, so a listing of any length measures a few.
    void measureSizes(int first, int last)
    {
        const QAbstractItemModel *model = m_list->model();
        for (int row = qMax(0, first); row <= last; ++row) {
            const QModelIndex cell = model->index(row, m_sizeColumn);
            const qsizetype length = cell.data().toString().trimmed().size();
            if (length > m_longest) {
                m_longest = length;
                m_needed = qMax(m_needed, m_list->sizeHintForIndex(cell).width());
            }
        }
        fitSizes();
    }

    void fitSizes()
    {
        const int more = m_needed - m_list->columnWidth(m_sizeColumn);
        if (!m_shown || m_userSized || more <= 0)
            return;
        // The giver keeps a tenth of the list; beyond that the list scrolls sideways.
        const int giverWidth = m_list->columnWidth(m_giver);
        m_list->setColumnWidth(m_giver, qMax(qMin(giverWidth, m_list->width() / 10), giverWidth - more));
        m_list->setColumnWidth(m_sizeColumn, m_needed);
    }

    QTreeView *m_list;
    QObject *m_headerViewport = nullptr;
    QString m_widths;
    int m_sizeColumn;
    int m_giver;
    bool m_shown = false;
    bool m_headerPressed = false;
    bool m_userSized = false;
    qsizetype m_longest = 0; // the longest size text measured
    int m_needed = 0;        // the width the widest size measured needs
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

void SetColumnWidthsWhenShown(QTreeView *list, const QString &widthText, int sizeColumn, int giver)
{
    if (list)
        new WidthsWhenShown(list, widthText, sizeColumn, giver);
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

#include "ColumnWidthKeeper.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QList>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// About this many characters of a name read whole in the name column.
constexpr int kNameCharacters = 18;
// A size padded to twelve characters reads whole in this many.
constexpr int kOtherCharacters = 12;

int columnCount(const QTreeView *list) { return list->model() ? list->model()->columnCount() : 0; }

int captionWidth(const QTreeView *list, int column)
{
    const QHeaderView *header = list->header();
    return qMax(header->sectionSizeHint(column), header->minimumSectionSize());
}

// The narrowest a column other than the name column is made: about twelve
// characters (or its plain width, if less), never less than its caption.
int otherMinimum(const QTreeView *list, int column)
{
    const int readable = list->fontMetrics().averageCharWidth() * kOtherCharacters + 8;
    return qMax(captionWidth(list, column), qMin(readable, list->header()->defaultSectionSize()));
}

// Takes up to `excess` off the columns after the name column, in proportion
// to what each has above its floor; returns what it took.
int takeAboveFloors(QList<int> &widths, const QList<int> &floors, int excess)
{
    qint64 room = 0;
    for (qsizetype i = 1; i < widths.size(); ++i)
        room += qMax(0, widths[i] - floors[i]);
    const int taken = static_cast<int>(qMin<qint64>(excess, room));
    if (taken <= 0)
        return 0;
    int left = taken;
    for (qsizetype i = 1; i < widths.size(); ++i) {
        const int share = static_cast<int>(qMax(0, widths[i] - floors[i]) * taken / room);
        widths[i] -= share;
        left -= share;
    }
    for (qsizetype i = widths.size() - 1; i >= 1 && left > 0; --i) { // what rounding left over
        const int share = qMin(left, qMax(0, widths[i] - floors[i]));
        widths[i] -= share;
        left -= share;
    }
    return taken;
}

// Makes the widths fit `usable`: the name column (0) is first raised to
// `nameMinimum`; what is then too much comes off the other columns, in
// proportion to what each has above its minimum, then off the name column,
// down to its minimum, then off the columns that elide first (`yieldsFirst`),
// down to the narrowest a column is (`narrowest`), and only after that off
// the columns whose texts elide last, down to their `lastMinima`. What is
// still too much is scrolled to.
void giveWay(QList<int> &widths, const QList<int> &minima, const QList<int> &lastMinima, const QList<bool> &yieldsFirst,
             int narrowest, int nameMinimum, int usable)
{
    widths[0] = qMax(widths[0], nameMinimum);
    int total = 0;
    for (int width : widths)
        total += width;
    int excess = total - usable;
    if (excess <= 0)
        return;
    excess -= takeAboveFloors(widths, minima, excess);
    if (excess <= 0)
        return;
    const int fromName = qMin(excess, qMax(0, widths[0] - nameMinimum));
    widths[0] -= fromName;
    excess -= fromName;
    if (excess <= 0)
        return;
    QList<int> firstFloors = widths;
    for (qsizetype i = 1; i < widths.size(); ++i) {
        if (yieldsFirst.value(i))
            firstFloors[i] = qMin(widths[i], narrowest);
    }
    excess -= takeAboveFloors(widths, firstFloors, excess);
    if (excess > 0)
        takeAboveFloors(widths, lastMinima, excess);
}

// True when `position` (along the header) is on a divider the user may drag:
// within the style's grip margin of a section's end, as the header itself
// decides whether a press starts sizing a section or clicks it.
bool onDivider(const QHeaderView *header, int position)
{
    const int visual = header->visualIndexAt(position);
    if (visual < 0)
        return false;
    const int logical = header->logicalIndex(visual);
    const int start = header->sectionViewportPosition(logical);
    const int grip = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    bool atStart = position < start + grip;
    bool atEnd = position > start + header->sectionSize(logical) - grip;
    if (header->isRightToLeft())
        std::swap(atStart, atEnd);
    int sized = atEnd ? logical : -1;
    // The divider at a section's start ends the visible section before it.
    for (int before = visual - 1; atStart && before >= 0 && sized < 0; --before) {
        if (!header->isSectionHidden(header->logicalIndex(before)))
            sized = header->logicalIndex(before);
    }
    return sized >= 0 && header->sectionResizeMode(sized) == QHeaderView::Interactive;
}

// Measured texts kept per column; a column of sizes meets a new text at
// nearly every row, so its memory is started afresh now and then.
constexpr qsizetype kMeasuredTextsKept = 4096;

} // namespace

ColumnWidthKeeper::ColumnWidthKeeper(QObject *parent) : QObject(parent) {}

void ColumnWidthKeeper::Watch(QTreeView *list)
{
    if (!list || m_watched.contains(list))
        return;
    m_watched.insert(list);
    m_fitting.insert(list);
    if (list->isVisible())
        m_shown.insert(list);
    list->installEventFilter(this);
    // A column the user drags on the header keeps the user's width from then on.
    list->header()->viewport()->installEventFilter(this);
    // The scroll bar that comes with more rows takes room from the columns.
    list->verticalScrollBar()->installEventFilter(this);
    connect(list->header(), &QHeaderView::sectionResized, this, [this, list] {
        if (m_dragging == list->header()->viewport() && !m_settingWidths) {
            m_fitting.remove(list);
            m_restored.remove(list);
        }
    });
    connect(list, &QObject::destroyed, this, [this](QObject *gone) {
        m_watched.remove(gone);
        m_fitting.remove(gone);
        m_restored.remove(gone);
        m_shown.remove(gone);
        m_measured.remove(gone);
        m_content.remove(gone);
        m_rowsChanged.remove(gone);
    });
}

void ColumnWidthKeeper::Restore(QTreeView *list, const QString &fractions, int measuredWidth)
{
    if (!list)
        return;
    Watch(list);
    if (fractionsSum(list, fractions) <= 0)
        return;
    // No list is wider than a widget can be: a larger width was never measured.
    if (measuredWidth > 0 && measuredWidth <= QWIDGETSIZE_MAX) {
        m_fitting.remove(list);
        m_restored.remove(list);
        setPixels(list, fractions, measuredWidth);
        return;
    }
    if (isFittedSet(list, fractions))
        return;
    m_fitting.remove(list);
    m_restored.insert(list, fractions);
    if (list->isVisible() && list->width() > 0) {
        m_shown.insert(list);
        apply(list, fractions);
    }
}

void ColumnWidthKeeper::setPixels(QTreeView *list, const QString &fractions, int measuredWidth)
{
    const QStringList entries = fractions.split(QLatin1Char(';'));
    for (int i = 0; i < columnCount(list); ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, qMax(0, static_cast<int>(qRound(measuredWidth * entries[i].trimmed().toDouble()))));
    }
    // Until the list is shown, its widths are measured against the same width again.
    m_measured.insert(list, measuredWidth);
}

void ColumnWidthKeeper::FitToContents(QTreeView *list, int column, ContentFit fit)
{
    if (!list || !list->model())
        return;
    Watch(list);
    const bool watchedAlready = m_content.contains(list);
    ContentColumns &content = m_content[list];
    for (const ContentColumn &known : std::as_const(content.columns)) {
        if (known.column == column)
            return;
    }
    content.columns.append(ContentColumn{column, fit, 0, {}});
    content.stale = true;
    if (watchedAlready)
        return;
    // Only what changed is measured: a job list changes rows at every step of every job.
    QAbstractItemModel *model = list->model();
    const QPointer<QTreeView> guard(list);
    connect(model, &QAbstractItemModel::modelReset, this, [this, guard] {
        if (!guard)
            return;
        m_content[guard].stale = true;
        rowsChanged(guard);
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this, guard](const QModelIndex &parent, int first, int last) {
        if (!guard || parent.isValid())
            return;
        measureRows(guard, first, last, 0, columnCount(guard) - 1);
        rowsChanged(guard); // a scroll bar may come with them
    });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this, guard] {
        if (guard)
            rowsChanged(guard);
    });
    connect(model, &QAbstractItemModel::dataChanged, this, [this, guard](const QModelIndex &from, const QModelIndex &to) {
        if (guard && !from.parent().isValid() && measureRows(guard, from.row(), to.row(), from.column(), to.column()))
            rowsChanged(guard);
    });
}

bool ColumnWidthKeeper::measureRows(QTreeView *list, int first, int last, int fromColumn, int toColumn)
{
    const auto content = m_content.find(list);
    // Stale widths are measured whole at the next fit.
    if (content == m_content.end() || content->stale || !list->model())
        return false;
    const QAbstractItemModel *model = list->model();
    last = qMin(last, model->rowCount() - 1);
    bool grew = false;
    for (ContentColumn &column : content->columns) {
        if (column.column < fromColumn || column.column > toColumn)
            continue;
        for (int row = qMax(0, first); row <= last; ++row) {
            const QModelIndex index = model->index(row, column.column);
            // The same text with or without a picture is another width.
            QString text = index.data(Qt::DisplayRole).toString();
            if (!index.data(Qt::DecorationRole).isNull())
                text.prepend(QChar(1));
            auto known = column.widths.constFind(text);
            if (known == column.widths.cend()) {
                if (column.widths.size() >= kMeasuredTextsKept)
                    column.widths.clear();
                known = column.widths.insert(text, qMax(0, list->sizeHintForIndex(index).width()));
            }
            if (*known > column.widest) {
                column.widest = *known;
                grew = true;
            }
        }
    }
    return grew;
}

void ColumnWidthKeeper::rowsChanged(QTreeView *list)
{
    if (m_rowsChanged.contains(list))
        return;
    m_rowsChanged.insert(list);
    // Once for a burst of changes: a listing inserts its rows in steps.
    QTimer::singleShot(0, this, [this, guard = QPointer<QTreeView>(list)] {
        QTreeView *list = guard.data();
        if (!list)
            return;
        m_rowsChanged.remove(list);
        if (!list->isVisible() || list->width() <= 0)
            return;
        const auto restored = m_restored.constFind(list);
        if (restored != m_restored.cend())
            apply(list, *restored);
        else if (m_fitting.contains(list))
            fit(list);
    });
}

double ColumnWidthKeeper::fractionsSum(const QTreeView *list, const QString &fractions)
{
    const int columns = columnCount(list);
    const QStringList entries = fractions.split(QLatin1Char(';'));
    if (columns == 0 || entries.size() < columns)
        return 0;
    double sum = 0;
    for (int i = 0; i < columns; ++i) {
        bool ok = false;
        const double fraction = entries[i].trimmed().toDouble(&ok);
        // Written so that a stored "nan" fails it too.
        if (!ok || !(fraction >= 0 && fraction <= 1))
            return 0;
        sum += fraction;
    }
    return sum;
}

bool ColumnWidthKeeper::isFittedSet(const QTreeView *list, const QString &fractions)
{
    const int columns = columnCount(list);
    const QStringList entries = fractions.split(QLatin1Char(';'));
    if (columns < 3 || entries.size() < columns)
        return false;
    const double first = entries[1].trimmed().toDouble();
    for (int i = 2; i < columns; ++i) {
        if (qAbs(entries[i].trimmed().toDouble() - first) > 1e-6)
            return false;
    }
    return true;
}

int ColumnWidthKeeper::NameColumnMinimum(const QTreeView *list)
{
    const QSize icon = list->iconSize();
    const int iconWidth =
        icon.isValid() ? icon.width() : list->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, list);
    return qMax(captionWidth(list, 0), list->fontMetrics().averageCharWidth() * kNameCharacters + iconWidth + 12);
}

void ColumnWidthKeeper::apply(QTreeView *list, const QString &fractions)
{
    const int columns = columnCount(list);
    const QStringList entries = fractions.split(QLatin1Char(';'));
    if (columns < 2 || entries.size() < columns)
        return;
    // Against the list's own width, as the fractions were measured.
    const double width = list->width();
    QList<int> widths(columns, 0);
    QList<int> minima(columns, 0);
    for (int i = 0; i < columns; ++i) {
        if (list->isColumnHidden(i))
            continue;
        widths[i] = qMax(0, static_cast<int>(qRound(width * entries[i].trimmed().toDouble())));
        minima[i] = otherMinimum(list, i);
    }
    QList<int> lastMinima = minima;
    QList<bool> yieldsFirst(columns, false);
    raiseContentColumns(list, widths, minima, lastMinima, yieldsFirst);
    // The user's own widths are kept; a name column the user made narrow stays so.
    const int nameMinimum = list->isColumnHidden(0) ? 0 : qMin(widths[0], NameColumnMinimum(list));
    giveWay(widths, minima, lastMinima, yieldsFirst, list->header()->minimumSectionSize(), nameMinimum,
            usableWidth(list));
    setWidths(list, widths);
}

void ColumnWidthKeeper::setWidths(QTreeView *list, const QList<int> &widths)
{
    // Widths fitted here are not the user's, whatever button is down meanwhile.
    const QScopedValueRollback<bool> setting(m_settingWidths, true);
    for (int i = 0; i < widths.size(); ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, widths[i]);
    }
}

void ColumnWidthKeeper::raiseContentColumns(QTreeView *list, QList<int> &widths, QList<int> &minima,
                                            QList<int> &lastMinima, QList<bool> &yieldsFirst)
{
    const auto content = m_content.find(list);
    if (content == m_content.end())
        return;
    if (content->stale) {
        // Every row once, after a reset or with another font; from then on only what changes.
        content->stale = false;
        for (ContentColumn &column : content->columns)
            column.widest = 0;
        if (list->model())
            measureRows(list, 0, list->model()->rowCount() - 1, 0, columnCount(list) - 1);
    }
    for (const ContentColumn &column : std::as_const(content->columns)) {
        const int i = column.column;
        if (i <= 0 || i >= widths.size() || list->isColumnHidden(i))
            continue;
        widths[i] = qMax(widths[i], column.widest);
        minima[i] = qMax(minima[i], column.widest);
        if (column.fit == ContentFit::Whole)
            lastMinima[i] = minima[i];
        yieldsFirst[i] = column.fit == ContentFit::ElidesFirst;
    }
}

void ColumnWidthKeeper::fit(QTreeView *list)
{
    const int columns = columnCount(list);
    if (columns < 2)
        return;
    // The other columns at their plain width; the name column takes the rest.
    const QHeaderView *header = list->header();
    QList<int> widths(columns, 0);
    QList<int> minima(columns, 0);
    int others = 0;
    for (int i = 1; i < columns; ++i) {
        if (list->isColumnHidden(i))
            continue;
        minima[i] = otherMinimum(list, i);
        // A caption wider than the plain width (a larger font) reads whole too.
        widths[i] = qMax(header->defaultSectionSize(), minima[i]);
    }
    QList<int> lastMinima = minima;
    QList<bool> yieldsFirst(columns, false);
    raiseContentColumns(list, widths, minima, lastMinima, yieldsFirst);
    for (int i = 1; i < columns; ++i)
        others += widths[i];
    const int usable = usableWidth(list);
    widths[0] = list->isColumnHidden(0) ? 0 : usable - others;
    giveWay(widths, minima, lastMinima, yieldsFirst, header->minimumSectionSize(),
            list->isColumnHidden(0) ? 0 : NameColumnMinimum(list), usable);
    setWidths(list, widths);
}

int ColumnWidthKeeper::usableWidth(const QTreeView *list)
{
    // The list's own width: its viewport may not have been laid out yet.
    const int scrollBar = list->verticalScrollBar()->isVisible() ? list->verticalScrollBar()->sizeHint().width() : 0;
    return list->width() - 2 * list->frameWidth() - scrollBar;
}

int ColumnWidthKeeper::measureAgainst(QTreeView *list) const
{
    // A list never shown this time keeps the widths it was given, against the width they were measured on.
    if (m_shown.contains(list) || list->isVisible())
        return list->width();
    return m_measured.value(list, 0);
}

QString ColumnWidthKeeper::Fractions(QTreeView *list)
{
    if (!list)
        return QString();
    // Untouched since they were restored: the list shows them at its current width.
    if (m_restored.contains(list))
        return m_restored.value(list);
    // Fitted to the list as it is now, or never laid out: fitted again next time.
    const int width = measureAgainst(list);
    if (m_fitting.contains(list) || width <= 0)
        return QString();
    QStringList parts;
    for (int i = 0; i < columnCount(list); ++i)
        parts << QString::number(static_cast<double>(list->columnWidth(i)) / width, 'f', 4);
    return parts.join(QLatin1Char(';'));
}

int ColumnWidthKeeper::MeasuredWidth(QTreeView *list) const
{
    if (!list || m_restored.contains(list) || m_fitting.contains(list))
        return 0;
    return measureAgainst(list);
}

bool ColumnWidthKeeper::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // Only a divider dragged or double-clicked (which sizes the column to its texts) is the
    // user's sizing; a press on a section sorts, and a column widened meanwhile is no choice.
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        const auto *header = qobject_cast<const QHeaderView *>(watched->parent());
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        m_dragging = header && onDivider(header, header->orientation() == Qt::Horizontal ? at.x() : at.y()) ? watched : nullptr;
    } else if (type == QEvent::MouseButtonRelease) {
        m_dragging = nullptr;
    }
    if ((type == QEvent::Show || type == QEvent::Hide) && qobject_cast<QScrollBar *>(watched)) {
        // The bar sits in a container of the list.
        for (QObject *owner = watched->parent(); owner; owner = owner->parent()) {
            if (m_watched.contains(owner)) {
                rowsChanged(static_cast<QTreeView *>(owner));
                break;
            }
        }
    }
    if (type == QEvent::FontChange || type == QEvent::StyleChange) {
        // Another font measures every text anew.
        const auto content = m_content.find(watched);
        if (content != m_content.end()) {
            content->stale = true;
            for (ContentColumn &column : content->columns)
                column.widths.clear();
            rowsChanged(static_cast<QTreeView *>(watched));
        }
    }
    if (type == QEvent::Show || type == QEvent::Resize) {
        auto *list = qobject_cast<QTreeView *>(watched);
        // A list shown inside a splitter that is already on screen gets its
        // width only after its show event, with a resize.
        if (list && list->isVisible()) {
            m_shown.insert(list);
            const auto restored = m_restored.constFind(list);
            if (restored != m_restored.cend() && list->width() > 0)
                apply(list, *restored);
            else if (m_fitting.contains(list) && list->width() > 0)
                fit(list);
        }
    }
    return QObject::eventFilter(watched, event);
}

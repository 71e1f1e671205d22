#include "ColumnWidthKeeper.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QList>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

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

// Makes the widths fit `usable`: the name column (0) is first raised to
// `nameMinimum`; what is then too much comes off the other columns, in
// proportion to what each has above its minimum, and only after that off the
// name column, down to its minimum. What is still too much is scrolled to.
void giveWay(QList<int> &widths, const QList<int> &minima, int nameMinimum, int usable)
{
    widths[0] = qMax(widths[0], nameMinimum);
    int total = 0;
    for (int width : widths)
        total += width;
    int excess = total - usable;
    if (excess <= 0)
        return;
    qint64 room = 0;
    for (qsizetype i = 1; i < widths.size(); ++i)
        room += qMax(0, widths[i] - minima[i]);
    const int taken = static_cast<int>(qMin<qint64>(excess, room));
    if (taken > 0) {
        int left = taken;
        for (qsizetype i = 1; i < widths.size(); ++i) {
            const int share = static_cast<int>(qMax(0, widths[i] - minima[i]) * taken / room);
            widths[i] -= share;
            left -= share;
        }
        for (qsizetype i = widths.size() - 1; i >= 1 && left > 0; --i) { // what rounding left over
            const int share = qMin(left, qMax(0, widths[i] - minima[i]));
            widths[i] -= share;
            left -= share;
        }
        excess -= taken;
    }
    if (excess > 0)
        widths[0] -= qMin(excess, qMax(0, widths[0] - nameMinimum));
}

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
    connect(list->header(), &QHeaderView::sectionResized, this, [this, list] {
        if (m_dragging == list->header()->viewport()) {
            m_fitting.remove(list);
            m_restored.remove(list);
        }
    });
    connect(list, &QObject::destroyed, this, [this](QObject *gone) {
        m_watched.remove(gone);
        m_fitting.remove(gone);
        m_restored.remove(gone);
        m_shown.remove(gone);
    });
}

void ColumnWidthKeeper::Restore(QTreeView *list, const QString &fractions)
{
    if (!list)
        return;
    Watch(list);
    if (fractionsSum(list, fractions) <= 0 || isFittedSet(list, fractions))
        return;
    m_fitting.remove(list);
    m_restored.insert(list, fractions);
    if (list->isVisible() && list->width() > 0) {
        m_shown.insert(list);
        apply(list, fractions);
    }
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
        if (!ok || fraction < 0 || fraction > 1)
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
    // The user's own widths are kept; a name column the user made narrow stays so.
    const int nameMinimum = list->isColumnHidden(0) ? 0 : qMin(widths[0], NameColumnMinimum(list));
    giveWay(widths, minima, nameMinimum, usableWidth(list));
    for (int i = 0; i < columns; ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, widths[i]);
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
        widths[i] = header->defaultSectionSize();
        minima[i] = otherMinimum(list, i);
        others += widths[i];
    }
    const int usable = usableWidth(list);
    widths[0] = list->isColumnHidden(0) ? 0 : usable - others;
    giveWay(widths, minima, list->isColumnHidden(0) ? 0 : NameColumnMinimum(list), usable);
    for (int i = 0; i < columns; ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, widths[i]);
    }
}

int ColumnWidthKeeper::usableWidth(const QTreeView *list)
{
    // The list's own width: its viewport may not have been laid out yet.
    const int scrollBar = list->verticalScrollBar()->isVisible() ? list->verticalScrollBar()->sizeHint().width() : 0;
    return list->width() - 2 * list->frameWidth() - scrollBar;
}

QString ColumnWidthKeeper::Fractions(QTreeView *list)
{
    if (!list)
        return QString();
    // Untouched since they were restored: the list shows them at its current width.
    if (m_restored.contains(list))
        return m_restored.value(list);
    // Fitted to the list as it is now, or never laid out: fitted again next time.
    if (m_fitting.contains(list) || (!m_shown.contains(list) && !list->isVisible()))
        return QString();
    // Against the list's own width, as SetColumnWidths restores them.
    QStringList parts;
    const int width = qMax(1, list->width());
    for (int i = 0; i < columnCount(list); ++i)
        parts << QString::number(static_cast<double>(list->columnWidth(i)) / width, 'f', 4);
    return parts.join(QLatin1Char(';'));
}

bool ColumnWidthKeeper::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress)
        m_dragging = watched;
    else if (type == QEvent::MouseButtonRelease)
        m_dragging = nullptr;
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

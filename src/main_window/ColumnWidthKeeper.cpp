#include "ColumnWidthKeeper.h"

#include "ModListView.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStringList>
#include <QTreeView>

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
            m_overflowing.remove(list);
        }
    });
    connect(list, &QObject::destroyed, this, [this](QObject *gone) {
        m_watched.remove(gone);
        m_fitting.remove(gone);
        m_restored.remove(gone);
        m_overflowing.remove(gone);
        m_shown.remove(gone);
    });
}

void ColumnWidthKeeper::Restore(QTreeView *list, const QString &fractions)
{
    if (!list)
        return;
    Watch(list);
    const double sum = fractionsSum(list, fractions);
    if (sum <= 0)
        return;
    m_fitting.remove(list);
    m_restored.insert(list, fractions);
    if (sum > 1)
        m_overflowing.insert(list);
    else
        m_overflowing.remove(list);
    if (list->isVisible() && list->width() > 0) {
        m_shown.insert(list);
        apply(list, fractions);
    }
}

double ColumnWidthKeeper::fractionsSum(const QTreeView *list, const QString &fractions)
{
    const int columns = list->model() ? list->model()->columnCount() : 0;
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

void ColumnWidthKeeper::apply(QTreeView *list, const QString &fractions)
{
    SetColumnWidths(list, fractions);
    // Widths stored while the list was narrower than its columns (a pane
    // opened too narrow) would push the last columns out of view.
    if (!m_overflowing.contains(list))
        return;
    const int columns = list->model() ? list->model()->columnCount() : 0;
    int total = 0;
    for (int i = 0; i < columns; ++i)
        total += list->isColumnHidden(i) ? 0 : list->columnWidth(i);
    const int usable = usableWidth(list);
    if (total <= usable || usable <= 0)
        return;
    for (int i = 0; i < columns; ++i)
        list->setColumnWidth(i, static_cast<int>(static_cast<qint64>(list->columnWidth(i)) * usable / total));
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
    if (!m_shown.contains(list) && !list->isVisible())
        return QString(); // never laid out: its widths say nothing
    // Against the list's own width, as SetColumnWidths restores them.
    QStringList parts;
    const int width = qMax(1, list->width());
    const int columns = list->model() ? list->model()->columnCount() : 0;
    for (int i = 0; i < columns; ++i)
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
            if (m_fitting.contains(list) && list->width() > 0)
                fitFirstColumn(list);
        }
    }
    return QObject::eventFilter(watched, event);
}

void ColumnWidthKeeper::fitFirstColumn(QTreeView *list)
{
    const int columns = list->model() ? list->model()->columnCount() : 0;
    if (columns < 2)
        return;
    // A stretched last column only takes what is left: count it at its plain size.
    const QHeaderView *header = list->header();
    int others = 0;
    for (int i = 1; i < columns; ++i) {
        if (list->isColumnHidden(i))
            continue;
        const bool stretched = header->stretchLastSection() && i == columns - 1;
        others += stretched ? header->defaultSectionSize() : list->columnWidth(i);
    }
    const int free = usableWidth(list) - others;
    if (free <= header->minimumSectionSize())
        return;
    list->setColumnWidth(0, free);
}

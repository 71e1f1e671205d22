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
        if (m_dragging == list->header()->viewport())
            m_fitting.remove(list);
    });
    connect(list, &QObject::destroyed, this, [this](QObject *gone) {
        m_watched.remove(gone);
        m_fitting.remove(gone);
        m_pending.remove(gone);
        m_shown.remove(gone);
    });
}

void ColumnWidthKeeper::Restore(QTreeView *list, const QString &fractions)
{
    if (!list)
        return;
    Watch(list);
    m_fitting.remove(list);
    if (list->isVisible() && list->width() > 0) {
        m_shown.insert(list);
        m_pending.remove(list);
        SetColumnWidths(list, fractions);
        return;
    }
    m_pending.insert(list, fractions);
}

QString ColumnWidthKeeper::Fractions(QTreeView *list)
{
    if (!list)
        return QString();
    if (m_pending.contains(list))
        return m_pending.value(list);
    if (!m_shown.contains(list) && !list->isVisible())
        return QString(); // never laid out: its widths say nothing
    QStringList parts;
    const int width = qMax(1, list->viewport()->width());
    const int columns = list->model() ? list->model()->columnCount() : 0;
    for (int i = 0; i < columns; ++i)
        parts << QString::number(static_cast<double>(list->columnWidth(i)) / width, 'f', 3);
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
            const auto pending = m_pending.constFind(list);
            if (pending != m_pending.cend() && list->width() > 0) {
                const QString fractions = *pending;
                m_pending.erase(pending);
                SetColumnWidths(list, fractions);
            }
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
    // The list's own width: its viewport may not have been laid out yet.
    const int scrollBar = list->verticalScrollBar()->isVisible() ? list->verticalScrollBar()->sizeHint().width() : 0;
    const int free = list->width() - 2 * list->frameWidth() - scrollBar - others;
    if (free <= header->minimumSectionSize())
        return;
    list->setColumnWidth(0, free);
}

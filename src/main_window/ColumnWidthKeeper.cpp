#include "ColumnWidthKeeper.h"

#include "ModListView.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QStringList>
#include <QTreeView>

ColumnWidthKeeper::ColumnWidthKeeper(QObject *parent) : QObject(parent) {}

void ColumnWidthKeeper::Watch(QTreeView *list)
{
    if (!list || m_watched.contains(list))
        return;
    m_watched.insert(list);
    if (list->isVisible())
        m_shown.insert(list);
    list->installEventFilter(this);
    connect(list, &QObject::destroyed, this, [this](QObject *gone) {
        m_watched.remove(gone);
        m_pending.remove(gone);
        m_shown.remove(gone);
    });
}

void ColumnWidthKeeper::Restore(QTreeView *list, const QString &fractions)
{
    if (!list)
        return;
    Watch(list);
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
        }
    }
    return QObject::eventFilter(watched, event);
}

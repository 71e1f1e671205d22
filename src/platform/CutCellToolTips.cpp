#include "CutCellToolTips.h"

#include "PlainToolTip.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QTreeView>

namespace {

// The width the cell's text has in its column.
int cellWidth(const QAbstractItemView *view, const QModelIndex &index)
{
    if (const auto *tree = qobject_cast<const QTreeView *>(view))
        return tree->columnWidth(index.column());
    return view->visualRect(index).width();
}

} // namespace

CutCellToolTips::CutCellToolTips(QAbstractItemView *view) : QObject(view), m_view(view)
{
    view->viewport()->installEventFilter(this);
}

void CutCellToolTips::Install(QAbstractItemView *view)
{
    if (view)
        new CutCellToolTips(view);
}

bool CutCellToolTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != m_view->viewport())
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = m_view->indexAt(help->pos());
    QString tip;
    if (index.isValid()) {
        tip = index.data(Qt::ToolTipRole).toString();
        // Measured as the list measures a column's widest text.
        if (tip.isEmpty() && m_view->sizeHintForIndex(index).width() > cellWidth(m_view, index))
            tip = index.data(Qt::DisplayRole).toString();
    }
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), PlainToolTip(tip), m_view->viewport(), m_view->visualRect(index));
    return true;
}

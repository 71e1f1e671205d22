#include "ShownToolTip.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>

QString ShownToolTip(QAbstractItemView *view, const QModelIndex &cell)
{
    view->scrollTo(cell);
    const QPoint at = view->visualRect(cell).center();
    if (view->indexAt(at) != cell)
        return QStringLiteral("(cell out of sight)");
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &help);
    if (!QToolTip::isVisible())
        return QString();
    // As the tool tip's label reads its text.
    QTextDocument shown;
    if (Qt::mightBeRichText(QToolTip::text()))
        shown.setHtml(QToolTip::text());
    else
        shown.setPlainText(QToolTip::text());
    return shown.toPlainText();
}

#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class QTreeView;

// Keeps the stored column widths of the window's lists. Widths are stored as
// fractions of a list's width, so they can only be applied once the list has
// its real size: a list that is not shown yet gets them when it is first
// shown. A list that was never shown hands back what was stored for it
// instead of widths measured on a widget that was never laid out. A list
// without stored widths gives its first (name) column the width the other
// columns leave free, until the user sizes a column.
class ColumnWidthKeeper : public QObject
{
    Q_OBJECT
public:
    explicit ColumnWidthKeeper(QObject *parent = nullptr);

    // Follows the list from now on, so that it is known when it was shown.
    void Watch(QTreeView *list);

    // Applies the stored fractions ("0.4;0.2;...") now when the list is
    // shown, otherwise when it is first shown.
    void Restore(QTreeView *list, const QString &fractions);

    // The fractions to store for the list.
    QString Fractions(QTreeView *list);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitFirstColumn(QTreeView *list);

    QSet<QObject *> m_watched;
    QSet<QObject *> m_fitting;
    QObject *m_dragging = nullptr; // the header viewport a mouse button is down on
    QHash<QObject *, QString> m_pending;
    QSet<QObject *> m_shown;
};

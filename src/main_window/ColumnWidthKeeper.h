#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class QTreeView;

// Keeps the stored column widths of the window's lists. Widths are stored as
// fractions of a list's own width, the width SetColumnWidths multiplies by.
// The window only reaches its final size after it is shown (a maximised
// window grows after its first show), so stored fractions stay in force and
// follow the list's width until the user sizes a column; until then they are
// also what is stored again, so widths never creep from one start to the
// next. A list without stored widths fits its columns to its width: the
// first (name) column takes what the others leave free. Widths fitted that
// way are not stored: they are fitted again at the next start, at the width
// the list has then.
//
// A fitted name column always keeps a usable width: where the list is too
// narrow, the other columns give way first, down to about twelve characters,
// and a horizontal scroll bar shows what is still left over. Earlier versions
// stored the widths they fitted, however narrow the pane was then (the other
// columns all at one width, the name column with the rest): such a set is
// not the user's and is not used; the list is fitted instead.
class ColumnWidthKeeper : public QObject
{
    Q_OBJECT
public:
    explicit ColumnWidthKeeper(QObject *parent = nullptr);

    // Follows the list from now on, so that it is known when it was shown.
    void Watch(QTreeView *list);

    // Applies the stored fractions ("0.4;0.2;...") whenever the list is shown
    // or resized, until the user sizes a column. Fractions that do not fit
    // the list's columns, or that an earlier version's fit stored, are
    // ignored; fractions that add up to more than the
    // whole list are narrowed, the other columns before the name column.
    void Restore(QTreeView *list, const QString &fractions);

    // The fractions to store for the list; empty while its widths are fitted.
    QString Fractions(QTreeView *list);

    // The narrowest the name column is made (about 18 characters and the icon).
    static int NameColumnMinimum(const QTreeView *list);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fit(QTreeView *list);
    void apply(QTreeView *list, const QString &fractions);
    // True for a set of fractions a fit of an earlier version stored.
    static bool isFittedSet(const QTreeView *list, const QString &fractions);
    // The sum of the fractions of the list's columns; 0 when they do not fit its columns.
    static double fractionsSum(const QTreeView *list, const QString &fractions);
    // The width the list's columns have without scrolling sideways.
    static int usableWidth(const QTreeView *list);

    QSet<QObject *> m_watched;
    QSet<QObject *> m_fitting;
    QObject *m_dragging = nullptr; // the header viewport a mouse button is down on
    QHash<QObject *, QString> m_restored; // fractions in force until the user sizes a column
    QSet<QObject *> m_shown;
};

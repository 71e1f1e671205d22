#pragma once

#include <QHash>
#include <QList>
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
    // With the list's width `measuredWidth` the fractions were measured
    // against (above 0, and no wider than a widget can be), they are the
    // user's widths and are set in pixels, once, as they were left.
    void Restore(QTreeView *list, const QString &fractions, int measuredWidth = 0);

    // The fractions to store for the list; empty while its widths are fitted.
    QString Fractions(QTreeView *list);
    // The width the stored fractions are measured against; 0 when they are
    // fractions that follow the list's width (or there are none).
    int MeasuredWidth(QTreeView *list) const;

    // How a column fitted to its contents gives way where the list is too narrow.
    enum class ContentFit {
        Whole,      // never: a size is never cut
        ElidesLast, // only once no other column can: its texts elide, whole in their tool tips
        // Once the name column is at its minimum, before the columns that
        // elide last: its texts elide, down to the narrowest a column is.
        ElidesFirst,
    };
    // While the widths are fitted (or follow stored fractions), the column is
    // as wide as its widest text, also when new rows come or texts change;
    // widths the user sized stay as the user left them. A list may have
    // several such columns.
    void FitToContents(QTreeView *list, int column, ContentFit fit = ContentFit::Whole);

    // The narrowest the name column is made (about 18 characters and the icon).
    static int NameColumnMinimum(const QTreeView *list);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fit(QTreeView *list);
    void apply(QTreeView *list, const QString &fractions);
    void setPixels(QTreeView *list, const QString &fractions, int measuredWidth);
    // Sets the widths of the list's shown columns as fitted or applied (not as the user's).
    void setWidths(QTreeView *list, const QList<int> &widths);
    // Fits or applies again once the list's rows changed.
    void rowsChanged(QTreeView *list);
    // Measures the texts of rows first..last in the columns that fit their
    // contents; true when one of them grew. Only what changed is measured.
    bool measureRows(QTreeView *list, int first, int last, int fromColumn, int toColumn);
    // Raises the columns that fit their contents, and their minima, to their
    // widest texts; `lastMinima` is what a column whose texts elide may still give.
    // `yieldsFirst` marks the columns that elide first.
    void raiseContentColumns(QTreeView *list, QList<int> &widths, QList<int> &minima, QList<int> &lastMinima,
                             QList<bool> &yieldsFirst);
    int measureAgainst(QTreeView *list) const;
    // True for a set of fractions a fit of an earlier version stored.
    static bool isFittedSet(const QTreeView *list, const QString &fractions);
    // The sum of the fractions of the list's columns; 0 when they do not fit its columns.
    static double fractionsSum(const QTreeView *list, const QString &fractions);
    // The width the list's columns have without scrolling sideways.
    static int usableWidth(const QTreeView *list);

    QSet<QObject *> m_watched;
    QSet<QObject *> m_fitting;
    QObject *m_dragging = nullptr; // the header viewport whose divider a mouse button is down on
    bool m_settingWidths = false;  // the widths being set are fitted or applied ones
    QHash<QObject *, QString> m_restored; // fractions in force until the user sizes a column
    QSet<QObject *> m_shown;
    QHash<QObject *, int> m_measured;         // the width pixel widths set by Restore were measured on
    struct ContentColumn {
        int column = 0;
        ContentFit fit = ContentFit::Whole;
        int widest = 0;              // the widest text measured since the rows were last reset
        QHash<QString, int> widths;  // the width of each text met: status texts are a small set
    };
    struct ContentColumns {
        QList<ContentColumn> columns;
        bool stale = true; // every row is measured again before the next fit (new rows wholesale, another font)
    };
    QHash<QObject *, ContentColumns> m_content; // the columns that fit their contents
    QSet<QObject *> m_rowsChanged;            // lists whose rows changed since the last fit
};

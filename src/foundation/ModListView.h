#pragma once

#include <QIcon>
#include <QMap>
#include <QString>

class MainWindowServices;
class QItemSelectionModel;
class QTreeView;

// Helpers for the report lists (file listings, jobs, results, handlers):
// stored column widths, click-to-sort with header marks, and the file-icon lookup.

// Header data role holding the key of a column's header mark:
// "arr_up" (sort column, ascending), "arr_dn" (descending), "dot" (former sort column).
constexpr int HeaderIconKeyRole = Qt::UserRole + 72;

// The pictures shown for the header mark keys; the host supplies them.
void SetHeaderImageList(QTreeView *list, const QMap<QString, QIcon> &pictures);
QString HeaderIconKey(const QTreeView *list, int column);

// Widths from fractions of the list's width separated by ";" (e.g. "0.3;0.2;0.5").
// With fewer entries than columns the current widths are rescaled to the list
// instead; nothing changes when they sum to nothing.
void SetColumnWidths(QTreeView *list, const QString &widthText);

// The same, once the list is first laid out on screen: before that its width
// is not the one the window gives it. With a `sizeColumn`, that column then
// widens to every size the rows bring, taking the width from `giver`, until
// the user sizes a column.
void SetColumnWidthsWhenShown(QTreeView *list, const QString &widthText, int sizeColumn = -1, int giver = -1);

// Widens `column` to its widest text when it is narrower; the width it gains
// comes off `giver`, which keeps at least `giverMinimum`.
void WidenColumnToContents(QTreeView *list, int column, int giver, int giverMinimum);

// The column-click rule: a new column sorts ascending; the sort column toggles.
void HandleLVSort(QTreeView *list, int clickedColumn);

// The sort the list shows; -1 for a list not sorted by these helpers yet.
int ListSortColumn(const QTreeView *list);
Qt::SortOrder ListSortOrder(const QTreeView *list);

// Applies a stored sort.
void SortListView(QTreeView *list, int column, bool ascending);

// True when the main window's file-icon list holds a picture under the key.
bool GetImageListPicture(MainWindowServices &mainWindow, const QString &key);

// Selected rows of a report list. Without full-row selection a click selects
// one cell only, and the user still means the row: a row counts as selected
// when any of its cells is. How the selection looks is left to the option.
bool IsListRowSelected(const QItemSelectionModel *selection, int row);
bool HasSelectedListRow(const QItemSelectionModel *selection);

// Headers that do not act as buttons.
void FlattenListViewHeader(QTreeView *list);

// How many rows are selected whole (as selectedRows() counts them), counted
// only up to `limit`: rules that tell none, one and many apart read this
// from the selection's ranges without listing a large selection's rows.
int SelectedRowsUpTo(const QItemSelectionModel *selection, int limit);

#pragma once

#include <QModelIndex>
#include <QString>

class QAbstractItemView;

// The tool tip the user meets on a cell of the view, as its window shows the
// text (markup read as markup); empty when none shows.
QString ShownToolTip(QAbstractItemView *view, const QModelIndex &cell);

#pragma once

#include <QByteArray>
#include <QList>

class QSplitter;

// A splitter whose children have no stretch factors divides its room in
// proportion to the sizes it was last given, but first raises every size
// below its widget's minimum to that minimum. Sizes given in pixels while
// the window is still small thus become the ratio of the minimum widths once
// the window grows (a maximised window grows after it is shown). Shares given
// as large numbers are never raised, so the ratio holds at every width.

// Gives the children the room in the ratio of `shares`; nothing happens when
// a share is not above 0 (a share of 0 would collapse its child).
void SetSplitterShares(QSplitter *splitter, const QList<int> &shares);

// The sizes a QSplitter::saveState text holds; empty when it is not one.
QList<int> StoredSplitterSizes(const QByteArray &state);

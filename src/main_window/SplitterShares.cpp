#include "SplitterShares.h"

#include <QDataStream>
#include <QSplitter>

namespace {

// Far above any minimum width, and small enough for the layout's arithmetic.
constexpr qint64 kWhole = 100000;
// What QSplitter::saveState writes first.
constexpr qint32 kSplitterMarker = 0xff;

} // namespace

void SetSplitterShares(QSplitter *splitter, const QList<int> &shares)
{
    if (!splitter || shares.size() != splitter->count())
        return;
    qint64 total = 0;
    for (int share : shares) {
        if (share <= 0)
            return;
        total += share;
    }
    QList<int> sizes;
    for (int share : shares)
        sizes << static_cast<int>(qMax<qint64>(1, share * kWhole / total));
    splitter->setSizes(sizes);
}

QList<int> StoredSplitterSizes(const QByteArray &state)
{
    QDataStream stream(state);
    qint32 marker = 0;
    qint32 version = 0;
    QList<int> sizes;
    stream >> marker >> version >> sizes;
    if (stream.status() != QDataStream::Ok || marker != kSplitterMarker)
        return {};
    return sizes;
}

#pragma once

#include "FtpFileItem.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <vector>

// Counters of one search.
struct SearchStatistics
{
    qint64 TotalFiles = 0;
    qint64 TotalFolders = 0;
    qint64 MatchedFiles = 0;
    qint64 TotalBytes = 0;
    qint64 MatchedBytes = 0;
};

// One file that passed the filters.
struct SearchHit
{
    QString Name;
    QString Location; // the folder, as the server gave it back
    qint64 Size = 0;
    QString DateText;   // as listed
    QDateTime Modified; // the date text read, invalid when it is no date
};

// How a search ended.
enum class SearchEnd {
    QueueDone,        // every folder visited
    Stopped,          // Stop took effect
    HitLimit,         // more than SearchWalk::kHitLimit hits
    Watchdog,         // two minutes without a session
    Disconnected,     // the session ended under the walk
    ConnectionFailed, // no connection could be made
    Closed,           // the owner closed it (no notice, no sound)
};

// Where a search walk delivers what it finds. Calls come from the walk's
// event handlers; a sink must not delete the walk from inside one.
class SearchSink
{
public:
    virtual ~SearchSink() = default;

    virtual void SearchConnected(bool) {}
    virtual void SearchStatus(const QString &) {}
    // The session log: commands, replies and messages, each a line.
    virtual void SearchLog(const QString &) {}
    // An error that ended the session.
    virtual void SearchError(const QString &) {}
    virtual void SearchElapsed(qint64) {}
    // A folder was listed: its path and, when it holds at least one file,
    // every entry in listing order (the pieces of the HTML report).
    virtual void SearchFolderListed(const QString &, const QList<FtpFileItem> &) {}
    // The hits of one folder, in listing order.
    virtual void SearchHits(std::vector<SearchHit> &) {}
    virtual void SearchStatisticsChanged(const SearchStatistics &) {}
    // A folder from the server that is not walked (unsafe name, too long).
    virtual void SearchFolderRefused(const QString &, const QString &) {}
    // Called exactly once per started search, after the session was closed.
    virtual void SearchFinished(SearchEnd, bool, const SearchStatistics &) = 0;
};

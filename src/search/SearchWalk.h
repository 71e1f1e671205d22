#pragma once

#include "FolderQueue.h"
#include "FtpCache.h"
#include "SearchSink.h"
#include "WildcardPattern.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

class EngineTimer;
class FtpCommander;

// What to search for and where.
struct SearchCriteria
{
    QString Server;
    QString User;
    QString Password;
    int Port = 21;
    bool Passive = true;
    bool SearchRoot = true;        // start at "/"
    QStringList SpecialFolders;    // further start folders, in order
    QStringList FilePatterns;      // wildcard patterns; a name matching any is a hit
    bool CheckSize = false;
    qint64 MinSizeBytes = 0;       // inclusive
    qint64 MaxSizeBytes = 0;       // inclusive
    bool CheckDate = false;
    QDateTime DateFrom;            // inclusive, wall clock (UTC spec)
    QDateTime DateTo;              // inclusive
};

// Searches an FTP server's folder tree breadth-first for files by name, size
// and date. It drives its own FtpCommander one operation at a time: each
// folder costs one change of folder and at most one listing, and listings
// are kept in a cache file for later searches of the same walk. Hits,
// statistics and report pieces go to a SearchSink. No widgets.
class SearchWalk : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHitLimit = 2000;
    static constexpr int kWatchdogSeconds = 120;
    static constexpr qsizetype kMaxPathBytes = 4096;

    // Cache files go into `cacheFolder`; `timer` is the engine's clock (tests
    // pass a manual one). The listing cache is emptied here.
    SearchWalk(SearchSink &sink, const QString &cacheFolder, EngineTimer *timer = nullptr, QObject *parent = nullptr);
    ~SearchWalk() override;

    // Starts a search; false when one is running. The first start folder is
    // "/" with SearchRoot, else the first special folder (there must be one).
    bool Start(const SearchCriteria &criteria);
    // Ends the search at the next completed change of folder.
    void RequestStop() { m_stopRequested = true; }
    // Ends a running search now without notice (the owner closes).
    void Close();

    bool IsRunning() const { return m_running; }
    bool SessionActive() const;
    const SearchStatistics &Statistics() const { return m_stats; }
    qint64 ElapsedSeconds() const { return m_elapsed; }
    FtpCommander *Engine() const { return m_engine; }
    FtpCache &Cache() { return m_cache; }

    // One second of the watchdog (the timer calls it; tests too).
    void Timer1_Timer();

    // Whether a file passes the name, size and date filters.
    static bool Passes(const FtpFileItem &item, const SearchCriteria &criteria, const WildcardPatternList &patterns,
                       const QDate &today, QDateTime *modified = nullptr);

private:
    void FtpCmd_JobDone();
    void ProcessSearchListing(const QString &cacheKey, const QString &listing, bool fresh);
    void NextFolder();
    void ScheduleNextFolder();
    void queueSubfolder(const QString &parent, const FtpFileItem &item);
    void FinishSearch(SearchEnd end);
    QString cacheKey() const;

    SearchSink &m_sink;
    FtpCommander *m_engine = nullptr;
    FtpCache m_cache;
    QTimer m_watchdog;
    SearchCriteria m_criteria;
    std::optional<WildcardPatternList> m_patterns;
    FolderQueue m_queue;
    QSet<QString> m_searched; // folders listed in this run, as the server gave them back
    SearchStatistics m_stats;
    QString m_startupPath;
    qint64 m_elapsed = 0;
    quint64 m_run = 0;
    bool m_running = false;
    bool m_stopRequested = false;
};

#pragma once

#include "RemoteFolderWalk.h"
#include "SearchSink.h"
#include "WildcardPattern.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

class EngineTimer;

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
// and date, with its own FtpCommander on the shared folder walk. Listings
// are kept in a cache file, by server, user and folder, for later searches
// of the same window. Hits,
// statistics, refused folders and report pieces go to a SearchSink. No widgets.
class SearchWalk : public RemoteFolderWalk
{
    Q_OBJECT
public:
    static constexpr int kHitLimit = 2000;
    static constexpr int kWatchdogSeconds = 120;

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

    bool IsRunning() const { return IsWalking(); }
    // Whether the last search got past its log-in, and if not, the engine's last word on it.
    bool LoggedInOnce() const { return m_loggedIn; }
    QString LoginFailure() const { return LoginFailureText(); }
    bool SessionActive() const;
    // The start folders (the root, the special folders) of the last search
    // that were not listed: not entered, or entered and their listing failed.
    const QStringList &StartFoldersUnlisted() const { return m_startsUnlisted; }
    // Every folder of the last search whose files are unknown, start folders
    // among them, in walk order: the server would not enter it or not list it.
    const QStringList &FoldersUnlisted() const { return m_unlisted; }
    const SearchStatistics &Statistics() const { return m_stats; }
    qint64 ElapsedSeconds() const { return m_elapsed; }

    // What heads the listing cache's keys: one server as one user
    // (user@host:port), so two servers on one host never share listings.
    static QString CacheServerKey(const SearchCriteria &criteria);

    // One second of the watchdog (the timer calls it; tests too).
    void Timer1_Timer();

    // Whether a file passes the name, size and date filters.
    static bool Passes(const FtpFileItem &item, const SearchCriteria &criteria, const WildcardPatternList &patterns,
                       const QDate &today, QDateTime *modified = nullptr);

protected:
    bool StopNow(long act) override;
    bool LoggedIn(bool ok) override;
    void FolderEntered(const QString &path) override;
    void FolderRefused(const QString &path, const QString &reason) override;
    void FolderListed(const QString &path, const QList<FtpFileItem> &items, bool emptyListing) override;
    void FolderUnlisted(const QString &path) override;
    void FolderNotEntered(const QString &path) override;
    void WalkEnded(WalkEnd end) override;

private:
    void FinishSearch(SearchEnd end);
    void noteUnlisted(const QString &path);

    SearchSink &m_sink;
    QTimer m_watchdog;
    SearchCriteria m_criteria;
    std::optional<WildcardPatternList> m_patterns;
    SearchStatistics m_stats;
    qint64 m_elapsed = 0;
    QStringList m_startFolders;
    QStringList m_startsUnlisted;
    QStringList m_unlisted;
    bool m_stopRequested = false;
    bool m_loggedIn = false;
};

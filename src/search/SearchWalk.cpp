#include "SearchWalk.h"

#include "ErrorLog.h"
#include "FtpCommander.h"
#include "ListingDate.h"
#include "ServerLocation.h"

namespace {

const QString kObject = QStringLiteral("SearchWalk");

} // namespace

SearchWalk::SearchWalk(SearchSink &sink, const QString &cacheFolder, EngineTimer *timer, QObject *parent)
    : RemoteFolderWalk(kObject, false, parent), m_sink(sink)
{
    // Folders are known by the path asked for: a server's read-back is not trusted to tell two folders apart.
    AttachEngine(new FtpCommander(this, timer));
    FtpCommander *engine = Engine();
    engine->setIsVisible(true);
    engine->setCacheFile(cacheFolder + QStringLiteral("/SearchCache1.dat"));
    engine->SetStartUpPort(10000, 1000);
    Cache().SetCacheFile(cacheFolder + QStringLiteral("/Search.ch"));
    Cache().TruncateCacheFile();
    m_watchdog.setInterval(1000);
    connect(&m_watchdog, &QTimer::timeout, this, &SearchWalk::Timer1_Timer);

    connect(engine, &FtpCommander::FtpConnect, this, [this] {
        try {
            m_sink.SearchConnected(true);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_FtpConnect"));
        }
    });
    connect(engine, &FtpCommander::FtpDisconnect, this, [this] {
        try {
            m_sink.SearchConnected(false);
            FinishSearch(SearchEnd::Disconnected);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_FtpDisconnect"));
        }
    });
    connect(engine, &FtpCommander::ConnectionFailed, this, [this] {
        try {
            m_sink.SearchStatus(QStringLiteral("Could not connect to ") + Engine()->ServerUrl()
                                + QStringLiteral(" . Currently ideal.."));
            FinishSearch(SearchEnd::ConnectionFailed);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_ConnectionFailed"));
        }
    });
    connect(engine, &FtpCommander::Error, this, [this](long, const QString &description, bool critical) {
        try {
            if (critical)
                m_sink.SearchError(description);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_Error"));
        }
    });
    auto log = [this](const QString &text) {
        try {
            m_sink.SearchLog(text);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_Log"));
        }
    };
    connect(engine, &FtpCommander::CommandSent, this, [log](const QString &, const QString &command) { log(command); });
    connect(engine, &FtpCommander::ServerReplied, this, [log](const QString &, const QString &line) { log(line); });
    connect(engine, &FtpCommander::Message, this, log);
}

SearchWalk::~SearchWalk()
{
    // The owner is going away: no sink calls any more.
    AbandonWalk();
    m_watchdog.stop();
    disconnect(Engine(), nullptr, this, nullptr);
}

bool SearchWalk::SessionActive() const { return Engine()->SessionActive(); }

bool SearchWalk::Start(const SearchCriteria &criteria)
{
    if (IsWalking())
        return false;
    FolderQueue &queue = Queue();
    queue.Clear();
    for (const QString &folder : criteria.SpecialFolders) {
        if (!folder.trimmed().isEmpty())
            queue.Add(folder.trimmed());
    }
    m_startFolders = queue.Paths();
    QString startupPath;
    if (criteria.SearchRoot)
        startupPath = QStringLiteral("/");
    else if (queue.HasPending())
        startupPath = queue.TakeFirst();
    else
        return false;

    if (criteria.SearchRoot)
        m_startFolders.prepend(startupPath);
    m_startsUnlisted.clear();
    m_unlisted.clear();
    m_criteria = criteria;
    m_patterns.emplace(criteria.FilePatterns);
    m_stats = {};
    m_elapsed = 0;
    m_stopRequested = false;
    m_loggedIn = false;
    FtpCommander *engine = Engine();
    engine->setServerUrl(criteria.Server);
    engine->setUser(criteria.User);
    engine->setPassword(criteria.Password);
    engine->setPort(criteria.Port);
    engine->setListingAllowed(true);
    engine->setMode(criteria.Passive ? 0 : 1);
    m_watchdog.start();
    m_sink.SearchStatisticsChanged(m_stats);
    BeginWalk(CacheServerKey(criteria), startupPath);
    return true;
}

QString SearchWalk::CacheServerKey(const SearchCriteria &criteria)
{
    // Written into each cache entry's header, so never the password.
    return ServerUserKey(criteria.User, criteria.Server, criteria.Port);
}

void SearchWalk::Close() { FinishSearch(SearchEnd::Closed); }

bool SearchWalk::LoggedIn(bool ok)
{
    // A failed log-in leaves the session inactive; the watchdog ends the search.
    m_loggedIn = ok;
    return ok;
}

bool SearchWalk::StopNow(long act) { return m_stopRequested && act == FtpCommander::ActChangeDir; }

void SearchWalk::FolderEntered(const QString &path) { m_sink.SearchStatus(QStringLiteral("Searching: ") + path); }

void SearchWalk::FolderUnlisted(const QString &path) { noteUnlisted(path); }

// A folder the server would not enter: its files are missing from the search.
void SearchWalk::FolderNotEntered(const QString &path) { noteUnlisted(path); }

void SearchWalk::noteUnlisted(const QString &path)
{
    if (!m_unlisted.contains(path))
        m_unlisted.append(path);
    if (m_startFolders.contains(path) && !m_startsUnlisted.contains(path))
        m_startsUnlisted.append(path);
}

void SearchWalk::FolderRefused(const QString &path, const QString &reason) { m_sink.SearchFolderRefused(path, reason); }

bool SearchWalk::Passes(const FtpFileItem &item, const SearchCriteria &criteria, const WildcardPatternList &patterns,
                        const QDate &today, QDateTime *modified)
{
    if (!patterns.Matches(item.Name))
        return false;
    if (criteria.CheckSize && (item.Size < criteria.MinSizeBytes || item.Size > criteria.MaxSizeBytes))
        return false;
    const QDateTime date = ListingDate::Read(item.DateText, today);
    if (modified)
        *modified = date;
    // A date text that is no date never excludes the file.
    if (criteria.CheckDate && date.isValid() && (date < criteria.DateFrom || date > criteria.DateTo))
        return false;
    return true;
}

void SearchWalk::FolderListed(const QString &path, const QList<FtpFileItem> &items, bool emptyListing)
{
    const quint64 run = Run();
    if (emptyListing) {
        m_sink.SearchFolderListed(path, {});
        m_sink.SearchLog(path + QStringLiteral(" {0} ??"));
        return;
    }
    qint64 files = 0;
    for (const FtpFileItem &item : items) {
        if (item.IsFolder)
            ++m_stats.TotalFolders;
        else
            ++files;
    }
    m_stats.TotalFiles += files;
    std::vector<SearchHit> hits;
    if (files > 0) {
        m_sink.SearchFolderListed(path, items);
        const QDate today = QDate::currentDate();
        for (const FtpFileItem &item : items) {
            if (item.IsFolder)
                continue;
            m_stats.TotalBytes += item.Size;
            QDateTime modified;
            if (!Passes(item, m_criteria, *m_patterns, today, &modified))
                continue;
            m_stats.MatchedBytes += item.Size;
            ++m_stats.MatchedFiles;
            hits.push_back(SearchHit{item.Name, path, item.Size, item.DateText, modified});
        }
    } else {
        m_sink.SearchFolderListed(path, {});
    }
    if (!hits.empty())
        m_sink.SearchHits(hits);
    if (!IsCurrentRun(run))
        return;
    m_sink.SearchStatisticsChanged(m_stats);
    if (!IsCurrentRun(run))
        return;
    // Checked once per folder, so a folder with many hits may pass the limit before the end.
    if (m_stats.MatchedFiles > kHitLimit)
        FinishSearch(SearchEnd::HitLimit);
}

void SearchWalk::WalkEnded(WalkEnd end)
{
    switch (end) {
    case WalkEnd::QueueDone:
        FinishSearch(SearchEnd::QueueDone);
        break;
    case WalkEnd::Stopped:
        FinishSearch(SearchEnd::Stopped);
        break;
    case WalkEnd::SessionLost:
        FinishSearch(SearchEnd::Disconnected);
        break;
    }
}

void SearchWalk::Timer1_Timer()
{
    try {
        if (!IsWalking()) {
            m_watchdog.stop();
            return;
        }
        ++m_elapsed;
        m_sink.SearchElapsed(m_elapsed);
        if (IsWalking() && m_elapsed >= kWatchdogSeconds && !Engine()->SessionActive())
            FinishSearch(SearchEnd::Watchdog);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer1_Timer"));
    }
}

void SearchWalk::FinishSearch(SearchEnd end)
{
    if (!IsWalking())
        return;
    m_watchdog.stop();
    bool wasActive = false;
    if (CloseWalk(&wasActive))
        m_sink.SearchFinished(end, wasActive, m_stats);
}

#include "SearchWalk.h"

#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "ListingDate.h"
#include "ModFTPTrelm.h"
#include "Paths.h"
#include "TextCodec.h"

namespace {

const QString kObject = QStringLiteral("SearchWalk");

// Why a folder name from a listing is not walked; empty when it may be.
QString refusalOf(const QString &name, const QString &path)
{
    if (!IsSafeRemoteName(name))
        return QStringLiteral("unsafe folder name");
    if (path.contains(QLatin1Char('\r')) || path.contains(QLatin1Char('\n')) || path.contains(QChar(0)))
        return QStringLiteral("line break or NUL in the path");
    if (TextCodec::ByteLength(path) > SearchWalk::kMaxPathBytes)
        return QStringLiteral("path longer than 4096 bytes");
    return {};
}

} // namespace

SearchWalk::SearchWalk(SearchSink &sink, const QString &cacheFolder, EngineTimer *timer, QObject *parent)
    : QObject(parent), m_sink(sink), m_engine(new FtpCommander(this, timer))
{
    m_engine->setIsVisible(true);
    m_engine->setCacheFile(cacheFolder + QStringLiteral("/SearchCache1.dat"));
    m_engine->SetStartUpPort(10000, 1000);
    m_cache.SetCacheFile(cacheFolder + QStringLiteral("/Search.ch"));
    m_cache.TruncateCacheFile();
    m_watchdog.setInterval(1000);
    connect(&m_watchdog, &QTimer::timeout, this, &SearchWalk::Timer1_Timer);

    connect(m_engine, &FtpCommander::JobDone, this, &SearchWalk::FtpCmd_JobDone);
    connect(m_engine, &FtpCommander::FtpConnect, this, [this] {
        try {
            m_sink.SearchConnected(true);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_FtpConnect"));
        }
    });
    connect(m_engine, &FtpCommander::FtpDisconnect, this, [this] {
        try {
            m_sink.SearchConnected(false);
            FinishSearch(SearchEnd::Disconnected);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_FtpDisconnect"));
        }
    });
    connect(m_engine, &FtpCommander::ConnectionFailed, this, [this] {
        try {
            m_sink.SearchStatus(QStringLiteral("Could not connect to ") + m_engine->ServerUrl()
                                + QStringLiteral(" . Currently ideal.."));
            FinishSearch(SearchEnd::ConnectionFailed);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("FtpCmd_ConnectionFailed"));
        }
    });
    connect(m_engine, &FtpCommander::Error, this, [this](long, const QString &description, bool critical) {
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
    connect(m_engine, &FtpCommander::CommandSent, this, [log](const QString &, const QString &command) { log(command); });
    connect(m_engine, &FtpCommander::ServerReplied, this, [log](const QString &, const QString &line) { log(line); });
    connect(m_engine, &FtpCommander::Message, this, log);
}

SearchWalk::~SearchWalk()
{
    // The owner is going away: no sink calls any more.
    m_running = false;
    m_watchdog.stop();
    disconnect(m_engine, nullptr, this, nullptr);
}

bool SearchWalk::SessionActive() const { return m_engine->SessionActive(); }

bool SearchWalk::Start(const SearchCriteria &criteria)
{
    if (m_running)
        return false;
    m_criteria = criteria;
    m_patterns.emplace(criteria.FilePatterns);
    m_queue.Clear();
    m_searched.clear();
    m_stats = {};
    m_elapsed = 0;
    m_stopRequested = false;
    for (const QString &folder : criteria.SpecialFolders) {
        if (!folder.trimmed().isEmpty())
            m_queue.Add(folder.trimmed());
    }
    if (criteria.SearchRoot)
        m_startupPath = QStringLiteral("/");
    else if (m_queue.HasPending())
        m_startupPath = m_queue.TakeFirst();
    else
        return false;

    ++m_run;
    m_running = true;
    m_engine->setServerUrl(criteria.Server);
    m_engine->setUser(criteria.User);
    m_engine->setPassword(criteria.Password);
    m_engine->setPort(criteria.Port);
    m_engine->setListingAllowed(true);
    m_engine->setMode(criteria.Passive ? 0 : 1);
    m_engine->setStartupPath(m_startupPath);
    m_watchdog.start();
    m_sink.SearchStatisticsChanged(m_stats);
    m_engine->StartSession();
    return true;
}

void SearchWalk::Close() { FinishSearch(SearchEnd::Closed); }

QString SearchWalk::cacheKey() const { return ComposeRemotePath(m_criteria.Server.trimmed(), m_engine->RemotePath()); }

void SearchWalk::FtpCmd_JobDone()
{
    try {
        if (!m_running)
            return;
        const bool ok = m_engine->LastCmdSucces();
        switch (m_engine->LastAct()) {
        case FtpCommander::ActLogin:
            m_engine->FTP_CHG_DIR(m_startupPath);
            break;
        case FtpCommander::ActChangeDir: {
            if (m_stopRequested) {
                FinishSearch(SearchEnd::Stopped);
                return;
            }
            if (!ok) {
                ScheduleNextFolder();
                return;
            }
            const QString path = m_engine->RemotePath();
            // A folder reached again (a link back up the tree, a special folder met twice) is not listed again.
            if (m_searched.contains(path)) {
                ScheduleNextFolder();
                return;
            }
            m_searched.insert(path);
            m_sink.SearchStatus(QStringLiteral("Searching: ") + path);
            const QString key = cacheKey();
            const QString cached = m_cache.GetDirCache(key);
            if (!cached.isEmpty())
                ProcessSearchListing(key, cached, false);
            else
                m_engine->FTP_LIST_DIR();
            break;
        }
        case FtpCommander::ActList:
            if (ok)
                ProcessSearchListing(cacheKey(), m_engine->getListData(), true);
            else
                ScheduleNextFolder();
            break;
        default:
            break;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
        ScheduleNextFolder();
    }
}

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

void SearchWalk::queueSubfolder(const QString &parent, const FtpFileItem &item)
{
    QString path = parent + QLatin1Char('/') + item.Name;
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    const QString refusal = refusalOf(item.Name, path);
    if (!refusal.isEmpty()) {
        m_sink.SearchFolderRefused(path, refusal);
        return;
    }
    m_queue.Add(path);
}

void SearchWalk::ProcessSearchListing(const QString &key, const QString &listing, bool fresh)
{
    const quint64 run = m_run;
    const QString path = m_engine->RemotePath();
    if (fresh)
        m_cache.UpdateDirCache(key, listing);
    if (listing.isEmpty()) {
        m_sink.SearchFolderListed(path, {});
        m_sink.SearchLog(path + QStringLiteral(" {0} ??"));
        ScheduleNextFolder();
        return;
    }
    const QList<FtpFileItem> items = GetFileList(listing, path);
    qint64 files = 0;
    for (const FtpFileItem &item : items) {
        if (!item.IsFolder) {
            ++files;
            continue;
        }
        ++m_stats.TotalFolders;
        if (item.Name != QLatin1String(".") && item.Name != QLatin1String(".."))
            queueSubfolder(path, item);
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
    if (run != m_run || !m_running)
        return;
    m_sink.SearchStatisticsChanged(m_stats);
    if (run != m_run || !m_running)
        return;
    // Checked once per folder, so a folder with many hits may pass the limit before the end.
    if (m_stats.MatchedFiles > kHitLimit)
        FinishSearch(SearchEnd::HitLimit);
    else
        ScheduleNextFolder();
}

void SearchWalk::ScheduleNextFolder()
{
    if (!m_running)
        return;
    // Queued, so an operation that ends inside its own call never nests the next one.
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run == m_run && m_running)
                NextFolder();
        },
        Qt::QueuedConnection);
}

void SearchWalk::NextFolder()
{
    try {
        if (!m_queue.HasPending()) {
            FinishSearch(SearchEnd::QueueDone);
            return;
        }
        if (!m_engine->SessionActive()) {
            FinishSearch(SearchEnd::Disconnected);
            return;
        }
        m_engine->FTP_CHG_DIR(m_queue.TakeFirst());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("NextFolder"));
        FinishSearch(SearchEnd::Disconnected);
    }
}

void SearchWalk::Timer1_Timer()
{
    try {
        if (!m_running) {
            m_watchdog.stop();
            return;
        }
        ++m_elapsed;
        m_sink.SearchElapsed(m_elapsed);
        if (m_running && m_elapsed >= kWatchdogSeconds && !m_engine->SessionActive())
            FinishSearch(SearchEnd::Watchdog);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer1_Timer"));
    }
}

void SearchWalk::FinishSearch(SearchEnd end)
{
    if (!m_running)
        return;
    m_running = false;
    ++m_run;
    m_watchdog.stop();
    const bool wasActive = m_engine->SessionActive();
    m_engine->CloseSession();
    m_sink.SearchFinished(end, wasActive, m_stats);
}

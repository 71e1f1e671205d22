#pragma once

#include "SearchSink.h"

#include <QTest>
#include "SearchWalk.h"

#include <QStringList>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <vector>

// Records what a search walk delivers.
class SearchRecorder : public SearchSink
{
public:
    void SearchConnected(bool connected) override { connects += connected ? 1 : 0; }
    void SearchStatus(const QString &text) override
    {
        if (text.startsWith(QStringLiteral("Searching: ")))
            visited.append(text.mid(11));
        status = text;
    }
    void SearchLog(const QString &text) override { log.append(text); }
    void SearchFolderListed(const QString &path, const QList<FtpFileItem> &items) override
    {
        listed.append(path);
        reportRows += items.size();
    }
    void SearchHits(std::vector<SearchHit> &found) override
    {
        for (SearchHit &hit : found)
            hits.push_back(std::move(hit));
        if (onHits)
            onHits();
    }
    void SearchStatisticsChanged(const SearchStatistics &s) override { stats = s; }
    void SearchFolderRefused(const QString &path, const QString &) override { refused.append(path); }
    void SearchFinished(SearchEnd how, bool active, const SearchStatistics &s) override
    {
        ++finishes;
        end = how;
        sessionWasActive = active;
        stats = s;
        if (m_loop)
            m_loop->quit();
    }

    QStringList hitPaths() const
    {
        QStringList out;
        for (const SearchHit &hit : hits)
            out.append(hit.Location + QLatin1Char('/') + hit.Name);
        return out;
    }
    int commandsLike(const QString &verb) const
    {
        int n = 0;
        for (const QString &line : log)
            n += line.startsWith(verb) ? 1 : 0;
        return n;
    }
    // Runs the event loop until the search ends (qWaitFor would sleep between
    // rounds and make every server round trip cost 10 ms).
    bool waitFinished(int ms = 20000)
    {
        if (finishes > 0)
            return true;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(ms);
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        return finishes > 0;
    }

    int connects = 0;
    int finishes = 0;
    SearchEnd end = SearchEnd::QueueDone;
    bool sessionWasActive = false;
    SearchStatistics stats;
    QString status;
    QStringList visited;
    QStringList listed;
    QStringList log;
    QStringList refused;
    qsizetype reportRows = 0;
    std::vector<SearchHit> hits;
    std::function<void()> onHits;

private:
    QEventLoop *m_loop = nullptr;
};

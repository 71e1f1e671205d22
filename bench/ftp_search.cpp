// Searches a server's folder tree with the search walk, headless, and prints
// what it saw and how long it took. Run by hand, side by side with another
// client's recursive listing of the same tree on the same server.
//
//   ftp_search --host H --port P --user U --password W [--active] [--log] REMOTE_DIR PATTERN
// (--log prints the session's commands and replies to stderr)
#include "SearchWalk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

#include <sys/resource.h>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: ftp_search --host H --port P --user U --password W [--active] [--log] REMOTE_DIR PATTERN\n");
    return 2;
}

// Peak resident set size in KiB, from /proc.
long PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Keeps counts only, so memory follows the matches, not the files seen.
class CountingSink : public SearchSink
{
public:
    void SearchHits(std::vector<SearchHit> &hits) override { matches += static_cast<qint64>(hits.size()); }
    void SearchLog(const QString &text) override
    {
        if (log)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    void SearchFinished(SearchEnd how, bool, const SearchStatistics &s) override
    {
        end = how;
        stats = s;
        QCoreApplication::quit();
    }
    bool log = false;
    qint64 matches = 0;
    SearchEnd end = SearchEnd::QueueDone;
    SearchStatistics stats;
};

// User and system CPU time of this process so far, in seconds.
double CpuSeconds()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    SearchCriteria criteria;
    criteria.Server = QStringLiteral("127.0.0.1");
    criteria.User = QStringLiteral("anonymous");
    criteria.Password = QStringLiteral("guest");
    criteria.SearchRoot = false;
    QStringList rest;
    bool log = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--host") && hasValue)
            criteria.Server = args.at(++i);
        else if (a == QLatin1String("--port") && hasValue)
            criteria.Port = args.at(++i).toInt();
        else if (a == QLatin1String("--user") && hasValue)
            criteria.User = args.at(++i);
        else if (a == QLatin1String("--password") && hasValue)
            criteria.Password = args.at(++i);
        else if (a == QLatin1String("--active"))
            criteria.Passive = false;
        else if (a == QLatin1String("--log"))
            log = true;
        else
            rest.append(a);
    }
    if (rest.size() != 2)
        return Usage();
    criteria.SpecialFolders = {rest.at(0)};
    criteria.FilePatterns = rest.at(1).split(QLatin1Char(';'));

    QTemporaryDir cache;
    CountingSink sink;
    sink.log = log;
    SearchWalk walk(sink, cache.path());
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = CpuSeconds();
    if (!walk.Start(criteria))
        return Usage();
    app.exec();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("end=%d\n", static_cast<int>(sink.end));
    std::printf("peak_rss_kib=%ld\n", PeakRssKiB());
    std::printf("folders=%lld files=%lld matches=%lld unlisted=%lld seconds=%.3f cpu_seconds=%.3f\n",
                static_cast<long long>(sink.stats.TotalFolders), static_cast<long long>(sink.stats.TotalFiles),
                static_cast<long long>(sink.matches), static_cast<long long>(walk.FoldersUnlisted().size()), seconds,
                cpu);
    return sink.end == SearchEnd::QueueDone ? 0 : 1;
}

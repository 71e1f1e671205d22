// Writes saved-search files of 10,000 and 100,000 records (or the counts
// given on the command line) and times loading each into a collection, as
// the search window does when it opens; prints milliseconds per load.
//
//   search_prefs [COUNT...]
#include "JSearch.h"
#include "JSearchCollection.h"
#include "SearchPrefFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// One file of `count` distinct records; false when it could not be written.
bool WritePrefFile(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int i = 0; i < count; ++i) {
        JSearch item;
        item.SetProfile(QStringLiteral("Search %1").arg(i));
        item.SetServer(QStringLiteral("ftp%1.example.org").arg(i % 97));
        item.SetUser(QStringLiteral("user"));
        item.SetPassword(QStringLiteral("secret"));
        item.SetPort(21);
        item.SetFilePattern(QStringLiteral("*.iso;file-%1.*").arg(i));
        item.SetExtraPaths(QStringLiteral("/pub\r\n/mirror/%1").arg(i));
        item.SetDateMin(QStringLiteral("01/02/2026"));
        item.SetDateMax(QStringLiteral("03/04/2026"));
        item.SetSearchDate(QStringLiteral("05/06/2026 07:08:09"));
        const QString line = SearchPrefFile::LineFor(item);
        if (line.isEmpty() || file.write(line.toLatin1() + "\r\n") < 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {10000, 100000};
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    for (const int count : std::as_const(counts)) {
        const QString path = folder.filePath(QStringLiteral("SearchProf%1.dat").arg(count));
        if (!WritePrefFile(path, count)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        JSearchCollection collection;
        QElapsedTimer clock;
        clock.start();
        const int skipped = SearchPrefFile::Load(path, collection);
        const qint64 ms = clock.elapsed();
        std::printf("%7d saved searches: loaded %d (skipped %d) in %lld ms\n", count, collection.Count(), skipped,
                    static_cast<long long>(ms));
    }
    return 0;
}

// Parses a generated UNIX-style listing with GetFileList and reports the rate.
//   listing_parse [LINES]        (default 1,000,000 lines)
// Last line: "lines=N seconds=S lines_per_second=R".
#include "DirectoryListingParser.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

QString GenerateListing(long lines)
{
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QString text;
    text.reserve(lines * 72);
    text.append(QStringLiteral("total %1\r\n").arg(lines * 4));
    quint64 seed = 88172645463325252ull;
    for (long i = 0; i < lines; ++i) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        const int kind = int(seed % 20);
        const bool folder = kind == 0;
        const bool link = kind == 1;
        const qint64 size = folder ? 4096 : qint64(seed % 5000000000ull);
        const char *const perms = folder ? "drwxr-xr-x" : link ? "lrwxrwxrwx" : "-rw-r--r--";
        const char *const month = kMonths[(seed >> 20) % 12];
        const int day = int((seed >> 24) % 28) + 1;
        const bool recent = (seed >> 30) % 2 == 0;
        QString when = recent ? QStringLiteral("%1:%2").arg(int((seed >> 32) % 24), 2, 10, QLatin1Char('0'))
                                    .arg(int((seed >> 40) % 60), 2, 10, QLatin1Char('0'))
                              : QStringLiteral(" %1").arg(2000 + int((seed >> 32) % 25));
        QString name = QStringLiteral("file_%1_%2.dat").arg(i).arg(seed % 1000);
        if (link)
            name += QStringLiteral(" -> target_%1").arg(i);
        text.append(QStringLiteral("%1    1 ftpuser  ftpgroup %2 %3 %4 %5 %6\r\n")
                        .arg(QLatin1String(perms))
                        .arg(size, 12)
                        .arg(QLatin1String(month))
                        .arg(day, 2)
                        .arg(when, 5)
                        .arg(name));
    }
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    const long lines = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    if (lines <= 0) {
        std::fprintf(stderr, "usage: listing_parse [LINES]\n");
        return 2;
    }
    const QString listing = GenerateListing(lines);
    std::printf("listing_chars=%lld\n", static_cast<long long>(listing.size()));

    qsizetype count = 0;
    const auto start = std::chrono::steady_clock::now();
    const QList<FtpFileItem> items = GetFileList(listing, u"/pub/data", count);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("items=%lld\n", static_cast<long long>(count));
    if (count != lines) {
        std::fprintf(stderr, "expected %ld items, got %lld\n", lines, static_cast<long long>(count));
        return 1;
    }
    std::printf("lines=%ld seconds=%.3f lines_per_second=%.0f\n", lines, seconds, lines / seconds);
    return 0;
}

#pragma once

#include <QByteArray>
#include <QList>
#include <QLatin1String>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// Benchmarks of the real windows run offscreen, with a data folder of their
// own so the user's settings, caches and logs are never touched. Construct
// one before the QApplication.
struct OffscreenBenchHome
{
    QTemporaryDir home;
    OffscreenBenchHome()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("FTPQOR_HOME", home.path().toLocal8Bit());
    }
};

// Reads "flag N" pairs (N > 0, repeatable) and "--other S" options a caller
// names; nullopt on anything else, so the caller prints its usage.
struct BenchCounts
{
    QList<int> counts;
    QList<int> options; // the value of each name in `optionNames`, or -1
};

inline std::optional<BenchCounts> ReadBenchCounts(const QStringList &args, QLatin1String countFlag,
                                                  const QList<int> &defaults,
                                                  const QList<QLatin1String> &optionNames = {})
{
    BenchCounts read;
    read.options = QList<int>(optionNames.size(), -1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        const int value = hasValue ? args[i + 1].toInt() : -1;
        if (args[i] == countFlag && value > 0) {
            read.counts << value;
            ++i;
            continue;
        }
        const qsizetype option = optionNames.indexOf(args[i]);
        if (option < 0 || !hasValue || value < 0 || (value == 0 && args[i + 1] != QLatin1String("0")))
            return std::nullopt;
        read.options[option] = value;
        ++i;
    }
    if (read.counts.isEmpty())
        read.counts = defaults;
    return read;
}

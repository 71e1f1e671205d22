// Runs a folder comparison headless and prints how long it took.
//
//   folder_compare LOCAL_A LOCAL_B
//   folder_compare --host H --port P --user U --password W [--active] LOCAL_DIR REMOTE_DIR
//
// The second form compares a local tree with a server's tree (the local side
// first, as the compare window does). Last line: entries=N differences=D seconds=S.
#include "CompareRun.h"
#include "FolderComparison.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Counts rows instead of keeping them.
class CountingSink : public CompareRowSink
{
public:
    int RowCount() const override { return m_rows; }
    void AddRow(FileListRow) override { ++m_rows; }

private:
    int m_rows = 0;
};

int Usage()
{
    std::fprintf(stderr, "usage: folder_compare LOCAL_A LOCAL_B\n"
                         "       folder_compare --host H --port P --user U --password W [--active] LOCAL_DIR REMOTE_DIR\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // The listing caches go to a private data root, not the user's.
    QTemporaryDir dataRoot;
    if (qEnvironmentVariableIsEmpty("FTPQOR_HOME"))
        qputenv("FTPQOR_HOME", dataRoot.path().toUtf8());
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    FtpLocation ftp;
    bool useFtp = false;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--host") && hasValue) {
            ftp.ServerUrl = args[++i];
            useFtp = true;
        } else if (a == QLatin1String("--port") && hasValue) {
            ftp.Port = args[++i].toLong();
        } else if (a == QLatin1String("--user") && hasValue) {
            ftp.UserName = args[++i];
        } else if (a == QLatin1String("--password") && hasValue) {
            ftp.Password = args[++i];
        } else if (a == QLatin1String("--active")) {
            ftp.Passive = false;
        } else {
            rest << a;
        }
    }
    if (rest.size() != 2)
        return Usage();

    CompareLocation first;
    first.LocalPath = rest[0];
    CompareLocation second;
    if (useFtp) {
        second.IsFtp = true;
        ftp.RemotePath = rest[1];
        second.Ftp = ftp;
    } else {
        second.LocalPath = rest[1];
    }

    CountingSink sink;
    FolderComparison comparison;
    comparison.Run().Sink = &sink;
    QString failure;
    QObject::connect(&comparison, &FolderComparison::finished, &app, [&](const QString &server, const QString &why) {
        if (!server.isEmpty())
            failure = server + QStringLiteral(": ") + why;
        QCoreApplication::quit();
    });
    QElapsedTimer clock;
    clock.start();
    // When the server side's walk ended: the rest is the comparison of the kept listings.
    qint64 walkNs = -1;
    for (int side = 0; side < 2; ++side)
        QObject::connect(comparison.Walk(side), &FtpSideWalk::finished, &app, [&] { walkNs = clock.nsecsElapsed(); });
    comparison.Start(first, second);
    if (comparison.Running())
        QCoreApplication::exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(failure));
        return 1;
    }
    const CompareRules::Counters &c = comparison.Run().Counts;
    if (walkNs >= 0)
        std::printf("walk_seconds=%.3f\n", static_cast<double>(walkNs) / 1e9);
    std::printf("rows=%d unlisted=%lld\n", sink.RowCount(), static_cast<long long>(comparison.UnlistedFolders().size()));
    std::printf("ok=%lld missing=%lld size_changed=%lld time_changed=%lld\n", static_cast<long long>(c.CountOk),
                static_cast<long long>(c.CountMissing), static_cast<long long>(c.CountSizeChanged),
                static_cast<long long>(c.CountTimeChanged));
    std::printf("entries=%lld differences=%lld seconds=%.3f\n", static_cast<long long>(c.TotalFiles),
                static_cast<long long>(c.Differences()), seconds);
    return 0;
}

// Drives one FtpCommander through a log-in and one operation against a real
// server and prints its throughput. Run by hand, side by side with another
// client on the same file and server.
//
//   ftp_transfer --host H --port P --user U --password W [--active] get REMOTE LOCAL
//   ftp_transfer ... put LOCAL REMOTE
//   ftp_transfer ... list REMOTE_DIR
#include "DirectoryListingParser.h"
#include "FtpCommander.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: ftp_transfer --host H --port P --user U --password W [--active] "
                         "get REMOTE LOCAL | put LOCAL REMOTE | list REMOTE_DIR\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString host = QStringLiteral("127.0.0.1");
    QString user = QStringLiteral("anonymous");
    QString password = QStringLiteral("guest");
    long port = 21;
    bool active = false;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--host") && hasValue)
            host = args[++i];
        else if (arg == QLatin1String("--port") && hasValue)
            port = args[++i].toLong();
        else if (arg == QLatin1String("--user") && hasValue)
            user = args[++i];
        else if (arg == QLatin1String("--password") && hasValue)
            password = args[++i];
        else if (arg == QLatin1String("--active"))
            active = true;
        else
            rest << arg;
    }
    if (rest.isEmpty())
        return Usage();
    const QString operation = rest.takeFirst();
    if ((operation == QLatin1String("get") || operation == QLatin1String("put")) ? rest.size() != 2
        : operation == QLatin1String("list")                                     ? rest.size() != 1
                                                                                 : true)
        return Usage();

    QTemporaryDir scratch;
    FtpCommander engine;
    engine.setServerUrl(host);
    engine.setPort(port);
    engine.setUser(user);
    engine.setPassword(password);
    engine.setMode(active ? 1 : 0);
    engine.setListingAllowed(true);
    engine.setCacheFile(scratch.filePath(QStringLiteral("listing.cache")));
    engine.SetStartUpPort(0, 0); // active mode: a port the system picks

    int exitCode = 1;
    qint64 bytes = 0;
    QElapsedTimer clock;
    bool started = false;
    QObject::connect(&engine, &FtpCommander::Message, &engine,
                     [](const QString &text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    QObject::connect(&engine, &FtpCommander::Error, &engine, [](long code, const QString &text, bool) {
        std::fprintf(stderr, "error %ld: %s\n", code, qPrintable(text));
    });
    QObject::connect(&engine, &FtpCommander::ConnectionFailed, &app, [&] { app.exit(1); });
    QObject::connect(&engine, &FtpCommander::FtpDisconnect, &app, [&] { app.exit(exitCode); });
    QObject::connect(&engine, &FtpCommander::JobDone, &engine, [&] {
        if (!engine.LastCmdSucces()) {
            app.exit(1);
            return;
        }
        if (!started) {
            // Logged in: the measured operation starts now.
            started = true;
            clock.start();
            if (operation == QLatin1String("get")) {
                engine.FTP_GET_FILE(rest[0], rest[1], -1, false);
            } else if (operation == QLatin1String("put")) {
                const QFileInfo local(rest[0]);
                engine.FTP_SEND_FILE(rest[0], rest[1], local.size(), false);
            } else {
                engine.FTP_CHG_DIR(rest[0]);
            }
            return;
        }
        if (operation == QLatin1String("list") && engine.LastAct() == FtpCommander::ActChangeDir) {
            engine.FTP_LIST_DIR();
            return;
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (operation == QLatin1String("list")) {
            const qsizetype entries = GetFileList(engine.getListData(), rest[0]).size();
            std::printf("entries=%lld seconds=%.3f\n", static_cast<long long>(entries), seconds);
        } else {
            bytes = operation == QLatin1String("get") ? QFileInfo(rest[1]).size() : QFileInfo(rest[0]).size();
            std::printf("bytes=%lld seconds=%.3f MBps=%.1f\n", static_cast<long long>(bytes), seconds,
                        seconds > 0 ? bytes / seconds / 1e6 : 0.0);
        }
        std::fflush(stdout);
        exitCode = 0;
        engine.CloseSession();
    });
    QTimer::singleShot(0, &engine, [&] { engine.StartSession(); });
    return app.exec();
}

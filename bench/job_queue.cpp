// Runs the job dispatcher headless: one job per file of a folder, handed in
// through the job intake, worked through by K job connections against a real
// server. Run by hand, side by side with another client on the same server.
//
//   job_queue --host H --port P --user U --password W --connections K [--active] get REMOTE_DIR LOCAL_DIR
//   job_queue ... put LOCAL_DIR REMOTE_DIR
//
// Exit 0 only when every job ended completed and every file is whole; the
// last line is "files=N bytes=B seconds=S cpu-seconds=C wakeups-per-job=W
// events-per-job=E": the run's wall time, its CPU time (user + system of this
// process), how often the event loop slept and woke again and how many events
// it handed out per job.
#include "DirectoryListingParser.h"
#include "FtpCommander.h"
#include "HeadlessJobQueue.h"
#include "JobDispatcher.h"
#include "RunCost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: job_queue --host H --port P --user U --password W --connections K [--active] "
                         "get REMOTE_DIR LOCAL_DIR | put LOCAL_DIR REMOTE_DIR\n");
    return 2;
}

struct Options {
    QString host = QStringLiteral("127.0.0.1");
    long port = 21;
    QString user = QStringLiteral("anonymous");
    QString password = QStringLiteral("guest");
    int connections = JobDispatcher::kConnections;
    bool active = false;
};

// Names and sizes of the files of a remote folder, through one engine.
std::map<QString, qint64> ListRemote(const Options &options, const QString &folder, bool &ok)
{
    QTemporaryDir scratch;
    FtpCommander engine;
    engine.setServerUrl(options.host);
    engine.setPort(options.port);
    engine.setUser(options.user);
    engine.setPassword(options.password);
    engine.setMode(options.active ? 1 : 0);
    engine.setListingAllowed(true);
    engine.setCacheFile(scratch.filePath(QStringLiteral("listing.cache")));
    engine.SetStartUpPort(0, 0);
    std::map<QString, qint64> files;
    QEventLoop loop;
    ok = false;
    QObject::connect(&engine, &FtpCommander::JobDone, &loop, [&] {
        if (!engine.LastCmdSucces()) {
            loop.quit();
        } else if (engine.LastAct() == FtpCommander::ActLogin) {
            engine.FTP_CHG_DIR(folder);
        } else if (engine.LastAct() == FtpCommander::ActChangeDir) {
            engine.FTP_LIST_DIR();
        } else if (engine.LastAct() == FtpCommander::ActList) {
            qsizetype count = 0;
            for (const FtpFileItem &item : GetFileList(engine.getListData(), folder, count)) {
                if (!item.IsFolder && item.Name != QLatin1String(".") && item.Name != QLatin1String(".."))
                    files[item.Name] = item.Size;
            }
            ok = true;
            loop.quit();
        }
    });
    QObject::connect(&engine, &FtpCommander::FtpDisconnect, &loop, &QEventLoop::quit);
    QObject::connect(&engine, &FtpCommander::ConnectionFailed, &loop, &QEventLoop::quit);
    engine.StartSession();
    loop.exec();
    engine.CloseSession();
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    Options options;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--host") && hasValue)
            options.host = args[++i];
        else if (arg == QLatin1String("--port") && hasValue)
            options.port = args[++i].toLong();
        else if (arg == QLatin1String("--user") && hasValue)
            options.user = args[++i];
        else if (arg == QLatin1String("--password") && hasValue)
            options.password = args[++i];
        else if (arg == QLatin1String("--connections") && hasValue)
            options.connections = args[++i].toInt();
        else if (arg == QLatin1String("--active"))
            options.active = true;
        else
            rest << arg;
    }
    if (rest.size() != 3 || (rest[0] != QLatin1String("get") && rest[0] != QLatin1String("put"))
        || options.connections < 1 || options.connections > JobDispatcher::kConnections)
        return Usage();
    const bool upload = rest[0] == QLatin1String("put");
    const QString localDir = QDir(upload ? rest[1] : rest[2]).absolutePath();
    const QString remoteDir = upload ? rest[2] : rest[1];

    std::map<QString, qint64> sizes;
    if (upload) {
        for (const QFileInfo &file : QDir(localDir).entryInfoList(QDir::Files))
            sizes[file.fileName()] = file.size();
    } else {
        bool listed = false;
        sizes = ListRemote(options, remoteDir, listed);
        if (!listed) {
            std::fprintf(stderr, "cannot list %s\n", qPrintable(remoteDir));
            return 1;
        }
        QDir().mkpath(localDir);
    }

    HeadlessJobQueue queue;
    QueueEndWatch watch(queue.jobs);
    JobDispatcher dispatcher(queue, JobDataPorts{0, 0, 0});
    dispatcher.setConnectionLimit(options.connections);
    FtpTaskCollection jobs;
    qint64 bytes = 0;
    for (const auto &[name, size] : sizes) {
        auto job = std::make_shared<FtpTask>();
        job->setIsUpload(upload);
        job->setLocalFileTitle(name);
        job->setRemoteFileTitle(name);
        job->setLocalPath(localDir);
        job->setRemotePath(remoteDir);
        job->setServerAddress(options.host);
        job->setServerPort(static_cast<int>(options.port));
        job->setUser(options.user);
        job->setPassword(options.password);
        job->setTransferMode(options.active ? 1 : 0);
        job->setSize(size);
        job->setOriginalLocalSize(upload ? size : -1);
        jobs.AddFtpTask(job);
        bytes += size;
    }

    QElapsedTimer clock;
    clock.start();
    RunCost cost;
    queue.AcceptJobs(jobs, false);
    QEventLoop loop;
    QObject::connect(&dispatcher, &JobDispatcher::passFinished, &loop, [&] {
        if (watch.ended())
            loop.quit();
    });
    dispatcher.RunQueuedJobs();
    if (!watch.ended())
        loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpuSeconds = cost.cpuSeconds();
    const auto perJob = [&](qint64 count) {
        return sizes.empty() ? 0.0 : static_cast<double>(count) / static_cast<double>(sizes.size());
    };

    // Every job completed and every file whole.
    int done = 0;
    for (const auto &job : queue.jobs)
        done += job->Status() == 2 ? 1 : 0;
    bool whole = done == static_cast<int>(sizes.size());
    if (upload) {
        bool listed = false;
        const std::map<QString, qint64> stored = ListRemote(options, remoteDir, listed);
        for (const auto &[name, size] : sizes)
            whole = whole && listed && stored.count(name) && stored.at(name) == size;
    } else {
        for (const auto &[name, size] : sizes)
            whole = whole && QFileInfo(localDir + QLatin1Char('/') + name).size() == size;
    }
    std::printf("completed=%d of %d\n", done, static_cast<int>(sizes.size()));
    std::printf("connections=%d\n", options.connections);
    std::printf("files=%d bytes=%lld seconds=%.3f cpu-seconds=%.3f wakeups-per-job=%.1f events-per-job=%.1f\n",
                static_cast<int>(sizes.size()), static_cast<long long>(bytes), seconds, cpuSeconds,
                perJob(cost.wakeUps()), perJob(cost.events()));
    return whole ? 0 : 1;
}

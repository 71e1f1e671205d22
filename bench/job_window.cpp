// Runs the same job file twice against a local pyftpdlib server: once through
// the headless job dispatcher, once loaded into the real main window
// (offscreen) and started with "Start All". Each run downloads N files of
// 4 KiB on the same five job connections into a folder of its own. Prints
// both times, their ratio, and how responsive the window stayed meanwhile: the
// longest gap between the ticks of a 10 ms timer of the event loop.
//
//   job_window [--jobs N]... [--pause S]    (default: 1000 and 10000 jobs, 65 s)
//
// Before each run the bench waits S seconds: every transfer leaves a socket
// in TIME_WAIT for a minute, and tens of thousands of them slow the server's
// next binds, so a run right after another would pay for the one before.
//
// Exits 0 only when every job of both runs completed and every file is whole;
// the last line is a summary of all runs.
#include "FtpTask.h"
#include "FtpTaskCollection.h"
#include "HeadlessJobQueue.h"
#include "JobCommands.h"
#include "JobDispatcher.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "PyFtpServer.h"
#include "ScriptedPrompts.h"
#include "frmZAVUde.h"
#include "WindowBenchArgs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr qint64 kFileSize = 4096;

struct RunFigures {
    double seconds = 0;
    bool whole = false;
    qint64 longestGapMs = 0; // between ticks of a 10 ms timer
    int gapsOver100Ms = 0;
    qint64 loadMs = 0;       // the window's LoadTasks of the file
};

// Runs the event loop until `ended` holds, ticking a 10 ms timer whose
// longest gap shows how long the loop was kept from answering input.
void RunUntil(const std::function<bool()> &ended, RunFigures &figures)
{
    QEventLoop loop;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(10);
    QElapsedTimer sinceTick;
    sinceTick.start();
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
        const qint64 gap = sinceTick.restart();
        figures.longestGapMs = qMax(figures.longestGapMs, gap);
        figures.gapsOver100Ms += gap > 100 ? 1 : 0;
        if (ended())
            loop.quit();
    });
    ticks.start();
    if (!ended())
        loop.exec();
}

bool AllWhole(const QString &folder, const QStringList &names)
{
    for (const QString &name : names) {
        if (QFileInfo(QDir(folder).filePath(name)).size() != kFileSize)
            return false;
    }
    return true;
}

int CountCompleted(const FtpTaskCollection &jobs)
{
    int done = 0;
    for (const auto &job : jobs)
        done += job->Status() == 2 ? 1 : 0;
    return done;
}

// One download job of each name from `remoteFolder` into `localFolder`, locked as a saved pending job is.
QByteArray JobFileOf(const PyFtpServer &server, const QString &remoteFolder, const QString &localFolder,
                     const QStringList &names)
{
    QByteArray bytes;
    for (const QString &name : names) {
        FtpTask job;
        job.setIsUpload(false);
        job.setLocalFileTitle(name);
        job.setRemoteFileTitle(name);
        job.setLocalPath(localFolder);
        job.setRemotePath(remoteFolder);
        job.setServerAddress(server.host());
        job.setServerPort(server.port());
        job.setUser(QString::fromLatin1(PyFtpServer::kUser));
        job.setPassword(QString::fromLatin1(PyFtpServer::kPassword));
        job.setTransferMode(0);
        job.setSize(kFileSize);
        job.setLocked(true);
        bytes += JobFile::EncodeLine(job) + "\r\n";
    }
    return bytes;
}

RunFigures RunHeadless(const QString &jobFile, const QString &localFolder, const QStringList &names)
{
    RunFigures figures;
    qint64 serial = 0;
    const auto content = JobFile::Read(jobFile, serial);
    if (!content)
        return figures;
    HeadlessJobQueue queue;
    JobDispatcher dispatcher(queue, JobDataPorts{0, 0, 0});
    FtpTaskCollection jobs;
    for (const auto &job : content->jobs) {
        job->setLocalPath(localFolder);
        jobs.AddFtpTask(job);
    }
    QueueEndWatch watch(queue.jobs);
    QElapsedTimer clock;
    clock.start();
    queue.AcceptJobs(jobs, false);
    dispatcher.RunQueuedJobs();
    RunUntil([&] { return watch.ended(); }, figures);
    figures.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    figures.whole = CountCompleted(queue.jobs) == names.size() && AllWhole(localFolder, names);
    return figures;
}

RunFigures RunWindow(const QString &jobFile, const QString &localFolder, const QStringList &names)
{
    RunFigures figures;
    frmZAVUde window;
    window.show();
    QApplication::processEvents();
    JobQueuePane *pane = window.Jobs();
    QElapsedTimer clock;
    clock.start();
    window.LoadTasks(jobFile);
    QApplication::processEvents();
    figures.loadMs = clock.elapsed();
    if (pane->Rows->rowCount() != names.size())
        return figures;
    QueueEndWatch watch(pane->JobQueue);
    clock.restart();
    window.JobControl()->mnuJStartAll->trigger();
    RunUntil([&] { return watch.ended(); }, figures);
    figures.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    figures.whole = CountCompleted(pane->JobQueue) == names.size() && AllWhole(localFolder, names);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    const OffscreenBenchHome home;
    QApplication app(argc, argv);
    const auto read = ReadBenchCounts(app.arguments().mid(1), QLatin1String("--jobs"), {1000, 10000},
                                      {QLatin1String("--pause")});
    if (!read) {
        std::fprintf(stderr, "usage: job_window [--jobs N]... [--pause S]\n");
        return 2;
    }
    const QList<int> counts = read->counts;
    const int pauseSeconds = read->options[0] < 0 ? 65 : read->options[0];
    const auto pause = [pauseSeconds] { QThread::sleep(static_cast<unsigned long>(pauseSeconds)); };

    ScriptedPrompts prompts; // no question is expected; any is answered No or Cancel
    PyFtpServer server;
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    QTemporaryDir scratch;
    const QByteArray content(kFileSize, 'x');
    bool allWhole = true;
    QStringList summary;
    for (qsizetype run = 0; run < counts.size(); ++run) {
        const int count = counts[run];
        // A folder of its own for each run: a count may be asked for more than once.
        const QString remoteFolder = QStringLiteral("/run%1").arg(run);
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QStringLiteral("file-%1.bin").arg(i, 5, 10, QLatin1Char('0'));
            if (!server.writeFile(remoteFolder.mid(1) + QLatin1Char('/') + names.back(), content))
                return 1;
        }
        const QString windowFolder = scratch.filePath(QStringLiteral("window-%1").arg(run));
        const QString headlessFolder = scratch.filePath(QStringLiteral("headless-%1").arg(run));
        QDir().mkpath(windowFolder);
        QDir().mkpath(headlessFolder);
        const QString jobFile = scratch.filePath(QStringLiteral("jobs-%1.xqr").arg(run));
        QFile file(jobFile);
        const QByteArray jobs = JobFileOf(server, remoteFolder, windowFolder, names);
        if (!file.open(QIODevice::WriteOnly) || file.write(jobs) != jobs.size())
            return 1;
        file.close();

        pause();
        const RunFigures headless = RunHeadless(jobFile, headlessFolder, names);
        pause();
        const RunFigures window = RunWindow(jobFile, windowFolder, names);
        const double ratio = headless.seconds > 0 ? window.seconds / headless.seconds : 0;
        std::printf("jobs=%d headless seconds=%.3f longest-gap-ms=%lld whole=%d\n", count, headless.seconds,
                    static_cast<long long>(headless.longestGapMs), headless.whole ? 1 : 0);
        std::printf("jobs=%d window load-ms=%lld seconds=%.3f longest-gap-ms=%lld gaps-over-100ms=%d whole=%d\n",
                    count, static_cast<long long>(window.loadMs), window.seconds,
                    static_cast<long long>(window.longestGapMs), window.gapsOver100Ms, window.whole ? 1 : 0);
        std::printf("jobs=%d window/headless=%.2f\n", count, ratio);
        std::fflush(stdout);
        allWhole = allWhole && headless.whole && window.whole;
        summary << QStringLiteral("%1 jobs: window %2 s, headless %3 s, x%4, longest gap %5 ms")
                       .arg(count)
                       .arg(window.seconds, 0, 'f', 2)
                       .arg(headless.seconds, 0, 'f', 2)
                       .arg(ratio, 0, 'f', 2)
                       .arg(window.longestGapMs);
    }
    for (const QString &text : prompts.messageTexts())
        std::fprintf(stderr, "question: %s\n", qPrintable(text));
    std::printf("summary: %s; all whole=%d\n", qPrintable(summary.join(QStringLiteral("; "))), allWhole ? 1 : 0);
    return allWhole ? 0 : 1;
}

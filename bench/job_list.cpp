// Adds 10,000 jobs to the job list, saves them to a job file and loads the
// file into a second list; then lists a default job file of 1,000,000
// unreadable lines (kept aside in one write); prints the time of each step
// in milliseconds.
// Run with QT_QPA_PLATFORM=offscreen where no display exists.
#include "FtpTaskCollection.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "KeyedImageList.h"
#include "SaveTasks.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qputenv("FTPQOR_HOME", QDir::tempPath().toUtf8() + "/ftpqor-bench-jobs");
    constexpr int kJobs = 10000;
    FtpTaskCollection jobs;
    for (int i = 0; i < kJobs; ++i) {
        auto job = std::make_shared<FtpTask>();
        job->setLocalFileTitle(QStringLiteral("file-%1.bin").arg(i));
        job->setRemoteFileTitle(job->LocalFileTitle());
        job->setLocalPath(QStringLiteral("/home/user/downloads"));
        job->setRemotePath(QStringLiteral("/pub/data"));
        job->setServerAddress(QStringLiteral("ftp.example.org"));
        job->setSize(1000 + i);
        jobs.AddFtpTask(job);
    }
    KeyedImageList pictures;
    JobQueuePane pane(&pictures);
    pane.resize(900, 400);
    pane.show();
    QElapsedTimer timer;
    timer.start();
    pane.AcceptJobs(jobs, false);
    QApplication::processEvents();
    const qint64 added = timer.restart();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.xqr"));
    SaveTasks(path, pane.JobQueue, false, true);
    const qint64 saved = timer.restart();

    JobQueuePane other(&pictures);
    other.resize(900, 400);
    other.show();
    timer.restart();
    other.LoadTasks(path);
    QApplication::processEvents();
    const qint64 loaded = timer.restart();

    constexpr int kUnreadable = 1000000;
    QByteArray unreadable;
    for (int i = 0; i < kUnreadable; ++i)
        unreadable += "not-a-job-line-" + QByteArray::number(i) + "\r\n";
    JobQueuePane third(&pictures);
    third.TasksFile = dir.filePath(QStringLiteral("tasks.xqr"));
    QFile file(third.TasksFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(unreadable) != unreadable.size())
        return 1;
    file.close();
    timer.restart();
    third.LoadTasks(third.TasksFile);
    const qint64 keptAside = timer.restart();

    std::printf("jobs %d\n", kJobs);
    std::printf("add to list ms %lld\n", static_cast<long long>(added));
    std::printf("save to file ms %lld\n", static_cast<long long>(saved));
    std::printf("load from file ms %lld\n", static_cast<long long>(loaded));
    std::printf("summary: %d jobs listed in %lld ms, saved in %lld ms, loaded in %lld ms (rows %d)\n", kJobs,
                static_cast<long long>(added), static_cast<long long>(saved), static_cast<long long>(loaded),
                other.Rows->rowCount());
    std::printf("unreadable lines %d kept aside in ms %lld\n", kUnreadable, static_cast<long long>(keptAside));
    return 0;
}

// Loads job files of 10,000 and 100,000 jobs (every size a different text,
// some failed, some completed) into the real main window at 1000x700 and
// times what makes the job list fit its columns again: the load itself, a
// resize of the window, a job deleted, the list sorted by size, another
// font, one state wider than any before. Prints milliseconds per step.
//
//   job_list_columns [--jobs N]...    (default: 10000 and 100000)
#include "FtpTask.h"
#include "JobCommands.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "ScriptedPrompts.h"
#include "frmZAVUde.h"
#include "WindowBenchArgs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>
#include <functional>

namespace {

// Runs what is posted until the event loop has nothing left: the fits run from it.
void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
    }
}

qint64 Timed(const std::function<void()> &step)
{
    QElapsedTimer clock;
    clock.start();
    step();
    Settle();
    return clock.elapsed();
}

QByteArray JobFileOf(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        FtpTask job;
        const QString name = QStringLiteral("holiday-%1.tar.gz").arg(i, 6, 10, QLatin1Char('0'));
        job.setLocalFileTitle(name);
        job.setRemoteFileTitle(name);
        job.setLocalPath(QStringLiteral("/home/user/Downloads/pictures"));
        job.setRemotePath(QStringLiteral("/pub/archive/pictures/2026"));
        job.setServerAddress(QStringLiteral("ftp.example.org"));
        job.setSize(1000 + static_cast<qint64>(i) * 7919);
        job.setLocked(true);
        if (i % 10 == 3) {
            job.setStatus(3);
            job.setFailureReason(1 + (i / 10) % 10);
        } else if (i % 7 == 5) {
            job.setStatus(2);
        }
        bytes += JobFile::EncodeLine(job) + "\r\n";
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    const OffscreenBenchHome home;
    QApplication app(argc, argv);
    const auto read = ReadBenchCounts(app.arguments().mid(1), QLatin1String("--jobs"), {10000, 100000});
    if (!read) {
        std::fprintf(stderr, "usage: job_list_columns [--jobs N]...\n");
        return 2;
    }
    const QList<int> counts = read->counts;
    ScriptedPrompts prompts;
    QTemporaryDir scratch;
    for (const int count : counts) {
        const QString path = scratch.filePath(QStringLiteral("jobs-%1.xqr").arg(count));
        QFile file(path);
        const QByteArray jobs = JobFileOf(count);
        if (!file.open(QIODevice::WriteOnly) || file.write(jobs) != jobs.size())
            return 1;
        file.close();

        frmZAVUde window;
        window.resize(1000, 700);
        window.show();
        Settle();
        QTreeView *list = window.Jobs()->LVJob;
        const qint64 load = Timed([&] { window.LoadTasks(path); });
        if (list->model()->rowCount() != count)
            return 1;
        const qint64 resize = Timed([&] { window.resize(1100, 700); });
        const qint64 remove = Timed([&] {
            list->selectionModel()->select(list->model()->index(count / 2, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            prompts.expectMessage(QStringLiteral("Delete"), PromptButton::Yes);
            window.JobControl()->mnuJRemove->trigger();
        });
        const qint64 sort = Timed([&] { list->sortByColumn(JobListModel::Size, Qt::DescendingOrder); });
        const qint64 font = Timed([&] {
            QFont larger = list->font();
            larger.setPointSizeF(larger.pointSizeF() + 1);
            list->setFont(larger);
        });
        const qint64 wider = Timed([&] {
            window.Jobs()->Rows->SetText(list->model()->index(count / 3, 0).data(Qt::UserRole).toString(),
                                         JobListModel::Status, QStringLiteral("A state wider than any state before it"));
        });
        std::printf("jobs=%d load-ms=%lld resize-ms=%lld delete-one-ms=%lld sort-ms=%lld font-ms=%lld "
                    "wider-state-ms=%lld size-column=%d\n",
                    count, static_cast<long long>(load), static_cast<long long>(resize),
                    static_cast<long long>(remove), static_cast<long long>(sort), static_cast<long long>(font),
                    static_cast<long long>(wider), list->columnWidth(JobListModel::Size));
        std::fflush(stdout);
    }
    return 0;
}

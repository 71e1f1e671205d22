// A stand-in for the program in the job tests that need a second process.
//   HELPER_MODE=save <path> <count>: saves a queue of `count` jobs to `path`
//     over and over, each round with a new size in every job, printing
//     "saved <round>" after each; runs until killed.
//   HELPER_MODE=load <path>: lists the job file `path` as the default job
//     file of a job queue, prints "loaded <jobs>"; runs until killed.
//   otherwise: runs the real start-up with a job queue as its window. A first
//     instance lists a job file named on its command line, prints "FIRST",
//     and after each job file handed over writes to $HELPER_LOG one line
//     "Listed|<jobs in the queue>|<info box, lines joined by ' / '>"; the
//     balloons it is asked to show go there too. It ends on "quit".
//     A second start prints "SECOND <answer>" and ends.
#include "FtpTask.h"
#include "JobQueuePane.h"
#include "KeyedImageList.h"
#include "ModStartup.h"
#include "OptionFlags.h"
#include "RuntimeFolder.h"
#include "SaveTasks.h"
#include "QuitOnInput.h"
#include "StubWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>

#include <cstdio>

namespace {

void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

void log(const QString &line)
{
    QFile file(qEnvironmentVariable("HELPER_LOG"));
    if (file.open(QIODevice::Append))
        file.write(line.toUtf8() + '\n');
}

class QueueWindow final : public StubWindow
{
public:
    explicit QueueWindow(JobQueuePane &pane) : m_pane(pane) {}

    void ShowInfo(int &iconKind, const QString &title, const QString &) override
    {
        log(QStringLiteral("ShowInfo|%1|%2").arg(iconKind).arg(title));
    }
    void LoadTasks(const QString &path) override
    {
        m_pane.LoadTasks(path);
        const QString info = m_pane.txtJobInfo->toPlainText().trimmed().replace(QLatin1Char('\n'), QStringLiteral(" / "));
        log(QStringLiteral("Listed|%1|%2").arg(m_pane.JobQueue.Count()).arg(info));
    }

private:
    JobQueuePane &m_pane;
};

int SaveForever(const QString &path, int count)
{
    FtpTaskCollection jobs;
    for (int i = 0; i < count; ++i) {
        auto job = std::make_shared<FtpTask>();
        job->setLocalFileTitle(QStringLiteral("file-%1.bin").arg(i));
        job->setRemoteFileTitle(job->LocalFileTitle());
        job->setLocalPath(QStringLiteral("/home/user/a fairly long folder name/for bigger lines"));
        job->setRemotePath(QStringLiteral("/pub/somewhere/deeper"));
        job->setServerAddress(QStringLiteral("ftp.example.org"));
        job->setPassword(QStringLiteral("secret"));
        jobs.AddFtpTask(job);
    }
    for (qint64 round = 1;; ++round) {
        for (const auto &job : jobs)
            job->setSize(round);
        if (!SaveTasks(path, jobs, false, true))
            return 1;
        say("saved " + QByteArray::number(round));
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariable("HELPER_MODE") == QLatin1String("save")) {
        QCoreApplication app(argc, argv);
        return SaveForever(app.arguments().value(1), app.arguments().value(2).toInt());
    }

    QApplication app(argc, argv);
    if (qEnvironmentVariable("HELPER_MODE") == QLatin1String("load")) {
        KeyedImageList pictures;
        JobQueuePane pane(&pictures);
        pane.TasksFile = app.arguments().value(1);
        pane.LoadTasks(pane.TasksFile);
        say("loaded " + QByteArray::number(pane.JobQueue.Count()));
        return app.exec();
    }
    ModStartup startup(RuntimeFolder::Path());
    KeyedImageList pictures;
    JobQueuePane pane(&pictures);
    QueueWindow window(pane);
    SetOptionFlag(OptionFlag::ShowInfoInTray, true);
    pane.setHost({[&](int kind, const QString &title, const QString &text) {
        int iconKind = kind;
        window.ShowInfo(iconKind, title, text);
    }});

    const bool firstInstance = Main(startup, app.arguments(), [&] {
        startup.MarkMainWindow(&window);
        const QString named = ModStartup::CommandLineText(app.arguments(), QDir::currentPath());
        if (!named.isEmpty() && QFileInfo(named).isFile())
            window.LoadTasks(named);
        say("FIRST");
    });
    if (!firstInstance) {
        const auto answer = startup.LastHandOffAnswer();
        say("SECOND " + (answer ? QByteArray::number(*answer) : QByteArray("none")));
        return 0;
    }

    const auto input = QuitOnInput(app, [&] { startup.ReleaseInstanceLock(); });
    return app.exec();
}

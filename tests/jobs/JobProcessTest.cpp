// Job files between real processes: a second start hands its job file to a
// first instance with a job queue, and a process saving a queue is killed
// in the middle of its saves.
#include "JobFile.h"
#include "JobQueuePane.h"
#include "JobSamples.h"
#include "KeyedImageList.h"
#include "OptionFlags.h"

#include "TestFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <set>

namespace {

class JobProcesses : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (first && first->state() != QProcess::NotRunning) {
            first->write("quit\n");
            if (!first->waitForFinished(5000))
                first->kill();
            first->waitForFinished(5000);
        }
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FTPQOR_RUNTIME_DIR"), folder.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("FTPQOR_HOME"), folder.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("HELPER_LOG"), folder.filePath(QStringLiteral("calls.log")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    QString startFirst(const QStringList &arguments = {})
    {
        first = std::make_unique<QProcess>();
        first->setProcessEnvironment(environment());
        first->start(QStringLiteral(JOB_PROCESS_HELPER), arguments);
        QByteArray out;
        while (!out.contains('\n') && first->waitForReadyRead(10000))
            out += first->readAllStandardOutput();
        return QString::fromUtf8(out).trimmed();
    }

    QString runSecond(const QString &jobFile)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(JOB_PROCESS_HELPER), {jobFile});
        if (!process.waitForFinished(15000)) {
            process.kill();
            process.waitForFinished();
            return QStringLiteral("hung");
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    QStringList calls() const
    {
        QFile file(folder.filePath(QStringLiteral("calls.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString writeJobs(const QString &name, const QByteArray &extra = {})
    {
        const QString path = folder.filePath(name);
        QByteArray bytes = JobFile::EncodeLine(*JobSamples::Named(QStringLiteral("one.bin"))) + "\r\n" +
                           JobFile::EncodeLine(*JobSamples::Named(QStringLiteral("two.bin"))) + "\r\n" + extra;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    QTemporaryDir folder;
    std::unique_ptr<QProcess> first;
};

} // namespace

TEST_F(JobProcesses, AHandedOverJobFileIsListedAndAnswered)
{
    ASSERT_EQ(startFirst(), QStringLiteral("FIRST"));
    const QString jobs = writeJobs(QStringLiteral("my jobs.xqr"));
    EXPECT_EQ(runSecond(jobs), QStringLiteral("SECOND 0"));
    const QStringList seen = calls();
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen[0], QStringLiteral("ShowInfo|1|Jobs Added !"));
    EXPECT_TRUE(seen[1].startsWith(QStringLiteral("Listed|2|"))) << seen[1].toStdString();
    EXPECT_EQ(seen[2], QStringLiteral("ShowInfo|1|New Jobs Listed"));
}

TEST_F(JobProcesses, AHostileJobFileIsAnsweredAndItsLinesRefused)
{
    ASSERT_EQ(startFirst(), QStringLiteral("FIRST"));
    QStringList fields = JobSamples::Named(QStringLiteral("x")).get()->GetPackedData().split(QChar(2));
    fields[0] = QStringLiteral("../../../etc/evil");
    const QByteArray hostile = fields.join(QChar(2)).toUtf8().toBase64() + "\r\n" + "%%%%\r\n" +
                               QByteArray(100 * 1024, 'Q') + "\r\n";
    const QString jobs = writeJobs(QStringLiteral("hostile.xqr"), hostile);
    EXPECT_EQ(runSecond(jobs), QStringLiteral("SECOND 0"));
    const QStringList seen = calls();
    bool listed = false;
    for (const QString &line : seen) {
        if (line.startsWith(QStringLiteral("Listed|"))) {
            listed = true;
            EXPECT_TRUE(line.startsWith(QStringLiteral("Listed|2|")));
            EXPECT_TRUE(line.contains(QStringLiteral("3 unreadable jobs in 'hostile.xqr' were not loaded.")));
        }
    }
    EXPECT_TRUE(listed);
    EXPECT_TRUE(QFile::exists(jobs)) << "a handed-over file is not deleted";
}

TEST_F(JobProcesses, AJobFileOnTheFirstStartsCommandLineIsListed)
{
    const QString jobs = writeJobs(QStringLiteral("start.xqr"));
    ASSERT_EQ(startFirst({jobs}), QStringLiteral("FIRST"));
    const QStringList seen = calls();
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_TRUE(seen.last().startsWith(QStringLiteral("Listed|2|")));
}

TEST(JobFileKill, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole)
{
    constexpr int kJobs = 2000;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("tasks.xqr"));
    QRandomGenerator random(20261207);
    std::set<qint64> roundsSeen;
    for (int kill = 0; kill < 50; ++kill) {
        QProcess saver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HELPER_MODE"), QStringLiteral("save"));
        env.insert(QStringLiteral("FTPQOR_HOME"), folder.path());
        saver.setProcessEnvironment(env);
        saver.start(QStringLiteral(JOB_PROCESS_HELPER), {path, QString::number(kJobs)});
        ASSERT_TRUE(saver.waitForStarted(10000));
        // Kill somewhere inside a save after a random number of whole ones,
        // at a point within the time one save took here, however fast.
        QByteArray out;
        const auto waitForSaves = [&](qsizetype saves) {
            while (out.count("saved") < saves && saver.waitForReadyRead(10000))
                out += saver.readAllStandardOutput();
        };
        waitForSaves(1);
        QElapsedTimer oneSave;
        oneSave.start();
        waitForSaves(2);
        const qint64 saveMicroseconds = std::max<qint64>(oneSave.nsecsElapsed() / 1000, 1);
        waitForSaves(2 + random.bounded(3));
        QThread::usleep(static_cast<unsigned long>(random.bounded(saveMicroseconds)));
        ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
        ASSERT_TRUE(saver.waitForFinished(10000));

        qint64 serial = 0;
        const auto content = JobFile::Parse(ReadFileBytes(path), serial);
        ASSERT_TRUE(content.unreadable.isEmpty()) << "kill " << kill;
        ASSERT_EQ(content.jobs.size(), static_cast<size_t>(kJobs)) << "kill " << kill;
        std::set<qint64> rounds;
        for (const auto &job : content.jobs)
            rounds.insert(job->Size());
        ASSERT_EQ(rounds.size(), 1u) << "one save's jobs, not a mix";
        roundsSeen.insert(*rounds.begin());
    }
    EXPECT_GT(roundsSeen.size(), 1u) << "kills fell after different saves";
}

// A program killed after it listed the pending jobs: the next start lists
// them again; its close saves them once and ends the side copy; a run that
// does not list them keeps them pending.
TEST(JobFileKill, PendingJobsOfAProgramKilledAfterListingThemAreNeitherLostNorDoubled)
{
    QTemporaryDir folder;
    const QString tasks = folder.filePath(QStringLiteral("tasks.xqr"));
    const auto list = [&] {
        ASSERT_TRUE(WriteFileBytes(tasks, JobFile::EncodeLine(*JobSamples::Named(QStringLiteral("one.bin"))) + "\r\n" +
                                              JobFile::EncodeLine(*JobSamples::Named(QStringLiteral("two.bin"))) + "\r\n"));
        QProcess loader;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HELPER_MODE"), QStringLiteral("load"));
        env.insert(QStringLiteral("FTPQOR_HOME"), folder.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        loader.setProcessEnvironment(env);
        loader.start(QStringLiteral(JOB_PROCESS_HELPER), {tasks});
        ASSERT_TRUE(loader.waitForStarted(10000));
        QByteArray out;
        while (!out.contains('\n') && loader.waitForReadyRead(15000))
            out += loader.readAllStandardOutput();
        EXPECT_EQ(out.trimmed(), "loaded 2");
        ::kill(static_cast<pid_t>(loader.processId()), SIGKILL);
        ASSERT_TRUE(loader.waitForFinished(10000));
        EXPECT_FALSE(QFile::exists(tasks)) << "listing takes the default file away";
    };
    const auto countLines = [&] { return ReadFileBytes(tasks).count("\r\n"); };
    struct PendingOption {
        PendingOption() { SetOptionFlag(OptionFlag::AutoSavePendingJobs, true); }
        ~PendingOption() { SetOptionFlag(OptionFlag::AutoSavePendingJobs, false); }
    } option;
    KeyedImageList pictures;

    list();
    {
        JobQueuePane next(&pictures);
        next.TasksFile = tasks;
        next.mnuJLoad_Click();
        EXPECT_EQ(next.JobQueue.Count(), 2) << "the jobs of the killed program are lost";
        next.LoadTasks(tasks);
        EXPECT_EQ(next.JobQueue.Count(), 2);
        EXPECT_EQ(next.RefusedJobs.Count(), 0) << "listed twice in one run";
        next.SaveQueue(tasks, true, false);
        EXPECT_FALSE(QFile::exists(next.SideCopyFile()));
        EXPECT_EQ(countLines(), 2) << "saved once";
    }

    list();
    {
        JobQueuePane unlisted(&pictures);
        unlisted.TasksFile = tasks;
        ASSERT_TRUE(unlisted.AddJob(JobSamples::Named(QStringLiteral("three.bin"))));
        unlisted.SaveQueue(tasks, true, false);
        EXPECT_EQ(countLines(), 3) << "a run that did not list them keeps them pending";
        EXPECT_FALSE(QFile::exists(unlisted.SideCopyFile()));
    }
}

#include "CountingPlayer.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "JobSamples.h"
#include "KeyedImageList.h"
#include "OptionFlags.h"
#include "SaveTasks.h"
#include "SoundAlerts.h"

#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

using JobSamples::Named;

namespace {

class JobQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pane.setHost({[this](int kind, const QString &title, const QString &) {
            balloons << QString::number(kind) + QLatin1Char(' ') + title;
        }});
        pane.setDispatcher([this] { ++dispatches; });
        pane.TasksFile = dir.filePath(QStringLiteral("tasks.xqr"));
        pane.JobsFolder = dir.path();
        SetOptionFlag(OptionFlag::ShowInfoInTray, true);
    }
    void TearDown() override
    {
        for (OptionFlag flag : {OptionFlag::ShowInfoInTray, OptionFlag::AutoStartJobs, OptionFlag::ClearCompletedJobs,
                                OptionFlag::EnableSoundAlerts, OptionFlag::AutoSavePendingJobs,
                                OptionFlag::AutoSaveFailedJobs})
            SetOptionFlag(flag, false);
        InstallAlertPlayer(nullptr);
    }
    QString cell(const FtpTask &job, int column) const { return pane.Rows->Text(job.ZavUdeID(), column); }
    QString info() const { return pane.txtJobInfo->toPlainText(); }
    FtpTaskCollection batch(std::initializer_list<FtpTaskCollection::Job> jobs)
    {
        FtpTaskCollection made;
        for (const auto &job : jobs)
            made.AddFtpTask(job);
        return made;
    }

    QTemporaryDir dir;
    KeyedImageList pictures;
    JobQueuePane pane{&pictures};
    QStringList balloons;
    int dispatches = 0;
};

} // namespace

TEST_F(JobQueueTest, TheSameJobTwiceGivesOneRowAndLaterARepeatedError)
{
    FtpTaskCollection first;
    first.AddFtpTask(Named(QStringLiteral("a.txt")));
    pane.AcceptJobs(first, true);
    // A second collection with the same key (another object) in one call, and a new job.
    FtpTaskCollection second;
    second.AddFtpTask(Named(QStringLiteral("A.TXT")));
    second.AddFtpTask(Named(QStringLiteral("b.txt")));
    pane.AcceptJobs(second, true);
    EXPECT_EQ(pane.Rows->rowCount(), 2);
    EXPECT_EQ(pane.JobQueue.Count(), 2);
    EXPECT_EQ(pane.RefusedJobs.Count(), 1);
    EXPECT_EQ(pane.RepeatedJobErrors, 0);
    EXPECT_TRUE(info().contains(QStringLiteral("1 Jobs were added to job list.")));
    EXPECT_TRUE(info().contains(QStringLiteral("Total 1 duplicate jobs discarded !")));
    EXPECT_EQ(balloons, (QStringList{QStringLiteral("1 Jobs Added !"), QStringLiteral("2 Job Error !")}));

    balloons.clear();
    pane.AcceptJobs(batch({Named(QStringLiteral("a.txt"))}), true);
    EXPECT_EQ(pane.RepeatedJobErrors, 1);
    EXPECT_EQ(balloons, QStringList{QStringLiteral("3 Job Error !")}) << "nothing added: the error notice";
    EXPECT_TRUE(info().contains(QStringLiteral("1 undefined or repeated errors !")));
    EXPECT_EQ(pane.JobSerial, 4);
}

TEST_F(JobQueueTest, JobsWithoutANameArePassedOver)
{
    auto unnamed = Named(QStringLiteral("x"));
    unnamed->setRemoteFileTitle(QString());
    pane.AcceptJobs(batch({unnamed}), true);
    EXPECT_EQ(pane.Rows->rowCount(), 0);
    EXPECT_EQ(pane.RefusedJobs.Count(), 0);
    EXPECT_EQ(pane.JobSerial, 0);
    EXPECT_TRUE(balloons.isEmpty());
}

TEST_F(JobQueueTest, AutoStartUnlocksAndDispatches)
{
    auto waiting = Named(QStringLiteral("w"));
    waiting->setLocked(false);
    pane.AcceptJobs(batch({waiting}), false);
    EXPECT_TRUE(waiting->Locked());
    EXPECT_EQ(dispatches, 0);
    EXPECT_EQ(cell(*waiting, JobListModel::Status), QStringLiteral("Ideal"));
    EXPECT_EQ(pane.Rows->PictureKey(waiting->ZavUdeID(), JobListModel::Status), QStringLiteral("ideal"));

    SetOptionFlag(OptionFlag::AutoStartJobs, true);
    auto started = Named(QStringLiteral("s"));
    pane.AcceptJobs(batch({started}), false);
    EXPECT_FALSE(started->Locked());
    EXPECT_EQ(dispatches, 1);
    EXPECT_TRUE(balloons.isEmpty()) << "no report asked for";
}

TEST_F(JobQueueTest, RowCellsAndPictures)
{
    auto unknown = Named(QStringLiteral("unknown.bin"), 0, false);
    unknown->setSize(-1);
    auto half = Named(QStringLiteral("half.bin"), 0, false);
    half->setSize(2000);
    half->setTransferedBytes(1000);
    ASSERT_TRUE(WriteFileBytes(dir.filePath(QStringLiteral("big.bin")), QByteArray(100, 'x')));
    auto partial = Named(QStringLiteral("big.bin"), 0, false, dir.path());
    partial->setTransferedBytes(10);
    auto missingUpload = Named(QStringLiteral("gone.bin"), 0, true, dir.path());
    pane.AcceptJobs(batch({unknown, half, partial, missingUpload}), false);

    EXPECT_EQ(cell(*unknown, JobListModel::Size), QStringLiteral("           ?"));
    EXPECT_EQ(cell(*unknown, JobListModel::Complete), QStringLiteral("      ?"));
    EXPECT_EQ(cell(*unknown, JobListModel::TimeLeft), QString());
    EXPECT_EQ(cell(*half, JobListModel::Size), QStringLiteral("        2000"));
    EXPECT_EQ(cell(*half, JobListModel::Complete), QStringLiteral("  50.0%"));
    EXPECT_EQ(cell(*half, JobListModel::RemotePath), QStringLiteral("h/r"));
    EXPECT_EQ(pane.Rows->PictureKey(half->ZavUdeID(), JobListModel::File), QStringLiteral("Download"));
    EXPECT_EQ(pane.Rows->PictureKey(half->ZavUdeID(), JobListModel::LocalPath), QStringLiteral("open"));
    EXPECT_EQ(pane.Rows->PictureKey(partial->ZavUdeID(), JobListModel::LocalPath), QStringLiteral("w"));
    EXPECT_EQ(pane.Rows->PictureKey(missingUpload->ZavUdeID(), JobListModel::LocalPath), QStringLiteral("err"));
    EXPECT_EQ(pane.Rows->PictureKey(missingUpload->ZavUdeID(), JobListModel::File), QStringLiteral("Upload"));

    // A running job's progress is refreshed by the timer.
    half->setStatus(1);
    half->setTransferedBytes(1500);
    pane.Timer3_Timer();
    EXPECT_EQ(cell(*half, JobListModel::Complete), QStringLiteral("  75.0%"));
    EXPECT_EQ(cell(*half, JobListModel::TimeLeft), QStringLiteral("Estimating..."));
    EXPECT_EQ(pane.Timer3.interval(), 2000);
    EXPECT_FALSE(pane.Timer3.isActive());

    half->setStatus(3);
    half->setFailureReason(9);
    pane.ColorJobRow(*half, JobQueuePane::Red());
    EXPECT_EQ(pane.Rows->Colour(half->ZavUdeID(), 5), QColor(255, 0, 0));
    EXPECT_FALSE(pane.Rows->Colour(half->ZavUdeID(), 6).isValid());
    EXPECT_EQ(pane.Rows->PictureKey(half->ZavUdeID(), 5), QStringLiteral("filelock"));
}

TEST_F(JobQueueTest, StatusPictureKeys)
{
    const auto key = [](int status, int reason) {
        FtpTask job;
        job.setStatus(status);
        job.setFailureReason(reason);
        return JobQueuePane::GetStatusIconKey(job);
    };
    EXPECT_EQ(key(1, 0), QStringLiteral("a"));
    EXPECT_EQ(key(2, 0), QStringLiteral("correct"));
    EXPECT_EQ(key(3, 4), QStringLiteral("fm"));
    EXPECT_EQ(key(3, 6), QStringLiteral("fchg"));
    EXPECT_EQ(key(3, 8), QStringLiteral("usrcnc"));
    EXPECT_EQ(key(3, 10), QStringLiteral("filelock"));
    EXPECT_EQ(key(3, 12), QStringLiteral("error"));
    EXPECT_EQ(key(7, 0), QString());
}

TEST_F(JobQueueTest, SummaryCountsSoundAndClearingCompletedJobs)
{
    int plays = 0;
    QFile wave(dir.filePath(QStringLiteral("done.wav")));
    ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
    wave.close();
    SoundEnabledTable() = QList<quint8>(AlertSoundSlots, 0);
    SoundPathTable() = QStringList(AlertSoundSlots);
    SoundEnabledTable()[static_cast<int>(AlertSound::AllJobsProcessed)] = 1;
    SoundPathTable()[static_cast<int>(AlertSound::AllJobsProcessed)] = wave.fileName();
    SetOptionFlag(OptionFlag::EnableSoundAlerts, true);
    InstallAlertPlayer(std::make_unique<CountingPlayer>(plays));
    int resets = 0;
    pane.setResetBatchAnswers([&](bool) { ++resets; });

    pane.UpdateJobSummary();
    EXPECT_EQ(pane.lblJobInfo->text(),
              QStringLiteral("  ( Total: 0    Active: 0    Completed: 0    Failed: 0    Queued: 0 )"));
    EXPECT_EQ(plays, 0);
    EXPECT_EQ(resets, 1);

    auto done = Named(QStringLiteral("d"), 2);
    auto failed = Named(QStringLiteral("f"), 3);
    auto active = Named(QStringLiteral("a"), 1);
    pane.AcceptJobs(batch({done, failed, active}), false);
    EXPECT_EQ(pane.lblJobInfo->text(),
              QStringLiteral("  ( Total: 3    Active: 1    Completed: 1    Failed: 1    Queued: 0 )"));
    EXPECT_EQ(plays, 1);
    EXPECT_EQ(pane.ActiveJobCount, 1);

    SetOptionFlag(OptionFlag::ClearCompletedJobs, true);
    pane.UpdateJobSummary();
    EXPECT_EQ(pane.JobQueue.Count(), 3) << "not every job completed";
    failed->setStatus(2);
    active->setStatus(2);
    pane.UpdateJobSummary();
    EXPECT_EQ(pane.JobQueue.Count(), 0);
    EXPECT_EQ(pane.Rows->rowCount(), 0);
    EXPECT_TRUE(info().contains(QStringLiteral("Removing completed jobs (3) from job list!")));
}

// The summary counts the jobs of the queue as they change state, whatever
// else holds them: a job offered again, a copy saved as pending, a job gone.
TEST_F(JobQueueTest, SummaryCountsFollowTheQueuesJobsOnly)
{
    auto done = Named(QStringLiteral("d"), 2);
    auto failed = Named(QStringLiteral("f"), 3);
    auto running = Named(QStringLiteral("a"), 1);
    auto queued = Named(QStringLiteral("q"), 0);
    pane.AcceptJobs(batch({done, failed, running, queued}), false);
    struct Step {
        const char *name;
        std::function<void()> act;
        const char *counts;
    };
    const Step steps[] = {
        {"accepted", [] {}, "Total: 4    Active: 1    Completed: 1    Failed: 1    Queued: 1"},
        {"a queued job offered again, then run",
         [&] {
             pane.AcceptJobs(batch({queued}), false);
             queued->setStatus(1);
         },
         "Total: 4    Active: 2    Completed: 1    Failed: 1    Queued: 0"},
        {"a running job saved as pending",
         [&] { pane.SaveQueue(dir.filePath(QStringLiteral("saved.xqr")), false, true, {running.get()}); },
         "Total: 4    Active: 2    Completed: 1    Failed: 1    Queued: 0"},
        {"a failed job removed, then started again elsewhere",
         [&] {
             pane.JobQueue.Remove(failed->ZavUdeID());
             failed->setStatus(1);
         },
         "Total: 3    Active: 2    Completed: 1    Failed: 0    Queued: 0"},
        {"the queue cleared, its jobs going on",
         [&] {
             pane.JobQueue.Clear();
             running->setStatus(3);
         },
         "Total: 0    Active: 0    Completed: 0    Failed: 0    Queued: 0"},
        {"jobs accepted again", [&] { pane.AcceptJobs(batch({done, running}), false); },
         "Total: 2    Active: 0    Completed: 1    Failed: 1    Queued: 0"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        pane.UpdateJobSummary();
        EXPECT_EQ(pane.lblJobInfo->text().toStdString(), std::string("  ( ") + step.counts + " )");
    }
}

TEST_F(JobQueueTest, LoadingTheDefaultFileKeepsUnreadableLinesAndDeletesIt)
{
    auto failed = Named(QStringLiteral("failed.bin"), 3);
    failed->setFailureReason(9);
    auto active = Named(QStringLiteral("active.bin"), 1);
    QByteArray file = JobFile::EncodeLine(*failed) + "\r\n" + JobFile::EncodeLine(*active) + "\r\n" +
                      "bm90IGEgam9i\r\n" + JobFile::EncodeLine(*failed) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(pane.TasksFile, file));
    const QString copy = dir.filePath(QStringLiteral("copy.xqr"));
    ASSERT_TRUE(WriteFileBytes(copy, JobFile::EncodeLine(*Named(QStringLiteral("c.bin"))) + "\r\n"));

    EXPECT_FALSE(pane.mnuJSaveCustom->isEnabled());
    pane.LoadTasks(pane.TasksFile);
    ASSERT_EQ(pane.JobQueue.Count(), 2);
    EXPECT_FALSE(QFileInfo::exists(pane.TasksFile));
    EXPECT_EQ(ReadFileBytes(dir.filePath(QStringLiteral("tasks.unread.xqr"))), "bm90IGEgam9i\r\n");
    EXPECT_TRUE(info().contains(QStringLiteral("1 unreadable jobs in 'tasks.xqr' were not loaded.")));
    EXPECT_EQ(pane.RefusedJobs.Count(), 1) << "the duplicate line";
    EXPECT_TRUE(pane.mnuJSaveCustom->isEnabled());

    const auto loadedFailed = pane.JobQueue.Item(failed->ZavUdeID());
    EXPECT_TRUE(loadedFailed->Locked());
    EXPECT_EQ(loadedFailed->LoadTag(), QStringLiteral("0K"));
    EXPECT_EQ(pane.Rows->Colour(failed->ZavUdeID(), 0), QColor(255, 0, 0));
    EXPECT_EQ(cell(*active, JobListModel::Status), QStringLiteral("Active"));
    EXPECT_EQ(pane.lblJobInfo->text(),
              QStringLiteral("  ( Total: 2    Active: 1    Completed: 0    Failed: 1    Queued: 0 )"));

    pane.LoadTasks(copy);
    EXPECT_TRUE(QFileInfo::exists(copy)) << "only the default file is consumed";
    EXPECT_EQ(pane.JobQueue.Count(), 3);
}

// A job file too large to be a queue is refused before it is read, named
// with the limit, and kept; a queue of 20,000 jobs with long paths stays far below it.
TEST_F(JobQueueTest, AJobFileLargerThanTheLimitIsRefusedAndKept)
{
    {
        QFile huge(pane.TasksFile);
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(JobFile::kMaxFileMiB * 1024 * 1024 + 1)); // sparse: no disk used
    }
    pane.LoadTasks(pane.TasksFile);
    EXPECT_EQ(pane.JobQueue.Count(), 0);
    EXPECT_TRUE(info().contains(QStringLiteral("larger than ") + QString::number(JobFile::kMaxFileMiB) +
                                QStringLiteral(" MiB")))
        << info().toStdString();
    EXPECT_TRUE(QFileInfo::exists(pane.TasksFile)) << "a refused file is kept";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("tasks.unread.xqr"))));

    FtpTaskCollection many;
    const QString folder = QStringLiteral("/home/someone/") + QString(120, QLatin1Char('f'));
    for (int i = 0; i < 20000; ++i)
        many.AddFtpTask(Named(QString(60, QLatin1Char('n')) + QString::number(i), 0, true, folder));
    const QString saved = dir.filePath(QStringLiteral("many.xqr"));
    ASSERT_TRUE(SaveTasks(saved, many, false, true));
    EXPECT_LT(QFileInfo(saved).size() * 4, JobFile::kMaxFileMiB * 1024 * 1024);
}

TEST_F(JobQueueTest, LoadSaveMenuItems)
{
    ScriptedPrompts prompts;
    pane.UpdateJobSummary();
    prompts.expectFile(QStringLiteral("Load Saved Jobs"), std::nullopt);
    pane.mnuJLoadCustom->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 0);

    pane.AcceptJobs(batch({Named(QStringLiteral("one")), Named(QStringLiteral("two"), 1)}), false);
    prompts.expectMessage(QStringLiteral("At least one job is active"), PromptButton::No);
    pane.mnuJSaveCustom->trigger();

    const QString saved = dir.filePath(QStringLiteral("saved.xqr"));
    ASSERT_TRUE(WriteFileBytes(saved, "old\r\n"));
    prompts.expectMessage(QStringLiteral("At least one job is active"), PromptButton::Yes);
    prompts.expectFile(QStringLiteral("Save to Job File"), std::nullopt);
    pane.mnuJSaveCustom->trigger();
    EXPECT_EQ(ReadFileBytes(saved), "old\r\n") << "a cancelled dialog stops there";

    prompts.expectMessage(QStringLiteral("At least one job is active"), PromptButton::Yes);
    prompts.expectFile(QStringLiteral("Save to Job File"), saved);
    pane.mnuJSaveCustom->trigger();
    qint64 serial = 0;
    const auto content = JobFile::Parse(ReadFileBytes(saved), serial);
    EXPECT_EQ(content.jobs.size(), 2u) << "forced: the active job too, appended";
    EXPECT_EQ(content.unreadable.size(), 1);

    // Loaded back elsewhere, the same jobs and states.
    KeyedImageList otherPictures;
    JobQueuePane other(&otherPictures);
    other.LoadTasks(saved);
    ASSERT_EQ(other.JobQueue.Count(), 2);
    EXPECT_EQ(other.Rows->Text(Named(QStringLiteral("two"), 1)->ZavUdeID(), JobListModel::Status),
              QStringLiteral("Active"));

    ASSERT_TRUE(WriteFileBytes(pane.TasksFile, JobFile::EncodeLine(*Named(QStringLiteral("three"))) + "\r\n"));
    pane.mnuJLoad->setEnabled(true);
    pane.mnuJLoad->trigger();
    EXPECT_FALSE(pane.mnuJLoad->isEnabled());
    EXPECT_EQ(pane.JobQueue.Count(), 3);
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(JobQueueTest, AddJobIsTheIntakeOfOneJob)
{
    auto job = Named(QStringLiteral("one"));
    EXPECT_TRUE(pane.AddJob(job));
    EXPECT_FALSE(pane.AddJob(Named(QStringLiteral("one"))));
    EXPECT_EQ(pane.Rows->rowCount(), 1);
    EXPECT_EQ(pane.RefusedJobs.Count(), 1);
    EXPECT_EQ(pane.JobSerial, 2);
    pane.ReportJobsAdded(true, 1, 1);
    EXPECT_TRUE(info().contains(QStringLiteral("1 Jobs were added to job list.")));
}

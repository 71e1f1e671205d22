#include "BatchTestSupport.h"

#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct UploadFixture : BatchFixture
{
    QTemporaryDir dir;

    QString path(const QString &relative) const { return dir.path() + u'/' + relative; }

    void file(const QString &relative, qint64 size = 10)
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        ASSERT_TRUE(WriteFileBytes(path(relative), QByteArray(size, 'u')));
    }

    void files(const QString &folder, int count)
    {
        QDir().mkpath(path(folder));
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(WriteFileBytes(path(folder + "/f" + QString::number(i)), "x"));
    }

    QStringList remoteFolders(const BatchList &list) const
    {
        QStringList folders;
        for (const BatchEntry &entry : list)
            folders << entry.RemoteFolder + u'|' + entry.Name;
        folders.sort();
        return folders;
    }
};

} // namespace

TEST_F(UploadFixture, TheBatchLimitCountsEveryFileBelowTheSelection)
{
    files("d", 1000);
    files("d/sub", 24);
    ASSERT_TRUE(connect());

    batch->PrepareUploads({path("d")}, 0, true, false);
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(steps.starts[0].count, 1024);
    EXPECT_EQ(steps.confirmations, QStringList({"UP"}));

    file("d/sub/one-more");
    ScriptedPrompts prompts;
    prompts.expectMessage("More than 1024 files in a batch is not allowed! Currently 1025 files are selected.",
                          PromptButton::Ok);
    batch->PrepareUploads({path("d")}, 0, true, false);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().at(0).title, "Error!");
    EXPECT_EQ(steps.starts.size(), 1);
}

TEST_F(UploadFixture, ASmallSingleFileRunsAtOnceUnlessJobsWereAsked)
{
    file("small", BatchTransfers::kSmallFileBytes - 1);
    file("large", BatchTransfers::kSmallFileBytes);
    ASSERT_TRUE(connect());

    batch->PrepareUploads({path("small")}, 0, false, false);
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(steps.starts[0].action, "U");
    EXPECT_FALSE(steps.starts[0].createFolders);
    EXPECT_TRUE(steps.confirmations.isEmpty()); // files only: no list
    ASSERT_EQ(batch->UploadList.size(), 1);
    EXPECT_EQ(batch->UploadList[0].LocalFolder, dir.path());
    EXPECT_EQ(batch->UploadList[0].RemoteFolder, "/");
    EXPECT_EQ(batch->UploadList[0].Size, BatchTransfers::kSmallFileBytes - 1);
    EXPECT_TRUE(batch->cboMkDir.IsEmpty());

    batch->PrepareUploads({path("small")}, 0, false, true);
    batch->PrepareUploads({path("large")}, 0, false, false);
    EXPECT_EQ(steps.starts.size(), 1);
    ASSERT_EQ(jobs.batches.size(), 2);
    EXPECT_TRUE(jobs.batches[0].isUpload);
    EXPECT_EQ(jobs.batches[1].entries.at(0).Name, "large");
}

TEST_F(UploadFixture, UploadJobsCarryTheProfileAndTheLocalFile)
{
    file("d/a.txt", 300);
    file("d/b.txt", 400);
    ASSERT_TRUE(connect());
    SetOptionFlag(OptionFlag::AutoStartJobs, true);
    batch->PrepareUploads({path("d/a.txt"), path("d/b.txt"), path("d/a.txt")}, 0, false, true);
    SetOptionFlag(OptionFlag::AutoStartJobs, false);
    ASSERT_EQ(jobs.last.size(), 2);
    EXPECT_EQ(jobs.reports, (QList<QPair<int, int>>{{2, 1}})); // the repeated file is refused
    EXPECT_EQ(jobs.runs, 1);
    const FtpTask &job = *jobs.last[0];
    EXPECT_TRUE(job.IsUpload());
    EXPECT_EQ(job.LocalFileTitle(), "a.txt");
    EXPECT_EQ(job.RemoteFileTitle(), "a.txt");
    EXPECT_EQ(job.LocalPath(), path("d"));
    EXPECT_EQ(job.RemotePath(), "/");
    EXPECT_EQ(job.ServerAddress(), server.host());
    EXPECT_EQ(job.ServerPort(), server.port());
    EXPECT_EQ(job.User(), QString::fromLatin1(PyFtpServer::kUser));
    EXPECT_EQ(job.TransferMode(), 0); // passive
    EXPECT_EQ(job.Size(), 300);
    EXPECT_EQ(job.OriginalLocalSize(), 300);
    EXPECT_FALSE(job.OriginalLocalFileTime().isEmpty());
    EXPECT_FALSE(job.Locked());
    EXPECT_EQ(job.LastAttemp(), "0");

    // Without automatic start the jobs wait, locked.
    file("d/c.txt");
    batch->PrepareUploads({path("d/c.txt")}, 0, false, true);
    EXPECT_TRUE(jobs.last.last()->Locked());
    EXPECT_EQ(jobs.runs, 1);
}

TEST_F(UploadFixture, RunningFromTheListAfterAddToJobsRunsNow)
{
    file("d/a.txt");
    file("d/b.txt");
    ASSERT_TRUE(connect());
    steps.onConfirm = [](const BatchList &, bool &asJobs, QList<qsizetype> &) {
        asJobs = false; // the list's own run button
        return true;
    };
    batch->PrepareUploads({path("d")}, 0, false, true);
    EXPECT_EQ(steps.starts.size(), 1);
    EXPECT_TRUE(jobs.batches.isEmpty());

    // And the other way round: "Add As Upload Job" from a quick upload.
    steps.onConfirm = [](const BatchList &, bool &asJobs, QList<qsizetype> &) {
        asJobs = true;
        return true;
    };
    batch->PrepareUploads({path("d")}, 0, true, false);
    EXPECT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(jobs.batches.size(), 1);
}

TEST_F(UploadFixture, FoldersMirrorTheirPlaceUnderTheVisitedRemoteFolder)
{
    file("data/photos/p1.jpg");
    file("data/photos/2024/p2.jpg");
    file("data/photos/Photos/p3.jpg");
    file("data/photos/photos/p4.jpg");
    ASSERT_TRUE(server.makeFolder("www"));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(visit("/www"));

    batch->PrepareUploads({path("data/photos")}, 0, true, false);
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_TRUE(steps.starts[0].createFolders);
    EXPECT_EQ(remoteFolders(batch->UploadList),
              QStringList({"/www/photos/2024|p2.jpg", "/www/photos/Photos|p3.jpg", "/www/photos/photos|p4.jpg",
                           "/www/photos|p1.jpg"}));
    // Visited folders are not made again; folders differing in case are two.
    QStringList queued = batch->cboMkDir.Paths();
    EXPECT_EQ(queued.first(), "/www/photos");
    queued.sort();
    EXPECT_EQ(queued, QStringList({"/www/photos", "/www/photos/2024", "/www/photos/Photos", "/www/photos/photos"}));
}

TEST_F(UploadFixture, OnlyTheLeadingLocalBaseIsStripped)
{
    file("a/b/a/c/x.txt");
    BatchList list;
    qsizetype next = 0;
    batch->FillFileList(next, list, path("a/b/a/c"), "/r", path("a"));
    ASSERT_EQ(next, 1);
    EXPECT_EQ(list[0].RemoteFolder, "/r/b/a/c");
    EXPECT_EQ(list[0].LocalFolder, path("a/b/a/c"));

    // A base of "/" leaves the whole path below the remote base.
    next = 0;
    list.clear();
    BatchTransfers fresh(*serverSlots, local, nullptr);
    fresh.FillFileList(next, list, path("a/b/a/c"), "/r", "/");
    ASSERT_EQ(next, 1);
    EXPECT_EQ(list[0].RemoteFolder, "/r" + path("a/b/a/c"));
}

TEST_F(UploadFixture, TheRebuiltListKeepsTheCheckedEntries)
{
    file("d/1");
    file("d/2");
    file("d/3");
    ASSERT_TRUE(connect());
    steps.onConfirm = [](const BatchList &, bool &, QList<qsizetype> &checked) {
        checked = {0, 2};
        return true;
    };
    batch->PrepareUploads({path("d")}, 0, true, false);
    ASSERT_EQ(batch->UploadList.size(), 2);
    EXPECT_EQ(batch->UploadList[0].Name, steps.confirmed[0].Name);
    EXPECT_EQ(batch->UploadList[1].Name, steps.confirmed[2].Name);
    EXPECT_EQ(steps.starts.at(0).count, 2);

    // Nothing checked: nothing starts.
    steps.onConfirm = [](const BatchList &, bool &, QList<qsizetype> &checked) {
        checked.clear();
        return true;
    };
    batch->PrepareUploads({path("d")}, 0, true, false);
    EXPECT_EQ(steps.starts.size(), 1);
}

TEST_F(UploadFixture, AFolderReachedAgainThroughALinkIsWalkedOnce)
{
    file("d/sub/x");
    ASSERT_TRUE(QFile::link(path("d"), path("d/sub/loop")));
    ASSERT_TRUE(connect());
    batch->PrepareUploads({path("d")}, 0, true, false);
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(batch->UploadList.size(), 1);
}

TEST_F(UploadFixture, NothingStartsWithoutASessionOrWhileBusy)
{
    file("x");
    batch->PrepareUploads({path("x")}, 0, true, false);
    EXPECT_TRUE(steps.starts.isEmpty());
    ASSERT_TRUE(connect());
    steps.running = true;
    ScriptedPrompts prompts;
    prompts.expectMessage(BatchTransfers::kBusyText, PromptButton::Ok);
    batch->PrepareUploads({path("x")}, 0, true, false);
    EXPECT_TRUE(steps.starts.isEmpty());
    EXPECT_EQ(pane0.lblState->text(), "Busy, please wait...");
    EXPECT_TRUE(prompts.allUsed());
    // Jobs need only the session.
    batch->PrepareUploads({path("x")}, 0, false, true);
    EXPECT_EQ(jobs.batches.size(), 1);
}

TEST_F(BatchFixture, MissingParentsAreQueuedOutermostFirstAndVisitedOnesSkipped)
{
    ASSERT_TRUE(server.makeFolder("a"));
    ASSERT_TRUE(connect());

    batch->FillSubFolders(0, "/a/b/c");
    batch->cboMkDir.Add("/a/b/c");
    EXPECT_EQ(batch->cboMkDir.Paths(), QStringList({"/a", "/a/b", "/a/b/c"}));

    ASSERT_TRUE(visit("/a"));
    EXPECT_TRUE(batch->RemotePathExists(0, "/a"));
    EXPECT_TRUE(batch->RemotePathExists(0, "a"));
    EXPECT_FALSE(batch->RemotePathExists(0, "/A"));
    EXPECT_FALSE(batch->RemotePathExists(1, "/a"));
    batch->cboMkDir.Clear();
    batch->FillSubFolders(0, "/a/b/c");
    EXPECT_EQ(batch->cboMkDir.Paths(), QStringList({"/a/b"}));
}

TEST(BatchAnswers, ResetKeepsSkipOnlyWhenPresetAndOptionOn)
{
    BatchAnswers answers{true, true, true, true};
    SetOptionFlag(OptionFlag::SkipDownloadIfLocalExists, true);
    answers.ResetBatchAnswers(true);
    EXPECT_FALSE(answers.UploadOverwriteAll || answers.UploadSkipAll || answers.DownloadOverwriteAll);
    EXPECT_TRUE(answers.DownloadSkipAll);
    answers.ResetBatchAnswers(false);
    EXPECT_FALSE(answers.DownloadSkipAll);
    SetOptionFlag(OptionFlag::SkipDownloadIfLocalExists, false);
    answers.ResetBatchAnswers(true);
    EXPECT_FALSE(answers.DownloadSkipAll);
}

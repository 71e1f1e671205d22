// The main window with its job connections: closing while a job runs.
#include "frmZAVUde.h"

#include "DataRoot.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QItemSelectionModel>
#include <QTest>
#include <QTreeView>

namespace {

// A job between file.bin in `local` and in the server's root.
std::shared_ptr<FtpTask> fileJob(const ScriptedFtpServer &server, const QTemporaryDir &local, qint64 size)
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(QStringLiteral("file.bin"));
    job->setRemoteFileTitle(QStringLiteral("file.bin"));
    job->setLocalPath(local.path());
    job->setRemotePath(QStringLiteral("/"));
    job->setServerAddress(server.host());
    job->setServerPort(server.port());
    job->setUser(QStringLiteral("bob"));
    job->setPassword(QStringLiteral("pw"));
    job->setSize(size);
    return job;
}

} // namespace

// Every question comes first: a No leaves the job running; a Yes stops it
// as cancelled, saves it (after the save question) and only then disconnects.
TEST(MainWindowJobs, ClosingWithARunningJobAsksStopsAndSavesIt)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.on("RETR", ScriptedFtpServer::Reply{}); // the transfer never starts: the job stays active
    QTemporaryDir local;
    QDir().mkpath(DataRoot::SystemFolder());

    frmZAVUde window;
    window.ShowQor();
    const QString tasksFile = window.Jobs()->TasksFile;
    QFile::remove(tasksFile);
    auto job = fileJob(server, local, -1);
    ASSERT_TRUE(window.Jobs()->AddJob(job));
    job->setLocked(false);
    window.JobControl()->Dispatcher().RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.commandCount("RETR") == 1; }, 20000));
    EXPECT_TRUE(window.IsAnySessionActive());

    // The question says that a job runs and that exiting stops it.
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("You are connected to a server"), PromptButton::No);
    EXPECT_FALSE(window.close());
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    EXPECT_EQ(prompts.messageTexts().first().toStdString(),
              "You are connected to a server and 1 job is still running. Exiting stops it (it can be saved as a "
              "pending job).\r\n\r\nDisconnect and exit Ftp Qor?");
    EXPECT_EQ(job->Status(), 1);
    EXPECT_TRUE(window.JobControl()->Dispatcher().FtpJobs(0)->SessionActive());

    prompts.expectMessage(QStringLiteral("You are connected to a server"), PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("There are pending or failed jobs!"), PromptButton::Yes);
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_FALSE(window.JobControl()->Dispatcher().AnySessionActive());
    QFile saved(tasksFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count("\r\n"), 1);
}

// The user stopped an upload and the frozen server answers neither the abort
// nor anything after it when the window closes: the job is saved as the user
// left it, cancelled, not as a pending job that the close stopped.
TEST(MainWindowJobs, AnUploadTheUserStoppedIsSavedAsStoppedAlsoWhileItsServerStillOwesTheAbort)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setStallAfter(200000);
    QTemporaryDir local;
    QDir().mkpath(DataRoot::SystemFolder());
    ASSERT_TRUE(WriteFileBytes(local.filePath("file.bin"), PatternBytes(1000000)));

    frmZAVUde window;
    window.ShowQor();
    const QString tasksFile = window.Jobs()->TasksFile;
    QFile::remove(tasksFile);
    auto job = fileJob(server, local, 1000000);
    job->setIsUpload(true);
    ASSERT_TRUE(window.Jobs()->AddJob(job));
    job->setLocked(false);
    window.JobControl()->Dispatcher().RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.isFrozen(); }, 20000));

    JobQueuePane *pane = window.Jobs();
    pane->LVJob->selectionModel()->select(pane->Rows->index(pane->Rows->RowOf(job->ZavUdeID()), 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.JobControl()->EnableJobMenu();
    window.JobControl()->MnuJStop->trigger();
    ASSERT_EQ(window.JobControl()->Dispatcher().LinkedJob(0), job); // waiting for the abort's answer
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Cancelled by user)"));

    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("You are connected to a server"), PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("There are pending or failed jobs!"), PromptButton::Yes);
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(prompts.allUsed());
    QFile saved(tasksFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), QString::fromUtf8(JobFile::EncodeLine(*job) + "\r\n"));
    EXPECT_LE(job->TransferedBytes(), 1000000);
    server.thaw();
}

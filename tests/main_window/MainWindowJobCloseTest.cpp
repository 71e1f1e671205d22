// The main window with its job connections: closing while a job runs.
#include "frmZAVUde.h"

#include "DataRoot.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobQueuePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(QStringLiteral("file.bin"));
    job->setRemoteFileTitle(QStringLiteral("file.bin"));
    job->setLocalPath(local.path());
    job->setRemotePath(QStringLiteral("/"));
    job->setServerAddress(server.host());
    job->setServerPort(server.port());
    job->setUser(QStringLiteral("bob"));
    job->setPassword(QStringLiteral("pw"));
    job->setSize(-1);
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

// Upload jobs cut on the way, on the real job list in front of a real server:
// a failed job shows what the server holds, never what went into the socket,
// offers "&Resume", and the resume makes the file whole.
#include "BatchAnswers.h"
#include "CuttingProxy.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "KeyedImageList.h"
#include "PyFtpServer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

namespace {

class UploadCutJobs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(proxy->listen(server.port()));
        for (int i = 0; i < JobDispatcher::kConnections; ++i) {
            QObject::connect(commands.Dispatcher().FtpJobs(i), &FtpCommander::DataProgress, &commands,
                             [this](qint64 bytes) {
                                 if (onProgress)
                                     onProgress(bytes);
                             });
        }
    }

    std::shared_ptr<FtpTask> addUpload(const QString &name, const QByteArray &content)
    {
        EXPECT_TRUE(WriteFileBytes(local.filePath(name), content));
        const QFileInfo file(local.filePath(name));
        auto job = std::make_shared<FtpTask>();
        job->setIsUpload(true);
        job->setLocalFileTitle(name);
        job->setRemoteFileTitle(name);
        job->setLocalPath(local.path());
        job->setRemotePath(QStringLiteral("/"));
        job->setServerAddress(proxy->host());
        job->setServerPort(proxy->port());
        job->setUser(QString::fromLatin1(PyFtpServer::kUser));
        job->setPassword(QString::fromLatin1(PyFtpServer::kPassword));
        job->setSize(file.size());
        job->setOriginalLocalSize(file.size());
        job->setOriginalLocalFileTime(FtpTask::FormatTime(file.lastModified()));
        EXPECT_TRUE(pane.AddJob(job));
        return job;
    }

    void select(const FtpTask &job)
    {
        QItemSelectionModel *selection = pane.LVJob->selectionModel();
        selection->clearSelection();
        selection->select(pane.Rows->index(pane.Rows->RowOf(job.ZavUdeID()), 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    bool resumeOffered(const FtpTask &job)
    {
        select(job);
        commands.EnableJobMenu();
        return commands.mnuJResume->isEnabled();
    }

    // "Start" or "&Resume" on the job's row, then waits until it has ended and its connection is free.
    bool run(const FtpTask &job, bool resume)
    {
        select(job);
        (resume ? commands.mnuJResume : commands.mnuJStart)->trigger();
        return QTest::qWaitFor(
            [&] {
                return (job.Status() == 2 || job.Status() == 3) && commands.Dispatcher().RunningIndex(job.ZavUdeID()) < 0
                       && !commands.Dispatcher().FtpJobs(0)->isBusy();
            },
            60000);
    }

    std::string percentCell(const FtpTask &job) const
    {
        return pane.Rows->Text(job.ZavUdeID(), JobListModel::Complete).trimmed().toStdString();
    }

    static std::string percentOf(qint64 part, qint64 whole)
    {
        return QString::number(100.0 * static_cast<double>(part) / static_cast<double>(whole), 'f', 1).toStdString()
               + '%';
    }

    // The server comes back on a new port, with a new proxy in front; the job follows it.
    void restartServer(FtpTask &job)
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        proxy = std::make_unique<CuttingProxy>();
        ASSERT_TRUE(proxy->listen(server.port()));
        job.setServerPort(proxy->port());
    }

    PyFtpServer server;
    std::unique_ptr<CuttingProxy> proxy = std::make_unique<CuttingProxy>();
    QTemporaryDir local;
    KeyedImageList pictures;
    JobQueuePane pane{&pictures};
    BatchAnswers answers;
    JobCommands commands{pane, answers, JobDataPorts{0, 0, 0}};
    std::function<void(qint64 bytes)> onProgress;
};

} // namespace

// Whether the client saw the cut or went on writing into the void, the
// server holds 652,346 of 1,244,602 bytes: the row says so, and "&Resume"
// sends the rest.
TEST_F(UploadCutJobs, AFailedUploadShowsWhatTheServerHoldsAndItsResumeMakesTheFileWhole)
{
    const QByteArray content = PatternBytes(1244602);
    for (const CuttingProxy::Cut how : {CuttingProxy::Cut::ClientNotTold, CuttingProxy::Cut::ClientSeesClose}) {
        const QString name = how == CuttingProxy::Cut::ClientSeesClose ? QStringLiteral("closed.bin")
                                                                        : QStringLiteral("silent.bin");
        SCOPED_TRACE(name.toStdString());
        auto job = addUpload(name, content);
        proxy->setCut(652346, how);
        ASSERT_TRUE(run(*job, false));
        ASSERT_EQ(server.readFile(name).size(), 652346);
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
        EXPECT_EQ(job->TransferedBytes(), 652346);
        EXPECT_EQ(percentCell(*job), "52.4%");
        EXPECT_TRUE(resumeOffered(*job));

        proxy->setCut(-1, how);
        ASSERT_TRUE(run(*job, true));
        EXPECT_EQ(job->Status(), 2);
        EXPECT_TRUE(server.readFile(name) == content);
        EXPECT_EQ(percentCell(*job), "100.0%");
    }
}

// The server goes away mid-transfer, so nobody can be asked: the job keeps
// the last size the server confirmed (none for a fresh upload, the size a
// cut run was found to hold for a resumed one), and still offers "&Resume".
TEST_F(UploadCutJobs, WithTheServerGoneAFailedUploadKeepsTheLastSizeTheServerConfirmed)
{
    const QByteArray content = PatternBytes(3 * 1024 * 1024 + 517);
    const QString name = QStringLiteral("gone.bin");
    auto job = addUpload(name, content);
    qint64 stopAt = 400000;
    onProgress = [&](qint64 bytes) {
        if (stopAt > 0 && bytes > stopAt) {
            stopAt = 0;
            server.stop();
        }
    };
    ASSERT_TRUE(run(*job, false));
    EXPECT_EQ(job->Status(), 3);
    EXPECT_EQ(job->TransferedBytes(), 0);
    EXPECT_EQ(percentCell(*job), "0.0%");
    EXPECT_TRUE(resumeOffered(*job)) << "the upload sent data: the server may hold part of it";

    // Back again: the resume asks the server where to go on; a cut ends it
    // again, and the server's size is asked while it answers.
    restartServer(*job);
    const qint64 keptByFirstRun = server.readFile(name).size();
    proxy->setCut(700001, CuttingProxy::Cut::ClientNotTold);
    ASSERT_TRUE(run(*job, true));
    EXPECT_EQ(job->Status(), 3);
    const qint64 held = server.readFile(name).size();
    EXPECT_EQ(held, keptByFirstRun + 700001);
    EXPECT_EQ(job->TransferedBytes(), held);
    EXPECT_EQ(percentCell(*job), percentOf(held, content.size()));

    // Gone again while resuming: the size it was found to hold stays.
    proxy->setCut(-1, CuttingProxy::Cut::ClientNotTold);
    stopAt = held + 300000;
    ASSERT_TRUE(run(*job, true));
    EXPECT_EQ(job->Status(), 3);
    EXPECT_EQ(job->TransferedBytes(), held);
    EXPECT_EQ(percentCell(*job), percentOf(held, content.size()));
    EXPECT_TRUE(resumeOffered(*job));

    restartServer(*job);
    ASSERT_TRUE(run(*job, true));
    EXPECT_EQ(job->Status(), 2);
    EXPECT_TRUE(server.readFile(name) == content);
}

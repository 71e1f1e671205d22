#pragma once

#include "BatchAnswers.h"
#include "FtpCommander.h"
#include "JobAccount.h"
#include "JobCommands.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "KeyedImageList.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <string>

// The job list on real widgets with its five job connections: jobs are rows,
// driven by the job menu's commands as the user drives them.
class JobListFixture : public ::testing::Test
{
protected:
    using Account = JobAccount;

    // A job between `name` in the local folder (or its subfolder `localFolder`)
    // and `name` in the server's root; an upload's local file holds `content`.
    std::shared_ptr<FtpTask> addJob(const Account &account, bool upload, const QString &name,
                                    const QByteArray &content = {}, const QString &localFolder = {})
    {
        const QString folder = localFolder.isEmpty() ? local.path() : local.filePath(localFolder);
        QDir().mkpath(folder);
        auto job = std::make_shared<FtpTask>();
        job->setIsUpload(upload);
        job->setLocalFileTitle(name);
        job->setRemoteFileTitle(name);
        job->setLocalPath(folder);
        job->setRemotePath(QStringLiteral("/"));
        account.applyTo(*job);
        if (upload) {
            EXPECT_TRUE(WriteFileBytes(job->GetLocalFilePath(), content));
            const QFileInfo file(job->GetLocalFilePath());
            job->setSize(file.size());
            job->setOriginalLocalSize(file.size());
            job->setOriginalLocalFileTime(FtpTask::FormatTime(file.lastModified()));
        } else {
            job->setSize(-1);
        }
        EXPECT_TRUE(pane.AddJob(job));
        return job;
    }

    // The jobs as the list loads them from a job file holding their records.
    std::vector<std::shared_ptr<FtpTask>> loadJobFile(const std::vector<std::shared_ptr<FtpTask>> &jobs)
    {
        QByteArray lines;
        for (const auto &job : jobs)
            lines += JobFile::EncodeLine(*job) + "\r\n";
        const QString path = local.filePath(QStringLiteral("loaded.xqr"));
        EXPECT_TRUE(WriteFileBytes(path, lines));
        pane.LoadTasks(path);
        std::vector<std::shared_ptr<FtpTask>> loaded;
        for (const auto &job : jobs) {
            loaded.push_back(pane.JobQueue.Find(job->ZavUdeID()));
            EXPECT_TRUE(loaded.back()) << pane.txtJobInfo->toPlainText().toStdString();
        }
        return loaded;
    }

    void select(const std::vector<std::shared_ptr<FtpTask>> &jobs)
    {
        QItemSelectionModel *selection = pane.LVJob->selectionModel();
        selection->clearSelection();
        for (const auto &job : jobs)
            selection->select(pane.Rows->index(pane.Rows->RowOf(job->ZavUdeID()), 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // A command of the job menu on the selected rows, offered or not.
    bool trigger(QAction *command, const std::vector<std::shared_ptr<FtpTask>> &jobs)
    {
        select(jobs);
        commands.EnableJobMenu();
        if (!command->isEnabled())
            return false;
        command->trigger();
        return true;
    }

    bool resumeOffered(const std::shared_ptr<FtpTask> &job)
    {
        select({job});
        commands.EnableJobMenu();
        return commands.mnuJResume->isEnabled();
    }

    bool idle()
    {
        for (int i = 0; i < JobDispatcher::kConnections; ++i) {
            if (commands.Dispatcher().LinkedJob(i) || commands.Dispatcher().FtpJobs(i)->isBusy())
                return false;
        }
        return true;
    }

    // "Start" or "&Resume" on the job's row, then waits until it has ended and no connection works.
    bool run(const std::shared_ptr<FtpTask> &job, bool resume)
    {
        if (!trigger(resume ? commands.mnuJResume : commands.mnuJStart, {job}))
            return false;
        return QTest::qWaitFor([&] { return (job->Status() == 2 || job->Status() == 3) && idle(); }, 60000);
    }

    std::string statusCell(const FtpTask &job) const
    {
        return pane.Rows->Text(job.ZavUdeID(), JobListModel::Status).toStdString();
    }

    std::string sizeCell(const FtpTask &job) const
    {
        return pane.Rows->Text(job.ZavUdeID(), JobListModel::Size).trimmed().toStdString();
    }

    static std::string percentOf(qint64 part, qint64 whole)
    {
        return QString::number(100.0 * static_cast<double>(part) / static_cast<double>(whole), 'f', 1).toStdString()
               + '%';
    }

    std::string percentCell(const FtpTask &job) const
    {
        return pane.Rows->Text(job.ZavUdeID(), JobListModel::Complete).trimmed().toStdString();
    }

    QTemporaryDir local;
    KeyedImageList pictures;
    JobQueuePane pane{&pictures};
    BatchAnswers answers;
    JobCommands commands{pane, answers, JobDataPorts{0, 0, 0}};
};

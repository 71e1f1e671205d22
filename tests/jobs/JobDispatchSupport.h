#pragma once

#include "FtpCommander.h"
#include "JobAccount.h"
#include "FtpTask.h"
#include "JobDispatcher.h"
#include "RecordingJobHost.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A dispatcher on a recording host, its connections on ports the system picks.
class DispatchFixture : public ::testing::Test
{
protected:
    using Account = JobAccount;

    std::shared_ptr<FtpTask> makeJob(const Account &account, bool upload, const QString &remoteFolder,
                                     const QString &name)
    {
        return account.job(upload, local.path(), remoteFolder, name);
    }

    // Queues the job unlocked, as with automatic start.
    std::shared_ptr<FtpTask> queue(const std::shared_ptr<FtpTask> &job)
    {
        job->setLocked(false);
        EXPECT_TRUE(host.queue.AddFtpTask(job));
        return job;
    }

    bool idle() const
    {
        for (int i = 0; i < JobDispatcher::kConnections; ++i) {
            if (dispatcher.LinkedJob(i) || dispatcher.FtpJobs(i)->isBusy())
                return false;
        }
        return true;
    }

    // Waits until `ended` jobs are completed or failed and no connection runs one.
    bool waitForEnded(int ended, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return host.count(2) + host.count(3) >= ended && idle(); }, timeoutMs);
    }

    QTemporaryDir local;
    RecordingJobHost host;
    JobDispatcher dispatcher{host, JobDataPorts{0, 0, 0}};
};

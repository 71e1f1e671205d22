#pragma once

#include "FtpTask.h"
#include "JobIntake.h"

#include <vector>

// A job queue that keeps what it is given (for tests of the job makers).
class RecordingIntake : public JobIntake
{
public:
    void AcceptJobs(const FtpTaskCollection &jobs, bool) override
    {
        for (const auto &job : jobs)
            accepted.push_back(job);
    }
    bool AddJob(const FtpTaskCollection::Job &job) override
    {
        accepted.push_back(job);
        return true;
    }
    void ReportJobsAdded(bool, int, int) override {}
    void RunQueuedJobs() override {}

    // The first job for a local file name, or nullptr.
    const FtpTask *Find(const QString &title) const
    {
        for (const auto &job : accepted) {
            if (job->LocalFileTitle() == title)
                return job.get();
        }
        return nullptr;
    }

    std::vector<FtpTaskCollection::Job> accepted;
};

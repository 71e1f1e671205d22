#pragma once

#include "JobDispatchHost.h"
#include "JobIntake.h"

#include <cstdio>
#include <map>

// The queue without a view, for benchmarks: jobs come in through the intake,
// unlocked, and the dispatcher's row updates go nowhere.
class HeadlessJobQueue : public JobDispatchHost, public JobIntake
{
public:
    FtpTaskCollection &JobQueue() override { return jobs; }
    void ShowJobStep(const FtpTask &, const QString &) override {}
    void ShowJobStatus(const FtpTask &) override {}
    void ColorJobRow(const FtpTask &, unsigned) override {}
    void ShowJobSize(const FtpTask &) override {}
    void UpdateJobProgress(const FtpTask &) override {}
    void ClearTimeLeft(const FtpTask &) override {}
    void UpdateJobSummary() override {}
    void AddLog(const QString &text, int colour, int) override
    {
        if (colour == 3)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    void PlayAlertSound(int) override {}
    void MarkDirCacheDirty(const QString &, const QString &) override {}
    void DownloadArrived(const QString &) override {}
    bool IsOptionOn(Option) const override { return false; }
    bool RunFlagSet(RunFlag flag) const override { return flags.count(flag) && flags.at(flag); }
    void SetRunFlag(RunFlag flag, bool value) override { flags[flag] = value; }
    bool OverwriteQuestionOpen() const override { return false; }
    void SetOverwriteQuestionOpen(bool) override {}
    bool ConfirmFtpOverwrite(const QString &) override { return true; }
    QString AskDownloadOverwrite(const QString &) override { return QStringLiteral("1"); }
    void SetProgressTimer(bool) override {}
    void SessionsChanged() override {}
    void ShowConnection(int, bool) override {}

    void AcceptJobs(const FtpTaskCollection &offered, bool) override
    {
        for (const auto &job : offered)
            AddJob(job);
    }
    bool AddJob(const FtpTaskCollection::Job &job) override
    {
        job->setLocked(false);
        return jobs.AddFtpTask(job);
    }
    void ReportJobsAdded(bool, int, int) override {}
    void RunQueuedJobs() override {}

    FtpTaskCollection jobs;
    std::map<RunFlag, bool> flags;
};

// Whether every job of a queue ended. Jobs never leave an end in a run, so
// each is looked at until it ended and not again: the checks cost the queue's
// length once in all, not at every pass.
class QueueEndWatch
{
public:
    explicit QueueEndWatch(const FtpTaskCollection &jobs) : m_jobs(jobs) {}

    bool ended()
    {
        if (!m_looked) {
            m_looked = true;
            m_firstOpen = m_jobs.begin();
        }
        while (m_firstOpen != m_jobs.end() && (*m_firstOpen)->Status() >= 2)
            ++m_firstOpen;
        return m_firstOpen == m_jobs.end();
    }

private:
    const FtpTaskCollection &m_jobs;
    bool m_looked = false;
    FtpTaskCollection::const_iterator m_firstOpen;
};

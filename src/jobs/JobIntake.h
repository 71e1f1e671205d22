#pragma once

#include "FtpTaskCollection.h"

#include <QStringList>

// How the windows and builders that make jobs reach the job queue. The queue
// of the main window implements it; makers never include the window.
class JobIntake
{
public:
    virtual ~JobIntake() = default;

    // Adds the jobs with their rows, reports the counts and, with automatic
    // start on, runs the dispatcher. Jobs without a local or remote file name
    // are passed over.
    virtual void AcceptJobs(const FtpTaskCollection &jobs, bool report) = 0;
    // Adds one job with its row, as AcceptJobs does for each job but without
    // reporting; false when the queue held its key already (it is then kept
    // among the refused jobs).
    virtual bool AddJob(const FtpTaskCollection::Job &job) = 0;
    virtual void ReportJobsAdded(bool report, int added, int refused) = 0;
    // Gives each idle job connection the next eligible job.
    virtual void RunQueuedJobs() = 0;
    // Recounts the queue for its summary line, after jobs were added one by one.
    virtual void UpdateJobSummary() {}

    // For makers that send files again (editing): the queued job under the
    // key, or nothing. A caller that changes it calls RefreshJob so its row
    // shows the change. An intake without a queue of its own finds nothing.
    virtual FtpTaskCollection::Job FindJob(const QString &) const { return nullptr; }
    virtual void RefreshJob(const QString &) {}
    // The local file paths of the queued jobs not yet completed (idle,
    // running or failed): files that must stay where they are.
    virtual QStringList UnfinishedLocalFiles() const { return {}; }
    // The queued jobs not yet completed whose local file is `path`.
    virtual QList<FtpTaskCollection::Job> UnfinishedJobsOf(const QString &) const { return {}; }
    // Whether a queued upload job not yet completed writes the file under
    // the key (see UploadTargetKey).
    virtual bool UploadUnfinishedTo(const QString &) const { return false; }
    // Fails the queued job under the key with the reason code, its row and
    // the summary brought up to date and `why` in the job information box.
    virtual void FailJob(const QString &, int, const QString &) {}
};

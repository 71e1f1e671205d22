#pragma once

#include "FtpTaskCollection.h"

#include <QString>

// What the job dispatcher needs of the window around it: the queue, the
// job's row, the job log, sounds, the listing cache, options, the overwrite
// answers shared with immediate batches and the timers. The job list
// implements it for the main window; a benchmark or test runs the dispatcher
// with a host that has no view.
class JobDispatchHost
{
public:
    enum class Option { ConfirmOverwrite, SkipUploadResumeOnTimeChange, SkipDownloadResumeOnTimeChange };
    enum class RunFlag { DownloadOverwriteAll, DownloadSkipAll, UploadOverwriteAll, UploadSkipAll };
    static constexpr unsigned kBlue = 0xFF0000; // the job list's colour values (BGR)
    static constexpr unsigned kRed = 0x0000FF;

    virtual ~JobDispatchHost() = default;

    virtual FtpTaskCollection &JobQueue() = 0;

    // The job's row: a step text in the status cell; the status text and icon
    // as GetJobStatusText gives it; the row's colour; the size cell; the
    // progress cells; the time-left cell emptied.
    virtual void ShowJobStep(const FtpTask &job, const QString &step) = 0;
    virtual void ShowJobStatus(const FtpTask &job) = 0;
    virtual void ColorJobRow(const FtpTask &job, unsigned colour) = 0;
    virtual void ShowJobSize(const FtpTask &job) = 0;
    virtual void UpdateJobProgress(const FtpTask &job) = 0;
    virtual void ClearTimeLeft(const FtpTask &job) = 0;
    virtual void UpdateJobSummary() = 0;

    // The first log pane.
    virtual void AddLog(const QString &text, int colour, int style = 0) = 0;
    virtual void PlayAlertSound(int alert) = 0;
    // A remote folder of this server changed: its cached listing is stale.
    virtual void MarkDirCacheDirty(const QString &server, const QString &folder) = 0;
    // A download into this local folder ended, whole or not (the local pane may show it).
    virtual void DownloadArrived(const QString &localPath) = 0;

    virtual bool IsOptionOn(Option option) const = 0;
    virtual bool RunFlagSet(RunFlag flag) const = 0;
    virtual void SetRunFlag(RunFlag flag, bool value) = 0;
    // Only one overwrite question is on screen at a time, for batches and jobs.
    virtual bool OverwriteQuestionOpen() const = 0;
    virtual void SetOverwriteQuestionOpen(bool open) = 0;
    // The upload question: true to overwrite the remote file.
    virtual bool ConfirmFtpOverwrite(const QString &remoteFile) = 0;
    // The download question before a local file is replaced: "1", "*", "-1", "-*" or "".
    virtual QString AskDownloadOverwrite(const QString &text) = 0;

    // The progress timer of running jobs; the transfer-rate display (on while
    // any session of the program, browsing or job, is active).
    virtual void SetProgressTimer(bool on) = 0;
    virtual void SessionsChanged() = 0;
    // A job connection's status strip is shown while it runs a job.
    virtual void ShowConnection(int index, bool shown) = 0;
};

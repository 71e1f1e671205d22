#pragma once

#include "JobDispatchHost.h"

#include <QEventLoop>
#include <QHash>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>

// A dispatcher host without a view: it keeps the queue, records what the
// rows, log and sounds were told, and answers the questions from a script.
class RecordingJobHost : public JobDispatchHost
{
public:
    FtpTaskCollection &JobQueue() override { return queue; }
    void ShowJobStep(const FtpTask &job, const QString &step) override
    {
        cells[job.ZavUdeID()] = step;
        steps << step;
    }
    void ShowJobStatus(const FtpTask &job) override { cells[job.ZavUdeID()] = GetJobStatusText(job, false); }
    void ColorJobRow(const FtpTask &job, unsigned colour) override { colours[job.ZavUdeID()] = colour; }
    void ShowJobSize(const FtpTask &) override {}
    void UpdateJobProgress(const FtpTask &) override {}
    void ClearTimeLeft(const FtpTask &) override {}
    void UpdateJobSummary() override { ++summaries; }
    void AddLog(const QString &text, int colour, int = 0) override
    {
        log << text;
        if (colour == 3)
            errors << text;
    }
    void PlayAlertSound(int alert) override { sounds << alert; }
    void MarkDirCacheDirty(const QString &server, const QString &folder) override { dirty << server + folder; }
    void DownloadArrived(const QString &localPath) override { arrived << localPath; }
    bool IsOptionOn(Option option) const override { return options.count(option) && options.at(option); }
    bool RunFlagSet(RunFlag flag) const override { return flags.count(flag) && flags.at(flag); }
    void SetRunFlag(RunFlag flag, bool value) override { flags[flag] = value; }
    bool OverwriteQuestionOpen() const override { return questionOpen; }
    void SetOverwriteQuestionOpen(bool open) override { questionOpen = open; }
    bool ConfirmFtpOverwrite(const QString &remoteFile) override
    {
        questions << remoteFile;
        if (questionHeldMs > 0) {
            // Stands for a modal dialog: other connections' events run meanwhile.
            QEventLoop loop;
            QTimer::singleShot(questionHeldMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return overwriteAnswer;
    }
    QString AskDownloadOverwrite(const QString &text) override
    {
        questions << text;
        return downloadAnswer;
    }
    void SetProgressTimer(bool on) override { progressTimer = on; }
    void SessionsChanged() override {}
    void ShowConnection(int index, bool shown) override
    {
        if (shown && onLinked)
            onLinked(index);
    }

    // Statuses of the queue: how many jobs are active, and whether every job has ended.
    int count(int status) const
    {
        int n = 0;
        for (const auto &job : queue)
            n += job->Status() == status ? 1 : 0;
        return n;
    }
    QString cell(const FtpTask &job) const { return cells.value(job.ZavUdeID()); }

    FtpTaskCollection queue;
    QHash<QString, QString> cells;
    QHash<QString, unsigned> colours;
    QStringList steps;
    QStringList log;
    QStringList errors;
    QStringList dirty;
    QStringList arrived;
    QStringList questions;
    QList<int> sounds;
    std::map<Option, bool> options;
    std::map<RunFlag, bool> flags;
    bool questionOpen = false;
    bool overwriteAnswer = true;
    QString downloadAnswer = QStringLiteral("1");
    int questionHeldMs = 0;
    bool progressTimer = false;
    int summaries = 0;
    std::function<void(int)> onLinked;
};

#pragma once

#include "FtpTaskCollection.h"

#include <QString>

#include <set>

class QWidget;

// The two options that save jobs at close without asking, and the jobs the
// close itself stopped.
struct JobSaveOptions {
    bool autoSavePending = false; // "Auto-save pending jobs upon exit"
    bool autoSaveFailed = false;  // "Auto-save failed jobs upon exit"
    // Stopped by the close, not by the user: wherever pending jobs are
    // written these are written as pending (Status 0, no reason) with the
    // bytes they had, so "&Resume" goes on where they were; elsewhere they
    // count as the failed jobs they are.
    std::set<const FtpTask *> stoppedByClose;
};

// What a save did: `written` when at least one line was written; `failed`
// when the file could not be read or written (a "No" to the question is no
// failure).
struct JobSaveResult {
    bool written = false;
    bool failed = false;
};

// Writes jobs to a job file, after the old content when appending. Unless
// forced, only pending (0) and failed (3) jobs are written, each kind when its
// option is on or the user agreed to "Save Jobs ?". The whole file is written
// at once, mode 0600 (it holds passwords); an old file that cannot be read is
// left alone. True when at least one line was written.
bool SaveTasks(const QString &path, const FtpTaskCollection &jobs, bool append, bool force,
               const JobSaveOptions &options = {}, QWidget *parent = nullptr);
// The same, telling a failed save from one that wrote nothing.
JobSaveResult SaveJobs(const QString &path, const FtpTaskCollection &jobs, bool append, bool force,
                       const JobSaveOptions &options = {}, QWidget *parent = nullptr);

// The save dialog for job files, starting in the jobs folder; "" when cancelled.
QString AskJobFileName(QWidget *parent, const QString &jobsFolder);

#pragma once

#include "FtpTaskCollection.h"

#include <QString>

class QWidget;

// The two options that save jobs at close without asking.
struct JobSaveOptions {
    bool autoSavePending = false; // "Auto-save pending jobs upon exit"
    bool autoSaveFailed = false;  // "Auto-save failed jobs upon exit"
};

// Writes jobs to a job file, after the old content when appending. Unless
// forced, only pending (0) and failed (3) jobs are written, each kind when its
// option is on or the user agreed to "Save Jobs ?". The whole file is written
// at once, mode 0600 (it holds passwords); an old file that cannot be read is
// left alone. True when at least one line was written.
bool SaveTasks(const QString &path, const FtpTaskCollection &jobs, bool append, bool force,
               const JobSaveOptions &options = {}, QWidget *parent = nullptr);

// The save dialog for job files, starting in the jobs folder; "" when cancelled.
QString AskJobFileName(QWidget *parent, const QString &jobsFolder);

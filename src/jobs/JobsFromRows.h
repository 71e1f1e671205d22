#pragma once

#include "FtpTaskCollection.h"

#include <QString>

#include <functional>
#include <utility>
#include <vector>

class JobIntake;
class QWidget;

// Turns rows of a window (search hits, compare results) into jobs, queued or
// saved to a job file. It remembers, for the window's lifetime, the jobs made
// so far (a row made into a job once is discarded as a duplicate later) and
// the job file chosen by the first save (which replaces the file; later saves
// append to it). Two jobs never write one file: a job whose target file a job
// made here already writes is refused. One message sums up what was not made,
// a line per reason with its count.
class JobsFromRows
{
public:
    struct Result {
        bool cancelled = false;  // the job-file dialog was cancelled: nothing made
        int made = 0;            // candidates offered
        int discarded = 0;       // candidates that failed or were made before
        int refused = 0;         // rows refused by the window or for writing another job's file
        int delivered = 0;       // jobs queued or saved
        bool saveFailed = false; // the job file could not be written
        QString panelText;       // the status text to show; "" to leave it
    };
    // Makes the window's candidate jobs; a null candidate stands for a row
    // whose job could not be made.
    using Compose = std::function<std::vector<FtpTaskCollection::Job>()>;

    explicit JobsFromRows(QString jobsFolder);

    // Saves (saveToFile) or queues the jobs that compose() makes. The job
    // file is asked for first, when none is known yet.
    Result Deliver(QWidget *parent, JobIntake *intake, bool saveToFile, const Compose &compose);

    // Called from compose for a row that makes no job; `reason` completes
    // "N Jobs were refused: " in the summary.
    void RefuseRow(const QString &reason);

    const FtpTaskCollection &MadeJobs() const { return m_made; }
    QString JobFileName() const { return m_jobFile; }

private:
    QString m_jobsFolder;
    QString m_jobFile;
    FtpTaskCollection m_made;
    std::vector<std::pair<QString, int>> m_refusals; // reason and count, in the order first met
};

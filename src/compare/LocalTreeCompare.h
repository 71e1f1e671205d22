#pragma once

#include "CounterpartSide.h"
#include "LocalFolderReadAhead.h"
#include "LocalFolderReader.h"

#include <QDeadlineTimer>
#include <QSet>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class CompareRun;

// Compares a local first tree with a second location, folder by folder, in
// the order a recursive walk takes (a folder's sub-folder rows, its file
// rows, then each sub-folder's subtree in turn), without recursing on the
// call stack. A folder reached again through a link is listed but not
// entered, so a link cycle ends. The work runs in slices (Step), so a window
// stays responsive and a stop request is seen at the next file. The folders
// (of both trees, when the second is local) are read ahead on worker threads;
// rows are made here, in the walk's order.
class LocalTreeCompare
{
public:
    enum class Outcome { Running, Done, Stopped };

    // `okFolderText` is what a matched folder row says ("OK").
    LocalTreeCompare(CompareRun &run, CounterpartSide &second, const QString &firstTop, const QString &secondTop,
                     const QString &errorProcedure);

    // Called after each folder's files (the window shows the counters).
    void setFolderDone(std::function<void()> done) { m_folderDone = std::move(done); }

    // Works until the deadline passes (QDeadlineTimer::Forever: to the end).
    Outcome Step(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    Outcome State() const { return m_outcome; }
    // Stops reading ahead (the comparison ended).
    void Halt() { m_readAhead.Halt(); }

private:
    struct Pending
    {
        QString First;
        QString Second;
    };
    void openFolder(Pending folder);
    // A folder of side 0 (first) or 1 (second) that is there but could not be read: logged and kept.
    void noteUnread(int side, const QString &path, const QString &error);
    Outcome finish(Outcome outcome);
    void compareFile(const LocalEntry &file);

    CompareRun &m_run;
    CounterpartSide &m_second;
    QString m_errorProcedure;
    std::function<void()> m_folderDone;
    LocalFolderReadAhead m_readAhead;
    std::vector<Pending> m_stack;
    QSet<std::pair<quint64, quint64>> m_entered;
    Outcome m_outcome = Outcome::Running;

    // The folder being compared.
    bool m_inFolder = false;
    QString m_first;
    std::vector<LocalEntry> m_files;
    std::vector<LocalEntry> m_subFolders;
    QString m_secondFolder;
    size_t m_fileIndex = 0;
};

#pragma once

#include "RemoteCounterparts.h"
#include "RemoteFolderListings.h"

#include <QDeadlineTimer>
#include <QString>

#include <functional>
#include <vector>

class CompareRun;

// Compares the listings two FTP walks kept, folder by folder from the two
// locations' folders down, without sending anything. Matching ignores letter
// case and needs the same kind (a file never matches a folder); sizes and the
// normalised time texts decide. A first-side folder whose listing was not kept
// adds nothing and is not descended into. Runs in slices like the local walks.
class RemoteTreeCompare
{
public:
    enum class Outcome { Running, Done, Stopped };

    RemoteTreeCompare(CompareRun &run, const RemoteFolderListings &first, const RemoteFolderListings &second,
                      const QString &firstTop, const QString &secondTop);

    Outcome Step(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    // Called after each folder's entries were judged (the window's counters follow).
    void setFolderDone(std::function<void()> done) { m_folderDone = std::move(done); }
    // The first location's own listing was not there: nothing was compared.
    bool FirstListingMissing() const { return m_firstMissing; }

private:
    struct Pending
    {
        QString First;
        QString Second;
    };
    void compareFolder(const Pending &folder);

    CompareRun &m_run;
    const RemoteFolderListings &m_first;
    const RemoteFolderListings &m_second;
    RemoteCounterparts m_secondSide; // what the second location holds where the walk is
    std::vector<Pending> m_stack;
    bool m_top = true;
    bool m_firstMissing = false;
    Outcome m_outcome = Outcome::Running;
    std::function<void()> m_folderDone;
};

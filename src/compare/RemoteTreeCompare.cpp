#include "RemoteTreeCompare.h"

#include "CompareRun.h"
#include "ErrorLog.h"
#include "FtpSideWalk.h"
#include "Paths.h"

using namespace CompareRules;

RemoteTreeCompare::RemoteTreeCompare(CompareRun &run, const RemoteFolderListings &first,
                                     const RemoteFolderListings &second, const QString &firstTop,
                                     const QString &secondTop)
    : m_run(run), m_first(first), m_second(second), m_secondSide(second, run.Times)
{
    m_stack.push_back({firstTop, secondTop});
}

void RemoteTreeCompare::compareFolder(const Pending &folder)
{
    const QList<FtpFileItem> *firstItems = m_first.Find(folder.First);
    const bool top = std::exchange(m_top, false);
    if (!firstItems || firstItems->isEmpty()) {
        m_firstMissing = top;
        return;
    }
    // The second listing failed: nothing here is judged, nor below.
    if (m_second.IsUnknown(folder.Second))
        return;
    // The same matching as against a local first side, so a folder gets one verdict whichever kind.
    m_secondSide.EnterFolder(folder.Second);
    for (const FtpFileItem &item : *firstItems) {
        const TimeTexts::Listing &first = m_run.Times.FromListing(item.DateText);
        const QString firstTime = first.Text;
        const qint64 sortTime = first.SortSecs;
        if (item.IsFolder) {
            const bool other = m_secondSide.HasFolder(item.Name);
            // A folder one side could not list is no match: its row stays in sight.
            if (other && m_run.OnlyConflict && !m_first.IsUnknown(JoinRemotePath(folder.First, item.Name))
                && !m_second.IsUnknown(JoinRemotePath(folder.Second, item.Name)))
                continue;
            m_run.Append(FolderRow(item.Name, folder.First, item.Size, firstTime, sortTime,
                                   other ? Verdict::Ok : Verdict::Missing, QStringLiteral("Ok"),
                                   FolderBold::SubItemsOnly));
            continue;
        }
        const FtpFileItem *other = m_secondSide.FileItem(item.Name);
        QString secondTime;
        bool timesEqual = false;
        if (other) {
            secondTime = m_run.Times.FromListing(other->DateText).Text;
            timesEqual = firstTime.compare(secondTime, Qt::CaseInsensitive) == 0;
        }
        const Verdict verdict = Decide(other != nullptr, other && other->Size == item.Size, timesEqual);
        m_run.Counts.Count(verdict);
        ++m_run.Counts.TotalFiles;
        if (!m_run.PassesPattern(item.Name))
            continue;
        if (verdict == Verdict::Ok && m_run.OnlyConflict)
            continue;
        QString detail;
        if (verdict == Verdict::SizeChanged)
            detail = SizeDetail(item.Size, other->Size, firstTime, secondTime);
        else if (verdict == Verdict::TimeChanged)
            detail = TimeDetail(firstTime, secondTime);
        m_run.Append(FileRow(item.Name, m_run.IconKey(item.Name), folder.First, item.Size, firstTime, sortTime,
                             verdict, detail));
    }
    // Sub-folders in listing order; "." and ".." and names the walks would not queue lead nowhere.
    for (auto it = firstItems->crbegin(); it != firstItems->crend(); ++it) {
        if (it->IsFolder && FtpSideWalk::IsQueueableName(it->Name))
            m_stack.push_back({JoinRemotePath(folder.First, it->Name), JoinRemotePath(folder.Second, it->Name)});
    }
}

RemoteTreeCompare::Outcome RemoteTreeCompare::Step(QDeadlineTimer deadline)
{
    while (m_outcome == Outcome::Running) {
        if (m_run.StopCompare)
            return m_outcome = Outcome::Stopped;
        if (m_stack.empty())
            return m_outcome = Outcome::Done;
        const Pending next = std::move(m_stack.back());
        m_stack.pop_back();
        try {
            compareFolder(next);
        } catch (...) {
            LogCurrentException(QStringLiteral("frmCompare"), QStringLiteral("CompareFolders_FtpToFtp"));
        }
        if (m_firstMissing)
            return m_outcome = Outcome::Done;
        if (m_folderDone)
            m_folderDone();
        if (deadline.hasExpired())
            break;
    }
    return m_outcome;
}

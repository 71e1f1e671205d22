#include "LocalTreeCompare.h"

#include "CompareRun.h"
#include "ErrorLog.h"
#include "Paths.h"

#include <QDateTime>

#include <algorithm>

using namespace CompareRules;

namespace {

const QString kObject = QStringLiteral("frmCompare");

} // namespace

LocalTreeCompare::LocalTreeCompare(CompareRun &run, CounterpartSide &second, const QString &firstTop,
                                   const QString &secondTop, const QString &errorProcedure)
    : m_run(run), m_second(second), m_errorProcedure(errorProcedure),
      m_readAhead(firstTop, secondTop, second.ReadsLocalFolders(), LocalFolderReadAhead::DefaultWorkers())
{
    m_stack.push_back({firstTop, secondTop});
}

void LocalTreeCompare::openFolder(Pending folder)
{
    LocalFolderContents contents = m_readAhead.TakeFirst();
    if (!contents.Ok) {
        if (contents.Absent)
            LogErrorToFile(kObject, m_errorProcedure, ErrorNumber::PathNotFound,
                           QStringLiteral("Path not found: ") + folder.First + QStringLiteral(" (") + contents.Error
                               + QStringLiteral(")"));
        else
            noteUnread(0, folder.First, contents.Error);
        return;
    }
    // Two links to one folder: the second is listed by its parent but not entered.
    if (m_entered.contains({contents.Device, contents.Inode}))
        return;
    m_entered.insert({contents.Device, contents.Inode});
    // A row judged against a listing that failed would say "Missing" and could become a job.
    if (!m_second.IsKnown(folder.Second))
        return;
    if (m_second.ReadsLocalFolders()) {
        LocalFolderContents second = m_readAhead.TakeSecond(folder.Second);
        // Its entries are unknown, not absent: judged against nothing they would all read "Missing".
        if (!second.Ok && !second.Absent) {
            noteUnread(1, folder.Second, second.Error);
            return;
        }
        m_second.EnterReadFolder(std::move(second));
    } else {
        m_second.EnterFolder(folder.Second);
    }
    for (const LocalEntry &sub : contents.Folders) {
        const Verdict verdict = m_second.HasFolder(sub.Name) ? Verdict::Ok : Verdict::Missing;
        m_run.Append(FolderRow(sub.Name, folder.First, 0, m_run.Times.LocalText(sub.ModifiedSecs), sub.ModifiedSecs, verdict,
                               QStringLiteral("OK"), FolderBold::All));
    }
    m_run.Counts.TotalFiles += static_cast<qint64>(contents.Files.size());
    m_first = std::move(folder.First);
    m_secondFolder = std::move(folder.Second);
    m_files = std::move(contents.Files);
    m_subFolders = std::move(contents.Folders);
    m_fileIndex = 0;
    m_inFolder = true;
}

void LocalTreeCompare::noteUnread(int side, const QString &path, const QString &error)
{
    m_run.UnreadLocalFolders[static_cast<size_t>(side)].append(path);
    LogErrorToFile(kObject, m_errorProcedure, ErrorNumber::PathFileAccess,
                   QStringLiteral("The folder ") + path + QStringLiteral(" could not be listed (") + error
                       + QStringLiteral(")."));
}

void LocalTreeCompare::compareFile(const LocalEntry &file)
{
    if (!m_run.PassesPattern(file.Name))
        return;
    ++m_run.Counts.PatternHits;
    const Counterpart other = m_second.File(file.Name, file.ModifiedSecs);
    const Verdict verdict = Decide(other.Exists, other.Exists && other.Size == file.Size, other.TimesEqual);
    m_run.Counts.Count(verdict);
    if (verdict == Verdict::Ok && m_run.OnlyConflict)
        return;
    const QString firstTime = m_run.Times.LocalText(file.ModifiedSecs);
    QString detail;
    if (verdict == Verdict::SizeChanged || verdict == Verdict::TimeChanged) {
        const QString secondTime = other.HasSecs ? m_run.Times.LocalText(other.ModifiedSecs) : other.TimeText;
        detail = verdict == Verdict::SizeChanged ? SizeDetail(file.Size, other.Size, firstTime, secondTime)
                                                 : TimeDetail(firstTime, secondTime);
    }
    m_run.Append(FileRow(file.Name, m_run.IconKey(file.Name), m_first, file.Size, firstTime, file.ModifiedSecs,
                         verdict, detail));
}

LocalTreeCompare::Outcome LocalTreeCompare::finish(Outcome outcome)
{
    m_readAhead.Halt();
    return m_outcome = outcome;
}

LocalTreeCompare::Outcome LocalTreeCompare::Step(QDeadlineTimer deadline)
{
    if (m_outcome != Outcome::Running)
        return m_outcome;
    int sinceCheck = 0;
    while (true) {
        if (m_run.StopCompare)
            return finish(Outcome::Stopped);
        if (!m_inFolder) {
            if (m_stack.empty())
                return finish(Outcome::Done);
            // The next folder is still being read: the window's events run meanwhile.
            if (!m_readAhead.Prepare(m_stack.back().First, m_stack.back().Second, deadline))
                return m_outcome;
            Pending next = std::move(m_stack.back());
            m_stack.pop_back();
            try {
                openFolder(std::move(next));
            } catch (...) {
                LogCurrentException(kObject, m_errorProcedure);
                m_inFolder = false;
            }
            continue;
        }
        while (m_fileIndex < m_files.size()) {
            if (m_run.StopCompare)
                return finish(Outcome::Stopped);
            try {
                compareFile(m_files[m_fileIndex]);
            } catch (...) {
                LogCurrentException(kObject, m_errorProcedure);
            }
            ++m_fileIndex;
            if (++sinceCheck >= 256) {
                sinceCheck = 0;
                if (deadline.hasExpired())
                    return m_outcome;
            }
        }
        m_inFolder = false;
        if (m_folderDone)
            m_folderDone();
        // Sub-folders in enumeration order: pushed last first. A folder entered before is not entered again.
        for (auto it = m_subFolders.rbegin(); it != m_subFolders.rend(); ++it) {
            if (m_entered.contains({it->Device, it->Inode}))
                continue;
            m_stack.push_back({JoinLocalPath(m_first, it->Name), m_second.Join(m_secondFolder, it->Name)});
        }
        m_subFolders.clear();
        m_files.clear();
        if (deadline.hasExpired())
            return m_outcome;
    }
}

#include "RemoteToLocalCompare.h"

#include "CompareRun.h"
#include "ErrorLog.h"
#include "LocalFolderReader.h"
#include "ModTimeZone.h"
#include "Paths.h"
#include "RemoteFolderListings.h"

#include <QHash>

#include <algorithm>

using namespace CompareRules;

void RemoteToLocalCompare::CompareListing(const QString &remoteFolder, const QList<FtpFileItem> &items)
{
    // The local counterpart folder: the remote folder's part below the base, below the local folder.
    QHash<QString, LocalEntry> local;
    if (const std::optional<QString> relative = RemoteComparePaths::RelativePart(m_remoteBase, remoteFolder)) {
        QString folder = m_localTop;
        bool usable = true;
        for (const QString &element : relative->split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            usable = usable && IsSafeRemoteName(element);
            folder = JoinLocalPath(folder, element);
        }
        if (usable) {
            LocalFolderContents contents = ReadLocalFolder(folder);
            // A local folder that is there but cannot be read leaves the remote entries unjudged, and
            // so does one below it: against nothing they would all read "Missing" and make jobs.
            if (!contents.Ok && !contents.Absent) {
                QStringList &unread = m_run.UnreadLocalFolders[1];
                const bool below = std::any_of(unread.cbegin(), unread.cend(), [&](const QString &top) {
                    return folder.startsWith(top.endsWith(QLatin1Char('/')) ? top : top + QLatin1Char('/'));
                });
                if (!below) {
                    unread.append(folder);
                    LogErrorToFile(QStringLiteral("frmCompare"), QStringLiteral("LoadRemoteFolders"),
                                   ErrorNumber::PathFileAccess,
                                   QStringLiteral("The folder ") + folder + QStringLiteral(" could not be listed (")
                                       + contents.Error + QStringLiteral(")."));
                }
                return;
            }
            for (LocalEntry &entry : contents.Folders)
                local.insert(entry.Name, std::move(entry));
            for (LocalEntry &entry : contents.Files)
                local.insert(entry.Name, std::move(entry));
        }
    }
    for (const FtpFileItem &item : items) {
        if (!item.IsFolder)
            ++m_run.Counts.TotalFiles;
    }
    for (const FtpFileItem &item : items) {
        // A name that could leave the folder has no local counterpart.
        const auto it = IsSafeRemoteName(item.Name) ? local.constFind(item.Name) : local.cend();
        const bool found = it != local.cend() && it->IsFolder == item.IsFolder;
        const TimeTexts::Listing &listed = m_run.Times.FromListing(item.DateText);
        const std::optional<QDateTime> &remoteTime = listed.When;
        const QString &remoteText = listed.Text;
        const qint64 sortTime = listed.SortSecs;
        if (item.IsFolder) {
            m_run.Append(FolderRow(item.Name, remoteFolder, item.Size, remoteText, sortTime,
                                   found ? Verdict::Ok : Verdict::Missing, QStringLiteral("Ok"), FolderBold::All));
            continue;
        }
        QDateTime localTime;
        bool timesEqual = false;
        if (found) {
            localTime = AddTimeZoneBias(m_run.Times.LocalTime(it->ModifiedSecs));
            timesEqual = !remoteTime || (remoteTime->date() == localTime.date() && remoteTime->time() == localTime.time());
        }
        const Verdict verdict = Decide(found, found && it->Size == item.Size, timesEqual);
        m_run.Counts.Count(verdict);
        if (verdict == Verdict::Ok && m_run.OnlyConflict)
            continue;
        if (!m_run.PassesPattern(item.Name))
            continue;
        ++m_run.Counts.PatternHits;
        QString detail;
        if (verdict == Verdict::SizeChanged)
            detail = SizeDetail(item.Size, it->Size, remoteText, TimeText(localTime));
        else if (verdict == Verdict::TimeChanged)
            detail = TimeDetail(remoteText, TimeText(localTime));
        m_run.Append(FileRow(item.Name, m_run.IconKey(item.Name), remoteFolder, item.Size, remoteText, sortTime,
                             verdict, detail));
    }
}

bool RemoteToLocalCompare::OverRowLimit() const { return m_run.RowCount() > kRowLimit; }

#pragma once

#include "FileListModel.h"
#include "FtpFileItem.h"
#include "ListingDate.h"

#include <QDate>
#include <QList>
#include <QString>

#include <vector>

// Turning a parsed server listing into the rows of a remote pane.

struct RemoteListingSummary
{
    int Folders = 0;
    int Files = 0;
    qint64 Bytes = 0;
};

// Whether a name passes the pane's name filter: empty or "*.*" passes all;
// otherwise one or more wildcard patterns separated by ";", letter case ignored.
bool MatchesNameFilter(const QString &name, const QString &filter);

// The rows of a listing: folders keyed "D" + n with tag "d0", files keyed
// "F" + n with tag "b" + size; "." and ".." are left out. Names are shown as
// the server sent them.
std::vector<FileListRow> BuildRemoteRows(const QList<FtpFileItem> &items, const QString &filter,
                                         RemoteListingSummary &summary);

// "3 folders, 12 files, 1.2 MB"
QString RemoteSummaryText(const RemoteListingSummary &summary);


// The parent of a remote folder path ("/a/b" -> "/a", "/a" -> "/", "/" -> "/").
QString ParentRemotePath(const QString &path);

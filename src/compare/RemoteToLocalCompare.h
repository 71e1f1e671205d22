#pragma once

#include "FtpFileItem.h"

#include <QList>
#include <QString>

class CompareRun;

// Compares each listing of an FTP first side with the local second folder as
// the walk delivers it: every file is counted before the filters, folder rows
// say "Ok", the local time is turned to the server's by the machine's bias,
// and a listing time that does not read as one counts as equal.
class RemoteToLocalCompare
{
public:
    static constexpr int kRowLimit = 2000;

    RemoteToLocalCompare(CompareRun &run, const QString &remoteBase, const QString &localTop)
        : m_run(run), m_remoteBase(remoteBase), m_localTop(localTop)
    {
    }
    void setRemoteBase(const QString &base) { m_remoteBase = base; }

    // Adds the rows of one remote folder's listing.
    void CompareListing(const QString &remoteFolder, const QList<FtpFileItem> &items);
    // The list holds more rows than this comparison supports.
    bool OverRowLimit() const;

private:
    CompareRun &m_run;
    QString m_remoteBase;
    QString m_localTop;
};

#pragma once

#include "CompareRun.h"
#include "FtpSideWalk.h"
#include "LocalCounterparts.h"
#include "LocalTreeCompare.h"
#include "RemoteCounterparts.h"
#include "RemoteToLocalCompare.h"
#include "RemoteTreeCompare.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>

// One side of a comparison: a local folder or an FTP location.
struct CompareLocation
{
    bool IsFtp = false;
    QString LocalPath;
    FtpLocation Ftp;
};

// Runs one folder comparison of any kind without widgets: local with local,
// local with FTP, FTP with local, FTP with FTP. Rows and counters go to the
// run's sink; every end (the whole tree, a stop, an error, a failed side, the
// row limit, the watchdog) is reported once by `finished`.
class FolderComparison : public QObject
{
    Q_OBJECT
public:
    enum class Kind { LocalToLocal, LocalToFtp, FtpToLocal, FtpToFtp };
    static constexpr int kWatchdogSeconds = 120;

    explicit FolderComparison(QObject *parent = nullptr);
    ~FolderComparison() override;

    CompareRun &Run() { return m_run; }
    const CompareRun &Run() const { return m_run; }

    // Starts a comparison; the caller has set the run's patterns, filter and sink.
    void Start(const CompareLocation &first, const CompareLocation &second);
    bool Running() const { return m_running; }
    Kind CurrentKind() const { return m_kind; }
    // Asks the running comparison to stop; it ends at its next step.
    void RequestStop() { m_run.StopCompare = true; }
    // Ends the running comparison now (closing the window).
    void Abort();
    // Once a second: after 120 seconds a side that has still not logged in ends the comparison.
    void WatchdogTick(int elapsedSeconds);
    // Whether an FTP side in use is running and not yet logged in.
    bool ConnectingHung() const;

    FtpSideWalk *Walk(int side) const { return m_walks[static_cast<size_t>(side & 1)]; }

    // A folder of a side that is there but could not be listed.
    struct UnlistedFolder
    {
        int Side = 0;
        QString Path;
    };
    // The last comparison's such folders: the first location's, then the second's, each in walk order.
    QList<UnlistedFolder> UnlistedFolders() const;
    // Where the folders either side could not list are on the first side,
    // and which first-side folder a result row names.
    QSet<QString> UnlistedFirstSidePaths() const;
    QString FirstSidePath(const FileListRow &row) const;
    // "N folders could not be listed: " and the first few of them; empty for none.
    QString UnlistedFoldersLine() const;
    // The same count and every one of them, a line each; empty for none.
    QString UnlistedFoldersList() const;
    // Both locations are on one host (both local, or both on one FTP server host), so a
    // path or a failure alone does not tell which of them it concerns.
    bool OneHost() const;
    // `text` as the user reads it: led by "Location 1: " or "Location 2: " when both are on one host.
    QString SideText(int side, const QString &text) const;

signals:
    void status(const QString &text);
    void engineError(const QString &text);
    void countsChanged();
    // The FTP-with-local comparison passed its row limit (before it ends).
    void rowLimitReached();
    // The end: `failedServer` names the server a failed side could not reach
    // (else ""), `failure` says why.
    void finished(const QString &failedServer, const QString &failure);

private:
    QStringList unlistedFolderNames() const;
    // The names of the folders the location other than `side` holds, for that side's walk.
    FtpSideWalk::FolderNames otherFolderNames(int side) const;
    // Adds the rows of an FTP first location's listing against the local second one.
    void compareRemoteListing(const QString &path, const QList<FtpFileItem> &items);
    void walkFinished(int side, FtpSideWalk::End end);
    void startSlices();
    void slice();
    void end(const QString &failedServer = QString(), const QString &failure = QString());
    void flush();

    CompareRun m_run;
    std::array<FtpSideWalk *, 2> m_walks{};
    std::array<bool, 2> m_walkDone{};
    CompareLocation m_first;
    CompareLocation m_second;
    Kind m_kind = Kind::LocalToLocal;
    bool m_running = false;
    QTimer m_sliceTimer;
    std::unique_ptr<CounterpartSide> m_counterparts;
    std::unique_ptr<LocalTreeCompare> m_localWalk;
    std::unique_ptr<RemoteTreeCompare> m_remoteCompare;
    std::unique_ptr<RemoteToLocalCompare> m_remoteToLocal;
};

#pragma once

#include "FtpCommander.h"
#include "FtpFileItem.h"
#include "RemoteFolderListings.h"
#include "RemoteFolderWalk.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// An FTP location of a comparison.
struct FtpLocation
{
    QString ServerUrl;
    long Port = 21;
    QString UserName;
    QString Password;
    bool Passive = true;
    QString RemotePath;
};

// Walks one side's remote tree with that side's own engine on the shared
// folder walk: logs in, enters the location's folder and walks below it.
// Every listing is kept parsed for the comparison that follows. The walk's
// end closes the session on every path and is reported once by `finished`.
// A folder the server reads back under a path already walked is not listed
// again.
//
// Servers leave dot folders out of a plain listing, so the folders the other
// location has are entered by name too: those of a folder's counterpart that
// its listing lacks are queued below it, whichever kind the other location is
// and whichever side this is. One so entered joins its parent's kept listing
// as a folder entry, so every comparison finds it as if it had been listed.
class FtpSideWalk : public RemoteFolderWalk
{
    Q_OBJECT
public:
    enum class End { Completed, Stopped, Failed };

    // Side 0 or 1: the engine's active-mode data ports and the cache files follow it.
    explicit FtpSideWalk(int side, QObject *parent = nullptr);
    ~FtpSideWalk() override;

    // The names of the folders the other location has at a path relative to
    // its top ("" for the top itself); none where it has not read that folder (yet).
    using FolderNames = std::function<QStringList(const QString &relative)>;

    // Starts a walk; `counterpart` names the other location's folders (may be
    // empty). `stop` is the comparison's stop flag.
    void Start(const FtpLocation &location, FolderNames counterpart, const bool *stop);
    // The other location is an FTP walk still running: at the end of its queue
    // this walk waits, session open, for its further folders or its end.
    void AwaitCounterpart() { m_awaitCounterpart = true; }
    // The other location's own sub-folders are queued before this walk's listing
    // of its first folder, in the other location's spelling (a local first side).
    void QueueCounterpartFirst() { m_counterpartFirst = true; }
    // The other walk read the folder at `relative`, whose sub-folders are `names`.
    void AddCounterpartFolders(const QString &relative, const QStringList &names);
    // The other walk has ended, or waits too: nothing more to wait for.
    void CounterpartDone();
    // Waiting at the end of its queue for the other walk's further folders.
    bool Waiting() const { return Holding(); }
    // Ends a running walk now (Stopped), closing its session.
    void Halt();

    bool Running() const { return IsWalking(); }
    // Whether the running walk got past the log-in.
    bool LoggedIn() const { return m_loggedIn; }
    // The location's folder as the server named it on entering, else the typed one.
    QString Base() const { return m_base; }
    const FtpLocation &Location() const { return m_location; }
    const RemoteFolderListings &Listings() const { return m_listings; }
    QString LastError() const { return m_lastError; }

    // Names the walk would queue below a folder.
    static bool IsQueueableName(const QString &name);

signals:
    void status(const QString &text);
    void engineError(const QString &text);
    // A folder's listing arrived (parsed); a handler may Halt the walk.
    void folderListed(const QString &path, const QList<FtpFileItem> &items);
    // A folder its parent's listing left out was entered by name; `item` now
    // stands for it in the parent's kept listing. A handler may Halt the walk.
    void folderFoundByName(const QString &parent, const FtpFileItem &item);
    // The walk waits at the end of its queue (AwaitCounterpart).
    void waiting();
    void finished(FtpSideWalk::End end);

protected:
    bool StopNow(long act) override;
    bool LoggedIn(bool ok) override;
    QString FirstFolderEntered(const QString &readBack) override;
    void FolderEntered(const QString &path) override;
    void FolderListed(const QString &path, const QList<FtpFileItem> &items, bool emptyListing) override;
    void FolderUnlisted(const QString &path) override;
    void FolderReachedAgain(const QString &path) override { keepFoundByName(path); }
    bool HoldAtQueueEnd() override { return m_awaitCounterpart; }
    void WaitingAtQueueEnd() override { emit waiting(); }
    void WalkEnded(WalkEnd end) override;

private:
    void wireEngine(FtpCommander *engine);
    void finish(End end);
    // Queues `name`, which the other location gives, below `parent`; false when refused.
    bool queueOffered(const QString &parent, const QString &name);
    // Queues those of `names` that the listing of `path` lacks; false when none.
    bool queueLeftOut(const QString &path, const QList<FtpFileItem> &items, const QStringList &names);
    // A folder entered that its parent's listing lacks joins that listing; false when the walk ended meanwhile.
    bool keepFoundByName(const QString &path);

    int m_side;
    RemoteFolderListings m_listings;
    FtpLocation m_location;
    FolderNames m_counterpart;
    bool m_awaitCounterpart = false;
    bool m_counterpartFirst = false;
    const bool *m_stop = nullptr;
    QString m_base;
    QString m_lastError;
    bool m_loggedIn = false;
};

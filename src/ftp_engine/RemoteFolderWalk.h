#pragma once

#include "FolderQueue.h"
#include "FtpCache.h"
#include "FtpCommander.h"
#include "FtpFileItem.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>


// The breadth-first walk over a server's folder tree that the search and the
// folder compare share. It drives an FtpCommander one operation at a time:
// after the log-in it enters the first folder, then takes the next queued
// folder from the event loop. Each folder costs one change of folder and at
// most one listing; a listing kept in the cache is not asked for again, and a
// folder reached a second time in the same walk is not listed again. Sub-folders
// of every listing are queued in order, each path once.
//
// A folder entered whose listing then fails, or whose listing the server ends
// saying it could not open the folder, is no empty folder: it is logged and
// kept in UnlistedFolders(), so the user of the walk can say so and judge
// nothing by it. So is a folder its parent's listing names that the server
// will not enter. Any other folder that cannot be entered (one the user of
// the walk queued by name) is skipped (FolderNotEntered).
//
// Names from a listing are untrusted: one that could leave its folder, or a
// path holding CR, LF or NUL or longer than 4096 bytes, is never queued.
//
// A user derives from it, sets up the engine, calls BeginWalk and answers the
// hooks; it ends the walk through CloseWalk, once, on every path.
class RemoteFolderWalk : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxPathBytes = 4096;

    // How the walk ended on its own.
    enum class WalkEnd { QueueDone, Stopped, SessionLost };

    bool IsWalking() const { return m_walking; }
    FtpCommander *Engine() const { return m_engine; }
    FtpCache &Cache() { return m_cache; }

    // Why a folder name from a listing is not walked; empty when it may be.
    static QString RefusalOf(const QString &name, const QString &path);
    // `parent` and `name` joined, every "//" collapsed.
    static QString ChildPath(const QString &parent, const QString &name);
    // A typed remote folder with every "//" collapsed and a trailing "/" dropped; "/" when empty.
    static QString NormalisedFolder(const QString &typed);
    // Whether a path may be queued or sent: no CR, LF or NUL, at most 4096 bytes.
    static bool IsUsablePath(const QString &path);
    // "N folders could not be listed"; empty for none.
    static QString UnlistedFoldersText(qsizetype count);
    // That text, ": " and the first `shown` of `names`, then " and N more"; empty for none.
    static QString UnlistedFoldersNamed(const QStringList &names, qsizetype shown = kNamedUnlisted);
    static constexpr qsizetype kNamedUnlisted = 3;
    // That text, ":" and every one of `names`, a line each (a tool tip's whole list); empty for none.
    static QString UnlistedFoldersListed(const QStringList &names);

    // The folders of this walk that are there but whose listing failed or was
    // never read (not entered), in walk order.
    const QStringList &UnlistedFolders() const { return m_unlisted; }

protected:
    // `logName` names this walk in the error log. With `trustReadBack`, a
    // folder is known by the path the server read back on entering it.
    RemoteFolderWalk(const QString &logName, bool trustReadBack, QObject *parent = nullptr);
    ~RemoteFolderWalk() override;

    // Drives `engine` from now on (JobDone and the read-back path).
    void AttachEngine(FtpCommander *engine);
    // Starts a walk at `firstFolder` and opens the engine's session. The
    // queue is left as the caller filled it; `cacheServer` heads the cache keys.
    void BeginWalk(const QString &cacheServer, const QString &firstFolder);
    // Ends the running walk and closes the session. False when none was
    // running, or when this object went away while the session closed.
    bool CloseWalk(bool *sessionWasActive = nullptr);
    // Forgets the running walk without closing anything (the owner is going away).
    void AbandonWalk();
    // Goes on from the end of the queue where HoldAtQueueEnd() kept the walk
    // waiting. A server may close a session left idle meanwhile: a folder
    // still to read then logs in again and the walk goes on from the queue.
    void ResumeWalk();
    // Waiting at the end of the queue: the session has nothing to do.
    bool Holding() const { return m_holding; }

    FolderQueue &Queue() { return m_queue; }
    // Queues `name` below `parent` unless "." or ".."; false when refused or skipped.
    bool QueueChild(const QString &parent, const QString &name);
    // The folder being entered or listed.
    QString CurrentFolder() const { return m_current; }
    quint64 Run() const { return m_run; }
    // The engine's last message in this walk (a server reply or the engine's
    // own note), to say why a log-in failed.
    QString LastMessage() const { return m_lastMessage; }
    // Why the log-in failed, for the user: "Log-in failed: " and that last message,
    // or, when no connection was made at all, that it could not be made and why.
    QString LoginFailureText() const;
    bool IsCurrentRun(quint64 run) const { return m_walking && run == m_run; }

    // Hooks. `act` is the engine operation just done, or kBetweenFolders.
    static constexpr long kBetweenFolders = -1;
    virtual bool StopNow(long act) = 0;
    // The log-in ended; false when the hook ended the walk.
    virtual bool LoggedIn(bool ok);
    // The first folder was entered; returns the path it goes by from now on.
    virtual QString FirstFolderEntered(const QString &readBack);
    virtual void FolderEntered(const QString &path);
    virtual void FolderRefused(const QString &path, const QString &reason);
    // A folder is there but its listing failed or the server would not enter
    // it (already logged and kept).
    virtual void FolderUnlisted(const QString &path);
    // A folder entered leads where the walk has been (a link, as the server read it
    // back): it is not listed again.
    virtual void FolderReachedAgain(const QString &path);
    // A folder no listing named could not be entered; the walk goes on with the next one.
    virtual void FolderNotEntered(const QString &path);
    // The queue is done; true keeps the walk and its session waiting for ResumeWalk().
    virtual bool HoldAtQueueEnd() { return false; }
    // The walk has begun to wait at the end of its queue (Holding() is true).
    virtual void WaitingAtQueueEnd() {}
    // A folder's listing, parsed; the hook may end the walk.
    virtual void FolderListed(const QString &path, const QList<FtpFileItem> &items, bool emptyListing) = 0;
    virtual void WalkEnded(WalkEnd end) = 0;

private:
    void openSession();
    void onJobDone();
    void enteredFolder();
    void takeListing(const QString &listing, bool fresh);
    void listingFailed();
    void scheduleNext();
    void nextFolder();
    QString cacheKey(const QString &path) const;

    QString m_logName;
    bool m_trustReadBack;
    QPointer<FtpCommander> m_engine;
    FtpCache m_cache;
    FolderQueue m_queue;
    QSet<QString> m_walked; // folders listed in this walk
    QStringList m_unlisted; // folders there whose listing failed or was never read
    QSet<QString> m_listedChildren; // folders queued from their parent's listing
    QString m_cacheServer;
    QString m_current;
    QString m_readBack; // the folder the last change of folder reached, as the server named it
    quint64 m_run = 0;  // tells a stale queued step from the running walk's
    bool m_walking = false;
    bool m_firstEntered = false;
    bool m_holding = false; // waiting at the end of the queue
    bool m_resumed = false; // the next step follows a wait: a closed session is opened again
    bool m_loginPending = false;
    QString m_lastMessage; // the engine's last message: a server reply or its own note
    bool m_connected = false; // the control connection of this walk was made
};

#pragma once

#include "FolderQueue.h"
#include "FtpCache.h"
#include "FtpFileItem.h"
#include "RemoteFolderListings.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include "FtpCommander.h"

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

// Walks one side's remote tree with that side's own engine, one operation at
// a time: logs in, enters the location's folder, lists it (or takes the
// listing from the side's cache), queues its sub-folders and visits them
// breadth-first. Each folder is listed once; every listing is kept parsed for
// the comparison that follows. The walk's end closes the session on every
// path and is reported once by `finished`.
//
// Names from the server are untrusted: one that could leave the folder, or a
// path holding CR, LF or NUL or longer than 4096 bytes, is never queued; a
// folder the server reports under a path already walked is not listed again.
class FtpSideWalk : public QObject
{
    Q_OBJECT
public:
    enum class End { Completed, Stopped, Failed };

    // Side 0 or 1: the engine's active-mode data ports and the cache files follow it.
    explicit FtpSideWalk(int side, QObject *parent = nullptr);
    ~FtpSideWalk() override;

    // Starts a walk; `firstChildren` are names queued below the location's
    // folder before anything is listed. `stop` is the comparison's stop flag.
    void Start(const FtpLocation &location, const QStringList &firstChildren, const bool *stop);
    // Ends a running walk now (Stopped), closing its session.
    void Halt();

    bool Running() const { return m_running; }
    // Whether the running walk got past the log-in.
    bool LoggedIn() const { return m_loggedIn; }
    // The location's folder as the server named it on entering, else the typed one.
    QString Base() const { return m_base; }
    const FtpLocation &Location() const { return m_location; }
    const RemoteFolderListings &Listings() const { return m_listings; }
    FtpCache &Cache() { return m_cache; }
    FtpCommander *Engine() const { return m_engine; }
    QString LastError() const { return m_lastError; }

    // Names the walk would queue below a folder.
    static bool IsQueueableName(const QString &name);

signals:
    void status(const QString &text);
    void engineError(const QString &text);
    // A folder's listing arrived (parsed); a handler may Halt the walk.
    void folderListed(const QString &path, const QList<FtpFileItem> &items);
    void finished(FtpSideWalk::End end);

private:
    void wireEngine();
    void onJobDone();
    void enteredFolder();
    void takeListing(const QString &listing, bool fresh);
    void nextFolder();
    void finish(End end);
    QString cacheKey(const QString &path) const;

    int m_side;
    QPointer<FtpCommander> m_engine;
    FtpCache m_cache;
    RemoteFolderListings m_listings;
    FolderQueue m_queue;
    QSet<QString> m_walked; // folders listed, as the server named them
    FtpLocation m_location;
    QStringList m_firstChildren;
    const bool *m_stop = nullptr;
    QString m_base;
    QString m_current;  // the folder being entered or listed
    QString m_readBack; // the folder the last change of folder reached, as the server named it
    QString m_lastError;
    bool m_running = false;
    bool m_loggedIn = false;
    bool m_baseKnown = false;
    quint64 m_run = 0; // tells a stale queued step from the running walk's
};

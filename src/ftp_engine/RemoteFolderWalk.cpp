#include "RemoteFolderWalk.h"

#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "ModFTPTrelm.h"
#include "Paths.h"
#include "ReplyCodes.h"
#include "TextCodec.h"

#include <algorithm>
#include <utility>

RemoteFolderWalk::RemoteFolderWalk(const QString &logName, bool trustReadBack, QObject *parent)
    : QObject(parent), m_logName(logName), m_trustReadBack(trustReadBack)
{
}

RemoteFolderWalk::~RemoteFolderWalk() = default;

QString RemoteFolderWalk::RefusalOf(const QString &name, const QString &path)
{
    if (!IsSafeRemoteName(name))
        return QStringLiteral("unsafe folder name");
    if (path.contains(QLatin1Char('\r')) || path.contains(QLatin1Char('\n')) || path.contains(QChar(0)))
        return QStringLiteral("line break or NUL in the path");
    if (TextCodec::ByteLength(path) > kMaxPathBytes)
        return QStringLiteral("path longer than 4096 bytes");
    return {};
}

QString RemoteFolderWalk::ChildPath(const QString &parent, const QString &name)
{
    QString path = parent + QLatin1Char('/') + name;
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    return path;
}

QString RemoteFolderWalk::NormalisedFolder(const QString &typed)
{
    QString path = typed.trimmed();
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

bool RemoteFolderWalk::IsUsablePath(const QString &path)
{
    for (const QChar c : path) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return false;
    }
    return TextCodec::ByteLength(path) <= kMaxPathBytes;
}

QString RemoteFolderWalk::UnlistedFoldersText(qsizetype count)
{
    if (count < 1)
        return {};
    return count == 1 ? QStringLiteral("1 folder could not be listed")
                      : QString::number(count) + QStringLiteral(" folders could not be listed");
}

QString RemoteFolderWalk::UnlistedFoldersNamed(const QStringList &names, qsizetype shown)
{
    if (names.isEmpty())
        return {};
    const qsizetype named = std::min(names.size(), std::max<qsizetype>(shown, 1));
    QString text = UnlistedFoldersText(names.size()) + QStringLiteral(": ") + names.mid(0, named).join(QStringLiteral(", "));
    if (names.size() > named)
        text += QStringLiteral(" and ") + QString::number(names.size() - named) + QStringLiteral(" more");
    return text;
}

QString RemoteFolderWalk::UnlistedFoldersListed(const QStringList &names)
{
    if (names.isEmpty())
        return {};
    return UnlistedFoldersText(names.size()) + QStringLiteral(":\n") + names.join(QLatin1Char('\n'));
}

QString RemoteFolderWalk::LoginFailureText() const
{
    const QString said = m_lastMessage.trimmed();
    // Nothing answered at all (refused, unreachable, unknown host): no log-in was tried.
    if (!m_connected)
        return said.isEmpty() ? QStringLiteral("The connection could not be made.")
                              : QStringLiteral("The connection could not be made: ") + said;
    return said.isEmpty() ? QStringLiteral("Log-in failed.") : QStringLiteral("Log-in failed: ") + said;
}

void RemoteFolderWalk::AttachEngine(FtpCommander *engine)
{
    m_engine = engine;
    connect(engine, &FtpCommander::JobDone, this, &RemoteFolderWalk::onJobDone);
    connect(engine, &FtpCommander::Message, this, [this](const QString &text) { m_lastMessage = text; });
    connect(engine, &FtpCommander::FtpConnect, this, [this] { m_connected = true; });
    connect(engine, &FtpCommander::ServerReplied, this, [this](const QString &code, const QString &line) {
        if (code == QLatin1String("257") && m_engine && m_engine->CurrentAct() == FtpCommander::ActChangeDir)
            m_readBack = ReplyCodes::QuotedAbsolutePath(line);
    });
}

void RemoteFolderWalk::BeginWalk(const QString &cacheServer, const QString &firstFolder)
{
    ++m_run;
    m_walking = true;
    m_firstEntered = false;
    m_holding = false;
    m_resumed = false;
    m_walked.clear();
    m_unlisted.clear();
    m_listedChildren.clear();
    m_cacheServer = cacheServer;
    m_current = firstFolder;
    m_readBack.clear();
    m_engine->setStartupPath(firstFolder);
    openSession();
}

void RemoteFolderWalk::openSession()
{
    m_loginPending = true;
    m_lastMessage.clear();
    m_connected = false;
    m_engine->StartSession();
}

bool RemoteFolderWalk::CloseWalk(bool *sessionWasActive)
{
    if (!m_walking)
        return false;
    m_walking = false;
    m_holding = false;
    ++m_run;
    if (sessionWasActive)
        *sessionWasActive = m_engine && m_engine->SessionActive();
    if (m_engine) {
        QPointer<RemoteFolderWalk> self(this);
        m_engine->CloseSession();
        if (!self)
            return false;
    }
    return true;
}

void RemoteFolderWalk::AbandonWalk()
{
    m_walking = false;
    m_holding = false;
    ++m_run;
}

void RemoteFolderWalk::ResumeWalk()
{
    if (!std::exchange(m_holding, false))
        return;
    m_resumed = true;
    scheduleNext();
}

bool RemoteFolderWalk::QueueChild(const QString &parent, const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString path = ChildPath(parent, name);
    const QString refusal = RefusalOf(name, path);
    if (!refusal.isEmpty()) {
        FolderRefused(path, refusal);
        return false;
    }
    m_queue.Add(path);
    return true;
}

bool RemoteFolderWalk::LoggedIn(bool) { return true; }

QString RemoteFolderWalk::FirstFolderEntered(const QString &) { return m_current; }

void RemoteFolderWalk::FolderEntered(const QString &) {}

void RemoteFolderWalk::FolderRefused(const QString &, const QString &) {}

void RemoteFolderWalk::FolderUnlisted(const QString &) {}

void RemoteFolderWalk::FolderReachedAgain(const QString &) {}

void RemoteFolderWalk::FolderNotEntered(const QString &) {}

QString RemoteFolderWalk::cacheKey(const QString &path) const { return ComposeRemotePath(m_cacheServer, path); }

void RemoteFolderWalk::onJobDone()
{
    try {
        // Nothing runs while the walk waits: a session closed meanwhile ends no folder's operation.
        if (!m_walking || !m_engine || m_holding)
            return;
        bool ok = m_engine->LastCmdSucces();
        long act = m_engine->LastAct();
        if (m_loginPending) {
            // The first operation to end is the log-in. One that failed without a
            // disconnect names no operation (no session is active): it is still the log-in's end.
            m_loginPending = false;
            act = FtpCommander::ActLogin;
            ok = ok && m_engine->SessionActive();
        }
        if (StopNow(act)) {
            WalkEnded(WalkEnd::Stopped);
            return;
        }
        switch (act) {
        case FtpCommander::ActLogin:
            if (!LoggedIn(ok))
                return;
            // Logged in again after a wait: the walk goes on from its queue.
            if (m_firstEntered) {
                scheduleNext();
                break;
            }
            m_readBack.clear();
            m_engine->FTP_CHG_DIR(m_current);
            break;
        case FtpCommander::ActChangeDir:
            if (ok) {
                enteredFolder();
            } else if (m_listedChildren.contains(m_current)) {
                // Its parent's listing names it: it is there, its files unknown.
                listingFailed();
            } else {
                const quint64 run = m_run;
                FolderNotEntered(m_current);
                if (IsCurrentRun(run))
                    scheduleNext();
            }
            break;
        case FtpCommander::ActList:
            // A listing the server ended saying it could not read the folder is no empty folder.
            if (ok && !m_engine->ListingUnread())
                takeListing(m_engine->getListData(), true);
            else
                listingFailed();
            break;
        default:
            break;
        }
    } catch (...) {
        LogCurrentException(m_logName, QStringLiteral("FtpCmd_JobDone"));
        scheduleNext();
    }
}

void RemoteFolderWalk::enteredFolder()
{
    if (!m_firstEntered) {
        m_firstEntered = true;
        m_current = FirstFolderEntered(m_readBack);
    }
    // A folder reached again (a link back up the tree, a start folder met twice) is not listed again.
    const QString reached = m_trustReadBack && !m_readBack.isEmpty() ? NormalisedFolder(m_readBack) : m_current;
    const quint64 run = m_run;
    if (m_walked.contains(reached)) {
        FolderReachedAgain(m_current);
        if (IsCurrentRun(run))
            scheduleNext();
        return;
    }
    m_walked.insert(reached);
    FolderEntered(m_current);
    if (!IsCurrentRun(run))
        return;
    const QString cached = m_cache.GetDirCache(cacheKey(m_current));
    if (!cached.isEmpty()) {
        takeListing(cached, false);
    } else {
        m_engine->FTP_LIST_DIR(FtpCommander::EmptyListing::AskWhetherRead);
    }
}

void RemoteFolderWalk::listingFailed()
{
    // The folder was entered, or its parent's listing names it: it is there, its files unknown, not absent.
    const QString path = m_current;
    const quint64 run = m_run;
    m_unlisted.append(path);
    LogErrorToFile(m_logName, QStringLiteral("FtpCmd_JobDone"), 0,
                   QStringLiteral("The folder ") + path + QStringLiteral(" could not be listed."));
    FolderUnlisted(path);
    if (IsCurrentRun(run))
        scheduleNext();
}

void RemoteFolderWalk::takeListing(const QString &listing, bool fresh)
{
    const QString path = m_current;
    const quint64 run = m_run;
    try {
        if (fresh)
            m_cache.UpdateDirCache(cacheKey(path), listing);
        QList<FtpFileItem> items;
        if (!listing.isEmpty())
            items = GetFileList(listing, path);
        for (const FtpFileItem &item : std::as_const(items)) {
            if (item.IsFolder && QueueChild(path, item.Name))
                m_listedChildren.insert(ChildPath(path, item.Name));
        }
        if (IsCurrentRun(run))
            FolderListed(path, items, listing.isEmpty());
    } catch (...) {
        LogCurrentException(m_logName, QStringLiteral("FolderListed"));
    }
    if (IsCurrentRun(run))
        scheduleNext();
}

void RemoteFolderWalk::scheduleNext()
{
    if (!m_walking)
        return;
    // Queued, so an operation that ends inside its own call never nests the next one.
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (IsCurrentRun(run) && m_engine)
                nextFolder();
        },
        Qt::QueuedConnection);
}

void RemoteFolderWalk::nextFolder()
{
    try {
        const bool resumed = std::exchange(m_resumed, false);
        if (StopNow(kBetweenFolders)) {
            WalkEnded(WalkEnd::Stopped);
            return;
        }
        if (!m_queue.HasPending()) {
            if (HoldAtQueueEnd()) {
                m_holding = true;
                WaitingAtQueueEnd();
            } else
                WalkEnded(WalkEnd::QueueDone);
            return;
        }
        if (!m_engine->SessionActive()) {
            // A server may close a session left waiting: the walk logs in again and goes on.
            if (resumed) {
                openSession();
                return;
            }
            WalkEnded(WalkEnd::SessionLost);
            return;
        }
        m_current = m_queue.TakeFirst();
        m_readBack.clear();
        m_engine->FTP_CHG_DIR(m_current);
    } catch (...) {
        LogCurrentException(m_logName, QStringLiteral("NextFolder"));
        WalkEnded(WalkEnd::SessionLost);
    }
}

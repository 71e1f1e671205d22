#include "FtpSideWalk.h"

#include "DataRoot.h"
#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "ModFTPTrelm.h"
#include "Paths.h"
#include "ReplyCodes.h"

#include <QDir>

namespace {

const QString kObject = QStringLiteral("frmCompare");

QString cacheFileName(int side, const QString &suffix)
{
    return DataRoot::CacheFolder() + QStringLiteral("/SrchCmp") + QString::number(side + 1) + suffix;
}

} // namespace

FtpSideWalk::FtpSideWalk(int side, QObject *parent) : QObject(parent), m_side(side)
{
    QDir().mkpath(DataRoot::CacheFolder());
    m_cache.SetCacheFile(cacheFileName(side, QStringLiteral(".ch")));
    m_cache.TruncateCacheFile();
}

FtpSideWalk::~FtpSideWalk()
{
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine->CloseSession();
    }
}

bool FtpSideWalk::IsQueueableName(const QString &name)
{
    return IsSafeRemoteName(name) && RemoteComparePaths::IsUsablePath(name);
}

void FtpSideWalk::Start(const FtpLocation &location, const QStringList &firstChildren, const bool *stop)
{
    ++m_run;
    // A fresh engine per walk: one still saying goodbye to the last server must not get this session's events.
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine->CloseSession();
        m_engine->deleteLater();
    }
    m_location = location;
    m_firstChildren = firstChildren;
    m_stop = stop;
    m_cache.TruncateCacheFile();
    m_listings.Clear();
    m_queue.Clear();
    m_walked.clear();
    m_base = RemoteComparePaths::NormalisedBase(location.RemotePath);
    m_current = m_base;
    m_readBack.clear();
    m_lastError.clear();
    m_baseKnown = false;
    m_loggedIn = false;
    m_running = true;

    m_engine = new FtpCommander(this);
    m_engine->setObjectName(QStringLiteral("FtpCmd") + QString::number(m_side));
    m_engine->SetStartUpPort(11000 + 1000 * m_side, 1000);
    m_engine->setCacheFile(cacheFileName(m_side, QStringLiteral(".dat")));
    m_engine->setIsVisible(true);
    m_engine->setServerUrl(location.ServerUrl.trimmed());
    m_engine->setUser(location.UserName);
    m_engine->setPassword(location.Password);
    m_engine->setPort(location.Port > 0 && location.Port <= 65535 ? location.Port : 21);
    m_engine->setMode(location.Passive ? 0 : 1);
    m_engine->setListingAllowed(true);
    m_engine->setStartupPath(m_base);
    wireEngine();
    m_engine->StartSession();
}

void FtpSideWalk::wireEngine()
{
    FtpCommander *engine = m_engine;
    connect(engine, &FtpCommander::JobDone, this, &FtpSideWalk::onJobDone);
    connect(engine, &FtpCommander::ServerReplied, this, [this](const QString &code, const QString &line) {
        if (code == QLatin1String("257") && m_engine && m_engine->CurrentAct() == FtpCommander::ActChangeDir)
            m_readBack = ReplyCodes::QuotedAbsolutePath(line);
    });
    connect(engine, &FtpCommander::Error, this, [this](long, const QString &description, bool sessionClosed) {
        m_lastError = description;
        emit engineError(description);
        if (sessionClosed)
            finish(End::Failed);
    });
    connect(engine, &FtpCommander::ConnectionFailed, this, [this] { finish(End::Failed); });
    // The session ended while the walk still needed it: a refused log-in or a drop.
    connect(engine, &FtpCommander::FtpDisconnect, this, [this] {
        if (m_running && m_lastError.isEmpty())
            m_lastError = m_loggedIn ? tr("The server closed the connection.") : tr("Log-in failed.");
        finish(End::Failed);
    });
}

QString FtpSideWalk::cacheKey(const QString &path) const { return ComposeRemotePath(m_location.ServerUrl, path); }

void FtpSideWalk::onJobDone()
{
    try {
        if (!m_running || !m_engine)
            return;
        const bool ok = m_engine->LastCmdSucces();
        const long act = m_engine->LastAct();
        if (m_stop && *m_stop) {
            finish(End::Stopped);
            return;
        }
        switch (act) {
        case FtpCommander::ActLogin:
            if (!ok) {
                if (m_lastError.isEmpty())
                    m_lastError = tr("Log-in failed.");
                finish(End::Failed);
                return;
            }
            m_loggedIn = true;
            m_readBack.clear();
            m_engine->FTP_CHG_DIR(m_current);
            break;
        case FtpCommander::ActChangeDir:
            if (ok)
                enteredFolder();
            else
                nextFolder();
            break;
        case FtpCommander::ActList:
            if (ok)
                takeListing(m_engine->getListData(), true);
            else
                nextFolder();
            break;
        default:
            break;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
        nextFolder();
    }
}

void FtpSideWalk::enteredFolder()
{
    if (!m_baseKnown) {
        m_baseKnown = true;
        if (!m_readBack.isEmpty() && RemoteComparePaths::IsUsablePath(m_readBack))
            m_base = RemoteComparePaths::NormalisedBase(m_readBack);
        m_current = m_base;
        for (const QString &name : std::as_const(m_firstChildren)) {
            const QString child = JoinRemotePath(m_base, name);
            if (IsQueueableName(name) && RemoteComparePaths::IsUsablePath(child))
                m_queue.Add(child);
        }
    }
    const QString reached = m_readBack.isEmpty() ? m_current : RemoteComparePaths::NormalisedBase(m_readBack);
    if (m_walked.contains(reached)) {
        nextFolder(); // a link back to a folder already listed
        return;
    }
    m_walked.insert(reached);
    emit status(QStringLiteral("Searching: ") + m_current);
    const QString cached = m_cache.GetDirCache(cacheKey(m_current));
    if (!cached.isEmpty())
        takeListing(cached, false);
    else
        m_engine->FTP_LIST_DIR();
}

void FtpSideWalk::takeListing(const QString &listing, bool fresh)
{
    const QString path = m_current;
    QList<FtpFileItem> items;
    try {
        if (fresh)
            m_cache.UpdateDirCache(cacheKey(path), listing);
        if (!listing.isEmpty())
            items = GetFileList(listing, path);
        for (const FtpFileItem &item : std::as_const(items)) {
            if (!item.IsFolder || !IsQueueableName(item.Name))
                continue;
            const QString child = JoinRemotePath(path, item.Name);
            if (RemoteComparePaths::IsUsablePath(child))
                m_queue.Add(child);
        }
        m_listings.Store(path, items);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CacheFoldersInfo"));
    }
    const quint64 run = m_run;
    try {
        emit folderListed(path, items);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadRemoteFolders"));
    }
    if (run == m_run)
        nextFolder();
}

void FtpSideWalk::nextFolder()
{
    if (!m_running)
        return;
    // The next folder is asked for from the event loop, never from inside the engine's event.
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run != m_run || !m_running || !m_engine)
                return;
            if (m_stop && *m_stop) {
                finish(End::Stopped);
                return;
            }
            if (!m_queue.HasPending()) {
                finish(End::Completed);
                return;
            }
            m_current = m_queue.TakeFirst();
            m_readBack.clear();
            m_engine->FTP_CHG_DIR(m_current);
        },
        Qt::QueuedConnection);
}

void FtpSideWalk::Halt() { finish(End::Stopped); }

void FtpSideWalk::finish(End end)
{
    if (!m_running)
        return;
    m_running = false;
    ++m_run;
    if (m_engine) {
        QPointer<FtpSideWalk> self(this);
        m_engine->CloseSession();
        if (!self)
            return;
    }
    emit finished(end);
}

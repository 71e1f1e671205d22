#include "FtpSideWalk.h"

#include "DataRoot.h"
#include "FtpCommander.h"
#include "Paths.h"

#include <QDir>
#include <QSet>

namespace {

const QString kObject = QStringLiteral("frmCompare");

QString cacheFileName(int side, const QString &suffix)
{
    return DataRoot::CacheFolder() + QStringLiteral("/SrchCmp") + QString::number(side + 1) + suffix;
}

} // namespace

FtpSideWalk::FtpSideWalk(int side, QObject *parent) : RemoteFolderWalk(kObject, true, parent), m_side(side)
{
    QDir().mkpath(DataRoot::CacheFolder());
    Cache().SetCacheFile(cacheFileName(side, QStringLiteral(".ch")));
    Cache().TruncateCacheFile();
}

FtpSideWalk::~FtpSideWalk()
{
    if (FtpCommander *engine = Engine()) {
        engine->disconnect(this);
        engine->CloseSession();
    }
}

bool FtpSideWalk::IsQueueableName(const QString &name)
{
    return IsSafeRemoteName(name) && IsUsablePath(name);
}

void FtpSideWalk::Start(const FtpLocation &location, FolderNames counterpart, const bool *stop)
{
    // A fresh engine per walk: one still saying goodbye to the last server must not get this session's events.
    if (FtpCommander *old = Engine()) {
        old->disconnect(this);
        AbandonWalk();
        old->CloseSession();
        old->deleteLater();
    }
    m_location = location;
    m_counterpart = std::move(counterpart);
    m_awaitCounterpart = false;
    m_counterpartFirst = false;
    m_stop = stop;
    Cache().TruncateCacheFile();
    m_listings.Clear();
    Queue().Clear();
    m_base = NormalisedFolder(location.RemotePath);
    m_lastError.clear();
    m_loggedIn = false;

    auto *engine = new FtpCommander(this);
    engine->setObjectName(QStringLiteral("FtpCmd") + QString::number(m_side));
    engine->SetStartUpPort(11000 + 1000 * m_side, 1000);
    engine->setCacheFile(cacheFileName(m_side, QStringLiteral(".dat")));
    engine->setIsVisible(true);
    engine->setServerUrl(location.ServerUrl.trimmed());
    engine->setUser(location.UserName);
    engine->setPassword(location.Password);
    engine->setPort(static_cast<int>(location.Port));
    engine->setMode(location.Passive ? 0 : 1);
    engine->setListingAllowed(true);
    AttachEngine(engine);
    wireEngine(engine);
    BeginWalk(location.ServerUrl, m_base);
}

void FtpSideWalk::wireEngine(FtpCommander *engine)
{
    // A session closed while the walk waits costs nothing yet: a folder still to read logs in again.
    connect(engine, &FtpCommander::Error, this, [this](long, const QString &description, bool sessionClosed) {
        if (Holding())
            return;
        m_lastError = description;
        emit engineError(description);
        if (sessionClosed)
            finish(End::Failed);
    });
    connect(engine, &FtpCommander::ConnectionFailed, this, [this] {
        if (m_lastError.isEmpty())
            m_lastError = LoginFailureText();
        finish(End::Failed);
    });
    // The session ended while the walk still needed it: a refused log-in or a drop.
    connect(engine, &FtpCommander::FtpDisconnect, this, [this] {
        if (Holding())
            return;
        if (IsWalking() && m_lastError.isEmpty())
            m_lastError = m_loggedIn ? tr("The server closed the connection.") : LoginFailureText();
        finish(End::Failed);
    });
}

bool FtpSideWalk::StopNow(long) { return m_stop && *m_stop; }

bool FtpSideWalk::LoggedIn(bool ok)
{
    if (!ok) {
        // Ends here, also when the engine kept the connection: nothing else would end it.
        if (m_lastError.isEmpty())
            m_lastError = LoginFailureText();
        finish(End::Failed);
        return false;
    }
    m_loggedIn = true;
    return true;
}

QString FtpSideWalk::FirstFolderEntered(const QString &readBack)
{
    if (!readBack.isEmpty() && IsUsablePath(readBack))
        m_base = NormalisedFolder(readBack);
    // Queued ahead of the listing only where asked: on a server that ignores letter case a
    // name spelt otherwise than in the listing would reach one folder twice.
    if (m_counterpart && m_counterpartFirst) {
        for (const QString &name : m_counterpart(QString()))
            queueOffered(m_base, name);
    }
    return m_base;
}

void FtpSideWalk::FolderEntered(const QString &path) { emit status(QStringLiteral("Searching: ") + path); }

void FtpSideWalk::FolderListed(const QString &path, const QList<FtpFileItem> &items, bool)
{
    if (!keepFoundByName(path))
        return;
    m_listings.Store(path, items);
    if (m_counterpart) {
        if (const std::optional<QString> relative = RemoteComparePaths::RelativePart(m_base, path))
            queueLeftOut(path, items, m_counterpart(*relative));
    }
    emit folderListed(path, items);
}

bool FtpSideWalk::keepFoundByName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (path == m_base || slash < 0)
        return true;
    const QString parent = slash == 0 ? QStringLiteral("/") : path.left(slash);
    const QString name = path.mid(slash + 1);
    const QList<FtpFileItem> *listed = m_listings.Find(parent);
    if (!listed)
        return true;
    const QString folded = name.toCaseFolded();
    for (const FtpFileItem &item : *listed) {
        if (item.IsFolder && item.Name.toCaseFolded() == folded)
            return true;
    }
    // The server entered it: it is there, whatever the parent's listing showed.
    FtpFileItem found;
    found.Name = name;
    found.IsFolder = true;
    m_listings.AddEntry(parent, found);
    emit folderFoundByName(parent, found);
    return IsWalking();
}

bool FtpSideWalk::queueLeftOut(const QString &path, const QList<FtpFileItem> &items, const QStringList &names)
{
    QSet<QString> listed;
    for (const FtpFileItem &item : items) {
        if (item.IsFolder)
            listed.insert(item.Name.toCaseFolded());
    }
    bool queued = false;
    for (const QString &name : names) {
        if (!listed.contains(name.toCaseFolded()))
            queued = queueOffered(path, name) || queued;
    }
    return queued;
}

bool FtpSideWalk::queueOffered(const QString &parent, const QString &name)
{
    // The name comes from another location, where a backslash is an ordinary letter; a
    // server that takes it for a separator would read "..\.." out of the chosen folder.
    if (name.contains(QLatin1Char('\\')))
        return false;
    return QueueChild(parent, name);
}

void FtpSideWalk::AddCounterpartFolders(const QString &relative, const QStringList &names)
{
    if (!IsWalking())
        return;
    // A folder not listed yet gets the names when it is.
    const QString path = JoinRemotePath(m_base, relative);
    const QList<FtpFileItem> *items = m_listings.Find(path);
    if (items && queueLeftOut(path, *items, names))
        ResumeWalk();
}

void FtpSideWalk::CounterpartDone()
{
    m_awaitCounterpart = false;
    ResumeWalk();
}

void FtpSideWalk::FolderUnlisted(const QString &path)
{
    m_listings.MarkUnlisted(path);
    keepFoundByName(path);
}

void FtpSideWalk::WalkEnded(WalkEnd end)
{
    switch (end) {
    case WalkEnd::QueueDone:
        finish(End::Completed);
        break;
    case WalkEnd::Stopped:
        finish(End::Stopped);
        break;
    case WalkEnd::SessionLost:
        if (m_lastError.isEmpty())
            m_lastError = tr("The server closed the connection.");
        finish(End::Failed);
        break;
    }
}

void FtpSideWalk::Halt() { finish(End::Stopped); }

void FtpSideWalk::finish(End end)
{
    if (CloseWalk())
        emit finished(end);
}

#include "FolderComparison.h"

#include "ErrorLog.h"
#include "FtpCommander.h"
#include "LocalFolderReader.h"
#include "Paths.h"
#include "ServerLocation.h"
#include "ServerPort.h"

#include <QDir>
#include <QHash>
#include <QPair>

#include <memory>

namespace {

const QString kObject = QStringLiteral("frmCompare");
constexpr int kSliceMs = 30;

// A local path as typed ("/a/", "/a//") and the paths walked from it ("/a//x")
// are matched without their doubled or trailing slashes.
QString CleanLocalPath(const QString &path) { return QDir::cleanPath(path); }

QStringList subFolderNames(const QList<FtpFileItem> &items)
{
    QStringList names;
    for (const FtpFileItem &item : items) {
        if (item.IsFolder)
            names << item.Name;
    }
    return names;
}

} // namespace

FolderComparison::FolderComparison(QObject *parent) : QObject(parent)
{
    for (int side = 0; side < 2; ++side) {
        auto *walk = new FtpSideWalk(side, this);
        m_walks[static_cast<size_t>(side)] = walk;
        connect(walk, &FtpSideWalk::status, this, &FolderComparison::status);
        connect(walk, &FtpSideWalk::engineError, this,
                [this, side](const QString &text) { emit engineError(SideText(side, text)); });
        connect(walk, &FtpSideWalk::finished, this, [this, side](FtpSideWalk::End end) { walkFinished(side, end); });
    }
    for (int side = 0; side < 2; ++side) {
        FtpSideWalk *walk = m_walks[static_cast<size_t>(side)];
        connect(walk, &FtpSideWalk::folderListed, this,
                [this, side](const QString &path, const QList<FtpFileItem> &items) {
                    if (m_running && m_kind == Kind::FtpToFtp) {
                        // The other walk may have listed this folder's counterpart already.
                        const FtpSideWalk *walk = m_walks[static_cast<size_t>(side)];
                        if (const std::optional<QString> relative = RemoteComparePaths::RelativePart(walk->Base(), path))
                            m_walks[static_cast<size_t>(1 - side)]->AddCounterpartFolders(*relative,
                                                                                          subFolderNames(items));
                        return;
                    }
                    if (side == 0)
                        compareRemoteListing(path, items);
                });
        connect(walk, &FtpSideWalk::folderFoundByName, this, [this, side](const QString &parent, const FtpFileItem &item) {
            if (side == 0)
                compareRemoteListing(parent, {item});
        });
        // Two FTP walks wait for each other's folders; once both wait, neither has any more to give.
        connect(walk, &FtpSideWalk::waiting, this, [this, side] {
            if (m_running && m_kind == Kind::FtpToFtp && m_walks[static_cast<size_t>(1 - side)]->Waiting()) {
                for (FtpSideWalk *each : m_walks)
                    each->CounterpartDone();
            }
        });
    }
    m_sliceTimer.setSingleShot(true);
    m_sliceTimer.setInterval(0);
    connect(&m_sliceTimer, &QTimer::timeout, this, &FolderComparison::slice);
}

FolderComparison::~FolderComparison() { m_sliceTimer.stop(); }

void FolderComparison::compareRemoteListing(const QString &path, const QList<FtpFileItem> &items)
{
    if (!m_running || !m_remoteToLocal)
        return;
    try {
        m_remoteToLocal->setRemoteBase(m_walks[0]->Base());
        m_remoteToLocal->CompareListing(path, items);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadRemoteFolders"));
    }
    emit countsChanged();
    flush();
    if (m_remoteToLocal->OverRowLimit()) {
        emit rowLimitReached();
        end();
    }
}

FtpSideWalk::FolderNames FolderComparison::otherFolderNames(int side) const
{
    const CompareLocation &other = side == 0 ? m_second : m_first;
    if (!other.IsFtp) {
        const QString localTop = other.LocalPath.trimmed();
        // Which folder each local folder was read as: one reached again through a link (a
        // loop back up the tree) names nothing more, as the local walk enters it once.
        auto readAs = std::make_shared<QHash<QPair<quint64, quint64>, QString>>();
        return [localTop, readAs](const QString &relative) {
            const LocalFolderContents contents = ReadLocalFolder(JoinLocalPath(localTop, relative));
            if (contents.Ok) {
                const QPair<quint64, quint64> identity{contents.Device, contents.Inode};
                if (readAs->value(identity, relative) != relative)
                    return QStringList();
                readAs->insert(identity, relative);
            }
            QStringList names;
            for (const LocalEntry &folder : contents.Folders)
                names << folder.Name;
            return names;
        };
    }
    const FtpSideWalk *walk = m_walks[static_cast<size_t>(1 - side)];
    return [walk](const QString &relative) {
        const QList<FtpFileItem> *items = walk->Listings().Find(JoinRemotePath(walk->Base(), relative));
        return items ? subFolderNames(*items) : QStringList();
    };
}

void FolderComparison::Start(const CompareLocation &first, const CompareLocation &second)
{
    if (m_running)
        return;
    m_first = first;
    m_second = second;
    m_run.StopCompare = false;
    m_run.UnreadLocalFolders = {};
    m_walkDone = {false, false};
    m_localWalk.reset();
    m_remoteCompare.reset();
    m_remoteToLocal.reset();
    m_counterparts.reset();
    m_running = true;
    for (const CompareLocation *side : {&first, &second}) {
        // Never another port than the typed one: jobs made from the rows carry it.
        if (side->IsFtp && !IsServerPort(side->Ftp.Port)) {
            end(side->Ftp.ServerUrl, ServerPortRangeText());
            return;
        }
    }
    if (!first.IsFtp && !second.IsFtp) {
        m_kind = Kind::LocalToLocal;
        m_counterparts = std::make_unique<LocalCounterparts>();
        m_localWalk = std::make_unique<LocalTreeCompare>(m_run, *m_counterparts, first.LocalPath.trimmed(),
                                                         second.LocalPath.trimmed(),
                                                         QStringLiteral("CompareFolders_LocalToLocal"));
        m_localWalk->setFolderDone([this] { emit countsChanged(); });
        startSlices();
    } else if (first.IsFtp && !second.IsFtp) {
        m_kind = Kind::FtpToLocal;
        m_remoteToLocal = std::make_unique<RemoteToLocalCompare>(m_run, QString(), second.LocalPath.trimmed());
        m_walks[0]->Start(first.Ftp, otherFolderNames(0), &m_run.StopCompare);
    } else if (!first.IsFtp) {
        m_kind = Kind::LocalToFtp;
        m_walks[1]->Start(second.Ftp, otherFolderNames(1), &m_run.StopCompare);
        m_walks[1]->QueueCounterpartFirst();
    } else {
        // Each walk enters by name the folders the other lists and its own listing leaves out.
        m_kind = Kind::FtpToFtp;
        m_walks[0]->Start(first.Ftp, otherFolderNames(0), &m_run.StopCompare);
        if (!m_running)
            return;
        m_walks[0]->AwaitCounterpart();
        m_walks[1]->Start(second.Ftp, otherFolderNames(1), &m_run.StopCompare);
        m_walks[1]->AwaitCounterpart();
    }
}

void FolderComparison::walkFinished(int side, FtpSideWalk::End end)
{
    if (!m_running)
        return;
    m_walkDone[static_cast<size_t>(side)] = true;
    if (end == FtpSideWalk::End::Failed) {
        // A side that could not be reached or dropped: no comparison on a partial cache.
        const FtpSideWalk *walk = m_walks[static_cast<size_t>(side)];
        this->end(walk->Location().ServerUrl, SideText(side, walk->LastError()));
        return;
    }
    if (end == FtpSideWalk::End::Stopped || m_run.StopCompare) {
        this->end();
        return;
    }
    switch (m_kind) {
    case Kind::FtpToLocal:
        this->end();
        break;
    case Kind::LocalToFtp:
        m_counterparts = std::make_unique<RemoteCounterparts>(m_walks[1]->Listings(), m_run.Times);
        m_localWalk = std::make_unique<LocalTreeCompare>(m_run, *m_counterparts, m_first.LocalPath.trimmed(),
                                                         m_walks[1]->Base(),
                                                         QStringLiteral("CompareFolders_LocalToFtp"));
        m_localWalk->setFolderDone([this] { emit countsChanged(); });
        startSlices();
        break;
    case Kind::FtpToFtp:
        m_walks[static_cast<size_t>(1 - side)]->CounterpartDone();
        // Both walks have ended and closed their sessions: compare the two listings.
        if (m_walkDone[0] && m_walkDone[1]) {
            m_remoteCompare = std::make_unique<RemoteTreeCompare>(m_run, m_walks[0]->Listings(), m_walks[1]->Listings(),
                                                                  m_walks[0]->Base(), m_walks[1]->Base());
            m_remoteCompare->setFolderDone([this] { emit countsChanged(); });
            startSlices();
        }
        break;
    case Kind::LocalToLocal:
        break;
    }
}

void FolderComparison::startSlices() { m_sliceTimer.start(); }

void FolderComparison::slice()
{
    if (!m_running)
        return;
    bool more = false;
    try {
        const QDeadlineTimer deadline(kSliceMs);
        if (m_localWalk)
            more = m_localWalk->Step(deadline) == LocalTreeCompare::Outcome::Running;
        else if (m_remoteCompare)
            more = m_remoteCompare->Step(deadline) == RemoteTreeCompare::Outcome::Running;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdSearch_Click"));
    }
    flush();
    if (more)
        m_sliceTimer.start();
    else
        end();
}

void FolderComparison::flush()
{
    if (auto *buffered = dynamic_cast<BufferedRowSink *>(m_run.Sink))
        buffered->FlushRows();
}

QList<FolderComparison::UnlistedFolder> FolderComparison::UnlistedFolders() const
{
    QList<UnlistedFolder> folders;
    for (int side = 0; side < 2; ++side) {
        const bool ftp = (side == 0 ? m_first : m_second).IsFtp;
        const QStringList &paths = ftp ? m_walks[static_cast<size_t>(side)]->UnlistedFolders()
                                       : m_run.UnreadLocalFolders[static_cast<size_t>(side)];
        for (const QString &path : paths)
            folders.append({side, path});
    }
    return folders;
}

QSet<QString> FolderComparison::UnlistedFirstSidePaths() const
{
    const auto base = [this](int side) {
        const CompareLocation &location = side == 0 ? m_first : m_second;
        return location.IsFtp ? m_walks[static_cast<size_t>(side)]->Base() : CleanLocalPath(location.LocalPath.trimmed());
    };
    QSet<QString> paths;
    for (const UnlistedFolder &folder : UnlistedFolders()) {
        if (folder.Side == 0) {
            paths.insert(m_first.IsFtp ? folder.Path : CleanLocalPath(folder.Path));
        } else if (const std::optional<QString> below = RemoteComparePaths::RelativePart(
                       base(1), m_second.IsFtp ? folder.Path : CleanLocalPath(folder.Path))) {
            paths.insert(below->isEmpty() ? base(0)
                         : m_first.IsFtp  ? JoinRemotePath(base(0), *below)
                                          : JoinLocalPath(base(0), *below));
        }
    }
    return paths;
}

QString FolderComparison::FirstSidePath(const FileListRow &row) const
{
    const QString location = row.SubItems.value(CompareRules::ColLocation - 1);
    return m_first.IsFtp ? JoinRemotePath(location, row.Text) : CleanLocalPath(JoinLocalPath(location, row.Text));
}

QStringList FolderComparison::unlistedFolderNames() const
{
    const bool oneHost = OneHost();
    QStringList names;
    for (const UnlistedFolder &folder : UnlistedFolders())
        names << (oneHost ? folder.Path + QStringLiteral(" (Location ") + QString::number(folder.Side + 1) + QLatin1Char(')')
                          : folder.Path);
    return names;
}

QString FolderComparison::UnlistedFoldersLine() const
{
    return RemoteFolderWalk::UnlistedFoldersNamed(unlistedFolderNames());
}

QString FolderComparison::UnlistedFoldersList() const
{
    return RemoteFolderWalk::UnlistedFoldersListed(unlistedFolderNames());
}

bool FolderComparison::OneHost() const
{
    if (m_first.IsFtp != m_second.IsFtp)
        return false;
    return !m_first.IsFtp
        || NormalisedServerHost(m_first.Ftp.ServerUrl).compare(NormalisedServerHost(m_second.Ftp.ServerUrl),
                                                                Qt::CaseInsensitive)
               == 0;
}

QString FolderComparison::SideText(int side, const QString &text) const
{
    if (text.isEmpty() || !OneHost())
        return text;
    return QStringLiteral("Location ") + QString::number(side + 1) + QStringLiteral(": ") + text;
}

bool FolderComparison::ConnectingHung() const
{
    for (const FtpSideWalk *walk : m_walks) {
        if (walk->Running() && !walk->LoggedIn())
            return true;
    }
    return false;
}

void FolderComparison::WatchdogTick(int elapsedSeconds)
{
    if (m_running && elapsedSeconds >= kWatchdogSeconds && ConnectingHung())
        end();
}

void FolderComparison::Abort()
{
    m_run.StopCompare = true;
    end();
}

void FolderComparison::end(const QString &failedServer, const QString &failure)
{
    if (!m_running)
        return;
    m_running = false;
    m_sliceTimer.stop();
    if (m_localWalk)
        m_localWalk->Halt();
    // Every path closes both sides' sessions.
    for (FtpSideWalk *walk : m_walks)
        walk->Halt();
    flush();
    emit countsChanged();
    emit finished(failedServer, failure);
}

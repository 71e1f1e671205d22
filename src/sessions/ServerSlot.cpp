#include "ServerSlot.h"

#include "DataRoot.h"
#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "FileTypeIcons.h"
#include "FtpCommander.h"
#include "FtpStatusStrip.h"
#include "MainWindowServices.h"
#include "ModFTPTrelm.h"
#include "ModListView.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ReplyCodes.h"
#include "SessionLog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

QString slotFileName(const QString &stem, int index, const QString &suffix)
{
    return DataRoot::CacheFolder() + QLatin1Char('/') + stem + QString::number(index + 1) + suffix;
}

bool isErrorReply(const QString &code) { return code.startsWith(QLatin1Char('4')) || code.startsWith(QLatin1Char('5')); }

} // namespace

ServerSlot::ServerSlot(int index, RemotePane *pane, MainWindowServices &window, QObject *parent, EngineTimer *timer)
    : QObject(parent), m_index(index), m_pane(pane), m_window(window)
{
    setObjectName(QStringLiteral("ServerSlot") + QString::number(index));
    m_engine = new FtpCommander(this, timer);
    m_engine->setObjectName(QStringLiteral("FtpCmd") + QString::number(index));
    QDir().mkpath(DataRoot::CacheFolder());
    m_engine->SetStartUpPort(kFirstDataPort + index * kDataPortWidth, kDataPortWidth);
    m_engine->setCacheFile(slotFileName(QStringLiteral("FtpList"), index, QStringLiteral(".dat")));
    m_cache.SetCacheFile(slotFileName(QStringLiteral("FtpCache"), index, QStringLiteral(".ch")));
    m_cache.TruncateCacheFile();
    wireEngine();
    wirePane();
    if (m_pane) {
        m_engine->setIsVisible(true);
        m_pane->Status->setEngine(m_engine);
    }
    updateButtons();
}

ServerSlot::~ServerSlot()
{
    // The engine goes with the slot; its last events must not reach a half-destroyed slot.
    if (m_engine)
        m_engine->disconnect(this);
}

void ServerSlot::wireEngine()
{
    FtpCommander *engine = m_engine;
    connect(engine, &FtpCommander::JobDone, this, &ServerSlot::FtpCmd_JobDone);
    connect(engine, &FtpCommander::CommandSent, this,
            [this](const QString &, const QString &command) { log(command, SessionLog::Command, SessionLog::kBold); });
    connect(engine, &FtpCommander::ServerReplied, this, [this](const QString &code, const QString &line) {
        log(line, isErrorReply(code) ? SessionLog::Failure : SessionLog::Reply);
        // The folder a change of folder reached, as the server names it: a relative start folder becomes absolute.
        if (code == QLatin1String("257") && m_engine->CurrentAct() == FtpCommander::ActChangeDir)
            m_reachedPath = ReplyCodes::QuotedAbsolutePath(line);
        if (isErrorReply(code) && m_engine->CurrentAct() == FtpCommander::ActRename)
            m_renameRefusal = line.trimmed();
    });
    connect(engine, &FtpCommander::Message, this, [this](const QString &text) {
        // An idle poll is no operation of the user's: the pane keeps saying what it said.
        if (m_pane && (m_engine->isBusy() || !m_reportedActive)) {
            m_pane->ShowState(text);
            m_engineState = text;
        }
    });
    connect(engine, &FtpCommander::ReplyTimedOut, this, [this](long seconds) {
        m_noReply = true;
        log(tr("No reply from the server within %1 seconds.").arg(seconds), SessionLog::Warning);
    });
    connect(engine, &FtpCommander::Error, this, [this](long code, const QString &description, bool) {
        log(QStringLiteral("Error ") + QString::number(code) + QStringLiteral(": ") + description,
            SessionLog::Warning, SessionLog::kItalic);
    });
    connect(engine, &FtpCommander::FtpConnect, this, [this] {
        m_controlConnected = true;
        if (m_pane)
            m_pane->ShowState(tr("Connected, logging in..."));
    });
    connect(engine, &FtpCommander::FtpDisconnect, this, [this] {
        // Reached the server but never logged in: the log-in was refused.
        const bool refused = m_controlConnected && !m_reportedActive;
        // The engine ends a session whose server stopped answering: the pane says why.
        const QString state = refused ? tr("Log-in failed") : tr("Not connected");
        sessionEnded(std::exchange(m_noReply, false) ? state + tr(": no reply from the server") : state);
    });
    connect(engine, &FtpCommander::ConnectionFailed, this, [this] {
        // With the reason of the last attempt: a name that does not resolve, a refusal.
        QString text = tr("Connection to %1 failed.").arg(m_engine->ServerUrl());
        if (const QString reason = m_engine->LastFailure().trimmed(); !reason.isEmpty())
            text += QLatin1Char(' ') + reason + (reason.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
        log(text, SessionLog::Failure, SessionLog::kBold);
        sessionEnded(tr("Connection failed"));
    });
    // A listing arrives in packets; the pane counts them so a long listing shows it is coming.
    connect(engine, &FtpCommander::DataPacket, this, [this](qint64 bytes) {
        // Replies on the control connection are no listing bytes, nor is anything outside a listing.
        if (!m_engine->PacketFromDataConnection() || !m_engine->isBusy()
            || m_engine->CurrentAct() != FtpCommander::ActList)
            return;
        m_listingBytes += bytes;
        if (m_pane)
            m_pane->ShowListingProgress(m_listingBytes);
    });
}

void ServerSlot::wirePane()
{
    RemotePane *pane = m_pane;
    if (!pane)
        return;
    connect(pane->RightView, &QTreeView::activated, this, [this](const QModelIndex &index) {
        try {
            if (!index.isValid() || !m_pane)
                return;
            const FileListRow &row = m_pane->Model->row(index.row());
            if (!row.IsFolder)
                return;
            if (!IsSafeRemoteName(row.Text)) {
                log(tr("The server's name \"%1\" cannot be opened as a folder.").arg(row.Text), SessionLog::Warning);
                return;
            }
            ChangeFolder(JoinRemotePath(m_remotePath, row.Text));
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("RightView_DblClick"));
        }
    });
    connect(pane->RightView->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { HandleLVSort(m_pane->RightView, column); });
    connect(pane->RightView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateButtons();
        emit remoteSelectionChanged(m_index);
    });
    connect(pane->CboFTP, &QComboBox::activated, this, [this](int index) {
        if (!m_pane)
            return;
        const QString path = m_pane->CboFTP->itemData(index).toString();
        if (!path.isEmpty() && path != m_remotePath)
            ChangeFolder(path);
    });
    connect(pane->txtFilter, &QLineEdit::textChanged, this, &ServerSlot::showItems);
    connect(pane->Button(QStringLiteral("up")), &QAction::triggered, this, &ServerSlot::GoUp);
    connect(pane->Button(QStringLiteral("refresh")), &QAction::triggered, this, &ServerSlot::RefreshListing);
    connect(pane->Button(QStringLiteral("newdir")), &QAction::triggered, this, &ServerSlot::MakeFolder);
    connect(pane->Button(QStringLiteral("rename")), &QAction::triggered, this, &ServerSlot::RenameSelected);
    connect(pane->Button(QStringLiteral("props")), &QAction::triggered, this, &ServerSlot::ShowProperties);
    connect(pane->Button(QStringLiteral("connect")), &QAction::triggered, this, &ServerSlot::ConnectToFTP);
    connect(pane->Button(QStringLiteral("disconnect")), &QAction::triggered, this, &ServerSlot::DisConnectFromFTP);
    connect(pane->MNU_RMT_REFRESH, &QAction::triggered, this, &ServerSlot::RefreshListing);
    connect(pane->MNU_RMT_NEWDIR, &QAction::triggered, this, &ServerSlot::MakeFolder);
    connect(pane->MNU_RMT_RENAME, &QAction::triggered, this, &ServerSlot::RenameSelected);
    connect(pane->MNU_RMT_PROPS, &QAction::triggered, this, &ServerSlot::ShowProperties);
    connect(pane->mnuHistory, &QMenu::aboutToShow, this, &ServerSlot::fillHistoryMenu);
    auto *backspace =
        new QShortcut(QKeySequence(Qt::Key_Backspace), pane->RightView, nullptr, nullptr, Qt::WidgetShortcut);
    connect(backspace, &QShortcut::activated, this, &ServerSlot::GoUp);
    auto *f5 = new QShortcut(QKeySequence(Qt::Key_F5), pane->RightView, nullptr, nullptr, Qt::WidgetShortcut);
    connect(f5, &QShortcut::activated, this, &ServerSlot::RefreshListing);
}

void ServerSlot::log(const QString &text, int colour, quint8 style)
{
    if (m_log)
        m_log->AddLog(text, colour, style);
}

bool ServerSlot::SessionActive() const { return m_engine && m_engine->SessionActive(); }

bool ServerSlot::IsBusy() const { return m_engine && m_engine->isBusy(); }

bool ServerSlot::ready()
{
    if (!SessionActive())
        return false;
    if (IsBusy()) {
        if (m_pane)
            m_pane->ShowState(tr("Busy, please wait..."));
        return false;
    }
    return true;
}

void ServerSlot::SetProfile(const CProfile &profile)
{
    try {
        const bool manageHistory = IsOptionOn(OptionFlag::ManageFtpFolderHistory);
        if (manageHistory && m_hasProfile)
            SaveRemoteHistory();
        m_profile = profile;
        m_hasProfile = true;
        updateButtons();
        if (manageHistory) {
            m_history = EmptyPathHistory();
            m_historyChanged = false;
            LoadRemotePathHistory(profile.ProfileName.trimmed(), m_history);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SelectProfile"));
    }
}

void ServerSlot::SaveRemoteHistory()
{
    if (!m_hasProfile || !m_historyChanged)
        return;
    SaveRemotePathHistory(m_profile.ProfileName.trimmed(), m_history);
    m_historyChanged = false;
}

void ServerSlot::AddToRemoteFolderHistory(const QString &remoteFolder)
{
    try {
        if (!IsOptionOn(OptionFlag::ManageFtpFolderHistory) || !m_hasProfile || remoteFolder.isEmpty())
            return;
        const QString owner = m_profile.ProfileName.trimmed();
        for (const PathHistoryEntry &entry : m_history) {
            if (entry.Path == remoteFolder)
                return; // already offered: the menu lists each folder once
        }
        if (m_history.size() == 1 && m_history.first().Path.isEmpty())
            m_history.clear();
        m_history.append({owner, remoteFolder});
        UniqueStringArray(m_history, false, false, false);
        m_historyChanged = true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("AddToRemoteFolderHistory"));
    }
}

void ServerSlot::fillHistoryMenu()
{
    if (!m_pane)
        return;
    QMenu *menu = m_pane->mnuHistory;
    menu->clear();
    for (const PathHistoryEntry &entry : m_history) {
        if (entry.Path.isEmpty())
            continue;
        QAction *item = menu->addAction(entry.Path);
        item->setCheckable(true);
        item->setChecked(entry.Path == m_remotePath);
        item->setEnabled(SessionActive());
        const QString path = entry.Path;
        connect(item, &QAction::triggered, this, [this, path] { ChangeFolder(path); });
    }
    if (menu->isEmpty())
        menu->addAction(tr("<Empty>"))->setEnabled(false);
}

void ServerSlot::ConnectToFTP()
{
    try {
        if (!m_hasProfile || SessionActive() || IsBusy())
            return; // connected, or a log-in is under way
        if (IsOptionOn(OptionFlag::ClearLogsOnNewConnection) && m_log)
            m_log->ClearLogs();
        m_engine->setServerUrl(m_profile.Server.trimmed());
        m_engine->setPort(m_profile.Port > 0 ? m_profile.Port : 21);
        m_engine->setUser(m_profile.User);
        m_engine->setPassword(m_profile.Password);
        m_engine->setMode(m_profile.IsPassive ? 0 : 1);
        m_engine->setKeepAlive(m_profile.KeepAlive != 0);
        m_engine->setListingAllowed(!IsOptionOn(OptionFlag::DoNotListFtpContent));
        const QString startPath = m_profile.RemotePath.trimmed();
        m_engine->setStartupPath(startPath.isEmpty() ? QStringLiteral("/") : startPath);
        m_remotePath.clear();
        m_items.clear();
        // Cached listings are keyed by path only: another server or user has other folders behind the same paths.
        m_cache.TruncateCacheFile();
        if (m_pane) {
            m_pane->Model->clear();
            m_pane->CboFTP->clear();
            m_pane->ShowSummary(QString());
            m_pane->ShowState(tr("Connecting to %1...").arg(m_profile.Server.trimmed()));
        }
        log(tr("Connecting to %1 (%2)").arg(m_profile.Server.trimmed(), m_profile.ProfileName.trimmed()),
            SessionLog::Reply, SessionLog::kItalic);
        const QString localPath = m_profile.LocalPath.trimmed();
        if (IsOptionOn(OptionFlag::NavigateToProfileLocalFolder) && !localPath.isEmpty() && QDir(localPath).exists())
            emit localFolderWanted(localPath);
        QPointer<ServerSlot> guard(this);
        m_engine->StartSession();
        if (!guard)
            return;
        updateButtons();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ConnectToFTP"));
    }
}

void ServerSlot::DisConnectFromFTP()
{
    try {
        QPointer<ServerSlot> guard(this);
        m_endingByUser = true;
        m_engine->CloseSession();
        if (!guard)
            return;
        SaveRemoteHistory();
        if (!SessionActive())
            sessionEnded(tr("Not connected"));
        if (guard)
            m_endingByUser = false;
    } catch (...) {
        m_endingByUser = false;
        LogCurrentException(kObject, QStringLiteral("DisConnectFromFTP"));
    }
}

void ServerSlot::sessionEnded(const QString &state)
{
    m_pendingPath.clear();
    m_relistAfterCommand = false;
    m_staleAfterChange.clear();
    m_renameCheck.reset();
    ++m_sessionSerial;
    m_stateWhenIdle.clear();
    m_controlConnected = false;
    if (m_pane) {
        m_pane->ShowListingProgress(-1);
        m_pane->ShowState(state);
        m_pane->Model->clear();
        m_pane->CboFTP->clear();
        m_pane->ShowSummary(QString());
    }
    m_items.clear();
    m_remotePath.clear();
    updateButtons();
    QPointer<ServerSlot> guard(this);
    if (std::exchange(m_reportedActive, false))
        emit sessionStateChanged(m_index, false);
    for (size_t i = 0; guard && i < m_sessionEndHooks.size(); ++i)
        m_sessionEndHooks[i]();
}

void ServerSlot::updateButtons()
{
    if (!m_pane)
        return;
    const bool active = SessionActive();
    const bool selected = m_pane->RightView->selectionModel()
                       && m_pane->RightView->selectionModel()->hasSelection();
    // The rules tell none, one and many apart: a batch ends a step per file with a thousand rows selected.
    const int selectedCount = SelectedRowsUpTo(m_pane->RightView->selectionModel(), 2);
    for (const QString &key : {QStringLiteral("up"), QStringLiteral("refresh"), QStringLiteral("newdir"),
                               QStringLiteral("history"), QStringLiteral("disconnect")})
        m_pane->Button(key)->setEnabled(active);
    m_pane->Button(QStringLiteral("connect"))->setEnabled(m_hasProfile && !active && !IsBusy());
    m_pane->Button(QStringLiteral("rename"))->setEnabled(active && selectedCount == 1);
    const bool permissions = active && selected && m_askPermission;
    m_pane->Button(QStringLiteral("props"))->setEnabled(permissions);
    m_pane->MNU_RMT_REFRESH->setEnabled(active);
    m_pane->MNU_RMT_NEWDIR->setEnabled(active);
    m_pane->MNU_RMT_RENAME->setEnabled(active && selectedCount == 1);
    m_pane->MNU_RMT_PROPS->setEnabled(permissions);
    m_pane->mnuCustomCmd->setEnabled(active);
    for (QAction *transfer : {m_pane->MNU_RMT_DNLD, m_pane->MNU_RMT_DEL})
        transfer->setEnabled(active && selected);
    for (QAction *job : {m_pane->MNU_RMT_JADD, m_pane->MNU_RMT_JADDEX})
        job->setEnabled(active && selected && m_jobsAvailable);
    m_pane->MNU_RMT_PASTE->setEnabled(active);
    m_pane->MNU_RMT_PASTEJOB->setEnabled(active && m_jobsAvailable);
}

void ServerSlot::ChangeFolder(const QString &remotePath)
{
    try {
        if (!ready() || remotePath.isEmpty())
            return;
        m_pendingPath = remotePath;
        m_reachedPath.clear();
        if (m_pane)
            m_pane->ShowState(tr("Opening %1...").arg(remotePath));
        m_engine->FTP_CHG_DIR(remotePath);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ChangeFolder"));
    }
}

void ServerSlot::GoUp()
{
    if (m_remotePath.isEmpty() || m_remotePath == QLatin1String("/"))
        return;
    ChangeFolder(ParentRemotePath(m_remotePath));
}

void ServerSlot::RefreshListing()
{
    try {
        if (!ready() || m_remotePath.isEmpty())
            return;
        m_cache.MarkDirCacheDirty(m_remotePath, 0);
        listFolder();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RefreshListing"));
    }
}

void ServerSlot::ShowStateWhenIdle(const QString &text)
{
    if (m_engine->isBusy()) {
        m_stateWhenIdle = text;
        return;
    }
    m_stateWhenIdle.clear();
    if (m_pane)
        m_pane->ShowState(text);
}

void ServerSlot::listFolder()
{
    if (!m_engine->ListingAllowed()) {
        if (m_pane)
            m_pane->ShowState(tr("Connected (listing switched off)"));
        return;
    }
    m_listingBytes = 0;
    if (m_pane)
        m_pane->ShowListingProgress(0);
    m_engine->FTP_LIST_DIR();
}

void ServerSlot::relistAfterChange()
{
    m_cache.MarkDirCacheDirty(m_remotePath, 0);
    listFolder();
}

void ServerSlot::addPathItem(const QString &path)
{
    if (!m_pane)
        return;
    QComboBox *box = m_pane->CboFTP;
    int at = box->findData(path);
    if (at < 0) {
        box->addItem(m_engine->ServerUrl() + path, path);
        at = box->count() - 1;
    }
    box->setCurrentIndex(at);
}

void ServerSlot::FtpCmd_JobDone()
{
    try {
        QPointer<ServerSlot> guard(this);
        const bool success = m_engine->LastCmdSucces();
        const long act = m_engine->LastAct();
        // A failure after time-outs says so, where the user looks first.
        const bool noReply = std::exchange(m_noReply, false);
        const auto failed = [noReply](const QString &text) {
            return noReply ? text + tr(": no reply from the server") : text;
        };
        // Whoever started the listing (this pane, or a batch walking folders
        // through this connection), its busy bar ends with it.
        if (act == FtpCommander::ActList) {
            m_listingBytes = 0;
            if (m_pane)
                m_pane->ShowListingProgress(-1);
        }
        for (const JobDoneFilter &filter : m_jobDoneFilters) {
            if (!filter(success, act))
                continue;
            if (!guard)
                return;
            updateButtons();
            emit jobDone(m_index, success, static_cast<int>(act));
            if (guard)
                settleStateLater();
            return;
        }
        if (!guard)
            return;
        if (m_renameCheck && act != FtpCommander::ActFileSize && act != FtpCommander::ActList)
            m_renameCheck.reset(); // another operation came between: the rename is not sent
        switch (act) {
        case FtpCommander::ActLogin:
            if (success) {
                log(tr("Logged in to %1.").arg(m_engine->ServerUrl()), SessionLog::Reply, SessionLog::kItalic);
                m_reportedActive = true;
                emit sessionStateChanged(m_index, true);
                if (!guard)
                    return;
                ChangeFolder(m_engine->StartupPath());
            } else if (m_pane) {
                m_pane->ShowState(failed(tr("Log-in failed")));
            }
            break;
        case FtpCommander::ActChangeDir:
            if (success && !m_pendingPath.isEmpty()) {
                m_remotePath = m_reachedPath.isEmpty() ? m_pendingPath : m_reachedPath;
                m_pendingPath.clear();
                addPathItem(m_remotePath);
                AddToRemoteFolderHistory(m_remotePath);
                const QString cached =
                    IsOptionOn(OptionFlag::UseListingCache) ? m_cache.GetDirCache(m_remotePath) : QString();
                if (!cached.isEmpty()) {
                    m_listingFromCache = true;
                    showListing(cached);
                    if (m_pane) {
                        // Cut before the time, never in it: a time without its "PM" reads as another hour.
                        const QString time = m_cache.LastCacheTime();
                        const QString state = tr("Connected (cached listing of %1)").arg(time);
                        m_pane->ShowState(state, int(state.size() - state.lastIndexOf(time)));
                    }
                    emit remoteFolderListed(m_index, m_remotePath);
                } else {
                    // The rows shown belong to the folder left; names in them must not be joined to this path.
                    clearShownListing();
                    listFolder();
                }
            } else {
                const QString refused = m_pendingPath;
                log(tr("Could not open the folder %1.").arg(refused), SessionLog::Failure);
                m_pendingPath.clear();
                if (m_pane)
                    m_pane->ShowState(tr("Connected"));
                // A start folder that does not exist: show the root rather than nothing.
                if (m_remotePath.isEmpty() && refused != QLatin1String("/"))
                    ChangeFolder(QStringLiteral("/"));
            }
            break;
        case FtpCommander::ActList:
            if (success) {
                LoadRemoteFolders(m_engine->getListData(), true);
            } else if (m_pane) {
                m_pane->ShowState(failed(tr("Listing failed")));
            }
            if (!guard)
                return;
            if (m_renameCheck)
                continueRenameCheck(success, act);
            break;
        case FtpCommander::ActRename:
        case FtpCommander::ActMakeDir:
            if (success) {
                for (const QString &stale : std::exchange(m_staleAfterChange, {}))
                    m_cache.MarkDirCacheDirty(stale, 0);
                relistAfterChange();
            } else {
                if (m_pane)
                    m_pane->ShowState(failed(act == FtpCommander::ActRename ? tr("Rename failed") : tr("New folder failed")));
                if (act == FtpCommander::ActRename)
                    reportRenameRefused();
            }
            break;
        case FtpCommander::ActFileSize:
            if (m_renameCheck)
                continueRenameCheck(success, act);
            break;
        case FtpCommander::ActCustom:
            if (m_relistAfterCommand) {
                m_relistAfterCommand = false;
                if (success)
                    relistAfterChange();
            }
            if (m_pane && !success)
                m_pane->ShowState(failed(tr("Command failed")));
            break;
        default:
            break;
        }
        if (!guard)
            return;
        if (!m_stateWhenIdle.isEmpty() && !m_engine->isBusy() && m_pane)
            m_pane->ShowState(std::exchange(m_stateWhenIdle, {}));
        updateButtons();
        emit jobDone(m_index, success, static_cast<int>(act));
        if (guard)
            settleStateLater();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
    }
}

void ServerSlot::settleStateLater()
{
    // Later, not now: whoever handled the end may start the next step from the event loop.
    QTimer::singleShot(0, this, [this] {
        if (!m_pane || m_engine->isBusy() || !SessionActive() || m_engineState.isEmpty())
            return;
        if (m_pane->lblState->text() == m_engineState)
            m_pane->ShowState(tr("Connected"));
        m_engineState.clear();
    });
}

void ServerSlot::clearShownListing()
{
    m_items.clear();
    m_summary = {};
    if (m_pane) {
        m_pane->Model->clear();
        m_pane->ShowSummary(QString());
    }
    updateButtons();
}

void ServerSlot::LoadRemoteFolders(const QString &listing, bool fromServer)
{
    try {
        if (fromServer && !m_remotePath.isEmpty())
            m_cache.UpdateDirCache(m_remotePath, listing);
        m_listingFromCache = !fromServer;
        showListing(listing);
        if (m_pane && fromServer)
            m_pane->ShowState(tr("Connected"));
        emit remoteFolderListed(m_index, m_remotePath);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadRemoteFolders"));
    }
}

void ServerSlot::showListing(const QString &listing)
{
    m_items = GetFileList(listing, m_remotePath);
    showItems();
}

void ServerSlot::showItems()
{
    if (!m_pane)
        return;
    std::vector<FileListRow> rows = BuildRemoteRows(m_items, m_pane->txtFilter->text(), m_summary);
    for (const FileListRow &row : rows) {
        if (!GetImageListPicture(m_window, row.IconKey))
            EnsureNameIcon(m_window.ImageList2(), row.IconKey, row.Text);
    }
    m_pane->Model->setRows(std::move(rows));
    m_pane->ShowSummary(RemoteSummaryText(m_summary));
    updateButtons();
}

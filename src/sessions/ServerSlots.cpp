#include "ServerSlots.h"

#include "AppInfo.h"
#include "Prompts.h"
#include "CustomCommandMenu.h"
#include "CustomCommandRunner.h"
#include "ErrorLog.h"
#include "FtpCommanderCommandTarget.h"
#include "PermissionDialog.h"
#include "UserCommandList.h"
#include "FtpCommander.h"
#include "ModProfile.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "frmQuickCon.h"

#include <QMenu>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

bool validSlot(int index) { return index == 0 || index == 1; }

std::optional<CProfile> runProfileEditor(bool &bConnect, bool &ProfEdited, QWidget *owner)
{
    return getProfile(bConnect, ProfEdited, owner);
}

QString runQuickConnect(QWidget *owner)
{
    frmQuickCon dialog(owner);
    dialog.exec();
    return dialog.Tag();
}

} // namespace

ServerSlots::ServerSlots(std::array<RemotePane *, 2> panes, MainWindowServices &window,
                         LocalFolderHistory &localHistory, QWidget *owner, QObject *parent,
                         std::array<EngineTimer *, 2> timers)
    : QObject(parent), m_localHistory(localHistory), m_owner(owner), m_chooseProfile(runProfileEditor),
      m_askQuickConnect(runQuickConnect)
{
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = new ServerSlot(i, panes[static_cast<size_t>(i)], window, this, timers[static_cast<size_t>(i)]);
        m_slots[static_cast<size_t>(i)] = slot;
        connect(slot, &ServerSlot::sessionStateChanged, this, &ServerSlots::sessionStateChanged);
        connect(slot, &ServerSlot::localFolderWanted, this, &ServerSlots::localFolderWanted);
        FtpCommander *engine = slot->FtpCmd();
        connect(engine, &FtpCommander::HandlePassiveAddress, this,
                [this, i](const QString &address, long port) { FtpCmd_HandlePassiveAddress(i, address, port); });
        connect(engine, &FtpCommander::DataConnect, this, [this, i] { FtpCmd_DataConnect(i); });
        if (RemotePane *pane = panes[static_cast<size_t>(i)]) {
            connect(pane, &RemotePane::activated, this, &ServerSlots::SetCurrentSlot);
            connect(pane->mnuRemote, &QMenu::aboutToShow, this, [this, i] { SetRemoteMenuState(i); });
        }
        slot->setPermissionAsker(GetNewPermisssion);
    }
    wireUserCommands(panes);
}

ServerSlots::~ServerSlots() = default;

void ServerSlots::BuildHandlerMenus(const FileHandlerCollection &handlers)
{
    m_handlerMenus.Build(handlers);
    for (ServerSlot *slot : m_slots) {
        if (RemotePane *pane = slot->Pane()) {
            m_handlerMenus.FillMenu(pane->MNU_RMT_VIEW, false);
            m_handlerMenus.FillMenu(pane->MNU_RMT_EDIT, true);
        }
    }
}

bool ServerSlots::SlotFree(int slot) const
{
    const ServerSlot *target = Slot(slot);
    return target && target->SessionActive() && !target->IsBusy()
        && !(m_slotBusyElsewhere && m_slotBusyElsewhere(slot));
}

std::optional<RemoteSelection> ServerSlots::SelectedFileToOpen(int slot) const
{
    const ServerSlot *target = Slot(slot);
    if (!target)
        return std::nullopt;
    const QList<RemoteSelection> selection = target->Selection();
    if (selection.size() != 1 || selection.front().IsFolder || !IsSafeRemoteName(selection.front().Name))
        return std::nullopt;
    return selection.front();
}

void ServerSlots::SetRemoteMenuState(int slot)
{
    try {
        const ServerSlot *target = Slot(slot);
        RemotePane *pane = target ? target->Pane() : nullptr;
        if (!pane)
            return;
        const std::optional<RemoteSelection> file = SlotFree(slot) ? SelectedFileToOpen(slot) : std::nullopt;
        pane->MNU_RMT_OPEN->setEnabled(file && m_handlerMenus.OpenAllowed(file->Name));
        pane->MNU_RMT_QEDIT->setEnabled(file && m_handlerMenus.QuickEditAllowed(file->Name));
        pane->MNU_RMT_VIEW->setEnabled(file.has_value());
        pane->MNU_RMT_EDIT->setEnabled(file.has_value());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SetRemoteMenuState"));
    }
}

void ServerSlots::setLoginFailedHandler(LoginFailedHandler *handler)
{
    for (ServerSlot *slot : m_slots)
        slot->FtpCmd()->setLoginFailedHandler(handler);
}

void ServerSlots::wireUserCommands(std::array<RemotePane *, 2> panes)
{
    m_commandRunner = new CustomCommandRunner(
        UserCommands(), m_owner,
        [this]() -> std::optional<CustomCommandRunner::Target> {
            ServerSlot *slot = Slot(m_current);
            if (!slot)
                return std::nullopt;
            CustomCommandRunner::Target target;
            target.serverSlot = m_current;
            target.engine = m_commandTargets[static_cast<size_t>(m_current)].get();
            for (const RemoteSelection &item : slot->Selection())
                target.context.selection.append({item.Name, item.IsFolder, item.Attributes});
            target.context.currentFolder = slot->SlotRemotePath();
            target.context.user = slot->SlotProfile().User;
            target.context.password = slot->SlotProfile().Password;
            return target;
        },
        GetNewPermisssion, this);
    connect(m_commandRunner, &CustomCommandRunner::reloadRequested, this, [this](int slot) {
        if (ServerSlot *target = Slot(slot))
            target->RefreshListing();
    });
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = m_slots[static_cast<size_t>(i)];
        m_commandTargets[static_cast<size_t>(i)] = std::make_unique<FtpCommanderCommandTarget>(slot->FtpCmd());
        connect(slot, &ServerSlot::jobDone, m_commandRunner, &CustomCommandRunner::JobDone);
        RemotePane *pane = panes[static_cast<size_t>(i)];
        if (!pane)
            continue;
        auto *menu = new CustomCommandMenu(UserCommands(), pane->mnuCustomCmd, this);
        m_commandMenus[static_cast<size_t>(i)] = menu;
        connect(menu, &CustomCommandMenu::commandChosen, this, [this, i](int commandSlot) {
            SetCurrentSlot(i);
            MNU_RMT_CSTCMDITEM_Click(commandSlot);
        });
    }
}

CustomCommandMenu *ServerSlots::CommandMenu(int slot) const
{
    return validSlot(slot) ? m_commandMenus[static_cast<size_t>(slot)] : nullptr;
}

void ServerSlots::BuildCustomCommandMenu()
{
    for (CustomCommandMenu *menu : m_commandMenus) {
        if (menu)
            menu->BuildCustomCommandMenu();
    }
}

void ServerSlots::mnuCustomCmds_Click(QWidget *owner)
{
    if (!m_commandMenus[0])
        return;
    // The first menu runs the window and rebuilds itself after a save; the other follows.
    m_commandMenus[0]->mnuCustomCmds_Click(owner);
    if (m_commandMenus[1])
        m_commandMenus[1]->BuildCustomCommandMenu();
}

void ServerSlots::MNU_RMT_CSTCMDITEM_Click(int menuIndex)
{
    if (m_commandRunner)
        m_commandRunner->MNU_RMT_CSTCMDITEM_Click(menuIndex);
}

ServerSlot *ServerSlots::Slot(int index) const { return validSlot(index) ? m_slots[static_cast<size_t>(index)] : nullptr; }

void ServerSlots::SetCurrentSlot(int index)
{
    if (validSlot(index))
        m_current = index;
}

bool ServerSlots::ServerConnected(int slot) const { return validSlot(slot) && Slot(slot)->SessionActive(); }

bool ServerSlots::IsAnySessionActive() const { return ServerConnected(0) || ServerConnected(1); }

CProfile ServerSlots::QuickConnectProfile(const QString &hostText)
{
    CProfile profile;
    QString host = hostText.trimmed();
    int port = 21;
    // "host:port" names a port; a bare IPv6 address has several colons and keeps them.
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && host.indexOf(QLatin1Char(':')) == colon) {
        bool ok = false;
        const int named = host.mid(colon + 1).toInt(&ok);
        if (ok && named > 0 && named <= 65535) {
            port = named;
            host = host.left(colon);
        }
    }
    profile.ProfileName = QStringLiteral("{Quick Connect -") + hostText.trimmed() + QStringLiteral("}");
    profile.Server = host;
    profile.Port = port;
    profile.User = QStringLiteral("anonymous");
    profile.Password = QStringLiteral("guest@ftpqor.invalid");
    profile.IsPassive = 1;
    profile.RemotePath = QStringLiteral("/");
    return profile;
}

bool ServerSlots::SelectProfile(int slot, bool quickConnect)
{
    try {
        if (!validSlot(slot))
            return false;
        ServerSlot *target = Slot(slot);
        if (quickConnect) {
            if (refuseWhileConnected(slot))
                return false;
            const QString host = m_askQuickConnect ? m_askQuickConnect(m_owner).trimmed() : QString();
            if (host.isEmpty())
                return false;
            UseProfile(slot, QuickConnectProfile(host), !target->SessionActive());
            return true;
        }
        bool bConnect = target->SessionActive();
        bool profEdited = false;
        const std::optional<CProfile> chosen = m_chooseProfile ? m_chooseProfile(bConnect, profEdited, m_owner)
                                                               : std::nullopt;
        if (profEdited)
            emit profilesEdited();
        if (!chosen || refuseWhileConnected(slot))
            return false;
        UseProfile(slot, *chosen, bConnect && !target->SessionActive());
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SelectProfile"));
        return false;
    }
}

bool ServerSlots::SelectStoredProfile(int slot, int recordNumber, bool connect)
{
    try {
        if (!validSlot(slot) || refuseWhileConnected(slot))
            return false;
        int record = recordNumber;
        const std::optional<CProfile> profile = loadProfileData(ProfileFilePath, record);
        if (!profile)
            return false;
        UseProfile(slot, *profile, connect && !Slot(slot)->SessionActive());
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SelectProfile"));
        return false;
    }
}

bool ServerSlots::refuseWhileConnected(int slot)
{
    const ServerSlot *target = Slot(slot);
    if (!target || (!target->SessionActive() && !target->IsBusy()))
        return false;
    ShowMessage(m_owner, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                tr("Server %1 is connected. Disconnect it before connecting to another server.").arg(slot + 1));
    return true;
}

void ServerSlots::UseProfile(int slot, const CProfile &profile, bool connect)
{
    ServerSlot *target = Slot(slot);
    if (!target)
        return;
    if (target->SessionActive() || target->IsBusy())
        return; // the connected profile stays until its session ends
    target->SetProfile(profile);
    if (slot == 0)
        switchLocalHistory(profile);
    m_current = slot;
    if (connect)
        target->ConnectToFTP();
}

void ServerSlots::switchLocalHistory(const CProfile &profile)
{
    if (!IsOptionOn(OptionFlag::FilterLocalHistoryByProfile))
        return;
    if (m_localHistory.Changed) {
        // The list belongs to the profile that was selected until now.
        SaveLocalPathHistory(m_lastLocalOwner, m_localHistory.List);
    }
    m_localHistory.List = EmptyPathHistory();
    m_localHistory.Changed = false;
    m_lastLocalOwner = profile.ProfileName.trimmed();
    LoadLocalPathHistory(m_localHistory.List, m_lastLocalOwner, false);
    emit localHistoryReloaded();
}

void ServerSlots::FtpCmd_HandlePassiveAddress(int index, const QString &address, long port)
{
    try {
        // Only the target of a running copy names an address for the source.
        if (!validSlot(index) || !CopyRunning() || index != CopyTarget)
            return;
        ServerSlot *other = Slot(1 - index);
        other->FtpCmd()->FTP_GetFromOtherServer(CopySourcePath, CopySize, address, port);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_HandlePassiveAddress"));
    }
}

void ServerSlots::FtpCmd_DataConnect(int index)
{
    try {
        if (!validSlot(index) || !CopyRunning())
            return;
        if (Slot(index)->FtpCmd()->CurrentAct() == FtpCommander::ActGetFromServer)
            Slot(1 - index)->FtpCmd()->DataConnectionOk();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_DataConnect"));
    }
}

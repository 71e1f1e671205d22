#pragma once

#include "CProfile.h"
#include "HandlerMenus.h"
#include "PathHistory.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class CustomCommandMenu;
class FileHandlerCollection;
struct RemoteSelection;
class CustomCommandRunner;
class EngineTimer;
class FtpCommanderCommandTarget;
class LoginFailedHandler;
class MainWindowServices;
class RemotePane;
class ServerSlot;
class QWidget;

// The local folder history, shared by the window and the server slots.
struct LocalFolderHistory
{
    PathHistoryList List = EmptyPathHistory();
    bool Changed = false;
};

// Both server slots of the main window and what joins them: profile
// selection, the focused slot, and the server-to-server hand-off.
class ServerSlots : public QObject
{
    Q_OBJECT
public:
    // Shows the profile editor (bConnect in: session active; out: "Connect"
    // pressed); nothing when cancelled.
    using ProfileChooser = std::function<std::optional<CProfile>(bool &bConnect, bool &ProfEdited, QWidget *owner)>;
    // Shows the quick-connect dialog; its Tag text.
    using QuickConnectAsker = std::function<QString(QWidget *owner)>;

    ServerSlots(std::array<RemotePane *, 2> panes, MainWindowServices &window, LocalFolderHistory &localHistory,
                QWidget *owner, QObject *parent = nullptr, std::array<EngineTimer *, 2> timers = {});
    ~ServerSlots() override;

    ServerSlot *Slot(int index) const;
    int CurrentSlot() const { return m_current; }
    void SetCurrentSlot(int index);

    void setProfileChooser(ProfileChooser chooser) { m_chooseProfile = std::move(chooser); }
    void setQuickConnectAsker(QuickConnectAsker asker) { m_askQuickConnect = std::move(asker); }
    // Who answers a refused log-in on either connection (none: the attempt ends).
    void setLoginFailedHandler(LoginFailedHandler *handler);

    // The profile selection of a slot: the profile editor, or the
    // quick-connect dialog. True when the slot got a new profile.
    bool SelectProfile(int slot, bool quickConnect);
    // A profile chosen from a profile menu: record `recordNumber` of the profile file.
    bool SelectStoredProfile(int slot, int recordNumber, bool connect);
    // Gives a slot its profile (folder histories switch with it) and connects when asked.
    void UseProfile(int slot, const CProfile &profile, bool connect);

    // The temporary profile of a quick connection to `hostText` ("host" or "host:port").
    static CProfile QuickConnectProfile(const QString &hostText);

    // User commands: the remote panes' command menus and the runner.
    void BuildCustomCommandMenu();
    // Opens the user-command list window; the menus follow what it saved.
    void mnuCustomCmds_Click(QWidget *owner);
    // Runs the user command in `menuIndex` (its slot) on the focused server.
    void MNU_RMT_CSTCMDITEM_Click(int menuIndex);
    CustomCommandMenu *CommandMenu(int slot) const;

    bool ServerConnected(int slot) const;
    bool IsAnySessionActive() const;

    // Server-to-server copy: the file being copied, where it goes, its size,
    // and the slots it runs between (-1 while no copy runs).
    QString CopySourcePath;
    QString CopyTargetPath;
    qint64 CopySize = 0;
    int CopySource = -1;
    int CopyTarget = -1;
    bool CopyRunning() const { return CopySource >= 0 && CopyTarget >= 0; }
    void ClearCopy()
    {
        CopySource = CopyTarget = -1;
        CopySourcePath.clear();
        CopyTargetPath.clear();
        CopySize = 0;
    }
    void FtpCmd_HandlePassiveAddress(int index, const QString &address, long port);
    void FtpCmd_DataConnect(int index);

    // The handler menus of both panes, from the running configuration.
    void BuildHandlerMenus(const FileHandlerCollection &handlers);
    const HandlerMenus &Handlers() const { return m_handlerMenus; }
    // True while a batch or folder walk holds the slot (the main window's state).
    using SlotBusyCheck = std::function<bool(int slot)>;
    void setSlotBusyCheck(SlotBusyCheck check) { m_slotBusyElsewhere = std::move(check); }
    // The slot's connection is logged in and free: no operation, batch or walk.
    bool SlotFree(int slot) const;
    // The one selected item of the slot's pane when it is a file whose name
    // may address a local copy; nothing otherwise.
    std::optional<RemoteSelection> SelectedFileToOpen(int slot) const;
    // Enables the pane's opening items for its selection.
    void SetRemoteMenuState(int slot);

signals:
    // "Save" was pressed in the profile editor: the profile menus are stale.
    void profilesEdited();
    void sessionStateChanged(int slot, bool active);
    void localFolderWanted(const QString &path);
    // The local folder history was reloaded for another profile.
    void localHistoryReloaded();

private:
    // A slot keeps its profile while its session lasts; says so. True when refused.
    bool refuseWhileConnected(int slot);
    void switchLocalHistory(const CProfile &profile);
    void wireUserCommands(std::array<RemotePane *, 2> panes);

    std::array<ServerSlot *, 2> m_slots{};
    LocalFolderHistory &m_localHistory;
    QPointer<QWidget> m_owner;
    ProfileChooser m_chooseProfile;
    QuickConnectAsker m_askQuickConnect;
    int m_current = 0;
    std::array<std::unique_ptr<FtpCommanderCommandTarget>, 2> m_commandTargets;
    std::array<CustomCommandMenu *, 2> m_commandMenus{};
    CustomCommandRunner *m_commandRunner = nullptr;
    QString m_lastLocalOwner; // the profile whose local folders the list holds
    HandlerMenus m_handlerMenus;
    SlotBusyCheck m_slotBusyElsewhere;
};

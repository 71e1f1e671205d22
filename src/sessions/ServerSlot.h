#pragma once

#include "CProfile.h"
#include "FtpCache.h"
#include "PathHistory.h"
#include "RemoteListing.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class EngineTimer;
class FtpCommander;
class MainWindowServices;
class RemotePane;
class SessionLog;

// One selected item of a remote pane.
struct RemoteSelection
{
    QString Name;
    bool IsFolder = false;
    QString Attributes;
    qint64 Size = 0;
};

// One server slot of the main window (server 1 or 2): its browsing
// connection FtpCmd, its site profile, the remote folder it shows, the
// listing cache, the remote folder history and the remote pane it drives.
class ServerSlot : public QObject
{
    Q_OBJECT
public:
    // Active-mode data ports of the browsing connections: 20001-21000 for
    // server 1, 21001-22000 for server 2.
    static constexpr long kFirstDataPort = 20000;
    static constexpr long kDataPortWidth = 1000;

    // `window` lends the shared file-type icons; `timer` is the engine's clock
    // (tests pass a manual one), owned by the engine.
    ServerSlot(int index, RemotePane *pane, MainWindowServices &window, QObject *parent = nullptr,
               EngineTimer *timer = nullptr);
    ~ServerSlot() override;

    int Index() const { return m_index; }
    FtpCommander *FtpCmd() const { return m_engine; }
    RemotePane *Pane() const { return m_pane; }
    FtpCache &Cache() { return m_cache; }
    void setLog(SessionLog *log) { m_log = log; }
    SessionLog *Log() const { return m_log; }

    // The slot's profile (none until one is selected).
    bool HasProfile() const { return m_hasProfile; }
    const CProfile &SlotProfile() const { return m_profile; }
    // Makes `profile` the slot's profile; the remote folder history follows it.
    void SetProfile(const CProfile &profile);
    QString SlotRemotePath() const { return m_remotePath; }

    PathHistoryList &RemoteHistory() { return m_history; }
    bool RemoteHistoryChanged() const { return m_historyChanged; }
    void AddToRemoteFolderHistory(const QString &remoteFolder);
    // Writes the remote folder history when it changed since it was loaded.
    void SaveRemoteHistory();

    bool SessionActive() const;
    bool IsBusy() const;

    // Connects with the slot's profile and logs in.
    void ConnectToFTP();
    // Ends the session and saves the remote folder history.
    void DisConnectFromFTP();
    // True while the session ends because the user disconnected it (for
    // whoever hears of the end meanwhile).
    bool EndedByUser() const { return m_endingByUser; }

    // Remote navigation.
    void ChangeFolder(const QString &remotePath);
    void GoUp();
    // Lists the shown folder from the server again (its cached listing marked dirty).
    void RefreshListing();
    // Shows `text` on the pane's state line once the connection is idle, so
    // that the state of an operation still running (a refresh) does not replace it.
    void ShowStateWhenIdle(const QString &text);
    // Shows a listing; `fromServer` stores it in the listing cache first.
    void LoadRemoteFolders(const QString &listing, bool fromServer);

    // Remote operations on the pane's selection.
    void RenameSelected();
    void MakeFolder();
    void ShowProperties();

    // Asks for new permission bits preset from an item's attributes: three
    // octal digits held in an integer, 65535 when cancelled.
    using PermissionAsker = std::function<int(QWidget *owner, const QString &attributes, const QString &name)>;
    void setPermissionAsker(PermissionAsker asker)
    {
        m_askPermission = std::move(asker);
        updateButtons();
    }

    // Whether the pane's job commands may be offered (jobs can be queued).
    void setJobsAvailable(bool available)
    {
        m_jobsAvailable = available;
        updateButtons();
    }

    QList<RemoteSelection> Selection() const;
    // The items the shown listing holds, as parsed.
    const RemoteListingSummary &Summary() const { return m_summary; }
    bool ListingFromCache() const { return m_listingFromCache; }

    // The engine finished an operation.
    void FtpCmd_JobDone();

    // Components above the slot (batches, copies) take finished operations
    // before the slot's own branches: a filter returns true when the
    // operation was its own, and the slot's navigation then leaves it alone.
    using JobDoneFilter = std::function<bool(bool success, long lastAct)>;
    void addJobDoneFilter(JobDoneFilter filter) { m_jobDoneFilters.push_back(std::move(filter)); }
    // Called once each time the session ends (closed, dropped or failed), after the slot's own reset.
    using SessionEndHook = std::function<void()>;
    void addSessionEndHook(SessionEndHook hook) { m_sessionEndHooks.push_back(std::move(hook)); }

signals:
    void sessionStateChanged(int slot, bool active);
    // Every finished operation, after the slot's own handling.
    void jobDone(int slot, bool success, int lastAct);
    // The profile asks for its local folder to be shown.
    void localFolderWanted(const QString &path);
    void remoteSelectionChanged(int slot);
    void remoteFolderListed(int slot, const QString &path);

private:
    void wireEngine();
    void wirePane();
    void sessionEnded(const QString &state);
    void updateButtons();
    void showListing(const QString &listing);
    void showItems(); // the parsed listing through the name filter
    void clearShownListing();
    void listFolder();
    void relistAfterChange();
    void reportRenameRefused();
    void addPathItem(const QString &path);
    void fillHistoryMenu();
    void startChmod(const RemoteSelection &item, int permission);
    // A rename of OldName to NewName in Folder.
    struct RenameRequest
    {
        QString Folder;
        QString OldName;
        QString NewName;
        bool IsFolder = false;
    };
    // What the new name of a rename holds on the server.
    enum class Target { None, File, Folder };
    // The commands that find out what the new name of a rename holds before it is sent.
    struct RenameCheck
    {
        RenameRequest Rename;
        enum class Step { Held, List };
        Step At = Step::Held;
    };
    void refuseRename(const RenameRequest &rename);
    void askRenameReplace(const RenameRequest &rename);
    void startRename(const RenameRequest &rename);
    void checkRenameTarget(const RenameRequest &rename);
    bool continueRenameCheck(bool success, long act);
    void finishRenameCheck(Target target);
    void log(const QString &text, int colour, quint8 style = 0);
    bool ready(); // a session without a running operation
    // Once the connection is idle: a state line still showing the engine's last
    // message of the ended operation (a reply such as "226 Transfer complete.")
    // says "Connected" instead.
    void settleStateLater();

    int m_index;
    QPointer<RemotePane> m_pane;
    MainWindowServices &m_window;
    FtpCommander *m_engine = nullptr;
    FtpCache m_cache;
    SessionLog *m_log = nullptr;

    bool m_hasProfile = false;
    CProfile m_profile;
    QString m_remotePath;
    QString m_pendingPath;
    QString m_reachedPath; // the server's name of the folder the running change of folder reached
    PathHistoryList m_history = EmptyPathHistory();
    bool m_historyChanged = false;
    RemoteListingSummary m_summary;
    QList<FtpFileItem> m_items; // the shown listing, parsed
    bool m_listingFromCache = false;
    bool m_relistAfterCommand = false;
    QStringList m_staleAfterChange; // folders whose cached listings the running rename or new folder outdates
    std::optional<RenameCheck> m_renameCheck;
    quint64 m_sessionSerial = 0; // counts the sessions ended: a question posted in one is not asked in the next
    bool m_reportedActive = false; // listeners were told the session is up
    bool m_controlConnected = false; // the server answered this attempt
    bool m_endingByUser = false;
    qint64 m_listingBytes = 0;       // of the listing coming in
    bool m_noReply = false;          // the operation under way met a reply time-out
    QString m_stateWhenIdle;         // see ShowStateWhenIdle
    std::optional<RenameRequest> m_runningRename; // sent, its answer not yet in
    QString m_renameRefusal;                       // the server's last refusal of the running rename
    QString m_engineState;           // the engine's last message shown on the state line
    PermissionAsker m_askPermission;
    std::vector<JobDoneFilter> m_jobDoneFilters;
    std::vector<SessionEndHook> m_sessionEndHooks;
    bool m_jobsAvailable = false;
};

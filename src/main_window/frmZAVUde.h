#pragma once

#include "ElidingLabel.h"
#include "KeyedImageList.h"
#include "MainWindowServices.h"
#include "ModalHolders.h"
#include "ServerSlots.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class BatchRunner;
class BatchTransfers;
class RemoteEditFlow;
class ColumnWidthKeeper;
class JobCommands;
class JobQueuePane;
class EngineTimer;
class JobIntake;
class LocalPane;
class LoginFailedDialog;
class LogPane;
class ModStartup;
class QAction;
class QLabel;
class QMenu;
class QSettings;
class QSplitter;
class QToolBar;
class QToolButton;
class RemotePane;
class ServerSlot;
class WindowPlacement;

// The main window: the local pane, one or two server panes with their log
// panes, the toolbar, menus and status bar. It owns the server slots and
// their browsing connections for the whole run.
class frmZAVUde : public QMainWindow, public MainWindowServices
{
    Q_OBJECT
public:
    static constexpr int kTrayIdentifier = 840;
    static constexpr int kTimer2Ms = 1000;

    // `startup` is the single-instance service the window marks itself with
    // (none in tests that do not need it); `timers` are the browsing
    // connections' clocks (tests pass manual ones).
    explicit frmZAVUde(ModStartup *startup = nullptr, std::array<EngineTimer *, 2> timers = {},
                       QWidget *parent = nullptr);
    ~frmZAVUde() override;

    // The settings store section of the window's layout and list settings.
    static QString SettingsSection() { return QStringLiteral("Configuration/General"); }
    static std::unique_ptr<QSettings> OpenSettingsStore();

    // MainWindowServices
    void ShowInfo(int &iconKind, const QString &title, const QString &text) override;
    void LoadTasks(const QString &path) override;
    bool ServerConnected(int slot) const override;
    bool SecondPaneShown() const override { return m_dual; }
    KeyedImageList &ImageList2() override { return m_fileIcons; }
    void ShowQor() override;

    // The main image list: "conf", "w", "cmd", "exl", "slide_d", "srch", sort marks ...
    KeyedImageList &ImageList1() override { return m_images; }

    // The modal state: set while any hold lives (a batch, a question, a log-in dialog).
    ModalHolders &Modal() { return m_modal; }
    bool ModalState() const { return m_modal.IsSet(); }
    bool IsAnySessionActive() const;
    void ShowDual(bool shown);

    // The windows above the main window ("cmp" the folder compare, "srch" the FTP search) are built by
    // the program, which registers how; the main window opens one of each,
    // modeless, and raises it when asked again.
    using WindowFactory = std::function<QWidget *(QWidget *owner)>;
    void SetWindowFactory(const QString &key, WindowFactory factory);
    // Opens or raises the window of a key; nothing while a modal dialog runs.
    void OpenToolWindow(const QString &key);
    QWidget *ToolWindow(const QString &key) const;

    // Toolbar buttons by key ("conf", "cmd", "profile", "profile1", "quick", "dual", "cmp", "srch").
    QAction *ToolButton(const QString &key) const;
    void TB_ButtonClick(const QString &key);
    void mnuDrvList_Click(int index);
    void mnuCustomCmds_Click();
    void BuildCustomCommandMenu();
    // Puts a local folder into the local folder history and rebuilds its menu.
    void AddToFolderHistory(const QString &path, bool remove = false);
    // A folder-history entry was picked: lists it, or drops it when the folder is gone.
    void mnuList_Click(const QString &path);

    // The buttons between the panes: pictures "IN"/"IN_D", "OUT"/"OUT_D"; tag "E" or "D".
    void SetInButtonState(int slot, bool enabled);
    void SetOutButtonState(int slot, bool enabled);
    void CmdIN_Click(int slot);
    void CmdOut_Click(int slot);
    // The job queue that takes the jobs the panes make; none disables the job commands.
    void SetJobIntake(JobIntake *intake);
    JobIntake *JobsIntake() const { return m_jobIntake; }
    // Downloads the slot's remote selection at once.
    void MNU_RMT_DNLD_Click(int slot);
    QToolButton *CmdIN[2] = {nullptr, nullptr};
    QToolButton *CmdOut[2] = {nullptr, nullptr};
    QToolButton *CmdToFTP[2] = {nullptr, nullptr}; // copies from its slot's server to the other one
    void FtpLogger_BufferFull(int index, bool &bClearLogs);
    // Rebuilds the profile menus of the "profile" and "profile1" buttons.
    void BuildProfileMenus();
    void BuildDriverMenu();

    // Closes for real: the confirmation and the shut-down steps run, no hiding to the tray.
    void ExitProgram();

    // Components, for the window's own parts and tests.
    LocalPane *Local() const { return m_local; }
    RemotePane *Remote(int slot) const { return m_remote[static_cast<size_t>(slot & 1)]; }
    LogPane *FtpLogger(int slot) const { return m_logs[static_cast<size_t>(slot & 1)]; }
    ServerSlots *Slots() const { return m_slots; }
    BatchTransfers *Batch() const { return m_batch; }
    JobQueuePane *Jobs() const { return m_jobs; }
    // Runs the batches, walks and server-to-server copies.
    BatchRunner *Runner() const { return m_runner; }
    RemoteEditFlow *EditFlow() const { return m_editFlow; }
    JobCommands *JobControl() const { return m_jobCommands; }
    // Closing asks every question first: the connected question, then each of
    // these (windows with unsaved work); a No keeps everything as it was.
    void AddCloseQuestion(std::function<bool()> question) { m_closeQuestions.push_back(std::move(question)); }
    // Runs once all agreed, after the jobs were stopped and saved and before
    // the servers are disconnected (temporary copies are deleted here).
    void AddCloseStep(std::function<void()> step) { m_closeSteps.push_back(std::move(step)); }
    ServerSlot *Slot(int slot) const;
    LocalFolderHistory &LocalHistory() { return m_localHistory; }
    QMenu *mnuLocalBar = nullptr; // the menu bar's "&Local" menu
    QMenu *mnuList = nullptr;     // local folder history
    QMenu *mnuDrvList = nullptr;  // drivers
    QMenu *mnuProfile[2] = {nullptr, nullptr};
    QMenu *mnuTray = nullptr;     // the notification-area icon's menu
    QToolBar *TB = nullptr;
    ElidingLabel *lblStatus = nullptr; // the servers' names never widen the window
    QLabel *lblNetwork = nullptr;
    QAction *actShowDual = nullptr;
    QTimer Timer2;
    // The transfer-rate display: on while any session, browsing or job, is active.
    QTimer Timer1;
    QLabel *lblJobRate = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildImageLists();
    void buildControls();
    void buildMenus();
    void buildToolbar();
    QWidget *buildTransferButtons();
    void wireTransfers();
    // The job queue: its pane, pictures and menu, the batches' jobs and drops on the job list.
    void buildJobQueue();
    void wireJobs();
    void loadJobsAtStartup();
    void wireBatchRunner();
    void wireJobConnections();
    void offerPendingJobs();
    void Timer1_Timer();
    void updateRateTimer();
    void updateTransferButtons();
    void setTransferButton(QToolButton *button, const QString &picture, bool enabled);
    void Form_Load();
    bool Form_QueryUnload();
    // The question asked before a close that ends sessions; it names the running jobs and copy.
    QString exitQuestion() const;
    QString connectedQuestion() const; // the question without a running copy's line
    void applyFonts();
    void wireEditFlow();
    void restoreLayout();
    void saveLayout();
    void rebuildFolderHistoryMenu();
    void markFolderHistory(const QString &path);
    void sessionStateChanged(int slot, bool active);
    void Timer2_Timer();
    void trayMouseMessage(QWidget *window, int identifier, int message);
    void restoreFromTray();
    void buildTrayMenu();
    void showSlotState();

    QPointer<ModStartup> m_startup;
    KeyedImageList m_images;
    ColumnWidthKeeper *m_columnWidths = nullptr;
    WindowPlacement *m_placement = nullptr;
    KeyedImageList m_fileIcons;
    LocalPane *m_local = nullptr;
    std::array<RemotePane *, 2> m_remote{};
    std::array<LogPane *, 2> m_logs{};
    ServerSlots *m_slots = nullptr;
    BatchTransfers *m_batch = nullptr;
    JobQueuePane *m_jobs = nullptr;
    JobIntake *m_jobIntake = nullptr;
    BatchRunner *m_runner = nullptr;
    RemoteEditFlow *m_editFlow = nullptr;
    JobCommands *m_jobCommands = nullptr;
    std::vector<std::function<bool()>> m_closeQuestions;
    std::vector<std::function<void()>> m_closeSteps;
    bool m_pendingJobsOffered = false;
    qint64 m_lastJobBytes = 0;
    LocalFolderHistory m_localHistory;
    QSplitter *splMain = nullptr;   // panes above, job queue below
    QSplitter *splPanes = nullptr;  // local | remote
    QSplitter *splRemote = nullptr; // server 1 | server 2
    std::array<QSplitter *, 2> splServer{}; // a server pane above its log pane, at its width
    bool m_dual = false;
    ModalHolders m_modal;
    std::array<ModalHolders::Hold, 2> m_engineModal; // the browsing connections' NotifyModal
    bool m_loaded = false;
    bool m_closing = false;
    bool m_exitRequested = false;
    bool m_closeAsking = false; // a close runs its questions and steps (events still come: the tray's menu)
    bool m_activatedOnce = false;
    std::unique_ptr<LoginFailedDialog> m_loginDialog;
    std::map<QString, WindowFactory> m_windowFactories;
    std::map<QString, QPointer<QWidget>> m_toolWindows;
};

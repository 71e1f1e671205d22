#include "frmZAVUde.h"

#include "LetterIcon.h"
#include "ColumnWidthKeeper.h"

#include "AppInfo.h"
#include "BatchRunner.h"
#include "ServerCopy.h"
#include "BatchTransfers.h"
#include "RemoteEditFlow.h"
#include "ApplyConfiguration.h"
#include "DataRoot.h"
#include "ErrorLog.h"
#include "FramePacer.h"
#include "FtpCommandTables.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobQueuePane.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "Logger.h"
#include "LoginFailedDialog.h"
#include "ModFileExtension.h"
#include "ModListView.h"
#include "ModMinMax.h"
#include "ModNetConnection.h"
#include "ModProfile.h"
#include "ModStartup.h"
#include "ModTimeZone.h"
#include "OleColor.h"
#include "OptionFlags.h"
#include "ProgramIcon.h"
#include "PathHistory.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "SplitterShares.h"
#include "UserCommandList.h"
#include "WindowPlacement.h"
#include "frmConfigure.h"
#include "modSysTrayEx.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <set>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

QIcon letterIcon(const QColor &colour, const QString &letter)
{
    return LetterIcon(colour, letter, LetterIconShape::Square);
}

} // namespace

frmZAVUde::frmZAVUde(ModStartup *startup, std::array<EngineTimer *, 2> timers, QWidget *parent)
    : QMainWindow(parent), m_startup(startup)
{
    setObjectName(kObject);
    setWindowTitle(AppTitle());
    setWindowIcon(ProgramIcon());
    // A busy session changes the state line, the log and the status strips with every reply.
    new FramePacer(this);
    m_columnWidths = new ColumnWidthKeeper(this);
    m_placement = new WindowPlacement(this);
    buildImageLists();
    buildControls();
    m_slots = new ServerSlots(m_remote, *this, m_localHistory, this, this, timers);
    m_loginDialog = std::make_unique<LoginFailedDialog>(this);
    m_slots->setLoginFailedHandler(m_loginDialog.get());
    m_batch = new BatchTransfers(*m_slots, *m_local, this, this);
    wireTransfers();
    wireJobs();
    wireBatchRunner();
    wireEditFlow();
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = m_slots->Slot(i);
        slot->setLog(m_logs[static_cast<size_t>(i)]);
        connect(slot, &ServerSlot::remoteSelectionChanged, this, [this] { m_local->UpdateInButtons(); });
        // The log-in dialog runs inside the engine: the tray must not restore or end the program under it.
        connect(slot->FtpCmd(), &FtpCommander::NotifyModal, this, [this, i](bool &modal) {
            ModalHolders::Hold &hold = m_engineModal[static_cast<size_t>(i)];
            if (!modal)
                hold.Release();
            else if (!hold.Holding())
                hold = m_modal.Take();
        });
    }
    connect(m_slots, &ServerSlots::sessionStateChanged, this, &frmZAVUde::sessionStateChanged);
    connect(m_slots, &ServerSlots::profilesEdited, this, &frmZAVUde::BuildProfileMenus);
    connect(m_slots, &ServerSlots::localFolderWanted, this, [this](const QString &path) {
        m_local->LoadLocalFolders(path);
    });
    connect(m_slots, &ServerSlots::localHistoryReloaded, this, &frmZAVUde::rebuildFolderHistoryMenu);
    buildMenus();
    buildToolbar();
    Timer2.setInterval(kTimer2Ms);
    connect(&Timer2, &QTimer::timeout, this, &frmZAVUde::Timer2_Timer);
    connect(&modSysTrayEx::Program(), &modSysTrayEx::MouseMessage, this, &frmZAVUde::trayMouseMessage);
    buildTrayMenu();
    Form_Load();
}

frmZAVUde::~frmZAVUde()
{
    m_slots->setLoginFailedHandler(nullptr);
    // The job commands hold the batches' shared answers; as children they would
    // outlive the batches created before them, so they go first.
    delete m_jobCommands;
    m_jobCommands = nullptr;
    modSysTrayEx::Program().SetTrayMenu(this, kTrayIdentifier, nullptr);
    // Nothing the slots say while they go reaches this half-gone window.
    m_slots->disconnect(this);
    for (int i = 0; i < 2; ++i) {
        m_slots->Slot(i)->disconnect(this);
        m_slots->Slot(i)->FtpCmd()->disconnect(this);
    }
    // The panes draw their rows with this window's icon lists, which go before the
    // base class would delete the panes: the panes go first.
    delete takeCentralWidget();
    if (!m_closing) {
        // Destroyed without a close (tests, start-up failures): still free what others could see.
        modSysTrayEx::Program().RemoveTrayIcon(this, kTrayIdentifier);
        ModMinMax::Program().UnhookMinMax(this);
    }
}

void frmZAVUde::buildImageLists()
{
    QStyle *s = style();
    m_images.Add(QStringLiteral("conf"), letterIcon(QColor(70, 110, 170), QStringLiteral("S")));
    m_images.Add(QStringLiteral("w"), s->standardIcon(QStyle::SP_MessageBoxWarning));
    m_images.Add(QStringLiteral("cmd"), letterIcon(QColor(120, 80, 160), QStringLiteral(">")));
    m_images.Add(QStringLiteral("profile"), s->standardIcon(QStyle::SP_DriveNetIcon));
    m_images.Add(QStringLiteral("quick"), letterIcon(QColor(40, 140, 80), QStringLiteral("Q")));
    m_images.Add(QStringLiteral("dual"), letterIcon(QColor(90, 90, 90), QStringLiteral("2")));
    m_images.Add(QStringLiteral("ftp"), s->standardIcon(QStyle::SP_DriveNetIcon));
    m_images.Add(QStringLiteral("open"), s->standardIcon(QStyle::SP_DialogOpenButton));
    m_images.Add(QStringLiteral("exl"), s->standardIcon(QStyle::SP_MessageBoxWarning));
    m_images.Add(QStringLiteral("slide_d"), s->standardIcon(QStyle::SP_ArrowDown));
    m_images.Add(QStringLiteral("srch"), s->standardIcon(QStyle::SP_FileDialogContentsView));
    m_images.Add(QStringLiteral("error"), s->standardIcon(QStyle::SP_MessageBoxCritical));
    m_images.Add(QStringLiteral("cmp"), letterIcon(QColor(180, 100, 30), QStringLiteral("=")));
    m_images.Add(QStringLiteral("dot"), QIcon());
    m_images.Add(QStringLiteral("arr_up"), s->standardIcon(QStyle::SP_ArrowUp));
    m_images.Add(QStringLiteral("arr_dn"), s->standardIcon(QStyle::SP_ArrowDown));
    // The panes' pictures share the file-type list: folders, drives, files without a type.
    m_fileIcons.Add(QStringLiteral("dir"), s->standardIcon(QStyle::SP_DirIcon));
    m_fileIcons.Add(QStringLiteral("donty"), s->standardIcon(QStyle::SP_FileIcon));
    m_fileIcons.Add(QStringLiteral("HDD"), s->standardIcon(QStyle::SP_DriveHDIcon));
    m_fileIcons.Add(QStringLiteral("CD"), s->standardIcon(QStyle::SP_DriveCDIcon));
    m_fileIcons.Add(QStringLiteral("FLP"), s->standardIcon(QStyle::SP_DriveFDIcon));
    m_fileIcons.Add(QStringLiteral("NET"), s->standardIcon(QStyle::SP_DriveNetIcon));
    m_fileIcons.Add(QStringLiteral("RAM"), s->standardIcon(QStyle::SP_DriveHDIcon));
    m_fileIcons.Add(QStringLiteral("UKN"), s->standardIcon(QStyle::SP_DriveHDIcon));
}

void frmZAVUde::buildControls()
{
    m_local = new LocalPane(m_fileIcons, this);
    m_local->setHost({
        [this](int slot, bool enabled) { SetInButtonState(slot, enabled); },
        [this](int slot, bool enabled) { SetOutButtonState(slot, enabled); },
        [this](int slot) {
            const RemotePane *pane = m_remote[static_cast<size_t>(slot & 1)];
            return pane && pane->RightView->selectionModel() && pane->RightView->selectionModel()->hasSelection();
        },
        [this](const QString &path) { markFolderHistory(path); },
        [this](int slot) { return ServerConnected(slot); },
        [this] { return m_dual; },
        [this] { return m_batch && m_batch->JobsAvailable(); },
        [this](int slot, bool immediate, bool asJobs) {
            if (m_batch)
                m_batch->HandleFileUploads(slot, immediate, asJobs);
        },
        [this](const QString &path) { AddToFolderHistory(path, false); },
        this,
    });
    for (int i = 0; i < 2; ++i) {
        m_remote[static_cast<size_t>(i)] = new RemotePane(i, m_fileIcons, this);
        m_logs[static_cast<size_t>(i)] = new LogPane(i, this);
        connect(m_logs[static_cast<size_t>(i)], &LogPane::BufferFull, this,
                [this, i](bool &clear) { FtpLogger_BufferFull(i, clear); });
    }
    const QMap<QString, QIcon> marks = {{QStringLiteral("dot"), QIcon()},
                                        {QStringLiteral("arr_up"), m_images.Picture(QStringLiteral("arr_up"))},
                                        {QStringLiteral("arr_dn"), m_images.Picture(QStringLiteral("arr_dn"))}};
    SetHeaderImageList(m_local->LeftView, marks);
    SetHeaderImageList(m_remote[0]->RightView, marks);
    SetHeaderImageList(m_remote[1]->RightView, marks);

    // Each log pane sits under its own server pane, so the two always share a width.
    splRemote = new QSplitter(Qt::Horizontal);
    splRemote->setObjectName(QStringLiteral("splRemote"));
    for (size_t i = 0; i < splServer.size(); ++i) {
        splServer[i] = new QSplitter(Qt::Vertical);
        splServer[i]->setObjectName(QStringLiteral("splServer") + QString::number(i));
        splServer[i]->addWidget(m_remote[i]);
        splServer[i]->addWidget(m_logs[i]->Widget());
        splServer[i]->setStretchFactor(0, 3);
        splServer[i]->setStretchFactor(1, 1);
        splRemote->addWidget(splServer[i]);
    }
    // The two log panes keep one height, whichever is dragged.
    for (size_t i = 0; i < splServer.size(); ++i) {
        QSplitter *other = splServer[1 - i];
        connect(splServer[i], &QSplitter::splitterMoved, other,
                [this, i, other] { other->setSizes(splServer[i]->sizes()); });
    }
    splPanes = new QSplitter(Qt::Horizontal, this);
    splPanes->setObjectName(QStringLiteral("splPanes"));
    splPanes->addWidget(m_local);
    splPanes->addWidget(buildTransferButtons());
    splPanes->addWidget(splRemote);
    splPanes->setCollapsible(1, false);
    splPanes->setStretchFactor(0, 1);
    splPanes->setStretchFactor(1, 0);
    splPanes->setStretchFactor(2, 1);
    // The job queue spans the window's width below the panes and their logs.
    buildJobQueue();
    splMain = new QSplitter(Qt::Vertical, this);
    splMain->setObjectName(QStringLiteral("splMain"));
    splMain->addWidget(splPanes);
    splMain->addWidget(m_jobs);
    splMain->setStretchFactor(0, 3);
    splMain->setStretchFactor(1, 1);
    setCentralWidget(splMain);

    m_remote[1]->hide();
    m_logs[1]->Widget()->hide();
    splServer[1]->hide();

    lblStatus = new ElidingLabel(QString(), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblNetwork = new QLabel(this);
    lblNetwork->setObjectName(QStringLiteral("lblNetwork"));
    statusBar()->setObjectName(QStringLiteral("SB"));
    statusBar()->addWidget(lblStatus, 1);
    statusBar()->addPermanentWidget(lblNetwork);
    resize(1000, 700);
}

void frmZAVUde::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *exit = file->addAction(tr("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &frmZAVUde::ExitProgram);

    QMenu *server = menuBar()->addMenu(tr("&Server"));
    server->setObjectName(QStringLiteral("mnuServer"));
    for (int i = 0; i < 2; ++i) {
        mnuProfile[i] = new QMenu(tr("Server %1 Profiles").arg(i + 1), this);
        mnuProfile[i]->setObjectName(i == 0 ? QStringLiteral("mnuProfile") : QStringLiteral("mnuProfile1"));
    }
    QAction *manager = server->addAction(tr("Profile Manager..."));
    connect(manager, &QAction::triggered, this, [this] { TB_ButtonClick(QStringLiteral("profile")); });
    QAction *quick = server->addAction(tr("Quick Connect..."));
    connect(quick, &QAction::triggered, this, [this] { TB_ButtonClick(QStringLiteral("quick")); });
    server->addMenu(mnuProfile[0]);
    server->addSeparator();
    for (int i = 0; i < 2; ++i) {
        QAction *disconnect = server->addAction(tr("Disconnect Server %1").arg(i + 1));
        disconnect->setObjectName(QStringLiteral("mnuDisconnect") + QString::number(i));
        connect(disconnect, &QAction::triggered, this, [this, i] { m_slots->Slot(i)->DisConnectFromFTP(); });
    }
    server->addSeparator();
    actShowDual = server->addAction(tr("Show second server"));
    actShowDual->setObjectName(QStringLiteral("mnuShowDual"));
    actShowDual->setCheckable(true);
    connect(actShowDual, &QAction::toggled, this, &frmZAVUde::ShowDual);

    // The menu bar's "&Local" menu offers the pop-up's commands and, after
    // them, the folder history and the drive list, which the pop-up leaves out.
    QMenu *local = mnuLocalBar = menuBar()->addMenu(tr("&Local"));
    local->setObjectName(QStringLiteral("mnuLocalBar"));
    local->addActions(m_local->mnuLocal->actions());
    connect(local, &QMenu::aboutToShow, m_local, &LocalPane::UpdateLocalMenu);
    local->addSeparator();
    mnuList = local->addMenu(tr("Folder History"));
    mnuList->setObjectName(QStringLiteral("mnuList"));
    QAction *drives = local->addAction(tr("Refresh Drives"));
    connect(drives, &QAction::triggered, this, [this] { m_local->LoadDrives(); });

    QMenu *tools = menuBar()->addMenu(tr("&Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    QAction *settings = tools->addAction(m_images.Picture(QStringLiteral("conf")), tr("Settings..."));
    connect(settings, &QAction::triggered, this, [this] { TB_ButtonClick(QStringLiteral("conf")); });
    QAction *commands = tools->addAction(m_images.Picture(QStringLiteral("cmd")), tr("Custom Commands..."));
    commands->setObjectName(QStringLiteral("mnuCustomCmds"));
    connect(commands, &QAction::triggered, this, &frmZAVUde::mnuCustomCmds_Click);
    QAction *search = tools->addAction(m_images.Picture(QStringLiteral("srch")), tr("Ftp Search"));
    search->setObjectName(QStringLiteral("mnuSearch"));
    connect(search, &QAction::triggered, this, [this] { TB_ButtonClick(QStringLiteral("srch")); });
    QAction *compare = tools->addAction(m_images.Picture(QStringLiteral("cmp")), tr("Folders Compare"));
    compare->setObjectName(QStringLiteral("mnuCompare"));
    connect(compare, &QAction::triggered, this, [this] { TB_ButtonClick(QStringLiteral("cmp")); });
    mnuDrvList = tools->addMenu(tr("FTP Driver"));
    mnuDrvList->setObjectName(QStringLiteral("mnuDrvList"));
}

void frmZAVUde::buildToolbar()
{
    TB = addToolBar(tr("Main"));
    TB->setObjectName(QStringLiteral("TB"));
    TB->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto add = [this](const QString &key, const QString &caption, const QString &picture) {
        QAction *action = TB->addAction(m_images.Picture(picture), caption);
        action->setObjectName(QStringLiteral("TB_") + key);
        action->setData(key);
        connect(action, &QAction::triggered, this, [this, key] { TB_ButtonClick(key); });
        return action;
    };
    QAction *profile = add(QStringLiteral("profile"), tr("Server 1"), QStringLiteral("profile"));
    profile->setMenu(mnuProfile[0]);
    QAction *profile1 = add(QStringLiteral("profile1"), tr("Server 2"), QStringLiteral("profile"));
    profile1->setMenu(mnuProfile[1]);
    profile1->setVisible(false);
    add(QStringLiteral("quick"), tr("Quick Connect"), QStringLiteral("quick"));
    TB->addSeparator();
    TB->addAction(actShowDual);
    actShowDual->setIcon(m_images.Picture(QStringLiteral("dual")));
    actShowDual->setData(QStringLiteral("dual"));
    TB->addSeparator();
    add(QStringLiteral("cmd"), tr("Custom Commands"), QStringLiteral("cmd"));
    add(QStringLiteral("srch"), tr("Search"), QStringLiteral("srch"))->setToolTip(tr("Ftp Search"));
    add(QStringLiteral("cmp"), tr("Compare"), QStringLiteral("cmp"))->setToolTip(tr("Folders Compare"));
    add(QStringLiteral("conf"), tr("Settings"), QStringLiteral("conf"));
    for (QAction *action : TB->actions()) {
        if (auto *button = qobject_cast<QToolButton *>(TB->widgetForAction(action)); button && action->menu())
            button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

QAction *frmZAVUde::ToolButton(const QString &key) const
{
    for (QAction *action : TB->actions()) {
        if (action->data().toString() == key)
            return action;
    }
    return nullptr;
}

ServerSlot *frmZAVUde::Slot(int slot) const { return m_slots->Slot(slot); }

void frmZAVUde::Form_Load()
{
    try {
        InitTimeZoneSettings();
        ModMinMax::Program().InitMinMaxInfo();
        ProfileFilePath = DefaultProfileFilePath();
        UserCommands().setFilePath(DataRoot::SystemFolder() + QStringLiteral("/UsrCmd.dat"));
        UserCommands().LoadUserCommands();
        applyFonts();
        LoadCmdDefinitions();
        m_localHistory.List = EmptyPathHistory();
        m_localHistory.Changed = false;
        if (!IsOptionOn(OptionFlag::FilterLocalHistoryByProfile))
            LoadLocalPathHistory(m_localHistory.List, QString(), true);
        ModMinMax::Program().SetWorkArea();
        if (m_startup)
            m_startup->MarkMainWindow(this);
        const ModMinMax::WorkAreaRect area = ModMinMax::Program().WorkArea();
        ModMinMax::Program().HookMinMax(this, 500, 500, TwipsToPixels(area.right), TwipsToPixels(area.bottom));

        // Program folders below the data root.
        QDir().mkpath(DataRoot::JobsFolder());
        QDir().mkpath(DataRoot::TmpFolder());
        loadJobsAtStartup();

        restoreLayout();
        if (IsOptionOn(OptionFlag::DualConnectionMode))
            ShowDual(true);
        BuildProfileMenus();
        BuildDriverMenu();
        BuildCustomCommandMenu();
        rebuildFolderHistoryMenu();

        m_local->LoadDrives();
        const std::unique_ptr<QSettings> settings = OpenSettingsStore();
        QString localPath = settings->value(QStringLiteral("LV-Path")).toString();
        if (localPath.isEmpty() || !QFileInfo(localPath).isDir())
            localPath = QDir::homePath();
        m_local->LoadLocalFolders(localPath);
        showSlotState();
        Timer2.start();
        m_loaded = true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Load"));
    }
}

void frmZAVUde::wireEditFlow()
{
    m_editFlow = new RemoteEditFlow(*m_slots, this, this);
    m_editFlow->setEditorPicture(m_images.Picture(QStringLiteral("ftp")));
    m_editFlow->setJobIntake(m_jobs);
    // Any immediate batch holds the browsing connections.
    m_slots->setSlotBusyCheck([this](int) { return m_batch && m_batch->BatchRunning(); });
    m_editFlow->setBatchRunningCheck(
        [this] { return m_batch && (m_batch->UploadIndex >= 0 || m_batch->TransferIndex >= 0); });
    m_editFlow->setWalkActiveCheck([this](int slot) { return m_runner && m_runner->WalkActive(slot); });
    // A copy handed to a job that has now sent it matches the server again.
    connect(&m_jobCommands->Dispatcher(), &JobDispatcher::jobCompleted, m_editFlow, &RemoteEditFlow::JobCompleted);
}

void frmZAVUde::applyFonts()
{
    const ConfiguredFonts fonts = ApplyConfiguration();
    if (m_slots)
        m_slots->BuildHandlerMenus(ConfiguredFileHandlers());
    if (const auto &logFont = fonts[static_cast<size_t>(FontSlot::FtpLogs)]) {
        for (LogPane *pane : m_logs)
            pane->SetFont(*logFont);
    }
    if (const auto &listFont = fonts[static_cast<size_t>(FontSlot::FolderListing)]) {
        m_local->LeftView->setFont(*listFont);
        for (RemotePane *pane : m_remote)
            pane->RightView->setFont(*listFont);
    }
    if (const auto &jobFont = fonts[static_cast<size_t>(FontSlot::JobListing)])
        m_jobs->LVJob->setFont(*jobFont);
    if (const auto &infoFont = fonts[static_cast<size_t>(FontSlot::JobLogging)])
        m_jobs->txtJobInfo->setFont(*infoFont);
}

void frmZAVUde::ShowQor()
{
    try {
        if (IsOptionOn(OptionFlag::StartMinimised))
            showMinimized();
        else
            show();
        modSysTrayEx::Program().AddTrayIcon(this, kTrayIdentifier, AppTitle());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ShowQor"));
    }
}

void frmZAVUde::ShowInfo(int &iconKind, const QString &title, const QString &text)
{
    try {
        if (IsOptionOn(OptionFlag::ShowInfoInTray))
            modSysTrayEx::Program().ShowTrayBalloon(iconKind, this, kTrayIdentifier, title, text);
    } catch (...) {
        // A balloon is a courtesy: failures are ignored.
    }
}

void frmZAVUde::LoadTasks(const QString &path)
{
    m_jobs->LoadTasks(path);
}

bool frmZAVUde::ServerConnected(int slot) const { return m_slots && m_slots->ServerConnected(slot); }

bool frmZAVUde::IsAnySessionActive() const
{
    return (m_slots && m_slots->IsAnySessionActive())
           || (m_jobCommands && m_jobCommands->Dispatcher().AnySessionActive());
}

void frmZAVUde::ShowDual(bool shown)
{
    const bool opening = shown && splServer[1]->isHidden();
    m_dual = shown;
    splServer[1]->setVisible(shown);
    if (opening) {
        // Left to itself the splitter gives the pane whatever width it kept
        // for it, a stored narrow one included: both servers share the room,
        // also once the window has grown.
        SetSplitterShares(splRemote, {1, 1});
    }
    m_remote[1]->setVisible(shown);
    m_logs[1]->Widget()->setVisible(shown);
    if (QAction *profile1 = ToolButton(QStringLiteral("profile1")))
        profile1->setVisible(shown);
    if (actShowDual->isChecked() != shown)
        actShowDual->setChecked(shown);
    if (!shown)
        m_slots->SetCurrentSlot(0);
    if (CmdToFTP[0])
        updateTransferButtons();
}

void frmZAVUde::sessionStateChanged(int slot, bool active)
{
    Q_UNUSED(slot);
    Q_UNUSED(active);
    showSlotState();
    updateTransferButtons();
}

void frmZAVUde::showSlotState()
{
    QStringList parts;
    for (int i = 0; i < (m_dual ? 2 : 1); ++i) {
        const ServerSlot *slot = m_slots->Slot(i);
        QString text = tr("Server %1: ").arg(i + 1);
        if (!slot->HasProfile())
            text += tr("no profile");
        else
            text += slot->SlotProfile().ProfileName.trimmed()
                  + (slot->SessionActive() ? tr(" (connected)") : tr(" (not connected)"));
        parts << text;
    }
    lblStatus->setText(parts.join(QStringLiteral("   ")));
    for (int i = 0; i < 2; ++i) {
        // Only a session that is open or opening can be ended.
        if (QAction *disconnect = findChild<QAction *>(QStringLiteral("mnuDisconnect") + QString::number(i))) {
            const ServerSlot *slot = m_slots->Slot(i);
            disconnect->setEnabled(slot->SessionActive() || slot->IsBusy());
        }
    }
}

void frmZAVUde::Timer2_Timer()
{
    try {
        m_local->WarmUpTick();
        QString connection;
        const bool online = IsNetConnected(connection);
        lblNetwork->setText(online ? tr("Online") : tr("Offline"));
        if (m_jobCommands)
            m_jobCommands->Dispatcher().setNetworkAvailable(online);
        offerPendingJobs();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer2_Timer"));
    }
}

void frmZAVUde::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        m_local->WarmUpOnActivation();
        m_local->PreloadFileTypeIcons(DataRoot::SystemFolder() + QStringLiteral("/File Ext"));
    }
}

void frmZAVUde::trayMouseMessage(QWidget *window, int identifier, int message)
{
    if (window != this || identifier != kTrayIdentifier || m_modal.IsSet())
        return;
    if (message == modSysTrayEx::LeftButtonUp || message == modSysTrayEx::LeftButtonDoubleClick) {
        restoreFromTray();
    }
    // A right click opens mnuTray, which the icon shows itself.
}

void frmZAVUde::buildTrayMenu()
{
    // Shown by the icon without a nested event loop; its choices run queued, once
    // the icon's and the menu's own handlers have returned, because Exit deletes the icon.
    mnuTray = new QMenu(this);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));
    QAction *show = mnuTray->addAction(tr("Show Ftp Qor"));
    QAction *exit = mnuTray->addAction(tr("Exit"));
    connect(show, &QAction::triggered, this, [this] {
        if (!m_modal.IsSet())
            restoreFromTray();
    }, Qt::QueuedConnection);
    connect(exit, &QAction::triggered, this, [this] {
        if (!m_modal.IsSet())
            ExitProgram();
    }, Qt::QueuedConnection);
    // The log-in dialog runs inside the engine: the tray must not restore or end the program under it.
    connect(mnuTray, &QMenu::aboutToShow, this, [this, show, exit] {
        show->setEnabled(!m_modal.IsSet());
        exit->setEnabled(!m_modal.IsSet());
    });
    modSysTrayEx::Program().SetTrayMenu(this, kTrayIdentifier, mnuTray);
}

void frmZAVUde::restoreFromTray()
{
    // Back as it was before it was hidden or minimised: a maximised window stays maximised.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmZAVUde::ExitProgram()
{
    // A close under way (its question up, or waiting for a server copy's
    // target) ends the program itself; ending it now would cut that short.
    if (m_closeAsking)
        return;
    m_exitRequested = true;
    const bool closed = close();
    m_exitRequested = false;
    // A window hidden in the notification area is no visible window whose close ends the program.
    if (closed)
        QCoreApplication::quit();
}

void frmZAVUde::closeEvent(QCloseEvent *event)
{
    try {
        if (m_closing) {
            event->accept();
            return;
        }
        if (!m_exitRequested && IsOptionOn(OptionFlag::MinimiseOnClose)) {
            // Hidden only where the tray icon can bring the window back; else to the task bar.
            if (modSysTrayEx::Program().CanHideToTray(this, kTrayIdentifier))
                hide();
            else
                showMinimized();
            event->ignore();
            return;
        }
        m_closeAsking = true;
        const auto asked = qScopeGuard([this] { m_closeAsking = false; });
        if (!Form_QueryUnload()) {
            event->ignore();
            return;
        }
        event->accept();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_QueryUnload"));
        event->accept();
    }
}

QString frmZAVUde::exitQuestion() const
{
    // A running server copy adds what stopping it leaves on its target.
    const QString copy = m_runner ? m_runner->Copy().ExitNotice() : QString();
    return copy.isEmpty() ? connectedQuestion() : connectedQuestion() + QStringLiteral("\r\n\r\n") + copy;
}

QString frmZAVUde::connectedQuestion() const
{
    int running = 0;
    for (int i = 0; i < JobDispatcher::kConnections; ++i) {
        if (m_jobCommands->Dispatcher().LinkedJob(i))
            ++running;
    }
    if (running == 0)
        return QStringLiteral("You are connected to a server. Disconnect and exit Ftp Qor?");
    // Whoever answers Yes should know that transfers are cut off, and that
    // the save question (or the auto-save options) decides what comes back.
    const QString jobs = running == 1
                             ? QStringLiteral("1 job is still running. Exiting stops it (it can be saved as a pending job).")
                             : QStringLiteral("%1 jobs are still running. Exiting stops them (they can be saved as "
                                              "pending jobs).").arg(running);
    return QStringLiteral("You are connected to a server and ") + jobs
           + QStringLiteral("\r\n\r\nDisconnect and exit Ftp Qor?");
}

bool frmZAVUde::Form_QueryUnload()
{
    // Every question first (job connections count as connected); a No stops nothing.
    if (IsAnySessionActive()) {
        const PromptButton answer =
            ShowMessage(this, PromptIcon::Question, PromptButtons::YesNo, AppTitle(), exitQuestion());
        if (answer != PromptButton::Yes)
            return false;
    }
    // An editor with unsent changes may keep the program open.
    if (m_editFlow && !m_editFlow->ConfirmCloseEditors())
        return false;
    for (const auto &question : m_closeQuestions) {
        if (question && !question())
            return false;
    }
    // The tool windows ask their own questions (a search or comparison still
    // running) before any of them is closed, so a No leaves every one as it was.
    for (auto &[key, window] : m_toolWindows) {
        bool agreed = true;
        if (window && QMetaObject::invokeMethod(window, "AskToClose", Qt::DirectConnection, Q_RETURN_ARG(bool, agreed)) &&
            !agreed)
            return false;
    }
    for (auto &[key, window] : m_toolWindows) {
        if (!window)
            continue;
        if (QMetaObject::invokeMethod(window, "CloseAsAgreed", Qt::DirectConnection))
            continue;
        if (!window->close())
            return false;
    }
    m_closing = true;
    Timer1.stop();
    Timer2.stop();
    // A batch has a session, so the question above covered it: it ends
    // without its message. A server copy is stopped as the question said.
    if (m_runner) {
        m_runner->Copy().StopForExit();
        m_runner->EndQuietly();
    }
    // Running jobs stop as "Stop" stops them; the queue is saved (or asked
    // about) before anything is disconnected. The close, not the user, stopped
    // them: they are saved as pending jobs that can be resumed.
    std::set<const FtpTask *> stoppedByClose;
    for (int i = 0; i < JobDispatcher::kConnections; ++i) {
        const FtpTaskCollection::Job job = m_jobCommands->Dispatcher().LinkedJob(i);
        // A job the user stopped may still wait for its server's answers: it stays stopped.
        const bool stoppedBefore = job && job->Status() == 3;
        m_jobCommands->Dispatcher().StopRunningJob(i);
        if (job && !stoppedBefore && !m_jobCommands->Dispatcher().LinkedJob(i) && job->Status() == 3)
            stoppedByClose.insert(job.get());
    }
    // Saved pending or failed jobs decide the start with the session.
    const bool pendingJobs = m_jobs->SaveQueue(m_jobs->TasksFile, true, false, stoppedByClose);
    // After the jobs are saved and before the sessions end: copies a job
    // still has to send stay.
    if (m_editFlow) {
        m_editFlow->CloseEditors();
        m_editFlow->DeleteTempFiles();
    }
    for (const auto &step : m_closeSteps) {
        if (step)
            step();
    }
    for (int i = 0; i < 2; ++i) {
        ServerSlot *slot = m_slots->Slot(i);
        if (slot->SessionActive())
            slot->DisConnectFromFTP();
        else
            slot->SaveRemoteHistory();
    }
    if (m_localHistory.Changed) {
        const ServerSlot *first = m_slots->Slot(0);
        SaveLocalPathHistory(first->HasProfile() ? first->SlotProfile().ProfileName : QString(), m_localHistory.List);
        m_localHistory.Changed = false;
    }
    RootKeyFlags user;
    user.currentUser = true;
    if (IsOptionOn(OptionFlag::StartOnSystemStartupWithPendingJobs) && pendingJobs)
        SetRegString(RunKeyPath(), RunValueName(), QuotedProgramPath(), user);
    else
        DeleteRegValue(RunKeyPath(), RunValueName(), user);
    saveLayout();
    modSysTrayEx::Program().RemoveTrayIcon(this, kTrayIdentifier);
    ModMinMax::Program().UnhookMinMax(this);
    if (m_startup)
        m_startup->ReleaseInstanceLock();
    return true;
}

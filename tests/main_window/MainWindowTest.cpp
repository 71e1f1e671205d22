#include "frmZAVUde.h"

#include "DataRoot.h"
#include "FrmProfile.h"
#include "FtpCommander.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "Logger.h"
#include "ModFileExtension.h"
#include "ModListView.h"
#include "ModProfile.h"
#include "ModStartup.h"
#include "OleColor.h"
#include "OptionFlags.h"
#include "PathHistory.h"
#include "ProgramIcon.h"
#include "ProfileRecordFile.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "SettingsFile.h"
#include "FileHandlerCollection.h"
#include "ServerSlot.h"
#include "UserCommandList.h"
#include "ServerProfile.h"
#include "WhenModal.h"
#include "frmLogin.h"
#include "frmQuickCon.h"
#include "modSysTrayEx.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

void storeProfiles(const QList<CProfile> &profiles)
{
    QDir().mkpath(DataRoot::SystemFolder());
    QFile::remove(DefaultProfileFilePath()); // records of an earlier test in this process must not stay
    const ProfileRecordFile file(DefaultProfileFilePath());
    file.ensureExists();
    for (int i = 0; i < profiles.size(); ++i)
        file.writeRecord(i + 1, ProfileRecordFile::EncodeRecord(profiles[i]));
}

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    return texts;
}

QStringList shownNames(const RemotePane *pane)
{
    QStringList names;
    for (int i = 0; i < pane->Model->size(); ++i)
        names << pane->Model->row(i).Text;
    return names;
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace

TEST(MainWindow, StartsOnAnEmptyDataRootWithTheHomeFolderAndOneServerPane)
{
    frmZAVUde window;
    EXPECT_EQ(window.Local()->CurrentPath(), QDir::homePath());
    EXPECT_TRUE(QFileInfo(DataRoot::JobsFolder()).isDir());
    EXPECT_TRUE(QFileInfo(DataRoot::TmpFolder()).isDir());
    EXPECT_EQ(ProfileFilePath, DataRoot::SystemFolder() + "/ProfileEx.dat");
    EXPECT_EQ(menuTexts(window.mnuProfile[0]), QStringList({"<No Profile Available>"}));
    EXPECT_EQ(menuTexts(window.mnuDrvList), QStringList({"Default"}));
    EXPECT_TRUE(window.mnuDrvList->actions().first()->isChecked());
    for (const QString key : {"conf", "profile", "profile1", "quick", "dual"})
        EXPECT_NE(window.ToolButton(key), nullptr) << key.toStdString();
    window.show();
    EXPECT_FALSE(window.SecondPaneShown());
    EXPECT_FALSE(window.Remote(1)->isVisible());
    EXPECT_FALSE(window.ToolButton("profile1")->isVisible());
    EXPECT_FALSE(window.IsAnySessionActive());

    window.actShowDual->trigger();
    EXPECT_TRUE(window.SecondPaneShown());
    EXPECT_TRUE(window.Remote(1)->isVisible());
    EXPECT_TRUE(window.FtpLogger(1)->Widget()->isVisible());
    EXPECT_TRUE(window.ToolButton("profile1")->isVisible());
}

TEST(MainWindow, StartsFromAPreparedDataRoot)
{
    QTemporaryDir local;
    QDir(local.path()).mkpath("inside");
    CProfile first;
    first.ProfileName = "First";
    first.Server = "ftp.one.invalid";
    CProfile blank;
    CProfile third;
    third.ProfileName = "Third";
    third.Server = "ftp.three.invalid";
    storeProfiles({first, blank, third});
    PathHistoryList history = {{QString(), local.path().toUpper()}, {QString(), "/elsewhere"}};
    SaveLocalPathHistory(QString(), history);
    {
        auto settings = frmZAVUde::OpenSettingsStore();
        settings->setValue("LV-Path", local.path());
        settings->setValue("UI", QVariantMap{{"Dual", true}});
        settings->setValue("LV-Sort", "0,0||");
    }

    frmZAVUde window;
    EXPECT_EQ(window.Local()->CurrentPath(), local.path());
    EXPECT_TRUE(window.SecondPaneShown());
    EXPECT_TRUE(window.actShowDual->isChecked());
    EXPECT_EQ(window.Local()->LeftView->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(HeaderIconKey(window.Local()->LeftView, 0), "arr_dn");
    // A blank profile is left out of the menu; the others keep their record numbers.
    const QList<QAction *> profiles = window.mnuProfile[1]->actions();
    ASSERT_EQ(profiles.size(), 2);
    EXPECT_EQ(profiles[0]->text(), "First");
    EXPECT_EQ(profiles[1]->text(), "Third");
    EXPECT_EQ(profiles[1]->data().toString(), "P3");
    profiles[1]->trigger();
    ASSERT_TRUE(window.Slot(1)->HasProfile());
    EXPECT_EQ(window.Slot(1)->SlotProfile().Server, "ftp.three.invalid");
    // The local history menu lists the stored folders and checks the one shown.
    QAction *shown = nullptr;
    for (QAction *item : window.mnuList->actions()) {
        if (item->text() == local.path().toUpper()) // letter case aside, the folder shown
            shown = item;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isChecked());
    EXPECT_TRUE(menuTexts(window.mnuList).contains("/elsewhere"));
}

TEST(MainWindow, ClosingSavesLayoutAndHistoriesAndReleasesTheLock)
{
    QTemporaryDir runtime;
    QTemporaryDir local;
    ModStartup startup(runtime.path());
    ASSERT_TRUE(startup.IsFirstInstance(ModStartup::MutexName()));
    RootKeyFlags user;
    user.currentUser = true;
    ASSERT_TRUE(SetRegString(RunKeyPath(), RunValueName(), QuotedProgramPath(), user));
    {
        frmZAVUde window(&startup);
        EXPECT_TRUE(startup.IsMainWindowMarked());
        window.ShowQor();
        window.ShowDual(true);
        ASSERT_TRUE(window.Local()->LoadLocalFolders(local.path()));
        HandleLVSort(window.Local()->LeftView, 1);
        window.AddToFolderHistory(local.path());
        EXPECT_TRUE(window.close());
        EXPECT_FALSE(modSysTrayEx::Program().HasTrayIcon(&window, frmZAVUde::kTrayIdentifier));
    }
    auto settings = frmZAVUde::OpenSettingsStore();
    EXPECT_EQ(settings->value("LV-Path").toString(), local.path());
    EXPECT_TRUE(settings->value("UI").toMap().value("Dual").toBool());
    EXPECT_TRUE(settings->value("LV-Sort").toString().startsWith("1,1|"));
    EXPECT_EQ(settings->value("LV").toString().count('|'), 3); // local, two remote lists, the job list

    PathHistoryList saved = EmptyPathHistory();
    LoadLocalPathHistory(saved, QString(), true);
    QStringList savedPaths;
    for (const PathHistoryEntry &entry : saved)
        savedPaths << entry.Path;
    EXPECT_TRUE(savedPaths.contains(local.path()));

    // No pending jobs: the start with the session is taken away.
    EXPECT_EQ(GetRegString(RunKeyPath(), RunValueName(), user), QString());

    ModStartup next(runtime.path());
    EXPECT_TRUE(next.IsFirstInstance(ModStartup::MutexName()));
    next.ReleaseInstanceLock();
}

TEST(MainWindow, ConnectsThroughTheProfileEditorAndAsksBeforeClosingAConnection)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("docs/manual.txt", QByteArray(4096, 'm')));
    ASSERT_TRUE(server.writeFile("notes.txt", "n"));
    storeProfiles({ServerProfile(server, "Local test")});

    frmZAVUde window;
    window.ShowQor();
    SetOptionFlag(OptionFlag::ManageFtpFolderHistory, true);
    WhenModal<FrmProfile>([](FrmProfile &editor) {
        editor.findChild<QListWidget *>("List1")->setCurrentRow(0);
        editor.findChild<QPushButton *>("CmdConn")->click();
    });
    window.ToolButton("profile")->trigger();
    RemotePane *pane = window.Remote(0);
    ASSERT_TRUE(waitUntil([&] { return shownNames(pane) == QStringList({"docs", "notes.txt"}); }));
    EXPECT_TRUE(window.ServerConnected(0));
    EXPECT_TRUE(window.lblStatus->text().contains("Local test (connected)"));

    // The log pane shows the dialogue.
    LogPane *log = window.FtpLogger(0);
    QStringList lines;
    for (int i = 1; i <= log->GetCount(); ++i)
        lines << log->getLog(i);
    EXPECT_TRUE(lines.join('\n').contains("230 Login successful."));
    EXPECT_TRUE(lines.join('\n').contains("LIST"));

    for (int r = 0; r < pane->Model->size(); ++r) {
        if (pane->Model->row(r).Text == "docs")
            emit pane->RightView->activated(pane->Model->index(r, 0));
    }
    ASSERT_TRUE(waitUntil([&] { return shownNames(pane) == QStringList({"manual.txt"}); }));
    window.resize(1100, 700);
    QTest::qWait(20);
    // Kept for a look by eye, outside the source tree.
    EXPECT_TRUE(window.grab().save(QDir::temp().filePath("main_window_connected.png")));

    ScriptedPrompts prompts;
    prompts.expectMessage("You are connected to a server", PromptButton::No);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.ServerConnected(0));
    prompts.expectMessage("You are connected to a server", PromptButton::Yes);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.ServerConnected(0));
    EXPECT_TRUE(prompts.allUsed());
    // No job runs: the question speaks of the connection only.
    EXPECT_EQ(prompts.messageTexts().last().toStdString(), "You are connected to a server. Disconnect and exit Ftp Qor?");
    PathHistoryList remote = EmptyPathHistory();
    LoadRemotePathHistory("Local test", remote);
    QStringList remoteFolders;
    for (const PathHistoryEntry &entry : remote)
        remoteFolders << entry.Path;
    EXPECT_EQ(remoteFolders, QStringList({"/", "/docs"}));
    SetOptionFlag(OptionFlag::ManageFtpFolderHistory, false);
}

TEST(MainWindow, QuickConnectLogsInAnonymouslyOnTheChosenHost)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("pub.txt", "p"));
    frmZAVUde window;
    window.ShowDual(false); // an earlier test in this process may have left the second server shown
    const QString host = server.host() + ":" + QString::number(server.port());

    // A cancelled quick connect changes nothing.
    WhenModal<frmQuickCon>([](frmQuickCon &dialog) { dialog.findChild<QPushButton *>("CmdCnc")->click(); });
    window.TB_ButtonClick("quick");
    EXPECT_FALSE(window.ServerConnected(0));
    EXPECT_FALSE(window.Slot(0)->IsBusy());

    WhenModal<frmQuickCon>([host](frmQuickCon &dialog) {
        dialog.findChild<QComboBox *>("Combo1")->setEditText(host);
        dialog.findChild<QPushButton *>("CmdUpd")->click();
    });
    window.TB_ButtonClick("quick");
    ASSERT_TRUE(waitUntil([&] { return shownNames(window.Remote(0)) == QStringList({"pub.txt"}); }));
    EXPECT_EQ(window.Slot(0)->SlotProfile().ProfileName, "{Quick Connect -" + host + "}");
    EXPECT_EQ(window.Slot(0)->FtpCmd()->User(), "anonymous");

    // A connected server keeps its session: the user is told so, no dialog is left to fill in for nothing.
    {
        bool dialogShown = false;
        QTimer guard; // cancels a dialog that should not have opened, so the test cannot hang
        guard.setInterval(10);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<frmQuickCon *>(QApplication::activeModalWidget())) {
                dialogShown = true;
                dialog->done(QDialog::Rejected);
            }
        });
        guard.start();
        ScriptedPrompts prompts;
        prompts.expectMessage("Server 1 is connected", PromptButton::Ok);
        window.TB_ButtonClick("quick");
        EXPECT_FALSE(dialogShown);
        EXPECT_TRUE(prompts.allUsed());
    }
    storeProfiles({ServerProfile(server, "Stored")});
    window.BuildProfileMenus();
    {
        ScriptedPrompts prompts;
        prompts.expectMessage("Server 1 is connected", PromptButton::Ok);
        window.mnuProfile[0]->actions().at(0)->trigger();
        EXPECT_TRUE(prompts.allUsed());
    }
    EXPECT_TRUE(window.ServerConnected(0));
    EXPECT_EQ(window.Slot(0)->SlotProfile().ProfileName, "{Quick Connect -" + host + "}");

    // Both servers shown, the one used last connected: the free one is used.
    window.ShowDual(true);
    WhenModal<frmQuickCon>([host](frmQuickCon &dialog) {
        dialog.findChild<QComboBox *>("Combo1")->setEditText(host);
        dialog.findChild<QPushButton *>("CmdUpd")->click();
    });
    window.TB_ButtonClick("quick");
    ASSERT_TRUE(waitUntil([&] { return shownNames(window.Remote(1)) == QStringList({"pub.txt"}); }));
    EXPECT_TRUE(window.ServerConnected(0));
    window.Slot(1)->DisConnectFromFTP();
    window.Slot(0)->DisConnectFromFTP();
}

TEST(MainWindow, TwoServersSideBySideInDualMode)
{
    PyFtpServer first;
    PyFtpServer second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(first.writeFile("left.txt", "l"));
    ASSERT_TRUE(second.writeFile("right.txt", "r"));
    storeProfiles({ServerProfile(first, "Left"), ServerProfile(second, "Right")});
    frmZAVUde window;
    window.ShowDual(true);
    window.mnuProfile[0]->actions().at(0)->trigger();
    window.mnuProfile[1]->actions().at(1)->trigger();
    ASSERT_TRUE(waitUntil([&] {
        return shownNames(window.Remote(0)) == QStringList({"left.txt"})
            && shownNames(window.Remote(1)) == QStringList({"right.txt"});
    }));
    EXPECT_TRUE(window.ServerConnected(0));
    EXPECT_TRUE(window.ServerConnected(1));
    EXPECT_GT(window.FtpLogger(1)->GetCount(), 0);
    QAction *disconnectSecond = window.findChild<QAction *>("mnuDisconnect1");
    ASSERT_NE(disconnectSecond, nullptr);
    EXPECT_TRUE(disconnectSecond->isEnabled());
    disconnectSecond->trigger();
    EXPECT_FALSE(window.ServerConnected(1));
    EXPECT_FALSE(disconnectSecond->isEnabled());
    EXPECT_TRUE(window.findChild<QAction *>("mnuDisconnect0")->isEnabled());
    EXPECT_TRUE(window.IsAnySessionActive());
    window.Slot(0)->DisConnectFromFTP();
    EXPECT_FALSE(window.IsAnySessionActive());
}

TEST(MainWindow, DriverMenuReportsAMissingDriverFile)
{
    const QString driver = DataRoot::FileInRoot("Custom.frc");
    QFile file(driver);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    frmZAVUde window;
    ASSERT_EQ(menuTexts(window.mnuDrvList), QStringList({"Default", "Custom"}));
    QFile::remove(driver);
    ScriptedPrompts prompts;
    prompts.expectMessage("The driver file 'Custom.frc' is missing!", PromptButton::Ok);
    window.mnuDrvList_Click(1);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(window.mnuDrvList->actions().at(0)->isChecked());
    EXPECT_FALSE(window.mnuDrvList->actions().at(1)->isChecked());
    // The item already checked does nothing, and stays checked.
    window.mnuDrvList->actions().at(0)->trigger();
    EXPECT_TRUE(window.mnuDrvList->actions().at(0)->isChecked());
}

TEST(MainWindow, AFullLogPaneIsSavedWhenAskedAndAlwaysCleared)
{
    frmZAVUde window;
    window.FtpLogger(0)->AddLog("first line", 0, 0);
    bool clear = false;
    window.FtpLogger_BufferFull(0, clear);
    EXPECT_TRUE(clear);
    EXPECT_FALSE(QFile::exists(DataRoot::FileInRoot("FtpCmdLog.txt")));

    SetOptionFlag(OptionFlag::SaveLogsBeforeRemoving, true);
    clear = false;
    window.FtpLogger_BufferFull(0, clear);
    SetOptionFlag(OptionFlag::SaveLogsBeforeRemoving, false);
    EXPECT_TRUE(clear);
    QFile dump(DataRoot::FileInRoot("FtpCmdLog.txt"));
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    const QByteArray text = dump.readAll();
    EXPECT_TRUE(text.startsWith("Saved By Logger On: "));
    EXPECT_TRUE(text.contains("first line|0,0\r\n"));
}

TEST(MainWindow, RunsAUserCommandFromTheRemoteMenuAndListsTheFolderAgain)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("junk.tmp", "j"));
    ASSERT_TRUE(server.writeFile("keep.txt", "k"));
    {
        UserCommandList commands(DataRoot::SystemFolder() + "/UsrCmd.dat");
        commands.reset();
        UserCommand remove;
        remove.Name = "Delete file";
        remove.CommandText = "DELE";
        remove.Argument = "$file";
        remove.SuccessCode = "250";
        remove.FailureCode = "550";
        remove.HasArgument = 1;
        remove.Reload = 1;
        commands[0] = remove;
        ASSERT_TRUE(commands.SaveUserCommand(-1));
    }
    storeProfiles({ServerProfile(server, "Commands")});
    frmZAVUde window;
    RemotePane *pane = window.Remote(0);
    const QList<QAction *> items = pane->mnuCustomCmd->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), "Delete file");
    EXPECT_NE(window.ToolButton("cmd"), nullptr);

    window.mnuProfile[0]->actions().at(0)->trigger();
    ASSERT_TRUE(waitUntil([&] { return shownNames(pane) == QStringList({"junk.tmp", "keep.txt"}); }));

    // Without a selection the command is refused before anything is sent.
    ScriptedPrompts prompts;
    prompts.expectMessage("Command 'Delete file' requires a file to be selected!", PromptButton::Ok);
    pane->mnuCustomCmd->actions().at(0)->trigger();
    EXPECT_TRUE(prompts.allUsed());

    pane->RightView->selectionModel()->select(pane->Model->index(0, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    pane->mnuCustomCmd->actions().at(0)->trigger();
    ASSERT_TRUE(waitUntil([&] { return shownNames(pane) == QStringList({"keep.txt"}); }));
    EXPECT_FALSE(server.exists("junk.tmp"));
    window.Slot(0)->DisConnectFromFTP();
}

TEST(MainWindow, LogPanesKeepTheirPropertySetWithTheLayout)
{
    {
        frmZAVUde window;
        Logger *pane = window.FtpLogger(0)->Widget();
        EXPECT_EQ(pane->BackColor(), OleColors::WindowBackground);
        EXPECT_EQ(pane->SelectionColor(), 0xD8BFD8u);
        EXPECT_EQ(pane->Font().family(), "Courier New");
        EXPECT_DOUBLE_EQ(pane->Font().pointSizeF(), 8.25);
        EXPECT_EQ(window.FtpLogger(1)->Widget()->BackColor(), OleColors::WindowBackground);
        QFont bigger = pane->Font();
        bigger.setPointSizeF(11);
        window.FtpLogger(0)->SetFont(bigger);
        pane->SetSelectionColor(0x00FF00);
        EXPECT_TRUE(window.close());
    }
    frmZAVUde again;
    EXPECT_DOUBLE_EQ(again.FtpLogger(0)->Widget()->Font().pointSizeF(), 11);
    EXPECT_EQ(again.FtpLogger(0)->Widget()->SelectionColor(), 0x00FF00u);
    EXPECT_EQ(again.FtpLogger(0)->Widget()->BackColor(), OleColors::WindowBackground);
    EXPECT_DOUBLE_EQ(again.FtpLogger(1)->Widget()->Font().pointSizeF(), 8.25);
}

TEST(MainWindow, TheWindowShowsTheProgramsIcon)
{
    frmZAVUde window;
    EXPECT_TRUE(window.windowIcon().pixmap(32).toImage() == ProgramIcon().pixmap(32).toImage());
    EXPECT_FALSE(ProgramIcon().pixmap(16).isNull());
}

TEST(MainWindow, TheLocalPopUpShowsItsOwnItemsAndTheMenuBarAddsHistoryAndDrives)
{
    frmZAVUde window;
    window.ShowDual(false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QStringList remembered;
    for (QAction *item : window.mnuList->actions()) {
        if (item->data().toString() == "history")
            remembered << item->text();
    }
    for (const QString &path : remembered)
        window.AddToFolderHistory(path, true);

    // A right click on the local list.
    QWidget *viewport = window.Local()->LeftView->viewport();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(viewport, &click);
    QMenu *popup = window.Local()->mnuLocal;
    ASSERT_TRUE(waitUntil([&] { return popup->isVisible(); }, 5000));
    QStringList shown;
    for (const QAction *action : popup->actions()) {
        if (action->isVisible() && !action->isSeparator())
            shown << action->text();
    }
    EXPECT_EQ(shown, QStringList({"Quick Upload...", "Add to Jobs...", "&Refresh"}));
    popup->hide();

    ASSERT_NE(window.mnuLocalBar, nullptr);
    EXPECT_TRUE(window.menuBar()->actions().contains(window.mnuLocalBar->menuAction()));
    EXPECT_EQ(window.mnuLocalBar->title(), "&Local");
    EXPECT_EQ(menuTexts(window.mnuLocalBar),
              QStringList({"Quick Upload...", "Add to Jobs...", "Quick Upload (Second Sever)...",
                           "Add to Jobs (Second Sever)...", "&Refresh", "Folder History", "Refresh Drives"}));

    // No folder remembered: the two commands stay, and the list says so.
    EXPECT_EQ(menuTexts(window.mnuList),
              QStringList({"Add Current Folder", "Remove Current Folder", "<Not Available>"}));
    EXPECT_FALSE(window.mnuList->actions().last()->isEnabled());
    window.mnuList->actions().first()->trigger();
    EXPECT_EQ(menuTexts(window.mnuList),
              QStringList({"Add Current Folder", "Remove Current Folder", window.Local()->CurrentPath()}));
    window.mnuList->actions().at(1)->trigger();
    EXPECT_EQ(menuTexts(window.mnuList).last(), "<Not Available>");
}

TEST(MainWindow, ALongStateTextLeavesThePanesWhereTheyAre)
{
    frmZAVUde window;
    window.ShowDual(false);
    window.resize(1000, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int paneWidth = window.Remote(0)->width();
    const QString longState = "Opening /" + QString("a-rather-long-folder-name/").repeated(20) + "...";
    window.Remote(0)->ShowState(longState);
    QTest::qWait(20);
    EXPECT_EQ(window.width(), 1000);
    EXPECT_EQ(window.Remote(0)->width(), paneWidth);
    EXPECT_EQ(window.Remote(0)->lblState->toolTip(), longState); // the whole text stays at hand
}

TEST(MainWindow, TheWindowComesBackWhereItWasLeftOnlyWhenAsked)
{
    {
        frmZAVUde window;
        window.setGeometry(40, 50, 700, 640);
        EXPECT_TRUE(window.close());
    }
    {
        frmZAVUde fresh;
        EXPECT_NE(fresh.geometry(), QRect(40, 50, 700, 640));
    }
    const QString zeros(OptionStringMinLength, '0');
    QString general = zeros;
    general[0] = '1'; // "Maintain last used window position"
    ASSERT_TRUE(WriteConfFile(ComposeConfFile({general, zeros, zeros, zeros}, FileHandlerCollection(), {}, {})));
    {
        frmZAVUde kept;
        EXPECT_EQ(kept.geometry(), QRect(40, 50, 700, 640));
    }
    QFile::remove(SettingsFilePath());
    SetOptionFlag(OptionFlag::MaintainWindowPosition, false);
}

TEST(MainWindow, ClosingHidesToTheTrayWhenAskedAndExitEndsForReal)
{
    modSysTrayEx::Program().SetTrayAvailableOverride(1);
    frmZAVUde window;
    window.ShowQor();
    SetOptionFlag(OptionFlag::MinimiseOnClose, true);
    ASSERT_TRUE(modSysTrayEx::Program().CanHideToTray(&window, frmZAVUde::kTrayIdentifier));
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(modSysTrayEx::Program().HasTrayIcon(&window, frmZAVUde::kTrayIdentifier));
    window.ExitProgram();
    EXPECT_FALSE(modSysTrayEx::Program().HasTrayIcon(&window, frmZAVUde::kTrayIdentifier));
    SetOptionFlag(OptionFlag::MinimiseOnClose, false);
    modSysTrayEx::Program().SetTrayAvailableOverride(-1);
}

TEST(MainWindow, ProfilesSavedInTheEditorReachTheProfileMenus)
{
    CProfile first;
    first.ProfileName = "First";
    first.Server = "ftp.one.invalid";
    storeProfiles({first});
    frmZAVUde window;
    ASSERT_EQ(menuTexts(window.mnuProfile[0]), QStringList({"First"}));
    window.Slots()->setProfileChooser([first](bool &bConnect, bool &edited, QWidget *) -> std::optional<CProfile> {
        EXPECT_FALSE(bConnect); // not connected: the editor may select and connect
        CProfile second;
        second.ProfileName = "Second";
        second.Server = "ftp.two.invalid";
        storeProfiles({first, second});
        edited = true;
        return std::nullopt; // closed with Cancel after saving
    });
    window.TB_ButtonClick("profile");
    EXPECT_EQ(menuTexts(window.mnuProfile[0]), QStringList({"First", "Second"}));
    EXPECT_EQ(menuTexts(window.mnuProfile[1]), QStringList({"First", "Second"}));
    EXPECT_FALSE(window.Slot(0)->HasProfile());
}

TEST(MainWindow, TheWindowKnowsWhileTheLogInDialogIsOpen)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    CProfile profile = ServerProfile(server, "Wrong password");
    profile.Password = "wrong";
    storeProfiles({profile});
    frmZAVUde window;
    window.ShowQor();
    bool modalWhileAsked = false;
    bool asked = false;
    WhenModal<frmLogin>(
        [&](frmLogin &dialog) {
            asked = true;
            modalWhileAsked = window.ModalState();
            dialog.CmdCnc->click();
        },
        1000);
    window.mnuProfile[0]->actions().at(0)->trigger();
    ASSERT_TRUE(waitUntil([&] { return asked && !window.Slot(0)->IsBusy(); }));
    // The tray must not restore or end the program under an open dialog.
    EXPECT_TRUE(modalWhileAsked);
    EXPECT_FALSE(window.ModalState());
    EXPECT_FALSE(window.ServerConnected(0));
}

namespace {

// A tool window that refuses to close while it is told to.
class StubToolWindow : public QWidget
{
public:
    explicit StubToolWindow(QWidget *owner) : QWidget(owner, Qt::Window) { setAttribute(Qt::WA_DeleteOnClose); }
    bool refuse = false;

protected:
    void closeEvent(QCloseEvent *event) override { refuse ? event->ignore() : event->accept(); }
};

// A tool window that answers the close question like the search and compare
// windows: asked first, closed only once every window agreed.
class AskingToolWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AskingToolWindow(QWidget *owner) : QWidget(owner, Qt::Window) { setAttribute(Qt::WA_DeleteOnClose); }
    bool agree = true;
    int asked = 0;
    int closedAsAgreed = 0;
    Q_INVOKABLE bool AskToClose()
    {
        ++asked;
        return agree;
    }
    Q_INVOKABLE void CloseAsAgreed()
    {
        ++closedAsAgreed;
        close();
    }
};

} // namespace

TEST(MainWindow, ToolWindowsAreAllAskedBeforeAnyOfThemCloses)
{
    frmZAVUde window;
    window.show();
    QPointer<AskingToolWindow> search;
    QPointer<AskingToolWindow> compare;
    window.SetWindowFactory("srch", [&](QWidget *owner) { return search = new AskingToolWindow(owner); });
    window.SetWindowFactory("cmp", [&](QWidget *owner) { return compare = new AskingToolWindow(owner); });
    window.OpenToolWindow("srch");
    window.OpenToolWindow("cmp");
    ASSERT_TRUE(search && compare);

    // One window says No: nobody is closed, whichever agreed first stays open too.
    search->agree = false;
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(search && compare);
    EXPECT_EQ(search->asked, 1);
    EXPECT_EQ(search->closedAsAgreed + compare->closedAsAgreed, 0);
    EXPECT_TRUE(search->isVisible());
    EXPECT_TRUE(compare->isVisible());

    search->agree = true;
    window.ExitProgram();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.ToolWindow("srch"), nullptr);
    EXPECT_EQ(window.ToolWindow("cmp"), nullptr);
}

TEST(MainWindow, TheCompareEntriesOpenOneToolWindowThatHasItsSayOnClosing)
{
    frmZAVUde window;
    window.show();
    int made = 0;
    window.SetWindowFactory("cmp", [&](QWidget *owner) {
        ++made;
        return new StubToolWindow(owner);
    });
    ASSERT_NE(window.ToolButton("cmp"), nullptr);
    {
        const ModalHolders::Hold modal = window.Modal().Take();
        window.ToolButton("cmp")->trigger();
        EXPECT_EQ(made, 0); // nothing while a modal dialog runs
    }
    window.ToolButton("cmp")->trigger();
    auto *menuEntry = window.findChild<QAction *>("mnuCompare");
    ASSERT_NE(menuEntry, nullptr);
    EXPECT_EQ(menuEntry->text(), "Folders Compare");
    menuEntry->trigger();
    EXPECT_EQ(made, 1); // the second click raises the same window
    auto *tool = static_cast<StubToolWindow *>(window.ToolWindow("cmp"));
    ASSERT_NE(tool, nullptr);
    EXPECT_TRUE(tool->isVisible());

    tool->refuse = true;
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    tool->refuse = false;
    window.ExitProgram();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.ToolWindow("cmp"), nullptr);
}

TEST(MainWindow, TheSearchEntriesOpenOneSearchWindowExceptWhileModal)
{
    frmZAVUde window;
    window.show();
    int made = 0;
    window.SetWindowFactory("srch", [&](QWidget *owner) {
        ++made;
        return new StubToolWindow(owner);
    });
    ASSERT_NE(window.ToolButton("srch"), nullptr);
    auto *menuEntry = window.findChild<QAction *>("mnuSearch");
    ASSERT_NE(menuEntry, nullptr);
    EXPECT_EQ(menuEntry->text(), "Ftp Search");
    {
        const ModalHolders::Hold modal = window.Modal().Take();
        window.ToolButton("srch")->trigger();
        menuEntry->trigger();
        EXPECT_EQ(made, 0);
    }
    window.ToolButton("srch")->trigger();
    menuEntry->trigger();
    EXPECT_EQ(made, 1);
    ASSERT_NE(window.ToolWindow("srch"), nullptr);
    EXPECT_TRUE(window.ToolWindow("srch")->isVisible());
    EXPECT_TRUE(window.ImageList1().Contains("srch"));
    EXPECT_TRUE(window.ImageList1().Contains("exl"));
    EXPECT_TRUE(window.ImageList1().Contains("slide_d"));
    window.ExitProgram();
}

#include "MainWindowTest.moc"


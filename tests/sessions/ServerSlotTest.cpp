#include "ServerSlot.h"

#include "EngineTimer.h"
#include "FileHandlerCollection.h"
#include "FtpCommander.h"
#include "OptionFlags.h"
#include "PathHistory.h"
#include "RefusingPort.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerSlots.h"
#include "SlotTestSupport.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTcpServer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

struct SlotFixture : ::testing::Test
{
    PyFtpServer server;
    StubWindow window; // a slot borrows only the window's file-type icons
    RemotePane pane0{0, window.images};
    RemotePane pane1{1, window.images};
    LocalFolderHistory localHistory;
    std::unique_ptr<ServerSlots> serverSlots;
    RecordingLog log0;
    RecordingLog log1;

    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        SetOptionFlag(OptionFlag::UseListingCache, true);
        SetOptionFlag(OptionFlag::ManageFtpFolderHistory, true);
        serverSlots = std::make_unique<ServerSlots>(std::array<RemotePane *, 2>{&pane0, &pane1}, window, localHistory,
                                              nullptr);
        serverSlots->Slot(0)->setLog(&log0);
        serverSlots->Slot(1)->setLog(&log1);
    }

    void TearDown() override
    {
        for (OptionFlag flag : {OptionFlag::UseListingCache, OptionFlag::ManageFtpFolderHistory,
                                OptionFlag::ClearLogsOnNewConnection})
            SetOptionFlag(flag, false);
    }

    ServerSlot &slot(int i = 0) { return *serverSlots->Slot(i); }

    QStringList shownNames(const RemotePane &pane) const
    {
        QStringList names;
        for (int i = 0; i < pane.Model->size(); ++i)
            names << pane.Model->row(i).Text;
        return names;
    }

    bool connectAndList(int i = 0)
    {
        serverSlots->UseProfile(i, ServerProfile(server), true);
        const bool done = WaitUntil([&] { return slot(i).SessionActive() && !slot(i).IsBusy() && !slot(i).SlotRemotePath().isEmpty()
                                      && (slot(i).Pane()->Model->size() > 0 || slot(i).Summary().Files + slot(i).Summary().Folders == 0)
                                      && slot(i).Pane()->lblState->text() == "Connected"; });
        if (!done)
            ADD_FAILURE() << "state: " << slot(i).Pane()->lblState->text().toStdString() << "\n"
                          << (i == 0 ? log0 : log1).lines.join('\n').toStdString();
        return done;
    }

    bool idle(int i = 0)
    {
        return WaitUntil([&] { return !slot(i).IsBusy(); });
    }

    void select(RemotePane &pane, const QString &name)
    {
        const int row = [&] {
            for (int r = 0; r < pane.Model->size(); ++r)
                if (pane.Model->row(r).Text == name)
                    return r;
            return -1;
        }();
        ASSERT_GE(row, 0) << name.toStdString();
        pane.RightView->selectionModel()->select(pane.Model->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    void activate(RemotePane &pane, const QString &name)
    {
        for (int r = 0; r < pane.Model->size(); ++r) {
            if (pane.Model->row(r).Text == name) {
                emit pane.RightView->activated(pane.Model->index(r, 0));
                return;
            }
        }
        ADD_FAILURE() << "no row " << name.toStdString();
    }
};

} // namespace

TEST_F(SlotFixture, LogsInListsTheStartFolderAndShowsTheDialogue)
{
    ASSERT_TRUE(server.makeFolder("docs"));
    ASSERT_TRUE(server.writeFile("readme.txt", QByteArray(2048, 'r')));
    QList<bool> states;
    QObject::connect(serverSlots.get(), &ServerSlots::sessionStateChanged, [&](int, bool active) { states << active; });

    ASSERT_TRUE(connectAndList());

    EXPECT_EQ(shownNames(pane0), QStringList({"docs", "readme.txt"}));
    EXPECT_TRUE(pane0.Progress->isHidden());
    EXPECT_EQ(pane0.lblRemote->text(), "1 folders, 1 files, 0.0 MB");
    EXPECT_EQ(states, QList<bool>({true}));
    EXPECT_TRUE(serverSlots->ServerConnected(0));
    EXPECT_FALSE(serverSlots->ServerConnected(1));
    EXPECT_EQ(pane0.CboFTP->currentText(), "127.0.0.1/");
    // Commands and replies both reach the log pane; the password never does.
    EXPECT_EQ(log0.count("USER "), 1);
    EXPECT_GE(log0.count("230"), 1);
    EXPECT_GE(log0.count("LIST"), 1);
    EXPECT_FALSE(log0.lines.join('\n').contains("secret"));
    EXPECT_TRUE(log1.lines.isEmpty());
}

TEST_F(SlotFixture, BrowsesIntoASubfolderAndBackWithTheCachedListing)
{
    ASSERT_TRUE(server.writeFile("docs/inner.txt", "x"));
    ASSERT_TRUE(server.writeFile("top.txt", "y"));
    ASSERT_TRUE(connectAndList());

    activate(pane0, "docs");
    ASSERT_TRUE(WaitUntil([&] { return slot().SlotRemotePath() == "/docs" && shownNames(pane0) == QStringList({"inner.txt"}); }));
    EXPECT_EQ(pane0.CboFTP->count(), 2);
    EXPECT_EQ(pane0.CboFTP->currentText(), "127.0.0.1/docs");
    const int listsBefore = log0.count("LIST");

    pane0.Button("up")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return slot().SlotRemotePath() == "/" && !slot().IsBusy(); }));
    EXPECT_EQ(shownNames(pane0), QStringList({"docs", "top.txt"}));
    EXPECT_TRUE(slot().ListingFromCache());
    EXPECT_EQ(log0.count("LIST"), listsBefore); // the folder came from the cache

    // A change on the server marks the listing dirty: the next visit lists again.
    ASSERT_TRUE(server.writeFile("later.txt", "z"));
    pane0.Button("refresh")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("later.txt"); }));
    EXPECT_EQ(log0.count("LIST"), listsBefore + 1);
    EXPECT_FALSE(slot().ListingFromCache());

    // The path list goes back to a folder visited before.
    pane0.CboFTP->setCurrentIndex(1);
    emit pane0.CboFTP->activated(1);
    ASSERT_TRUE(WaitUntil([&] { return slot().SlotRemotePath() == "/docs" && !slot().IsBusy(); }));

    // Both folders went to the remote history of the profile.
    QStringList history;
    for (const PathHistoryEntry &entry : slot().RemoteHistory())
        history << entry.Path;
    EXPECT_EQ(history, QStringList({"/", "/docs"}));
    EXPECT_TRUE(slot().RemoteHistoryChanged());
}

TEST_F(SlotFixture, MakesRenamesAndChangesPermissionsOnTheServer)
{
    ASSERT_TRUE(server.writeFile("old.txt", "data"));
    ASSERT_TRUE(connectAndList());
    ScriptedPrompts prompts;

    prompts.expectInput("Name of the new folder", QString("fresh"));
    pane0.Button("newdir")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("fresh"); }));
    EXPECT_TRUE(server.exists("fresh"));
    EXPECT_TRUE(idle());

    select(pane0, "old.txt");
    prompts.expectInput("New name for \"old.txt\"", QString("new.txt"));
    pane0.Button("rename")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("new.txt"); }));
    EXPECT_TRUE(server.exists("new.txt"));
    EXPECT_FALSE(server.exists("old.txt"));
    EXPECT_TRUE(idle());

    slot().setPermissionAsker([](QWidget *, const QString &attributes, const QString &) {
        EXPECT_TRUE(attributes.startsWith("-rw"));
        return 600;
    });
    select(pane0, "new.txt");
    const int listsBefore = log0.count("LIST");
    pane0.Button("props")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return log0.count("LIST") > listsBefore && !slot().IsBusy(); }));
    EXPECT_EQ(log0.count("SITE CHMOD 600 new.txt"), 1);
    const QFile::Permissions permissions = QFileInfo(server.rootPath() + "/new.txt").permissions();
    EXPECT_TRUE(permissions & QFile::WriteUser);
    EXPECT_FALSE(permissions & (QFile::ReadGroup | QFile::ReadOther));

    slot().setPermissionAsker([](QWidget *, const QString &, const QString &) { return 778; });
    select(pane0, "new.txt");
    prompts.expectMessage("The supplied attribute was incorrect!", PromptButton::Ok);
    pane0.Button("props")->trigger();
    EXPECT_EQ(log0.count("SITE CHMOD"), 1);
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(SlotFixture, NamesFromTheServerAreShownButNeverFollowedAsPaths)
{
    ASSERT_TRUE(connectAndList());
    slot().LoadRemoteFolders("drwxr-xr-x 2 o g 4096 Jan  1 12:00 a/b\r\n"
                             "drwxr-xr-x 2 o g 4096 Jan  1 12:00 ...\r\n",
                             false);
    EXPECT_EQ(shownNames(pane0), QStringList({"a/b", "..."}));
    const int changes = log0.count("CWD");
    activate(pane0, "a/b");
    EXPECT_FALSE(slot().IsBusy());
    EXPECT_EQ(log0.count("CWD"), changes);
    EXPECT_TRUE(log0.lines.last().contains("cannot be opened"));
}

TEST_F(SlotFixture, DisconnectShowsTheStateAtOnceAndSavesTheHistory)
{
    ASSERT_TRUE(connectAndList());
    QList<bool> states;
    QObject::connect(serverSlots.get(), &ServerSlots::sessionStateChanged, [&](int, bool active) { states << active; });

    pane0.Button("disconnect")->trigger();

    EXPECT_FALSE(slot().SessionActive());
    EXPECT_EQ(pane0.lblState->text(), "Not connected");
    EXPECT_EQ(pane0.Model->size(), 0);
    EXPECT_FALSE(pane0.Button("refresh")->isEnabled());
    EXPECT_EQ(states, QList<bool>({false}));
    PathHistoryList saved = EmptyPathHistory();
    LoadRemotePathHistory("Test server", saved);
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_EQ(saved.first().Path, "/");
    EXPECT_FALSE(slot().RemoteHistoryChanged());
}

TEST_F(SlotFixture, AFailedConnectionEndsInTheFailedStateWithoutWaitingAndLogsWhy)
{
    RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    const quint16 closedPort = refusing.port();

    const struct {
        QString host, logged;
        bool silentSecondTry = false; // refused, then a server that never greets
    } cases[] = {
        {server.host(), "Connection to " + server.host() + " failed. Connection refused."},
        {"no-such-host.invalid", "Connection to no-such-host.invalid failed. Host not found."},
        {server.host(), "Connection to " + server.host() + " failed. No greeting from the server.", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        auto *timer = new ManualEngineTimer;
        ServerSlots manual({&pane0, &pane1}, window, localHistory, nullptr, nullptr, {timer, nullptr});
        RecordingLog log;
        manual.Slot(0)->setLog(&log);
        manual.Slot(0)->FtpCmd()->setMaxConnectionTry(c.silentSecondTry ? 2 : 1);
        CProfile profile = ServerProfile(server);
        profile.Server = c.host;
        profile.Port = closedPort;
        bool failedState = false;
        QObject::connect(manual.Slot(0)->FtpCmd(), &FtpCommander::ConnectionFailed, [&] { failedState = true; });
        QTcpServer silent;
        QObject::connect(manual.Slot(0)->FtpCmd(), &FtpCommander::Message, [&](const QString &text) {
            if (c.silentSecondTry && text.contains("[ 2 of")) {
                refusing.release();
                ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, closedPort));
            }
        });
        manual.UseProfile(0, profile, true);
        // The connection's clock moves only for a server that never greets: a failure itself ends the attempt.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            if (silent.isListening())
                timer->advance(1000);
            return failedState;
        }, 10000));
        EXPECT_TRUE(log.lines.contains(c.logged)) << log.lines.join('|').toStdString();
        EXPECT_EQ(pane0.lblState->text(), "Connection failed");
        EXPECT_FALSE(manual.Slot(0)->SessionActive());
        EXPECT_FALSE(pane0.Button("up")->isEnabled());
    }
}

TEST_F(SlotFixture, TwoSlotsBrowseTwoServersIndependently)
{
    PyFtpServer second;
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(server.writeFile("one.txt", "1"));
    ASSERT_TRUE(second.writeFile("two.txt", "2"));
    ASSERT_TRUE(connectAndList(0));
    serverSlots->UseProfile(1, ServerProfile(second, "Second"), true);
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane1) == QStringList({"two.txt"}); }));
    EXPECT_EQ(shownNames(pane0), QStringList({"one.txt"}));
    EXPECT_TRUE(serverSlots->ServerConnected(1));
    EXPECT_GE(log1.count("USER "), 1);
    slot(0).DisConnectFromFTP();
    EXPECT_TRUE(serverSlots->ServerConnected(1));
    EXPECT_TRUE(serverSlots->IsAnySessionActive());
}

TEST_F(SlotFixture, ALongListingShowsHowMuchHasArrived)
{
    QByteArray listing;
    for (int i = 0; i < 3000; ++i)
        listing += "-rw-r--r-- 1 o g 10 Jan  1 12:00 f" + QByteArray::number(i) + ".txt\r\n";
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    scripted.setListing(listing);
    CProfile profile = ServerProfile(server);
    profile.Port = scripted.port();
    // Read the pane as each packet arrives, after the slot has handled it.
    QStringList states;
    QObject::connect(slot().FtpCmd(), &FtpCommander::DataPacket, [&] {
        if (slot().FtpCmd()->PacketFromDataConnection() && !pane0.Progress->isHidden())
            states << pane0.lblState->text();
    });
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return pane0.Model->size() == 3000; }));
    ASSERT_FALSE(states.isEmpty());
    EXPECT_TRUE(states.first().startsWith("Listing... "));
    EXPECT_TRUE(states.last().endsWith(" bytes"));
    EXPECT_EQ(pane0.lblState->text(), "Connected");
    EXPECT_TRUE(pane0.Progress->isHidden());
    slot().DisConnectFromFTP();
}

TEST_F(SlotFixture, AHundredThousandEntriesLoadAsPlainRows)
{
    QString listing;
    listing.reserve(100000 * 60);
    for (int i = 0; i < 100000; ++i)
        listing += QStringLiteral("-rw-r--r-- 1 o g %1 Jan  1 12:00 file%2.dat\r\n").arg(i).arg(i, 6, 10, QChar('0'));
    slot().LoadRemoteFolders(listing, false);
    EXPECT_EQ(pane0.Model->size(), 100000);
    EXPECT_EQ(slot().Summary().Files, 100000);
    pane0.RightView->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_EQ(pane0.Model->row(0).Text, "file099999.dat");
}

TEST_F(SlotFixture, AConnectionLostDuringAListingShowsTheStateAtOnce)
{
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    scripted.dropOn("LIST");
    QList<bool> states;
    QObject::connect(serverSlots.get(), &ServerSlots::sessionStateChanged, [&](int, bool active) { states << active; });
    CProfile profile = ServerProfile(server);
    profile.Port = scripted.port();
    serverSlots->UseProfile(0, profile, true);

    ASSERT_TRUE(WaitUntil([&] { return states.size() == 2; }));
    EXPECT_EQ(states, QList<bool>({true, false}));
    EXPECT_FALSE(slot().SessionActive());
    EXPECT_TRUE(pane0.Progress->isHidden());
    EXPECT_EQ(pane0.lblState->text(), "Not connected");
    EXPECT_FALSE(pane0.Button("refresh")->isEnabled());
    EXPECT_EQ(pane0.Model->size(), 0);
}

TEST_F(SlotFixture, ARefusedPasswordEndsTheAttemptAndSaysSo)
{
    CProfile profile = ServerProfile(server);
    profile.Password = "wrong";
    QList<bool> states;
    QObject::connect(serverSlots.get(), &ServerSlots::sessionStateChanged, [&](int, bool active) { states << active; });
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return log0.count("530") > 0 && !slot().IsBusy() && !slot().SessionActive(); }));
    QTest::qWait(50);
    EXPECT_FALSE(slot().SessionActive());
    EXPECT_TRUE(states.isEmpty()); // it never was up
    EXPECT_EQ(pane0.lblState->text(), "Log-in failed");
    EXPECT_FALSE(pane0.Button("up")->isEnabled());
}

TEST_F(SlotFixture, HandsAServerToServerCopyFromOneSlotToTheOther)
{
    PyFtpServer target;
    ASSERT_TRUE(target.start());
    const QByteArray content = QByteArray(70000, 'c') + "end";
    ASSERT_TRUE(server.writeFile("source.bin", content));
    ASSERT_TRUE(connectAndList(1)); // slot 1 reads from the first server
    serverSlots->UseProfile(0, ServerProfile(target, "Target"), true);
    ASSERT_TRUE(WaitUntil([&] { return slot(0).SessionActive() && !slot(0).IsBusy() && !slot(0).SlotRemotePath().isEmpty(); }));
    ASSERT_TRUE(idle(0));

    QList<int> finished;
    QObject::connect(&slot(0), &ServerSlot::jobDone, [&](int, bool ok, int act) { if (ok) finished << act; });
    QObject::connect(&slot(1), &ServerSlot::jobDone, [&](int, bool ok, int act) { if (ok) finished << act; });
    serverSlots->CopySourcePath = "/source.bin";
    serverSlots->CopySize = content.size();
    serverSlots->CopySource = 1;
    serverSlots->CopyTarget = 0;
    slot(0).FtpCmd()->FTP_StoreFromServer("/copy.bin", content.size());

    ASSERT_TRUE(WaitUntil([&] { return finished.contains(FtpCommander::ActStoreToServer)
                                       && finished.contains(FtpCommander::ActGetFromServer); }, 15000))
        << log0.lines.join('\n').toStdString() << "\n----\n" << log1.lines.join('\n').toStdString();
    EXPECT_EQ(target.readFile("copy.bin"), content);
}

TEST_F(SlotFixture, AStartFolderThatIsGoneFallsBackToTheRoot)
{
    ASSERT_TRUE(server.writeFile("root.txt", "r"));
    CProfile profile = ServerProfile(server);
    profile.RemotePath = "/no/such/folder";
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"root.txt"}); }));
    EXPECT_EQ(slot().SlotRemotePath(), "/");
    EXPECT_EQ(log0.count("Could not open the folder /no/such/folder."), 1);
}

TEST_F(SlotFixture, ASelectedProfileConnectsFromThePaneButton)
{
    EXPECT_FALSE(pane0.Button("connect")->isEnabled());
    serverSlots->UseProfile(0, ServerProfile(server), false);
    EXPECT_FALSE(slot().SessionActive());
    ASSERT_TRUE(pane0.Button("connect")->isEnabled());
    pane0.Button("connect")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return slot().SessionActive() && slot().SlotRemotePath() == "/"; }));
    EXPECT_FALSE(pane0.Button("connect")->isEnabled());
    slot().DisConnectFromFTP();
    EXPECT_TRUE(pane0.Button("connect")->isEnabled());
}

TEST_F(SlotFixture, ANewSessionNeverShowsTheCachedListingOfTheSessionBefore)
{
    PyFtpServer other;
    ASSERT_TRUE(other.start());
    ASSERT_TRUE(server.writeFile("first.txt", "1"));
    ASSERT_TRUE(other.writeFile("other.txt", "2"));
    ASSERT_TRUE(connectAndList());
    ASSERT_EQ(shownNames(pane0), QStringList({"first.txt"}));
    slot().DisConnectFromFTP();

    // Same slot, another server: its root is listed, not the first server's root from the cache.
    serverSlots->UseProfile(0, ServerProfile(other, "Other server"), true);
    ASSERT_TRUE(WaitUntil([&] { return slot().SessionActive() && !slot().IsBusy() && !slot().SlotRemotePath().isEmpty(); }));
    EXPECT_EQ(shownNames(pane0), QStringList({"other.txt"}));
    EXPECT_FALSE(slot().ListingFromCache());
}

TEST_F(SlotFixture, AFolderThatCannotBeListedShowsNoneOfTheFolderBeforeIt)
{
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    scripted.setListing("drwxr-xr-x 1 o g 0 Jan  1 12:00 locked\r\n"
                        "-rw-r--r-- 1 o g 10 Jan  1 12:00 notes.txt\r\n");
    CProfile profile = ServerProfile(server);
    profile.Port = scripted.port();
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"locked", "notes.txt"}) && !slot().IsBusy(); }));

    // The server lets the client in but refuses to list the folder.
    scripted.on("PWD", "257 \"/locked\" is the current directory.");
    scripted.on("LIST", "550 Permission denied.");
    activate(pane0, "locked");
    ASSERT_TRUE(WaitUntil([&] { return pane0.lblState->text() == "Listing failed" && !slot().IsBusy(); }));
    EXPECT_EQ(slot().SlotRemotePath(), "/locked");
    // Rows of "/" shown under "/locked" would send a rename to "/locked/notes.txt".
    EXPECT_TRUE(shownNames(pane0).isEmpty());
    EXPECT_TRUE(slot().Selection().isEmpty());
    slot().DisConnectFromFTP();
}

// A rename onto a name the folder holds would replace that file without a
// word: the user is asked first, and a folder of that name is never the target.
TEST_F(SlotFixture, RenamingOntoAnExistingNameAsksAndAFolderOfThatNameRefuses)
{
    ASSERT_TRUE(server.writeFile("crlf.txt", "crlf\r\n"));
    ASSERT_TRUE(server.writeFile("latin1.txt", "latin1"));
    ASSERT_TRUE(server.makeFolder("keep"));
    ASSERT_TRUE(connectAndList());
    ScriptedPrompts prompts;

    // No: nothing goes to the server.
    select(pane0, "crlf.txt");
    prompts.expectInput("New name for \"crlf.txt\"", QString("latin1.txt"));
    prompts.expectMessage("A file named \"latin1.txt\" is already in this folder", PromptButton::No);
    pane0.Button("rename")->trigger();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().back().defaultButton, PromptButton::No);
    EXPECT_EQ(log0.count("RNFR"), 0);
    EXPECT_EQ(log0.count("RNTO"), 0);
    EXPECT_EQ(server.readFile("latin1.txt"), QByteArray("latin1"));

    // A folder of the new name: refused with a message, nothing sent.
    prompts.expectInput("New name for \"crlf.txt\"", QString("keep"));
    prompts.expectMessage("A folder named \"keep\" is already in this folder", PromptButton::Ok);
    pane0.Button("rename")->trigger();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(log0.count("RNFR"), 0);
    EXPECT_TRUE(server.exists("crlf.txt"));

    // Only letter case changes: no other file is replaced, so no question.
    prompts.expectInput("New name for \"crlf.txt\"", QString("CRLF.txt"));
    pane0.Button("rename")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("CRLF.txt") && !slot().IsBusy(); }));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), 5u);
    EXPECT_EQ(log0.count("RNTO /CRLF.txt"), 1);

    // Yes: the other file is replaced.
    select(pane0, "CRLF.txt");
    prompts.expectInput("New name for \"CRLF.txt\"", QString("latin1.txt"));
    prompts.expectMessage("Replace it with \"CRLF.txt\"?", PromptButton::Yes);
    pane0.Button("rename")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !shownNames(pane0).contains("CRLF.txt") && !slot().IsBusy(); }));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(server.readFile("latin1.txt"), QByteArray("crlf\r\n"));
    EXPECT_EQ(shownNames(pane0), QStringList({"keep", "latin1.txt"}));
}

// The listing shown may be old: a file or folder made since is found on the
// server before the rename is sent, and asked about or refused as a listed one.
TEST_F(SlotFixture, RenamingOntoANameMadeAfterTheListingAsksTheServerFirst)
{
    ASSERT_TRUE(server.writeFile("draft.txt", "draft"));
    ASSERT_TRUE(connectAndList());
    ASSERT_EQ(shownNames(pane0), QStringList({"draft.txt"}));
    ASSERT_TRUE(server.writeFile("final.txt", "final"));
    // The folder shown again from the listing cache, which knows nothing of final.txt.
    slot().ChangeFolder("/");
    ASSERT_TRUE(WaitUntil([&] { return slot().ListingFromCache() && !slot().IsBusy(); }));
    ScriptedPrompts prompts;
    const auto renameDraftTo = [&](const QString &newName) {
        select(pane0, "draft.txt");
        prompts.expectInput("New name for \"draft.txt\"", newName);
        pane0.Button("rename")->trigger();
    };

    // No, also the answer Return gives: the file made after the listing stays.
    renameDraftTo("final.txt");
    prompts.expectMessage("A file named \"final.txt\" is already in this folder", PromptButton::No);
    ASSERT_TRUE(WaitUntil([&] { return prompts.allUsed() && !slot().IsBusy(); }));
    EXPECT_EQ(prompts.shown().back().defaultButton, PromptButton::No);
    EXPECT_EQ(pane0.lblState->text(), "Connected");
    EXPECT_EQ(log0.count("RNFR"), 0);
    EXPECT_EQ(server.readFile("final.txt"), QByteArray("final"));
    EXPECT_EQ(server.readFile("draft.txt"), QByteArray("draft"));
    // The pane was out of date: it is listed afresh.
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("final.txt") && !slot().IsBusy(); }));
    EXPECT_FALSE(slot().ListingFromCache());

    // A folder made after the listing: refused, nothing renamed. The fresh
    // listing read for the check is shown.
    ASSERT_TRUE(server.makeFolder("later"));
    renameDraftTo("later");
    prompts.expectMessage("A folder named \"later\" is already in this folder", PromptButton::Ok);
    ASSERT_TRUE(WaitUntil([&] { return prompts.allUsed() && !slot().IsBusy(); }));
    EXPECT_EQ(log0.count("RNFR"), 0);
    EXPECT_TRUE(shownNames(pane0).contains("later"));

    // A name nobody holds: renamed with no question.
    renameDraftTo("fresh.txt");
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("fresh.txt") && !slot().IsBusy(); }));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(server.readFile("fresh.txt"), QByteArray("draft"));

    // A file made after the last listing again, and Yes: it is replaced.
    ASSERT_TRUE(server.writeFile("late.txt", "late"));
    select(pane0, "fresh.txt");
    prompts.expectInput("New name for \"fresh.txt\"", QString("late.txt"));
    prompts.expectMessage("Replace it with \"fresh.txt\"?", PromptButton::Yes);
    pane0.Button("rename")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("late.txt") && !slot().IsBusy(); }));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(server.readFile("late.txt"), QByteArray("draft"));
    EXPECT_FALSE(server.exists("fresh.txt"));
    // Each name was looked for by SIZE in binary mode before anything was renamed.
    EXPECT_EQ(log0.count("SIZE /final.txt"), 1);
    EXPECT_EQ(log0.count("SIZE /late.txt"), 1);
    EXPECT_EQ(log0.count("RNFR"), 2);
}

// As vsftpd, proftpd and pure-ftpd do, the server leaves dot files out of its
// plain listing; and an old server that knows no SIZE still answers MDTM.
TEST_F(SlotFixture, RenamingOntoANameTheListingLeavesOutAsksWhatSizeOrMdtmFound)
{
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    scripted.setListing("-rw-r--r-- 1 o g 5 Jan  1 12:00 notes.txt\r\n");
    scripted.on("SIZE", [](const QByteArray &argument) -> ScriptedFtpServer::Reply {
        if (argument == "/.profile")
            return {{"213 120\r\n"}};
        return {{argument == "/.bashrc" ? "500 Unknown command.\r\n" : "550 Could not get file size.\r\n"}};
    });
    scripted.on("MDTM", [](const QByteArray &argument) -> ScriptedFtpServer::Reply {
        return {{argument == "/.bashrc" ? "213 20250101120000\r\n" : "550 Could not get file modification time.\r\n"}};
    });
    CProfile profile = ServerProfile(server);
    profile.Port = scripted.port();
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"notes.txt"}) && !slot().IsBusy(); }));
    ScriptedPrompts prompts;

    for (const QString name : {".profile", ".bashrc"}) {
        select(pane0, "notes.txt");
        prompts.expectInput("New name for \"notes.txt\"", name);
        prompts.expectMessage("A file named \"" + name + "\" is already in this folder", PromptButton::No);
        pane0.Button("rename")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return prompts.allUsed() && !slot().IsBusy(); }));
    }
    EXPECT_EQ(scripted.commandCount("RNFR"), 0);
    EXPECT_EQ(scripted.commandCount("MDTM"), 1);
    // SIZE is asked in binary mode each time, and the session is left in the
    // type it was in.
    const QList<QByteArray> commands = scripted.commands();
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (commands[i].startsWith("SIZE"))
            EXPECT_EQ(commands.value(i - 1), "TYPE I");
    }
    EXPECT_EQ(scripted.commandCount("TYPE I"), 2);
    EXPECT_EQ(scripted.commandCount("TYPE A"), 2);
    slot().DisConnectFromFTP();
}

// A refused rename is told in a message, not only in the log and the status line.
TEST_F(SlotFixture, ARefusedRenameIsToldWithTheServersWords)
{
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    scripted.setListing("-rw-r--r-- 1 o g 5 Jan  1 12:00 notes.txt\r\n");
    scripted.on("SIZE", "550 Could not get file size.");
    scripted.on("MDTM", "550 Could not get file modification time.");
    scripted.on("RNFR", "350 Ready for RNTO.");
    scripted.on("RNTO", "550 Rename failed.");
    CProfile profile = ServerProfile(server);
    profile.Port = scripted.port();
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"notes.txt"}) && !slot().IsBusy(); }));
    ScriptedPrompts prompts;
    select(pane0, "notes.txt");
    prompts.expectInput("New name for \"notes.txt\"", QString("kept.txt"));
    prompts.expectMessage("\"notes.txt\" was not renamed to \"kept.txt\".\n\nThe server answered: 550 Rename failed.",
                          PromptButton::Ok);
    pane0.Button("rename")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return prompts.allUsed() && !slot().IsBusy(); }));
    EXPECT_EQ(prompts.shown().back().title, "Rename");
    EXPECT_EQ(scripted.commandCount("RNTO /kept.txt"), 1);
    EXPECT_EQ(pane0.lblState->text(), "Rename failed");
    slot().DisConnectFromFTP();
}

TEST_F(SlotFixture, ARenamedFolderLeavesNoCachedListingBehindItsOldName)
{
    ASSERT_TRUE(server.writeFile("reports/2025.txt", "r"));
    ASSERT_TRUE(connectAndList());
    activate(pane0, "reports");
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"2025.txt"}) && !slot().IsBusy(); }));
    pane0.Button("up")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return slot().SlotRemotePath() == "/" && !slot().IsBusy(); }));

    ScriptedPrompts prompts;
    select(pane0, "reports");
    prompts.expectInput("New name for \"reports\"", QString("archive"));
    pane0.Button("rename")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("archive") && !slot().IsBusy(); }));
    prompts.expectInput("Name of the new folder", QString("reports"));
    pane0.Button("newdir")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0).contains("reports") && !slot().IsBusy(); }));

    // The new, empty folder is listed from the server, not shown with the old folder's files.
    activate(pane0, "reports");
    ASSERT_TRUE(WaitUntil([&] { return slot().SlotRemotePath() == "/reports" && !slot().IsBusy(); }));
    EXPECT_TRUE(shownNames(pane0).isEmpty());
    EXPECT_FALSE(slot().ListingFromCache());
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(SlotFixture, AStartFolderGivenWithoutTheLeadingSlashCanBeBrowsedAndLeft)
{
    ASSERT_TRUE(server.writeFile("site/pages/index.html", "i"));
    ASSERT_TRUE(server.writeFile("top.txt", "t"));
    CProfile profile = ServerProfile(server);
    profile.RemotePath = "site"; // as users type it: below the folder the log-in starts in
    serverSlots->UseProfile(0, profile, true);
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"pages"}) && !slot().IsBusy(); }));
    EXPECT_EQ(slot().SlotRemotePath(), "/site");

    activate(pane0, "pages");
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"index.html"}) && !slot().IsBusy(); }))
        << log0.lines.join('\n').toStdString();
    EXPECT_EQ(slot().SlotRemotePath(), "/site/pages");

    pane0.Button("up")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return slot().SlotRemotePath() == "/site" && !slot().IsBusy(); }));
    pane0.Button("up")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shownNames(pane0) == QStringList({"site", "top.txt"}) && !slot().IsBusy(); }));
    slot().DisConnectFromFTP();
}

TEST_F(SlotFixture, QuickEditAndOpenFollowBareExtensionsAndTheTicksOfHandlersWithAProgram)
{
    ASSERT_TRUE(server.writeFile("notes.txt", "n"));
    ASSERT_TRUE(server.writeFile("paper.pdf", "p"));
    ASSERT_TRUE(server.writeFile("page.html", "h"));
    ASSERT_TRUE(connectAndList());
    FileHandlerCollection handlers;
    // As the file-type dialog's hint invites: extensions, not patterns.
    handlers.Add("txt", "", "", 1, 0);
    handlers.Add("pdf", "", "", 0, 0).SetSystemOpenEnabled(1);
    // A handler with a program whose ticks allow both as well.
    FileHandler &browser = handlers.Add("*.html", "/usr/bin/browser", "", 1, 1);
    browser.SetApplicationTitle("Browser");
    browser.SetSystemOpenEnabled(1);
    serverSlots->BuildHandlerMenus(handlers);
    auto state = [&](const QString &name) {
        select(pane0, name);
        // The pane's pop-up, as a right click opens it.
        emit pane0.RightView->customContextMenuRequested(QPoint(1, 1));
        const QList<bool> enabled{pane0.MNU_RMT_OPEN->isEnabled(), pane0.MNU_RMT_QEDIT->isEnabled()};
        pane0.mnuRemote->hide();
        return enabled;
    };
    EXPECT_EQ(state("notes.txt"), QList<bool>({false, true}));
    EXPECT_EQ(state("paper.pdf"), QList<bool>({true, false}));
    EXPECT_EQ(state("page.html"), QList<bool>({true, true}));
    EXPECT_EQ(handlers.Item(1).FilePatterns(), "txt");
    ASSERT_EQ(pane0.MNU_RMT_VIEW->actions().size(), 1);
    EXPECT_EQ(pane0.MNU_RMT_VIEW->actions().at(0)->text(), "Browser");
}

TEST_F(SlotFixture, HandlerMenusListProgramsAndEnableOpeningForOneFreeFile)
{
    FileHandlerCollection handlers;
    serverSlots->BuildHandlerMenus(handlers);
    for (QMenu *menu : {pane0.MNU_RMT_VIEW, pane0.MNU_RMT_EDIT}) {
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions().at(0)->text(), "<Not Available>");
        EXPECT_FALSE(menu->actions().at(0)->isEnabled());
    }

    handlers.Add("*.log", "/usr/bin/viewer", "", 0, 1).SetApplicationTitle("Viewer");
    handlers.Add("*.c", "/usr/bin/editor", "", 0, 2).SetApplicationTitle("Editor");
    handlers.Add("*.md", "/usr/bin/both", "", 0, 3).SetApplicationTitle("Both");
    handlers.Add("*.TXT; *.htm?", "", "", 1, 0);
    handlers.Add("*.pdf", "", "", 0, 0).SetSystemOpenEnabled(1);
    serverSlots->BuildHandlerMenus(handlers);
    auto items = [](QMenu *menu) {
        QStringList texts;
        for (QAction *item : menu->actions())
            texts << item->text() + "=" + item->data().toString();
        return texts;
    };
    EXPECT_EQ(items(pane1.MNU_RMT_VIEW), QStringList({"Viewer=1", "Both=3"}));
    EXPECT_EQ(items(pane1.MNU_RMT_EDIT), QStringList({"Editor=2", "Both=3"}));
    EXPECT_EQ(serverSlots->Handlers().KeyAt(2)->UniqueID, handlers.Item(2).UniqueID());

    QList<int> requested;
    QObject::connect(&pane0, &RemotePane::editViewRequested,
                     [&](int slotIndex, int mode, int index) { requested << slotIndex << mode << index; });
    pane0.MNU_RMT_EDIT->actions().at(1)->trigger();
    EXPECT_EQ(requested, QList<int>({0, 3, 3}));

    ASSERT_TRUE(server.makeFolder("docs"));
    ASSERT_TRUE(server.writeFile("notes.txt", "n"));
    ASSERT_TRUE(server.writeFile("paper.pdf", "p"));
    auto state = [&] {
        serverSlots->SetRemoteMenuState(0);
        return QList<bool>{pane0.MNU_RMT_OPEN->isEnabled(), pane0.MNU_RMT_QEDIT->isEnabled(),
                           pane0.MNU_RMT_VIEW->isEnabled(), pane0.MNU_RMT_EDIT->isEnabled()};
    };
    EXPECT_EQ(state(), QList<bool>({false, false, false, false}));
    ASSERT_TRUE(connectAndList());
    select(pane0, "notes.txt");
    EXPECT_EQ(state(), QList<bool>({false, true, true, true}));
    select(pane0, "paper.pdf");
    EXPECT_EQ(state(), QList<bool>({true, false, true, true}));
    select(pane0, "docs");
    EXPECT_EQ(state(), QList<bool>({false, false, false, false}));
    pane0.RightView->selectAll();
    EXPECT_EQ(state(), QList<bool>({false, false, false, false}));
    select(pane0, "notes.txt");
    serverSlots->setSlotBusyCheck([](int slotIndex) { return slotIndex == 0; });
    EXPECT_EQ(state(), QList<bool>({false, false, false, false}));
}

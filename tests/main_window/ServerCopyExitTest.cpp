// Closing the main window while a server-to-server copy runs: the exit
// question says what stopping the copy leaves on the target; Yes stops it,
// deletes its temporary file where the target allows, and names what is left.
// The source (slot 0) is a scripted server that stops partway through the
// file; the target (slot 1) is real, showing its folder "dir".
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "FtpCommander.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerCopy.h"
#include "ServerCopyTestSupport.h"
#include "ServerProfile.h"
#include "TestFiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr qsizetype kFileSize = 300000;
constexpr qsizetype kSentBeforeStall = 100000;

// A real server stopped as a process is: it answers nothing until continued.
struct StoppedProcess
{
    pid_t pid;
    explicit StoppedProcess(qint64 id) : pid(static_cast<pid_t>(id)) { ::kill(pid, SIGSTOP); }
    ~StoppedProcess() { ::kill(pid, SIGCONT); }
    StoppedProcess(const StoppedProcess &) = delete;
    StoppedProcess &operator=(const StoppedProcess &) = delete;
};

struct ExitCase
{
    const char *name;
    bool held;          // the target's folder holds f.bin before the copy
    const char *rights; // the user's rights in that folder
    bool targetFrozen;  // the target answers nothing once the window closes
    // The line the exit question adds and the message after Yes; %1 stands
    // for the copy's temporary file on the target.
    const char *questionLine;
    const char *stoppedMessage;
    // The files of the target's folder afterwards ("*": the temporary file).
    QStringList filesLeft;
    qsizetype leftBytes; // what the leftover holds of the source's file
};

QString withTemporary(const char *text, const QString &temporary)
{
    return QString::fromUtf8(text).replace(QStringLiteral("%1"), temporary);
}

// A source whose f.bin stops partway, the server frozen.
void ServeStallingFile(ScriptedFtpServer &source)
{
    source.setListing("-rw-r--r--   1 ftp ftp  300000 Jan 01  2020 f.bin\r\n");
    source.setFileData(PatternBytes(kFileSize));
    source.setStallAfter(kSentBeforeStall);
}

// Starts `target` and logs the window in to `source` and to the target's
// folder "dir"; once it holds f.bin, its pane lists it.
bool ConnectToTargetFolder(frmZAVUde &window, const ScriptedFtpServer &source, PyFtpServer &target, bool held)
{
    if (!target.start())
        return false;
    CProfile targetProfile = ServerProfile(target);
    targetProfile.RemotePath = QStringLiteral("/dir");
    if (!ConnectSourceAndTarget(window, ServerProfile(source), targetProfile))
        return false;
    return !held || QTest::qWaitFor([&] { return window.Remote(1)->Model->findText(QStringLiteral("f.bin")) >= 0; });
}

TEST(ServerCopyExit, ClosingTheWindowStopsTheCopyAndNamesWhatItLeavesOnTheTarget)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    const QByteArray heldBytes = PatternBytes(700).toHex();
    const QByteArray fileBytes = PatternBytes(kFileSize);
    const char *const asksToDeleteTheTemporary =
        "A copy of \"/f.bin\" to \"/dir/f.bin\" is still running. Exiting stops it; its temporary file \"%1\" on the "
        "target server is deleted where that server allows.";
    const QStringList temporaryAndHeld{QStringLiteral("*"), QStringLiteral("f.bin")};
    const ExitCase cases[] = {
        {"a held file, a target that deletes", true, "elradfmwMT", false, asksToDeleteTheTemporary,
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nIts temporary file \"%1\" was deleted from the "
         "target server.",
         {QStringLiteral("f.bin")}, 0},
        {"a held file, a target that deletes nothing", true, "elrw", false, asksToDeleteTheTemporary,
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nThe copy's temporary file \"%1\" could not be "
         "removed from the target server: 550 Not enough privileges.",
         temporaryAndHeld, kSentBeforeStall},
        {"a held file, a target that stopped answering", true, "elradfmwMT", true, asksToDeleteTheTemporary,
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nThe copy's temporary file \"%1\" may be left on "
         "the target server.",
         temporaryAndHeld, kSentBeforeStall},
        {"no held file", false, "elradfmwMT", false,
         "A copy of \"/f.bin\" to \"/dir/f.bin\" is still running. Exiting stops it and leaves a short file "
         "\"/dir/f.bin\" on the target server.",
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nThe target server keeps \"/dir/f.bin\" with "
         "100000 of the file's 300000 bytes.",
         {QStringLiteral("f.bin")}, kSentBeforeStall},
    };
    for (const ExitCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer source;
        PyFtpServer target;
        ASSERT_TRUE(source.listen());
        ServeStallingFile(source);
        ASSERT_TRUE(target.makeFolder(QStringLiteral("dir")));
        if (c.held)
            ASSERT_TRUE(target.writeFile(QStringLiteral("dir/f.bin"), heldBytes));
        target.setFolderRights(QStringLiteral("dir"), QString::fromUtf8(c.rights));
        auto window = DualWindow();
        ASSERT_TRUE(ConnectToTargetFolder(*window, source, target, c.held)) << target.error().toStdString();

        window->Remote(0)->RightView->selectAll();
        ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
        // The source has stopped, and the target holds what came before.
        ASSERT_TRUE(QTest::qWaitFor([&] { return source.isFrozen(); }, 30000));
        const QString storedAt = c.held ? window->Runner()->Copy().TemporaryPath() : QString();
        if (c.held)
            ASSERT_TRUE(storedAt.startsWith(QStringLiteral("/dir/"))) << storedAt.toStdString();
        const QString stored = target.rootPath() + (c.held ? storedAt : QStringLiteral("/dir/f.bin"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(stored).size() == kSentBeforeStall; }, 30000));

        std::unique_ptr<StoppedProcess> frozen;
        if (c.targetFrozen)
            frozen = std::make_unique<StoppedProcess>(target.processId());
        ScriptedPrompts prompts;
        // No changes nothing.
        prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::No);
        EXPECT_FALSE(window->close());
        EXPECT_TRUE(window->Runner()->Running());
        prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
        prompts.expectMessage(QStringLiteral("was stopped"), PromptButton::Ok);
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(prompts.allUsed());
        frozen.reset();

        QStringList expectedFiles;
        for (const QString &name : c.filesLeft)
            expectedFiles << (name == QLatin1String("*") ? QFileInfo(storedAt).fileName() : name);
        expectedFiles.sort();
        QDir folder(target.rootPath() + QStringLiteral("/dir"));
        EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u'|').toStdString(),
                  expectedFiles.join(u'|').toStdString());
        if (c.held)
            EXPECT_EQ(target.readFile(QStringLiteral("dir/f.bin")), heldBytes);
        if (c.leftBytes > 0)
            EXPECT_EQ(target.readFile(stored.mid(target.rootPath().size() + 1)), fileBytes.left(c.leftBytes));

        const QStringList texts = prompts.messageTexts();
        ASSERT_EQ(texts.size(), 3) << texts.join(u'|').toStdString();
        const QString question = QStringLiteral("You are connected to a server. Disconnect and exit Ftp Qor?\r\n\r\n")
                               + withTemporary(c.questionLine, storedAt);
        EXPECT_EQ(texts.at(0).toStdString(), question.toStdString());
        EXPECT_EQ(texts.at(1).toStdString(), question.toStdString());
        EXPECT_EQ(texts.at(2).toStdString(), withTemporary(c.stoppedMessage, storedAt).toStdString());
        EXPECT_FALSE(window->Runner()->Running());
    }
}

// Closed while the target renames the whole copy over its file: the rename
// the target was sent decides. Done, the copy is told as complete; refused,
// the copy stops as any other, its temporary file deleted.
struct RenameCase
{
    const char *name;
    const char *rights;   // the user's rights in the target's folder
    const char *stopsAt;  // the command the target stops at until the window waits (or longer)
    bool inTime;          // the target goes on within the wait
    bool renamed;         // the target renames (checked when it went on in time)
    const char *question; // the line the exit question adds; %1 as below
    const char *message;  // after Yes; %1 stands for the temporary file
};

TEST(ServerCopyExit, ClosingTheWindowDuringTheRenameTellsWhatTheRenameDid)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    const QByteArray heldBytes = PatternBytes(700).toHex();
    const char *const renaming = "A copy of \"/f.bin\" to \"/dir/f.bin\" is still running. The whole copy is being "
                                 "renamed over the target's file; exiting waits for the target server to finish.";
    const char *const deleted = "The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nIts temporary file \"%1\" "
                                "was deleted from the target server.";
    const RenameCase cases[] = {
        {"the target renames", "elradfmwMT", "RNFR", true, true, renaming,
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was completed."},
        {"the target refuses the rename", "elradmwMT", "RNFR", true, false, renaming, deleted},
        {"the target does not answer the rename in time", "elradfmwMT", "RNFR", false, false, renaming,
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nThe target server did not finish renaming the "
         "copy's temporary file \"%1\" over \"/dir/f.bin\" in time: \"/dir/f.bin\" may hold the copy, or its old "
         "file with \"%1\" beside it."},
        {"the target deletes the copy it would not rename", "elradmwMT", "DELE", true, false,
         "A copy of \"/f.bin\" to \"/dir/f.bin\" is still running. Exiting stops it; its temporary file \"%1\" on "
         "the target server is deleted where that server allows.",
         deleted},
    };
    for (const RenameCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer source;
        PyFtpServer target;
        ASSERT_TRUE(source.listen());
        ServeOneFile(source);
        ASSERT_TRUE(target.writeFile(QStringLiteral("dir/f.bin"), heldBytes));
        target.setFolderRights(QStringLiteral("dir"), QString::fromUtf8(c.rights));
        auto window = DualWindow();
        ASSERT_TRUE(ConnectToTargetFolder(*window, source, target, true)) << target.error().toStdString();

        // The target stops as the rename goes out, and goes on once the window waits for it.
        std::unique_ptr<StoppedProcess> frozen;
        QString storedAt;
        QObject::connect(window->Slot(1)->FtpCmd(), &FtpCommander::CommandSent, window.get(),
                         [&](const QString &, const QString &command) {
                             if (command.startsWith(QString::fromUtf8(c.stopsAt)) && !frozen) {
                                 storedAt = window->Runner()->Copy().TemporaryPath();
                                 frozen = std::make_unique<StoppedProcess>(target.processId());
                             }
                         });
        window->Remote(0)->RightView->selectAll();
        ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return frozen != nullptr; }, 30000));
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
        prompts.expectMessage(QStringLiteral("The copy of"), PromptButton::Ok);
        if (c.inTime)
            QTimer::singleShot(300, window.get(), [&] { frozen.reset(); });
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(prompts.allUsed());
        frozen.reset();

        if (c.inTime) {
            EXPECT_EQ(target.readFile(QStringLiteral("dir/f.bin")), c.renamed ? PatternBytes(5000) : heldBytes);
            EXPECT_EQ(QDir(target.rootPath() + QStringLiteral("/dir")).entryList(QDir::Files | QDir::Hidden),
                      QStringList{QStringLiteral("f.bin")});
        }
        const QStringList texts = prompts.messageTexts();
        ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
        EXPECT_TRUE(texts.at(0).endsWith(withTemporary(c.question, storedAt))) << texts.at(0).toStdString();
        EXPECT_EQ(texts.at(1).toStdString(), withTemporary(c.message, storedAt).toStdString());
    }
}

// The tray's Exit works while the close waits for the target (its menu is no
// input to the window): it leaves the close to end as it would, rather than
// ending the program at once with the temporary file left and its message unseen.
TEST(ServerCopyExit, TheTraysExitWhileTheCloseWaitsForTheTargetLetsTheCloseEnd)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    ScriptedFtpServer source;
    PyFtpServer target;
    ASSERT_TRUE(source.listen());
    ServeStallingFile(source);
    ASSERT_TRUE(target.writeFile(QStringLiteral("dir/f.bin"), "held"));
    auto window = DualWindow();
    ASSERT_TRUE(ConnectToTargetFolder(*window, source, target, true)) << target.error().toStdString();
    window->Remote(0)->RightView->selectAll();
    ASSERT_TRUE(window->Runner()->Copy().CmdToFTP_Click(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.isFrozen(); }, 30000));
    const QString storedAt = window->Runner()->Copy().TemporaryPath();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFileInfo(target.rootPath() + storedAt).size() == kSentBeforeStall; }, 30000));

    auto frozen = std::make_unique<StoppedProcess>(target.processId());
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("was stopped"), PromptButton::Ok);
    QAction *trayExit = nullptr;
    for (QAction *action : window->mnuTray->actions())
        trayExit = action->text() == QLatin1String("Exit") ? action : trayExit;
    ASSERT_NE(trayExit, nullptr);
    bool closed = false;
    // As in the running program: the close runs in its event loop, which the program's end leaves.
    QTimer::singleShot(0, window.get(), [&] {
        QTimer::singleShot(200, trayExit, &QAction::trigger);
        QTimer::singleShot(1000, window.get(), [&] { frozen.reset(); });
        closed = window->close();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    frozen.reset();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(QDir(target.rootPath() + QStringLiteral("/dir")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("f.bin")});
    const QStringList texts = prompts.messageTexts();
    ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.at(1).toStdString(),
              withTemporary("The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\nIts temporary file \"%1\" was "
                            "deleted from the target server.",
                            storedAt)
                  .toStdString());
}

} // namespace


// Closing the main window while a server-to-server copy runs: the exit
// question says what stopping the copy leaves on the target; Yes stops it,
// deletes its temporary file where the target allows, and names what is left.
// The source (slot 0) is scripted; the target (slot 1) is real, showing its
// folder "dir".
#include "frmZAVUde.h"

#include "FtpCommander.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerCopyTestSupport.h"

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
const QString kStopped = QStringLiteral("The copy of \"/f.bin\" to \"/dir/f.bin\" was stopped.\n\n");
const QString kDeleted = kStopped + QStringLiteral("Its temporary file \"%1\" was deleted from the target server.");
const QString kStillRunning = QStringLiteral("A copy of \"/f.bin\" to \"/dir/f.bin\" is still running. ");
const QString kAsksToDelete = kStillRunning + QStringLiteral("Exiting stops it; its temporary file \"%1\" on the "
                                                             "target server is deleted where that server allows.");

QString withTemporary(QString text, const QString &temporary) { return text.replace(QStringLiteral("%1"), temporary); }

// A real server stopped as a process is: it answers nothing until continued.
struct StoppedProcess
{
    pid_t pid;
    explicit StoppedProcess(qint64 id) : pid(static_cast<pid_t>(id)) { ::kill(pid, SIGSTOP); }
    ~StoppedProcess() { ::kill(pid, SIGCONT); }
    StoppedProcess(const StoppedProcess &) = delete;
    StoppedProcess &operator=(const StoppedProcess &) = delete;
};

// The window logged in to both servers, the target's "dir" holding `held` as
// f.bin (nothing when empty) with the user's `rights` there.
struct CopyOntoDir
{
    ScriptedFtpServer source;
    PyFtpServer target;
    std::unique_ptr<frmZAVUde> window = DualWindow();
    std::unique_ptr<StoppedProcess> frozen;
    ScriptedPrompts prompts;

    // `stalls`: f.bin stops partway, the source frozen; else ServeOneFile.
    bool connect(bool stalls, const QByteArray &held, const char *rights = nullptr)
    {
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        if (!source.listen() || !target.makeFolder(QStringLiteral("dir"))
            || (!held.isEmpty() && !target.writeFile(QStringLiteral("dir/f.bin"), held)))
            return false;
        if (stalls) {
            source.setListing("-rw-r--r--   1 ftp ftp  300000 Jan 01  2020 f.bin\r\n");
            source.setFileData(PatternBytes(kFileSize));
            source.setStallAfter(kSentBeforeStall);
        } else {
            ServeOneFile(source);
        }
        if (rights)
            target.setFolderRights(QStringLiteral("dir"), QString::fromUtf8(rights));
        return target.start()
            && ConnectToTargetFolder(*window, ServerProfile(source), ServerProfile(target), QStringLiteral("/dir"),
                                     !held.isEmpty());
    }

    // Copies until the source froze and the target's `storedAt` (the
    // temporary file, or the file itself) holds what came before.
    bool copyUntilStalled(bool temporary, QString &storedAt)
    {
        if (!CopyAll(*window) || !QTest::qWaitFor([&] { return source.isFrozen(); }, 30000))
            return false;
        storedAt = temporary ? window->Runner()->Copy().TemporaryPath() : QStringLiteral("/dir/f.bin");
        return storedAt.startsWith(QStringLiteral("/dir/")) && QTest::qWaitFor([&] {
            return QFileInfo(target.rootPath() + storedAt).size() == kSentBeforeStall;
        }, 30000);
    }

    void freezeTarget() { frozen = std::make_unique<StoppedProcess>(target.processId()); }

    QString dirFiles() const
    {
        const QDir dir(target.rootPath() + QStringLiteral("/dir"));
        return dir.entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u'|');
    }
};

struct ExitCase
{
    const char *name;
    bool held;          // the target's folder holds f.bin before the copy
    const char *rights; // the user's rights in that folder
    bool targetFrozen;  // the target answers nothing once the window closes
    QString questionLine; // %1 stands for the copy's temporary file on the target
    QString stoppedMessage;
    bool partLeft; // what came of the file stays on the target, beside any held file
};

TEST(ServerCopyExit, ClosingTheWindowStopsTheCopyAndNamesWhatItLeavesOnTheTarget)
{
    const QByteArray heldBytes = PatternBytes(700).toHex();
    const ExitCase cases[] = {
        {"a held file, a target that deletes", true, "elradfmwMT", false, kAsksToDelete, kDeleted, false},
        {"a held file, a target that deletes nothing", true, "elrw", false, kAsksToDelete,
         kStopped + "The copy's temporary file \"%1\" could not be removed from the target server: 550 Not enough "
                    "privileges.",
         true},
        {"a held file, a target that stopped answering", true, "elradfmwMT", true, kAsksToDelete,
         kStopped + "The copy's temporary file \"%1\" may be left on the target server.", true},
        {"no held file", false, "elradfmwMT", false,
         kStillRunning + "Exiting stops it and leaves a short file \"/dir/f.bin\" on the target server.",
         kStopped + "The target server keeps \"/dir/f.bin\" with 100000 of the file's 300000 bytes.", true},
    };
    for (const ExitCase &c : cases) {
        SCOPED_TRACE(c.name);
        CopyOntoDir run;
        ASSERT_TRUE(run.connect(true, c.held ? heldBytes : QByteArray(), c.rights)) << run.target.error().toStdString();
        QString storedAt;
        ASSERT_TRUE(run.copyUntilStalled(c.held, storedAt)) << storedAt.toStdString();

        if (c.targetFrozen)
            run.freezeTarget();
        run.prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::No);
        EXPECT_FALSE(run.window->close());
        EXPECT_TRUE(run.window->Runner()->Running());
        run.prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
        run.prompts.expectMessage(QStringLiteral("was stopped"), PromptButton::Ok);
        EXPECT_TRUE(run.window->close());
        EXPECT_TRUE(run.prompts.allUsed());
        run.frozen.reset();

        QStringList expectedFiles{QStringLiteral("f.bin")};
        if (c.partLeft && c.held)
            expectedFiles << QFileInfo(storedAt).fileName();
        expectedFiles.sort();
        EXPECT_EQ(run.dirFiles().toStdString(), expectedFiles.join(u'|').toStdString());
        if (c.held) {
            EXPECT_EQ(run.target.readFile(QStringLiteral("dir/f.bin")), heldBytes);
        }
        if (c.partLeft) {
            EXPECT_EQ(run.target.readFile(storedAt.mid(1)), PatternBytes(kFileSize).left(kSentBeforeStall));
        }
        const QString question = withTemporary(
            QStringLiteral("You are connected to a server. Disconnect and exit Ftp Qor?\r\n\r\n") + c.questionLine,
            storedAt);
        const QStringList texts = run.prompts.messageTexts();
        ASSERT_EQ(texts.size(), 3) << texts.join(u'|').toStdString();
        for (int i : {0, 1})
            EXPECT_EQ(texts.at(i).toStdString(), question.toStdString());
        EXPECT_EQ(texts.at(2).toStdString(), withTemporary(c.stoppedMessage, storedAt).toStdString());
        EXPECT_FALSE(run.window->Runner()->Running());
    }
}

// Closed while the target renames the whole copy over its file: the rename
// the target was sent decides. Done, the copy is told as complete; refused,
// the copy stops as any other, its temporary file deleted.
struct RenameCase
{
    const char *name;
    const char *rights;  // the user's rights in the target's folder
    const char *stopsAt; // the command the target stops at until the window waits (or longer)
    bool inTime;         // the target goes on within the wait
    bool renamed;        // the target renames (checked when it went on in time)
    QString question;    // the line the exit question adds; %1 as below
    QString message;     // after Yes; %1 stands for the temporary file
};

TEST(ServerCopyExit, ClosingTheWindowDuringTheRenameTellsWhatTheRenameDid)
{
    const QByteArray heldBytes = PatternBytes(700).toHex();
    const QString renaming = kStillRunning + "The whole copy is being renamed over the target's file; exiting waits "
                                             "for the target server to finish.";
    const RenameCase cases[] = {
        {"the target renames", "elradfmwMT", "RNFR", true, true, renaming,
         "The copy of \"/f.bin\" to \"/dir/f.bin\" was completed."},
        {"the target refuses the rename", "elradmwMT", "RNFR", true, false, renaming, kDeleted},
        {"the target does not answer the rename in time", "elradfmwMT", "RNFR", false, false, renaming,
         kStopped + "The target server did not finish renaming the copy's temporary file \"%1\" over \"/dir/f.bin\" "
                    "in time: \"/dir/f.bin\" may hold the copy, or its old file with \"%1\" beside it."},
        {"the target deletes the copy it would not rename", "elradmwMT", "DELE", true, false, kAsksToDelete, kDeleted},
    };
    for (const RenameCase &c : cases) {
        SCOPED_TRACE(c.name);
        CopyOntoDir run;
        ASSERT_TRUE(run.connect(false, heldBytes, c.rights)) << run.target.error().toStdString();
        // The target stops as the rename goes out, and goes on once the window waits for it.
        QString storedAt;
        QObject::connect(run.window->Slot(1)->FtpCmd(), &FtpCommander::CommandSent, run.window.get(),
                         [&](const QString &, const QString &command) {
                             if (command.startsWith(QString::fromUtf8(c.stopsAt)) && !run.frozen) {
                                 storedAt = run.window->Runner()->Copy().TemporaryPath();
                                 run.freezeTarget();
                             }
                         });
        ASSERT_TRUE(CopyAll(*run.window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return run.frozen != nullptr; }, 30000));
        run.prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
        run.prompts.expectMessage(QStringLiteral("The copy of"), PromptButton::Ok);
        if (c.inTime)
            QTimer::singleShot(300, run.window.get(), [&] { run.frozen.reset(); });
        EXPECT_TRUE(run.window->close());
        EXPECT_TRUE(run.prompts.allUsed());
        run.frozen.reset();

        if (c.inTime) {
            EXPECT_EQ(run.target.readFile(QStringLiteral("dir/f.bin")), c.renamed ? PatternBytes(5000) : heldBytes);
            EXPECT_EQ(run.dirFiles(), QStringLiteral("f.bin"));
        }
        const QStringList texts = run.prompts.messageTexts();
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
    CopyOntoDir run;
    ASSERT_TRUE(run.connect(true, "held")) << run.target.error().toStdString();
    QString storedAt;
    ASSERT_TRUE(run.copyUntilStalled(true, storedAt)) << storedAt.toStdString();

    run.freezeTarget();
    run.prompts.expectMessage(QStringLiteral("Disconnect and exit"), PromptButton::Yes);
    run.prompts.expectMessage(QStringLiteral("was stopped"), PromptButton::Ok);
    QAction *trayExit = nullptr;
    for (QAction *action : run.window->mnuTray->actions())
        trayExit = action->text() == QLatin1String("Exit") ? action : trayExit;
    ASSERT_NE(trayExit, nullptr);
    bool closed = false;
    // As in the running program: the close runs in its event loop, which the program's end leaves.
    QTimer::singleShot(0, run.window.get(), [&] {
        QTimer::singleShot(200, trayExit, &QAction::trigger);
        QTimer::singleShot(1000, run.window.get(), [&] { run.frozen.reset(); });
        closed = run.window->close();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    run.frozen.reset();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(run.prompts.allUsed());
    EXPECT_EQ(run.dirFiles(), QStringLiteral("f.bin"));
    const QStringList texts = run.prompts.messageTexts();
    ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.at(1).toStdString(), withTemporary(kDeleted, storedAt).toStdString());
}

} // namespace

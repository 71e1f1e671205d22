// The watcher with real programs: short /bin/sh scripts that leave the copy
// alone, change it or delete it.
#include "ApplicationWatcher.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include <csignal>

namespace {

class ApplicationWatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&watcher, &ApplicationWatcher::FileChanged, [this](const QString &path, const QString &remote,
                                                                            const QString &id, qint16 slot,
                                                                            const QString &profile) {
            events << QStringLiteral("changed %1 %2 %3 %4 %5").arg(QFileInfo(path).fileName(), remote, id).arg(slot).arg(profile);
        });
        QObject::connect(&watcher, &ApplicationWatcher::FileDeleted,
                         [this](const QString &path, const QString &, const QString &, qint16, const QString &) {
                             events << QStringLiteral("deleted %1").arg(QFileInfo(path).fileName());
                         });
        QObject::connect(&watcher, &ApplicationWatcher::ProcessExit,
                         [this](const QString &app, const QString &path, const QString &, qint16, const QString &) {
                             events << QStringLiteral("exit %1 %2").arg(QFileInfo(app).fileName(),
                                                                         QFileInfo(path).fileName());
                         });
    }

    QString Script(const QString &name, const QByteArray &body)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(WriteShellScript(path, body));
        return path;
    }
    QString Copy(const QString &name, const QByteArray &bytes = "text\n")
    {
        const QString path = dir.filePath(name);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    int Run(const QString &app, const QString &copy, const QString &mode = QStringLiteral("e"),
            const QString &flags = {})
    {
        return watcher.RunNotifyApplication(app, mode, QStringLiteral("/pub/") + QFileInfo(copy).fileName(), copy,
                                            QStringLiteral("task"), 1, QStringLiteral("site"), flags);
    }
    // Waits for the program of an entry to end (a safety bound, not a timing).
    static void WaitForEnd(const WatchEntry *entry)
    {
        ASSERT_NE(entry, nullptr);
        ASSERT_NE(entry->Process, nullptr);
        if (entry->Process->state() == QProcess::NotRunning)
            return;
        QSignalSpy ended(entry->Process, &QProcess::finished);
        ASSERT_TRUE(ended.wait(10000));
    }
    void WaitForEvents(int count)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return events.size() >= count; }, 10000));
    }

    QTemporaryDir dir;
    ApplicationWatcher watcher;
    QStringList events;
};

} // namespace

TEST_F(ApplicationWatcherTest, EventsTellWhatTheProgramDidToTheCopy)
{
    const QString untouched = Script("look", "cat \"$1\" > /dev/null");
    const QString append = Script("append", "echo more >> \"$1\"");
    const QString remove = Script("remove", "rm -f \"$1\"");

    Run(untouched, Copy("a.txt"));
    WaitForEvents(1);
    Run(append, Copy("b.txt"));
    WaitForEvents(3);
    Run(remove, Copy("c.txt"));
    WaitForEvents(5);
    EXPECT_EQ(events, QStringList({"exit look a.txt", "changed b.txt /pub/b.txt task 1 site", "exit append b.txt",
                                   "deleted c.txt", "exit remove c.txt"}));
    EXPECT_EQ(ReadFileBytes(dir.filePath("b.txt")), "text\nmore\n");
}

TEST_F(ApplicationWatcherTest, EntriesStayUntilCompactedAndNewOnesFollowTheOpenOnes)
{
    EXPECT_EQ(watcher.FileCount(), 0);
    const QString quick = Script("quick", "exit 0");
    EXPECT_EQ(Run(quick, Copy("one.txt")), 0);
    EXPECT_EQ(watcher.FileCount(), 1);
    WaitForEvents(1);
    EXPECT_EQ(watcher.FileCount(), 1);
    EXPECT_TRUE(watcher.Entry(0)->Closed);
    watcher.RemoveClosedFiles();
    EXPECT_EQ(watcher.FileCount(), 0);
    EXPECT_FALSE(watcher.Enabled());
    watcher.SetEnabled(true);

    // Five programs; the ones on copies 1 and 3 wait for a release file.
    const QString release = dir.filePath("release");
    const QString waiting = Script("wait", QStringLiteral("while [ ! -e '%1' ]; do sleep 0.02; done").arg(release).toUtf8());
    for (int i = 0; i < 5; ++i)
        Run(i == 1 || i == 3 ? waiting : quick, Copy(QStringLiteral("f%1.txt").arg(i)));
    WaitForEvents(4);
    EXPECT_EQ(events.size(), 4);
    watcher.RemoveClosedFiles();
    EXPECT_EQ(watcher.FileCount(), 2);
    EXPECT_EQ(QFileInfo(watcher.Entry(0)->FilePath).fileName(), "f1.txt");
    EXPECT_EQ(QFileInfo(watcher.Entry(1)->FilePath).fileName(), "f3.txt");
    EXPECT_EQ(Run(quick, Copy("next.txt")), 2);

    // Exits while paused wait for the next Enabled, then all are told.
    events.clear();
    ASSERT_TRUE(WriteFileBytes(release, "go"));
    WaitForEnd(watcher.Entry(0));
    WaitForEnd(watcher.Entry(1));
    WaitForEnd(watcher.Entry(2));
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.isEmpty());
    watcher.SetEnabled(true);
    EXPECT_EQ(events, QStringList({"exit wait f1.txt", "exit wait f3.txt", "exit quick next.txt"}));
}

TEST_F(ApplicationWatcherTest, OpenCopiesAreFoundAnyCaseButClosedOnlyByTheExactName)
{
    const QString release = dir.filePath("release");
    const QString waiting = Script("wait", QStringLiteral("while [ ! -e '%1' ]; do sleep 0.02; done").arg(release).toUtf8());
    const QString copy = Copy("Notes.TXT");
    Run(waiting, copy);
    EXPECT_TRUE(watcher.FileAlreadyOpen(copy.toLower()));
    EXPECT_TRUE(watcher.FileAlreadyOpen(copy));
    watcher.DeleteWatchByFileName(copy.toLower());
    EXPECT_TRUE(watcher.FileAlreadyOpen(copy));
    watcher.DeleteWatchByFileName(copy);
    EXPECT_FALSE(watcher.FileAlreadyOpen(copy));

    watcher.RunNotifyApplication(waiting, "o", "/pub/Notes.TXT", copy, "task2", 0, "site");
    watcher.DeleteWatch(QStringLiteral("task2"));
    EXPECT_FALSE(watcher.FileAlreadyOpen(copy));
    EXPECT_EQ(watcher.FileCount(), 2);

    // A closed entry raises nothing when its program ends.
    ASSERT_TRUE(WriteFileBytes(release, "go"));
    WaitForEnd(watcher.Entry(0));
    WaitForEnd(watcher.Entry(1));
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(ApplicationWatcherTest, ModeSetsTheCopysAccessAndNothingIsRecordedWithoutCopyOrProgram)
{
    const QString quick = Script("quick", "exit 0");
    const QString edit = Copy("edit.txt"), view = Copy("view.txt"), upper = Copy("upper.txt");
    Run(quick, edit, "e");
    Run(quick, view, "o");
    Run(quick, upper, "E");
    const auto executable = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    const auto writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    EXPECT_TRUE(QFile::permissions(edit) & QFile::WriteOwner);
    EXPECT_FALSE(QFile::permissions(view) & writable);
    EXPECT_FALSE(QFile::permissions(upper) & writable);
    for (const QString &path : {edit, view, upper})
        EXPECT_FALSE(QFile::permissions(path) & executable) << path.toStdString();
    EXPECT_EQ(watcher.FileCount(), 3);

    EXPECT_EQ(Run(quick, dir.filePath("missing.txt")), -1);
    EXPECT_EQ(Run(dir.filePath("no-such-program"), Copy("x.txt")), -1);
    EXPECT_EQ(watcher.FileCount(), 3);
    EXPECT_EQ(ApplicationWatcher::GetShortName(dir.filePath("missing.txt")), "");
    EXPECT_EQ(ApplicationWatcher::GetShortName(edit), edit);
}

TEST_F(ApplicationWatcherTest, ASaveWithinTheSameSecondAndOfTheSameSizeCounts)
{
    const QString copy = Copy("same.txt", "abc");
    // The copy dates from the start of this second, the program writes within it.
    namespace fs = std::filesystem;
    const fs::path file(copy.toStdString());
    const auto now = fs::last_write_time(file);
    fs::last_write_time(file, std::chrono::floor<std::chrono::seconds>(now));
    Run(Script("rewrite", "printf xyz > \"$1\""), copy);
    WaitForEvents(2);
    EXPECT_EQ(events.value(0), "changed same.txt /pub/same.txt task 1 site");
}

TEST_F(ApplicationWatcherTest, ThePathReachesTheProgramAsOneArgumentAfterTheFlags)
{
    const QString out = dir.filePath("received");
    const QString app = Script("args", QStringLiteral("for a in \"$@\"; do printf '[%s]' \"$a\" >> '%1'; done").arg(out).toUtf8());
    const QString copy = Copy("a b \"q\" 'c'.txt");
    Run(app, copy, "o", "-x \"two words\"");
    WaitForEvents(1);
    EXPECT_EQ(QString::fromUtf8(ReadFileBytes(out)), QStringLiteral("[-x][two words][%1]").arg(copy));
}

TEST_F(ApplicationWatcherTest, AReleasedProgramRunsOnAndItsProcessGoesWithItsEndOrTheWatcher)
{
    const QString release = dir.filePath("release");
    // Also ends when the test folder is gone, so no program outlives the test.
    const QString waiting = Script("wait", QStringLiteral("while [ ! -e '%1' ] && [ -d '%2' ]; do sleep 0.02; done")
                                               .arg(release, dir.path())
                                               .toUtf8());

    // Let go while running: the object stays with the watcher until the program ends.
    ASSERT_EQ(Run(waiting, Copy("kept.txt")), 0);
    QPointer<QProcess> released = watcher.Entry(0)->Process;
    watcher.DeleteAllWatch();
    ASSERT_FALSE(released.isNull());
    EXPECT_EQ(released->parent(), &watcher);
    EXPECT_EQ(released->state(), QProcess::Running);
    QSignalSpy ended(released.data(), &QProcess::finished);
    ASSERT_TRUE(WriteFileBytes(release, "go"));
    ASSERT_TRUE(ended.wait(10000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(released.isNull());
    EXPECT_TRUE(watcher.findChildren<QProcess *>().isEmpty());
    EXPECT_TRUE(events.isEmpty());

    // A watcher that goes first takes the object along but not the program.
    ASSERT_TRUE(QFile::remove(release));
    qint64 pid = 0;
    {
        ApplicationWatcher shortLived;
        ASSERT_EQ(shortLived.RunNotifyApplication(waiting, QStringLiteral("e"), QStringLiteral("/pub/late.txt"),
                                                  Copy("late.txt"), QStringLiteral("task"), 1, QStringLiteral("site")),
                  0);
        pid = shortLived.Entry(0)->ProcessId;
        shortLived.DeleteAllWatch();
    }
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(static_cast<pid_t>(pid), 0), 0);
    ASSERT_TRUE(WriteFileBytes(release, "go"));
}

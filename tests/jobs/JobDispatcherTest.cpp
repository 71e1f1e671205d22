// The job dispatcher with real engines against a real server.
#include "JobDispatchSupport.h"
#include "PyFtpServer.h"
#include "RefusingPort.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

namespace {

class Dispatch : public DispatchFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        account = {server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser),
                   QString::fromLatin1(PyFtpServer::kPassword)};
    }

    std::shared_ptr<FtpTask> download(const QString &name, const QByteArray &content)
    {
        EXPECT_TRUE(server.writeFile(QStringLiteral("pub/") + name, content));
        return queue(makeJob(account, false, QStringLiteral("/pub"), name));
    }

    std::shared_ptr<FtpTask> upload(const QString &remoteFolder, const QString &name, const QByteArray &content)
    {
        EXPECT_TRUE(WriteFileBytes(local.filePath(name), content));
        return queue(makeJob(account, true, remoteFolder, name));
    }

    // Commands the connections sent, in order, that start with one of the verbs.
    QStringList sent(const QStringList &verbs) const
    {
        QStringList commands;
        for (const QString &line : host.log) {
            for (const QString &verb : verbs) {
                if (line.startsWith(verb + QLatin1Char(' ')))
                    commands << line;
            }
        }
        return commands;
    }

    PyFtpServer server;
    Account account;
};

} // namespace

TEST_F(Dispatch, SixJobsTakeFiveConnectionsInQueueOrderAndTheSixthWaits)
{
    std::vector<std::shared_ptr<FtpTask>> jobs;
    for (int i = 0; i < 6; ++i)
        jobs.push_back(download(QStringLiteral("f%1.bin").arg(i), PatternBytes(1000 + i)));
    dispatcher.RunQueuedJobs();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dispatcher.LinkedJob(i), jobs[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(jobs[5]->Status(), 0);
    EXPECT_EQ(dispatcher.RunningIndex(jobs[5]->ZavUdeID()), -1);

    ASSERT_TRUE(waitForEnded(6));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(jobs[static_cast<size_t>(i)]->Status(), 2) << i;
        EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("f%1.bin").arg(i))), PatternBytes(1000 + i));
    }
    EXPECT_EQ(host.cell(*jobs[0]), QStringLiteral("Completed"));
    EXPECT_EQ(host.colours.value(jobs[0]->ZavUdeID()), JobDispatchHost::kBlue);
    EXPECT_EQ(host.sounds.count(2), 6);
    EXPECT_EQ(host.arrived.count(local.path()), 6);
    // With nothing left to do every session is closed again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dispatcher.AnySessionActive(); }, 5000));
    EXPECT_FALSE(host.progressTimer);
}

TEST_F(Dispatch, AJobStartedAgainWhileAnotherRunsIsTakenBeforeTheJobsAfterIt)
{
    dispatcher.setConnectionLimit(1);
    const auto first = download(QStringLiteral("a.bin"), PatternBytes(3000));
    const auto second = download(QStringLiteral("b.bin"), PatternBytes(3001));
    const auto third = download(QStringLiteral("c.bin"), PatternBytes(3002));
    bool startedAgain = false;
    host.onLinked = [&](int) {
        if (startedAgain || dispatcher.LinkedJob(0) != second)
            return;
        // Queued again while the second one runs, as a job sent again is.
        startedAgain = true;
        QFile::remove(local.filePath(QStringLiteral("a.bin")));
        first->setStatus(0);
        first->setLocked(false);
    };
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return third->Status() == 2 && idle(); }, 30000));
    host.onLinked = nullptr;
    EXPECT_TRUE(startedAgain);
    const QStringList expected = {QStringLiteral("RETR /pub/a.bin"), QStringLiteral("RETR /pub/b.bin"),
                                  QStringLiteral("RETR /pub/a.bin"), QStringLiteral("RETR /pub/c.bin")};
    EXPECT_EQ(sent({QStringLiteral("RETR")}), expected) << host.log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("a.bin"))), PatternBytes(3000));
}

TEST_F(Dispatch, UploadMakesTheMissingFoldersLevelByLevel)
{
    ASSERT_TRUE(server.makeFolder(QStringLiteral("a")));
    const QByteArray content = PatternBytes(5000);
    auto job = upload(QStringLiteral("/a/b/c"), QStringLiteral("up.bin"), content);
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(job->Status(), 2) << host.log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(server.readFile(QStringLiteral("a/b/c/up.bin")), content);
    const QStringList expected = {
        QStringLiteral("CWD /a/b/c"), QStringLiteral("MKD /a/b/c"), QStringLiteral("CWD /a/b"),
        QStringLiteral("CWD /a"),     QStringLiteral("MKD /a/b"),   QStringLiteral("CWD /a/b"),
        QStringLiteral("MKD /a/b/c"), QStringLiteral("CWD /a/b/c"), QStringLiteral("STOR /a/b/c/up.bin")};
    EXPECT_EQ(sent({QStringLiteral("CWD"), QStringLiteral("MKD"), QStringLiteral("STOR")}), expected);
    EXPECT_TRUE(host.dirty.contains(server.host() + QStringLiteral("/a/b/c")));
    EXPECT_TRUE(host.steps.contains(QStringLiteral("Creating folder")));
    EXPECT_TRUE(host.steps.contains(QStringLiteral("Navigating folder")));
}

TEST_F(Dispatch, DownloadAndResumedDownloadArriveWhole)
{
    const QByteArray content = PatternBytes(300 * 1024 + 3);
    auto fresh = download(QStringLiteral("fresh.bin"), content);
    auto resumed = download(QStringLiteral("part.bin"), content);
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("part.bin")), content.left(100000)));
    resumed->setIsResume(true);
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(2));
    EXPECT_EQ(fresh->Status(), 2);
    EXPECT_EQ(resumed->Status(), 2);
    EXPECT_EQ(fresh->Size(), content.size()); // learnt from the server
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("fresh.bin"))), content);
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("part.bin"))), content);
    EXPECT_TRUE(host.log.contains(QStringLiteral("REST 100000")));
}

// A released connection whose session belongs to another account closes it
// and logs in again; the disconnect it causes fails nothing.
TEST_F(Dispatch, TwoAccountsOnOneServer)
{
    std::vector<std::shared_ptr<FtpTask>> jobs;
    for (int i = 0; i < 5; ++i)
        jobs.push_back(download(QStringLiteral("u%1.bin").arg(i), PatternBytes(200000)));
    const Account anonymous{server.host(), server.port(), QStringLiteral("anonymous"), QStringLiteral("guest@")};
    ASSERT_TRUE(server.writeFile(QStringLiteral("pub/anon.bin"), PatternBytes(777)));
    auto other = queue(makeJob(anonymous, false, QStringLiteral("/pub"), QStringLiteral("anon.bin")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(6));
    for (const auto &job : jobs)
        EXPECT_EQ(job->Status(), 2);
    EXPECT_EQ(other->Status(), 2) << host.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("anon.bin"))), PatternBytes(777));
}

TEST_F(Dispatch, RefusedAccountAndClosedPortFailTheirJobsAndFreeTheConnection)
{
    Account wrong = account;
    wrong.password = QStringLiteral("not it");
    auto denied = queue(makeJob(wrong, false, QStringLiteral("/pub"), QStringLiteral("x.bin")));
    const RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    const int closedPort = refusing.port();
    Account nobody = account;
    nobody.port = closedPort;
    auto unreachable = queue(makeJob(nobody, false, QStringLiteral("/pub"), QStringLiteral("y.bin")));

    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(2));
    EXPECT_EQ(GetJobStatusText(*denied, true), QStringLiteral("Failed (Server denied)"));
    EXPECT_EQ(GetJobStatusText(*unreachable, true), QStringLiteral("Failed (Network error)"));
    EXPECT_TRUE(denied->Locked());
    EXPECT_EQ(host.colours.value(denied->ZavUdeID()), JobDispatchHost::kRed);
    EXPECT_EQ(host.sounds.count(4), 2);
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("x.bin"))));
}

// Many jobs on five connections while an upload's overwrite question is held
// open: each job is linked once and each file sent once.
TEST_F(Dispatch, TwoHundredJobsWithAQuestionHeldOpen)
{
    constexpr int kJobs = 200;
    host.options[JobDispatchHost::Option::ConfirmOverwrite] = true;
    host.questionHeldMs = 300;
    ASSERT_TRUE(server.writeFile(QStringLiteral("in/j007.txt"), "old"));
    ASSERT_TRUE(server.writeFile(QStringLiteral("in/j100.txt"), "old"));
    QHash<QString, int> links;
    host.onLinked = [&](int index) { ++links[dispatcher.LinkedJob(index)->ZavUdeID()]; };
    for (int i = 0; i < kJobs; ++i)
        upload(QStringLiteral("/in"), QStringLiteral("j%1.txt").arg(i, 3, 10, QLatin1Char('0')),
               PatternBytes(100 + i));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(kJobs, 60000));
    EXPECT_EQ(host.count(2), kJobs) << host.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(host.questions.size(), 2);
    EXPECT_EQ(links.size(), kJobs);
    for (auto it = links.cbegin(); it != links.cend(); ++it)
        EXPECT_EQ(it.value(), 1);
    for (int i = 0; i < kJobs; ++i) {
        const QString name = QStringLiteral("j%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        EXPECT_EQ(server.readFile(QStringLiteral("in/") + name), PatternBytes(100 + i)) << name.toStdString();
        EXPECT_EQ(host.log.count(QStringLiteral("STOR /in/") + name), 1) << name.toStdString();
    }
}

TEST_F(Dispatch, StoppedJobIsCancelledAndItsConnectionFreed)
{
    auto job = download(QStringLiteral("big.bin"), PatternBytes(8 * 1024 * 1024));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return job->TransferedBytes() > 0; }, 20000));
    dispatcher.StopRunningJob(0);
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_TRUE(job->Locked());
    EXPECT_EQ(dispatcher.LinkedJob(0), nullptr);
    EXPECT_FALSE(dispatcher.FtpJobs(0)->SessionActive());
    QTest::qWait(50);
    EXPECT_EQ(host.count(1), 0);
    EXPECT_EQ(job->FailureReason(), 7); // the disconnect that followed did not touch it
}

// Offline, an engine fault frees the connection without starting the next
// job; when the network comes back the queue goes on.
TEST_F(Dispatch, OfflineNothingIsDispatchedAfterAFault)
{
    auto first = download(QStringLiteral("a.bin"), PatternBytes(8 * 1024 * 1024));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->TransferedBytes() > 0; }, 20000));
    for (int i = 0; i < 4; ++i)
        download(QStringLiteral("n%1.bin").arg(i), PatternBytes(10));
    auto waiting = download(QStringLiteral("later.bin"), PatternBytes(10));
    dispatcher.setNetworkAvailable(false);
    server.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->Status() == 3 && idle(); }, 20000));
    QTest::qWait(50);
    EXPECT_EQ(waiting->Status(), 0);
    EXPECT_EQ(host.count(0), 5);

    dispatcher.setNetworkAvailable(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return waiting->Status() != 0; }, 20000));
}

// Two download jobs of one local file, made from two remote files of one
// name: with five connections free they still never run at once. The second
// waits, while a job for another file goes on, and is taken when the first
// ends; the overwrite question is then asked as for any existing file.
TEST_F(Dispatch, TwoDownloadsIntoOneLocalFileNeverRunAtOnce)
{
    host.options[JobDispatchHost::Option::ConfirmOverwrite] = true;
    host.downloadAnswer = QStringLiteral("1");
    const QByteArray first = PatternBytes(3 * 1024 * 1024);
    const QByteArray second = PatternBytes(1000) + "the other file";
    ASSERT_TRUE(server.writeFile(QStringLiteral("a/same.bin"), first));
    ASSERT_TRUE(server.writeFile(QStringLiteral("b/same.bin"), second));
    const auto fromA = queue(makeJob(account, false, QStringLiteral("/a"), QStringLiteral("same.bin")));
    // The same file named through a link to its folder and a detour.
    ASSERT_TRUE(QFile::link(local.path(), local.filePath(QStringLiteral("link"))));
    ASSERT_TRUE(QDir(local.path()).mkpath(QStringLiteral("sub")));
    const auto fromB = queue(makeJob(account, false, QStringLiteral("/b"), QStringLiteral("same.bin")));
    fromB->setLocalPath(local.filePath(QStringLiteral("link/sub/../")));
    const auto other = download(QStringLiteral("other.bin"), PatternBytes(5000));
    ASSERT_NE(fromA->ZavUdeID(), fromB->ZavUdeID());

    QStringList overlaps;
    host.onLinked = [&](int index) {
        const auto linked = dispatcher.LinkedJob(index);
        for (int i = 0; i < JobDispatcher::kConnections; ++i) {
            const auto running = dispatcher.LinkedJob(i);
            if (i != index && running && JobTargetKey(*running) == JobTargetKey(*linked))
                overlaps << linked->RemotePath() + QStringLiteral(" with ") + running->RemotePath();
        }
    };
    dispatcher.RunQueuedJobs();
    EXPECT_GE(dispatcher.RunningIndex(fromA->ZavUdeID()), 0);
    EXPECT_GE(dispatcher.RunningIndex(other->ZavUdeID()), 0) << "a job for another file is not held up";
    EXPECT_EQ(fromB->Status(), 0);
    EXPECT_EQ(dispatcher.RunningIndex(fromB->ZavUdeID()), -1);

    ASSERT_TRUE(waitForEnded(3));
    host.onLinked = nullptr;
    EXPECT_TRUE(overlaps.isEmpty()) << overlaps.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(fromA->Status(), 2);
    EXPECT_EQ(fromB->Status(), 2);
    EXPECT_EQ(other->Status(), 2);
    EXPECT_EQ(host.questions, QStringList({QStringLiteral("Do you wish to overwrite existing file\r\n'")
                                           + fromB->GetLocalFilePath() + QStringLiteral("' ?")}));
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("same.bin"))), second);

    // Answered "No" the next time: the waiting job is skipped, the file stays the first one's.
    host.downloadAnswer = QStringLiteral("-1");
    for (const auto &job : {fromA, fromB}) {
        job->setStatus(0);
        job->setLocked(false);
    }
    QFile::remove(local.filePath(QStringLiteral("same.bin")));
    host.onLinked = [&](int) {
        EXPECT_EQ(dispatcher.RunningIndex(fromA->ZavUdeID()) >= 0 && dispatcher.RunningIndex(fromB->ZavUdeID()) >= 0,
                  false);
    };
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(3));
    host.onLinked = nullptr;
    EXPECT_EQ(fromA->Status(), 2);
    EXPECT_EQ(GetJobStatusText(*fromB, true), QStringLiteral("Failed (Skipped by user)"));
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("same.bin"))), first);
}

// Two upload jobs from two local files to one server file: the second waits
// for the first, then the server's file is asked about before it is replaced.
TEST_F(Dispatch, TwoUploadsToOneServerFileNeverRunAtOnce)
{
    host.options[JobDispatchHost::Option::ConfirmOverwrite] = true;
    host.overwriteAnswer = true;
    ASSERT_TRUE(QDir(local.path()).mkpath(QStringLiteral("one")));
    ASSERT_TRUE(QDir(local.path()).mkpath(QStringLiteral("two")));
    const QByteArray first = PatternBytes(3 * 1024 * 1024);
    const QByteArray second = "the second file";
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("one/x.bin")), first));
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("two/x.bin")), second));
    ASSERT_TRUE(server.makeFolder(QStringLiteral("up")));
    const auto job = [&](const QString &folder, const QString &remoteFolder) {
        auto made = makeJob(account, true, remoteFolder, QStringLiteral("x.bin"));
        made->setLocalPath(local.filePath(folder));
        made->setSize(QFileInfo(made->GetLocalFilePath()).size());
        made->setOriginalLocalSize(made->Size());
        return queue(made);
    };
    const auto one = job(QStringLiteral("one"), QStringLiteral("/up"));
    const auto two = job(QStringLiteral("two"), QStringLiteral("/up/"));
    bool overlapped = false;
    host.onLinked = [&](int) {
        overlapped = overlapped
                     || (dispatcher.RunningIndex(one->ZavUdeID()) >= 0 && dispatcher.RunningIndex(two->ZavUdeID()) >= 0);
    };
    dispatcher.RunQueuedJobs();
    EXPECT_EQ(two->Status(), 0);
    ASSERT_TRUE(waitForEnded(2));
    host.onLinked = nullptr;
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(one->Status(), 2);
    EXPECT_EQ(two->Status(), 2);
    EXPECT_EQ(host.questions, QStringList({QStringLiteral("/up/x.bin")}));
    EXPECT_EQ(server.readFile(QStringLiteral("up/x.bin")), second);
}

// What one small upload job says to the server once its session stands: the
// question what the server holds is asked once, for the overwrite check and
// the record before the store alike, and a type the server accepted is not
// set again. A resume goes on where that answer says the server's copy ends.
TEST_F(Dispatch, ASmallUploadJobSendsEachCommandItNeedsOnce)
{
    struct Case {
        const char *name;
        bool confirm;   // "Confirm before overwriting files"
        qint64 held;    // bytes the server holds of the file; the job resumes after them
        const char *commands;
    };
    const Case cases[] = {
        // The session's first job: the question puts the server's default type back.
        {"first.bin", false, -1, "CWD /|PWD|TYPE I|SIZE /first.bin|TYPE A|TYPE I|PASV|STOR /first.bin|SIZE /first.bin"},
        {"new.bin", false, -1, "CWD /|PWD|SIZE /new.bin|PASV|STOR /new.bin|SIZE /new.bin"},
        {"checked.bin", true, -1, "CWD /|PWD|SIZE /checked.bin|STAT /checked.bin|PASV|STOR /checked.bin|SIZE /checked.bin"},
        {"resumed.bin", false, 1000,
         "CWD /|PWD|SIZE /resumed.bin|MDTM /resumed.bin|PASV|REST 1000|STOR /resumed.bin|SIZE /resumed.bin"},
    };
    const QByteArray content = PatternBytes(3000);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name);
        host.options[JobDispatchHost::Option::ConfirmOverwrite] = c.confirm;
        if (c.held >= 0)
            ASSERT_TRUE(server.writeFile(name, content.left(c.held)));
        auto job = upload(QStringLiteral("/"), name, content);
        if (c.held >= 0) {
            job->setIsResume(true);
            job->setTransferedBytes(c.held);
        }
        QStringList commands;
        QObject listening;
        for (int i = 0; i < JobDispatcher::kConnections; ++i)
            QObject::connect(dispatcher.FtpJobs(i), &FtpCommander::CommandSent, &listening,
                             [&commands](const QString &, const QString &command) { commands << command; });
        const int ended = host.count(2) + host.count(3);
        dispatcher.RunQueuedJobs();
        ASSERT_TRUE(waitForEnded(ended + 1));
        ASSERT_EQ(job->Status(), 2) << commands.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(server.readFile(name), content);
        const QStringList ownCommands = commands.mid(commands.indexOf(QStringLiteral("CWD /")));
        EXPECT_EQ(ownCommands.join(QLatin1Char('|')).toStdString(), c.commands);
    }
}

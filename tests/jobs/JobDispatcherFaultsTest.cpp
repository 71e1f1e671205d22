// The job dispatcher against servers that refuse, drop and break off.
#include "CuttingProxy.h"
#include "EngineTimer.h"
#include "JobDispatchSupport.h"
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"
#include "TestFiles.h"

#include <QTimer>

namespace {

class DispatchFaults : public DispatchFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        account = {server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")};
    }

    int sentCount(const QByteArray &prefix) const { return server.commandCount(prefix); }

    ScriptedFtpServer server;
    Account account;
};

} // namespace

TEST(FolderExistsReply, ReadsOnlyTheServersWordsOfTheLastLine)
{
    const QString exists = QStringLiteral("TYPE I|200||200|Ok\r\nMKD /data|257-250||550|/data: File exists");
    EXPECT_TRUE(IsFolderExistsReply(exists));
    EXPECT_TRUE(IsFolderExistsReply(QStringLiteral("MKD /x|257-250||521|\"/x\" directory already EXISTS")));
    // The path is ours: a folder named after the word is no answer of the server.
    EXPECT_FALSE(IsFolderExistsReply(QStringLiteral("MKD /existing|257-250||550|Permission denied")));
    EXPECT_FALSE(IsFolderExistsReply(QStringLiteral("MKD /a|257-250||550|File exists\r\nCWD /a|250|")));
    EXPECT_FALSE(IsFolderExistsReply(QStringLiteral("MKD /exist|257-250|")));
    EXPECT_FALSE(IsFolderExistsReply(QString()));

    const SinkReply size = LastSinkReply(QStringLiteral("STOR /a|b|226|\r\nSIZE /a|b|213||213|652346"));
    EXPECT_EQ(size.code, 213);
    EXPECT_EQ(size.text, QStringLiteral("652346"));
    EXPECT_EQ(LastSinkReply(QStringLiteral("SIZE /x|213|")).code, 0); // no reply yet
}

TEST(SessionFits, OnlyTheSameServerPortAccountAndMode)
{
    FtpCommander engine;
    engine.setServerUrl(QStringLiteral("h"));
    engine.setPort(21);
    engine.setUser(QStringLiteral("u"));
    engine.setPassword(QStringLiteral("p"));
    engine.setMode(0);
    FtpTask job;
    job.setServerAddress(QStringLiteral("h"));
    job.setServerPort(21);
    job.setUser(QStringLiteral("u"));
    job.setPassword(QStringLiteral("p"));
    EXPECT_TRUE(SessionFitsJob(engine, job));
    const std::vector<std::function<void()>> changes = {
        [&] { job.setServerAddress(QStringLiteral("H")); }, [&] { job.setServerPort(2121); },
        [&] { job.setUser(QStringLiteral("v")); },          [&] { job.setPassword(QStringLiteral("q")); },
        [&] { job.setTransferMode(1); }};
    for (const auto &change : changes) {
        FtpTask copy = job;
        change();
        EXPECT_FALSE(SessionFitsJob(engine, job));
        job = copy;
    }
}

TEST_F(DispatchFaults, FolderTheServerSaysExistsIsEntered)
{
    server.onSequence("CWD", {"550 No such directory.", "250 Ok."});
    server.on("MKD", QByteArray("550 /x: File exists"));
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("f.txt")), "data"));
    auto job = queue(makeJob(account, true, QStringLiteral("/x"), QStringLiteral("f.txt")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(job->Status(), 2);
    EXPECT_EQ(sentCount("MKD"), 1);
    EXPECT_EQ(sentCount("CWD"), 2);
    EXPECT_EQ(server.storedData(), QByteArray("data"));
}

// A folder that "exists" but cannot be entered: the walk starts over once, then the job fails.
// Two connections make the same new folder; the loser's make is refused
// without "exists" (as vsftpd words it): the folder is entered once and the
// file sent. When it cannot be entered either, the job fails.
TEST_F(DispatchFaults, AFolderAnotherConnectionMadeMeanwhileIsEnteredOnce)
{
    server.onSequence("CWD", {"550 Failed to change directory.", "250 Directory successfully changed.",
                              "250 Directory successfully changed."});
    server.on("MKD", QByteArray("550 Create directory operation failed."));
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("f.txt")), "data"));
    auto job = queue(makeJob(account, true, QStringLiteral("/new"), QStringLiteral("f.txt")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
    EXPECT_EQ(sentCount("MKD"), 2);
    EXPECT_EQ(sentCount("CWD"), 3);
    EXPECT_EQ(server.storedData(), QByteArray("data"));

    server.onSequence("CWD", {"550 Failed to change directory.", "250 Directory successfully changed.",
                              "550 Failed to change directory."});
    auto refused = queue(makeJob(account, true, QStringLiteral("/other"), QStringLiteral("f.txt")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(2));
    EXPECT_EQ(GetJobStatusText(*refused, true), QStringLiteral("Failed (Server denied)"));
    EXPECT_EQ(sentCount("MKD"), 4);
    EXPECT_EQ(sentCount("CWD"), 6);
}

TEST_F(DispatchFaults, EndlessFolderWalkFailsTheJob)
{
    server.on("CWD", QByteArray("550 No such directory."));
    server.on("MKD", QByteArray("550 /x: File exists"));
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("f.txt")), "data"));
    auto job = queue(makeJob(account, true, QStringLiteral("/x"), QStringLiteral("f.txt")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
    EXPECT_EQ(sentCount("MKD"), 2);
    EXPECT_EQ(sentCount("STOR"), 0);
}

TEST_F(DispatchFaults, DroppedDownloadCompletesBelowTheRetryCapAndFailsAtIt)
{
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    server.setDataDropAfter(30000); // three drops, then the rest fits
    auto job = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("whole.bin")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(job->Status(), 2);
    EXPECT_EQ(ReadFileBytes(job->GetLocalFilePath()), content);

    server.setDataDropAfter(10000); // ten drops: more than the engine retries
    auto broken = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("broken.bin")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(2));
    EXPECT_EQ(broken->Status(), 3);
    EXPECT_TRUE(broken->Locked());
    EXPECT_EQ(host.cell(*broken), GetJobStatusText(*broken, false));
    EXPECT_EQ(host.colours.value(broken->ZavUdeID()), JobDispatchHost::kRed);
}

// An upload broken off mid-file and resumed goes on from what the server
// stored, whatever the job counted as sent.
TEST_F(DispatchFaults, DroppedUploadResumedIsWhole)
{
    const QByteArray content = PatternBytes(4 * 1024 * 1024);
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("up.bin")), content));
    server.setDataDropAfter(1000000);
    auto job = queue(makeJob(account, true, QStringLiteral("/"), QStringLiteral("up.bin")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    ASSERT_EQ(job->Status(), 3);
    ASSERT_EQ(server.storedData().size(), 1000000);
    ASSERT_GT(job->TransferedBytes(), 0); // "Resume" is offered

    server.setDataDropAfter(-1);
    server.on("SIZE", [&](const QByteArray &) {
        return ScriptedFtpServer::Reply{{"213 " + QByteArray::number(server.storedData().size()) + "\r\n", 0}};
    });
    // What "Resume" does to a job that is not running.
    job->setLocked(false);
    job->setIsResume(true);
    job->setFailureReason(0);
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1) && QTest::qWaitFor([&] { return job->Status() != 1; }, 20000));
    EXPECT_EQ(job->Status(), 2) << host.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sentCount("REST 1000000"), 1);
    EXPECT_EQ(server.storedData(), content);
}

// A server that keeps a restart offset for its next RETR or STOR, across
// other commands and a cut data connection it takes for the file's end: the
// connection of a job that logs in again after a resumed upload leaves it no
// offset for a fresh one. One 6 MiB job, cut and resumed, started again from
// its start, cut and resumed again: every byte is checked.
TEST_F(DispatchFaults, AnUploadStartedAgainAfterAResumeIsWrittenFromTheFilesStart)
{
    CuttingProxy proxy;
    ASSERT_TRUE(proxy.listen(server.port()));
    const Account through{proxy.host(), proxy.port(), account.user, account.password};
    dispatcher.setConnectionLimit(1);
    const QByteArray content = PatternBytes(6 * 1024 * 1024);
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("six.bin")), content));
    server.on("SIZE", [&](const QByteArray &) {
        return ScriptedFtpServer::Reply{{"213 " + QByteArray::number(server.storedData().size()) + "\r\n", 0}};
    });
    auto job = queue(makeJob(through, true, QStringLiteral("/"), QStringLiteral("six.bin")));
    int runs = 0;
    // What "Start" (resume false) and "Resume" do to a job that is not running.
    const auto run = [&](bool resume, qint64 cutAfter) {
        proxy.setCut(cutAfter, CuttingProxy::Cut::ClientSeesClose);
        if (runs++ > 0) {
            job->setLocked(false);
            job->setIsResume(resume);
            job->setFailureReason(0);
        }
        dispatcher.RunQueuedJobs();
        return QTest::qWaitFor([&] { return (job->Status() == 2 || job->Status() == 3) && idle(); }, 30000);
    };
    ASSERT_TRUE(run(false, 1000000));
    ASSERT_EQ(job->Status(), 3);
    ASSERT_TRUE(run(true, -1));
    ASSERT_EQ(job->Status(), 2);
    ASSERT_EQ(sentCount("REST 1000000"), 1);
    // The idle session ends; the next run logs in again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dispatcher.FtpJobs(0)->SessionActive(); }, 10000));

    ASSERT_TRUE(run(false, 4200000));
    ASSERT_EQ(job->Status(), 3);
    EXPECT_EQ(server.storedData().size(), 4200000);
    ASSERT_TRUE(run(true, -1));
    EXPECT_EQ(job->Status(), 2) << host.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.storedData().size(), content.size());
    EXPECT_TRUE(server.storedData() == content);
    EXPECT_EQ(sentCount("REST 1000000"), 1);
    EXPECT_EQ(sentCount("REST 4200000"), 1);
}

// A server that ends an upload whose data connection was cut after 256 KiB
// with "250 Requested file action okay, completed." (not 226): the job fails;
// it never reads Completed with part of the file on the server.
TEST_F(DispatchFaults, AnUploadCutAndAnsweredWithAnotherSuccessReplyFails)
{
    CuttingProxy proxy;
    ASSERT_TRUE(proxy.listen(server.port()));
    const Account through{proxy.host(), proxy.port(), account.user, account.password};
    server.setTransferDoneReply("250 Requested file action okay, completed.");
    const QByteArray content = PatternBytes(1024 * 1024);
    for (const CuttingProxy::Cut how : {CuttingProxy::Cut::ClientSeesClose, CuttingProxy::Cut::ClientNotTold}) {
        const QString name = how == CuttingProxy::Cut::ClientSeesClose ? QStringLiteral("seen.bin") : QStringLiteral("untold.bin");
        ASSERT_TRUE(WriteFileBytes(local.filePath(name), content));
        proxy.setCut(256 * 1024, how);
        auto job = queue(makeJob(through, true, QStringLiteral("/"), name));
        dispatcher.RunQueuedJobs();
        ASSERT_TRUE(QTest::qWaitFor([&] { return (job->Status() == 2 || job->Status() == 3) && idle(); }, 30000));
        EXPECT_EQ(job->Status(), 3);
        EXPECT_EQ(server.storedData().size(), 256 * 1024);
    }
}

// A server that answers TYPE twice: the second reply reaches PASV, which it
// cannot answer. The session gets back in step through an abort before
// anything else goes out; the job then sends its file whole on it.
TEST_F(DispatchFaults, AReplyThatCannotAnswerItsCommandLeavesTheSessionInStepForTheJob)
{
    server.on("TYPE", ScriptedFtpServer::Reply{{"200 Switching to Binary mode.\r\n", 0},
                                               {"200 Switching to Binary mode.\r\n", 50}});
    const QByteArray content = PatternBytes(50000);
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("up.bin")), content));
    auto job = queue(makeJob(account, true, QStringLiteral("/"), QStringLiteral("up.bin")));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return (job->Status() == 2 || job->Status() == 3) && idle(); }, 30000));
    EXPECT_EQ(GetJobStatusText(*job, true).toStdString(), "Completed");
    EXPECT_TRUE(server.storedData() == content);
    EXPECT_EQ(sentCount("ABOR"), 1);
    EXPECT_EQ(server.connectionCount(), 1);
}

// A server that puts a stray reply before every answer about one file: each
// session ends after a few tries to get back in step. That job runs again
// once, in a new session, then fails; the job after it is not held up.
TEST_F(DispatchFaults, AJobWhoseSessionTheProgramEndsRunsAgainOnceThenFails)
{
    server.setFileData(PatternBytes(5000));
    server.on("ABOR", "225 ABOR command successful.");
    server.on("MDTM", [](const QByteArray &path) {
        ScriptedFtpServer::Reply reply{{"213 20090830120000\r\n", 0}};
        if (path.endsWith("stray.bin"))
            reply.prepend({"226 Transfer complete.\r\n", 0});
        return reply;
    });
    auto stray = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("stray.bin")));
    auto next = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("next.bin")));
    dispatcher.setConnectionLimit(1);
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(2));
    EXPECT_EQ(GetJobStatusText(*stray, true).toStdString(), "Failed (Network error)");
    EXPECT_EQ(GetJobStatusText(*next, true).toStdString(), "Completed");
    EXPECT_TRUE(ReadFileBytes(local.filePath(QStringLiteral("next.bin"))) == PatternBytes(5000));
    EXPECT_EQ(server.connectionCount(), 3);
}

// The server of one job drops its control connection mid-transfer: that job
// fails once, the job on another server goes on.
TEST_F(DispatchFaults, DroppedControlConnectionFailsThatJobOnly)
{
    PyFtpServer other;
    ASSERT_TRUE(other.start()) << other.error().toStdString();
    ASSERT_TRUE(other.writeFile(QStringLiteral("ok.bin"), PatternBytes(300000)));
    server.dropOn("RETR");
    auto dropped = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("drop.bin")));
    const Account real{other.host(), other.port(), QString::fromLatin1(PyFtpServer::kUser),
                       QString::fromLatin1(PyFtpServer::kPassword)};
    auto fine = queue(makeJob(real, false, QStringLiteral("/"), QStringLiteral("ok.bin")));
    int failedSounds = 0;
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(2));
    failedSounds = static_cast<int>(host.sounds.count(4));
    EXPECT_EQ(dropped->Status(), 3);
    EXPECT_TRUE(dropped->FailureReason() == 11 || dropped->FailureReason() == 12) << dropped->FailureReason();
    EXPECT_EQ(failedSounds, 1);
    EXPECT_EQ(fine->Status(), 2);
    EXPECT_EQ(ReadFileBytes(local.filePath(QStringLiteral("ok.bin"))), PatternBytes(300000));
}

// A download whose local name would leave its folder never starts.
TEST_F(DispatchFaults, DownloadWithAPathForALocalNameIsRefused)
{
    auto job = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("x.bin")));
    job->setLocalFileTitle(QStringLiteral("../x.bin"));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Local system has problem with this job)"));
    EXPECT_EQ(sentCount("RETR"), 0);
}

// A local file the engine cannot write is the local system's problem, not a reset connection.
TEST_F(DispatchFaults, LocalFileErrorReadsAsALocalProblem)
{
    server.setFileData(PatternBytes(1000));
    auto job = queue(makeJob(account, false, QStringLiteral("/"), QStringLiteral("x.bin")));
    job->setLocalPath(local.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(WriteFileBytes(local.filePath(QStringLiteral("blocked")), "a file where the folder should be"));
    dispatcher.RunQueuedJobs();
    ASSERT_TRUE(waitForEnded(1));
    EXPECT_EQ(job->Status(), 3);
    EXPECT_EQ(job->FailureReason(), 10);
}

// The server of a job stops mid-transfer for longer than the transfer
// time-out, then sends the rest and its late final reply: the job fails with a
// network error, and the next job logs in afresh rather than read that reply.
TEST_F(DispatchFaults, AStalledServerFailsItsJobWithANetworkErrorAndTheNextJobLogsInAfresh)
{
    ManualEngineTimer *clock = nullptr;
    RecordingJobHost stallHost;
    JobDispatcher jobs{stallHost, JobDataPorts{0, 0, 0}, nullptr, [&](int index) -> EngineTimer * {
                           auto *timer = new ManualEngineTimer;
                           if (index == 0)
                               clock = timer;
                           return timer;
                       }};
    jobs.setConnectionLimit(1); // one session at a time, as the scripted server serves
    ASSERT_NE(clock, nullptr);
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    server.setStallAfter(30000);
    QObject::connect(&server, &ScriptedFtpServer::frozen, &server, [&] {
        QTimer::singleShot(50, &server, [&] {
            clock->advance(61000);
            server.thaw();
        });
    });
    auto stalled = makeJob(account, false, QStringLiteral("/"), QStringLiteral("stalled.bin"));
    auto next = makeJob(account, false, QStringLiteral("/"), QStringLiteral("next.bin"));
    for (const auto &job : {stalled, next}) {
        job->setLocked(false);
        ASSERT_TRUE(stallHost.queue.AddFtpTask(job));
    }
    jobs.RunQueuedJobs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stallHost.count(2) + stallHost.count(3) == 2 && !jobs.LinkedJob(0); },
                                30000));
    EXPECT_EQ(GetJobStatusText(*stalled, true), QStringLiteral("Failed (Network error)"));
    EXPECT_EQ(next->Status(), 2);
    EXPECT_EQ(ReadFileBytes(next->GetLocalFilePath()), content);
    EXPECT_EQ(server.connectionCount(), 2);
}

// Uploads through a data connection cut part-way, in front of a real server
// that takes the early end for the end of the file: whether the client saw
// the connection close or noticed nothing, the job fails, keeps what it sent
// for a resume, and the resume makes the file whole.
TEST_F(DispatchFaults, AnUploadCutOnTheWayFailsAndItsResumeMakesTheFileWhole)
{
    PyFtpServer real;
    ASSERT_TRUE(real.start()) << real.error().toStdString();
    CuttingProxy proxy;
    ASSERT_TRUE(proxy.listen(real.port()));
    const Account through{proxy.host(), proxy.port(), QString::fromLatin1(PyFtpServer::kUser),
                          QString::fromLatin1(PyFtpServer::kPassword)};
    const QByteArray content = PatternBytes(3 * 1024 * 1024);
    int ended = 0;
    for (const CuttingProxy::Cut how : {CuttingProxy::Cut::ClientSeesClose, CuttingProxy::Cut::ClientNotTold}) {
        const QString name = how == CuttingProxy::Cut::ClientSeesClose ? QStringLiteral("closed.bin")
                                                                        : QStringLiteral("silent.bin");
        ASSERT_TRUE(WriteFileBytes(local.filePath(name), content));
        proxy.setCut(786432, how);
        const int cuts = proxy.cuts();
        auto job = queue(makeJob(through, true, QStringLiteral("/"), name));
        dispatcher.RunQueuedJobs();
        ASSERT_TRUE(waitForEnded(++ended)) << name.toStdString();
        EXPECT_EQ(proxy.cuts(), cuts + 1);
        EXPECT_EQ(job->Status(), 3) << name.toStdString();
        EXPECT_EQ(real.readFile(name).size(), 786432) << name.toStdString();
        EXPECT_GT(job->TransferedBytes(), 0) << name.toStdString(); // "Resume" is offered

        proxy.setCut(-1, how);
        job->setLocked(false);
        job->setIsResume(true);
        job->setFailureReason(0);
        dispatcher.RunQueuedJobs();
        ASSERT_TRUE(QTest::qWaitFor([&] { return job->Status() == 2 || job->Status() == 3; }, 30000)
                    && waitForEnded(ended));
        EXPECT_EQ(job->Status(), 2) << name.toStdString();
        EXPECT_TRUE(real.readFile(name) == content) << name.toStdString();
    }
}

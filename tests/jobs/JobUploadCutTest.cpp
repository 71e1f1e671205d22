// Upload jobs cut on the way or refused, on the real job list: a failed job
// shows what the server holds of this file, never what went into the socket
// nor what another file of the name holds, and what the menu then offers
// makes the file whole.
#include "CuttingProxy.h"
#include "JobListFixture.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

class UploadCutJobs : public JobListFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(proxy->listen(server.port()));
        for (int i = 0; i < JobDispatcher::kConnections; ++i) {
            QObject::connect(commands.Dispatcher().FtpJobs(i), &FtpCommander::DataProgress, &commands,
                             [this](qint64 bytes) {
                                 if (onProgress)
                                     onProgress(bytes);
                             });
        }
    }

    std::shared_ptr<FtpTask> addUpload(const QString &name, const QByteArray &content)
    {
        return addJob(Account::PyFtpd(proxy->host(), proxy->port()), true, name, content);
    }

    // Once more than `bytes` went out, `action` runs once, from the event loop.
    void whenSent(qint64 bytes, std::function<void()> action)
    {
        onProgress = [this, bytes, action = std::move(action), done = false](qint64 sent) mutable {
            if (done || sent <= bytes)
                return;
            done = true;
            QTimer::singleShot(0, &commands, action);
        };
    }

    // The server comes back on a new port, with a new proxy in front; the job follows it.
    void restartServer(FtpTask &job)
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        proxy = std::make_unique<CuttingProxy>();
        ASSERT_TRUE(proxy->listen(server.port()));
        job.setServerPort(proxy->port());
    }

    PyFtpServer server;
    std::unique_ptr<CuttingProxy> proxy = std::make_unique<CuttingProxy>();
    std::function<void(qint64 bytes)> onProgress;
};

} // namespace

// Whether the client saw the cut or went on writing into the void, the
// server holds 652,346 of 1,244,602 bytes: the row says so, and "&Resume"
// sends the rest.
TEST_F(UploadCutJobs, AFailedUploadShowsWhatTheServerHoldsAndItsResumeMakesTheFileWhole)
{
    const QByteArray content = PatternBytes(1244602);
    for (const CuttingProxy::Cut how : {CuttingProxy::Cut::ClientNotTold, CuttingProxy::Cut::ClientSeesClose}) {
        const QString name = how == CuttingProxy::Cut::ClientSeesClose ? QStringLiteral("closed.bin")
                                                                        : QStringLiteral("silent.bin");
        SCOPED_TRACE(name.toStdString());
        auto job = addUpload(name, content);
        proxy->setCut(652346, how);
        ASSERT_TRUE(run(job, false));
        ASSERT_EQ(server.readFile(name).size(), 652346);
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
        EXPECT_EQ(job->TransferedBytes(), 652346);
        EXPECT_EQ(percentCell(*job), "52.4%");
        EXPECT_TRUE(resumeOffered(job));

        proxy->setCut(-1, how);
        ASSERT_TRUE(run(job, true));
        EXPECT_EQ(job->Status(), 2);
        EXPECT_TRUE(server.readFile(name) == content);
        EXPECT_EQ(percentCell(*job), "100.0%");
    }
}

// Stopped by the user on the way, an upload shows what the server holds of
// it (asked once the transfer is aborted), not 0.0%, and "&Resume" sends the rest.
TEST_F(UploadCutJobs, AStoppedUploadShowsWhatTheServerHoldsAndItsResumeMakesTheFileWhole)
{
    const QByteArray content = PatternBytes(3 * 1024 * 1024 + 517);
    const QString name = QStringLiteral("stopped.bin");
    auto job = addUpload(name, content);
    whenSent(400000, [&] { trigger(commands.MnuJStop, {job}); });
    ASSERT_TRUE(run(job, false));
    EXPECT_EQ(job->Status(), 3);
    EXPECT_EQ(job->FailureReason(), 7);
    const qint64 held = server.readFile(name).size();
    ASSERT_GT(held, 0);
    EXPECT_EQ(job->TransferedBytes(), held);
    EXPECT_EQ(percentCell(*job), percentOf(held, content.size()));

    ASSERT_TRUE(run(job, true));
    EXPECT_EQ(job->Status(), 2);
    EXPECT_TRUE(server.readFile(name) == content);
}

// The server goes away mid-transfer, so nobody can be asked: the job keeps
// the last size the server confirmed (none for a fresh upload, the size a
// cut run was found to hold for a resumed one), and still offers "&Resume".
TEST_F(UploadCutJobs, WithTheServerGoneAFailedUploadKeepsTheLastSizeTheServerConfirmed)
{
    const QByteArray content = PatternBytes(3 * 1024 * 1024 + 517);
    const QString name = QStringLiteral("gone.bin");
    auto job = addUpload(name, content);
    whenSent(400000, [&] { server.stop(); });
    ASSERT_TRUE(run(job, false));
    EXPECT_EQ(job->Status(), 3);
    EXPECT_EQ(job->TransferedBytes(), 0);
    EXPECT_EQ(percentCell(*job), "0.0%");
    EXPECT_TRUE(resumeOffered(job)) << "the upload sent data: the server may hold part of it";

    // Back again: the resume asks the server where to go on; a cut ends it
    // again, and the server's size is asked while it answers.
    restartServer(*job);
    const qint64 keptByFirstRun = server.readFile(name).size();
    proxy->setCut(700001, CuttingProxy::Cut::ClientNotTold);
    ASSERT_TRUE(run(job, true));
    EXPECT_EQ(job->Status(), 3);
    const qint64 held = server.readFile(name).size();
    EXPECT_EQ(held, keptByFirstRun + 700001);
    EXPECT_EQ(job->TransferedBytes(), held);
    EXPECT_EQ(percentCell(*job), percentOf(held, content.size()));

    // Gone again while resuming: the size it was found to hold stays.
    proxy->setCut(-1, CuttingProxy::Cut::ClientNotTold);
    whenSent(held + 300000, [&] { server.stop(); });
    ASSERT_TRUE(run(job, true));
    EXPECT_EQ(job->Status(), 3);
    EXPECT_EQ(job->TransferedBytes(), held);
    EXPECT_EQ(percentCell(*job), percentOf(held, content.size()));
    EXPECT_TRUE(resumeOffered(job));

    restartServer(*job);
    ASSERT_TRUE(run(job, true));
    EXPECT_EQ(job->Status(), 2);
    EXPECT_TRUE(server.readFile(name) == content);
}

// A job file written elsewhere holds an upload cut at 300,000 bytes whose
// record never noted the local file's size (-1) nor its time: "&Resume" goes
// on where the server's file ends and makes it whole, even with resumes of
// files whose time changed refused. A file no longer of the job's own size
// changed all the same: it is not resumed, and the server's part stays as it was.
TEST_F(UploadCutJobs, AnUploadWhoseJobFileNotedNoLocalFileResumes)
{
    const QByteArray content = PatternBytes(1000000);
    const bool timeChecked = IsOptionOn(OptionFlag::SkipUploadResumeIfLocalTimeChanged);
    SetOptionFlag(OptionFlag::SkipUploadResumeIfLocalTimeChanged, true);
    for (const bool grew : {false, true}) {
        const QString name = grew ? QStringLiteral("grew.bin") : QStringLiteral("elsewhere.bin");
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(server.writeFile(name, content.left(300000)));
        ASSERT_TRUE(WriteFileBytes(local.filePath(name), content));
        auto written = Account::PyFtpd(proxy->host(), proxy->port()).job(true, local.path(), QStringLiteral("/"), name);
        written->setOriginalLocalSize(-1);
        written->setOriginalLocalFileTime(QString());
        written->setTransferedBytes(300000);
        written->setStatus(3);
        written->setFailureReason(11);
        const auto job = loadJobFile({written}).front();
        if (grew)
            ASSERT_TRUE(WriteFileBytes(local.filePath(name), PatternBytes(1200000).mid(7)));
        ASSERT_TRUE(run(job, true));
        if (grew) {
            EXPECT_EQ(job->Status(), 3);
            EXPECT_EQ(statusCell(*job), "Local file size changed");
            EXPECT_TRUE(server.readFile(name) == content.left(300000));
            continue;
        }
        EXPECT_EQ(job->Status(), 2) << statusCell(*job);
        EXPECT_TRUE(server.readFile(name) == content);
        EXPECT_EQ(percentCell(*job), "100.0%");
        EXPECT_EQ(job->OriginalLocalSize(), content.size()) << "a later resume can tell a changed file";
    }
    SetOptionFlag(OptionFlag::SkipUploadResumeIfLocalTimeChanged, timeChecked);
}

namespace {

// A scripted server for the replies a real one gives only when its disk is full.
class RefusedStoreJobs : public JobListFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        // vsftpd's words when there is no transfer to abort.
        server.on("ABOR", QByteArray("225 No transfer to ABOR."));
    }

    Account account() const { return {server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")}; }

    ScriptedFtpServer server;
};

} // namespace

// The server holds another 600-byte file of the name and refuses the STOR
// outright, after the data connection stands: nothing of this file reached
// it, so the job holds nothing and offers no resume (which would go on after
// the other file's 600 bytes). With room again, what the menu offers makes
// the file whole.
TEST_F(RefusedStoreJobs, AStoreRefusedOutrightHoldsNothingAndTheNextRunWritesTheWholeFile)
{
    const QByteArray other(600, 'o');
    const QByteArray content = PatternBytes(1500);
    server.setStoredFile("/full.bin", other);
    // Late enough that the data connection has opened before the refusal.
    server.on("STOR", ScriptedFtpServer::Reply{{"452 Insufficient storage space.\r\n", 300}});
    auto job = addJob(account(), true, QStringLiteral("full.bin"), content);
    ASSERT_TRUE(run(job, false));
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
    EXPECT_EQ(job->TransferedBytes(), 0);
    EXPECT_EQ(percentCell(*job), "0.0%");
    EXPECT_FALSE(resumeOffered(job));
    EXPECT_EQ(server.storedData(), other);

    server.off("STOR");
    const bool resume = resumeOffered(job);
    ASSERT_TRUE(run(job, resume));
    EXPECT_EQ(server.commandCount("REST 600"), 0);
    ASSERT_EQ(job->Status(), 2) << statusCell(*job);
    EXPECT_TRUE(server.storedData() == content) << "the file on the server has " << server.storedData().size()
                                                << " bytes, its head " << server.storedData().left(8).toStdString();
    EXPECT_EQ(percentCell(*job), "100.0%");
}

// A server that stores an upload under a temporary name keeps its other
// 600-byte file of the name when the upload fails, whether it refused at once
// or after reading part of it: that file is not the job's. The job fails
// without Resume (which would go on after the other file's 600 bytes), and
// the next Start writes the whole file.
TEST_F(RefusedStoreJobs, AFailedStoreThatKeptTheOlderFileOffersNoResumeAndStartWritesTheWholeFile)
{
    struct Case {
        const char *name;
        qint64 readBefore; // bytes the server takes in before it refuses
        QByteArray refusal;
    };
    const QByteArray other(600, 'o');
    const QByteArray content = PatternBytes(1024 * 1024);
    server.keepFileOnFailedStore(true);
    for (const Case &c : {Case{"refused at once", 0, "452 Insufficient storage space."},
                          Case{"refused after 256 KiB", 256 * 1024, "552 Exceeded storage allocation."}}) {
        SCOPED_TRACE(c.name);
        const QString name = QStringLiteral("kept%1.bin").arg(c.readBefore);
        server.setStoredFile("/" + name.toLatin1(), other);
        server.setDataDropAfter(c.readBefore, c.refusal);
        auto job = addJob(account(), true, name, content);
        ASSERT_TRUE(run(job, false));
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
        EXPECT_EQ(server.commandCount("STOR /" + name.toLatin1()), 1);
        EXPECT_EQ(server.storedData(), other);
        EXPECT_EQ(job->TransferedBytes(), 0);
        EXPECT_EQ(percentCell(*job), "0.0%");
        EXPECT_FALSE(resumeOffered(job));

        server.setDataDropAfter(-1);
        ASSERT_TRUE(run(job, false));
        ASSERT_EQ(job->Status(), 2) << statusCell(*job);
        EXPECT_EQ(server.commandCount("REST 600"), 0);
        EXPECT_TRUE(server.storedData() == content) << "the file on the server has " << server.storedData().size()
                                                    << " bytes, its head " << server.storedData().left(8).toStdString();
    }
}

namespace {

// A server that reads uploads slowly, with nothing between it and the job.
class SlowServerUploads : public JobListFixture
{
protected:
    void SetUp() override
    {
        server.limitUploadRate(kRate);
        ASSERT_TRUE(server.start()) << server.error().toStdString();
    }

    Account account() const { return Account::PyFtpd(server.host(), server.port()); }

    qint64 held(const QString &name) const { return QFileInfo(QDir(server.rootPath()).filePath(name)).size(); }

    static constexpr int kRate = 256 * 1024;
    PyFtpServer server;
};

} // namespace

// While an upload to a slow server runs, its row never reads more than the
// server holds and its system took (its receive buffer, 128 KiB here); the
// bytes still queued on this side are not counted. Stopped, the row reads
// at once no more than the server holds, and then what it holds.
TEST_F(SlowServerUploads, TheRowCountsWhatTheServerHolds)
{
    const QByteArray content = PatternBytes(3 * 1024 * 1024);
    const QString name = QStringLiteral("slow.bin");
    auto job = addJob(account(), true, name, content);
    qint64 ahead = 0; // the most the row read beyond what the server held
    std::string shownAtStop;
    std::string heldAtStop;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &commands, [&] {
        if (job->Status() != 1)
            return;
        const qint64 server = held(name);
        ahead = std::max(ahead, job->TransferedBytes() - server);
        // Stopped while the server's system holds bytes the server has not read.
        if (server > content.size() / 3 && job->TransferedBytes() > server && shownAtStop.empty()) {
            pane.Timer3_Timer(); // the row as it was just before the click
            ASSERT_TRUE(trigger(commands.MnuJStop, {job}));
            heldAtStop = percentOf(held(name), content.size());
            shownAtStop = percentCell(*job);
        }
    });
    sampler.start(20);
    ASSERT_TRUE(trigger(commands.mnuJStart, {job}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return job->Status() == 3 && idle(); }, 60000)) << statusCell(*job);
    EXPECT_LE(ahead, 256 * 1024);
    EXPECT_LE(std::stod(shownAtStop), std::stod(heldAtStop)) << shownAtStop << " shown, " << heldAtStop << " held";
    EXPECT_EQ(statusCell(*job), "Cancelled by user");
    EXPECT_EQ(job->TransferedBytes(), held(name));
    EXPECT_EQ(percentCell(*job), percentOf(held(name), content.size()));
}

// The last bytes of an upload wait in this side's system for a slow server:
// the row goes on with what the server takes until it says the file is whole.
TEST_F(SlowServerUploads, TheRowFollowsTheServerUntilTheUploadEnds)
{
    const QByteArray content = PatternBytes(3 * 1024 * 1024);
    const QString name = QStringLiteral("tail.bin");
    auto job = addJob(account(), true, name, content);
    QElapsedTimer behind; // since the row read less than the server held
    qint64 longestBehind = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &commands, [&] {
        if (job->Status() != 1 || held(name) <= job->TransferedBytes())
            behind.invalidate();
        else if (!behind.isValid())
            behind.start();
        else
            longestBehind = std::max(longestBehind, behind.elapsed());
    });
    sampler.start(20);
    ASSERT_TRUE(trigger(commands.mnuJStart, {job}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return job->Status() == 2 && idle(); }, 60000)) << statusCell(*job);
    EXPECT_LT(longestBehind, 1000);
    EXPECT_EQ(percentCell(*job), "100.0%");
}

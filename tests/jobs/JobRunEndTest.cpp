// A job and the work of its connection end together, on the real job list:
// a job stays active while its connection still transfers its file, and a
// connection a job leaves takes the next one that waits.
#include "JobListFixture.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "RefusingPort.h"
#include "ScriptedFtpServer.h"
#include "WhenModal.h"
#include "frmTaskDetails.h"

#include <QRegularExpression>

#include <algorithm>
#include <csignal>

namespace {

class JobRunEnd : public JobListFixture
{
protected:
    void SetUp() override
    {
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        // Every text the job's row shows, as it shows it.
        QObject::connect(pane.Rows, &QAbstractItemModel::dataChanged, &commands, [this] {
            for (const auto &job : pane.JobQueue) {
                const QString text = pane.Rows->Text(job->ZavUdeID(), JobListModel::Status);
                QStringList &seen = shown[job->ZavUdeID()];
                if (seen.isEmpty() || seen.constLast() != text)
                    seen << text;
            }
        });
    }

    QHash<QString, QStringList> shown;
};

} // namespace

// vsftpd names a passive port that refuses the data connection, answers the
// transfer command 425 once it gives up waiting, and takes the next attempt:
// the job reads active all along and ends with the file transferred, for an
// upload and a download alike; nothing is transferred once more.
TEST_F(JobRunEnd, ADataConnectionRefusedOnceLeavesTheJobActiveUntilItsFileHasGone)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    const Account account{server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")};
    const RefusingPort refusing; // no other test can take it meanwhile
    const quint16 dead = refusing.port();
    ASSERT_NE(dead, 0);
    const QByteArray deadReply = "227 Entering Passive Mode (127,0,0,1," + QByteArray::number(dead >> 8) + ","
                                 + QByteArray::number(dead & 0xFF) + ").";
    // The first PASV names the dead port and its transfer command is refused
    // (late, as after vsftpd's wait); later ones get the server's own replies.
    QByteArray transferVerb;
    int passives = 0;
    QObject::connect(&server, &ScriptedFtpServer::commandReceived, &server, [&](const QByteArray &line) {
        if (line.startsWith("PASV") && ++passives == 2)
            server.off(transferVerb);
        else if (line.startsWith(transferVerb) && passives == 1)
            server.off("PASV");
    });
    const auto refuseFirstAttempt = [&](const QByteArray &verb) {
        transferVerb = verb;
        passives = 0;
        server.on("PASV", deadReply);
        server.on(verb, ScriptedFtpServer::Reply{{"425 Failed to establish connection.\r\n", 200}});
    };

    const QByteArray content = PatternBytes(200000);
    refuseFirstAttempt("STOR");
    auto upload = addJob(account, true, QStringLiteral("up.bin"), content);
    ASSERT_TRUE(run(upload, false));
    EXPECT_EQ(GetJobStatusText(*upload, true).toStdString(), "Completed");
    EXPECT_EQ(shown.value(upload->ZavUdeID()).constLast().toStdString(), "Completed");
    EXPECT_FALSE(shown.value(upload->ZavUdeID()).contains(QStringLiteral("Network error")))
        << shown.value(upload->ZavUdeID()).join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(server.storedData() == content);
    EXPECT_EQ(server.commandCount("STOR"), 2);

    server.setFileData(content);
    refuseFirstAttempt("RETR");
    auto download = addJob(account, false, QStringLiteral("down.bin"));
    ASSERT_TRUE(run(download, false));
    EXPECT_EQ(GetJobStatusText(*download, true).toStdString(), "Completed");
    EXPECT_EQ(shown.value(download->ZavUdeID()).constLast().toStdString(), "Completed");
    EXPECT_FALSE(shown.value(download->ZavUdeID()).contains(QStringLiteral("Network error")))
        << shown.value(download->ZavUdeID()).join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(ReadFileBytes(download->GetLocalFilePath()) == content);
    EXPECT_EQ(server.commandCount("RETR"), 2);
    EXPECT_EQ(percentCell(*download), "100.0%");
}

// Jobs wait behind running ones on a server that has stopped answering: one
// for the file a running job writes, one for a free connection. "Stop" on
// the running job lets each go at once; once the server goes on, every job
// not stopped arrives whole.
TEST_F(JobRunEnd, StoppingARunningJobStartsTheJobThatWaitedForItsFileOrItsConnection)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const Account account = Account::PyFtpd(server.host(), server.port());
    ::kill(static_cast<pid_t>(server.processId()), SIGSTOP);
    struct Thaw {
        qint64 pid;
        void operator()() const { ::kill(static_cast<pid_t>(pid), SIGCONT); }
        ~Thaw() { (*this)(); }
    } thaw{server.processId()};
    const auto running = [&](const std::shared_ptr<FtpTask> &job) {
        return commands.Dispatcher().RunningIndex(job->ZavUdeID()) >= 0 && job->Status() == 1;
    };

    // Two jobs write one file: the second waits for the first.
    auto first = addJob(account, true, QStringLiteral("same.bin"), PatternBytes(3000), QStringLiteral("one"));
    auto second = addJob(account, true, QStringLiteral("same.bin"), PatternBytes(5000).right(4000),
                         QStringLiteral("two"));
    ASSERT_TRUE(trigger(commands.mnuJStartAll, {}));
    ASSERT_TRUE(running(first));
    ASSERT_FALSE(running(second));
    ASSERT_TRUE(trigger(commands.MnuJStop, {first}));
    EXPECT_EQ(GetJobStatusText(*first, true), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return running(second); }, 10000)) << statusCell(*second);

    // Five connections run five jobs: the sixth waits for one of them.
    std::vector<std::shared_ptr<FtpTask>> more;
    for (int i = 0; i < JobDispatcher::kConnections; ++i)
        more.push_back(addJob(account, true, QStringLiteral("f%1.bin").arg(i), PatternBytes(1000 + i)));
    ASSERT_TRUE(trigger(commands.mnuJStart, {more.begin(), more.end() - 1}));
    auto waiting = more.back();
    ASSERT_TRUE(trigger(commands.mnuJStart, {waiting}));
    for (auto it = more.begin(); it != more.end() - 1; ++it)
        ASSERT_TRUE(running(*it));
    ASSERT_FALSE(running(waiting));
    ASSERT_TRUE(trigger(commands.MnuJStop, {more.front()}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return running(waiting); }, 10000)) << statusCell(*waiting);

    thaw();
    for (const auto &job : {second, more[1], more[2], more[3], waiting}) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return job->Status() == 2; }, 60000)) << statusCell(*job);
        EXPECT_TRUE(server.readFile(job->RemoteFileTitle()) == ReadFileBytes(job->GetLocalFilePath()))
            << job->GetLocalFilePath().toStdString();
    }
    EXPECT_EQ(GetJobStatusText(*more.front(), true), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_FALSE(server.exists(more.front()->RemoteFileTitle()));
}

// A download the server breaks off: refused midway (551), it fails as the
// server denied it; cut, with the restart refused (501), it fails the same
// way and offers no Resume, which could only be refused again; Start then
// gets the file whole.
TEST_F(JobRunEnd, ADownloadTheServerRefusesMidwayFailsAsDeniedAndARefusedRestartOffersAFreshStart)
{
    struct Case {
        const char *name;
        QByteArray breakOff; // the reply when the data stops ("": the cut's 426)
        QByteArray restart;  // the reply to a REST with an offset
    };
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.on("ABOR", QByteArray("225 No transfer to ABOR."));
    const QByteArray content = PatternBytes(100000);
    server.setFileData(content);
    const Account account{server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")};
    for (const Case &c : {Case{"refused midway", "551 Read error; transfer aborted.", "350 Restarting."},
                          Case{"restart refused", "", "501 Resuming transfers not allowed."}}) {
        SCOPED_TRACE(c.name);
        server.on("REST", [restart = c.restart](const QByteArray &offset) {
            return ScriptedFtpServer::Reply{{(offset == "0" ? QByteArray("350 Restarting at 0.") : restart) + "\r\n", 0}};
        });
        server.setDataDropAfter(40000, c.breakOff);
        auto job = addJob(account, false, QString::fromLatin1(c.name).replace(' ', '-') + ".bin");
        ASSERT_TRUE(run(job, false));
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
        const bool restartRefused = !c.breakOff.startsWith("551");
        if (restartRefused) {
            EXPECT_EQ(job->TransferedBytes(), 0);
            EXPECT_FALSE(resumeOffered(job));
        }

        server.setDataDropAfter(-1);
        ASSERT_TRUE(run(job, false));
        ASSERT_EQ(job->Status(), 2) << statusCell(*job);
        EXPECT_TRUE(ReadFileBytes(job->GetLocalFilePath()) == content);
    }
}

// The server's files grew or shrank since their jobs took their sizes: jobs
// from a job file, and a download stopped and started again once its file
// grew, end with the server's size in the row and in Job Details.
TEST_F(JobRunEnd, DownloadsEndWithTheSizeTheServerGave)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const Account account = Account::PyFtpd(server.host(), server.port());
    const auto download = [&](const QString &name, qint64 recorded, int served) {
        EXPECT_TRUE(server.writeFile(name, PatternBytes(served)));
        auto job = account.job(false, local.path(), QStringLiteral("/"), name);
        job->setSize(recorded);
        return job;
    };
    const auto expectServerSize = [&](const std::shared_ptr<FtpTask> &job) {
        const qint64 served = server.readFile(job->RemoteFileTitle()).size();
        SCOPED_TRACE(job->RemoteFileTitle().toStdString());
        ASSERT_EQ(job->Status(), 2) << statusCell(*job);
        EXPECT_EQ(ReadFileBytes(job->GetLocalFilePath()).size(), served);
        EXPECT_EQ(sizeCell(*job), std::to_string(served));
        EXPECT_EQ(percentCell(*job), "100.0%");
        const QString bytes = QStringLiteral("(%L1 Bytes)").arg(served);
        WhenModal<frmTaskDetails>([&](frmTaskDetails &details) {
            EXPECT_TRUE(details.lblSize->text().endsWith(bytes)) << details.lblSize->text().toStdString();
            EXPECT_TRUE(details.lblTrf->text().endsWith(bytes)) << details.lblTrf->text().toStdString();
            details.reject();
        });
        EXPECT_TRUE(trigger(commands.mnuJView, {job}));
    };

    const auto loaded = loadJobFile({download(QStringLiteral("grew.bin"), 20000, 60000),
                                     download(QStringLiteral("shrank.bin"), 50000, 5000)});
    ASSERT_TRUE(trigger(commands.mnuJStartAll, {}));
    for (const auto &job : loaded) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return job->Status() == 2 || job->Status() == 3; }, 60000));
        expectServerSize(job);
    }

    // Stopped while the server does not answer; the file grows meanwhile.
    const auto stopped = loadJobFile({download(QStringLiteral("stopped.bin"), 1000, 1000)}).front();
    ::kill(static_cast<pid_t>(server.processId()), SIGSTOP);
    ASSERT_TRUE(trigger(commands.mnuJStart, {stopped}));
    ASSERT_EQ(stopped->Status(), 1);
    ASSERT_TRUE(trigger(commands.MnuJStop, {stopped}));
    ::kill(static_cast<pid_t>(server.processId()), SIGCONT);
    ASSERT_TRUE(server.writeFile(stopped->RemoteFileTitle(), PatternBytes(80000)));
    ASSERT_TRUE(run(stopped, false));
    expectServerSize(stopped);
}

// Five connections go from job to job through a queue longer than they are:
// each shows its strip while it has a job, and once the queue is done no
// strip is left; every row reads its file's end.
TEST_F(JobRunEnd, TheConnectionsStripsShowWhileTheyRunJobsAndGoWhenTheQueueIsDone)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const Account account = Account::PyFtpd(server.host(), server.port());
    std::vector<std::shared_ptr<FtpTask>> jobs;
    for (int i = 0; i < 4 * JobDispatcher::kConnections; ++i) {
        const QString name = QStringLiteral("f%1.bin").arg(i);
        ASSERT_TRUE(server.writeFile(name, PatternBytes(1000 + 37 * i)));
        jobs.push_back(account.job(false, local.path(), QStringLiteral("/"), name));
        jobs.back()->setSize(1000 + 37 * i);
        ASSERT_TRUE(pane.AddJob(jobs.back()));
    }
    const QList<QWidget *> strips = pane.findChildren<QWidget *>(QRegularExpression(QStringLiteral("^FtpJobs\\d$")));
    ASSERT_EQ(strips.size(), JobDispatcher::kConnections);

    ASSERT_TRUE(trigger(commands.mnuJStartAll, {}));
    for (const QWidget *strip : strips)
        EXPECT_FALSE(strip->isHidden()) << strip->objectName().toStdString();
    const auto ended = [](const std::shared_ptr<FtpTask> &job) { return job->Status() >= 2; };
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::all_of(jobs.begin(), jobs.end(), ended) && idle(); }, 60000));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::all_of(strips.begin(), strips.end(), [](const QWidget *strip) { return strip->isHidden(); });
    }));
    for (const auto &job : jobs) {
        SCOPED_TRACE(job->LocalFileTitle().toStdString());
        EXPECT_EQ(statusCell(*job), "Completed");
        EXPECT_EQ(percentCell(*job), "100.0%");
        EXPECT_EQ(sizeCell(*job), std::to_string(job->Size()));
        EXPECT_TRUE(pane.Rows->Text(job->ZavUdeID(), JobListModel::TimeLeft).isEmpty());
        EXPECT_TRUE(ReadFileBytes(job->GetLocalFilePath()) == server.readFile(job->RemoteFileTitle()));
    }
}

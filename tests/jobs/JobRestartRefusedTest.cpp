// Jobs resumed against a server that will not restart a transfer, on the real
// job list: whether it refuses the REST itself or accepts it and refuses the
// STOR or RETR that follows (proftpd's default for uploads), every Resume
// would be refused again. The job holds nothing, offers Start, the log says
// why, and Start writes the whole file.
#include "JobListFixture.h"
#include "OptionFlags.h"
#include "ScriptedFtpServer.h"

namespace {

class RestartRefusedJobs : public JobListFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        server.on("ABOR", QByteArray("225 No transfer to ABOR."));
        JobCommands::Window window;
        window.addLog = [this](const QString &text, int, int) { log << text; };
        commands.setWindow(window);
    }

    Account account() const { return {server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")}; }

    bool startOffered(const std::shared_ptr<FtpTask> &job)
    {
        select({job});
        commands.EnableJobMenu();
        return commands.mnuJStart->isEnabled();
    }

    ScriptedFtpServer server;
    QStringList log;
};

} // namespace

TEST_F(RestartRefusedJobs, ARefusedResumeHoldsNothingOffersStartAndStartWritesTheWholeFile)
{
    struct Case {
        const char *name;
        bool upload;
        QByteArray verb;    // the command that refuses the restart
        QByteArray refusal; // its reply while the restart is refused
    };
    const QByteArray content = PatternBytes(1024 * 1024);
    constexpr qint64 kCut = 256 * 1024;
    for (const Case &c : {Case{"upload, REST refused", true, "REST", "501 Resuming transfers not allowed."},
                          Case{"upload, STOR refused after REST", true, "STOR",
                               "451 /up-stor.bin: Append/Restart not permitted, try again"},
                          Case{"download, REST refused", false, "REST", "501 Resuming transfers not allowed."},
                          Case{"download, RETR refused after REST", false, "RETR",
                               "451 /down-retr.bin: Restart not permitted, try again"}}) {
        SCOPED_TRACE(c.name);
        const QString name = QStringLiteral("%1-%2.bin").arg(c.upload ? "up" : "down", QString::fromLatin1(c.verb).toLower());
        // A first run cut on the way leaves part of the file, and Resume is offered.
        if (c.upload)
            server.setStoredFile("/" + name.toLatin1(), {});
        else
            server.setFileData(content);
        server.setDataDropAfter(kCut, c.upload ? QByteArray() : QByteArray("551 Read error; transfer aborted."));
        auto job = addJob(account(), c.upload, name, c.upload ? content : QByteArray());
        ASSERT_TRUE(run(job, false));
        ASSERT_EQ(job->Status(), 3) << statusCell(*job);
        ASSERT_TRUE(resumeOffered(job)) << job->TransferedBytes() << " of " << job->Size();

        server.setDataDropAfter(-1);
        server.on(c.verb, [refusal = c.refusal](const QByteArray &argument) {
            // A fresh transfer's "REST 0" is no restart.
            return ScriptedFtpServer::Reply{
                {(argument == "0" ? QByteArray("350 Restarting at 0.") : refusal) + "\r\n", 0}};
        });
        log.clear();
        ASSERT_TRUE(run(job, true));
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
        EXPECT_EQ(job->TransferedBytes(), 0);
        EXPECT_EQ(percentCell(*job), "0.0%");
        EXPECT_FALSE(resumeOffered(job));
        EXPECT_TRUE(startOffered(job));
        EXPECT_TRUE(log.contains(QStringLiteral("The server refused to resume '/") + name
                                 + QStringLiteral("'; Start transfers it again from the beginning.")))
            << log.join(QLatin1Char('\n')).toStdString();

        server.off(c.verb);
        ASSERT_TRUE(run(job, false));
        ASSERT_EQ(job->Status(), 2) << statusCell(*job);
        if (c.upload)
            EXPECT_TRUE(server.storedData() == content) << "the server holds " << server.storedData().size() << " bytes";
        else
            EXPECT_TRUE(ReadFileBytes(job->GetLocalFilePath()) == content)
                << "the local file has " << ReadFileBytes(job->GetLocalFilePath()).size() << " bytes";
        EXPECT_EQ(percentCell(*job), "100.0%");
    }
}

// A transfer refused after an accepted REST for a cause its code names (the
// server's space, a busy file, the data connection) is no refused restart:
// the job keeps what the server or the local file holds, Resume stays
// offered, and once the cause is gone Resume completes the file.
TEST_F(RestartRefusedJobs, ATransferRefusedForAnotherCauseAfterRestKeepsItsBytesForResume)
{
    struct Case {
        const char *name;
        bool upload;
        QByteArray refusal; // the STOR's or RETR's reply after "REST n"
    };
    const QByteArray content = PatternBytes(1024 * 1024);
    constexpr qint64 kCut = 256 * 1024;
    int n = 0;
    for (const Case &c : {Case{"upload, quota", true, "552 Disk quota exceeded."},
                          Case{"upload, no space", true, "452 Insufficient storage space."},
                          Case{"upload, file busy", true, "450 File busy."},
                          Case{"upload, no data connection", true, "425 Can't open data connection."},
                          Case{"download, file busy", false, "450 File busy."}}) {
        SCOPED_TRACE(c.name);
        const QByteArray verb = c.upload ? "STOR" : "RETR";
        const QString name = QStringLiteral("other%1.bin").arg(n++);
        if (c.upload)
            server.setStoredFile("/" + name.toLatin1(), {});
        else
            server.setFileData(content);
        server.setDataDropAfter(kCut, c.upload ? QByteArray() : QByteArray("551 Read error; transfer aborted."));
        auto job = addJob(account(), c.upload, name, c.upload ? content : QByteArray());
        ASSERT_TRUE(run(job, false));
        ASSERT_TRUE(resumeOffered(job));
        const qint64 held = job->TransferedBytes();

        server.setDataDropAfter(-1);
        server.on(verb, [refusal = c.refusal](const QByteArray &argument) {
            return ScriptedFtpServer::Reply{
                {(argument == "0" ? QByteArray("350 Restarting at 0.") : refusal) + "\r\n", 0}};
        });
        log.clear();
        ASSERT_TRUE(run(job, true));
        EXPECT_EQ(job->Status(), 3) << statusCell(*job);
        EXPECT_EQ(job->TransferedBytes(), held);
        EXPECT_TRUE(resumeOffered(job));
        EXPECT_TRUE(log.filter(QStringLiteral("refused to resume")).isEmpty()) << log.join(QLatin1Char('\n')).toStdString();

        server.off(verb);
        ASSERT_TRUE(run(job, true));
        ASSERT_EQ(job->Status(), 2) << statusCell(*job);
        const QByteArray arrived = c.upload ? server.storedData() : ReadFileBytes(job->GetLocalFilePath());
        EXPECT_TRUE(arrived == content) << arrived.size() << " bytes arrived";
    }
}

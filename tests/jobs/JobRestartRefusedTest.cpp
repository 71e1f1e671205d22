// Jobs resumed on the real job list against a server that refuses the REST,
// or accepts it and refuses the STOR or RETR after it (proftpd's default for
// uploads): the job holds nothing, offers Start, the log says why, and Start
// writes the whole file. A refusal whose code names another cause (space, a
// busy file, the data connection) keeps what the job holds for Resume.
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

    ScriptedFtpServer server;
    QStringList log;
};

} // namespace

TEST_F(RestartRefusedJobs, AResumeRefusedByTheServerOffersWhatWouldWriteTheWholeFile)
{
    struct Case {
        const char *name;
        bool upload;
        QByteArray verb;    // the command that refuses
        QByteArray refusal; // its reply to the resumed transfer
        bool restartRefused;
    };
    const QByteArray content = PatternBytes(1024 * 1024);
    constexpr qint64 kCut = 256 * 1024;
    const QByteArray restartOff = "451 Append/Restart not permitted, try again";
    int n = 0;
    for (const Case &c : {Case{"upload, REST refused", true, "REST", "501 Resuming transfers not allowed.", true},
                          Case{"upload, STOR refused after REST", true, "STOR", restartOff, true},
                          Case{"download, REST refused", false, "REST", "501 Resuming transfers not allowed.", true},
                          Case{"download, RETR refused after REST", false, "RETR", restartOff, true},
                          Case{"upload, quota", true, "STOR", "552 Disk quota exceeded.", false},
                          Case{"upload, no space", true, "STOR", "452 Insufficient storage space.", false},
                          Case{"upload, file busy", true, "STOR", "450 File busy.", false},
                          Case{"upload, no data connection", true, "STOR", "425 Can't open data connection.", false},
                          Case{"download, file busy", false, "RETR", "450 File busy.", false}}) {
        SCOPED_TRACE(c.name);
        const QString name = QStringLiteral("%1-%2.bin").arg(c.upload ? "up" : "down").arg(n++);
        // A first run cut on the way leaves part of the file, and Resume is offered.
        if (c.upload)
            server.setStoredFile("/" + name.toLatin1(), {});
        else
            server.setFileData(content);
        server.setDataDropAfter(kCut, c.upload ? QByteArray() : QByteArray("551 Read error; transfer aborted."));
        const Account account{server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw")};
        auto job = addJob(account, c.upload, name, c.upload ? content : QByteArray());
        ASSERT_TRUE(run(job, false));
        ASSERT_EQ(job->Status(), 3) << statusCell(*job);
        ASSERT_TRUE(resumeOffered(job)) << job->TransferedBytes() << " of " << job->Size();
        const qint64 held = job->TransferedBytes();

        server.setDataDropAfter(-1);
        server.on(c.verb, [refusal = c.refusal](const QByteArray &argument) {
            // A fresh transfer's "REST 0" is no restart.
            return ScriptedFtpServer::Reply{
                {(argument == "0" ? QByteArray("350 Restarting at 0.") : refusal) + "\r\n", 0}};
        });
        log.clear();
        ASSERT_TRUE(run(job, true));
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Failed (Server denied)"));
        EXPECT_EQ(job->TransferedBytes(), c.restartRefused ? 0 : held);
        EXPECT_EQ(resumeOffered(job), !c.restartRefused);
        const QString why = QStringLiteral("The server refused to resume '/") + name
                            + QStringLiteral("'; Start transfers it again from the beginning.");
        EXPECT_EQ(log.contains(why), c.restartRefused) << log.join(QLatin1Char('\n')).toStdString();
        if (c.restartRefused) {
            EXPECT_EQ(percentCell(*job), "0.0%");
            select({job});
            commands.EnableJobMenu();
            EXPECT_TRUE(commands.mnuJStart->isEnabled());
        }

        server.off(c.verb);
        ASSERT_TRUE(run(job, !c.restartRefused));
        ASSERT_EQ(job->Status(), 2) << statusCell(*job);
        const QByteArray arrived = c.upload ? server.storedData() : ReadFileBytes(job->GetLocalFilePath());
        EXPECT_TRUE(arrived == content) << arrived.size() << " bytes arrived";
        EXPECT_EQ(percentCell(*job), "100.0%");
    }
}

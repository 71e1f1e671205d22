// With "Confirm before overwriting files" on, an upload into a remote folder
// whose path holds a space, on a server that answers STAT for such paths as
// pure-ftpd does ("213-STAT" / "213 End.", no entry), asks before it
// replaces the file: from the main window and as a job.
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "DataRoot.h"
#include "EngineTimer.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobDispatcher.h"
#include "JobQueuePane.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "TestFiles.h"
#include "WhenModal.h"
#include "frmOverwrite.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

const QByteArray kFolder = "/up 2124";
const QByteArray kTarget = "/up 2124/crlf.txt";

struct SpacedFolderUpload : ::testing::Test
{
    ScriptedFtpServer server;
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QString source;
    QStringList asked; // the file names the overwrite questions showed

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        server.on("PWD", "257 \"" + kFolder + "\" is the current directory.");
        server.on("STAT", QByteArray("213-STAT\r\n213 End."));
        // SIZE knows the file that is there, and the one stored since.
        server.on("SIZE", [this](const QByteArray &argument) {
            const QByteArray size = server.storedData().isEmpty() ? "6" : QByteArray::number(server.storedData().size());
            return ScriptedFtpServer::Reply{{argument == kTarget ? "213 " + size + "\r\n" : "550 No such file\r\n", 0}};
        });
        server.setListing("-rw-r--r-- 1 owner group 6 Jan 01 2024 crlf.txt\r\n");
        source = dir.filePath("crlf.txt");
        ASSERT_TRUE(WriteFileBytes(source, "new\r\nfile\r\n"));
        QDir().mkpath(DataRoot::SystemFolder());
        window = std::make_unique<frmZAVUde>();
        SetOptionFlag(OptionFlag::ConfirmOverwrite, true); // after the window read its options
    }

    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }

    // Answers the next overwrite question with `button`, noting the file it names.
    void answerWith(QPushButton *frmOverwrite::*button)
    {
        WhenModal<frmOverwrite>([this, button](frmOverwrite &question) {
            asked << question.lblInfo->text();
            (question.*button)->click();
        });
    }

    std::shared_ptr<FtpTask> uploadJob() const
    {
        auto job = std::make_shared<FtpTask>();
        job->setIsUpload(true);
        job->setLocalFileTitle(QStringLiteral("crlf.txt"));
        job->setRemoteFileTitle(QStringLiteral("crlf.txt"));
        job->setLocalPath(dir.path());
        job->setRemotePath(QString::fromLatin1(kFolder));
        job->setServerAddress(server.host());
        job->setServerPort(server.port());
        job->setUser(QStringLiteral("u"));
        job->setPassword(QStringLiteral("p"));
        job->setSize(QFileInfo(source).size());
        job->setOriginalLocalSize(job->Size());
        job->setOriginalLocalFileTime(job->LocalDate());
        return job;
    }
};

} // namespace

TEST_F(SpacedFolderUpload, AnUploadFromTheMainWindowAsksBeforeReplacingTheFile)
{
    window->show();
    CProfile profile = ServerProfile(server);
    profile.RemotePath = QString::fromLatin1(kFolder);
    window->Slots()->UseProfile(0, profile, true);
    ASSERT_TRUE(waitFor([&] {
        ServerSlot *s = window->Slot(0);
        return s->SessionActive() && !s->IsBusy() && window->Remote(0)->Model->size() == 1;
    }));
    ASSERT_EQ(window->Slot(0)->SlotRemotePath(), QString::fromLatin1(kFolder));

    // Skip: nothing is stored.
    answerWith(&frmOverwrite::CmdStop);
    window->Batch()->PrepareUploads({source}, 0, true, false);
    waitFor([&] { return !asked.isEmpty() && !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }, 10000);
    ASSERT_EQ(asked.size(), 1) << server.commands().join('\n').toStdString();
    EXPECT_TRUE(asked.first().contains("crlf.txt")) << asked.first().toStdString();
    EXPECT_EQ(server.commandCount("STOR"), 0);

    // Overwrite: the file goes, in binary.
    answerWith(&frmOverwrite::CmdOK);
    window->Batch()->PrepareUploads({source}, 0, true, false);
    ASSERT_TRUE(waitFor([&] { return server.commandCount("STOR") == 1 && !window->Runner()->Running()
                                     && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(server.storedData(), QByteArray("new\r\nfile\r\n"));
    const QList<QByteArray> commands = server.commands();
    const qsizetype stor = commands.indexOf("STOR " + kTarget);
    ASSERT_GE(stor, 1);
    EXPECT_EQ(commands.at(stor - 1), QByteArray("PASV"));
    // The last type the session set before the store is binary.
    const auto lastType = std::find_if(commands.rend() - stor, commands.rend(),
                                       [](const QByteArray &command) { return command.startsWith("TYPE "); });
    ASSERT_NE(lastType, commands.rend());
    EXPECT_EQ(*lastType, QByteArray("TYPE I"));
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(SpacedFolderUpload, AnUploadJobAsksBeforeReplacingTheFile)
{
    window->ShowQor();
    auto job = uploadJob();
    answerWith(&frmOverwrite::CmdStop);
    ASSERT_TRUE(window->Jobs()->AddJob(job));
    job->setLocked(false);
    window->JobControl()->Dispatcher().RunQueuedJobs();
    ASSERT_TRUE(waitFor([&] { return job->Status() >= 2 && !window->JobControl()->Dispatcher().FtpJobs(0)->isBusy(); }));
    ASSERT_EQ(asked.size(), 1) << server.commands().join('\n').toStdString();
    EXPECT_TRUE(asked.first().contains("crlf.txt")) << asked.first().toStdString();
    EXPECT_EQ(server.commandCount("STOR"), 0);
    // What the job notes the server holds before its store answers the check too.
    EXPECT_EQ(server.commandCount("SIZE " + kTarget), 1);
    EXPECT_TRUE(prompts.allUsed());
}

namespace {

// The question is asked while the size reply is handled, and may stay open
// longer than the reply time-out: nothing is owed meanwhile, so no command is
// sent again and the session stays. The browsing connection runs on a manual
// clock, the server is a real one.
struct LongOverwriteQuestion : ::testing::Test
{
    PyFtpServer server;
    ManualEngineTimer *clock = new ManualEngineTimer; // the window's engine owns it
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QStringList sent;

    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }
};

} // namespace

TEST_F(LongOverwriteQuestion, AnUploadQuestionOpenPastTheReplyTimeOutKeepsTheSession)
{
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.writeFile(QStringLiteral("f.txt"), "old"));
    const QString source = dir.filePath(QStringLiteral("f.txt"));
    ASSERT_TRUE(WriteFileBytes(source, "new file\r\n"));
    window = std::make_unique<frmZAVUde>(nullptr, std::array<EngineTimer *, 2>{clock, nullptr});
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    window->show();
    window->Slots()->UseProfile(0, ServerProfile(server), true);
    ServerSlot *slot = window->Slot(0);
    ASSERT_TRUE(waitFor([&] { return slot->SessionActive() && !slot->IsBusy() && window->Remote(0)->Model->size() == 1; }));
    FtpCommander *engine = slot->FtpCmd();
    QObject::connect(engine, &FtpCommander::CommandSent, window.get(),
                     [&](const QString &, const QString &command) { sent << command; });
    bool asked = false;
    WhenModal<frmOverwrite>([&](frmOverwrite &question) {
        asked = true;
        clock->advance(engine->CommandTimeout() * 3000 + 2000);
        question.CmdOK->click();
    });
    window->Batch()->PrepareUploads({source}, 0, true, false);
    ASSERT_TRUE(waitFor([&] { return asked && !window->Runner()->Running() && !slot->IsBusy(); }));
    clock->advance(engine->CommandTimeout() * 1000 + 2000);
    EXPECT_TRUE(slot->SessionActive());
    EXPECT_EQ(sent.filter(QStringLiteral("SIZE")).size(), 1) << sent.join('|').toStdString();
    EXPECT_EQ(server.readFile(QStringLiteral("f.txt")), QByteArray("new file\r\n"));
    EXPECT_TRUE(prompts.allUsed());
}

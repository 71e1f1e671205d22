// Host-facing behaviour against the scripted server: questions the engine asks,
// idle polls, the login question, file checks and reply-map actions.
#include "FtpCommandTables.h"
#include "FtpCommander.h"
#include "LoginFailedHandler.h"
#include "ScriptedEngineTest.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class Behaviour : public ScriptedEngineTest
{
protected:
    QString writeLocal(const QString &name, const QByteArray &bytes)
    {
        const QString path = local.filePath(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
};

class ClosingHandler : public LoginFailedHandler
{
public:
    explicit ClosingHandler(ScriptedFtpServer &server, EngineRecorder &recorder)
        : m_server(server), m_recorder(recorder)
    {
    }
    bool askCredentials(FtpCommander &, const QString &, QString &, QString &password) override
    {
        // The server goes away while the question is open.
        m_server.closeControl();
        EngineRecorder::waitFor([this] { return m_recorder.disconnects > 0; });
        password = QStringLiteral("new");
        return true;
    }

private:
    ScriptedFtpServer &m_server;
    EngineRecorder &m_recorder;
};

} // namespace

TEST_F(Behaviour, OverwriteQuestionRepeatsUntilAnswered)
{
    server.on("STAT", QByteArray("213-Status of /up.bin:\r\n-rw-r--r-- 1 u g 5 Jan 01  2020 up.bin\r\n213 End"));
    ASSERT_TRUE(logIn());
    const QString source = writeLocal(QStringLiteral("up.bin"), "hello");
    QList<int> answers = {-1, 1};
    int asked = 0;
    QObject::connect(
        &engine, &FtpCommander::ValidateUploadOverwrite, &engine,
        [&](int &answer, const QString &) { answer = answers.value(asked++, 0); }, Qt::DirectConnection);

    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 5, true);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return asked == 1; }));
    EXPECT_EQ(sentCount("TYPE"), 0);
    timer->advance(2000);
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(server.storedData(), QByteArray("hello"));

    // A name that only begins like the target, or a refused STAT, asks nothing
    // when SIZE too says the file is not there.
    sizeAnswersBeforeStore("550 No such file");
    server.on("STAT", QByteArray("211-Status\r\n-rw-r--r-- 1 u g 5 Jan 01  2020 up.bin.bak\r\n211 End"));
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 5, true);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(engine.LastCmdSucces());
    server.on("STAT", QByteArray("550 No such file"));
    engine.FTP_SEND_FILE(source, QStringLiteral("/up.bin"), 5, true);
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(asked, 2);
}

TEST_F(Behaviour, KeepAliveSendsEveryFourthPollAsFolderChange)
{
    engine.setKeepAlive(true);
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/home"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    for (int poll = 1; poll <= 4; ++poll) {
        timer->advance(60000);
        ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("NOOP") + sentCount("CWD") == poll + 1; }));
    }
    EXPECT_EQ(sentCount("NOOP"), 3);
    EXPECT_EQ(sentCount("CWD /home"), 2);
    EXPECT_EQ(recorder.jobDone, 2);
}

TEST_F(Behaviour, KeepAliveToAFolderNameThatCannotBeSentRaisesNoJobDone)
{
    engine.setKeepAlive(true);
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/a\r\nDELE x"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    for (int poll = 1; poll <= 3; ++poll) {
        const qsizetype replies = recorder.replies.size();
        timer->advance(60000);
        ASSERT_TRUE(EngineRecorder::waitFor([&] { return recorder.replies.size() > replies; }));
    }
    timer->advance(60000); // the fourth poll would re-enter the folder
    EXPECT_EQ(recorder.jobDone, 2);
    EXPECT_EQ(sentCount("DELE"), 0);
    EXPECT_TRUE(engine.SessionActive());
    timer->advance(60000); // polling goes on
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return sentCount("NOOP") == 4; }));
}

TEST_F(Behaviour, OperationStartedFromJobDoneKeepsItsReplyTimeOut)
{
    ASSERT_TRUE(logIn());
    server.on("MKD", ScriptedFtpServer::Reply{});
    QObject::connect(&engine, &FtpCommander::JobDone, &engine, [&] {
        if (engine.LastAct() == FtpCommander::ActChangeDir)
            engine.FTP_MAKE_DIR(QStringLiteral("/new"));
    });
    engine.FTP_CHG_DIR(QStringLiteral("/"));
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("MKD") == 1; }));
    timer->advance(20000);
    // MKD is not repeated (it is not idempotent) but its time-out did run.
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("MKD") == 2; }));
    timer->advance(20000);
    // Unanswered after its one repeat: the session ends rather than read a late reply as another's.
    EXPECT_EQ(recorder.jobDone, 2);
    EXPECT_EQ(recorder.errorCodes, QList<long>{11});
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_FALSE(engine.isBusy());
}

// The host may start an operation while an idle poll is still unanswered: the
// poll's late "200" must not be taken for the operation's reply.
TEST_F(Behaviour, LateIdlePollReplyIsNotTakenForTheNextCommandsReply)
{
    ASSERT_TRUE(logIn());
    server.on("NOOP", ScriptedFtpServer::Reply{{"200 NOOP ok\r\n", 100}});
    server.on("MKD", QByteArray("550 Permission denied."));
    timer->advance(60000);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("NOOP") == 1; }));
    engine.FTP_MAKE_DIR(QStringLiteral("/locked"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActMakeDir);

    // Once the poll is answered, the next operation is judged on its own reply.
    server.on("CWD", QByteArray("250 OK."));
    engine.FTP_CHG_DIR(QStringLiteral("/"));
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(recorder.jobDone, 3);
}

// A slow server answers a command and its resend together. The second reply
// arrived before the host's next command was written, so it cannot be that
// command's reply.
TEST_F(Behaviour, RepliesReadBeforeACommandWasWrittenAreNotItsReply)
{
    ASSERT_TRUE(logIn());
    int mkd = 0;
    server.on("MKD", ScriptedFtpServer::Rule([&](const QByteArray &) {
                  if (++mkd == 1)
                      return ScriptedFtpServer::Reply{};
                  return ScriptedFtpServer::Reply{{"257 \"/new\" created.\r\n550 /new: already exists.\r\n", 0}};
              }));
    QObject::connect(&engine, &FtpCommander::JobDone, &engine, [&] {
        if (engine.LastAct() == FtpCommander::ActMakeDir)
            engine.FTP_CHG_DIR(QStringLiteral("/new"));
    });
    engine.FTP_MAKE_DIR(QStringLiteral("/new"));
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("MKD") == 1; }));
    timer->advance(20000);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActChangeDir);
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_TRUE(recorder.replies.contains(QStringLiteral("550 /new: already exists.")));
}

// A command is on its way to the server before the host hears of it: what the
// host does then (logging it, showing the state) runs while the server works.
TEST_F(Behaviour, ACommandHasLeftWhenTheHostHearsOfIt)
{
    ASSERT_TRUE(logIn());
    server.on("MKD", QByteArray("257 \"/new\" created."));
    QList<bool> arrived;
    QObject::connect(&engine, &FtpCommander::CommandSent, &engine, [&](const QString &, const QString &command) {
        if (command.startsWith(QStringLiteral("MKD")))
            arrived.append(server.takeClientBytes(5000));
    });
    engine.FTP_MAKE_DIR(QStringLiteral("/new"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_EQ(arrived, QList<bool>{true});
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("MKD"), 1);
}

// Driver files may replace macros; a step the engine does not know ends the
// operation as failed instead of leaving it waiting for nothing.
TEST_F(Behaviour, MacroStepsTheEngineDoesNotKnowFailTheOperation)
{
    struct Restore {
        ~Restore() { LoadCmdDefinitions(); }
    } restore;
    ASSERT_TRUE(logIn());
    FtpMacroTable[9] = QStringLiteral("17,99");
    FtpMacroTable[11] = QStringLiteral("26,x");
    engine.setMode(0); // takes the tables again

    engine.FTP_DEL_FILE(QStringLiteral("/a.txt"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_FALSE(engine.isBusy());

    engine.FTP_MAKE_DIR(QStringLiteral("/b"));
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(server.connectionCount(), 1); // not taken for step 0, a new connection
    EXPECT_TRUE(engine.SessionActive());
}

TEST_F(Behaviour, LoginQuestionAfterTheConnectionWentAwayGoesNoFurther)
{
    server.on("PASS", QByteArray("530 Login incorrect"));
    ClosingHandler handler(server, recorder);
    engine.setLoginFailedHandler(&handler);
    EXPECT_FALSE(logIn());
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_EQ(sentCount("USER"), 1);
    EXPECT_FALSE(engine.isBusy());
    EXPECT_FALSE(engine.SessionActive());
}

TEST_F(Behaviour, DownloadChecksOfSizeAndTime)
{
    server.setFileData("0123456789");
    ASSERT_TRUE(logIn());
    qint64 determined = 0;
    QString differingTime;
    QObject::connect(&engine, &FtpCommander::FileSizeDetermined, &engine,
                     [&](qint64 size, const QString &) { determined = size; });
    QObject::connect(&engine, &FtpCommander::FileDateTimeDiffer, &engine,
                     [&](const QString &date, const QString &) { differingTime = date; });

    const QString target = local.filePath(QStringLiteral("f.bin"));
    engine.FTP_GET_FILE(QStringLiteral("/f.bin"), target, -1, false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(determined, 10);

    writeLocal(QStringLiteral("f.bin"), "0123");
    engine.FTP_RES_GET_FILE(QStringLiteral("/f.bin"), target, 10, QStringLiteral("20090830120001"), true);
    ASSERT_TRUE(recorder.waitForJobs(3));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(differingTime, QStringLiteral("20090830120000"));
    EXPECT_EQ(sentCount("RETR"), 1);

    // The same time within the second goes on and appends byte-exact.
    engine.FTP_RES_GET_FILE(QStringLiteral("/f.bin"), target, 10, QStringLiteral("20090830120000"), true);
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_TRUE(engine.LastCmdSucces());
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("0123456789"));
    EXPECT_EQ(sentCount("REST 4"), 1);
}

TEST_F(Behaviour, DownloadTooLargeForTheDiskKeepsTheLocalFile)
{
    ASSERT_TRUE(logIn());
    const QString target = writeLocal(QStringLiteral("keep.bin"), "precious");
    engine.FTP_GET_FILE(QStringLiteral("/huge.bin"), target, qint64(1) << 60, false);
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_TRUE(recorder.errorCodes.contains(10));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("precious"));
    EXPECT_EQ(sentCount("RETR"), 0);
}

TEST_F(Behaviour, ReplyMapJumpsAndUnknownActions)
{
    const QString config = local.filePath(QStringLiteral("ops.cfg"));
    ASSERT_TRUE(WriteFileBytes(config, "<VARS>\nPWD@ 257 550[G14]\n</VARS>\n"));
    ASSERT_TRUE(engine.LoadCustomOpConfig(config));
    server.onSequence("PWD", {"550 Try again", "257 \"/\""});
    ASSERT_TRUE(logIn());
    engine.FTP_CHG_DIR(QStringLiteral("/d"));
    ASSERT_TRUE(recorder.waitForJobs(2));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("CWD /d"), 2);

    engine.CloseSession();
    ASSERT_TRUE(WriteFileBytes(config, "<VARS>\nPWD@ 257 550[Z]\n</VARS>\n"));
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return engine.CmdStatus() == EngineSocket::Closed; }));
    ASSERT_TRUE(engine.LoadCustomOpConfig(config));
    server.onSequence("PWD", {"550 No"});
    ASSERT_TRUE(logIn());
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Why this :Z  ??"), PromptButton::Ok);
    const int jobs = recorder.jobDone;
    engine.FTP_CHG_DIR(QStringLiteral("/d"));
    ASSERT_TRUE(recorder.waitForJobs(jobs + 1));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_TRUE(prompts.allUsed());
}

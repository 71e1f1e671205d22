// The upload's overwrite check against a server that answers STAT for a path
// with a space as pure-ftpd does: "213-STAT" / "213 End." with no entry,
// however the file stands. SIZE in binary mode has the last word, and the
// transfer still goes in its own type.
#include "FtpCommandTables.h"
#include "ScriptedEngineTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

const QString kTarget = QStringLiteral("/up 2124/crlf.txt");

class OverwriteCheck : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        server.on("STAT", QByteArray("213-STAT\r\n213 End."));
        source = local.filePath(QStringLiteral("crlf.txt"));
        ASSERT_TRUE(WriteFileBytes(source, "new\r\n"));
        QObject::connect(
            &engine, &FtpCommander::ValidateUploadOverwrite, &engine,
            [this](int &allow, const QString &file) {
                ++asked;
                EXPECT_EQ(file, kTarget);
                allow = answer;
            },
            Qt::DirectConnection);
        ASSERT_TRUE(logIn());
    }

    // Uploads with the check on; the commands the server got for it, one a line.
    std::string upload()
    {
        const qsizetype before = server.commands().size();
        const int jobs = recorder.jobDone;
        engine.FTP_SEND_FILE(source, kTarget, 5, true);
        EXPECT_TRUE(recorder.waitForJobs(jobs + 1));
        return server.commands().mid(before).join('\n').toStdString();
    }

    QString source;
    int answer = 0;
    int asked = 0;
};

const std::string kAskedThroughSize = "STAT /up 2124/crlf.txt\nTYPE I\nSIZE /up 2124/crlf.txt";
// Once the server took binary mode, it is not set again.
const std::string kAskedInBinary = "STAT /up 2124/crlf.txt\nSIZE /up 2124/crlf.txt";
// The upload itself, and the check of the size stored.
const std::string kSent = "\nPASV\nSTOR /up 2124/crlf.txt\nSIZE /up 2124/crlf.txt";

} // namespace

TEST_F(OverwriteCheck, AFileTheStatReplyDoesNotListIsFoundBySizeInBinaryMode)
{
    server.on("SIZE", QByteArray("213 5")); // as long as the file sent, so the stored size checks out
    EXPECT_EQ(upload(), kAskedThroughSize);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("STOR"), 0);

    answer = 1;
    EXPECT_EQ(upload(), kAskedInBinary + kSent);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(server.storedData(), QByteArray("new\r\n"));

    // Asked again later: SIZE's answer stands in for STAT's.
    answer = -1;
    engine.FTP_SEND_FILE(source, kTarget, 5, true);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return asked == 3; }));
    answer = 0;
    timer->advance(2000);
    ASSERT_TRUE(recorder.waitForJobs(4));
    EXPECT_EQ(asked, 4);
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(sentCount("STOR"), 1);
}

TEST_F(OverwriteCheck, OnlyA550InBinaryModeSaysTheFileIsNotThere)
{
    sizeAnswersBeforeStore("550 No such file");
    EXPECT_EQ(upload(), kAskedThroughSize + kSent);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(engine.LastCmdSucces());
    // A refused STAT says no more than an empty one.
    server.on("STAT", QByteArray("550 No such file"));
    EXPECT_EQ(upload(), kAskedInBinary + kSent);
    EXPECT_EQ(asked, 0);

    // Where SIZE is not understood, MDTM has the word: its 550 says no file either.
    const std::string mdtm = "\nMDTM /up 2124/crlf.txt";
    sizeAnswersBeforeStore("502 Command not implemented");
    server.on("MDTM", QByteArray("550 No such file"));
    EXPECT_EQ(upload(), kAskedInBinary + mdtm + kSent);
    EXPECT_EQ(asked, 0);
    server.off("MDTM");

    // Any other answer may hide the file: the user is asked.
    for (const QByteArray &reply : {QByteArray("502 Command not implemented"), QByteArray("500 SIZE not allowed"),
                                    QByteArray("450 Busy"), QByteArray("213 not a number"),
                                    QByteArray("250 Something else")}) {
        server.on("SIZE", reply);
        const int before = asked;
        const bool notUnderstood = reply.startsWith("50");
        EXPECT_EQ(upload(), kAskedInBinary + (notUnderstood ? mdtm : std::string())) << reply.constData();
        EXPECT_EQ(asked, before + 1) << reply.constData();
    }
    // So does a server that will not switch to binary, where SIZE proves
    // nothing and MDTM finds a file.
    server.on("SIZE", QByteArray("550 No such file"));
    const int jobs = recorder.jobDone;
    engine.FTP_CUSTOM_COMMAND(QStringLiteral("TYPE A"), QString(), QStringLiteral("2XX"));
    ASSERT_TRUE(recorder.waitForJobs(jobs + 1));
    server.on("TYPE", QByteArray("504 Type not supported"));
    const int before = asked;
    EXPECT_EQ(upload(), "STAT /up 2124/crlf.txt\nTYPE I" + mdtm);
    EXPECT_EQ(asked, before + 1);
    EXPECT_EQ(sentCount("STOR"), 3);
    EXPECT_TRUE(engine.SessionActive());
}

TEST_F(OverwriteCheck, ASilentSizeEndsWithTheReplyTimeOutAndNoUpload)
{
    engine.setMaxConnectionTry(2);
    server.on("SIZE", ScriptedFtpServer::Reply{});
    engine.FTP_SEND_FILE(source, kTarget, 5, true);
    ASSERT_TRUE(EngineRecorder::waitFor([&] { return sentCount("SIZE") == 1; }));
    for (int i = 0; i < 3 && engine.SessionActive(); ++i) {
        timer->advance(engine.CommandTimeout() * 1000);
        EngineRecorder::waitFor([&] { return sentCount("SIZE") == i + 2 || !engine.SessionActive(); }, 2000);
    }
    EXPECT_FALSE(engine.SessionActive());
    EXPECT_TRUE(recorder.errorCodes.contains(11));
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(sentCount("STOR"), 0);
}

// A driver's upload macro that sets no type sends in the type in force: the
// check's TYPE I is undone before the transfer, unless binary was in force.
TEST_F(OverwriteCheck, TheTransferGoesInTheTypeItExpects)
{
    struct Restore {
        ~Restore() { LoadCmdDefinitions(); }
    } restore;
    sizeAnswersBeforeStore("550 No such file");
    const std::string sent = "\nPASV\nSTOR /up 2124/crlf.txt\nSIZE /up 2124/crlf.txt";

    FtpMacroTable[5] = QStringLiteral("35,100,16"); // an ASCII upload
    engine.setMode(0);
    EXPECT_EQ(upload(), kAskedThroughSize + "\nTYPE A" + sent);

    FtpMacroTable[5] = QStringLiteral("100,16"); // whatever type the session is in
    engine.setMode(0);
    EXPECT_EQ(upload(), kAskedThroughSize + "\nTYPE A" + sent); // the last TYPE was A
    const int jobs = recorder.jobDone;
    engine.FTP_CUSTOM_COMMAND(QStringLiteral("TYPE I"), QString(), QStringLiteral("2XX[I]XXX[I]"));
    ASSERT_TRUE(recorder.waitForJobs(jobs + 1));
    EXPECT_EQ(upload(), kAskedInBinary + sent);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(server.storedData(), QByteArray("new\r\n"));
}

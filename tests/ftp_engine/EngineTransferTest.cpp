// Listings, transfers and file operations against a real server, passive and active.
#include "EngineRecorder.h"
#include "FtpCommander.h"
#include "PyFtpServer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.generate() & 0xFF);
    return bytes;
}

class Transfers : public ::testing::TestWithParam<long>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        engine.setMode(GetParam());
        engine.setCacheFile(local.filePath(QStringLiteral("listing.cache")));
        engine.setListingAllowed(true);
        ASSERT_TRUE(LogIn(engine, recorder, server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser),
                          QString::fromLatin1(PyFtpServer::kPassword)));
    }

    // Waits for the next JobDone and answers whether it succeeded.
    bool finished()
    {
        const int target = ++jobs;
        return recorder.waitForJobs(target, 20000) && recorder.jobDone == target && engine.LastCmdSucces()
               && !engine.isBusy();
    }

    PyFtpServer server;
    QTemporaryDir local;
    FtpCommander engine;
    EngineRecorder recorder{engine};
    int jobs = 1;
};

} // namespace

TEST_P(Transfers, ListsEmptyAndLargeFolders)
{
    ASSERT_TRUE(server.makeFolder(QStringLiteral("empty")));
    ASSERT_TRUE(server.makeFolder(QStringLiteral("many")));
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(server.writeFile(QStringLiteral("many/file %1.txt").arg(i, 4, 10, QLatin1Char('0')), "x"));

    engine.FTP_CHG_DIR(QStringLiteral("/empty"));
    ASSERT_TRUE(finished());
    engine.FTP_LIST_DIR();
    ASSERT_TRUE(finished());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActList);
    EXPECT_EQ(engine.getListData(), QString());

    engine.FTP_CHG_DIR(QStringLiteral("/many"));
    ASSERT_TRUE(finished());
    engine.FTP_LIST_DIR();
    ASSERT_TRUE(finished());
    const QString listing = engine.getListData();
    EXPECT_EQ(listing.count(QLatin1Char('\n')), 2000);
    EXPECT_TRUE(listing.contains(QStringLiteral("file 1999.txt")));
    EXPECT_EQ(engine.DataStatus(), EngineSocket::Closed);
}

TEST_P(Transfers, DownloadsAndUploadsAreByteIdentical)
{
    const QByteArray content = RandomBytes(700 * 1024 + 13, 7);
    ASSERT_TRUE(server.writeFile(QStringLiteral("data.bin"), content));
    const QString target = local.filePath(QStringLiteral("data.bin"));
    ASSERT_TRUE(WriteFileBytes(target, "old content that is longer than nothing"));
    qint64 lastProgress = 0;
    QObject::connect(&engine, &FtpCommander::DataProgress, &engine, [&](qint64 bytes) { lastProgress = bytes; });

    engine.FTP_GET_FILE(QStringLiteral("/data.bin"), target, content.size(), false);
    ASSERT_TRUE(finished());
    EXPECT_EQ(ReadFileBytes(target), content);
    EXPECT_EQ(lastProgress, content.size());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActGet);
    // Binary mode is set before the size is asked for.
    EXPECT_LT(recorder.sent.indexOf(QStringLiteral("TYPE I")), recorder.sent.indexOf(QStringLiteral("SIZE /data.bin")));

    const QByteArray upload = RandomBytes(300 * 1024 + 5, 9);
    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(source, upload));
    engine.FTP_SEND_FILE(source, QStringLiteral("//up.bin"), upload.size(), false);
    ASSERT_TRUE(finished());
    EXPECT_EQ(engine.RemoteFilePath(), QStringLiteral("/up.bin"));
    EXPECT_EQ(server.readFile(QStringLiteral("up.bin")), upload);
    EXPECT_TRUE(recorder.messages.contains(QStringLiteral("File send complete (%1/%1)").arg(upload.size())));

    const QString empty = local.filePath(QStringLiteral("empty.bin"));
    ASSERT_TRUE(WriteFileBytes(empty, QByteArray()));
    engine.FTP_SEND_FILE(empty, QStringLiteral("/empty.bin"), 0, false);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(server.exists(QStringLiteral("empty.bin")));
    EXPECT_TRUE(server.readFile(QStringLiteral("empty.bin")).isEmpty());

    // An empty remote file replaces a local one with an empty file.
    engine.FTP_GET_FILE(QStringLiteral("/empty.bin"), target, 0, false);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_TRUE(ReadFileBytes(target).isEmpty());
}

TEST_P(Transfers, UploadOverwriteQuestion)
{
    ASSERT_TRUE(server.writeFile(QStringLiteral("exists.txt"), "remote"));
    const QString source = local.filePath(QStringLiteral("exists.txt"));
    ASSERT_TRUE(WriteFileBytes(source, "local version"));
    int answer = 0;
    int asked = 0;
    QObject::connect(
        &engine, &FtpCommander::ValidateUploadOverwrite, &engine,
        [&](int &reply, const QString &remote) {
            ++asked;
            EXPECT_EQ(remote, QStringLiteral("/exists.txt"));
            reply = answer;
        },
        Qt::DirectConnection);

    engine.FTP_SEND_FILE(source, QStringLiteral("/exists.txt"), 13, true);
    ASSERT_TRUE(recorder.waitForJobs(++jobs));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.readFile(QStringLiteral("exists.txt")), QByteArray("remote"));

    answer = 1;
    engine.FTP_SEND_FILE(source, QStringLiteral("/exists.txt"), 13, true);
    ASSERT_TRUE(finished());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(server.readFile(QStringLiteral("exists.txt")), QByteArray("local version"));

    // A target that is not there asks nothing.
    engine.FTP_SEND_FILE(source, QStringLiteral("/new.txt"), 13, true);
    ASSERT_TRUE(finished());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(server.exists(QStringLiteral("new.txt")));
}

TEST_P(Transfers, FolderAndFileOperations)
{
    ASSERT_TRUE(server.writeFile(QStringLiteral("a.txt"), "a"));
    engine.FTP_MAKE_DIR(QStringLiteral("/made"));
    ASSERT_TRUE(finished());
    EXPECT_TRUE(server.exists(QStringLiteral("made")));

    engine.FTP_REN_FILE(QStringLiteral("/a.txt"), QStringLiteral("/made//b.txt"));
    ASSERT_TRUE(finished());
    EXPECT_TRUE(server.exists(QStringLiteral("made/b.txt")));
    EXPECT_FALSE(server.exists(QStringLiteral("a.txt")));

    engine.FTP_DEL_FILE(QStringLiteral("/made/b.txt"));
    ASSERT_TRUE(finished());
    EXPECT_FALSE(server.exists(QStringLiteral("made/b.txt")));

    engine.FTP_DEL_DIR(QStringLiteral("/made"));
    ASSERT_TRUE(finished());
    EXPECT_FALSE(server.exists(QStringLiteral("made")));

    engine.FTP_DEL_FILE(QStringLiteral("/missing.txt"));
    ASSERT_TRUE(recorder.waitForJobs(++jobs));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_EQ(recorder.sent.count(QStringLiteral("DELE /missing.txt")), 1);
}

// A restart marker holds only for the transfer command right after it, so
// nothing may come between REST and RETR or STOR.
TEST_P(Transfers, ResumesContinueWhereTheCopiesEnd)
{
    const QByteArray content = RandomBytes(200 * 1024 + 7, 11);
    ASSERT_TRUE(server.writeFile(QStringLiteral("whole.bin"), content));
    const QString target = local.filePath(QStringLiteral("whole.bin"));
    ASSERT_TRUE(WriteFileBytes(target, content.left(81234)));

    engine.FTP_RES_GET_FILE(QStringLiteral("/whole.bin"), target, content.size(), QString(), false);
    ASSERT_TRUE(finished());
    EXPECT_EQ(ReadFileBytes(target), content);
    const qsizetype rest = recorder.sent.indexOf(QStringLiteral("REST 81234"));
    ASSERT_GE(rest, 0);
    EXPECT_EQ(recorder.sent.value(rest + 1), QStringLiteral("RETR /whole.bin"));

    // A resumed upload goes on at the size the server holds, not at the caller's count.
    ASSERT_TRUE(server.writeFile(QStringLiteral("part.bin"), content.left(50000)));
    qint64 offset = 90000;
    engine.FTP_RES_SEND_FILE(target, QStringLiteral("/part.bin"), content.size(), offset);
    ASSERT_TRUE(finished());
    EXPECT_EQ(server.readFile(QStringLiteral("part.bin")), content);
    const qsizetype restSend = recorder.sent.indexOf(QStringLiteral("REST 50000"));
    ASSERT_GE(restSend, 0);
    EXPECT_EQ(recorder.sent.value(restSend + 1), QStringLiteral("STOR /part.bin"));
    EXPECT_LT(recorder.sent.indexOf(QStringLiteral("TYPE I"), rest + 1), recorder.sent.indexOf(QStringLiteral("SIZE /part.bin")));

    // A target the server does not have is sent whole.
    engine.FTP_RES_SEND_FILE(target, QStringLiteral("/absent.bin"), content.size(), offset);
    ASSERT_TRUE(finished());
    EXPECT_EQ(server.readFile(QStringLiteral("absent.bin")), content);
    EXPECT_EQ(recorder.sent.filter(QStringLiteral("REST")).size(), 3); // the log-in's REST 0 and the two above
}

TEST_P(Transfers, LocalWriteErrorFailsTheDownload)
{
    ASSERT_TRUE(server.writeFile(QStringLiteral("data.bin"), RandomBytes(50000, 3)));
    engine.FTP_GET_FILE(QStringLiteral("/data.bin"), local.filePath(QStringLiteral("no/such/folder/data.bin")), 50000,
                        false);
    ASSERT_TRUE(recorder.waitForJobs(++jobs, 20000));
    EXPECT_FALSE(engine.LastCmdSucces());
    EXPECT_TRUE(recorder.errorCodes.contains(12));
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return engine.DataStatus() == EngineSocket::Closed; }));
    // The session goes on.
    engine.FTP_CHG_DIR(QStringLiteral("/"));
    EXPECT_TRUE(finished());
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, Transfers, ::testing::Values(0L, 1L),
                         [](const ::testing::TestParamInfo<long> &info) {
                             return info.param == 0 ? std::string("Passive") : std::string("Active");
                         });

TEST(ServerToServer, CopiesBetweenTwoServers)
{
    PyFtpServer source;
    PyFtpServer destination;
    ASSERT_TRUE(source.start());
    ASSERT_TRUE(destination.start());
    const QByteArray content = RandomBytes(200 * 1024 + 1, 11);
    ASSERT_TRUE(source.writeFile(QStringLiteral("copy.bin"), content));

    FtpCommander sender;   // stores on the destination
    FtpCommander receiver; // reads from the source
    EngineRecorder sent(sender);
    EngineRecorder received(receiver);
    const QString user = QString::fromLatin1(PyFtpServer::kUser);
    const QString password = QString::fromLatin1(PyFtpServer::kPassword);
    ASSERT_TRUE(LogIn(sender, sent, destination.host(), destination.port(), user, password));
    ASSERT_TRUE(LogIn(receiver, received, source.host(), source.port(), user, password));

    // The host's wiring between the two engines.
    QObject::connect(&sender, &FtpCommander::HandlePassiveAddress, &sender,
                     [&](const QString &address, long port) {
                         receiver.FTP_GetFromOtherServer(QStringLiteral("/copy.bin"), content.size(), address, port);
                     });
    QObject::connect(&receiver, &FtpCommander::DataConnect, &receiver, [&] {
        if (receiver.CurrentAct() == FtpCommander::ActGetFromServer)
            sender.DataConnectionOk();
    });
    sender.FTP_StoreFromServer(QStringLiteral("/copy.bin"), content.size());
    ASSERT_TRUE(sent.waitForJobs(2, 20000));
    ASSERT_TRUE(received.waitForJobs(2, 20000));
    EXPECT_TRUE(sender.LastCmdSucces()) << sent.events.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(receiver.LastCmdSucces()) << received.events.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(receiver.LastCmdSucces());
    EXPECT_EQ(sender.LastAct(), FtpCommander::ActStoreToServer);
    EXPECT_EQ(receiver.LastAct(), FtpCommander::ActGetFromServer);
    EXPECT_EQ(destination.readFile(QStringLiteral("copy.bin")), content);
    EXPECT_TRUE(sender.LocalFilePath().isEmpty());
}

#include "HandOffClient.h"
#include "HandOffServer.h"
#include "InstanceLock.h"
#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Received {
    quint32 tag = 0;
    QByteArray payload;
    int calls = 0;
};

// The blocking client runs on its own thread while the server's events run here.
std::optional<qint32> sendFromThread(const QString &path, quint32 tag, const QByteArray &payload)
{
    std::optional<qint32> answer;
    std::atomic<bool> done = false;
    std::thread sender([&] {
        HandOffClient client;
        if (client.connectTo(path, 5000))
            answer = client.send(tag, payload, 5000);
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done.load(); }, 10000);
    sender.join();
    return answer;
}

class HandOff : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("handoff"));
        server.setHandler([this](quint32 tag, const QByteArray &payload) {
            received.tag = tag;
            received.payload = payload;
            ++received.calls;
            return payload == "fail" ? -1 : 0;
        });
        ASSERT_TRUE(server.listen(path));
    }

    QTemporaryDir folder;
    QString path;
    HandOffServer server;
    Received received;
};

} // namespace

TEST_F(HandOff, FrameReachesTheHandlerAndItsAnswerComesBack)
{
    EXPECT_EQ(sendFromThread(path, 1, "/tmp/jobs.xqr"), 0);
    EXPECT_EQ(received.tag, 1u);
    EXPECT_EQ(received.payload, QByteArray("/tmp/jobs.xqr"));
    EXPECT_EQ(sendFromThread(path, 7, "fail"), -1);
    EXPECT_EQ(received.calls, 2);
}

TEST_F(HandOff, PayloadAtTheLimitPassesAndOneByteMoreIsRefused)
{
    const QByteArray limit(HandOffServer::kMaxPayload, 'a');
    EXPECT_EQ(sendFromThread(path, 1, limit), 0);
    EXPECT_EQ(received.payload.size(), HandOffServer::kMaxPayload);
    EXPECT_EQ(sendFromThread(path, 1, limit + 'b'), -1);
    EXPECT_EQ(received.calls, 1);
}

TEST_F(HandOff, EmptyPayloadIsAnsweredWithoutTheHandler)
{
    EXPECT_EQ(sendFromThread(path, 1, QByteArray()), 0);
    EXPECT_EQ(received.calls, 0);
}

TEST_F(HandOff, IncompleteFrameIsDroppedAfterTheTimeOut)
{
    server.setFrameTimeout(20);
    QSignalSpy rejected(&server, &HandOffServer::frameRejected);
    QLocalSocket socket;
    socket.connectToServer(path);
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(HandOffClient::Frame(1, "/tmp/jobs.xqr").left(10));
    socket.flush();
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(received.calls, 0);
    server.setFrameTimeout(5000);
    EXPECT_EQ(sendFromThread(path, 1, "next"), 0);
}

TEST_F(HandOff, SocketLeftBehindIsReplaced)
{
    server.close();
    // A file in the way, as a killed instance leaves its socket behind.
    QFile leftBehind(path);
    ASSERT_TRUE(leftBehind.open(QIODevice::WriteOnly));
    leftBehind.close();
    HandOffServer next;
    ASSERT_TRUE(next.listen(path));
    next.setHandler([](quint32, const QByteArray &) { return 0; });
    EXPECT_EQ(sendFromThread(path, 1, "x"), 0);
}

TEST(HandOffClientTest, NoServerMeansNoConnection)
{
    QTemporaryDir folder;
    HandOffClient client;
    EXPECT_FALSE(client.connectTo(folder.filePath(QStringLiteral("nobody")), 200));
    EXPECT_FALSE(client.send(1, "x", 100).has_value());
}

TEST(InstanceLockTest, SecondHolderIsRefusedUntilTheFirstReleases)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("app.lock"));
    InstanceLock first(path);
    InstanceLock second(path);
    EXPECT_EQ(first.acquire(), InstanceLock::Outcome::Acquired);
    EXPECT_EQ(second.acquire(), InstanceLock::Outcome::HeldByAnother);
    first.release();
    EXPECT_EQ(second.acquire(), InstanceLock::Outcome::Acquired);
}

TEST(InstanceLockTest, UnusableFolderIsAFailureNotAHolder)
{
    InstanceLock lock(QStringLiteral("/proc/ftpqor-no-such-folder/app.lock"));
    QString error;
    EXPECT_EQ(lock.acquire(&error), InstanceLock::Outcome::Failed);
    EXPECT_FALSE(error.isEmpty());
}

TEST(InstanceLockTest, LockFileLeftWithoutAHolderIsTakenOver)
{
    // What a crash can leave: a lock file cut short, one written on another
    // host name, one of garbage. Nobody holds any of them.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("app.lock"));
    const QList<QByteArray> contents = {
        QByteArray(),
        QByteArray("4194300\nftpqor_instance_helper\nsome-other-host\n"),
        QByteArray("not a lock file"),
    };
    for (const QByteArray &content : contents) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        InstanceLock lock(path);
        EXPECT_EQ(lock.acquire(), InstanceLock::Outcome::Acquired) << content.toStdString();
        lock.release();
    }
}

TEST(RuntimeFolderTest, FolderOwnedBySomeoneElseIsRefused)
{
    // Whoever owns the folder could hold our lock or answer in our place.
    QTemporaryDir parent;
    const QString shared = parent.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    const QByteArray native = QFile::encodeName(shared);
    ASSERT_EQ(::chmod(native.constData(), 0777), 0);
    if (::geteuid() != 0 || ::chown(native.constData(), 65534, 65534) != 0)
        GTEST_SKIP() << "needs a folder owned by another user";
    EXPECT_FALSE(RuntimeFolder::Ensure(shared));
    EXPECT_TRUE(RuntimeFolder::Ensure(parent.filePath(QStringLiteral("own"))));
}

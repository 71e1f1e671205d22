// The fixtures themselves: a real server answers a raw client, and the
// scripted server says exactly what it was told.
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A line-reading client that keeps the event loop running while it waits, so
// it also works against the in-process scripted server.
class RawClient
{
public:
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    // The next complete reply (multi-line replies up to their "nnn " line).
    QByteArray reply()
    {
        QByteArray all;
        QByteArray code;
        for (;;) {
            QByteArray line = readLine();
            if (line.isNull())
                return all;
            all += line;
            if (code.isEmpty())
                code = line.left(3);
            if (line.startsWith(code + ' ') || (line.size() >= 4 && line[3] != '-' && code == line.left(3)))
                return all;
        }
    }
    QByteArray readLine()
    {
        if (!QTest::qWaitFor([&] { return buffer.contains('\n') || readMore(); }, 5000) && !buffer.contains('\n'))
            return {};
        const qsizetype lf = buffer.indexOf('\n');
        QByteArray line = buffer.left(lf + 1);
        buffer.remove(0, lf + 1);
        return line;
    }
    QByteArray command(const QByteArray &text)
    {
        socket.write(text + "\r\n");
        return reply();
    }
    QTcpSocket socket;
    QByteArray buffer;

private:
    bool readMore()
    {
        buffer += socket.readAll();
        return buffer.contains('\n');
    }
};

quint16 pasvPort(const QByteArray &reply)
{
    const QList<QByteArray> parts = reply.mid(reply.indexOf('(') + 1, reply.indexOf(')') - reply.indexOf('(') - 1).split(',');
    return parts.size() == 6 ? static_cast<quint16>(parts[4].toUInt() * 256 + parts[5].toUInt()) : 0;
}

QByteArray readAllData(QTcpSocket &data)
{
    QByteArray bytes;
    (void)QTest::qWaitFor([&] {
        bytes += data.readAll();
        return data.state() == QAbstractSocket::UnconnectedState;
    }, 5000);
    return bytes + data.readAll();
}

// True once the process is gone or only waits to be reaped.
bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

// What a descriptor link names ("pipe:[1234]", a path), read as it is.
QByteArray linkOf(const QString &link)
{
    char target[512];
    const ssize_t size = ::readlink(QFile::encodeName(link).constData(), target, sizeof target);
    return size > 0 ? QByteArray(target, size) : QByteArray();
}

const char *const kOrphanHelper = "FTPQOR_PYFTPD_ORPHAN_HELPER";

} // namespace

TEST(PyFtpServer, LogsInAndListsAFolder)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile(QStringLiteral("pub/readme.txt"), "hello"));

    RawClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    EXPECT_TRUE(client.reply().startsWith("220"));
    EXPECT_TRUE(client.command("USER user").startsWith("331"));
    EXPECT_TRUE(client.command("PASS wrong").startsWith("530"));
    EXPECT_TRUE(client.command("USER user").startsWith("331"));
    EXPECT_TRUE(client.command("PASS secret").startsWith("230"));
    const QByteArray pasv = client.command("PASV");
    ASSERT_TRUE(pasv.startsWith("227")) << pasv.constData();

    QTcpSocket data;
    data.connectToHost(QStringLiteral("127.0.0.1"), pasvPort(pasv));
    ASSERT_TRUE(data.waitForConnected(5000));
    EXPECT_TRUE(client.command("LIST /pub").startsWith("1"));
    EXPECT_TRUE(readAllData(data).contains("readme.txt"));
    EXPECT_TRUE(client.reply().startsWith("226"));
    EXPECT_TRUE(client.command("QUIT").startsWith("221"));
}

TEST(ScriptedFtpServer, SplitRepliesRulesAndDrops)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setGreeting({{"220-Welcome\r\n220", 0}, {" ready", 30}, {"\r\n", 30}});
    server.onSequence("NOOP", {"421 busy", "200 ok"});
    server.on("SITE", [](const QByteArray &arg) {
        return ScriptedFtpServer::Reply{{"200 site " + arg + "\r\n", 0}};
    });
    server.dropOn("STAT");

    RawClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    EXPECT_EQ(client.reply(), QByteArray("220-Welcome\r\n220 ready\r\n"));
    EXPECT_EQ(client.command("NOOP"), QByteArray("421 busy\r\n"));
    EXPECT_EQ(client.command("NOOP"), QByteArray("200 ok\r\n"));
    EXPECT_EQ(client.command("NOOP"), QByteArray("200 ok\r\n"));
    EXPECT_EQ(client.command("SITE CHMOD 644 x"), QByteArray("200 site CHMOD 644 x\r\n"));
    EXPECT_EQ(client.command("XYZ"), QByteArray("502 Command not implemented.\r\n"));
    client.socket.write("STAT\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(server.commands().last(), QByteArray("STAT"));
}

TEST(ScriptedFtpServer, PassiveTransferWithDropAndHostileAddress)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setFileData(QByteArray(100000, 'x'));
    server.setDataDropAfter(4096);
    server.setPassiveHost("10,9,8,7");

    RawClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    client.reply();
    const QByteArray pasv = client.command("PASV");
    EXPECT_TRUE(pasv.contains("(10,9,8,7,")) << pasv.constData();
    QTcpSocket data;
    data.connectToHost(QStringLiteral("127.0.0.1"), pasvPort(pasv)); // the peer, not the named address
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.state() == QAbstractSocket::ConnectedState; }, 5000));
    EXPECT_TRUE(client.command("RETR f").startsWith("150"));
    EXPECT_EQ(readAllData(data).size(), 4096);
    EXPECT_TRUE(client.reply().startsWith("426"));
}

TEST(ScriptedFtpServer, ActiveUploadIsStored)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    const quint16 p = listener.serverPort();

    RawClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    client.reply();
    EXPECT_TRUE(client.command("PORT 127,0,0,1," + QByteArray::number(p >> 8) + "," + QByteArray::number(p & 0xFF))
                    .startsWith("200"));
    EXPECT_TRUE(client.command("STOR up.bin").startsWith("150"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.hasPendingConnections(); }, 5000));
    QTcpSocket *data = listener.nextPendingConnection();
    data->write("uploaded bytes");
    data->disconnectFromHost();
    EXPECT_TRUE(client.reply().startsWith("226"));
    EXPECT_EQ(server.storedData(), QByteArray("uploaded bytes"));
}

// Run only as the child of the test below: starts a server and dies the way a
// crashed test does, without any cleanup.
TEST(PyFtpServer, HelperStartsAServerAndDies)
{
    if (!qEnvironmentVariableIsSet(kOrphanHelper))
        GTEST_SKIP() << "helper of ServerEndsWithItsTestAndHoldsNoneOfItsFiles";
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QByteArray line = "SERVER " + QByteArray::number(server.processId()) + "\n";
    ASSERT_EQ(::write(STDOUT_FILENO, line.constData(), static_cast<size_t>(line.size())), line.size());
    ::_exit(3);
}

TEST(PyFtpServer, ServerEndsWithItsTestAndHoldsNoneOfItsFiles)
{
    // A descriptor the test leaves inheritable never reaches the server.
    int leaky[2] = {-1, -1};
    ASSERT_EQ(::pipe(leaky), 0);
    {
        PyFtpServer server;
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        const QByteArray ours = linkOf(QStringLiteral("/proc/self/fd/%1").arg(leaky[0]));
        ASSERT_FALSE(ours.isEmpty());
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(server.processId()));
        const QStringList names = fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        ASSERT_FALSE(names.isEmpty());
        for (const QString &name : names)
            EXPECT_NE(linkOf(fds.filePath(name)), ours) << name.toStdString();
    }
    ::close(leaky[0]);
    ::close(leaky[1]);

    // A test that dies without stopping its server takes the server along.
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kOrphanHelper), QStringLiteral("1"));
    helper.setProcessEnvironment(environment);
    helper.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=PyFtpServer.HelperStartsAServerAndDies")});
    ASSERT_TRUE(helper.waitForFinished(30000));
    EXPECT_EQ(helper.exitCode(), 3) << helper.readAllStandardError().constData();
    const QByteArray out = helper.readAllStandardOutput();
    const qsizetype at = out.indexOf("SERVER ");
    ASSERT_GE(at, 0) << out.constData();
    const qint64 pid = out.mid(at + 7, out.indexOf('\n', at) - at - 7).toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(QTest::qWaitFor([pid] { return processEnded(pid); }, 10000));
}

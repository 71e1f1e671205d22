// Listings as a real server writes them, fetched over a plain control and
// data connection, read back by the parser.
#include "DirectoryListingParser.h"

#include "PyFtpServer.h"
#include "TextCodec.h"

#include <QFile>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <map>

namespace {

// The next reply, through its final "nnn " line. The server is another process,
// so blocking reads are fine here.
QByteArray ReadReply(QTcpSocket &control)
{
    QByteArray reply;
    for (;;) {
        while (!control.canReadLine()) {
            if (!control.waitForReadyRead(5000))
                return reply;
        }
        const QByteArray line = control.readLine();
        reply += line;
        if (line.size() >= 4 && line[3] == ' ' && std::isdigit(static_cast<unsigned char>(line[0])))
            return reply;
    }
}

QByteArray Command(QTcpSocket &control, const QByteArray &command)
{
    control.write(command + "\r\n");
    return ReadReply(control);
}

// The raw bytes of "LIST folder", or nothing when a step fails.
QByteArray FetchListing(quint16 port, const QByteArray &folder)
{
    QTcpSocket control;
    control.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!control.waitForConnected(5000) || !ReadReply(control).startsWith("220")
        || !Command(control, "USER user").startsWith("331") || !Command(control, "PASS secret").startsWith("230"))
        return {};
    const QByteArray pasv = Command(control, "PASV");
    const QList<QByteArray> numbers =
        pasv.mid(pasv.indexOf('(') + 1, pasv.indexOf(')') - pasv.indexOf('(') - 1).split(',');
    if (!pasv.startsWith("227") || numbers.size() != 6)
        return {};
    QTcpSocket data;
    data.connectToHost(QStringLiteral("127.0.0.1"), quint16(numbers[4].toUInt() * 256 + numbers[5].toUInt()));
    if (!data.waitForConnected(5000) || !Command(control, "LIST " + folder).startsWith("1"))
        return {};
    QByteArray listing;
    while (data.state() == QAbstractSocket::ConnectedState && data.waitForReadyRead(5000))
        listing += data.readAll();
    listing += data.readAll();
    return ReadReply(control).startsWith("226") ? listing : QByteArray();
}

} // namespace

TEST(ListingFromServer, RealServerListingReadsBackEveryName)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QStringList plainNames({"readme.txt", "two  blanks.txt", " leading blank", "trailing blank ",
                                  "Grüße.txt"});
    for (const QString &name : plainNames)
        ASSERT_TRUE(server.writeFile("pub/" + name, name.toUtf8()));
    ASSERT_TRUE(server.makeFolder("pub/sub  folder"));
    // Sparse, so the test stays small on disk.
    QFile big(server.rootPath() + "/pub/big.iso");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(Q_INT64_C(3) << 30));
    big.close();
    ASSERT_TRUE(QFile::link("readme.txt", server.rootPath() + "/pub/latest"));

    const QByteArray raw = FetchListing(server.port(), "/pub");
    ASSERT_FALSE(raw.isEmpty());
    qsizetype count = 0;
    const QList<FtpFileItem> items = GetFileList(TextCodec::Decode(raw), u"/pub", count);

    std::map<QString, FtpFileItem> byName;
    for (const FtpFileItem &item : items)
        byName[item.Name] = item;
    EXPECT_EQ(count, qsizetype(plainNames.size() + 3)) << raw.constData();
    for (const QString &name : plainNames) {
        ASSERT_TRUE(byName.count(name)) << qPrintable(name) << "\n" << raw.constData();
        EXPECT_EQ(byName[name].Size, name.toUtf8().size());
        EXPECT_FALSE(byName[name].IsFolder);
    }
    ASSERT_TRUE(byName.count("sub  folder")) << raw.constData();
    EXPECT_TRUE(byName["sub  folder"].IsFolder);
    ASSERT_TRUE(byName.count("big.iso"));
    EXPECT_EQ(byName["big.iso"].Size, Q_INT64_C(3) << 30);
    ASSERT_TRUE(byName.count("latest -> readme.txt")) << raw.constData();
    EXPECT_EQ(byName["latest -> readme.txt"].Attributes.front(), u'l');
}

// The quick-connect dialog and its list of servers.
#include "DataRoot.h"
#include "frmQuickCon.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class QuickConnectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DataRoot::EnsureDataFolders());
        QFile::remove(frmQuickCon::ListFilePath());
    }
    void TearDown() override
    {
        QFile::remove(frmQuickCon::ListFilePath());
        QDir().rmdir(frmQuickCon::ListFilePath());
    }

    static void writeList(const QByteArray &bytes)
    {
        QFile f(frmQuickCon::ListFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray listBytes()
    {
        QFile f(frmQuickCon::ListFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QComboBox *combo(const frmQuickCon &d) { return d.findChild<QComboBox *>(QStringLiteral("Combo1")); }
    static QPushButton *btn(const frmQuickCon &d, const char *name)
    {
        return d.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    static void typeServer(const frmQuickCon &d, const QString &text)
    {
        QLineEdit *edit = combo(d)->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    static void pick(const frmQuickCon &d, int index)
    {
        combo(d)->setCurrentIndex(index);
        emit combo(d)->activated(index);
    }
};

} // namespace

TEST_F(QuickConnectTest, ListsOnlyRealHostsTrimmed)
{
    writeList("\r\nab\r\n  ftp.one.org  \r\nftp.two.org\nx\r\n");
    frmQuickCon dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quick Connect"));
    EXPECT_EQ(dialog.servers(), (QStringList{"ftp.one.org", "ftp.two.org"}));
    EXPECT_FALSE(btn(dialog, "CmdUpd")->isEnabled());
    EXPECT_FALSE(btn(dialog, "CmdDel")->isEnabled());
}

TEST_F(QuickConnectTest, ConnectNeedsThreeCharacters)
{
    frmQuickCon dialog;
    EXPECT_TRUE(dialog.servers().isEmpty()) << "no list file";
    typeServer(dialog, QStringLiteral(" ab "));
    EXPECT_FALSE(btn(dialog, "CmdUpd")->isEnabled());
    typeServer(dialog, QStringLiteral("abc"));
    EXPECT_TRUE(btn(dialog, "CmdUpd")->isEnabled());
    EXPECT_FALSE(btn(dialog, "CmdDel")->isEnabled()) << "typed text is no list entry";
}

TEST_F(QuickConnectTest, AKnownServerLeavesTheFileAlone)
{
    const QByteArray original = "ftp.one.org\r\nab\r\nftp.two.org\r\n";
    writeList(original);
    frmQuickCon dialog;
    typeServer(dialog, QStringLiteral("  FTP.TWO.org "));
    btn(dialog, "CmdUpd")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Tag().trimmed(), QStringLiteral("FTP.TWO.org"));
    EXPECT_EQ(listBytes(), original);
}

TEST_F(QuickConnectTest, ANewServerIsAppendedTrimmed)
{
    writeList("ftp.one.org"); // no final line break
    frmQuickCon dialog;
    typeServer(dialog, QStringLiteral("  ftp.new.org "));
    btn(dialog, "CmdUpd")->click();
    EXPECT_EQ(listBytes(), QByteArray("ftp.one.org\r\nftp.new.org\r\n"));

    QFile::remove(frmQuickCon::ListFilePath());
    frmQuickCon second;
    typeServer(second, QStringLiteral("ftp.first.org"));
    btn(second, "CmdUpd")->click();
    EXPECT_EQ(listBytes(), QByteArray("ftp.first.org\r\n"));
}

TEST_F(QuickConnectTest, DeletionsAreKeptOnlyWhenConnecting)
{
    const QByteArray original = "ftp.one.org\r\nab\r\nftp.two.org\r\nftp.three.org\r\n";
    writeList(original);
    {
        frmQuickCon dialog;
        pick(dialog, 1);
        EXPECT_TRUE(btn(dialog, "CmdDel")->isEnabled());
        btn(dialog, "CmdDel")->click();
        EXPECT_EQ(dialog.servers(), (QStringList{"ftp.one.org", "ftp.three.org"}));
        EXPECT_FALSE(btn(dialog, "CmdDel")->isEnabled());
        btn(dialog, "CmdCnc")->click();
        EXPECT_TRUE(dialog.Tag().isEmpty());
        EXPECT_EQ(listBytes(), original);
    }
    frmQuickCon dialog;
    pick(dialog, 1);
    btn(dialog, "CmdDel")->click();
    pick(dialog, 0);
    btn(dialog, "CmdUpd")->click();
    EXPECT_EQ(dialog.Tag(), QStringLiteral("ftp.one.org"));
    EXPECT_EQ(listBytes(), QByteArray("ftp.one.org\r\nftp.three.org\r\n"));
}

TEST_F(QuickConnectTest, AnUnwritableListDoesNotStopTheConnection)
{
    // A folder where the list file belongs: it can be neither read nor written.
    ASSERT_TRUE(QDir().mkpath(frmQuickCon::ListFilePath()));
    frmQuickCon dialog;
    typeServer(dialog, QStringLiteral("ftp.new.org"));
    btn(dialog, "CmdUpd")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Tag(), QStringLiteral("ftp.new.org"));
    EXPECT_TRUE(QFileInfo(frmQuickCon::ListFilePath()).isDir());
}

TEST_F(QuickConnectTest, NewServersAfterOldSingleByteLinesReadBackIntact)
{
    writeList("ftp.m\xfcller.de\r\n"); // Windows-1252, as older versions wrote it
    {
        frmQuickCon dialog;
        combo(dialog)->setEditText(QStringLiteral("ftp.bücher.de"));
        btn(dialog, "CmdUpd")->click();
    }
    frmQuickCon reopened;
    EXPECT_EQ(reopened.servers(), (QStringList{QStringLiteral("ftp.müller.de"), QStringLiteral("ftp.bücher.de")}));
}

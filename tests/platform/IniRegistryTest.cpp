#include "IniRegistry.h"
#include "XdgDesktopFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {
const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");
}

TEST(IniRegistryTest, ValuesRoundTripThroughTheFileWithAwkwardText)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sub/registry.ini"));
    const QString awkward = QStringLiteral("\"C:\\Program Files\\x\" = [1]\r\nnext line \u00e9");
    {
        IniRegistry registry(path);
        ASSERT_TRUE(registry.setValue(kRoot, QStringLiteral("Software\\A\\B"), QStringLiteral("Name \"q\""), awkward));
        ASSERT_TRUE(registry.setValue(kRoot, QStringLiteral("Software\\A\\B"), QString(), QStringLiteral("default")));
    }
    IniRegistry reread(path);
    EXPECT_EQ(reread.value(kRoot, QStringLiteral("software\\a\\b"), QStringLiteral("NAME \"Q\"")), awkward);
    EXPECT_EQ(reread.value(kRoot, QStringLiteral("Software\\A\\B"), QString()), QStringLiteral("default"));
    EXPECT_TRUE(reread.keyExists(kRoot, QStringLiteral("Software\\A")));
    EXPECT_FALSE(reread.value(QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("Software\\A\\B"), QString()));
}

TEST(IniRegistryTest, OverwriteKeepsOneValueAndDeleteRemovesIt)
{
    QTemporaryDir folder;
    IniRegistry registry(folder.filePath(QStringLiteral("r.ini")));
    ASSERT_TRUE(registry.setValue(kRoot, QStringLiteral("K"), QStringLiteral("v"), QStringLiteral("1")));
    ASSERT_TRUE(registry.setValue(kRoot, QStringLiteral("k"), QStringLiteral("V"), QStringLiteral("2")));
    EXPECT_EQ(registry.valueNames(kRoot, QStringLiteral("K")), QStringList{QStringLiteral("v")});
    EXPECT_EQ(registry.value(kRoot, QStringLiteral("K"), QStringLiteral("v")), QStringLiteral("2"));
    EXPECT_TRUE(registry.deleteValue(kRoot, QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_FALSE(registry.deleteValue(kRoot, QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_TRUE(registry.keyExists(kRoot, QStringLiteral("K")));
}

TEST(IniRegistryTest, KeyWithSubkeysIsNotDeleted)
{
    QTemporaryDir folder;
    IniRegistry registry(folder.filePath(QStringLiteral("r.ini")));
    ASSERT_TRUE(registry.createKey(kRoot, QStringLiteral("T\\shell\\open")));
    EXPECT_FALSE(registry.deleteKey(kRoot, QStringLiteral("T\\shell")));
    EXPECT_TRUE(registry.deleteKey(kRoot, QStringLiteral("T\\shell\\open")));
    EXPECT_TRUE(registry.deleteKey(kRoot, QStringLiteral("T\\shell")));
    EXPECT_FALSE(registry.deleteKey(kRoot, QStringLiteral("T\\shell")));
    EXPECT_TRUE(registry.keyExists(kRoot, QStringLiteral("T")));
}

TEST(XdgDesktopFilesTest, ExecValueQuotesAndEscapesTheProgram)
{
    EXPECT_EQ(XdgDesktopFiles::UnquotedProgram(QStringLiteral("\"/opt/my app/ftpqor\" %1")),
              QStringLiteral("/opt/my app/ftpqor"));
    EXPECT_EQ(XdgDesktopFiles::UnquotedProgram(QStringLiteral("/usr/bin/ftpqor %1")), QStringLiteral("/usr/bin/ftpqor"));
    // "$" and a backslash are escaped for the Exec quoting, then the backslash
    // once more for the desktop file's string escapes.
    EXPECT_EQ(XdgDesktopFiles::ExecValue(QStringLiteral("/opt/a$b/x\\y"), QStringLiteral("%f")),
              QStringLiteral("\"/opt/a\\\\$b/x\\\\\\\\y\" %f"));
    // A percent sign in the path is a literal one, not a field code the
    // launcher would replace with a file name.
    EXPECT_EQ(XdgDesktopFiles::ExecValue(QStringLiteral("/opt/100%f/ftpqor"), QStringLiteral("%f")),
              QStringLiteral("\"/opt/100%%f/ftpqor\" %f"));
}

TEST(XdgDesktopFilesTest, AnotherProgramsFileIsNeitherOverwrittenNorRemoved)
{
    const QString path = XdgDesktopFiles::AutostartPath(QStringLiteral("Other Tool"));
    QFile::remove(path);
    ASSERT_TRUE(XdgDesktopFiles::WriteAutostartEntry(QStringLiteral("Other Tool"), QStringLiteral("/bin/true")));
    EXPECT_TRUE(XdgDesktopFiles::IsOurs(path));
    EXPECT_TRUE(XdgDesktopFiles::RemoveAutostartEntry(QStringLiteral("Other Tool")));
    EXPECT_FALSE(QFile::exists(path));

    QFile foreign(path);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("[Desktop Entry]\nType=Application\nExec=/bin/false\n");
    foreign.close();
    EXPECT_FALSE(XdgDesktopFiles::WriteAutostartEntry(QStringLiteral("Other Tool"), QStringLiteral("/bin/true")));
    EXPECT_FALSE(XdgDesktopFiles::RemoveAutostartEntry(QStringLiteral("Other Tool")));
    EXPECT_TRUE(QFile::exists(path));
    QFile::remove(path);
}

TEST(IniRegistryTest, AFileThatCannotBeReadIsNeverReplaced)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("registry.ini"));
    ASSERT_TRUE(IniRegistry(path).setValue(kRoot, QStringLiteral("Software\\A"), QStringLiteral("kept"), QStringLiteral("1")));
    QFile::setPermissions(path, QFile::WriteOwner);
    IniRegistry registry(path);
    EXPECT_FALSE(registry.setValue(kRoot, QStringLiteral("Software\\B"), QStringLiteral("new"), QStringLiteral("2")));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(registry.value(kRoot, QStringLiteral("Software\\A"), QStringLiteral("kept")), QStringLiteral("1"));
}

#include "ModFileExtension.h"
#include "XdgDesktopFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const RootKeyFlags kClasses{.classesRoot = true};
const RootKeyFlags kUser{.currentUser = true};
const QString kProgram = QStringLiteral("\"/opt/ftp qor/ftpqor\"");
const QString kExtension = QStringLiteral(".xqr");
const QString kType = QStringLiteral("ZavUdeTask");
const QString kTypeText = QStringLiteral("Ftp Qor Job File");

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class Registry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        SetRegistryFilePath(folder.filePath(QStringLiteral("registry.ini")));
        QFile::remove(XdgDesktopFiles::MimePackagePath(AssociationFileBase(kType)));
        QFile::remove(XdgDesktopFiles::DesktopEntryPath(AssociationFileBase(kType)));
        QFile::remove(XdgDesktopFiles::AutostartPath(RunValueName()));
    }
    void TearDown() override { SetRegistryFilePath(QString()); }

    QString mimePackage() const { return XdgDesktopFiles::MimePackagePath(AssociationFileBase(kType)); }
    QString desktopEntry() const { return XdgDesktopFiles::DesktopEntryPath(AssociationFileBase(kType)); }

    QTemporaryDir folder;
};

} // namespace

TEST_F(Registry, RootKeyIsTheFirstFlagSet)
{
    EXPECT_EQ(GetRootKey({}), RootKey::None);
    EXPECT_EQ(GetRootKey({.currentUser = true, .users = true}), RootKey::CurrentUser);
    EXPECT_EQ(GetRootKey({.classesRoot = true, .currentUser = true}), RootKey::ClassesRoot);
    EXPECT_EQ(GetRootKey({.localMachine = true}), RootKey::LocalMachine);
    EXPECT_FALSE(SetRegString(QStringLiteral("K"), QStringLiteral("v"), QStringLiteral("x"), {}));
}

TEST_F(Registry, StringValuesRoundTripTrimmedWithOptionalBackslash)
{
    EXPECT_EQ(GetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser), QString());
    EXPECT_EQ(GetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser, true), QString());

    ASSERT_TRUE(SetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), QStringLiteral("  C:\\Data "), kUser));
    EXPECT_EQ(GetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser), QStringLiteral("C:\\Data"));
    EXPECT_EQ(GetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser, true), QStringLiteral("C:\\Data\\"));
    ASSERT_TRUE(SetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), QStringLiteral("D:\\"), kUser));
    EXPECT_EQ(GetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser, true), QStringLiteral("D:\\"));
    EXPECT_EQ(GetRegString(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kClasses), QString());

    EXPECT_TRUE(DeleteRegValue(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser));
    EXPECT_FALSE(DeleteRegValue(QStringLiteral("Software\\Q"), QStringLiteral("Dir"), kUser));
}

TEST_F(Registry, RunValueWritesAndRemovesTheAutostartEntry)
{
    const QString autostart = XdgDesktopFiles::AutostartPath(RunValueName());
    ASSERT_TRUE(SetRegString(RunKeyPath(), RunValueName(), kProgram, kUser));
    const QString entry = readText(autostart);
    EXPECT_TRUE(entry.contains(QStringLiteral("Exec=\"/opt/ftp qor/ftpqor\"\n"))) << entry.toStdString();
    EXPECT_TRUE(entry.contains(QStringLiteral("Name=Ftp Qor\n")));

    EXPECT_TRUE(DeleteRegValue(RunKeyPath(), RunValueName(), kUser));
    EXPECT_FALSE(QFile::exists(autostart));
    EXPECT_EQ(GetRegString(RunKeyPath(), RunValueName(), kUser), QString());
}

TEST_F(Registry, RegisterWritesTheFourEntriesAndTheDesktopFiles)
{
    RegisterFileType(kProgram, kExtension, kType, kTypeText, 7);
    EXPECT_EQ(GetRegString(kExtension, QString(), kClasses), kType);
    EXPECT_EQ(GetRegString(kType, QString(), kClasses), kTypeText);
    EXPECT_EQ(GetRegString(kType + QStringLiteral("\\shell\\open\\command"), QString(), kClasses), kProgram + QStringLiteral(" %1"));
    EXPECT_EQ(GetRegString(kType + QStringLiteral("\\DefaultIcon"), QString(), kClasses), kProgram + QStringLiteral(",7"));

    const QString mime = readText(mimePackage());
    EXPECT_TRUE(mime.contains(QStringLiteral("<glob pattern=\"*.xqr\"/>")));
    EXPECT_TRUE(mime.contains(QStringLiteral("<comment>Ftp Qor Job File</comment>")));
    const QString desktop = readText(desktopEntry());
    EXPECT_TRUE(desktop.contains(QStringLiteral("Exec=\"/opt/ftp qor/ftpqor\" %f\n"))) << desktop.toStdString();
    EXPECT_TRUE(desktop.contains(QStringLiteral("MimeType=application/x-zavudetask;")));

    UnregisterFileType(kProgram, kExtension, kType, kTypeText);
    EXPECT_EQ(GetRegString(kExtension, QString(), kClasses), QString());
    EXPECT_EQ(GetRegString(kType, QString(), kClasses), QString());
    EXPECT_EQ(GetRegString(kType + QStringLiteral("\\DefaultIcon"), QString(), kClasses), QString());
    EXPECT_FALSE(QFile::exists(mimePackage()));
    EXPECT_FALSE(QFile::exists(desktopEntry()));
}

TEST_F(Registry, AnotherProgramsAssociationIsLeftAlone)
{
    ASSERT_TRUE(SetRegString(kExtension, QString(), QStringLiteral("OtherApp.Doc"), kClasses));
    ASSERT_TRUE(SetRegString(kType, QString(), QStringLiteral("Old text"), kClasses));

    RegisterFileType(kProgram, kExtension, kType, kTypeText, 7);
    EXPECT_EQ(GetRegString(kExtension, QString(), kClasses), QStringLiteral("OtherApp.Doc"));
    EXPECT_EQ(GetRegString(kType, QString(), kClasses), QStringLiteral("Old text"));
    EXPECT_FALSE(QFile::exists(mimePackage()));

    UnregisterFileType(kProgram, kExtension, kType, kTypeText);
    EXPECT_EQ(GetRegString(kExtension, QString(), kClasses), QStringLiteral("OtherApp.Doc"));
    EXPECT_EQ(GetRegString(kType, QString(), kClasses), QString());
}

TEST_F(Registry, OnlyTheExtensionPresentRewritesAllEntries)
{
    ASSERT_TRUE(SetRegString(kExtension, QString(), QStringLiteral("OtherApp.Doc"), kClasses));
    RegisterFileType(kProgram, kExtension, kType, kTypeText, 7);
    EXPECT_EQ(GetRegString(kExtension, QString(), kClasses), kType);
    EXPECT_EQ(GetRegString(kType, QString(), kClasses), kTypeText);
    EXPECT_TRUE(QFile::exists(mimePackage()));
}

TEST_F(Registry, UnregisterWithNothingRegisteredKeepsForeignDesktopFiles)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(desktopEntry()).absolutePath()));
    QFile foreign(desktopEntry());
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("[Desktop Entry]\nType=Application\nExec=other %f\n");
    foreign.close();
    UnregisterFileType(kProgram, kExtension, kType, kTypeText);
    EXPECT_TRUE(QFile::exists(desktopEntry()));
    QFile::remove(desktopEntry());
}

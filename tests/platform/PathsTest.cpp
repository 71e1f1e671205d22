#include "DataRoot.h"
#include "Paths.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Paths, JoinCollapsesTheDoubledSeparator)
{
    EXPECT_EQ(JoinLocalPath(QStringLiteral("/home/u/"), QStringLiteral("/a.txt")), QStringLiteral("/home/u/a.txt"));
    EXPECT_EQ(JoinLocalPath(QStringLiteral("/home/u"), QStringLiteral("a.txt")), QStringLiteral("/home/u/a.txt"));
    EXPECT_EQ(JoinLocalPath(QStringLiteral("/"), QStringLiteral("tmp")), QStringLiteral("/tmp"));
    // A backslash is part of a Linux file name.
    EXPECT_EQ(JoinLocalPath(QStringLiteral("/d"), QStringLiteral("a\\b")), QStringLiteral("/d/a\\b"));
    EXPECT_EQ(JoinRemotePath(QStringLiteral("/pub/"), QStringLiteral("x")), QStringLiteral("/pub/x"));
}

TEST(Paths, UntrustedNamesAreRefused)
{
    for (const QString &bad : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"),
                               QStringLiteral("/etc"), QString(QStringLiteral("a")) + QChar(u'\0')})
        EXPECT_FALSE(IsSafeRemoteName(bad)) << bad.toStdString();
    EXPECT_TRUE(IsSafeRemoteName(QStringLiteral("..hidden")));
    EXPECT_TRUE(IsSafeRemoteName(QStringLiteral("a\\b")));
}

TEST(DataRoot, FollowsTheEnvironmentAndCreatesItsFolders)
{
    QTemporaryDir dir;
    const QByteArray old = qgetenv("FTPQOR_HOME");
    qputenv("FTPQOR_HOME", (dir.path() + QStringLiteral("/root/")).toUtf8());
    EXPECT_EQ(DataRoot::AppPath(), dir.path() + QStringLiteral("/root"));
    ASSERT_TRUE(DataRoot::EnsureDataFolders());
    for (const char *sub : {"System", "Jobs", "Cache", "Tmp"})
        EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/root/") + QLatin1String(sub)).exists()) << sub;
    EXPECT_EQ(DataRoot::FileInRoot(QStringLiteral("error.log")), dir.path() + QStringLiteral("/root/error.log"));
    qputenv("FTPQOR_HOME", old);
}

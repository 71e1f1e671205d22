#include "StoredFile.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

TEST(StoredFile, AtomicWriteReplacesWholeFileAndKeepsItPrivate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ProfileEx.dat"));
    ASSERT_TRUE(StoredFile::WriteAtomically(path, "old", StoredFile::Privacy::Private));
    ASSERT_TRUE(StoredFile::WriteAtomically(path, "new content", StoredFile::Privacy::Private));
    EXPECT_EQ(*StoredFile::ReadAll(path), QByteArray("new content"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(StoredFile, FailedWriteLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    ASSERT_TRUE(StoredFile::WriteAtomically(path, "kept"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    const bool ok = StoredFile::WriteAtomically(path, "lost", StoredFile::Privacy::Normal, &error);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (geteuid() != 0) { // root may write anywhere
        EXPECT_FALSE(ok);
        EXPECT_FALSE(error.isEmpty());
    }
    if (!ok) {
        EXPECT_EQ(*StoredFile::ReadAll(path), QByteArray("kept"));
    }
}

TEST(StoredFile, AppendStartsOnItsOwnLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QuickConnect.txt"));
    ASSERT_TRUE(StoredFile::AppendLine(path, "first"));
    ASSERT_TRUE(StoredFile::AppendLine(path, "second"));
    EXPECT_EQ(*StoredFile::ReadAll(path), QByteArray("first\r\nsecond\r\n"));

    ASSERT_TRUE(StoredFile::WriteAtomically(path, "no-break"));
    ASSERT_TRUE(StoredFile::AppendLine(path, "next"));
    EXPECT_EQ(*StoredFile::ReadAll(path), QByteArray("no-break\r\nnext\r\n"));
    EXPECT_FALSE(StoredFile::ReadAll(dir.filePath(QStringLiteral("missing"))).has_value());
}

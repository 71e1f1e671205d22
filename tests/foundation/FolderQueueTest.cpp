#include "FolderQueue.h"

#include <gtest/gtest.h>

TEST(FolderQueue, KeepsOrderAndRefusesExactRepeats)
{
    FolderQueue queue;
    EXPECT_TRUE(queue.Add(QStringLiteral("/a")));
    EXPECT_TRUE(queue.Add(QStringLiteral("/a/Photos")));
    // Letter case makes another folder.
    EXPECT_TRUE(queue.Add(QStringLiteral("/a/photos")));
    EXPECT_FALSE(queue.Add(QStringLiteral("/a")));
    EXPECT_EQ(queue.Paths(), QStringList({"/a", "/a/Photos", "/a/photos"}));
    EXPECT_TRUE(queue.Contains(QStringLiteral("/a/photos")));
    EXPECT_FALSE(queue.Contains(QStringLiteral("/A")));
}

TEST(FolderQueue, TakenPathsStayKnownUntilCleared)
{
    FolderQueue queue;
    queue.Add(QStringLiteral("/x"));
    queue.Add(QStringLiteral("/y"));
    EXPECT_EQ(queue.TakeFirst(), QStringLiteral("/x"));
    EXPECT_EQ(queue.Pending(), 1);
    // A walk that meets /x again through a link does not queue it a second time.
    EXPECT_FALSE(queue.Add(QStringLiteral("/x")));
    EXPECT_TRUE(queue.Add(QStringLiteral("/z")));
    EXPECT_EQ(queue.TakeFirst(), QStringLiteral("/y"));
    EXPECT_EQ(queue.TakeFirst(), QStringLiteral("/z"));
    EXPECT_FALSE(queue.HasPending());
    EXPECT_EQ(queue.TakeFirst(), QString());
    EXPECT_EQ(queue.Size(), 3);

    QStringList seen;
    for (const QString &path : queue)
        seen << path;
    EXPECT_EQ(seen, QStringList({"/x", "/y", "/z"}));

    queue.Clear();
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.Position(), 0);
    EXPECT_TRUE(queue.Add(QStringLiteral("/x")));
}

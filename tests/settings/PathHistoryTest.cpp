// Local and remote folder histories shared by several profiles in one file.
#include "DataRoot.h"
#include "PathHistory.h"

#include <QFile>

#include <gtest/gtest.h>

void PrintTo(const PathHistoryEntry &e, std::ostream *os)
{
    *os << '(' << e.OwnerKey.toStdString() << ", " << e.Path.toStdString() << ')';
}

namespace {

const QByteArray X = "\x01";

PathHistoryEntry E(const char *owner, const char *path) { return {QString::fromUtf8(owner), QString::fromUtf8(path)}; }

class PathHistoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DataRoot::EnsureDataFolders());
        QFile::remove(LocalPathHistoryFile());
        QFile::remove(RemotePathHistoryFile());
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

// Three owners, a three-part line, a blank path, a line without separator.
const QByteArray kMixed = "work" + X + "/srv/b\r\n"
                          "  HOME" + X + "/home/a  \r\n"
                          "\r\n"
                          "home" + X + "/home/a\r\n"
                          "home" + X + "   \r\n"
                          "home" + X + "/x" + X + "/y\r\n"
                          "no separator\r\n"
                          "home" + X + "/home/B\r\n"
                          + X + "/tmp\r\n";

} // namespace

TEST_F(PathHistoryTest, AMissingFileLeavesTheListAsPassed)
{
    PathHistoryList list{E("keep", "/me")};
    LoadLocalPathHistory(list, QStringLiteral("home"), false);
    LoadRemotePathHistory(QStringLiteral("home"), list);
    EXPECT_EQ(list, PathHistoryList{E("keep", "/me")});
    EXPECT_FALSE(QFile::exists(LocalPathHistoryFile()));
    EXPECT_FALSE(QFile::exists(RemotePathHistoryFile()));
}

TEST_F(PathHistoryTest, LocalLoadForOneOwnerOrAll)
{
    write(LocalPathHistoryFile(), kMixed);
    PathHistoryList list = EmptyPathHistory();
    LoadLocalPathHistory(list, QStringLiteral("home"), false);
    // The owner matches in any letter case; each (owner, path) pair once,
    // sorted by owner then by character code (upper case first).
    EXPECT_EQ(list, (PathHistoryList{E("HOME", "/home/a"), E("home", "/home/B"), E("home", "/home/a")}));

    list = EmptyPathHistory();
    LoadLocalPathHistory(list, QString(), true);
    EXPECT_EQ(list, (PathHistoryList{E("home", "/home/B"), E("HOME", "/home/a"), E("work", "/srv/b"),
                                     E("", "/tmp")}));
}

TEST_F(PathHistoryTest, RemoteLoadKeepsRepeatsSortedByPath)
{
    write(RemotePathHistoryFile(), "site" + X + "/pub/z\r\nsite" + X + "/pub/a\r\nother" + X + "/o\r\nSITE" + X + "/pub/a\r\n");
    PathHistoryList list = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("site"), list);
    EXPECT_EQ(list, (PathHistoryList{E("site", "/pub/a"), E("SITE", "/pub/a"), E("site", "/pub/z")}));

    list = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("nobody"), list);
    EXPECT_EQ(list, EmptyPathHistory());
}

TEST_F(PathHistoryTest, UniqueStringArraySortsAndDropsRepeats)
{
    PathHistoryList one{E("", "")};
    UniqueStringArray(one, true, true, true);
    EXPECT_EQ(one, PathHistoryList{E("", "")});

    PathHistoryList list{E("b", "/a"), E("a", "/b"), E("", ""), E("a", "/B"), E("b", "/a"), E("a", "/a")};
    PathHistoryList byPath = list;
    UniqueStringArray(byPath, true, false, false);
    EXPECT_EQ(byPath, (PathHistoryList{E("a", "/B"), E("b", "/a"), E("a", "/b")}))
        << "the empty entry at the start goes; one entry per path";

    PathHistoryList byOwner = list;
    UniqueStringArray(byOwner, true, true, true);
    EXPECT_EQ(byOwner, (PathHistoryList{E("a", "/B"), E("a", "/a"), E("a", "/b"), E("b", "/a")}));

    PathHistoryList kept = list;
    UniqueStringArray(kept, false, true, true);
    EXPECT_EQ(kept.size(), list.size());
    EXPECT_EQ(kept.first(), E("", ""));

    PathHistoryList empties{E("", ""), E("", "")};
    UniqueStringArray(empties, true, false, false);
    EXPECT_EQ(empties, EmptyPathHistory());
}

TEST_F(PathHistoryTest, LocalSaveReplacesOnlyTheOwnersLines)
{
    write(LocalPathHistoryFile(), kMixed);
    PathHistoryList list{E("home", "/new"), E("home", "/home/a"), E("home", "/new")};
    SaveLocalPathHistory(QStringLiteral("Home "), list);
    EXPECT_EQ(list, (PathHistoryList{E("home", "/home/a"), E("home", "/new")}));
    EXPECT_EQ(read(LocalPathHistoryFile()),
              X + "/tmp\r\nhome" + X + "/home/a\r\nhome" + X + "/new\r\nwork" + X + "/srv/b\r\n");
}

TEST_F(PathHistoryTest, LocalSaveWithoutOwnerKeepsEveryLineOnce)
{
    write(LocalPathHistoryFile(), "b" + X + "/1\r\na" + X + "/2\r\na" + X + "/2\r\n");
    PathHistoryList list{E("a", "/2"), E("", "/3")};
    SaveLocalPathHistory(QString(), list);
    EXPECT_EQ(read(LocalPathHistoryFile()), X + "/3\r\na" + X + "/2\r\nb" + X + "/1\r\n");
}

TEST_F(PathHistoryTest, RemoteSaveAppendsForANewOwner)
{
    // An old single-byte line and no final line break: kept byte for byte.
    const QByteArray existing = "caf\xe9" + X + "/pub";
    write(RemotePathHistoryFile(), existing);
    PathHistoryList list{E("site", "/z"), E("", "/nobody"), E("site", "/a"), E("site", "  ")};
    SaveRemotePathHistory(QStringLiteral("site"), list);
    EXPECT_EQ(read(RemotePathHistoryFile()), existing + "\r\nsite" + X + "/a\r\nsite" + X + "/z\r\n");

    QFile::remove(RemotePathHistoryFile());
    SaveRemotePathHistory(QStringLiteral("site"), list);
    EXPECT_EQ(read(RemotePathHistoryFile()), "site" + X + "/a\r\nsite" + X + "/z\r\n");
}

TEST_F(PathHistoryTest, RemoteSaveRewritesWithTheOwnerFirst)
{
    write(RemotePathHistoryFile(), "alpha" + X + "/1\r\nSITE" + X + "/old\r\nbad" + X + "/x" + X + "/y\r\nzeta" + X + "/2\r\n");
    PathHistoryList list{E("site", "/b"), E("site", "/a"), E("site", "/a")};
    SaveRemotePathHistory(QStringLiteral("site"), list);
    EXPECT_EQ(read(RemotePathHistoryFile()),
              "site" + X + "/a\r\nsite" + X + "/a\r\nsite" + X + "/b\r\nalpha" + X + "/1\r\nzeta" + X + "/2\r\n");
}

TEST_F(PathHistoryTest, RoundTripWithSeveralOwners)
{
    PathHistoryList one{E("one", "/1b"), E("one", "/1a")};
    PathHistoryList two{E("two", "C:/x"), E("two", "/2")};
    SaveRemotePathHistory(QStringLiteral("one"), one);
    SaveRemotePathHistory(QStringLiteral("two"), two);
    SaveLocalPathHistory(QStringLiteral("one"), one);
    SaveLocalPathHistory(QStringLiteral("two"), two);

    PathHistoryList back = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("TWO"), back);
    EXPECT_EQ(back, (PathHistoryList{E("two", "/2"), E("two", "C:/x")}));
    back = EmptyPathHistory();
    LoadLocalPathHistory(back, QStringLiteral("one"), false);
    EXPECT_EQ(back, (PathHistoryList{E("one", "/1a"), E("one", "/1b")}));

    // Saving one owner again leaves the other's folders in place.
    PathHistoryList changed{E("one", "/new")};
    SaveRemotePathHistory(QStringLiteral("one"), changed);
    back = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("two"), back);
    EXPECT_EQ(back.size(), 2);
    back = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("one"), back);
    EXPECT_EQ(back, PathHistoryList{E("one", "/new")});
}

TEST_F(PathHistoryTest, NewLinesAfterOldSingleByteLinesReadBackIntact)
{
    // An older file in Windows-1252 ("/Über"), then a new owner's UTF-8 lines appended.
    write(RemotePathHistoryFile(), "alt" + X + "/\xdc" "ber\r\n");
    PathHistoryList list{E("neu", "/Ärger")};
    SaveRemotePathHistory(QStringLiteral("neu"), list);

    PathHistoryList back = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("neu"), back);
    EXPECT_EQ(back, PathHistoryList{E("neu", "/Ärger")});
    back = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("alt"), back);
    EXPECT_EQ(back, PathHistoryList{E("alt", "/Über")});

    // A later rewrite keeps both as they were meant.
    PathHistoryList again{E("neu", "/Ärger"), E("neu", "/b")};
    SaveRemotePathHistory(QStringLiteral("neu"), again);
    EXPECT_EQ(read(RemotePathHistoryFile()),
              "neu" + X + "/b\r\nneu" + X + "/Ärger\r\nalt" + X + "/Über\r\n");
}

TEST_F(PathHistoryTest, NamesHoldingLineBreaksOrSeparatorsAreNotStored)
{
    // Folder names come from servers and file systems: they may hold any of these.
    PathHistoryList remote{E("site", "/x\r\nother\x01/planted"), E("site", "/a\x01" "b"), E("site", "/ok")};
    SaveRemotePathHistory(QStringLiteral("site"), remote);
    PathHistoryList local{E("site", "/home/u/a\nb"), E("site", "/home/u/ok")};
    SaveLocalPathHistory(QStringLiteral("site"), local);

    EXPECT_EQ(read(RemotePathHistoryFile()), "site" + X + "/ok\r\n");
    EXPECT_EQ(read(LocalPathHistoryFile()), "site" + X + "/home/u/ok\r\n");
    PathHistoryList back = EmptyPathHistory();
    LoadRemotePathHistory(QStringLiteral("other"), back);
    EXPECT_EQ(back, EmptyPathHistory());
}

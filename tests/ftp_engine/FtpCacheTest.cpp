#include "FtpCache.h"

#include "DataRoot.h"
#include "StoredFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kStoredAt(QDate(2026, 12, 7), QTime(8, 4, 48));
const QString kStamp = QStringLiteral("12/07/2026 08:04:48 AM");

class FtpCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("listing.ch"));
        m_cache.SetCacheFile(m_path);
        m_cache.SetClock([] { return kStoredAt; });
    }

    qint64 FileSize() const { return QFileInfo(m_path).size(); }
    QByteArray FileBytes() const { return StoredFile::ReadAll(m_path).value_or(QByteArray()); }

    QTemporaryDir m_dir;
    QString m_path;
    FtpCache m_cache;
};

} // namespace

TEST(FtpCacheTime, TwelveHourStampInTheLocaleSeparators)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FtpCache::FormatCacheTime(kStoredAt, us), kStamp);
    EXPECT_EQ(FtpCache::FormatCacheTime(QDateTime(QDate(2009, 1, 2), QTime(0, 0, 5)), us),
              "01/02/2009 12:00:05 AM");
    EXPECT_EQ(FtpCache::FormatCacheTime(QDateTime(QDate(2009, 1, 2), QTime(12, 30, 0)), us),
              "01/02/2009 12:30:00 PM");
    EXPECT_EQ(FtpCache::FormatCacheTime(QDateTime(QDate(2009, 1, 2), QTime(23, 59, 59)), us),
              "01/02/2009 11:59:59 PM");
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_TRUE(FtpCache::FormatCacheTime(kStoredAt, de).startsWith("12.07.2026 08:04:48 "));
}

TEST_F(FtpCacheTest, StoresEntriesInTheFileLayout)
{
    m_cache.UpdateDirCache("srv/pub", "line one\r\nline two\r\n");
    m_cache.UpdateDirCache("srv/Grüße", "Ärger.txt");
    EXPECT_EQ(FileBytes(), ("srv/pub\r" + kStamp + "\r\nline one\r\nline two\r\n" + "srv/Grüße\r" + kStamp
                            + "\r\nÄrger.txt")
                               .toUtf8());
    m_cache.SetLastCacheTime("unchanged");
    EXPECT_EQ(m_cache.GetDirCache("srv/Grüße"), "Ärger.txt");
    EXPECT_EQ(m_cache.LastCacheTime(), kStamp);
    EXPECT_EQ(m_cache.GetDirCache("srv/pub"), "line one\r\nline two\r\n");
    // Absent keys, other case, trailing "/": nothing, and the time stays.
    m_cache.SetLastCacheTime("unchanged");
    EXPECT_EQ(m_cache.GetDirCache("srv/PUB"), "");
    EXPECT_EQ(m_cache.GetDirCache("srv/pub/"), "");
    EXPECT_EQ(m_cache.LastCacheTime(), "unchanged");
}

TEST_F(FtpCacheTest, SlotsAreRewrittenMovedAndReused)
{
    m_cache.UpdateDirCache("a", QString(100, 'a'));
    m_cache.UpdateDirCache("b", QString(10, 'b'));
    const qint64 twoEntries = FileSize();

    // Same size or smaller: in place.
    m_cache.UpdateDirCache("a", QString(60, 'A'));
    EXPECT_EQ(FileSize(), twoEntries);
    EXPECT_EQ(m_cache.GetDirCache("a"), QString(60, 'A'));
    EXPECT_EQ(m_cache.GetDirCache("b"), QString(10, 'b'));

    // Larger: moves to the end, its old slot is freed.
    m_cache.UpdateDirCache("b", QString(200, 'B'));
    const qint64 afterMove = FileSize();
    EXPECT_GT(afterMove, twoEntries);
    EXPECT_EQ(m_cache.GetDirCache("b"), QString(200, 'B'));

    // "a" still fits its own slot after it shrank: the slot keeps its size.
    m_cache.UpdateDirCache("a", QString(100, 'x'));
    EXPECT_EQ(FileSize(), afterMove);

    // A new entry small enough for b's old slot goes there.
    m_cache.UpdateDirCache("c", QString(5, 'c'));
    EXPECT_EQ(FileSize(), afterMove);
    EXPECT_EQ(m_cache.GetDirCache("a"), QString(100, 'x'));
    EXPECT_EQ(m_cache.GetDirCache("b"), QString(200, 'B'));
    EXPECT_EQ(m_cache.GetDirCache("c"), QString(5, 'c'));
}

TEST_F(FtpCacheTest, FolderThatGrowsOnEveryRefreshReusesFreedSpace)
{
    // Each refresh is a little longer than the last, so no single freed slot
    // fits the next one; neighbouring freed slots together do.
    m_cache.UpdateDirCache("other", "kept");
    QString listing;
    for (int refresh = 0; refresh < 200; ++refresh) {
        listing += QStringLiteral("-rw-r--r-- 1 u g 1 Jan 1 2020 file%1\r\n").arg(refresh);
        m_cache.UpdateDirCache("srv/growing", listing);
    }
    EXPECT_EQ(m_cache.GetDirCache("srv/growing"), listing);
    EXPECT_EQ(m_cache.GetDirCache("other"), "kept");
    EXPECT_LT(FileSize(), 4 * listing.size());
}

TEST_F(FtpCacheTest, SlotsAreMeasuredInBytesNotCharacters)
{
    m_cache.UpdateDirCache("a", "aaaa");
    m_cache.UpdateDirCache("b", "neighbour");
    // Same character count, twice the bytes: must not run into "b".
    m_cache.UpdateDirCache("a", "ääää");
    EXPECT_EQ(m_cache.GetDirCache("a"), "ääää");
    EXPECT_EQ(m_cache.GetDirCache("b"), "neighbour");
    m_cache.UpdateDirCache("b", "日本語");
    EXPECT_EQ(m_cache.GetDirCache("b"), "日本語");
    EXPECT_EQ(m_cache.GetDirCache("a"), "ääää");
}

TEST_F(FtpCacheTest, EmptyAndDirtyEntriesAreNotServed)
{
    m_cache.UpdateDirCache("srv/empty", "");
    EXPECT_EQ(m_cache.GetDirCache("srv/empty"), "");

    m_cache.UpdateDirCache("srv", "root");
    m_cache.UpdateDirCache("srv/a", "level a");
    m_cache.UpdateDirCache("srv/a/b", "level b");

    m_cache.MarkDirCacheDirty("srv/a/b", 1); // the parent
    EXPECT_EQ(m_cache.GetDirCache("srv/a"), "");
    EXPECT_EQ(m_cache.GetDirCache("srv/a/b"), "level b");
    EXPECT_EQ(m_cache.GetDirCache("srv"), "root");

    m_cache.MarkDirCacheDirty("srv/a/b", 0); // itself
    EXPECT_EQ(m_cache.GetDirCache("srv/a/b"), "");
    m_cache.MarkDirCacheDirty("srv/a/b", 5); // cut down to "srv", no further
    EXPECT_EQ(m_cache.GetDirCache("srv"), "");

    // Storing again makes an entry clean.
    m_cache.UpdateDirCache("srv/a", "fresh a");
    EXPECT_EQ(m_cache.GetDirCache("srv/a"), "fresh a");

    // A folder right below the root cuts to the empty key, which names no folder.
    m_cache.UpdateDirCache("/top", "top");
    m_cache.MarkDirCacheDirty("/top", 1);
    EXPECT_EQ(m_cache.GetDirCache("/top"), "top");
}

TEST_F(FtpCacheTest, TruncateForgetsTheEntriesWithTheBytes)
{
    m_cache.UpdateDirCache("a", "first listing");
    m_cache.TruncateCacheFile();
    EXPECT_EQ(FileSize(), 0);
    EXPECT_EQ(m_cache.GetDirCache("a"), "");
    m_cache.UpdateDirCache("b", "x");
    EXPECT_EQ(FileBytes(), ("b\r" + kStamp + "\r\nx").toUtf8());
    EXPECT_EQ(m_cache.GetDirCache("b"), "x");

    // Truncating a cache whose file does not exist does not create one.
    FtpCache other;
    other.SetCacheFile(m_dir.filePath("none.ch"));
    other.TruncateCacheFile();
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.ch")));
}

TEST_F(FtpCacheTest, NewObjectAppendsAndKnowsNoOldEntries)
{
    m_cache.UpdateDirCache("a", "old");
    const qint64 before = FileSize();
    FtpCache second;
    second.SetCacheFile(m_path);
    EXPECT_EQ(second.GetDirCache("a"), "");
    second.UpdateDirCache("a", "new");
    EXPECT_EQ(FileSize(), 2 * before);
    EXPECT_EQ(second.GetDirCache("a"), "new");
    EXPECT_EQ(m_cache.GetDirCache("a"), "old");
}

TEST_F(FtpCacheTest, FileChangedBehindTheIndexGivesNothing)
{
    m_cache.UpdateDirCache("a", "listing of a");
    m_cache.UpdateDirCache("b", "listing of b");
    FtpCache intruder;
    intruder.SetCacheFile(m_path);
    intruder.TruncateCacheFile();
    EXPECT_EQ(m_cache.GetDirCache("a"), "");
    intruder.UpdateDirCache("zz", "other bytes in the same place, long enough to cover");
    EXPECT_EQ(m_cache.GetDirCache("b"), "");
    EXPECT_EQ(m_cache.GetDirCache("a"), "");
    // Storing again still works.
    m_cache.UpdateDirCache("a", "again");
    EXPECT_EQ(m_cache.GetDirCache("a"), "again");
}

TEST_F(FtpCacheTest, UnwritableFileIsLoggedAndServesNothing)
{
    ASSERT_TRUE(DataRoot::EnsureDataFolders());
    const QString log = DataRoot::FileInRoot("error.log");
    QFile::remove(log);
    m_cache.SetCacheFile(m_dir.filePath("missing/folder/listing.ch"));
    m_cache.UpdateDirCache("a", "listing");
    EXPECT_EQ(m_cache.GetDirCache("a"), "");
    EXPECT_TRUE(StoredFile::ReadAll(log).value_or(QByteArray()).contains("FtpCache.UpdateDirCache -->{76}"));
}

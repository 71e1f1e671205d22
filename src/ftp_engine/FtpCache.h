#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// Keeps the raw listing texts of remote folders in one cache file, so a window
// can show a folder again without asking the server.
//
// Each window that browses, searches or compares owns one FtpCache and one
// cache file. An entry in the file is
//     folder path, CR, time stamp, CR LF, listing
// written as UTF-8 at a position the index in memory remembers. The index is
// not saved: a new object knows no entries, whatever the file holds, and
// appends after it. A slot freed by an entry that grew is reused by the next
// entry that fits into it; the file only shrinks through TruncateCacheFile.
//
// Not for sharing: two objects on one file would each keep their own index of
// the same bytes.
class FtpCache
{
public:
    using Clock = std::function<QDateTime()>;

    FtpCache();
    // One index per file: a copy would keep a second index of the same bytes.
    Q_DISABLE_COPY(FtpCache)
    FtpCache(FtpCache &&) = default;
    FtpCache &operator=(FtpCache &&) = default;

    // Empties the cache file (when it exists) and forgets every entry.
    void TruncateCacheFile();

    // Time stamp of the entry GetDirCache returned last; the caller may set it.
    QString LastCacheTime() const { return m_lastCacheTime; }
    void SetLastCacheTime(const QString &value) { m_lastCacheTime = value; }

    QString CacheFile() const { return m_cacheFile; }
    void SetCacheFile(const QString &path) { m_cacheFile = path; }

    // Stores the listing of a folder; the key is compared exactly (case and a
    // trailing "/" make different keys). Storing a folder again makes it clean.
    void UpdateDirCache(const QString &folderPath, const QString &listing);

    // The stored listing of a folder, or "" when it is not stored, is marked
    // dirty, is empty or cannot be read back.
    QString GetDirCache(const QString &folderPath);

    // Marks a folder's entry dirty after cutting `levels` trailing "/" parts off
    // the key (0: the folder itself).
    void MarkDirCacheDirty(const QString &folderPath, int levels);

    // Where the time stamps come from; the local clock unless a test sets one.
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // "MM/dd/yyyy hh:mm:ss AM" with the locale's date and time separators and
    // its morning and afternoon designators; a 12-hour clock.
    static QString FormatCacheTime(const QDateTime &when, const QLocale &locale);

private:
    struct CacheIndexRecord
    {
        QString CacheTime;
        QString FolderPath;
        qint64 EntryStart = 0;   // offset of the entry's first byte
        qint64 ListingStart = 0; // offset of the listing's first byte
        qint64 ListingLength = 0;
        qint64 EntryLength = 0;
        qint64 SlotSize = 0;     // bytes reserved at EntryStart, at least EntryLength
        bool Dirty = false;
    };

    struct CacheFreeSlot
    {
        qint64 SlotStart = 0;
        qint64 SlotSize = 0;
    };

    CacheIndexRecord *FindRecord(const QString &folderPath);
    std::optional<size_t> FindFreeSlot(qint64 neededSize) const;
    void ReleaseSlot(qint64 start, qint64 size);
    QString ReadEntry(CacheIndexRecord &record);

    std::vector<CacheIndexRecord> m_index;
    std::vector<CacheFreeSlot> m_freeSlots;
    QString m_cacheFile;
    QString m_lastCacheTime;
    Clock m_clock;
};

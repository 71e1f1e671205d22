#include "FtpCache.h"

#include "ErrorLog.h"
#include "TextCodec.h"

#include <QFile>

#include <algorithm>

namespace {

const QString kObjectName = QStringLiteral("FtpCache");

// The first separator character a locale's date or time format uses.
QString SeparatorOf(const QString &format, const QString &fallback)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetterOrNumber())
            return QString(c);
    }
    return fallback;
}

QString TwoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

[[noreturn]] void ThrowFileError(const QFile &file)
{
    const long number = file.error() == QFileDevice::OpenError && !file.exists()
        ? ErrorNumber::PathNotFound
        : ErrorNumber::PathFileAccess;
    throw RuntimeError(number, QStringLiteral("Path/File access error: ") + file.fileName()
                                   + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
}

QByteArray EntryHeader(const QString &folderPath, const QString &cacheTime)
{
    return TextCodec::Encode(folderPath) + '\r' + TextCodec::Encode(cacheTime) + "\r\n";
}

} // namespace

FtpCache::FtpCache()
    : m_clock([] { return QDateTime::currentDateTime(); })
{
}

QString FtpCache::FormatCacheTime(const QDateTime &when, const QLocale &locale)
{
    const QString dateSeparator = SeparatorOf(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
    const QString timeSeparator = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":"));
    const QDate date = when.date();
    const QTime time = when.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return TwoDigits(date.month()) + dateSeparator + TwoDigits(date.day()) + dateSeparator
        + QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + QLatin1Char(' ')
        + TwoDigits(hour12) + timeSeparator + TwoDigits(time.minute()) + timeSeparator
        + TwoDigits(time.second()) + QLatin1Char(' ') + (time.hour() < 12 ? locale.amText() : locale.pmText());
}

void FtpCache::TruncateCacheFile()
{
    try {
        // The entries go with the file: an index left behind would point into
        // bytes that no longer exist.
        m_index.clear();
        m_freeSlots.clear();
        if (m_cacheFile.isEmpty() || !QFile::exists(m_cacheFile))
            return;
        QFile file(m_cacheFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ThrowFileError(file);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("TruncateCacheFile"));
    }
}

FtpCache::CacheIndexRecord *FtpCache::FindRecord(const QString &folderPath)
{
    const auto it = std::find_if(m_index.begin(), m_index.end(),
                                 [&](const CacheIndexRecord &r) { return r.FolderPath == folderPath; });
    return it == m_index.end() ? nullptr : &*it;
}

void FtpCache::UpdateDirCache(const QString &folderPath, const QString &listing)
{
    try {
        const QString cacheTime = FormatCacheTime(m_clock(), QLocale());
        const QByteArray header = EntryHeader(folderPath, cacheTime);
        const QByteArray listingBytes = TextCodec::Encode(listing);
        const qint64 entryLength = header.size() + listingBytes.size();

        QFile file(m_cacheFile);
        if (m_cacheFile.isEmpty() || !file.open(QIODevice::ReadWrite))
            ThrowFileError(file);

        // Where the entry goes: in place when its slot is big enough, else the
        // first free slot that fits, else the end of the file.
        CacheIndexRecord *existing = FindRecord(folderPath);
        const bool inPlace = existing && existing->SlotSize >= entryLength;
        qint64 writeAt = file.size();
        qint64 slotSize = entryLength;
        std::optional<size_t> freeSlot;
        if (inPlace) {
            writeAt = existing->EntryStart;
            slotSize = existing->SlotSize;
        } else {
            freeSlot = FindFreeSlot(entryLength);
            if (freeSlot) {
                writeAt = m_freeSlots[*freeSlot].SlotStart;
                slotSize = m_freeSlots[*freeSlot].SlotSize;
            }
        }

        const bool written = file.seek(writeAt) && file.write(header) == header.size()
            && file.write(listingBytes) == listingBytes.size() && file.flush();
        if (!written) {
            // A rewrite in place may have damaged the old entry; a move left it intact.
            if (inPlace)
                existing->Dirty = true;
            ThrowFileError(file);
        }
        file.close();

        // Take the free slot before handing back the old one: the free list may grow.
        if (freeSlot)
            m_freeSlots[*freeSlot] = CacheFreeSlot{};
        if (!existing) {
            m_index.emplace_back();
            existing = &m_index.back();
        } else if (!inPlace) {
            ReleaseSlot(existing->EntryStart, existing->SlotSize);
        }

        existing->Dirty = false;
        existing->FolderPath = folderPath;
        existing->CacheTime = cacheTime;
        existing->EntryStart = writeAt;
        existing->ListingStart = writeAt + header.size();
        existing->ListingLength = listingBytes.size();
        existing->EntryLength = entryLength;
        existing->SlotSize = std::max(slotSize, entryLength);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("UpdateDirCache"));
    }
}

std::optional<size_t> FtpCache::FindFreeSlot(qint64 neededSize) const
{
    for (size_t i = 0; i < m_freeSlots.size(); ++i) {
        if (m_freeSlots[i].SlotSize >= neededSize)
            return i;
    }
    return std::nullopt;
}

void FtpCache::ReleaseSlot(qint64 start, qint64 size)
{
    if (size <= 0)
        return;
    // Join freed neighbours into one slot: a folder whose listing grows a
    // little on every refresh never fits a single slot it left behind, and
    // the file would grow by a whole listing each time.
    for (CacheFreeSlot &slot : m_freeSlots) {
        if (slot.SlotSize <= 0)
            continue;
        if (slot.SlotStart + slot.SlotSize == start || start + size == slot.SlotStart) {
            start = std::min(start, slot.SlotStart);
            size += slot.SlotSize;
            slot = CacheFreeSlot{};
        }
    }
    const auto unused = std::find_if(m_freeSlots.begin(), m_freeSlots.end(),
                                     [](const CacheFreeSlot &s) { return s.SlotSize == 0; });
    if (unused != m_freeSlots.end())
        *unused = CacheFreeSlot{start, size};
    else
        m_freeSlots.push_back(CacheFreeSlot{start, size});
}

QString FtpCache::GetDirCache(const QString &folderPath)
{
    try {
        for (CacheIndexRecord &record : m_index) {
            if (record.Dirty || record.FolderPath != folderPath)
                continue;
            if (record.ListingLength < 1)
                return QString();
            return ReadEntry(record);
        }
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("GetDirCache"));
    }
    return QString();
}

QString FtpCache::ReadEntry(CacheIndexRecord &record)
{
    QFile file(m_cacheFile);
    if (!file.open(QIODevice::ReadOnly))
        ThrowFileError(file);
    // The entry is served only when its header is still where the index says:
    // a file emptied or rewritten behind this object's back gives no listing,
    // never someone else's bytes.
    const QByteArray expectedHeader = EntryHeader(record.FolderPath, record.CacheTime);
    if (record.ListingStart - record.EntryStart != expectedHeader.size() || !file.seek(record.EntryStart)
        || file.read(expectedHeader.size()) != expectedHeader) {
        record.Dirty = true;
        return QString();
    }
    const QByteArray listing = file.read(record.ListingLength);
    if (listing.size() != record.ListingLength) {
        record.Dirty = true;
        return QString();
    }
    m_lastCacheTime = record.CacheTime;
    return TextCodec::Decode(listing);
}

void FtpCache::MarkDirCacheDirty(const QString &folderPath, int levels)
{
    try {
        QString key = folderPath;
        for (int level = 0; level < levels; ++level) {
            if (key.size() > 1 && key.contains(QLatin1Char('/')))
                key.truncate(key.lastIndexOf(QLatin1Char('/')));
        }
        for (CacheIndexRecord &record : m_index) {
            if (record.FolderPath == key)
                record.Dirty = true;
        }
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("MarkDirCacheDirty"));
    }
}

#include "CompareRules.h"

#include "ListingDate.h"
#include "ModTimeZone.h"

#include <QLocale>

#include <ctime>

namespace CompareRules {

Verdict Decide(bool hasCounterpart, bool sizesEqual, bool timesEqual)
{
    if (!hasCounterpart)
        return Verdict::Missing;
    if (!sizesEqual)
        return Verdict::SizeChanged;
    if (!timesEqual)
        return Verdict::TimeChanged;
    return Verdict::Ok;
}

QString VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Missing: return QStringLiteral("Missing");
    case Verdict::SizeChanged: return QStringLiteral("Size changed");
    case Verdict::TimeChanged: return QStringLiteral("FileTime changed");
    case Verdict::Ok: break;
    }
    return QStringLiteral("Ok");
}

QColor VerdictColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Missing: return QColor(255, 0, 0);
    case Verdict::SizeChanged: return QColor(255, 69, 0);
    case Verdict::TimeChanged: return QColor(119, 136, 153);
    case Verdict::Ok: break;
    }
    return QColor();
}

QString SizeDetail(qint64 first, qint64 second, const QString &firstTime, const QString &secondTime)
{
    return QString::number(first) + QStringLiteral(" Vs. ") + QString::number(second) + QStringLiteral(" {")
         + firstTime + QStringLiteral(" Vs. ") + secondTime + QStringLiteral("}");
}

QString TimeDetail(const QString &firstTime, const QString &secondTime)
{
    return firstTime + QStringLiteral(" Vs. ") + secondTime;
}

QString CompareRowTag(qint64 size) { return QStringLiteral("b") + QString::number(size); }

QString TimeText(const QDateTime &when)
{
    if (!when.isValid())
        return QString();
    return SharedFormat().FormatLocaleDateTime(0, when, fFormat::GeneralDate);
}

std::optional<QDateTime> ReadListingDate(const QString &dateText)
{
    const QDateTime when = ListingDate::Read(dateText, QDate::currentDate());
    if (!when.isValid())
        return std::nullopt;
    // The listing's wall-clock time, as the server wrote it.
    return QDateTime(when.date(), when.time());
}

QString NormalisedListingDate(const QString &dateText)
{
    const std::optional<QDateTime> when = ReadListingDate(dateText);
    return when ? TimeText(*when) : dateText;
}

QString FileIconKey(const QString &fileName, const std::function<bool(const QString &)> &hasPicture)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QStringLiteral("donty");
    QString key = QStringLiteral("e_") + fileName.mid(dot + 1).toLower();
    if (key == QLatin1String("e_ico") || key == QLatin1String("e_exe"))
        key = fileName;
    if (!hasPicture || !hasPicture(key))
        return QStringLiteral("donty");
    return key;
}

QStringList SplitPatterns(const QString &patternText)
{
    const QString trimmed = patternText.trimmed();
    return (trimmed.isEmpty() ? QStringLiteral("*") : trimmed).split(QLatin1Char(';'));
}

namespace {
constexpr qsizetype kMaxCachedTimes = 200000; // a bound on memory, far above what repeats

// The local wall-clock time of a moment, held as a time without a zone so
// that reading its date and time asks the zone rules nothing more. The C
// library's reentrant conversion keeps the zone it has loaded, where
// QDateTime's local time reloads the zone file at every conversion.
QDateTime localWallClock(qint64 secs)
{
    const time_t moment = static_cast<time_t>(secs);
    struct tm parts {};
    if (!localtime_r(&moment, &parts))
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

template <typename Key, typename Make>
const QString &cachedText(QHash<Key, QString> &cache, const Key &key, Make make)
{
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() > kMaxCachedTimes)
            cache.clear();
        it = cache.insert(key, make());
    }
    return it.value();
}

} // namespace

TimeTexts::TimeTexts()
{
    tzset(); // the zone as it is now, once for the whole comparison
}

const QDateTime &TimeTexts::LocalTime(qint64 secs)
{
    auto it = m_local.find(secs);
    if (it == m_local.end()) {
        if (m_local.size() > kMaxCachedTimes)
            m_local.clear();
        it = m_local.insert(secs, QDateTime::fromSecsSinceEpoch(secs));
    }
    return it.value();
}

// The general date-time text, as TimeText makes it, from the texts of its
// date and of its time of day: files of one tree share days and times of day
// far more often than whole seconds.
const QString &TimeTexts::LocalText(qint64 secs)
{
    return cachedText(m_localTexts, secs, [&] {
        const QDateTime wall = localWallClock(secs);
        if (!wall.isValid() || wall.date() == QDate(1899, 12, 30))
            return TimeText(wall);
        const fFormat &format = SharedFormat();
        const QString &day = cachedText(m_dayTexts, wall.date().toJulianDay(), [&] {
            return format.FormatLocaleDateTime(0, wall, fFormat::ShortDate);
        });
        if (wall.time() == QTime(0, 0))
            return day;
        const QString &clock = cachedText(m_clockTexts, wall.time().msecsSinceStartOfDay() / 1000, [&] {
            return format.FormatLocaleDateTime(0, wall, fFormat::LongTime);
        });
        return day + QLatin1Char(' ') + clock;
    });
}

const TimeTexts::Listing &TimeTexts::FromListing(const QString &dateText)
{
    auto it = m_listing.find(dateText);
    if (it == m_listing.end()) {
        if (m_listing.size() > kMaxCachedTimes)
            m_listing.clear();
        Listing entry;
        entry.When = ReadListingDate(dateText);
        entry.Text = entry.When ? TimeText(*entry.When) : dateText;
        entry.SortSecs = entry.When ? entry.When->toSecsSinceEpoch() : 0;
        it = m_listing.insert(dateText, std::move(entry));
    }
    return it.value();
}

void Counters::Count(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Missing: ++CountMissing; break;
    case Verdict::SizeChanged: ++CountSizeChanged; break;
    case Verdict::TimeChanged: ++CountTimeChanged; break;
    case Verdict::Ok: ++CountOk; break;
    }
}

namespace {

void colour(FileListRow &row, Verdict verdict)
{
    if (verdict != Verdict::Ok)
        row.ForeColor = VerdictColour(verdict);
}

} // namespace

FileListRow FolderRow(const QString &name, const QString &location, qint64 size, const QString &timeText,
                      qint64 sortTime, Verdict verdict, const QString &okText, FolderBold bold)
{
    FileListRow row;
    row.Text = name;
    row.IconKey = QStringLiteral("dir");
    row.SubItems = {location, FormatKilobytes(size), timeText,
                    verdict == Verdict::Ok ? okText : VerdictText(verdict)};
    row.Tag = QStringLiteral("d0");
    row.IsFolder = true;
    row.Size = size;
    row.SortTime = sortTime;
    row.TextBold = bold == FolderBold::All;
    row.SubItemsBold = true;
    colour(row, verdict);
    return row;
}

bool MarkFolderUnlisted(FileListRow &row)
{
    const qsizetype remarks = ColRemarks - 1; // the sub-items start after the name
    if (!row.IsFolder || row.SubItems.size() <= remarks
        || row.SubItems.at(remarks).compare(VerdictText(Verdict::Ok), Qt::CaseInsensitive) != 0)
        return false;
    row.SubItems[remarks] = QStringLiteral("Could not be listed");
    return true;
}

FileListRow FileRow(const QString &name, const QString &iconKey, const QString &location, qint64 size,
                    const QString &timeText, qint64 sortTime, Verdict verdict, const QString &detail)
{
    FileListRow row;
    row.Text = name;
    row.IconKey = iconKey;
    row.SubItems = {location, FormatKilobytes(size), timeText, VerdictText(verdict)};
    row.Tag = CompareRowTag(size);
    row.Size = size;
    row.SortTime = sortTime;
    row.ToolTipColumn = ColRemarks;
    row.ToolTip = detail;
    colour(row, verdict);
    return row;
}

} // namespace CompareRules

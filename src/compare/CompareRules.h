#pragma once

#include "FileListModel.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What every folder comparison shares: the verdicts with their texts, colours
// and details, the counters, the result row layout, the name filter and the
// file icon rule.
namespace CompareRules {

enum class Verdict { Missing, SizeChanged, TimeChanged, Ok };

// The result list's columns.
enum Column { ColFile = 0, ColLocation = 1, ColSize = 2, ColModified = 3, ColRemarks = 4 };

// The tests run in this order: a size difference hides a time difference.
Verdict Decide(bool hasCounterpart, bool sizesEqual, bool timesEqual);
QString VerdictText(Verdict verdict);
// Red, orange red, slate grey; an invalid colour (the list's own) for "Ok".
QColor VerdictColour(Verdict verdict);

// "first Vs. second {firstTime Vs. secondTime}" and "firstTime Vs. secondTime".
QString SizeDetail(qint64 first, qint64 second, const QString &firstTime, const QString &secondTime);
QString TimeDetail(const QString &firstTime, const QString &secondTime);

// "b" and the size in bytes: only such rows can become jobs.
QString CompareRowTag(qint64 size);

// The locale's general date-time text of a time.
QString TimeText(const QDateTime &when);

// A listing's date text as a date-time, empty when it does not read as one.
std::optional<QDateTime> ReadListingDate(const QString &dateText);
// A listing's date text rewritten as the general date-time text, or unchanged.
QString NormalisedListingDate(const QString &dateText);

// "e_" and the lower-cased extension, the name itself for ".ico" and ".exe";
// "donty" without an extension or when the picture list lacks the key.
QString FileIconKey(const QString &fileName, const std::function<bool(const QString &)> &hasPicture);

// The pattern box's text trimmed as a whole ("*" when empty) and split at ";";
// a blank after a ";" belongs to the next pattern.
QStringList SplitPatterns(const QString &patternText);

// The time texts of one comparison, each made once: many files share a
// modification time or a listing's date text, and formatting is the costly part.
class TimeTexts
{
public:
    struct Listing
    {
        std::optional<QDateTime> When; // the listing's wall-clock time, when it reads as one
        QString Text;                  // the general date-time text, else the listing's own text
        qint64 SortSecs = 0;           // for sorting; 0 when unreadable
    };
    TimeTexts();
    // A local modification time (whole seconds) as local wall-clock time and as text.
    const QDateTime &LocalTime(qint64 secs);
    const QString &LocalText(qint64 secs);
    const Listing &FromListing(const QString &dateText);

private:
    QHash<qint64, QDateTime> m_local;
    QHash<qint64, QString> m_localTexts;
    QHash<qint64, QString> m_dayTexts;   // a date's text, by its day number
    QHash<int, QString> m_clockTexts;    // a time of day's text, by its second of the day
    QHash<QString, Listing> m_listing;
};

// Per-verdict counts of a comparison; folders are never counted.
struct Counters
{
    qint64 TotalFiles = 0;
    qint64 PatternHits = 0;
    qint64 CountOk = 0;
    qint64 CountMissing = 0;
    qint64 CountSizeChanged = 0;
    qint64 CountTimeChanged = 0;

    void Count(Verdict verdict);
    qint64 Differences() const { return CountMissing + CountSizeChanged + CountTimeChanged; }
};

// How a folder row is bolded: local walks bold every cell, the FTP-to-FTP
// comparison only the cells after the name.
enum class FolderBold { All, SubItemsOnly };

// A folder row: name, location, size text, time text and "OK"/"Ok" or "Missing".
FileListRow FolderRow(const QString &name, const QString &location, qint64 size, const QString &timeText,
                      qint64 sortTime, Verdict verdict, const QString &okText, FolderBold bold);
// A folder row whose folder one side could not list reads so, not as matching:
// nothing inside it was compared. A "Missing" row stays as it is. False when
// the row was left unchanged.
bool MarkFolderUnlisted(FileListRow &row);
// A file row; `detail` is the "Remarks" cell's tool tip.
FileListRow FileRow(const QString &name, const QString &iconKey, const QString &location, qint64 size,
                    const QString &timeText, qint64 sortTime, Verdict verdict, const QString &detail);

} // namespace CompareRules

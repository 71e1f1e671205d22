#include "RemoteListing.h"

#include "LocalPane.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>
#include <QTimeZone>

namespace {

int monthNumber(const QString &name)
{
    static const QStringList months = {QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                       QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
                                       QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                       QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    return static_cast<int>(months.indexOf(name.left(3).toLower())) + 1;
}

qint64 secondsOf(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return 0;
    return QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
}

} // namespace

namespace {

// The filter's patterns, compiled once for a whole listing.
class NameFilter
{
public:
    explicit NameFilter(const QString &filter)
    {
        const QString trimmed = filter.trimmed();
        m_all = trimmed.isEmpty() || trimmed == QLatin1String("*.*") || trimmed == QLatin1String("*");
        if (m_all)
            return;
        for (const QString &pattern : trimmed.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString p = pattern.trimmed();
            if (!p.isEmpty())
                m_patterns.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(p),
                                                     QRegularExpression::CaseInsensitiveOption));
        }
    }

    bool matches(const QString &name) const
    {
        if (m_all)
            return true;
        for (const QRegularExpression &re : m_patterns) {
            if (re.match(name).hasMatch())
                return true;
        }
        return false;
    }

private:
    bool m_all = false;
    QList<QRegularExpression> m_patterns;
};

} // namespace

bool MatchesNameFilter(const QString &name, const QString &filter) { return NameFilter(filter).matches(name); }

std::vector<FileListRow> BuildRemoteRows(const QList<FtpFileItem> &items, const QString &filter,
                                         RemoteListingSummary &summary)
{
    summary = {};
    std::vector<FileListRow> rows;
    rows.reserve(static_cast<size_t>(items.size()));
    const QDate today = QDate::currentDate();
    int folderNumber = 0;
    int fileNumber = 0;
    const NameFilter nameFilter(filter);
    for (const FtpFileItem &item : items) {
        if (item.Name == QLatin1String(".") || item.Name == QLatin1String("..") || item.Name.isEmpty())
            continue;
        if (!item.IsFolder && !nameFilter.matches(item.Name))
            continue;
        FileListRow row;
        row.Text = item.Name;
        row.IsFolder = item.IsFolder;
        row.SortTime = ListingDateSortKey(item.DateText, today);
        if (item.IsFolder) {
            row.Key = QStringLiteral("D") + QString::number(folderNumber++);
            row.IconKey = QStringLiteral("dir");
            row.Tag = QStringLiteral("d0");
            row.SubItems = {QString(), item.Attributes, item.DateText};
            ++summary.Folders;
        } else {
            row.Key = QStringLiteral("F") + QString::number(fileNumber++);
            row.IconKey = LocalPane::FileIconKey(item.Name);
            row.Tag = QStringLiteral("b") + QString::number(item.Size);
            row.Size = item.Size;
            row.SubItems = {FormatKilobytes(item.Size), item.Attributes, item.DateText};
            ++summary.Files;
            summary.Bytes += item.Size;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

QString RemoteSummaryText(const RemoteListingSummary &summary)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return QString::number(summary.Folders) + QStringLiteral(" folders, ") + QString::number(summary.Files)
         + QStringLiteral(" files, ")
         + locale.toString(static_cast<double>(summary.Bytes) / 1024.0 / 1024.0, 'f', 1) + QStringLiteral(" MB");
}

qint64 ListingDateSortKey(const QString &dateText, const QDate &today)
{
    const QString text = dateText.simplified();
    static const QRegularExpression unixStyle(QStringLiteral("^([A-Za-z]{3}) (\\d{1,2}) (?:(\\d{1,2}):(\\d{2})|(\\d{4}))$"));
    static const QRegularExpression windowsStyle(
        QStringLiteral("^(\\d{2})-(\\d{2})-(\\d{2,4}) (\\d{1,2}):(\\d{2})\\s*([AaPp][Mm])?$"));
    QRegularExpressionMatch m = unixStyle.match(text);
    if (m.hasMatch()) {
        const int month = monthNumber(m.captured(1));
        const int day = m.captured(2).toInt();
        if (month == 0)
            return 0;
        if (!m.captured(5).isEmpty())
            return secondsOf(QDate(m.captured(5).toInt(), month, day), QTime(0, 0));
        // No year: the most recent such date not later than tomorrow.
        QDate date(today.year(), month, day);
        if (date.isValid() && date > today.addDays(1))
            date = QDate(today.year() - 1, month, day);
        return secondsOf(date, QTime(m.captured(3).toInt(), m.captured(4).toInt()));
    }
    m = windowsStyle.match(text);
    if (m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year += year < 70 ? 2000 : 1900;
        int hour = m.captured(4).toInt();
        const QString half = m.captured(6).toUpper();
        if (half == QLatin1String("PM") && hour < 12)
            hour += 12;
        if (half == QLatin1String("AM") && hour == 12)
            hour = 0;
        return secondsOf(QDate(year, m.captured(1).toInt(), m.captured(2).toInt()),
                         QTime(hour, m.captured(5).toInt()));
    }
    return 0;
}

QString ParentRemotePath(const QString &path)
{
    QString p = path.trimmed();
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return QStringLiteral("/");
    return p.left(slash);
}

#include "RemoteListing.h"

#include "LocalPane.h"
#include "WildcardPattern.h"

#include <QLocale>
#include <QStringList>

namespace {

// The filter's patterns, compiled once for a whole listing.
class NameFilter
{
public:
    explicit NameFilter(const QString &filter) : m_patterns(piecesOf(filter))
    {
        const QString trimmed = filter.trimmed();
        m_all = trimmed.isEmpty() || trimmed == QLatin1String("*.*") || trimmed == QLatin1String("*");
    }

    bool matches(const QString &name) const { return m_all || m_patterns.Matches(name); }

private:
    static QStringList piecesOf(const QString &filter)
    {
        QStringList pieces;
        for (const QString &piece : filter.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!piece.trimmed().isEmpty())
                pieces.append(piece.trimmed());
        }
        return pieces;
    }

    bool m_all = false;
    WildcardPatternList m_patterns;
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

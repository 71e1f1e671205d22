#include "DirectoryListingParser.h"

#include "ErrorLog.h"

#include <QVarLengthArray>

#include <limits>

namespace {

const QString kObjectName = QStringLiteral("DirectoryListingParser");

// Windows-style lines follow the template "10-13-07  01:13PM       <DIR>--        s".
constexpr qsizetype kWinLineMinLength = 40;
constexpr qsizetype kWinDateStart = 0, kWinDateLength = 8;
constexpr qsizetype kWinTimeStart = 10, kWinTimeLength = 7;
constexpr qsizetype kWinColumnStart = 17, kWinColumnLength = 12;
// The size is right-aligned and ends in column 38; it may reach back to column
// 18 when it has more digits than the "<DIR>" column is wide.
constexpr qsizetype kWinSizeStart = 17, kWinSizeLength = 21;
constexpr qsizetype kWinNameStart = 39;
constexpr qsizetype kWinLongYearShift = 2;

// First characters of UNIX entries: file, folder, link, block and character
// device, pipe, socket.
constexpr QStringView kUnixEntryKinds = u"-dlbcps";

bool IsAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool HasNonBlank(QStringView text)
{
    for (const QChar c : text) {
        if (c != u' ')
            return true;
    }
    return false;
}

QStringView TrimLeadingBlanks(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    return text.sliced(i);
}

QStringView TrimBlanks(QStringView text)
{
    text = TrimLeadingBlanks(text);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

// The fields of a UNIX line: eight blank-separated fields, then the name.
struct UnixFields
{
    QStringView field[8];
    QStringView name; // everything after the eighth field and one blank
    int count = 0;    // fields found, at most 9
};

constexpr int kSizeField = 4;

// Block and character devices, by their permission field.
bool IsDevice(QStringView permissions)
{
    return !permissions.isEmpty() && (permissions.front() == u'b' || permissions.front() == u'c');
}

// "yyyy-mm-dd"
bool IsIsoDate(QStringView text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return false;
    for (const qsizetype i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!IsAsciiDigit(text[i]))
            return false;
    }
    return true;
}

UnixFields SplitUnixLine(QStringView line)
{
    UnixFields out;
    const QChar *p = line.data();
    const QChar *const end = p + line.size();
    while (out.count < 8) {
        while (p < end && *p == u' ')
            ++p;
        if (p == end)
            return out;
        const QChar *const start = p;
        while (p < end && *p != u' ')
            ++p;
        // A device shows "major, minor" where a file shows its size: the
        // minor number belongs to the same field, or the date and name shift.
        if (out.count == kSizeField && p[-1] == u',' && IsDevice(out.field[0])) {
            const QChar *q = p;
            while (q < end && *q == u' ')
                ++q;
            if (q < end) {
                while (q < end && *q != u' ')
                    ++q;
                p = q;
            }
        }
        out.field[out.count++] = QStringView(start, p);
    }
    if (p == end)
        return out;
    ++p; // the one blank that separates the name
    // A ninth field exists only when something other than blanks follows.
    const QStringView rest(p, end);
    if (HasNonBlank(rest)) {
        out.name = rest;
        out.count = 9;
    }
    return out;
}

// Listings repeat the same permission, column and date texts line after line:
// handing out the previous string when the text is the same lets the items
// share one buffer instead of allocating one each.
class RepeatedText
{
public:
    const QString &Get(QStringView text)
    {
        if (!m_valid || text != m_text) {
            m_text = text.toString();
            m_valid = true;
        }
        return m_text;
    }

private:
    QString m_text;
    bool m_valid = false;
};

class ListingReader
{
public:
    ListingReader(QStringView folderPath, QList<FtpFileItem> &items)
        : m_items(items)
    {
        m_prefix = folderPath.toString();
        if (!m_prefix.endsWith(QLatin1Char('/')))
            m_prefix.append(QLatin1Char('/'));
    }

    void ReadUnixLine(QStringView line)
    {
        if (line.isEmpty() || !kUnixEntryKinds.contains(line.front()))
            return; // "total N", messages and damaged lines
        const UnixFields fields = SplitUnixLine(line);
        if (fields.count < 9)
            return;
        // A size always starts with a digit. Anything else there means the
        // fields before it are laid out otherwise (no group, a group with a
        // blank), so the date and name would be read from the wrong places.
        if (!IsAsciiDigit(fields.field[kSizeField].front()))
            return;
        // "2020-01-01 12:34" fills two fields where the month, day and time
        // fill three: the name would lose its first word.
        if (IsIsoDate(fields.field[kSizeField + 1]))
            return;
        const std::optional<qint64> size = LeadingNumberValue(fields.field[kSizeField]);
        if (!size)
            return;
        const QStringView name = WithoutFolder(fields.name);
        if (name.isEmpty())
            return;

        QVarLengthArray<QChar, 64> date;
        date.append(fields.field[5].data(), fields.field[5].size());
        date.append(QLatin1Char(' '));
        date.append(fields.field[6].data(), fields.field[6].size());
        date.append(QLatin1Char(' '));
        date.append(fields.field[7].data(), fields.field[7].size());

        FtpFileItem &item = m_items.emplaceBack();
        item.Name = name.toString();
        item.Size = *size;
        item.Attributes = m_attributes.Get(fields.field[0]);
        item.DateText = m_dates.Get(QStringView(date.data(), date.size()));
        item.IsFolder = line.front() == u'd';
    }

    void ReadWindowsLine(QStringView line)
    {
        if (line.size() < kWinLineMinLength || !IsAsciiDigit(line.front()))
            return;
        // Servers set to four-digit years write "10-13-2007": every column
        // after the date moves two places right.
        const qsizetype shift = IsAsciiDigit(line[kWinDateLength]) && IsAsciiDigit(line[kWinDateLength + 1])
            ? kWinLongYearShift
            : 0;
        if (line.size() < kWinLineMinLength + shift)
            return;
        const QStringView column = TrimBlanks(line.sliced(kWinColumnStart + shift, kWinColumnLength));
        const QString &attributes = UpperCaseColumn(column);
        const bool isFolder = attributes == u"<DIR>";
        qint64 size = 0;
        if (!isFolder) {
            const std::optional<qint64> value =
                LeadingNumberValue(line.sliced(kWinSizeStart + shift, kWinSizeLength));
            if (!value)
                return;
            size = *value;
        }
        const QStringView name = WithoutFolder(line.sliced(kWinNameStart + shift));
        if (!HasNonBlank(name))
            return;

        QVarLengthArray<QChar, 32> date;
        date.append(line.data() + kWinDateStart, kWinDateLength + shift);
        date.append(QLatin1Char(' '));
        date.append(line.data() + kWinTimeStart + shift, kWinTimeLength);

        FtpFileItem &item = m_items.emplaceBack();
        item.Name = name.toString();
        item.Size = size;
        item.Attributes = attributes;
        item.DateText = m_dates.Get(QStringView(date.data(), date.size()));
        item.IsFolder = isFolder;
    }

private:
    QStringView WithoutFolder(QStringView name) const
    {
        if (name.startsWith(m_prefix))
            return name.sliced(m_prefix.size());
        return name;
    }

    const QString &UpperCaseColumn(QStringView column)
    {
        if (!m_columnValid || column != m_columnRaw) {
            m_columnRaw = column.toString();
            m_columnUpper = m_columnRaw.toUpper();
            m_columnValid = true;
        }
        return m_columnUpper;
    }

    QList<FtpFileItem> &m_items;
    QString m_prefix;
    RepeatedText m_attributes;
    RepeatedText m_dates;
    QString m_columnRaw;
    QString m_columnUpper;
    bool m_columnValid = false;
};

} // namespace

std::optional<qint64> LeadingNumberValue(QStringView text)
{
    text = TrimLeadingBlanks(text);
    constexpr quint64 kMax = quint64(std::numeric_limits<qint64>::max());
    quint64 value = 0;
    for (const QChar c : text) {
        if (!IsAsciiDigit(c))
            break;
        const quint64 digit = c.unicode() - u'0';
        if (value > (kMax - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return qint64(value);
}

QStringList GetUnixFileItem(QStringView line)
{
    QStringList out;
    try {
        const UnixFields fields = SplitUnixLine(line);
        for (int i = 0; i < fields.count && i < 8; ++i)
            out.append(fields.field[i].toString());
        if (fields.count == 9)
            out.append(fields.name.toString());
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("GetUnixFileItem"));
        out.clear();
    }
    return out;
}

QList<FtpFileItem> GetFileList(QStringView listing, QStringView folderPath, qsizetype &count)
{
    count = 0;
    QList<FtpFileItem> items;
    try {
        if (listing.startsWith(u'\n'))
            listing = listing.sliced(1);
        // Only the first character of the first line decides the style.
        const bool windowsStyle = !listing.isEmpty() && IsAsciiDigit(listing.front());
        ListingReader reader(folderPath, items);

        const qsizetype length = listing.size();
        qsizetype pos = 0;
        while (pos < length) {
            qsizetype lineEnd = listing.indexOf(u'\n', pos);
            if (lineEnd < 0)
                lineEnd = length;
            QStringView line = listing.sliced(pos, lineEnd - pos);
            pos = lineEnd + 1;
            while (!line.isEmpty() && line.back() == u'\r')
                line.chop(1);
            // Trailing blanks are left alone: they may belong to a name.
            line = TrimLeadingBlanks(line);
            if (windowsStyle)
                reader.ReadWindowsLine(line);
            else
                reader.ReadUnixLine(line);
        }
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("GetFileList"));
        items.clear();
    }
    count = items.size();
    return items;
}

QList<FtpFileItem> GetFileList(QStringView listing, QStringView folderPath)
{
    qsizetype count = 0;
    return GetFileList(listing, folderPath, count);
}

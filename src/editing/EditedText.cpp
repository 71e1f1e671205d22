#include "EditedText.h"

#include "TextCodec.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");
const QString kCrLf = QStringLiteral("\r\n");
const QString kLf = QStringLiteral("\n");

// The picture of a CR that ends no line: the control-picture symbol, or a
// private-use character when the file itself holds that symbol.
QChar ChooseLoneCrMark(const QString &text)
{
    for (const char16_t candidate : {u'\u240D', u'\uE00D', u'\uF00D', u'\uF8FD'}) {
        if (!text.contains(QChar(candidate)))
            return QChar(candidate);
    }
    return QChar(u'\uF8FD');
}

// Lengths of the longest common subsequences of a with every prefix of b.
std::vector<int> LcsLastRow(const int *a, int aLen, const int *b, int bLen, bool reversed)
{
    std::vector<int> previous(static_cast<size_t>(bLen) + 1, 0);
    std::vector<int> current(previous.size(), 0);
    for (int i = 0; i < aLen; ++i) {
        const int ai = reversed ? a[aLen - 1 - i] : a[i];
        for (int j = 0; j < bLen; ++j) {
            const int bj = reversed ? b[bLen - 1 - j] : b[j];
            current[j + 1] = ai == bj ? previous[j] + 1 : std::max(previous[j + 1], current[j]);
        }
        std::swap(previous, current);
    }
    return previous;
}

// Hirschberg's alignment: match[i] is the index in b of a[i]'s partner, or
// -1. Linear memory, so a long file rewritten throughout stays affordable.
void AlignLines(const int *a, int aLen, const int *b, int bLen, int aOffset, int bOffset, std::vector<int> &match)
{
    if (aLen == 0 || bLen == 0)
        return;
    if (aLen == 1) {
        const int *found = std::find(b, b + bLen, a[0]);
        if (found != b + bLen)
            match[static_cast<size_t>(aOffset)] = bOffset + static_cast<int>(found - b);
        return;
    }
    const int half = aLen / 2;
    const std::vector<int> front = LcsLastRow(a, half, b, bLen, false);
    const std::vector<int> back = LcsLastRow(a + half, aLen - half, b, bLen, true);
    int split = 0;
    int best = -1;
    for (int j = 0; j <= bLen; ++j) {
        const int total = front[static_cast<size_t>(j)] + back[static_cast<size_t>(bLen - j)];
        if (total > best) {
            best = total;
            split = j;
        }
    }
    AlignLines(a, half, b, split, aOffset, bOffset, match);
    AlignLines(a + half, aLen - half, b + split, bLen - split, aOffset + half, bOffset + split, match);
}

// For each new line, the old line it stays in order with (longest common
// subsequence), or -1. The unchanged head and tail are matched directly.
std::vector<int> MatchLines(const QStringList &newLines, const QStringList &oldLines)
{
    std::vector<int> match(static_cast<size_t>(newLines.size()), -1);
    const int n = static_cast<int>(newLines.size());
    const int m = static_cast<int>(oldLines.size());
    int head = 0;
    while (head < n && head < m && newLines[head] == oldLines[head]) {
        match[static_cast<size_t>(head)] = head;
        ++head;
    }
    int tail = 0;
    while (tail < n - head && tail < m - head && newLines[n - 1 - tail] == oldLines[m - 1 - tail]) {
        match[static_cast<size_t>(n - 1 - tail)] = m - 1 - tail;
        ++tail;
    }
    QHash<QString, int> ids;
    auto idOf = [&ids](const QString &line) {
        const auto known = ids.constFind(line);
        return known != ids.cend() ? *known : *ids.insert(line, static_cast<int>(ids.size()));
    };
    std::vector<int> a;
    std::vector<int> b;
    for (int i = head; i < n - tail; ++i)
        a.push_back(idOf(newLines[i]));
    for (int j = head; j < m - tail; ++j)
        b.push_back(idOf(oldLines[j]));
    AlignLines(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), head, head, match);
    return match;
}

// The inverse of TextCodec::DecodeWindows1252, which maps every byte; the
// characters it cannot hold go to *missing, each once.
QByteArray EncodeSingleByte(const QString &text, QStringList *missing)
{
    static const QString high = TextCodec::DecodeWindows1252(QByteArray::fromHex(
        "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f"));
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        const qsizetype at = high.indexOf(c);
        if (at >= 0) {
            out.append(static_cast<char>(0x80 + at));
            continue;
        }
        // One character, even when it takes two code units.
        const qsizetype units = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QString character = text.mid(i, units);
        if (!missing->contains(character))
            missing->append(character);
        i += units - 1;
    }
    return out;
}

} // namespace

EditedText EditedText::FromBytes(const QByteArray &bytes)
{
    EditedText edited;
    edited.m_original = bytes;
    QString decoded;
    if (TextCodec::IsValidUtf8(bytes)) {
        edited.m_encoding = Encoding::Utf8;
        edited.m_byteOrderMark = bytes.startsWith(kUtf8Mark);
        decoded = QString::fromUtf8(edited.m_byteOrderMark ? bytes.mid(kUtf8Mark.size()) : bytes);
    } else {
        edited.m_encoding = Encoding::SingleByte;
        decoded = TextCodec::DecodeWindows1252(bytes);
    }
    edited.m_loneCrMark = ChooseLoneCrMark(decoded);

    qsizetype crlf = 0;
    qsizetype lf = 0;
    qsizetype start = 0;
    while (true) {
        const qsizetype end = decoded.indexOf(u'\n', start);
        QString line = decoded.mid(start, end < 0 ? -1 : end - start);
        QString ending;
        if (end >= 0) {
            if (line.endsWith(u'\r')) {
                line.chop(1);
                ending = kCrLf;
                ++crlf;
            } else {
                ending = kLf;
                ++lf;
            }
        }
        line.replace(u'\r', edited.m_loneCrMark);
        edited.m_lines << line;
        edited.m_endings << ending;
        if (end < 0)
            break;
        start = end + 1;
    }
    edited.m_usualEnding = crlf > 0 && crlf >= lf ? kCrLf : kLf;
    edited.m_text = edited.m_lines.join(u'\n');
    return edited;
}

std::optional<QByteArray> EditedText::ToBytes(const QString &text, QStringList *unencodable) const
{
    if (unencodable)
        unencodable->clear();
    if (text == m_text)
        return m_original;
    const QStringList lines = text.split(u'\n');
    const std::vector<int> match = MatchLines(lines, m_lines);
    QString content;
    content.reserve(text.size() + lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        line.replace(m_loneCrMark, u'\r');
        content += line;
        if (i + 1 == lines.size())
            break;
        const int old = match[static_cast<size_t>(i)];
        const QString &kept = old >= 0 ? m_endings[old] : QString();
        content += kept.isEmpty() ? m_usualEnding : kept;
    }
    if (m_encoding == Encoding::SingleByte) {
        QStringList missing;
        const QByteArray bytes = EncodeSingleByte(content, &missing);
        if (unencodable)
            *unencodable = missing;
        if (!missing.isEmpty())
            return std::nullopt;
        return bytes;
    }
    QByteArray bytes = content.toUtf8();
    if (m_byteOrderMark)
        bytes.prepend(kUtf8Mark);
    return bytes;
}

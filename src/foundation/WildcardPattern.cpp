#include "WildcardPattern.h"

namespace {

QChar fold(QChar c) { return c.toCaseFolded(); }

} // namespace

WildcardPattern::WildcardPattern(QStringView pattern)
{
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern[i];
        Token token;
        if (c == QLatin1Char('*')) {
            // Runs of stars are one star.
            if (!m_tokens.empty() && m_tokens.back().What == Kind::Star)
                continue;
            token.What = Kind::Star;
        } else if (c == QLatin1Char('?')) {
            token.What = Kind::AnyOne;
        } else if (c == QLatin1Char('#')) {
            token.What = Kind::Digit;
        } else if (c == QLatin1Char('[') && pattern.indexOf(QLatin1Char(']'), i + 1) > i) {
            const qsizetype close = pattern.indexOf(QLatin1Char(']'), i + 1);
            qsizetype j = i + 1;
            token.What = Kind::List;
            if (j < close && pattern[j] == QLatin1Char('!')) {
                token.Negated = true;
                ++j;
            }
            token.FirstRange = m_ranges.size();
            while (j < close) {
                const char32_t first = pattern[j].unicode();
                if (j + 2 < close && pattern[j + 1] == QLatin1Char('-')) {
                    const char32_t last = pattern[j + 2].unicode();
                    m_ranges.push_back(first <= last ? Range{first, last} : Range{last, first});
                    j += 3;
                } else {
                    m_ranges.push_back(Range{first, first});
                    ++j;
                }
            }
            token.RangeCount = m_ranges.size() - token.FirstRange;
            i = close;
        } else {
            token.What = Kind::Literal;
            token.Folded = fold(c);
        }
        m_tokens.push_back(token);
    }
}

bool WildcardPattern::inList(const Token &token, QChar c) const
{
    const char32_t candidates[3] = {c.unicode(), c.toLower().unicode(), c.toUpper().unicode()};
    for (size_t r = token.FirstRange; r < token.FirstRange + token.RangeCount; ++r) {
        for (const char32_t candidate : candidates) {
            if (candidate >= m_ranges[r].First && candidate <= m_ranges[r].Last)
                return true;
        }
    }
    return false;
}

bool WildcardPattern::accepts(const Token &token, QChar c) const
{
    switch (token.What) {
    case Kind::Literal: return fold(c) == token.Folded;
    case Kind::AnyOne: return true;
    case Kind::Digit: return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    case Kind::List: return inList(token, c) != token.Negated;
    case Kind::Star: return false;
    }
    return false;
}

bool WildcardPattern::Matches(QStringView name) const
{
    constexpr size_t none = static_cast<size_t>(-1);
    const size_t count = m_tokens.size();
    const auto length = static_cast<size_t>(name.size());
    size_t t = 0;
    size_t n = 0;
    size_t resumeToken = none; // token after the last star seen
    size_t resumeName = 0;     // where that star's run currently ends
    while (n < length) {
        if (t < count && m_tokens[t].What == Kind::Star) {
            resumeToken = ++t;
            resumeName = n;
        } else if (t < count && accepts(m_tokens[t], name[static_cast<qsizetype>(n)])) {
            ++t;
            ++n;
        } else if (resumeToken != none) {
            // Let the last star take one more character and retry what follows it.
            t = resumeToken;
            n = ++resumeName;
        } else {
            return false;
        }
    }
    while (t < count && m_tokens[t].What == Kind::Star)
        ++t;
    return t == count;
}

bool WildcardPattern::Matches(QStringView name, QStringView pattern) { return WildcardPattern(pattern).Matches(name); }

WildcardPatternList::WildcardPatternList(const QString &patterns, bool skipEmpty)
    : WildcardPatternList(patterns.split(QLatin1Char(';'), skipEmpty ? Qt::SkipEmptyParts : Qt::KeepEmptyParts))
{
}

WildcardPatternList::WildcardPatternList(const QStringList &patterns)
{
    m_patterns.reserve(static_cast<size_t>(patterns.size()));
    for (const QString &pattern : patterns)
        m_patterns.emplace_back(pattern);
}

bool WildcardPatternList::Matches(QStringView name) const
{
    for (const WildcardPattern &pattern : m_patterns) {
        if (pattern.Matches(name))
            return true;
    }
    return false;
}

QStringList FileTypePatterns(const QString &typed)
{
    QStringList patterns;
    for (const QString &piece : typed.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString pattern = piece.trimmed();
        if (pattern.isEmpty())
            continue;
        patterns << pattern;
        const bool wild = pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'))
                          || pattern.contains(QLatin1Char('#')) || pattern.contains(QLatin1Char('['));
        const QString extension = pattern.startsWith(QLatin1Char('.')) ? pattern.mid(1) : pattern;
        if (!wild && !extension.isEmpty() && !extension.contains(QLatin1Char('.')))
            patterns << QStringLiteral("*.") + extension;
    }
    return patterns;
}

#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// A file-name wildcard pattern, letter case ignored: "*" any run of
// characters, "?" one character, "#" one digit, "[a-cx]" one character of the
// list (ranges allowed), "[!a-c]" one character not in it. Any other
// character stands for itself; a "[" without its "]" is an ordinary character.
// Matching never backtracks further than the last "*", so its time is bounded
// by name length times pattern length whatever the pattern holds.
class WildcardPattern
{
public:
    explicit WildcardPattern(QStringView pattern);

    bool Matches(QStringView name) const;

    // One-off match without keeping the compiled pattern.
    static bool Matches(QStringView name, QStringView pattern);

private:
    struct Range
    {
        char32_t First;
        char32_t Last;
    };
    enum class Kind { Literal, AnyOne, Digit, List, Star };
    struct Token
    {
        Kind What = Kind::Literal;
        QChar Folded;                 // Literal
        bool Negated = false;         // List
        size_t FirstRange = 0;        // List: m_ranges[FirstRange, FirstRange + RangeCount)
        size_t RangeCount = 0;
    };

    bool accepts(const Token &token, QChar c) const;
    bool inList(const Token &token, QChar c) const;

    std::vector<Token> m_tokens;
    std::vector<Range> m_ranges;
};

// Patterns separated by ";", each compiled once; a name matches the list when
// it matches any of them. Pieces are kept as given (an empty piece matches
// only an empty name) unless `skipEmpty` is set.
class WildcardPatternList
{
public:
    explicit WildcardPatternList(const QString &patterns, bool skipEmpty = false);
    explicit WildcardPatternList(const QStringList &patterns);

    bool Matches(QStringView name) const;
    bool IsEmpty() const { return m_patterns.empty(); }

private:
    std::vector<WildcardPattern> m_patterns;
};

// The patterns of a file type as the user typed them ("*.txt; html; .md"),
// ready for WildcardPatternList: pieces split at ";" and trimmed, empty ones
// dropped. A piece with no wildcard character and no "." but a leading one is
// an extension: "txt" and ".txt" match as "*.txt", and still name a file of
// that very name ("Makefile" matches "Makefile" and "x.Makefile").
QStringList FileTypePatterns(const QString &typed);

#include "WildcardPattern.h"

#include <gtest/gtest.h>

TEST(WildcardPattern, StarsQuestionMarksAndCaseAsListingsNeed)
{
    EXPECT_TRUE(WildcardPattern::Matches(u"readme.txt", u"*.TXT"));
    EXPECT_TRUE(WildcardPattern::Matches(u"a.txt", u"?.txt"));
    EXPECT_FALSE(WildcardPattern::Matches(u"ab.txt", u"?.txt"));
    EXPECT_TRUE(WildcardPattern::Matches(u"abc", u"a*c"));
    EXPECT_TRUE(WildcardPattern::Matches(u"ac", u"a*c"));
    EXPECT_FALSE(WildcardPattern::Matches(u"abcd", u"a*c"));
    EXPECT_TRUE(WildcardPattern::Matches(u"mississippi", u"*sip*"));
    EXPECT_TRUE(WildcardPattern::Matches(u"aXbXc", u"*X*X*"));
    EXPECT_FALSE(WildcardPattern::Matches(u"README", u"*.*"));
    EXPECT_TRUE(WildcardPattern::Matches(u"", u"*"));
    EXPECT_TRUE(WildcardPattern::Matches(u"", u""));
    EXPECT_FALSE(WildcardPattern::Matches(u"a", u""));
    EXPECT_TRUE(WildcardPattern::Matches(u"ÄRGER.txt", u"ärger.*"));
}

TEST(WildcardPattern, DigitsAndCharacterLists)
{
    EXPECT_TRUE(WildcardPattern::Matches(u"img2024.jpg", u"img####.jpg"));
    EXPECT_FALSE(WildcardPattern::Matches(u"img20x4.jpg", u"img####.jpg"));
    EXPECT_TRUE(WildcardPattern::Matches(u"b.log", u"[a-c].log"));
    EXPECT_TRUE(WildcardPattern::Matches(u"B.log", u"[a-c].log"));
    EXPECT_FALSE(WildcardPattern::Matches(u"d.log", u"[a-c].log"));
    EXPECT_TRUE(WildcardPattern::Matches(u"x1", u"[xyz]#"));
    EXPECT_TRUE(WildcardPattern::Matches(u"d.log", u"[!a-c].log"));
    EXPECT_FALSE(WildcardPattern::Matches(u"A.log", u"[!a-c].log"));
    EXPECT_FALSE(WildcardPattern::Matches(u"x", u"[!x]"));
    EXPECT_TRUE(WildcardPattern::Matches(u"-", u"[a-]"));
    // Special characters inside a list and an unclosed "[" stand for themselves.
    EXPECT_TRUE(WildcardPattern::Matches(u"a*b", u"a[*]b"));
    EXPECT_FALSE(WildcardPattern::Matches(u"axb", u"a[*]b"));
    EXPECT_TRUE(WildcardPattern::Matches(u"[abc", u"[abc"));
}

TEST(WildcardPattern, ManyStarsAgainstALongNameFinishQuickly)
{
    const QString name = QString(10000, QLatin1Char('a'));
    QString pattern;
    for (int i = 0; i < 30; ++i)
        pattern += QStringLiteral("*a");
    EXPECT_TRUE(WildcardPattern::Matches(name, pattern));
    EXPECT_FALSE(WildcardPattern::Matches(name, pattern + QStringLiteral("b")));
    EXPECT_FALSE(WildcardPattern::Matches(name, QString(30, QLatin1Char('*')) + QStringLiteral("b*")));
}

TEST(WildcardPattern, ListsMatchAnyPieceAndKeepEmptyPiecesUnlessAsked)
{
    const WildcardPatternList archives(QStringLiteral("*.zip;*.rar"));
    EXPECT_TRUE(archives.Matches(u"a.ZIP"));
    EXPECT_TRUE(archives.Matches(u"b.rar"));
    EXPECT_FALSE(archives.Matches(u"c.iso"));
    EXPECT_FALSE(archives.Matches(u""));
    EXPECT_TRUE(WildcardPatternList(QStringLiteral("*.zip;")).Matches(u""));
    EXPECT_FALSE(WildcardPatternList(QStringLiteral("*.zip;"), true).Matches(u""));
}

TEST(WildcardPattern, FileTypesTypedAsBareExtensionsMatchThatExtension)
{
    const WildcardPatternList types(FileTypePatterns(QStringLiteral(" txt ;.MD;;*.c; Makefile ;notes.txt;*.h?;[ab]")));
    EXPECT_TRUE(types.Matches(u"a.TXT"));
    EXPECT_TRUE(types.Matches(u"readme.md"));
    EXPECT_TRUE(types.Matches(u"main.c"));
    EXPECT_TRUE(types.Matches(u"Makefile"));
    EXPECT_TRUE(types.Matches(u"rules.makefile"));
    EXPECT_TRUE(types.Matches(u"notes.txt"));
    EXPECT_TRUE(types.Matches(u"x.hh"));
    EXPECT_TRUE(types.Matches(u"a"));
    // A name with a dot or a wildcard is a pattern, not an extension.
    EXPECT_FALSE(types.Matches(u"old.notes.txt.bak"));
    EXPECT_FALSE(types.Matches(u"x.[ab]"));
    EXPECT_FALSE(types.Matches(u"txt.doc"));
    EXPECT_FALSE(types.Matches(u""));
    EXPECT_TRUE(FileTypePatterns(QStringLiteral(" ; .")).size() == 1);
}

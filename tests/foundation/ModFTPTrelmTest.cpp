#include "ModFTPTrelm.h"
#include "ScriptedPrompts.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ModFTPTrelm, MySplitNormalisesAndDropsEmptyLines)
{
    QString text = QStringLiteral("a\r\n\r\nb\n");
    EXPECT_EQ(mySplit(text), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(text, QStringLiteral("a\nb"));
    QString empty;
    EXPECT_TRUE(mySplit(empty).isEmpty());
    QString loneCr = QStringLiteral("  x\ry \n\n\nz  ");
    EXPECT_EQ(mySplit(loneCr), QStringList({QStringLiteral("x\ry "), QStringLiteral("z")}));
}

TEST(ModFTPTrelm, TrimAndCollapse)
{
    EXPECT_EQ(MyTrim(QStringLiteral("//x//"), u'/'), QStringLiteral("x"));
    EXPECT_EQ(MyTrim(QStringLiteral("////"), u'/'), QString());
    EXPECT_EQ(RemoveMultiChar(QStringLiteral("/a//b///c"), u'/'), QStringLiteral("/a/b/c"));
    // Characters outside any 8-bit code page survive.
    EXPECT_EQ(RemoveMultiChar(QStringLiteral("\u65e5//\u672c"), u'/'), QStringLiteral("\u65e5/\u672c"));
}

TEST(ModFTPTrelm, ChkCreatDirCreatesEachMissingFolder)
{
    QTemporaryDir dir;
    ChkCreatDir(dir.path() + QStringLiteral("/x/y"));
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/x/y")).exists());
    ChkCreatDir(dir.path() + QStringLiteral("/x/y/")); // already there: nothing to do
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/x/y")).exists());
}

TEST(ModFTPTrelm, FileNameCheckTellsTheUserOnce)
{
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("File names can not contain following charcters: \r\n\t\\/:*?\"<>|\r\n"
                                         "Please rename carefully !"),
                          PromptButton::Ok);
    EXPECT_FALSE(isValidFileName(QStringLiteral("a:b")));
    EXPECT_TRUE(isValidFileName(QStringLiteral("report.txt")));
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("Ftp Qor"));
    EXPECT_EQ(prompts.shown()[0].icon, PromptIcon::Exclamation);
}

TEST(ModFTPTrelm, RemotePathPaddingAndListArgument)
{
    EXPECT_EQ(ComposeRemotePath(QStringLiteral("server"), QStringLiteral("pub")), QStringLiteral("server/pub"));
    EXPECT_EQ(ComposeRemotePath(QStringLiteral("server"), QStringLiteral("/pub")), QStringLiteral("server/pub"));
    EXPECT_EQ(PadText(QStringLiteral("0 KB"), 12), QStringLiteral("        0 KB"));
    EXPECT_EQ(PadText(QStringLiteral("1234567890123"), 12), QStringLiteral("1234567890123"));
    EXPECT_EQ(PadText(QStringLiteral("x"), 0), QStringLiteral("x"));

    EXPECT_EQ(GetListArgument(QStringLiteral("*.txt")), QStringLiteral("/*.txt"));
    EXPECT_EQ(GetListArgument(QStringLiteral(" *.* ")), QString());
    EXPECT_EQ(GetListArgument(QStringLiteral("*.txt;*.log")), QString());
    EXPECT_EQ(GetListArgument(QString()), QString());
    EXPECT_FALSE(IsMultiFilter(QStringLiteral("  "), true));
    EXPECT_FALSE(IsMultiFilter(QStringLiteral("*.*"), true));
    EXPECT_TRUE(IsMultiFilter(QStringLiteral("*.txt;*.log"), true));
    EXPECT_FALSE(IsMultiFilter(QStringLiteral("*.txt;*.log"), false));
    EXPECT_TRUE(IsMultiFilter(QStringLiteral("*.txt"), false));
}

TEST(ModFTPTrelm, UrlEncodeHasNoLimitAndEncodesUtf8Bytes)
{
    EXPECT_EQ(UrlEncode(QStringLiteral("a b&c")), QStringLiteral("a+b%26c"));
    EXPECT_EQ(UrlEncode(QStringLiteral("\r\n")), QStringLiteral("%0D%0A"));
    EXPECT_EQ(UrlEncode(QStringLiteral("\u00e9")), QStringLiteral("%C3%A9"));
    const QString longText(40000, QLatin1Char('a'));
    EXPECT_EQ(UrlEncode(longText), longText);
}

TEST(ModFTPTrelm, CheckDestinationFolderAsksInOrder)
{
    const auto probe = [](StorageState state) { return [state](const QString &) { return state; }; };

    {
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("The folder '/nope' does not exists!"), PromptButton::Ok);
        EXPECT_FALSE(CheckDestinationFolder(QStringLiteral("/nope"), nullptr, probe({false, true, false, -1})));
    }
    {
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("Selected drive has no free space left!"), PromptButton::Ok);
        EXPECT_FALSE(CheckDestinationFolder(QStringLiteral("/d"), nullptr, probe({true, true, false, 0})));
        EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("Error"));
    }
    {
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("The destination drive has very low free space! \r\n"
                                             "Do you wish to continue anyway ?"),
                              PromptButton::Yes)
            .expectMessage(QStringLiteral("very low free space"), PromptButton::No);
        EXPECT_TRUE(CheckDestinationFolder(QStringLiteral("/d"), nullptr, probe({true, true, false, 40000})));
        EXPECT_FALSE(CheckDestinationFolder(QStringLiteral("/d"), nullptr, probe({true, true, false, 40000})));
    }
    {
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("The destination folder may not be writable!"), PromptButton::No);
        EXPECT_FALSE(CheckDestinationFolder(QStringLiteral("/cd"), nullptr, probe({true, true, true, 1 << 20})));
        EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("Confirm!"));
    }
    {
        ScriptedPrompts prompts; // no question for a healthy folder
        EXPECT_TRUE(CheckDestinationFolder(QStringLiteral("/d"), nullptr, probe({true, true, false, 51200})));
        EXPECT_TRUE(CheckDestinationFolder(QStringLiteral("/d"), nullptr,
                                           [](const QString &) -> StorageState { throw std::runtime_error("x"); }));
    }
}

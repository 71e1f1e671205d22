#include "FtpCommandTables.h"
#include "FtpCommander.h"
#include "ReplyCodes.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// A driver file with `entries` command lines (0 .. entries-1) built from the
// built-in definitions, with `extra` lines after the command section.
QString DriverText(int entries, const QString &macroSection = {}, const QString &tweak = {})
{
    LoadCmdDefinitions();
    QString text = QStringLiteral("' a test driver\n<COMMAND>\n");
    for (int i = 0; i < entries; ++i) {
        QString value = FtpCmdTable[i];
        if (i == 0)
            value = QStringLiteral("2XX[I]3XX[I]4XX[E]5XX[E]XXX[Q]");
        text += QString::number(i) + QLatin1Char('=') + value + QLatin1Char('\n');
    }
    text += tweak;
    text += QStringLiteral("</COMMAND>\n");
    text += macroSection;
    return text;
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    EXPECT_TRUE(WriteFileBytes(path, text.toUtf8()));
    return path;
}

class CommandTables : public ::testing::Test
{
protected:
    void TearDown() override { LoadCmdDefinitions(); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(CommandTables, BuiltInDefinitionsAndMacrosReachEveryEngine)
{
    FtpCommander engine;
    EXPECT_EQ(engine.DefaultReplyMap(), QStringLiteral("2XX[I]3XX[I]4XX[R]5XX[E]XXX[Q]"));
    EXPECT_EQ(engine.CommandRecord(0).Verb, QStringLiteral("CON"));
    EXPECT_EQ(engine.CommandRecord(33).Verb, QStringLiteral("SIZE"));
    EXPECT_EQ(engine.CommandRecord(30).Verb, QStringLiteral("[*150 MARK] "));
    EXPECT_EQ(engine.CommandRecord(30).SuccessCodes, QString());
    EXPECT_EQ(engine.CommandRecord(12).SuccessCodes, QStringLiteral("225-226-200-2XX[I]"));
    // Passive by default; binary mode before SIZE and MDTM in the download macros.
    EXPECT_EQ(engine.MacroList()[2], QStringLiteral("9,10"));
    EXPECT_EQ(engine.MacroList()[6], QStringLiteral("34,32,33,9,11"));
    EXPECT_EQ(engine.MacroList()[15], QStringLiteral("34,32,33,9,7,11"));
    EXPECT_EQ(engine.MacroList()[16], QStringLiteral("34,9,16"));
    EXPECT_EQ(engine.MacroList()[17], QStringLiteral("34,8,11"));
    EXPECT_TRUE(engine.MacroList()[3].isEmpty());

    engine.setMode(1);
    EXPECT_EQ(engine.MacroList()[5], QStringLiteral("34,8,16"));
    EXPECT_EQ(engine.MacroList()[2], QStringLiteral("8,10"));
    EXPECT_EQ(engine.MacroList()[16], QStringLiteral("34,9,16"));
}

TEST_F(CommandTables, ValidDriverReplacesDefinitionsAndAllowedMacros)
{
    const QString macros = QStringLiteral("<MACRO>\n4=29,28\n14=1,2\n</MACRO>\n");
    const QString path = WriteFile(dir, QStringLiteral("good.frc"), DriverText(34, macros));
    ScriptedPrompts prompts;
    ASSERT_TRUE(LoadDriver(path));
    EXPECT_EQ(FtpCmdTable[0], QStringLiteral("2XX[I]3XX[I]4XX[E]5XX[E]XXX[Q]"));
    EXPECT_TRUE(FtpCmdTable[34].isEmpty());
    EXPECT_EQ(FtpMacroTable[4], QStringLiteral("29,28"));
    EXPECT_EQ(FtpMacroTable[14], QStringLiteral("34,32,33,100,7,16")); // not a driver slot

    // An engine created now starts from the built-in definitions again.
    FtpCommander engine;
    EXPECT_EQ(engine.DefaultReplyMap(), QStringLiteral("2XX[I]3XX[I]4XX[R]5XX[E]XXX[Q]"));
}

TEST_F(CommandTables, RejectedDriverAppliesNothing)
{
    ScriptedPrompts prompts;
    const QString macros = QStringLiteral("<MACRO>\n4=29,28\n</MACRO>\n");
    struct Case {
        QString name;
        QString text;
    };
    // DriverText reloads the table: the entry is copied before it is called.
    LoadCmdDefinitions();
    const QString third = FtpCmdTable[3];
    const QString gap = DriverText(2) .replace(QStringLiteral("</COMMAND>\n"), QString())
                        + QStringLiteral("3=") + third + QStringLiteral("\n</COMMAND>\n") + macros;
    const QList<Case> cases = {
        {QStringLiteral("numbered 0, 1, 3"), gap},
        {QStringLiteral("33 entries"), DriverText(33, macros)},
        {QStringLiteral("entry with two fields"),
         DriverText(5, QString()) .replace(QStringLiteral("</COMMAND>"), QStringLiteral("5=TYPE|200\n</COMMAND>")) + macros},
        {QStringLiteral("line without ="), DriverText(34, QStringLiteral("<MACRO>\n4=29,28\nnonsense\n</MACRO>\n"))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        LoadCmdDefinitions();
        const QStringList tableBefore = FtpCmdTable;
        const QStringList macrosBefore = FtpMacroTable;
        prompts.expectMessage(QStringLiteral("Invalid driver file!"), PromptButton::Ok);
        EXPECT_FALSE(LoadDriver(WriteFile(dir, QStringLiteral("bad.frc"), c.text)));
        EXPECT_EQ(FtpCmdTable, tableBefore);
        EXPECT_EQ(FtpMacroTable, macrosBefore);
    }
    EXPECT_TRUE(prompts.allUsed());

    // A missing file is logged, not shown.
    EXPECT_FALSE(LoadDriver(dir.filePath(QStringLiteral("missing.frc"))));
}

TEST_F(CommandTables, OperationConfigChangesOneEngine)
{
    FtpCommander engine;
    const QString path = WriteFile(dir, QStringLiteral("ops.cfg"),
                                   QStringLiteral("# comment\n"
                                                  "<CONST>\n"
                                                  "$def  any   \"2XX[I]XXX[E]\"\n"
                                                  "</CONST>\n"
                                                  "<VARS>\n"
                                                  "user@  \"331-230\"  \"530[Q]$def\"\n"
                                                  "SIZE@ \"213\" \"XXX[I]\"\n"
                                                  "</VARS>\n"));
    ASSERT_TRUE(engine.LoadCustomOpConfig(path));
    EXPECT_EQ(engine.DefaultReplyMap(), QStringLiteral("2XX[I]XXX[E]"));
    EXPECT_EQ(engine.CommandRecord(1).SuccessCodes, QStringLiteral("331-230"));
    EXPECT_EQ(engine.CommandRecord(1).ReplyMap, QStringLiteral("530[Q]$def"));
    EXPECT_EQ(engine.CommandRecord(33).ReplyMap, QStringLiteral("3XX[R]XXX[E]")); // beyond QUIT: untouched

    EXPECT_FALSE(engine.LoadCustomOpConfig(dir.filePath(QStringLiteral("missing.cfg"))));
    ASSERT_TRUE(engine.LoadDefaultOpConfig());
    EXPECT_EQ(engine.CommandRecord(1).SuccessCodes, QStringLiteral("331"));
    EXPECT_EQ(engine.DefaultReplyMap(), QStringLiteral("2XX[I]3XX[I]4XX[R]5XX[E]XXX[Q]"));
}

TEST(ReplyCodes, SuccessCodesAreComparedAsCodes)
{
    EXPECT_TRUE(ReplyCodes::IsSuccess(QStringLiteral("220"), QStringLiteral("220-1XX[N]")));
    EXPECT_FALSE(ReplyCodes::IsSuccess(QStringLiteral("150"), QStringLiteral("220-1XX[N]")));
    EXPECT_TRUE(ReplyCodes::IsSuccess(QStringLiteral("226"), QStringLiteral("225-226-200-2XX[I]")));
    EXPECT_FALSE(ReplyCodes::IsSuccess(QStringLiteral("250"), QStringLiteral("225-226-200-2XX[I]")));
    EXPECT_TRUE(ReplyCodes::IsSuccess(QStringLiteral("257"), QStringLiteral("250-2xx")));
    // Never a substring match: "50" occurs in "250" but is no code of it.
    EXPECT_FALSE(ReplyCodes::IsSuccess(QStringLiteral("502"), QStringLiteral("250-502x")));
    EXPECT_FALSE(ReplyCodes::IsSuccess(QStringLiteral("25"), QStringLiteral("250")));
}

TEST(ReplyCodes, ReplyMapPrefersTheMostSpecificPattern)
{
    const QString map = QStringLiteral("4XX[R]450[a ]5XX[E]$XXX[Q]");
    EXPECT_EQ(ReplyCodes::FindAction(map, QStringLiteral("450")), QStringLiteral("A"));
    EXPECT_EQ(ReplyCodes::FindAction(map, QStringLiteral("421")), QStringLiteral("R"));
    EXPECT_EQ(ReplyCodes::FindAction(map, QStringLiteral("530")), QStringLiteral("E"));
    EXPECT_EQ(ReplyCodes::FindAction(map, QStringLiteral("125")), QStringLiteral("Q"));
    EXPECT_EQ(ReplyCodes::FindAction(QStringLiteral("425-426[R]"), QStringLiteral("426")), QStringLiteral("R"));
    EXPECT_EQ(ReplyCodes::FindAction(QStringLiteral("425-426[R]"), QStringLiteral("550")), std::nullopt);
    EXPECT_EQ(ReplyCodes::FindAction(QStringLiteral("550[G14]"), QStringLiteral("550")), QStringLiteral("G14"));
    EXPECT_EQ(ReplyCodes::FindAction(QStringLiteral("550[E"), QStringLiteral("550")), QString());
    EXPECT_EQ(ReplyCodes::ExpandDefault(QStringLiteral("421[E]$DEF"), QStringLiteral("XXX[Q]")),
              QStringLiteral("421[E]XXX[Q]"));
}

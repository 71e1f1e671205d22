// Saving, dumping and loading log files.
#include "LoggerTestSupport.h"

#include "LogFileLine.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "TextCodec.h"

#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(LogFileLine, SplitsAtTheLastBarAndReadsLeadingNumbers)
{
    auto parsed = LogFileLine::Parse(QStringLiteral("a|b|5"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text, QStringLiteral("a|b"));
    EXPECT_EQ(parsed->color, 5);
    EXPECT_EQ(parsed->style, 0);

    parsed = LogFileLine::Parse(QStringLiteral("text|,3"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->color, 0);
    EXPECT_EQ(parsed->style, 0);

    parsed = LogFileLine::Parse(QStringLiteral("t| 2.5x,3.5"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->color, 2); // halves go to the even neighbour
    EXPECT_EQ(parsed->style, 4);

    parsed = LogFileLine::Parse(QStringLiteral("no bar at all"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text, QStringLiteral("no bar at all"));

    EXPECT_FALSE(LogFileLine::Parse(QStringLiteral("t|-1,0")));
    EXPECT_FALSE(LogFileLine::Parse(QStringLiteral("t|1,256")));
    EXPECT_EQ(LogFileLine::LeadingNumber(QStringLiteral("abc")), 0);
}

TEST(LoggerFiles, SaveThenLoadGivesHeaderDateAndEntries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.log"));
    auto logger = MakeShownLogger();
    logger->AddLog(QStringLiteral("USER anonymous"), 0, 1);
    logger->AddLog(QStringLiteral("pipe | inside"), 3, 2);
    logger->AddLog(QStringLiteral("230 Login successful."), 4, 16);

    ScriptedPrompts prompts;
    prompts.expectFile(QStringLiteral("Save Log"), path)
        .expectMessage(QStringLiteral("Log saved to file: ") + path, PromptButton::Ok);
    logger->SaveLogs();
    EXPECT_TRUE(prompts.allUsed());

    const QStringList lines = TextCodec::SplitLines(TextCodec::Decode(ReadFileBytes(path)));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("Generic Test"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Saved By Logger On: ")));
    EXPECT_EQ(lines[3], QStringLiteral("pipe | inside|3,2"));
    EXPECT_TRUE(ReadFileBytes(path).endsWith("230 Login successful.|4,16\r\n"));

    prompts.expectMessage(QStringLiteral("Log loaded from file: ") + path, PromptButton::Ok);
    logger->LoadLogs(path, false, true);
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(logger->GetCount(), 5);
    EXPECT_EQ(logger->getLog(1), QStringLiteral("Generic Test"));
    EXPECT_EQ(logger->entry(2).ColorIndex, 0);
    EXPECT_EQ(logger->getLog(4), QStringLiteral("pipe | inside"));
    EXPECT_EQ(logger->entry(4).ColorIndex, 3);
    EXPECT_EQ(logger->entry(4).StyleFlags, 2);
    EXPECT_EQ(logger->entry(5).StyleFlags, 16);
}

TEST(LoggerFiles, SaveOfAnEmptyLogOrCancelledDialogWritesNothing)
{
    QTemporaryDir dir;
    Logger logger;
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("There are no logs to save!"), PromptButton::Ok);
    logger.SaveLogs();
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("Log Empty"));

    logger.AddLog(QStringLiteral("x"), 0);
    prompts.expectFile(QStringLiteral("Save Log"), std::nullopt);
    logger.SaveLogs();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(LoggerFiles, ASaveThatCannotBeWrittenSaysSo)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    auto logger = MakeShownLogger();
    logger->AddLog(QStringLiteral("USER anonymous"), 0);

    // A folder that is not there, and a "folder" that is a file (no one may write there, root included).
    for (const QString &path : {dir.filePath(QStringLiteral("missing/session.log")), file + QStringLiteral("/session.log")}) {
        SCOPED_TRACE(path.toStdString());
        ScriptedPrompts prompts;
        prompts.expectFile(QStringLiteral("Save Log"), path)
            .expectMessage(QStringLiteral("The log could not be saved to file: ") + path, PromptButton::Ok);
        SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 1), Qt::RightButton, Qt::RightButton);
        ASSERT_TRUE(logger->popupMenu()->isVisible());
        logger->popupMenu()->hide();
        logger->saveAction()->trigger();
        EXPECT_TRUE(prompts.allUsed());
        ASSERT_FALSE(prompts.shown().empty());
        EXPECT_EQ(prompts.shown().back().title, QStringLiteral("Logger"));
        EXPECT_EQ(prompts.shown().back().icon, PromptIcon::Critical);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(logger->GetCount(), 1);
    }
}

TEST(LoggerFiles, DumpAppendsWithoutHeaderAndKeepsEntries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("FtpCmdLog.txt"));
    Logger logger;
    logger.AddLog(QStringLiteral("first"), 1);
    logger.DumpLogs(path);
    logger.AddLog(QStringLiteral("second"), 2, 4);
    logger.DumpLogs(path);
    EXPECT_EQ(logger.GetCount(), 2);

    const QStringList lines = TextCodec::SplitLines(TextCodec::Decode(ReadFileBytes(path)));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Saved By Logger On: ")));
    EXPECT_EQ(lines[1], QStringLiteral("first|1,0"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Saved By Logger On: ")));
    EXPECT_EQ(lines[4], QStringLiteral("second|2,4"));
}

TEST(LoggerFiles, FullBufferHandlerMayDumpBeforeClearing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("FtpCmdLog.txt"));
    Logger logger;
    logger.SetMaxLogs(2);
    QObject::connect(&logger, &Logger::BufferFull, &logger, [&](bool &clear) {
        logger.DumpLogs(path);
        clear = true;
    }, Qt::DirectConnection);
    logger.AddLog(QStringLiteral("a"), 0);
    logger.AddLog(QStringLiteral("b"), 0);
    EXPECT_TRUE(logger.AddLog(QStringLiteral("c"), 0));
    EXPECT_EQ(logger.GetCount(), 1);
    EXPECT_TRUE(ReadFileBytes(path).contains("a|0,0\r\nb|0,0\r\n"));
}

TEST(LoggerFiles, LoadAppliesTheAddRulesAndAppends)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.log"));
    // Colour 9 is skipped, style 40 becomes 23, a line without a bar is colour 0;
    // the last line is in the old single-byte encoding.
    ASSERT_TRUE(WriteFileBytes(path, "plain line\r\nskipped|9,0\nstyled|2,40\r\ncaf\xe9|1\r\n"));
    Logger logger;
    logger.AddLog(QStringLiteral("already here"), 6);
    logger.LoadLogs(path, true, false);
    ASSERT_EQ(logger.GetCount(), 4);
    EXPECT_EQ(logger.getLog(1), QStringLiteral("already here"));
    EXPECT_EQ(logger.getLog(2), QStringLiteral("plain line"));
    EXPECT_EQ(logger.getLog(3), QStringLiteral("styled"));
    EXPECT_EQ(logger.entry(3).StyleFlags, 23);
    EXPECT_EQ(logger.getLog(4), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(logger.entry(4).ColorIndex, 1);
}

TEST(LoggerFiles, BadNumberOrMissingFileEndsTheLoadKeepingWhatWasRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.log"));
    ASSERT_TRUE(WriteFileBytes(path, "one|1,0\r\ntwo|-3,0\r\nthree|2,0\r\n"));
    auto logger = MakeShownLogger();
    ScriptedPrompts prompts;
    prompts.expectMessage(QString(), PromptButton::Ok);
    logger->LoadLogs(path, false, true);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("Logger"));
    EXPECT_EQ(prompts.shown().back().icon, PromptIcon::Critical);
    ASSERT_EQ(logger->GetCount(), 1);
    EXPECT_EQ(logger->getLog(1), QStringLiteral("one"));
    // The pane draws again after the failed load.
    logger->AddLog(QStringLiteral("after"), 0);
    EXPECT_EQ(logger->GetCount(), 2);

    const QString missing = dir.filePath(QStringLiteral("missing.log"));
    prompts.expectMessage(QString(), PromptButton::Ok);
    logger->LoadLogs(missing, true, true);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().back().icon, PromptIcon::Critical);
    // Without messages nothing is shown (an unexpected prompt would fail the test).
    logger->LoadLogs(missing, true, false);
    EXPECT_EQ(logger->GetCount(), 2);
}

// The user-command record and its file: exact bytes, blank and short files,
// NUL-filled records, renumbering full saves and failed writes.
#include "DataRoot.h"
#include "TestFiles.h"
#include "UserCommandList.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray padded(const QByteArray &text, int width)
{
    return text + QByteArray(width - text.size(), ' ');
}

UserCommand makeCommand(const QString &name, const QString &verb)
{
    UserCommand command;
    command.Name = name;
    command.CommandText = verb;
    command.SuccessCode = QStringLiteral("2XX");
    command.FailureCode = QStringLiteral("5XX");
    return command;
}


class UserCommandFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("UsrCmd.dat"));
    UserCommandList list{path};
};

TEST_F(UserCommandFileTest, RecordHasTheFixedLayoutByteForByte)
{
    UserCommand command = makeCommand(QStringLiteral("Change mode"), QStringLiteral("CHMOD"));
    command.Argument = QStringLiteral("$attrib $file");
    command.Description = QStringLiteral("line one\r\nline two");
    command.HasArgument = 1;
    command.DirSlash = 0;
    command.FullPath = 1;
    command.Reload = 1;
    command.Site = 1;

    const QByteArray expected = padded("Change mode", 50) + padded("CHMOD", 250) + padded("$attrib $file", 250)
        + padded("2XX", 5) + padded("5XX", 5) + padded("line one\r\nline two", 500)
        + QByteArray("\x01\x00\x01\x01\x01", 5);
    ASSERT_EQ(expected.size(), UserCommand::RecordSize);
    EXPECT_EQ(command.toRecord(), expected);

    list[0] = command;
    ASSERT_TRUE(list.SaveUserCommand(0));
    EXPECT_EQ(ReadFileBytes(path), expected);

    UserCommandList again(path);
    again.LoadUserCommands();
    ASSERT_EQ(again.count(), 1);
    EXPECT_EQ(again[0].toRecord(), expected);
    EXPECT_EQ(again[0].Description.trimmed(), QStringLiteral("line one\r\nline two"));
}

TEST_F(UserCommandFileTest, LongTextIsCutAtTheFieldWidthNeverInsideACharacter)
{
    UserCommand command = makeCommand(QString(60, u'n'), QStringLiteral("NOOP"));
    EXPECT_EQ(command.toRecord().left(50), QByteArray(50, 'n'));

    // 49 bytes of ASCII and a two-byte character: the character does not fit and is dropped whole.
    command.Name = QString(49, u'a') + QStringLiteral("é");
    EXPECT_EQ(command.toRecord().left(50), QByteArray(49, 'a') + ' ');
    EXPECT_EQ(UserCommand::fitField(command.Name, UserCommand::NameWidth).trimmed(), QString(49, u'a'));
}

TEST_F(UserCommandFileTest, MissingEmptyAndShortFilesGiveOneBlankSlot)
{
    for (const QByteArray &content : {QByteArray(), QByteArray(1064, 'x')}) {
        if (!content.isNull()) {
            ASSERT_TRUE(WriteFileBytes(path, content));
        }
        list.LoadUserCommands();
        ASSERT_EQ(list.count(), 1);
        EXPECT_FALSE(list.hasCommands());
        EXPECT_EQ(list[0].Name, QString(50, u' '));
        EXPECT_EQ(list[0].HasArgument, 0);
    }
}

TEST_F(UserCommandFileTest, RecordCountDropsTheRemainderAndBlankRecordsStayInPlace)
{
    UserCommand first = makeCommand(QStringLiteral("First"), QStringLiteral("NOOP"));
    UserCommand second = makeCommand(QStringLiteral("Second"), QStringLiteral("SYST"));
    // 2200 bytes: two records and 70 bytes of rubbish; a NUL-filled record between would shift nothing.
    ASSERT_TRUE(WriteFileBytes(path, first.toRecord() + second.toRecord() + QByteArray(70, 'z')));
    list.LoadUserCommands();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list[1].Name.trimmed(), QStringLiteral("Second"));

    ASSERT_TRUE(WriteFileBytes(path, first.toRecord() + QByteArray(UserCommand::RecordSize, '\0') + second.toRecord()));
    list.LoadUserCommands();
    ASSERT_EQ(list.count(), 3);
    EXPECT_TRUE(list[1].isBlank());
    // NULs read as blanks, so trimming empties every text field.
    EXPECT_EQ(list[1].Name, QString(50, u' '));
    EXPECT_EQ(list[1].Description, QString(500, u' '));
    EXPECT_EQ(list[2].CommandText.trimmed(), QStringLiteral("SYST"));
}

TEST_F(UserCommandFileTest, RecordsOfOlderVersionsReadAsWindows1252)
{
    QByteArray record = makeCommand(QStringLiteral("x"), QStringLiteral("NOOP")).toRecord();
    record.replace(0, 5, QByteArray("Caf\xe9 ", 5));
    record[1060] = 7; // any non-zero flag byte counts as set
    ASSERT_TRUE(WriteFileBytes(path, record));
    list.LoadUserCommands();
    EXPECT_EQ(list[0].Name.trimmed(), QStringLiteral("Café"));
    EXPECT_NE(list[0].HasArgument, 0);
}

TEST_F(UserCommandFileTest, SingleSlotSaveRewritesOnlyItsRecord)
{
    UserCommand a = makeCommand(QStringLiteral("A"), QStringLiteral("NOOP"));
    UserCommand b = makeCommand(QStringLiteral("B"), QStringLiteral("SYST"));
    const QByteArray tail("leftover");
    ASSERT_TRUE(WriteFileBytes(path, a.toRecord() + b.toRecord() + tail));
    list.LoadUserCommands();

    list[1].CommandText = QStringLiteral("STAT");
    ASSERT_TRUE(list.SaveUserCommand(1));
    const QByteArray afterEdit = ReadFileBytes(path);
    EXPECT_EQ(afterEdit.left(1065), a.toRecord());
    EXPECT_EQ(afterEdit.mid(1065 + 50, 4), QByteArray("STAT"));
    EXPECT_EQ(afterEdit.mid(2130), tail);

    // A slot past the end extends the file.
    const qsizetype slot = list.append(makeCommand(QStringLiteral("C"), QStringLiteral("HELP")));
    ASSERT_TRUE(list.SaveUserCommand(static_cast<qint16>(slot)));
    const QByteArray afterAppend = ReadFileBytes(path);
    EXPECT_EQ(afterAppend.size(), 3 * 1065);
    EXPECT_EQ(afterAppend.mid(2130, 1), QByteArray("C"));
}

TEST_F(UserCommandFileTest, FullSaveWritesOnlyCommandsRenumbered)
{
    ASSERT_TRUE(WriteFileBytes(path, QByteArray(5 * 1065, 'q')));
    list[0] = makeCommand(QStringLiteral("A"), QStringLiteral("NOOP"));
    list.append(makeCommand(QStringLiteral("gap"), QStringLiteral("   ")));
    list.append(makeCommand(QStringLiteral("B"), QStringLiteral("SYST")));
    ASSERT_TRUE(list.SaveUserCommand(-1));
    const QByteArray bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 2 * 1065);
    EXPECT_EQ(bytes.left(1065), list[0].toRecord());
    EXPECT_EQ(bytes.mid(1065), list[2].toRecord());
    EXPECT_EQ(list.count(), 3); // the list itself is left alone

    UserCommandList onlyBlank(path);
    ASSERT_TRUE(onlyBlank.SaveUserCommand(-1));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).size(), 0);
    list.LoadUserCommands();
    EXPECT_EQ(list.count(), 1);
    EXPECT_FALSE(list.hasCommands());
}

TEST_F(UserCommandFileTest, FailedSaveReportsFalseLogsAndLeavesTheFile)
{
    // The file's folder cannot be made: a plain file stands where it should be.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    ASSERT_TRUE(WriteFileBytes(blocker, "x"));
    UserCommandList blocked(blocker + QStringLiteral("/UsrCmd.dat"));
    blocked[0] = makeCommand(QStringLiteral("A"), QStringLiteral("NOOP"));
    EXPECT_FALSE(blocked.SaveUserCommand(0));
    EXPECT_FALSE(blocked.SaveUserCommand(-1));
    EXPECT_FALSE(blocked.SaveUserCommand(4)); // no such slot
    const QByteArray log = ReadFileBytes(DataRoot::FileInRoot(QStringLiteral("error.log")));
    EXPECT_TRUE(log.contains("ModFTPTrelm.SaveUserCommand -->"));
}

} // namespace

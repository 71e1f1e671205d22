// Turning a user command into a command line: every placeholder, the one-pass
// rule, selection and prompt refusals, and the reply map.
#include "PermissionDialog.h"
#include "ScriptedPrompts.h"
#include "UserCommand.h"
#include "UserCommandBuilder.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QString kLabel = QStringLiteral("Enter the  argument for command 'Run it'");

UserCommand withArgument(const QString &verb, const QString &argument)
{
    UserCommand command;
    command.Name = UserCommand::fitField(QStringLiteral("Run it"), UserCommand::NameWidth);
    command.CommandText = UserCommand::fitField(verb, UserCommand::CommandTextWidth);
    command.Argument = UserCommand::fitField(argument, UserCommand::ArgumentWidth);
    command.SuccessCode = QStringLiteral(" 2XX ");
    command.FailureCode = QStringLiteral("5XX  ");
    command.HasArgument = 1;
    return command;
}

class UserCommandBuilderTest : public ::testing::Test
{
protected:
    UserCommandBuilder builder()
    {
        return UserCommandBuilder(&owner, [this](QWidget *, const QString &attributes, const QString &) {
            ++permissionAsks;
            askedAttributes = attributes;
            return permissionAnswer;
        });
    }

    QString lineFor(const UserCommand &command)
    {
        const std::optional<PreparedUserCommand> prepared = builder().build(command, context);
        return prepared ? prepared->commandLine : QStringLiteral("<nothing>");
    }

    QWidget owner;
    ScriptedPrompts prompts;
    UserCommandContext context{{{QStringLiteral("docs"), true, QStringLiteral("drwxr-x---")}},
                               QStringLiteral("/pub"), QStringLiteral("joe"), QStringLiteral("s3cret")};
    int permissionAnswer = 750;
    int permissionAsks = 0;
    QString askedAttributes;
};

TEST_F(UserCommandBuilderTest, EveryPlaceholderIsFilled)
{
    UserCommand command = withArgument(QStringLiteral("ALL"),
        QStringLiteral("$input|$num_input|$file_or_dir|$file|$dir|$attrib|$user|$pwd|$curdir"));
    command.Site = 1;
    command.DirSlash = 1;
    command.FullPath = 1;
    command.Reload = 1;
    prompts.expectInput(kLabel, QStringLiteral("hello world"));
    prompts.expectInput(kLabel, QStringLiteral(" 42.50abc"));

    const std::optional<PreparedUserCommand> prepared = builder().build(command, context);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(prepared->commandLine,
              QStringLiteral("SITE ALL hello world|42.5|/pub/docs/|/pub/docs/|/pub/docs/|750|joe|s3cret|$curdir"));
    EXPECT_EQ(prepared->replyMap, QStringLiteral("2XX[I]5XX[I]XXX[I]"));
    EXPECT_EQ(prepared->statusText, QStringLiteral("Run it"));
    EXPECT_TRUE(prepared->reload);
    ASSERT_EQ(prompts.shown().size(), 2u);
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("String Input"));
    EXPECT_EQ(prompts.shown()[1].title, QStringLiteral("Numeric Input"));
    EXPECT_EQ(askedAttributes, QStringLiteral("drwxr-x---"));
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(UserCommandBuilderTest, NumericInputKeepsTheLeadingNumber)
{
    const UserCommand command = withArgument(QStringLiteral("ALLO"), QStringLiteral("$num_input"));
    for (const auto &[typed, expected] : {std::pair{"12abc", "12"}, std::pair{"abc", "0"}, std::pair{"-3", "-3"},
                                          std::pair{"007", "7"}, std::pair{"", "0"}}) {
        prompts.expectInput(kLabel, QString::fromLatin1(typed));
        EXPECT_EQ(lineFor(command), QStringLiteral("ALLO ") + QString::fromLatin1(expected)) << typed;
    }
}

TEST_F(UserCommandBuilderTest, PlaceholdersIgnoreCaseAndAreReadOnce)
{
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("X"), QStringLiteral("$FILE $File_Or_Dir $DIR $USER"))),
              QStringLiteral("X docs docs docs joe"));

    // A name from the server that holds a placeholder is sent as it is, never filled in.
    context.selection = {{QStringLiteral("x$pwd"), false, {}}};
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("DELE"), QStringLiteral("$file"))), QStringLiteral("DELE x$pwd"));
    context.selection = {{QStringLiteral("$user$input"), false, {}}};
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("DELE"), QStringLiteral("$file"))), QStringLiteral("DELE $user$input"));

    // So is typed text, and a password holding a placeholder.
    prompts.expectInput(kLabel, QStringLiteral("$pwd"));
    context.password = QStringLiteral("p$user");
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("ECHO"), QStringLiteral("$input $pwd"))),
              QStringLiteral("ECHO $pwd p$user"));
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(UserCommandBuilderTest, SlashAndFullPathFollowTheFlagsAndTheTemplate)
{
    UserCommand command = withArgument(QStringLiteral("CWD"), QStringLiteral("$file_or_dir"));
    command.DirSlash = 1;
    EXPECT_EQ(lineFor(command), QStringLiteral("CWD docs/"));

    // "$file" alone gets no slash; a file never does.
    command.Argument = QStringLiteral("$file");
    EXPECT_EQ(lineFor(command), QStringLiteral("CWD docs"));
    command.Argument = QStringLiteral("$dir");
    context.selection = {{QStringLiteral("a.txt"), false, {}}};
    EXPECT_EQ(lineFor(command), QStringLiteral("CWD a.txt"));

    command.FullPath = 1;
    context.currentFolder = QStringLiteral("/");
    EXPECT_EQ(lineFor(command), QStringLiteral("CWD /a.txt"));
    context.currentFolder = QStringLiteral("/pub/");
    EXPECT_EQ(lineFor(command), QStringLiteral("CWD /pub/a.txt"));

    // Only the first selected item counts.
    context.selection.append({QStringLiteral("b.txt"), false, {}});
    EXPECT_EQ(lineFor(command), QStringLiteral("CWD /pub/a.txt"));
}

TEST_F(UserCommandBuilderTest, CommandWithoutArgumentIsSentAlone)
{
    UserCommand command = withArgument(QStringLiteral("  HELP  "), QStringLiteral("$input $file"));
    command.HasArgument = 0;
    context.selection.clear();
    EXPECT_EQ(lineFor(command), QStringLiteral("HELP"));
    command.Site = 1;
    EXPECT_EQ(lineFor(command), QStringLiteral("SITE HELP"));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(UserCommandBuilderTest, NameFromSelectionIsRequired)
{
    context.selection.clear();
    for (const QString &argument : {QStringLiteral("$file"), QStringLiteral("$DIR"), QStringLiteral("x $file_or_dir")}) {
        prompts.expectMessage(QStringLiteral("Command 'Run it' requires a file to be selected!"), PromptButton::Ok);
        EXPECT_EQ(lineFor(withArgument(QStringLiteral("DELE"), argument + QStringLiteral(" $input"))),
                  QStringLiteral("<nothing>"));
    }
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("Error!"));
    EXPECT_TRUE(prompts.allUsed()); // no input prompt came up

    // Placeholders that need no selection work without one.
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("USER"), QStringLiteral("$user"))), QStringLiteral("USER joe"));
}

TEST_F(UserCommandBuilderTest, CancelledOrRefusedAnswersSendNothing)
{
    const UserCommand both = withArgument(QStringLiteral("X"), QStringLiteral("$input $num_input"));
    prompts.expectInput(kLabel, std::nullopt);
    EXPECT_EQ(lineFor(both), QStringLiteral("<nothing>"));
    prompts.expectInput(kLabel, QStringLiteral("a"));
    prompts.expectInput(kLabel, std::nullopt);
    EXPECT_EQ(lineFor(both), QStringLiteral("<nothing>"));
    EXPECT_TRUE(prompts.allUsed());

    // An empty answer that was not cancelled is sent empty.
    prompts.expectInput(kLabel, QString());
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("X"), QStringLiteral("[$input]"))), QStringLiteral("X []"));

    const UserCommand chmod = withArgument(QStringLiteral("CHMOD"), QStringLiteral("$attrib $file"));
    permissionAnswer = kPermissionCancelled;
    EXPECT_EQ(lineFor(chmod), QStringLiteral("<nothing>"));
    for (int refused : {778, 1000, 758, 90, -1}) {
        permissionAnswer = refused;
        prompts.expectMessage(QStringLiteral("The supplied attribute was incorrect!"), PromptButton::Ok);
        EXPECT_EQ(lineFor(chmod), QStringLiteral("<nothing>")) << refused;
    }
    permissionAnswer = 5;
    EXPECT_EQ(lineFor(chmod), QStringLiteral("CHMOD 005 docs"));
    permissionAnswer = 777;
    EXPECT_EQ(lineFor(chmod), QStringLiteral("CHMOD 777 docs"));
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(UserCommandBuilderTest, LineBreaksNeverReachTheServer)
{
    prompts.expectInput(kLabel, QStringLiteral("a\r\nDELE b"));
    prompts.expectMessage(QStringLiteral("line break"), PromptButton::Ok);
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("X"), QStringLiteral("$input"))), QStringLiteral("<nothing>"));
    context.selection = {{QStringLiteral("a\nb"), false, {}}};
    prompts.expectMessage(QStringLiteral("line break"), PromptButton::Ok);
    EXPECT_EQ(lineFor(withArgument(QStringLiteral("X"), QStringLiteral("$file"))), QStringLiteral("<nothing>"));
    EXPECT_TRUE(prompts.allUsed());
}

} // namespace

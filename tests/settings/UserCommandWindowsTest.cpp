// The user-command windows on real widgets: listing, adding, editing and
// deleting commands, with the editor answered in place and prompts scripted.
#include "ScriptedPrompts.h"
#include "UserCommandList.h"
#include "frmCommandEditor.h"
#include "frmCustomCmd.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

struct EditorAnswer {
    QString name = QStringLiteral("List names");
    QString command = QStringLiteral("NLST");
    QString success = QStringLiteral("2XX");
    QString failure = QStringLiteral("5XX");
    QString argument;
    bool hasArgument = false;
    bool reload = false;
};

class UserCommandWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override { commands.LoadUserCommands(); }

    // Answers the next editor with these values and Save (or Cancel).
    void answerEditor(const EditorAnswer &answer, bool save = true)
    {
        window.setEditorRunner([this, answer, save](frmCommandEditor &editor) {
            ++editorsShown;
            captions << editor.windowTitle();
            seenName = editor.txtName->text();
            editor.txtName->setText(answer.name);
            editor.txtCmd->setText(answer.command);
            editor.txtOK->setText(answer.success);
            editor.txtFail->setText(answer.failure);
            editor.txtArg->setText(answer.argument);
            editor.ChkArg->setChecked(answer.hasArgument);
            editor.ChkReload->setChecked(answer.reload);
            (save ? editor.CmdSave : editor.CmdCancel)->click();
            editorVisibleAfter = editor.isVisible();
            editorTag = editor.Tag();
        });
    }

    QStringList rowKeys() const
    {
        QStringList keys;
        for (int i = 0; i < window.LV->topLevelItemCount(); ++i)
            keys << window.LV->topLevelItem(i)->data(0, frmCustomCmd::KeyRole).toString();
        return keys;
    }

    void addThree()
    {
        for (const char *name : {"First", "Second", "Third"}) {
            EditorAnswer answer;
            answer.name = QString::fromLatin1(name);
            answerEditor(answer);
            window.CmdAdd->click();
        }
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("UsrCmd.dat"));
    UserCommandList commands{path};
    ScriptedPrompts prompts;
    frmCustomCmd window{commands};
    int editorsShown = 0;
    QStringList captions;
    QString seenName;
    bool editorVisibleAfter = true;
    QString editorTag;
};

TEST_F(UserCommandWindowsTest, EmptyListShowsNoRowsAndEnterStartsNew)
{
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("User Commands"));
    EXPECT_EQ(window.LV->topLevelItemCount(), 0);
    EXPECT_FALSE(window.CmdEdit->isEnabled());
    EXPECT_FALSE(window.CmdDel->isEnabled());

    answerEditor({}, false);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(editorsShown, 1);
    EXPECT_EQ(captions.value(0), QStringLiteral("New User Command"));
    EXPECT_TRUE(window.Tag().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(UserCommandWindowsTest, FirstCommandTakesSlotZeroAndShowsItsRow)
{
    window.show();
    EditorAnswer answer;
    answer.name = QStringLiteral("  Chmod it  ");
    answer.command = QStringLiteral("CHMOD");
    answer.argument = QStringLiteral("$attrib $file");
    answer.hasArgument = true;
    answer.reload = true;
    answerEditor(answer);
    window.CmdAdd->click();

    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(window.Tag(), QStringLiteral("*"));
    EXPECT_EQ(QFile(path).size(), 1065);
    EXPECT_EQ(rowKeys(), QStringList{QStringLiteral("K0")});
    const QTreeWidgetItem *row = window.LV->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("Chmod it"));
    EXPECT_EQ(row->text(1), QStringLiteral("CHMOD"));
    EXPECT_EQ(row->text(2), QStringLiteral("$attrib $file"));
    EXPECT_EQ(row->text(3), QStringLiteral("2XX / 5XX"));
    EXPECT_EQ(row->text(4), QStringLiteral("Yes"));
    EXPECT_TRUE(row->isSelected());
    EXPECT_TRUE(window.CmdEdit->isEnabled());

    UserCommandList reread(path);
    reread.LoadUserCommands();
    EXPECT_EQ(reread[0].Name.trimmed(), QStringLiteral("Chmod it"));
    EXPECT_EQ(reread[0].HasArgument, 1);
    EXPECT_EQ(reread[0].Reload, 1);
}

TEST_F(UserCommandWindowsTest, EditorRefusesShortFieldsAndStaysOpen)
{
    struct Case {
        EditorAnswer answer;
        QString message;
    };
    EditorAnswer shortName;
    shortName.name = QStringLiteral(" x ");
    EditorAnswer shortSuccess;
    shortSuccess.success = QStringLiteral("2X");
    EditorAnswer noArgument;
    noArgument.hasArgument = true;
    for (const Case &c : {Case{shortName, QStringLiteral("'Friendly Name' must have atleast 2 characters!")},
                          Case{shortSuccess, QStringLiteral("'Success Code' must have atleast 3 characters!")},
                          Case{noArgument, QStringLiteral("'Argumen' must have atleast 1 characters!")}}) {
        prompts.expectMessage(c.message, PromptButton::Ok);
        answerEditor(c.answer);
        window.CmdAdd->click();
        EXPECT_TRUE(editorTag.isEmpty()) << c.message.toStdString();
        EXPECT_FALSE(commands.hasCommands());
    }
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("Error!"));
    EXPECT_EQ(prompts.shown().back().icon, PromptIcon::Critical);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(UserCommandWindowsTest, CodesAreCheckedForLengthOnlyAndUnusedArgumentIsKept)
{
    EditorAnswer answer;
    answer.success = QStringLiteral("2xx99");
    answer.failure = QStringLiteral("abc");
    answer.argument = QStringLiteral("$file"); // typed, then argument switched off
    answerEditor(answer);
    window.CmdAdd->click();
    EXPECT_EQ(editorTag, QStringLiteral("*"));
    EXPECT_FALSE(editorVisibleAfter);
    ASSERT_TRUE(commands.hasCommands());
    EXPECT_EQ(commands[0].SuccessCode, QStringLiteral("2xx99"));
    EXPECT_EQ(commands[0].FailureCode, QStringLiteral("abc  "));
    EXPECT_EQ(commands[0].Argument.trimmed(), QStringLiteral("$file"));
    EXPECT_EQ(commands[0].HasArgument, 0);
}

TEST_F(UserCommandWindowsTest, EditorStartsWithDefaultsAndArgumentControlsFollowTheBox)
{
    frmCommandEditor editor;
    EXPECT_EQ(editor.txtOK->text(), QStringLiteral("2XX"));
    EXPECT_EQ(editor.txtFail->text(), QStringLiteral("5XX"));
    for (QWidget *w : {static_cast<QWidget *>(editor.txtArg), static_cast<QWidget *>(editor.ChkDirSlash),
                       static_cast<QWidget *>(editor.ChkFullPath), static_cast<QWidget *>(editor.lblArg),
                       static_cast<QWidget *>(editor.lblConstantsHint), static_cast<QWidget *>(editor.lblDirSlashNote)})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_TRUE(editor.lblCodesHint->isEnabled());
    editor.ChkArg->click();
    EXPECT_TRUE(editor.txtArg->isEnabled());
    EXPECT_TRUE(editor.ChkFullPath->isEnabled());
    EXPECT_TRUE(editor.lblConstantsHint->isEnabled());

    editor.txtDesc->setPlainText(QString(600, u'd'));
    EXPECT_EQ(editor.txtDesc->toPlainText().size(), 500);

    // Esc cancels.
    editor.show();
    QTest::keyClick(&editor, Qt::Key_Escape);
    EXPECT_TRUE(editor.Tag().isEmpty());
    EXPECT_FALSE(editor.isVisible());
}

TEST_F(UserCommandWindowsTest, EditFillsTheEditorAndSavesInPlace)
{
    addThree();
    window.LV->setCurrentItem(window.LV->topLevelItem(1));
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    // Cancel leaves everything as it was.
    const UserCommand second = commands[1];
    EditorAnswer changed;
    changed.name = QStringLiteral("Renamed");
    changed.reload = true;
    answerEditor(changed, false);
    window.CmdEdit->click();
    EXPECT_EQ(captions.last(), QStringLiteral("Edit Command - Second"));
    EXPECT_EQ(seenName, QStringLiteral("Second"));
    EXPECT_EQ(commands[1].toRecord(), second.toRecord());

    // Double-click opens the editor of that row and Save rewrites its record only.
    answerEditor(changed);
    QTreeWidgetItem *row = window.LV->topLevelItem(1);
    emit window.LV->itemDoubleClicked(row, 0);
    EXPECT_EQ(captions.last(), QStringLiteral("Edit Command - Second"));
    EXPECT_EQ(row->text(0), QStringLiteral("Renamed"));
    EXPECT_EQ(row->text(4), QStringLiteral("Yes"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    EXPECT_EQ(after.left(1065), before.left(1065));
    EXPECT_EQ(after.mid(2130), before.mid(2130));
    EXPECT_EQ(after.mid(1065, 7), QByteArray("Renamed"));
}

TEST_F(UserCommandWindowsTest, DeletingTheSecondOfThreeRenumbersRows)
{
    addThree();
    window.LV->setCurrentItem(window.LV->topLevelItem(1));

    prompts.expectMessage(QStringLiteral("Delete the User Ftp Command: Second ?"), PromptButton::No);
    window.CmdDel->click();
    EXPECT_EQ(rowKeys().size(), 3);

    prompts.expectMessage(QStringLiteral("Delete the User Ftp Command: Second ?"), PromptButton::Yes);
    window.CmdDel->click();
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("Confirm ?"));
    EXPECT_EQ(prompts.shown().back().buttons, PromptButtons::YesNo);
    EXPECT_EQ(rowKeys(), (QStringList{QStringLiteral("K0"), QStringLiteral("K1")}));
    EXPECT_EQ(window.LV->topLevelItem(1)->text(0), QStringLiteral("Third"));
    EXPECT_EQ(commands.count(), 2);
    EXPECT_EQ(QFile(path).size(), 2 * 1065);
}

TEST_F(UserCommandWindowsTest, FailedSavesLeaveTheListAsOnDisk)
{
    addThree();
    // A plain file stands where the file's folder should be: every write fails.
    commands.setFilePath(dir.filePath(QStringLiteral("blocked/UsrCmd.dat")));
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    window.show();
    const QString tagBefore = window.Tag();
    EditorAnswer extra;
    extra.name = QStringLiteral("Fourth");
    answerEditor(extra);
    window.CmdAdd->click();
    EXPECT_EQ(commands.count(), 3);
    EXPECT_EQ(rowKeys().size(), 3);

    window.LV->setCurrentItem(window.LV->topLevelItem(0));
    const UserCommand first = commands[0];
    answerEditor(extra);
    window.CmdEdit->click();
    EXPECT_EQ(commands[0].toRecord(), first.toRecord());
    EXPECT_EQ(window.LV->topLevelItem(0)->text(0), QStringLiteral("First"));

    prompts.expectMessage(QStringLiteral("Delete the User Ftp Command: First ?"), PromptButton::Yes);
    window.CmdDel->click();
    EXPECT_EQ(commands[0].CommandText.trimmed(), QStringLiteral("NLST"));
    EXPECT_EQ(rowKeys().size(), 3);
    EXPECT_EQ(window.Tag(), tagBefore);
}

TEST_F(UserCommandWindowsTest, FailedFirstAddKeepsTheOtherSlots)
{
    // Slot 0 blank, slot 1 a command: a new command goes to slot 0.
    UserCommand later;
    later.Name = QStringLiteral("Later");
    later.CommandText = QStringLiteral("SYST");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1065, '\0') + later.toRecord());
    file.close();
    commands.LoadUserCommands();
    frmCustomCmd fresh(commands);
    EXPECT_EQ(fresh.LV->topLevelItemCount(), 1);

    commands.setFilePath(dir.filePath(QStringLiteral("UsrCmd.dat/x")));
    fresh.setEditorRunner([](frmCommandEditor &editor) {
        editor.txtName->setText(QStringLiteral("New one"));
        editor.txtCmd->setText(QStringLiteral("NOOP"));
        editor.CmdSave->click();
    });
    fresh.CmdAdd->click();
    ASSERT_EQ(commands.count(), 2);
    EXPECT_TRUE(commands[0].isBlank());
    EXPECT_EQ(commands[1].Name.trimmed(), QStringLiteral("Later"));
}

TEST(CommandEditorTest, StoredTextComesBackAsItWasShown)
{
    // A description of two lines, stored with CR LF as the record file holds it.
    UserCommand stored;
    stored.Name = QStringLiteral("Two lines");
    stored.CommandText = QStringLiteral("NOOP");
    stored.Description = QStringLiteral("line one\r\nline two");
    stored.clean();
    frmCommandEditor editor;
    editor.fillFrom(stored);
    EXPECT_EQ(editor.txtDesc->toPlainText(), QStringLiteral("line one\nline two"));
    UserCommand back;
    editor.copyInto(back);
    EXPECT_EQ(back.Description.trimmed(), QStringLiteral("line one\r\nline two"));

    // Fields hold bytes: text that would not fit cannot be entered, so what is
    // shown is what gets stored.
    editor.txtName->setText(QString(30, u'\u00e9')); // 60 bytes
    editor.txtDesc->setPlainText(QString(240, u'x') + QStringLiteral("\n") + QString(240, u'\u00e9'));
    editor.copyInto(back);
    EXPECT_EQ(UserCommand::fromRecord(back.toRecord()).Name.trimmed(), editor.txtName->text());
    EXPECT_EQ(editor.txtName->text(), QString(25, u'\u00e9'));
    QString shown = editor.txtDesc->toPlainText();
    EXPECT_EQ(UserCommand::fromRecord(back.toRecord()).Description.trimmed(), shown.replace(u'\n', QStringLiteral("\r\n")));
}

} // namespace

TEST_F(UserCommandWindowsTest, EditingACommandWithAnArgumentStartsAtItsNameWithWholeCaptions)
{
    EditorAnswer withArgument;
    withArgument.name = QStringLiteral("Change mode");
    withArgument.command = QStringLiteral("SITE CHMOD");
    withArgument.argument = QStringLiteral("$attrib $file");
    withArgument.hasArgument = true;
    answerEditor(withArgument);
    window.CmdAdd->click();
    window.LV->setCurrentItem(window.LV->topLevelItem(0));

    bool nameFocused = false;
    bool captionsWhole = false;
    window.setEditorRunner([&](frmCommandEditor &editor) {
        editor.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
        nameFocused = QApplication::focusWidget() == editor.txtName;
        captionsWhole = true;
        for (const char *name : {"lblName", "lblCmd", "lblDesc"}) {
            const QLabel *caption = editor.findChild<QLabel *>(name);
            captionsWhole = captionsWhole && caption && caption->width() >= caption->sizeHint().width();
        }
        editor.CmdCancel->click();
    });
    QTest::mouseClick(window.CmdEdit, Qt::LeftButton);
    EXPECT_TRUE(nameFocused);
    EXPECT_TRUE(captionsWhole);
}

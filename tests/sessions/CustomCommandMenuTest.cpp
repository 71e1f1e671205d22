// The remote pane's user-command menu: items carry their slots, and the list
// window's saved changes rebuild it however the window closes.
#include "CustomCommandMenu.h"
#include "WhenModal.h"
#include "ScriptedPrompts.h"
#include "UserCommandList.h"
#include "frmCommandEditor.h"
#include "frmCustomCmd.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

UserCommand command(const QString &name, const QString &verb)
{
    UserCommand c;
    c.Name = name;
    c.CommandText = verb;
    return c;
}

QStringList captions(const QMenu &menu)
{
    QStringList texts;
    for (const QAction *action : menu.actions())
        texts << action->text();
    return texts;
}

class CustomCommandMenuTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    UserCommandList commands{dir.filePath(QStringLiteral("UsrCmd.dat"))};
    QMenu menu;
    CustomCommandMenu component{commands, &menu};
    QWidget owner;
};

TEST_F(CustomCommandMenuTest, EmptyListShowsOneInactiveItem)
{
    component.BuildCustomCommandMenu();
    EXPECT_EQ(captions(menu), QStringList{QStringLiteral("<No Custom Command Available>")});
    EXPECT_FALSE(menu.actions().first()->isEnabled());
}

TEST_F(CustomCommandMenuTest, ItemsRunTheSlotTheyShow)
{
    commands[0] = command(QStringLiteral("  Alpha "), QStringLiteral("NOOP"));
    commands.append(command(QStringLiteral("free"), QStringLiteral("   ")));
    commands.append(command(QStringLiteral("Gamma"), QStringLiteral("SYST")));
    component.BuildCustomCommandMenu();
    component.BuildCustomCommandMenu(); // a rebuild replaces, never adds
    ASSERT_EQ(captions(menu), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));

    QSignalSpy chosen(&component, &CustomCommandMenu::commandChosen);
    menu.actions().at(1)->trigger();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first().first().toInt(), 2);
    EXPECT_EQ(menu.actions().at(1)->data().toInt(), 2);
}

TEST_F(CustomCommandMenuTest, SavedChangesRebuildTheMenuHoweverTheWindowCloses)
{
    component.BuildCustomCommandMenu();

    // Opened and closed without a change: the menu stays as it was.
    component.setListWindowRunner([](frmCustomCmd &window) { window.CmdClose->click(); });
    component.mnuCustomCmds_Click(&owner);
    EXPECT_EQ(captions(menu), QStringList{QStringLiteral("<No Custom Command Available>")});

    // A command added, then the window closed with Esc.
    component.setListWindowRunner([this](frmCustomCmd &window) {
        EXPECT_EQ(window.parentWidget(), &owner);
        window.setEditorRunner([](frmCommandEditor &editor) {
            editor.txtName->setText(QStringLiteral("Status"));
            editor.txtCmd->setText(QStringLiteral("STAT"));
            editor.CmdSave->click();
        });
        window.show();
        window.CmdAdd->click();
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    component.mnuCustomCmds_Click(&owner);
    EXPECT_EQ(captions(menu), QStringList{QStringLiteral("Status")});

    // After a deletion the remaining command moves to slot 0 and its item follows.
    commands.append(command(QStringLiteral("Help"), QStringLiteral("HELP")));
    ASSERT_TRUE(commands.SaveUserCommand(1));
    component.BuildCustomCommandMenu();
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Delete the User Ftp Command: Status ?"), PromptButton::Yes);
    component.setListWindowRunner([](frmCustomCmd &window) {
        window.LV->setCurrentItem(window.LV->topLevelItem(0));
        window.CmdDel->click();
    });
    component.mnuCustomCmds_Click(&owner);
    ASSERT_EQ(captions(menu), QStringList{QStringLiteral("Help")});
    EXPECT_EQ(menu.actions().first()->data().toInt(), 0);
}

TEST_F(CustomCommandMenuTest, ListWindowRunsModallyByDefault)
{
    CustomCommandMenu plain(commands, &menu);
    bool shown = false;
    WhenModal<frmCustomCmd>([&shown](frmCustomCmd &window) {
        shown = window.isVisible() && window.windowTitle() == QStringLiteral("User Commands");
        window.CmdClose->click();
    });
    plain.mnuCustomCmds_Click(&owner);
    EXPECT_TRUE(shown);
}

} // namespace

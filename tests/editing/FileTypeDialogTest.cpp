// The file-type dialog on real widgets: its Save rule, the reserved title and
// the duplicate checks against the list that opened it.
#include "FileHandlerCollection.h"
#include "FileHandlerOwner.h"
#include "ScriptedPrompts.h"
#include "frmFileType.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// A handler list standing in for the settings dialog.
class HandlerList final : public FileHandlerOwner
{
public:
    bool FileHandlerExist(const QString &key) const override { return handlers.ContainsKey(key); }
    bool AppTitleExist(const QString &title) const override
    {
        for (const FileHandler &h : handlers) {
            if (h.ApplicationTitle().compare(title, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    FileHandlerCollection handlers;
};

FileHandler Existing(const QString &patterns, qint16 action, const QString &title)
{
    FileHandler handler;
    handler.SetFilePatterns(patterns);
    handler.SetAction(action);
    handler.SetApplicationTitle(title);
    handler.SetApplicationPath("/usr/bin/" + title.toLower());
    return handler;
}

void Fill(frmFileType &dialog, const QString &patterns, int action, const QString &path, const QString &title)
{
    dialog.txtPattern->setText(patterns);
    dialog.CboAction->setCurrentIndex(action);
    dialog.txtAppPath->setText(path);
    dialog.txtTitle->setText(title);
}

} // namespace

TEST(FileTypeDialog, SaveNeedsPatternActionAndAnApplicationOrTheQuickEditor)
{
    HandlerList owner;
    frmFileType dialog;
    dialog.PrepareNew(&owner);
    EXPECT_EQ(dialog.windowTitle(), "New File Type / Action");
    EXPECT_FALSE(dialog.CmdOK->isEnabled());

    dialog.txtPattern->setText("*.txt");
    dialog.CboAction->setCurrentIndex(2);
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
    dialog.Check2->setChecked(true); // the default open action does not count
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
    dialog.Check1->setChecked(true);
    EXPECT_TRUE(dialog.CmdOK->isEnabled());
    dialog.Check1->setChecked(false);
    dialog.txtTitle->setText("Gedit");
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
    dialog.txtAppPath->setText("/usr/bin/gedit");
    EXPECT_TRUE(dialog.CmdOK->isEnabled());
    dialog.CboAction->setCurrentIndex(-1);
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
}

TEST(FileTypeDialog, SaveBuildsTheHandlerFromTheFields)
{
    HandlerList owner;
    frmFileType dialog;
    dialog.PrepareNew(&owner);
    Fill(dialog, "*.txt;*.md", 3, "/usr/bin/gedit", "Gedit");
    dialog.txtArg->setText("--new-window");
    dialog.Check1->setChecked(true);
    dialog.CmdOK->click();

    EXPECT_EQ(dialog.SaveTag(), "*");
    const FileHandler handler = dialog.GetHandler();
    EXPECT_EQ(handler.FilePatterns(), "*.txt;*.md");
    EXPECT_EQ(handler.Action(), 3);
    EXPECT_EQ(handler.ApplicationPath(), "/usr/bin/gedit");
    EXPECT_EQ(handler.ApplicationTitle(), "Gedit");
    EXPECT_EQ(handler.ApplicationFlags(), "--new-window");
    EXPECT_EQ(handler.InternalEditorEnabled(), 1);
    EXPECT_EQ(handler.SystemOpenEnabled(), 0);
}

TEST(FileTypeDialog, ReservedTitleIsRefusedInAnySpelling)
{
    HandlerList owner;
    for (const QString title : {"Quick Edit", "quick edit", "Quick. Edit."}) {
        ScriptedPrompts prompts;
        prompts.expectMessage("'Quick Edit' is predefined system title", PromptButton::Ok);
        frmFileType dialog;
        dialog.PrepareNew(&owner);
        Fill(dialog, "*.txt", 1, "/bin/ed", title);
        dialog.CmdOK->click();
        EXPECT_TRUE(dialog.SaveTag().isEmpty()) << title.toStdString();
    }
    frmFileType accepted;
    accepted.PrepareNew(&owner);
    Fill(accepted, "*.txt", 1, "/bin/ed", "Quick Edit 2");
    accepted.CmdOK->click();
    EXPECT_EQ(accepted.SaveTag(), "*");
}

TEST(FileTypeDialog, NewHandlerMustNotRepeatKeyOrTitle)
{
    HandlerList owner;
    owner.handlers.AddFileHandler(Existing("*.txt", 2, "Gedit"));

    ScriptedPrompts prompts;
    prompts.expectMessage("This file handler already exists!", PromptButton::Ok)
        .expectMessage("This Application Title is already in use!", PromptButton::Ok);
    frmFileType dialog;
    dialog.PrepareNew(&owner);
    Fill(dialog, "*.TXT", 2, "/usr/bin/kate", "Kate"); // same key, other application
    dialog.CmdOK->click();
    EXPECT_TRUE(dialog.SaveTag().isEmpty());
    Fill(dialog, "*.txt", 1, "/usr/bin/kate", "GEDIT");
    dialog.CmdOK->click();
    EXPECT_TRUE(dialog.SaveTag().isEmpty());
    dialog.txtTitle->setText("Kate");
    dialog.CmdOK->click();
    EXPECT_EQ(dialog.SaveTag(), "*");
    EXPECT_EQ(prompts.shown().at(0).title, "File Handler Already Exists");
    EXPECT_EQ(prompts.shown().at(1).title, "Application Title is not unique");
}

TEST(FileTypeDialog, EditTestsOnlyWhatChanged)
{
    HandlerList owner;
    const FileHandler gedit = Existing("*.txt", 2, "Gedit");
    owner.handlers.AddFileHandler(gedit);
    owner.handlers.AddFileHandler(Existing("*.log", 1, "Kate"));

    {   // Unchanged key and title: no duplicate test finds the handler itself.
        frmFileType dialog;
        dialog.PrepareEdit(&owner, gedit);
        EXPECT_EQ(dialog.windowTitle(), "Edit File Type / Action");
        EXPECT_EQ(dialog.txtPattern->text(), "*.txt");
        EXPECT_EQ(dialog.CboAction->currentIndex(), 2);
        dialog.txtAppPath->setText("/usr/bin/gedit2");
        dialog.CmdOK->click();
        EXPECT_EQ(dialog.SaveTag(), "*");
    }
    {   // Only the letter case of the title changed: the title test finds the handler itself.
        ScriptedPrompts prompts;
        prompts.expectMessage("This Application Title is already in use!", PromptButton::Ok);
        frmFileType dialog;
        dialog.PrepareEdit(&owner, gedit);
        dialog.txtTitle->setText("GEDIT");
        dialog.CmdOK->click();
        EXPECT_TRUE(dialog.SaveTag().isEmpty());
    }
    {   // A key that another handler holds.
        ScriptedPrompts prompts;
        prompts.expectMessage("This file handler already exists!", PromptButton::Ok);
        frmFileType dialog;
        dialog.PrepareEdit(&owner, gedit);
        dialog.txtPattern->setText("*.LOG");
        dialog.CboAction->setCurrentIndex(1);
        dialog.CmdOK->click();
        EXPECT_TRUE(dialog.SaveTag().isEmpty());
    }
}

TEST(FileTypeDialog, BrowsingFillsPathAndAnEmptyTitle)
{
    HandlerList owner;
    ScriptedPrompts prompts;
    prompts.expectFile("Select Application", QString("/opt/tools/NOTEPAD.EXE"))
        .expectFile("Select Application", QString("/usr/bin/other"))
        .expectFile("Select Application", std::nullopt);
    frmFileType dialog;
    dialog.PrepareNew(&owner);
    dialog.CmdFile->click();
    EXPECT_EQ(dialog.txtAppPath->text(), "/opt/tools/NOTEPAD.EXE");
    EXPECT_EQ(dialog.txtTitle->text(), "Notepad");
    dialog.CmdFile->click(); // the title is kept once set
    EXPECT_EQ(dialog.txtAppPath->text(), "/usr/bin/other");
    EXPECT_EQ(dialog.txtTitle->text(), "Notepad");
    dialog.CmdFile->click(); // cancelled: nothing changes
    EXPECT_EQ(dialog.txtAppPath->text(), "/usr/bin/other");
}

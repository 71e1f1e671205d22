// The settings dialog on real widgets, with prompts answered from a script and
// the file-type dialog driven while it runs modally.
#include "CBase64.h"
#include "ConfigTestSupport.h"
#include "FileHandler.h"
#include "ScriptedPrompts.h"
#include "SettingsFile.h"
#include "WhenModal.h"
#include "FrmEdit.h"
#include "frmConfigure.h"
#include "frmFileType.h"
#include "FontChooser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// While it lives, acts on the file-type dialog as soon as that runs modally,
// then closes it if the action left it open. Outside a modal run it does nothing.
class FileTypeDialogDriver
{
public:
    explicit FileTypeDialogDriver(std::function<void(frmFileType &)> act) : m_act(std::move(act))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<frmFileType *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            m_timer.stop();
            ++m_runs;
            m_act(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        m_timer.start(0);
    }
    int runs() const { return m_runs; }

private:
    std::function<void(frmFileType &)> m_act;
    QTimer m_timer;
    int m_runs = 0;
};

void FillHandler(frmFileType &dialog, const QString &patterns, int action, const QString &title)
{
    dialog.txtPattern->setText(patterns);
    dialog.CboAction->setCurrentIndex(action);
    dialog.txtAppPath->setText("/usr/bin/" + title.toLower());
    dialog.txtTitle->setText(title);
}

// "Add" on the settings dialog, with the file-type dialog filled in and saved.
void AddThroughFileTypeDialog(frmConfigure &dialog, const QString &patterns, int action, const QString &title)
{
    FileTypeDialogDriver driver([&](frmFileType &d) {
        FillHandler(d, patterns, action, title);
        d.CmdOK->click();
    });
    dialog.CmdAdd->click();
}

QStringList RowTexts(const QTreeWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
    }
    return rows;
}

class ConfigureDialogTest : public SettingsFileFixture
{
protected:
    ScriptedPrompts prompts; // any prompt a test does not expect fails it
};

} // namespace

TEST_F(ConfigureDialogTest, FirstOpeningShowsDefaultsAndSwitchesPages)
{
    frmConfigure dialog;
    EXPECT_EQ(dialog.windowTitle(), "Configure Ftp Qor");
    for (const auto *page : {&dialog.Check1, &dialog.ChkTask, &dialog.ChkHist, &dialog.ChkSyst}) {
        for (int i = 0; i < page->size(); ++i)
            EXPECT_EQ(page->at(i)->isChecked(), page == &dialog.ChkTask && i == 8) << page->at(i)->text().toStdString();
    }
    EXPECT_EQ(dialog.ChkSyst.at(3)->text(), "Prompt && Upload files edited with external editors");
    EXPECT_FALSE(dialog.LVEditor->isEnabled());
    EXPECT_FALSE(dialog.CmdAdd->isEnabled());
    EXPECT_FALSE(dialog.txtSound.at(0)->isEnabled());
    EXPECT_EQ(dialog.lblFont.at(0)->font().family(), "Courier New");
    EXPECT_EQ(dialog.lblFont.at(3)->font().pointSizeF(), 6.75);
    EXPECT_EQ(dialog.lblFont.at(4)->text(), "Courier New, 9");
    EXPECT_FALSE(dialog.lblWarn->isVisibleTo(&dialog));

    EXPECT_EQ(dialog.Label1->text(), "General");
    EXPECT_EQ(dialog.Label10->text(), "- Most frequent options to control Ftp Qor");
    dialog.List1->setCurrentRow(4);
    EXPECT_EQ(dialog.Label1->text(), "Sound Alert");
    EXPECT_EQ(dialog.Label10->text(), "- Sound alerts can help you manage it better");
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(dialog.Frame1.at(j)->isVisibleTo(&dialog), j == 4) << j;
    dialog.List1->setCurrentRow(5);
    EXPECT_EQ(dialog.Label1->text(), "Fonts");
    EXPECT_TRUE(dialog.Label10->text().isEmpty());
    dialog.ShowSessionWarning(true);
    EXPECT_TRUE(dialog.lblWarn->isVisibleTo(&dialog));
}

TEST_F(ConfigureDialogTest, StoredSettingsShowAndOkWritesThemBackUnchanged)
{
    PutSettingsFile(kGoldenSettings);
    frmConfigure dialog; // enabled alerts with paths open no file chooser
    EXPECT_TRUE(dialog.Check1.at(0)->isChecked());
    EXPECT_FALSE(dialog.Check1.at(1)->isChecked());
    EXPECT_TRUE(dialog.ChkSyst.at(2)->isChecked());
    EXPECT_EQ(RowTexts(dialog.LVEditor),
              QStringList({"*.txt;*.log|View / Edit|/usr/bin/gedit", "*.html|View|/usr/bin/firefox"}));
    EXPECT_TRUE(dialog.ChkSound.at(0)->isChecked());
    EXPECT_TRUE(dialog.txtSound.at(0)->isEnabled());
    EXPECT_EQ(dialog.txtSound.at(0)->text(), "/tmp/sounds/connected.wav");
    EXPECT_EQ(dialog.txtSound.at(2)->text(), "/tmp/sounds/done.wav");
    EXPECT_FALSE(dialog.txtSound.at(2)->isEnabled());
    EXPECT_EQ(dialog.lblFont.at(3)->text(), "Tahoma,6.75");
    EXPECT_EQ(dialog.lblFont.at(4)->font().pointSizeF(), 12);

    RemoveSettingsFile();
    dialog.OKButton->click();
    EXPECT_EQ(dialog.OKButtonTag(), "*");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(SettingsFileBytes(), kGoldenSettings);
}

TEST_F(ConfigureDialogTest, CancelLeavesTheFileUntouched)
{
    PutSettingsFile(kGoldenSettings);
    frmConfigure dialog;
    dialog.Check1.at(1)->setChecked(true);
    dialog.ChkFont.at(1)->setChecked(true);
    dialog.CancelButton->click();
    EXPECT_TRUE(dialog.OKButtonTag().isEmpty());
    EXPECT_EQ(SettingsFileBytes(), kGoldenSettings);
}

TEST_F(ConfigureDialogTest, DigitsOtherThanOneShowUnchecked)
{
    PutSettingsFile("[General]\r\nValue=21\r\n[Sound]\r\nSoundAlert=2{/x.wav}\r\n[Fonts]\r\nFont=2{Arial,8}\r\n");
    frmConfigure dialog;
    EXPECT_FALSE(dialog.Check1.at(0)->isChecked());
    EXPECT_TRUE(dialog.Check1.at(1)->isChecked());
    EXPECT_FALSE(dialog.ChkSound.at(0)->isChecked());
    EXPECT_FALSE(dialog.ChkFont.at(0)->isChecked());
    EXPECT_EQ(dialog.lblFont.at(0)->font().family(), "Arial");
}

TEST_F(ConfigureDialogTest, HandlerButtonsFollowTheEditorOptionAndSelection)
{
    PutSettingsFile(kGoldenSettings);
    frmConfigure dialog;
    EXPECT_TRUE(dialog.LVEditor->isEnabled());
    EXPECT_TRUE(dialog.CmdAdd->isEnabled());
    EXPECT_FALSE(dialog.CmdEdit->isEnabled());
    dialog.LVEditor->setCurrentItem(dialog.LVEditor->topLevelItem(1));
    EXPECT_TRUE(dialog.CmdEdit->isEnabled());
    EXPECT_TRUE(dialog.CmdRem->isEnabled());
    dialog.ChkSyst.at(2)->click();
    EXPECT_FALSE(dialog.LVEditor->isEnabled());
    EXPECT_FALSE(dialog.CmdAdd->isEnabled());
    EXPECT_FALSE(dialog.CmdEdit->isEnabled());
    EXPECT_FALSE(dialog.CmdRem->isEnabled());
}

TEST_F(ConfigureDialogTest, HandlersAreAddedEditedAndDeleted)
{
    frmConfigure dialog;
    dialog.ChkSyst.at(2)->click();

    {   // The reserved title first, then a good one.
        prompts.expectMessage("'Quick Edit' is predefined system title", PromptButton::Ok);
        FileTypeDialogDriver driver([](frmFileType &d) {
            FillHandler(d, "*.txt", 2, "Quick Edit");
            d.CmdOK->click();
            d.txtTitle->setText("Gedit");
            d.txtAppPath->setText("/usr/bin/gedit");
            d.CmdOK->click();
        });
        dialog.CmdAdd->click();
        EXPECT_EQ(driver.runs(), 1);
    }
    {   // Same patterns and action as the first: refused by the file-type dialog.
        prompts.expectMessage("This file handler already exists!", PromptButton::Ok);
        AddThroughFileTypeDialog(dialog, "*.TXT", 2, "Kate");
    }
    {   // A title already used, in other letter case.
        prompts.expectMessage("This Application Title is already in use!", PromptButton::Ok);
        AddThroughFileTypeDialog(dialog, "*.log", 1, "GEDIT");
    }
    AddThroughFileTypeDialog(dialog, "*.log", 1, "Kate");
    EXPECT_EQ(RowTexts(dialog.LVEditor), QStringList({"*.txt|Edit|/usr/bin/gedit", "*.log|View|/usr/bin/kate"}));

    {   // Edit the first: it is shown filled in, and comes back as the last row, selected.
        dialog.LVEditor->setCurrentItem(dialog.LVEditor->topLevelItem(0));
        FileTypeDialogDriver driver([](frmFileType &d) {
            EXPECT_EQ(d.windowTitle(), "Edit File Type / Action");
            EXPECT_EQ(d.txtTitle->text(), "Gedit");
            d.txtPattern->setText("*.md");
            d.CmdOK->click();
        });
        dialog.CmdEdit->click();
        EXPECT_EQ(driver.runs(), 1);
    }
    EXPECT_EQ(RowTexts(dialog.LVEditor), QStringList({"*.log|View|/usr/bin/kate", "*.md|Edit|/usr/bin/gedit"}));
    EXPECT_EQ(dialog.LVEditor->currentItem(), dialog.LVEditor->topLevelItem(1));
    EXPECT_EQ(dialog.Handlers().Count(), 2);
    FileHandler md;
    md.SetFilePatterns("*.md");
    md.SetAction(2);
    EXPECT_TRUE(dialog.FileHandlerExist(md.UniqueID()));
    EXPECT_TRUE(dialog.AppTitleExist("kate"));

    {   // An edit cancelled changes nothing.
        FileTypeDialogDriver driver([](frmFileType &d) {
            d.txtPattern->setText("*.zzz");
            d.CmdCnc->click();
        });
        dialog.CmdEdit->click();
    }
    EXPECT_EQ(dialog.Handlers().Item(2).FilePatterns(), "*.md");

    prompts.expectMessage("Delete the selected file action ?", PromptButton::No)
        .expectMessage("Delete the selected file action ?", PromptButton::Yes);
    dialog.LVEditor->setCurrentItem(dialog.LVEditor->topLevelItem(0));
    dialog.CmdRem->click();
    EXPECT_EQ(dialog.LVEditor->topLevelItemCount(), 2);
    dialog.CmdRem->click();
    EXPECT_EQ(RowTexts(dialog.LVEditor), QStringList({"*.md|Edit|/usr/bin/gedit"}));
    EXPECT_FALSE(dialog.AppTitleExist("Kate"));
    EXPECT_EQ(prompts.shown().back().title, "Delete ?");

    dialog.OKButton->click();
    frmConfigure reopened;
    EXPECT_EQ(RowTexts(reopened.LVEditor), QStringList({"*.md|Edit|/usr/bin/gedit"}));
    EXPECT_TRUE(reopened.ChkSyst.at(2)->isChecked());
}

TEST_F(ConfigureDialogTest, OnlyTwentyHandlersAreShownAndNoneIsAdded)
{
    QByteArray text = "[System]\r\nValue=00100\r\n";
    for (int i = 0; i < 21; ++i) {
        FileHandler handler;
        handler.SetFilePatterns(QString("*.e%1").arg(i));
        handler.SetAction(1);
        handler.SetApplicationTitle(QString("T%1").arg(i));
        text += "FileHandler={" + CBase64().ToBase64Ex(handler.GetPackedData()).toLatin1() + "}\r\n";
    }
    PutSettingsFile(text);
    frmConfigure dialog;
    EXPECT_EQ(dialog.LVEditor->topLevelItemCount(), 20);
    prompts.expectMessage("More than 20 handlers not supported!", PromptButton::Ok);
    FileTypeDialogDriver driver([](frmFileType &) { ADD_FAILURE() << "the file-type dialog opened"; });
    dialog.CmdAdd->click();
    EXPECT_EQ(driver.runs(), 0);
    EXPECT_EQ(prompts.shown().back().title, "Ftp Qor");
}

TEST_F(ConfigureDialogTest, CheckedAlertNeedsASoundFile)
{
    frmConfigure dialog;
    prompts.expectFile("Select Sound File", std::nullopt);
    dialog.ChkSound.at(1)->click();
    EXPECT_TRUE(dialog.ChkSound.at(1)->isChecked());
    EXPECT_TRUE(dialog.txtSound.at(1)->isEnabled());
    EXPECT_TRUE(dialog.txtSound.at(1)->text().isEmpty());

    prompts.expectMessage("You have not selected sound file!", PromptButton::Ok);
    dialog.OKButton->click();
    EXPECT_TRUE(dialog.OKButtonTag().isEmpty());
    EXPECT_TRUE(SettingsFileBytes().isEmpty());

    prompts.expectFile("Select Sound File", QString("/snd/disconnected.wav"));
    dialog.CmdSound.at(1)->click();
    dialog.OKButton->click();
    EXPECT_EQ(dialog.OKButtonTag(), "*");
    EXPECT_TRUE(SettingsFileBytes().contains("[Sound]\r\nSoundAlert=0{}\r\nSoundAlert=1{/snd/disconnected.wav}\r\n"));

    // Clearing the box disables the row without asking anything.
    dialog.ChkSound.at(1)->click();
    EXPECT_FALSE(dialog.txtSound.at(1)->isEnabled());
}

TEST_F(ConfigureDialogTest, ChosenFontsAreKeptWithinTheirSizeRanges)
{
    frmConfigure dialog;
    prompts.expectFont(QFont("DejaVu Sans", 20))
        .expectFont(QFont("DejaVu Sans Mono", 20))
        .expectFont(QFont("Liberation Serif", 5))
        .expectFont(std::nullopt);
    dialog.CmdFont.at(0)->click();
    dialog.CmdFont.at(4)->click();
    dialog.CmdFont.at(3)->click();
    dialog.CmdFont.at(1)->click(); // cancelled
    EXPECT_EQ(dialog.lblFont.at(0)->text(), "DejaVu Sans, 9");
    EXPECT_EQ(dialog.lblFont.at(4)->font().pointSizeF(), 14);
    EXPECT_EQ(dialog.lblFont.at(3)->text(), "Liberation Serif, 7");
    EXPECT_EQ(dialog.lblFont.at(1)->text(), "Arial, 8.25");

    dialog.ChkFont.at(0)->setChecked(true);
    dialog.OKButton->click();
    EXPECT_TRUE(SettingsFileBytes().endsWith("[Fonts]\r\nFont=1{DejaVu Sans,9}\r\nFont=0{Arial,8.25}\r\n"
                                             "Font=0{Arial,8.25}\r\nFont=0{Liberation Serif,7}\r\n"
                                             "Font=0{DejaVu Sans Mono,14}\r\n"));
}

TEST_F(ConfigureDialogTest, OkWritesTheCheckBoxDigits)
{
    frmConfigure dialog;
    dialog.Check1.at(11)->setChecked(true);
    dialog.ChkTask.at(8)->setChecked(false);
    dialog.ChkTask.at(0)->setChecked(true);
    dialog.ChkHist.at(6)->setChecked(true);
    dialog.ChkSyst.at(1)->setChecked(true);
    dialog.OKButton->click();
    EXPECT_TRUE(SettingsFileBytes().startsWith("'--- Application generated file, Please do not edit -----\r\n"
                                               "[General]\r\nValue=000000000001\r\n[job]\r\nValue=10000000000\r\n"
                                               "[History]\r\nValue=0000001\r\n[System]\r\nValue=01000\r\n"
                                               "[Sound]\r\n"));
}

TEST_F(ConfigureDialogTest, FailedSaveIsToldAndNotAccepted)
{
    PutSettingsFile(kGoldenSettings);
    frmConfigure dialog;
    RemoveSettingsFile();
    QDir().mkpath(SettingsFilePath()); // a folder where the file should be
    prompts.expectMessage("The settings could not be saved!", PromptButton::Ok);
    dialog.OKButton->click();
    EXPECT_TRUE(dialog.OKButtonTag().isEmpty());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(ConfigureDialogTest, DoubleClickOnAPageOpensTheEditorWithNothingToUpload)
{
    frmConfigure dialog;
    dialog.show();
    bool uploadEnabled = true;
    QString caption;
    WhenModal<FrmEdit>([&](FrmEdit &editor) {
        QTest::keyClicks(editor.Text1, "scratch");
        uploadEnabled = editor.OKButton->isEnabled();
        caption = editor.windowTitle();
        prompts.expectMessage("Close without uploading ?", PromptButton::Yes);
        editor.close();
    });
    QFrame *page = dialog.Frame1.at(0);
    QTest::mouseDClick(page, Qt::LeftButton, {}, QPoint(page->width() - 3, page->height() - 3));
    EXPECT_FALSE(uploadEnabled);
    EXPECT_EQ(caption, "Ftp Editor*");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(prompts.allUsed());
}

TEST(FontChooserTest, OffersOnlyTheSizesItsSlotWillUse)
{
    frmConfigure dialog;
    dialog.show();
    const auto choose = [&](int row, const QString &size) {
        QStringList offered;
        WhenModal<FontChooser>([&](FontChooser &chooser) {
            for (int i = 0; i < chooser.lstSize->count(); ++i)
                offered << chooser.lstSize->item(i)->text();
            const QList<QListWidgetItem *> wanted = chooser.lstSize->findItems(size, Qt::MatchExactly);
            if (!wanted.isEmpty()) {
                QTest::mouseClick(chooser.lstSize->viewport(), Qt::LeftButton, Qt::NoModifier,
                                  chooser.lstSize->visualItemRect(wanted.first()).center());
            }
            EXPECT_EQ(chooser.lblSample->font().pointSize(), size.toInt());
            chooser.buttons->button(QDialogButtonBox::Ok)->click();
        });
        QTest::mouseClick(dialog.CmdFont.at(row), Qt::LeftButton);
        return offered;
    };
    EXPECT_EQ(choose(0, "9"), QStringList({"7", "8", "9"}));
    EXPECT_TRUE(dialog.lblFont.at(0)->text().endsWith(", 9"));
    EXPECT_EQ(choose(4, "14"), QStringList({"7", "8", "9", "10", "11", "12", "13", "14"}));
    EXPECT_TRUE(dialog.lblFont.at(4)->text().endsWith(", 14"));
    EXPECT_EQ(dialog.lblFont.at(4)->font().pointSizeF(), 14);
}

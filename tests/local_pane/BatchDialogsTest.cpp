#include "ProgressOwner.h"
#include "ScriptedPrompts.h"
#include "WhenModal.h"
#include "frmFileConfirm.h"
#include "frmOverwrite.h"
#include "frmProgress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// ---- overwrite question ----

QString askOnce(std::function<void(frmOverwrite &)> action, int countdown = 11, int tickMs = 60000)
{
    frmOverwrite dialog(nullptr, countdown, tickMs);
    dialog.SetFileName(QStringLiteral("a.txt"));
    if (action)
        WhenModal<frmOverwrite>(action);
    dialog.exec();
    return dialog.Tag();
}

TEST(OverwriteDialog, CountsDownFromElevenToZeroThenOverwrites)
{
    frmOverwrite dialog(nullptr, frmOverwrite::kCountdownStart, 1);
    QStringList lines{dialog.lblTime->text()};
    QObject::connect(&dialog.Timer1, &QTimer::timeout, &dialog, [&] { lines << dialog.lblTime->text(); });
    EXPECT_TRUE(dialog.lblInfo->text().isEmpty());
    dialog.SetFileName(QStringLiteral("x.bin"));
    EXPECT_EQ(dialog.lblInfo->text(), QStringLiteral("Do you wish to overwrite existing file\r\n'x.bin' ?"));
    dialog.exec();
    EXPECT_EQ(dialog.Tag(), QStringLiteral("1"));
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.first(), QStringLiteral("Failing to respond within 11 seconds will overwrite this file !"));
    EXPECT_EQ(lines.last(), QStringLiteral("Failing to respond within 0 seconds will overwrite this file !"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Confirm"));
}

TEST(OverwriteDialog, ButtonsLeaveTheirCodesAndClosingLeavesNothing)
{
    EXPECT_EQ(askOnce([](frmOverwrite &d) { d.CmdOK->click(); }), QStringLiteral("1"));
    EXPECT_EQ(askOnce([](frmOverwrite &d) { d.CmdOKAll->click(); }), QStringLiteral("*"));
    EXPECT_EQ(askOnce([](frmOverwrite &d) { d.CmdStop->click(); }), QStringLiteral("-1"));
    EXPECT_EQ(askOnce([](frmOverwrite &d) { d.CmdStopAll->click(); }), QStringLiteral("-*"));
    EXPECT_EQ(askOnce([](frmOverwrite &d) { d.close(); }), QString());
    // A countdown that is over before the dialog shows still ends the display.
    EXPECT_EQ(askOnce({}, 0, 60000), QStringLiteral("1"));
}

// ---- progress dialog ----

struct RecordingOwner : ProgressOwner
{
    QStringList calls;
    std::function<void()> onCall;
    void record(const QString &what, int slot)
    {
        calls << what + QString::number(slot);
        if (onCall)
            onCall();
    }
    void CreateRemoteFolders(int slot) override { record(QStringLiteral("mkdirs"), slot); }
    void RunListFiles(int slot) override { record(QStringLiteral("walk"), slot); }
    void RunUploads(int slot) override { record(QStringLiteral("up"), slot); }
    void RunDownloads(int slot) override { record(QStringLiteral("down"), slot); }
    void RunDeletes(int slot) override { record(QStringLiteral("del"), slot); }
    void StopListFiles(int slot) override { record(QStringLiteral("stop"), slot); }
};

TEST(ProgressDialog, FirstStepRunsOnceShownAndAnEndInsideItEndsTheDisplay)
{
    RecordingOwner owner;
    frmProgress dialog;
    // The first upload ends inside its call: the display must still end.
    owner.onCall = [&] {
        dialog.Inform(2, QStringLiteral("c.txt"));
        dialog.Finish();
    };
    dialog.ShowAction(&owner, nullptr, false, 1, frmProgress::kUpload, 10);
    EXPECT_EQ(owner.calls, QStringList{QStringLiteral("up1")});
    EXPECT_EQ(dialog.Label1[0]->text(), QStringLiteral("Uploading file: c.txt"));
    EXPECT_EQ(dialog.Label1[1]->text(), QStringLiteral("Uploading 3 of 10"));
    EXPECT_EQ(dialog.PB->value(), 3);
    EXPECT_TRUE(dialog.Command1->isEnabled());
}

TEST(ProgressDialog, CloseEndsTheDisplayOnlyAndStaysOffWhileFoldersAndTheirTransfersRun)
{
    RecordingOwner owner;
    ScriptedPrompts prompts;
    frmProgress made;
    WhenModal<frmProgress>([&](frmProgress &shown) {
        EXPECT_EQ(owner.calls, QStringList{QStringLiteral("mkdirs0")});
        EXPECT_FALSE(shown.Command1->isEnabled());
        EXPECT_EQ(shown.Label1[0]->text(), QStringLiteral("Creating remote folders"));
        shown.FoldersDone();
        EXPECT_FALSE(shown.Command1->isEnabled()); // the transfers after the folders keep it off
        QTest::keyClick(&shown, Qt::Key_Escape);
        shown.close();
        EXPECT_TRUE(shown.isVisible());
        shown.Finish();
    });
    made.ShowAction(&owner, nullptr, true, 0, frmProgress::kUpload, 4);
    EXPECT_EQ(owner.calls, (QStringList{QStringLiteral("mkdirs0"), QStringLiteral("up0")}));
    EXPECT_TRUE(prompts.shown().empty()); // no walk, no question

    owner.calls.clear();
    frmProgress dialog;
    WhenModal<frmProgress>([&](frmProgress &shown) {
        EXPECT_TRUE(shown.Command1->isEnabled());
        shown.Command1->click();
    });
    dialog.ShowAction(&owner, nullptr, false, 0, frmProgress::kDownload, 4);
    EXPECT_EQ(owner.calls, QStringList{QStringLiteral("down0")});
    EXPECT_FALSE(dialog.isVisible());
    // Later steps may still report to the hidden dialog.
    dialog.Inform(1, QStringLiteral("b"));
    EXPECT_EQ(dialog.Label1[1]->text(), QStringLiteral("Downloading 2 of 4"));
}

TEST(ProgressDialog, AWalkAsksBeforeItStopsAndDeleteNamesTheKind)
{
    RecordingOwner owner;
    ScriptedPrompts prompts;
    prompts.expectMessage(frmProgress::kStopWalkText, PromptButton::No)
        .expectMessage(frmProgress::kStopWalkText, PromptButton::Yes);
    frmProgress walk;
    WhenModal<frmProgress>([&](frmProgress &shown) {
        EXPECT_EQ(shown.Label1[0]->text(), QStringLiteral("Listing files and folders from remote system..."));
        EXPECT_FALSE(shown.Command1->isEnabled());
        shown.close(); // the close box asks; No: the walk goes on with its display
        EXPECT_TRUE(shown.isVisible());
        EXPECT_FALSE(shown.WalkCancelled);
        QTest::keyClick(&shown, Qt::Key_Escape); // Yes: the owner stops the walk
        EXPECT_TRUE(shown.WalkCancelled);
        EXPECT_EQ(owner.calls.last(), QStringLiteral("stop1"));
        shown.Finish();
    });
    walk.ShowAction(&owner, nullptr, false, 1, frmProgress::kListFolders, 1);
    EXPECT_EQ(owner.calls, (QStringList{QStringLiteral("walk1"), QStringLiteral("stop1")}));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), 2u);
    EXPECT_EQ(prompts.shown().front().buttons, PromptButtons::YesNo);

    frmProgress del;
    owner.onCall = [&] {
        del.Inform(0, QStringLiteral("/a/b") + QChar(1) + QStringLiteral("D"));
        EXPECT_EQ(del.Label1[0]->text(), QStringLiteral("Deleting directory: /a/b"));
        del.Inform(1, QStringLiteral("c.txt"));
        EXPECT_EQ(del.Label1[0]->text(), QStringLiteral("Deleting file: c.txt"));
        EXPECT_EQ(del.Label1[1]->text(), QStringLiteral("Deleting 2 of 3"));
        del.Finish();
    };
    del.ShowAction(&owner, nullptr, false, 0, frmProgress::kDelete, 3);
}

// ---- confirmation list ----

struct ConfirmFixture : ::testing::Test
{
    frmFileConfirm dialog;
    ScriptedPrompts prompts;
    StorageState storage{true, true, false, 1LL << 40};

    void SetUp() override
    {
        dialog.SetStorageProbe([this](const QString &) { return storage; });
    }

    void fill(const QString &action, const QList<qint64> &sizes, const QList<QDateTime> &times = {})
    {
        dialog.SetAction(action);
        for (int i = 0; i < sizes.size(); ++i) {
            const QDateTime time = i < times.size() ? times[i] : QDateTime();
            dialog.AddRow(i, QStringLiteral("f%1.txt").arg(i), sizes[i], QStringLiteral("/r"),
                          time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("junk"),
                          time);
        }
        dialog.FinishRows();
    }
    QTreeWidgetItem *row(int i) { return dialog.LV->topLevelItem(i); }
    int checked()
    {
        int n = 0;
        for (int i = 0; i < dialog.LV->topLevelItemCount(); ++i)
            n += row(i)->checkState(0) == Qt::Checked;
        return n;
    }
};

TEST_F(ConfirmFixture, CaptionsPerActionAndRowsAsEntries)
{
    fill(frmFileConfirm::kDownload, {2048, 100}, {QDateTime(QDate(2024, 1, 2), QTime(3, 4))});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Confirm File Downloads"));
    EXPECT_EQ(dialog.CmdDo->text(), QStringLiteral("&Download"));
    EXPECT_EQ(dialog.Cmdtask->text(), QStringLiteral("Add As Download &Job"));
    EXPECT_TRUE(dialog.IsDownloadList());
    EXPECT_EQ(dialog.LV->findItems(QStringLiteral("f0.txt"), Qt::MatchExactly).first()->text(1), QStringLiteral("2.0KB"));
    // An entry whose date is not understood shows no date.
    EXPECT_EQ(dialog.LV->findItems(QStringLiteral("f1.txt"), Qt::MatchExactly).first()->text(3), QString());
    EXPECT_EQ(dialog.SelectedCount, 2);
    EXPECT_EQ(dialog.lblCount->text(), QStringLiteral("Total selected files: 2"));
    EXPECT_EQ(dialog.lblSize->text(), QStringLiteral("Total Size (KB): 2.10"));

    fill(frmFileConfirm::kDelete, {1});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Confirm File Deletes"));
    EXPECT_TRUE(dialog.Cmdtask->isHidden());
    dialog.cmdCnc_Click(); // no question for a delete list
    EXPECT_EQ(dialog.Tag(), QString());
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(ConfirmFixture, TotalsStayExactAndButtonsFollowTheChecks)
{
    fill(frmFileConfirm::kUpload, {1000, 1100, 1});
    const double exact = 2101.0 / 1024.0;
    EXPECT_DOUBLE_EQ(dialog.SelectedSizeKB, exact);
    row(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(dialog.SelectedCount, 2);
    row(1)->setCheckState(0, Qt::Checked);
    EXPECT_DOUBLE_EQ(dialog.SelectedSizeKB, exact);
    for (int i = 0; i < 3; ++i)
        row(i)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(dialog.CmdDo->isEnabled());
    EXPECT_FALSE(dialog.Cmdtask->isEnabled());
    row(2)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(dialog.CmdDo->isEnabled());
    EXPECT_TRUE(dialog.Cmdtask->isEnabled());
    // The selection menu's commands.
    row(0)->setSelected(true);
    dialog.CheckList(true);
    EXPECT_EQ(dialog.SelectedCount, 2);
}

TEST_F(ConfirmFixture, PatternFilterNeedsTwoCharactersAndIgnoresOuterSemicolons)
{
    fill(frmFileConfirm::kUpload, {1, 1});
    dialog.Check1[0]->setChecked(true);
    dialog.txtExt->setText(QStringLiteral(" ;* "));
    dialog.CmdFilter_Click();
    EXPECT_EQ(dialog.txtExt->text(), QStringLiteral("*"));
    EXPECT_EQ(checked(), 2); // one character left: no pattern filter
    dialog.txtExt->setText(QStringLiteral("*;"));
    dialog.CmdFilter_Click();
    EXPECT_EQ(checked(), 2);
    dialog.txtExt->setText(QStringLiteral(";F1.*;"));
    dialog.CmdFilter_Click();
    EXPECT_EQ(dialog.txtExt->text(), QStringLiteral("F1.*"));
    EXPECT_EQ(checked(), 1);
    EXPECT_EQ(dialog.LV->findItems(QStringLiteral("f1.txt"), Qt::MatchExactly).first()->checkState(0), Qt::Unchecked);
}

TEST_F(ConfirmFixture, SizeFilterComparesTheShownValueWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    fill(frmFileConfirm::kUpload, {10 * 1024 + 40, 9 * 1024, 11 * 1024}); // shown 10,0 / 9,0 / 11,0
    EXPECT_EQ(dialog.LV->findItems(QStringLiteral("f0.txt"), Qt::MatchExactly).first()->text(1), QStringLiteral("10,0KB"));
    dialog.Check1[1]->setChecked(true);
    dialog.txtSize->setText(QStringLiteral("10,0"));
    dialog.CmdFilter_Click(); // at least 10
    EXPECT_EQ(dialog.txtSize->text(), QStringLiteral("10.00"));
    EXPECT_EQ(checked(), 2);
    dialog.cboSize->setCurrentIndex(1); // at most 10
    dialog.CmdFilter_Click();
    EXPECT_EQ(checked(), 1);
    EXPECT_EQ(dialog.SelectedCount, 1);
    EXPECT_DOUBLE_EQ(dialog.SelectedSizeKB, (10.0 * 1024 + 40) / 1024.0);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST_F(ConfirmFixture, DateFilterLeavesTheSameMinuteAndUndatedRows)
{
    const QDateTime picker(QDate(2024, 5, 1), QTime(12, 30, 40));
    fill(frmFileConfirm::kDownload, {1, 1, 1, 1},
         {QDateTime(QDate(2024, 5, 1), QTime(12, 30, 5)), QDateTime(QDate(2024, 5, 1), QTime(12, 29, 59)),
          QDateTime(QDate(2024, 5, 1), QTime(12, 31))});
    dialog.DTP1->setDateTime(picker);
    dialog.Check1[2]->setChecked(true);
    dialog.CmdFilter_Click(); // before
    auto state = [&](const QString &name) {
        return dialog.LV->findItems(name, Qt::MatchExactly).first()->checkState(0) == Qt::Checked;
    };
    EXPECT_TRUE(state(QStringLiteral("f0.txt")));
    EXPECT_FALSE(state(QStringLiteral("f1.txt")));
    EXPECT_TRUE(state(QStringLiteral("f2.txt")));
    EXPECT_TRUE(state(QStringLiteral("f3.txt")));
    dialog.cboDate->setCurrentIndex(1); // after
    dialog.CmdFilter_Click();
    EXPECT_TRUE(state(QStringLiteral("f0.txt")));
    EXPECT_FALSE(state(QStringLiteral("f2.txt")));
    EXPECT_TRUE(state(QStringLiteral("f3.txt")));
}

TEST_F(ConfirmFixture, PickerStartsNowAndReadBackFollowsTheFirstOrder)
{
    EXPECT_LE(qAbs(dialog.DTP1->dateTime().secsTo(QDateTime::currentDateTime())), 60);
    fill(frmFileConfirm::kDownload, {1, 2, 3},
         {QDateTime(QDate(2024, 1, 3), QTime(1, 0)), QDateTime(QDate(2024, 1, 1), QTime(1, 0)),
          QDateTime(QDate(2024, 1, 2), QTime(1, 0))});
    dialog.LV->header()->sectionClicked(0);
    dialog.LV->header()->sectionClicked(0); // descending by name
    EXPECT_EQ(row(0)->text(0), QStringLiteral("f2.txt"));
    dialog.LV->findItems(QStringLiteral("f2.txt"), Qt::MatchExactly).first()->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(dialog.CheckedEntries(), (QList<qint64>{1, 0}));
}

TEST_F(ConfirmFixture, DiskChecksKeepTheDialogOpen)
{
    fill(frmFileConfirm::kDownload, {4096});
    storage.readOnlyMedia = true;
    storage.freeBytes = 1024;
    prompts.expectMessage(QStringLiteral("write to CDs"), PromptButton::Ok)
        .expectMessage(QStringLiteral("The local disk space available is 1.0KB and download size is 4.0KB !"),
                       PromptButton::Ok);
    dialog.CmdDo_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(dialog.Tag(), QString());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    storage = {true, true, false, 200 * 1024};
    dialog.Cmdtask_Click();
    EXPECT_EQ(dialog.Tag(), QStringLiteral("J"));
    // Uploads need no room here.
    fill(frmFileConfirm::kUpload, {1LL << 40});
    storage.freeBytes = 0;
    dialog.CmdDo_Click();
    EXPECT_EQ(dialog.Tag(), QStringLiteral("*"));
}

TEST_F(ConfirmFixture, ColumnsShareTheListWidthAsShown)
{
    fill(frmFileConfirm::kUpload, {1, 2});
    dialog.resize(800, 500);
    QList<int> widths;
    int listWidth = 0;
    WhenModal<frmFileConfirm>([&](frmFileConfirm &shown) {
        listWidth = shown.LV->width();
        for (int c = 0; c < 4; ++c)
            widths << shown.LV->columnWidth(c);
        shown.cmdCnc_Click();
    });
    dialog.exec();
    ASSERT_GT(listWidth, 400);
    const QList<double> fractions{0.27, 0.12, 0.35, 0.2};
    ASSERT_EQ(widths.size(), 4);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(widths[c], qRound(listWidth * fractions[c])) << c;
    EXPECT_GE(widths[3], qRound(listWidth * fractions[3])); // the last one also takes what is left
}

// A name in a script the list's font lacks is drawn in a fallback font with a
// taller line; every row (the list's rows share one height) must hold it.
// Where no such font is installed, the lines are the font's own height.
TEST_F(ConfirmFixture, RowsAreTallEnoughForNamesInOtherScripts)
{
    struct Case
    {
        const char *what;
        QString name;
        QString location;
    };
    const QList<Case> cases{
        {"name", QString::fromUtf8("\u00fcn\u00efc\u00f6d\u00e9_\u65e5\u672c\u8a9e.txt"), "/r"},
        {"location", "plain_name.txt", QString::fromUtf8("/\u30c7\u30fc\u30bf_\u4fdd\u5b58")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A row of plain names sorts first, so the shared height is not taken from the row that needs more.
        dialog.SetAction(frmFileConfirm::kUpload);
        dialog.AddRow(0, "first_plain.txt", 1, "/r", "2024-01-01 00:00:00", QDateTime(QDate(2024, 1, 1), QTime()));
        dialog.AddRow(1, c.name, 1, c.location, "2024-01-02 00:00:00", QDateTime(QDate(2024, 1, 2), QTime()));
        dialog.FinishRows();
        dialog.resize(640, 480);
        QList<int> heights;
        QFont font;
        WhenModal<frmFileConfirm>([&](frmFileConfirm &shown) {
            font = shown.LV->font();
            for (int i = 0; i < shown.LV->topLevelItemCount(); ++i)
                heights << shown.LV->visualItemRect(shown.LV->topLevelItem(i)).height();
            shown.cmdCnc_Click();
        });
        dialog.exec();
        const QFontMetrics metrics(font);
        const int needed = std::max({metrics.height(), metrics.boundingRect(c.name).height(),
                                 metrics.boundingRect(c.location).height()});
        ASSERT_EQ(heights.size(), 2);
        for (int height : heights)
            EXPECT_GE(height, needed);
    }
}

TEST_F(ConfirmFixture, CancellingADownloadAsksFirst)
{
    fill(frmFileConfirm::kDownload, {1});
    prompts.expectMessage(QStringLiteral("Cancel the download process ?"), PromptButton::No)
        .expectMessage(QStringLiteral("Remote listing is costly"), PromptButton::Yes);
    dialog.CmdDo_Click();
    ASSERT_EQ(dialog.Tag(), QStringLiteral("*"));
    dialog.cmdCnc_Click();
    EXPECT_EQ(dialog.Tag(), QStringLiteral("*")); // No: the dialog stays as it was
    dialog.cmdCnc_Click();
    EXPECT_EQ(dialog.Tag(), QString());
    EXPECT_TRUE(prompts.allUsed());
}

} // namespace

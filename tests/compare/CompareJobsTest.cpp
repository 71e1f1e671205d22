#include "CompareTestSupport.h"
#include "ElidingLabel.h"
#include "FtpTask.h"
#include "JobIntake.h"
#include "JobsFromRows.h"
#include "PyFtpServer.h"
#include "RecordingIntake.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "StubWindow.h"
#include "TestFiles.h"
#include "frmCompare.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QMenu>
#include <QStatusBar>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

void putFile(const QString &path, const QByteArray &bytes, qint64 secs = 1600000000)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    timespec times[2] = {{static_cast<time_t>(secs), 0}, {static_cast<time_t>(secs), 0}};
    utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

class CompareJobsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        form = new frmCompare(window, &intake);
    }
    void TearDown() override { delete form.data(); }

    CProfile ftpSide(const QString &path, quint8 passive = 1) const
    {
        CProfile p;
        p.Server = server.host();
        p.Port = server.port();
        p.User = PyFtpServer::kUser;
        p.Password = PyFtpServer::kPassword;
        p.IsPassive = passive;
        p.RemotePath = path;
        return p;
    }
    void runToEnd()
    {
        form->CmdSearch_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Comparison().Running(); }, 30000));
    }
    int rowOf(const QString &name) const
    {
        for (int i = 0; i < form->Model()->size(); ++i) {
            if (form->Model()->row(i).Text == name)
                return i;
        }
        return -1;
    }
    void select(const QStringList &names)
    {
        form->LV->selectionModel()->clearSelection();
        for (const QString &name : names)
            form->LV->selectionModel()->select(form->Model()->index(rowOf(name), 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QAction *entry(const QString &name) const { return form->mnuCntxt->findChild<QAction *>(name); }

    PyFtpServer server;
    StubWindow window;
    RecordingIntake intake;
    QPointer<frmCompare> form;
    QTemporaryDir local;
};

} // namespace

TEST_F(CompareJobsTest, UploadsCarryTheLocalFileAndMapSubFolders)
{
    putFile(local.path() + "/top.txt", "abc");
    putFile(local.path() + "/Sub/in.txt", "12345", 1600000060);
    QDir().mkpath(server.rootPath() + "/pub");
    form->SetLocalLocation(0, local.path());
    form->SetFtpLocation(1, ftpSide("/pub/", 0));
    runToEnd();
    ASSERT_GE(rowOf("in.txt"), 0);

    // The menu offers uploads only.
    select({"in.txt"});
    EXPECT_TRUE(form->MenuAvailable());
    EXPECT_FALSE(form->DownloadMode());
    form->ShowCompareMenu(QPoint(5, 5));
    EXPECT_TRUE(entry("mnuAddUTask")->isVisible());
    EXPECT_FALSE(entry("mnuAddDTask")->isVisible());
    form->mnuCntxt->hide();

    // Every "Missing" file row, selected or not; folder rows never.
    select({"Sub"});
    entry("mnuAddAMUTask")->trigger();
    ASSERT_EQ(intake.accepted.size(), 2u);
    const FtpTask *in = intake.Find("in.txt");
    ASSERT_NE(in, nullptr);
    EXPECT_TRUE(in->IsUpload());
    EXPECT_EQ(in->LocalPath(), local.path() + "/Sub");
    EXPECT_EQ(in->RemotePath(), "/pub/Sub");
    EXPECT_EQ(in->RemoteFileTitle(), "in.txt");
    EXPECT_EQ(in->Size(), 5);
    EXPECT_EQ(in->OriginalLocalSize(), 5);
    EXPECT_EQ(in->OriginalLocalFileTime(), form->Model()->row(rowOf("in.txt")).SubItems.value(2));
    EXPECT_EQ(in->RemoteFileTime(), "");
    EXPECT_EQ(in->TransferMode(), 1); // the location's active mode
    EXPECT_EQ(in->ServerPort(), server.port());
    EXPECT_EQ(intake.Find("top.txt")->RemotePath(), "/pub");
    EXPECT_EQ(form->PanelText(1), "2 Jobs were added to job list.");

    // The same rows again: all discarded as duplicates.
    ScriptedPrompts prompts;
    prompts.expectMessage("2 Jobs were discarded as they would create duplicate entries !", PromptButton::Ok);
    entry("mnuAddAMUTask")->trigger();
    EXPECT_EQ(intake.accepted.size(), 2u);
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareJobsTest, DownloadsUseTheSidesThatMadeTheRowsAndSaveToOneFile)
{
    putFile(server.rootPath() + "/data/a.txt", "abc");
    putFile(server.rootPath() + "/data/Sub/b.txt", "abcd");
    form->SetFtpLocation(0, ftpSide("/data"));
    form->SetLocalLocation(1, local.path());
    runToEnd();
    ASSERT_GE(rowOf("b.txt"), 0);
    EXPECT_TRUE(form->DownloadMode());

    // A location chosen after the comparison does not move the jobs of its rows.
    form->SetLocalLocation(1, "/elsewhere");
    select({"b.txt", "a.txt", "Sub"});
    entry("mnuAddDTask")->trigger();
    ASSERT_EQ(intake.accepted.size(), 2u);
    const FtpTask *b = intake.Find("b.txt");
    EXPECT_FALSE(b->IsUpload());
    EXPECT_EQ(b->LocalPath(), local.path() + "/Sub");
    EXPECT_EQ(b->RemotePath(), "/data/Sub");
    EXPECT_EQ(b->OriginalLocalSize(), -1);
    EXPECT_EQ(b->OriginalLocalFileTime(), "");
    EXPECT_EQ(b->RemoteFileTime(), form->Model()->row(rowOf("b.txt")).SubItems.value(2));
    EXPECT_EQ(b->TransferMode(), 0);

    // Saving: the file is asked for once; the second save appends to it.
    const QString jobFile = local.path() + "/saved.xqr";
    ScriptedPrompts prompts;
    prompts.expectFile("Save to Job File", jobFile);
    prompts.expectMessage("discarded", PromptButton::Ok);
    select({"a.txt"});
    entry("mnuSaveDTask")->trigger(); // made before: discarded
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->Jobs().JobFileName(), jobFile);
}

TEST_F(CompareJobsTest, SecondSaveAppendsAndAFailedSaveClaimsNothing)
{
    putFile(server.rootPath() + "/data/a.txt", "abc");
    putFile(server.rootPath() + "/data/b.txt", "abcd");
    form->SetFtpLocation(0, ftpSide("/data"));
    form->SetLocalLocation(1, local.path());
    runToEnd();
    const QString jobFile = local.path() + "/saved.xqr";
    ScriptedPrompts prompts;
    prompts.expectFile("Save to Job File", jobFile);
    select({"a.txt"});
    entry("mnuSaveDTask")->trigger();
    EXPECT_EQ(form->PanelText(1), "1 Jobs were saved to 'saved.xqr' .");
    select({"b.txt"});
    entry("mnuSaveDTask")->trigger(); // no second question
    EXPECT_EQ(form->PanelText(1), "1 Jobs were saved to 'saved.xqr' .");
    const QByteArray saved = ReadFileBytes(jobFile);
    EXPECT_EQ(saved.count("\r\n"), 2);
    EXPECT_TRUE(prompts.allUsed());

    // A job file that cannot be written: an error, no claim, the rows may be made into jobs again.
    delete form.data();
    form = new frmCompare(window, &intake);
    form->SetFtpLocation(0, ftpSide("/data"));
    form->SetLocalLocation(1, local.path());
    runToEnd();
    prompts.expectFile("Save to Job File", local.path() + "/no/such/folder/x.xqr");
    prompts.expectMessage("could not be saved", PromptButton::Ok);
    select({"a.txt"});
    entry("mnuSaveDTask")->trigger();
    EXPECT_EQ(form->PanelText(1), "No jobs were saved.");
    EXPECT_EQ(form->Jobs().MadeJobs().Count(), 0);
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareJobsTest, AClickOnAnyCellOfARowSelectsThatRowForJobs)
{
    putFile(server.rootPath() + "/data/a.txt", "abc");
    putFile(server.rootPath() + "/data/b.txt", "abcd");
    putFile(server.rootPath() + "/data/c.txt", "abcde");
    form->SetFtpLocation(0, ftpSide("/data"));
    form->SetLocalLocation(1, local.path());
    runToEnd();
    ASSERT_EQ(form->Model()->size(), 3);
    form->resize(900, 500);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));

    // Full-row selection is off: a click selects the cell only, yet the menu and its jobs take the row.
    auto click = [&](const QString &name, int column, Qt::KeyboardModifiers keys) {
        const QModelIndex cell = form->Model()->index(rowOf(name), column);
        form->LV->scrollTo(cell);
        QTest::mouseClick(form->LV->viewport(), Qt::LeftButton, keys, form->LV->visualRect(cell).center());
    };
    click("a.txt", CompareRules::ColSize, Qt::NoModifier);
    click("c.txt", CompareRules::ColRemarks, Qt::ControlModifier);
    EXPECT_FALSE(form->LV->selectionModel()->isRowSelected(rowOf("a.txt"), {}));
    EXPECT_TRUE(form->MenuAvailable());
    entry("mnuAddDTask")->trigger();
    ASSERT_EQ(intake.accepted.size(), 2u);
    EXPECT_NE(intake.Find("a.txt"), nullptr);
    EXPECT_NE(intake.Find("c.txt"), nullptr);
    EXPECT_EQ(form->PanelText(1), "2 Jobs were added to job list.");

    // Saving takes the same rows.
    const QString jobFile = local.path() + "/cells.xqr";
    ScriptedPrompts prompts;
    prompts.expectFile("Save to Job File", jobFile);
    click("b.txt", CompareRules::ColModified, Qt::NoModifier);
    entry("mnuSaveDTask")->trigger();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->PanelText(1), "1 Jobs were saved to 'cells.xqr' .");
}

TEST_F(CompareJobsTest, TheServersPathsAndWordsAreShownAsPlainText)
{
    putFile(server.rootPath() + "/<b>data/a.txt", "abc");
    form->SetFtpLocation(0, ftpSide("/<b>data"));
    form->SetLocalLocation(1, local.path());
    runToEnd();
    ASSERT_EQ(form->Model()->size(), 1);
    // The panels are eliding labels: they draw their texts and show them in their tool tips as written.
    EXPECT_TRUE(form->SB->findChildren<QLabel *>().isEmpty());
    EXPECT_EQ(form->SB->findChildren<ElidingLabel *>().size(), 3);
    EXPECT_EQ(form->lblErr->textFormat(), Qt::PlainText);
}

TEST(CompareJobsMenuTest, LocalWithLocalOffersNoJobs)
{
    QTemporaryDir a;
    QTemporaryDir b;
    putFile(a.path() + "/x.txt", "x");
    StubWindow window;
    RecordingIntake intake;
    frmCompare form(window, &intake);
    form.SetLocalLocation(0, a.path());
    form.SetLocalLocation(1, b.path());
    form.CmdSearch_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Comparison().Running(); }, 10000));
    form.LV->selectAll();
    EXPECT_FALSE(form.MenuAvailable());
    form.HandleSaveTask("Missing", false);
    EXPECT_TRUE(intake.accepted.empty());
}

TEST(CompareJobsMenuTest, NamesThatAreNoPlainNamesMakeNoJobs)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("-rw-r--r-- 1 u g 3 Jan 01 2020 ok.txt\r\n"
                      "-rw-r--r-- 1 u g 3 Jan 01 2020 bad\rname.txt\r\n");
    QTemporaryDir local;
    StubWindow window;
    RecordingIntake intake;
    frmCompare form(window, &intake);
    CProfile p;
    p.Server = server.host();
    p.Port = server.port();
    p.User = "u";
    p.Password = "p";
    p.RemotePath = "/";
    form.SetFtpLocation(0, p);
    form.SetLocalLocation(1, local.path());
    form.CmdSearch_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Comparison().Running(); }, 20000));
    ASSERT_EQ(form.Model()->size(), 2);
    ScriptedPrompts prompts;
    prompts.expectMessage("1 Jobs were refused", PromptButton::Ok);
    form.HandleSaveTask("Missing", false);
    ASSERT_EQ(intake.accepted.size(), 1u);
    EXPECT_EQ(intake.accepted.front()->LocalFileTitle(), "ok.txt");
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareJobsTest, ALocalFolderThatCannotBeReadMakesNoMissingRowsNorJobs)
{
    putFile(server.rootPath() + "/data/top.txt", "abc");
    putFile(server.rootPath() + "/data/kept/a.txt", "abc");
    putFile(server.rootPath() + "/data/kept/deeper/b.txt", "abc");
    putFile(local.path() + "/kept/a.txt", "abc"); // the same file, but the folder cannot be read
    ASSERT_TRUE(QDir().mkpath(local.path() + "/kept/deeper"));
    form->SetFtpLocation(0, ftpSide("/data"));
    form->SetLocalLocation(1, local.path());
    {
        UnreadableFolder kept(local.path() + "/kept");
        if (!kept.Holds())
            GTEST_SKIP() << "folders stay readable here";
        runToEnd();
    }
    QStringList rows;
    for (int i = 0; i < form->Model()->size(); ++i)
        rows << form->Model()->row(i).Text + "=" + form->Model()->row(i).SubItems.value(3);
    rows.sort();
    // The folder keeps its row, not as matching; what lies in and below it is not judged, counted or offered.
    EXPECT_EQ(rows, QStringList({"kept=Could not be listed", "top.txt=Missing"}));
    EXPECT_EQ(form->lblCnt[0]->text(), "1");
    EXPECT_EQ(form->lblCnt[2]->text(), "1");
    EXPECT_EQ(form->PanelText(0), "Comparison stopped. 1 folder could not be listed.");
    EXPECT_EQ(form->lblErr->text().toStdString(),
              ("1 folder could not be listed: " + local.path() + "/kept.").toStdString());
    select({"top.txt"});
    entry("mnuAddAMDTask")->trigger();
    ASSERT_EQ(intake.accepted.size(), 1u);
    EXPECT_EQ(intake.accepted[0]->RemoteFileTitle(), "top.txt");
}

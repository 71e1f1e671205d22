// The search window offscreen: preferences, busy state, report and jobs.
#include "DataRoot.h"
#include "ElidingLabel.h"
#include "FileListModel.h"
#include "FtpTask.h"
#include "JobIntake.h"
#include "JobsFromRows.h"
#include "ModProfile.h"
#include "ProfileRecordFile.h"
#include "ProgramIcon.h"
#include "PyFtpServer.h"
#include "RecordingIntake.h"
#include "RefusingPort.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "SearchPrefFile.h"
#include "SearchReport.h"
#include "SearchWalk.h"
#include "StubWindow.h"
#include "TestFiles.h"
#include "WindowSizeChecks.h"
#include "frmSearch.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDirIterator>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <tuple>

namespace {

class NoticeWindow : public StubWindow
{
public:
    void ShowInfo(int &kind, const QString &title, const QString &text) override
    {
        notices.append(QString::number(kind) + "|" + title + "|" + text);
    }
    QStringList notices;
};

class SearchWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(SearchPrefFile::DefaultPath());
        form = new frmSearch(window, &intake);
    }
    void TearDown() override { delete form.data(); }

    // Runs the event loop until the window is idle again.
    bool waitIdle(int ms = 20000)
    {
        return QTest::qWaitFor([&] { return !form->Walk().IsRunning(); }, ms);
    }

    void fillServer(const PyFtpServer &server)
    {
        form->txtSvr->setText(server.host());
        form->txtport->setText(QString::number(server.port()));
        form->txtUser->setText(PyFtpServer::kUser);
        form->txtPwd->setText(PyFtpServer::kPassword);
        form->ChkPsv->setChecked(true);
        form->ChkRoot->setChecked(true);
    }

    // A scripted server takes any user: only its address and the root are set.
    void fillServer(const ScriptedFtpServer &server)
    {
        form->txtSvr->setText(server.host());
        form->txtport->setText(QString::number(server.port()));
        form->ChkRoot->setChecked(true);
    }

    // A window of its own for the server, shown: one once widened keeps its minimum.
    [[nodiscard]] bool reopenShown(const PyFtpServer &server)
    {
        delete form.data();
        form = new frmSearch(window, &intake);
        fillServer(server);
        return ShowSized(*form, {820, 640});
    }

    NoticeWindow window;
    RecordingIntake intake;
    QPointer<frmSearch> form;
};

} // namespace

TEST_F(SearchWindowTest, SavedPreferenceComesBackAndEditsAreNoticed)
{
    ScriptedPrompts prompts;
    form->txtSvr->setText("ftp.example.org");
    form->txtPattern->setText("*.iso;*.zip");
    form->txtSPF->setPlainText("/pub\n/mirror");
    form->ChkDate->setChecked(true);
    form->DTPicker1[0]->setDate(QDate(2026, 1, 2));
    form->DTPicker1[1]->setDate(QDate(2026, 3, 4));
    ASSERT_TRUE(form->CmdSave->isEnabled());
    prompts.expectInput("Provide a name for this search preference", QString("Isos"));
    form->CmdSave_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(form->CmdSave->isEnabled());
    ASSERT_EQ(form->mnuPrevItem.size(), 1);
    EXPECT_EQ(form->mnuPrevItem[0]->text(), "Isos");
    EXPECT_EQ(form->SelectedPref(), 0);

    // A name differing only in case asks for another; No keeps the file as it is.
    form->txtPattern->setText("*.rar");
    ASSERT_TRUE(form->CmdSave->isEnabled());
    prompts.expectInput("Provide a name", QString("ISOS"));
    prompts.expectMessage("The profile 'ISOS' already exists!", PromptButton::No);
    form->CmdSave_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(SearchPrefFile::DefaultPath()).size(), 1026);

    // A new window lists it; loading fills the fields, and only real changes enable saving.
    delete form.data();
    form = new frmSearch(window, &intake);
    ASSERT_EQ(form->SearchPrefs().Count(), 1);
    form->mnuPrevItem_Click(0);
    EXPECT_EQ(form->txtSvr->text(), "ftp.example.org");
    EXPECT_EQ(form->txtSPF->toPlainText(), "/pub\n/mirror");
    EXPECT_EQ(form->DTPicker1[0]->date(), QDate(2026, 1, 2));
    EXPECT_EQ(form->DTPicker1[1]->date(), QDate(2026, 3, 4));
    EXPECT_TRUE(form->ChkDate->isChecked());
    EXPECT_FALSE(form->CmdSave->isEnabled());
    form->DTPicker1[1]->setDate(QDate(2026, 3, 5));
    EXPECT_TRUE(form->CmdSave->isEnabled());
    form->DTPicker1[1]->setDate(QDate(2026, 3, 4));
    EXPECT_FALSE(form->CmdSave->isEnabled());
    form->txtSvr->setText("FTP.EXAMPLE.ORG"); // text compared without regard to case
    EXPECT_FALSE(form->CmdSave->isEnabled());
}

TEST_F(SearchWindowTest, TheWindowShowsTheProgramsIcon)
{
    EXPECT_TRUE(form->windowIcon().pixmap(32).toImage() == ProgramIcon().pixmap(32).toImage());
}

TEST_F(SearchWindowTest, PlaceholderNameClashesAndTooLongPreferencesAreRefused)
{
    ScriptedPrompts prompts;
    form->txtSvr->setText("host");
    prompts.expectInput("Provide a name", QString("<not available>"));
    prompts.expectMessage("already exists", PromptButton::Yes);
    prompts.expectInput("Provide a name", QString());
    prompts.expectMessage("Preference will not be saved!", PromptButton::Ok);
    form->CmdSave_Click();
    EXPECT_FALSE(QFile::exists(SearchPrefFile::DefaultPath()));

    form->txtPattern->setText(QString(800, 'p'));
    ASSERT_TRUE(form->CmdSave->isEnabled());
    prompts.expectInput("Provide a name", QString("Long"));
    prompts.expectMessage("too long", PromptButton::Ok);
    form->CmdSave_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(form->CmdSave->isEnabled());
    EXPECT_FALSE(QFile::exists(SearchPrefFile::DefaultPath()));
}

TEST_F(SearchWindowTest, PortsAreCheckedAndEmptyBoxesGetTheirTags)
{
    ScriptedPrompts prompts;
    form->txtSvr->setText("127.0.0.1");
    form->ChkRoot->setChecked(true);
    form->txtport->setText("70000");
    prompts.expectMessage("from 1 to 65535", PromptButton::Ok);
    form->CmdSearch_Click();
    EXPECT_FALSE(form->Walk().IsRunning());

    form->txtport->setText("");
    form->txtUser->setText(" ");
    form->ChkRoot->setChecked(false);
    prompts.expectMessage("Either select the Root Folder option or provide special folders!", PromptButton::Ok);
    form->CmdSearch_Click();
    EXPECT_TRUE(prompts.allUsed());

    form->ChkRoot->setChecked(true);
    form->txtport->setText("");
    form->ChkSize->click();
    EXPECT_TRUE(form->txt_size1[0]->isEnabled());
    EXPECT_FALSE(form->DTPicker1[0]->isEnabled());
    form->CmdSearch_Click();
    EXPECT_FALSE(form->txt_size1[0]->isEnabled());
    EXPECT_EQ(form->txtport->text(), "21");
    EXPECT_EQ(form->txtUser->text(), "anonymous");
    EXPECT_TRUE(form->Walk().IsRunning());
    EXPECT_TRUE(form->CmdStop->isEnabled());
    EXPECT_FALSE(form->CmdSearch->isEnabled());
    EXPECT_FALSE(form->txtSvr->isEnabled());
    form->close(); // not connected yet: no question
    EXPECT_TRUE(form.isNull() || !form->Walk().IsRunning());
}

TEST_F(SearchWindowTest, ASearchShowsHitsWritesAnEscapedReportAndMakesJobs)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("pub/<img src=x onerror=alert(1)>.iso", "x"));
    ASSERT_TRUE(server.writeFile("pub/a&b'\".zip", QByteArray(2048, 'z')));
    ASSERT_TRUE(server.writeFile("pub/skip.txt", "t"));
    QTemporaryDir out;
    ScriptedPrompts prompts;
    fillServer(server);
    form->txtPattern->setText("*.iso;*.zip");
    const QString report = out.filePath("report.html");
    prompts.expectFile("Select the destination html file", report);
    form->ChkSave->click();
    ASSERT_EQ(form->ReportPath(), report);
    form->CmdSearch_Click();
    EXPECT_TRUE(form->CmdStop->isEnabled());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(form->Model()->size(), 2);
    EXPECT_EQ(form->PanelText(0), "Search stopped");
    ASSERT_FALSE(window.notices.isEmpty());
    EXPECT_EQ(window.notices.last(), QString("1|Search is complete !|2 matching file found on 127.0.0.1"));
    EXPECT_FALSE(form->ChkSave->isChecked());
    EXPECT_TRUE(form->ReportPath().isEmpty());

    const QString html = QString::fromUtf8(ReadFileBytes(report));
    EXPECT_TRUE(html.contains("&lt;img src=x onerror=alert(1)&gt;.iso"));
    EXPECT_TRUE(html.contains("a&amp;b&#39;&quot;.zip"));
    EXPECT_FALSE(html.contains("<img"));
    EXPECT_TRUE(html.contains("<title>Ftp Qor Folder Listing: 127.0.0.1</title>"));
    EXPECT_TRUE(html.endsWith("</table></td></tr>\r\n</table></body></html>\r\n"));

    // Jobs: saved (replacing the file), saved again (duplicates discarded), queued.
    form->LV->selectAll();
    const QString jobFile = out.filePath("hits.xqr");
    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectFile("Save to Job File", jobFile);
    form->CreateJobsFromResults(true);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->PanelText(1), "2 Jobs were saved to 'hits.xqr' .");
    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectMessage("2 Jobs were discarded", PromptButton::Ok);
    form->CreateJobsFromResults(false);
    EXPECT_TRUE(intake.accepted.empty());
    ASSERT_EQ(form->Jobs().MadeJobs().Count(), 2);
    for (const auto &job : form->Jobs().MadeJobs()) {
        EXPECT_EQ(job->RemotePath(), "/pub");
        EXPECT_EQ(job->LocalPath(), out.path());
        EXPECT_EQ(job->TransferMode(), 0);
        EXPECT_FALSE(job->IsUpload());
    }
}

TEST_F(SearchWindowTest, AClickOnAnyCellOfAHitMakesItsDownloadJob)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("pub/one.iso", "1"));
    ASSERT_TRUE(server.writeFile("pub/two.iso", "22"));
    ASSERT_TRUE(server.writeFile("pub/three.iso", "333"));
    QTemporaryDir out;
    fillServer(server);
    form->txtPattern->setText("*.iso");
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), 3);
    form->resize(900, 600);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    auto rowOf = [&](const QString &name) {
        for (int i = 0; i < form->Model()->size(); ++i) {
            if (form->Model()->row(i).Text == name)
                return i;
        }
        return -1;
    };
    auto click = [&](const QString &name, int column, Qt::KeyboardModifiers keys) {
        const QModelIndex cell = form->Model()->index(rowOf(name), column);
        form->LV->scrollTo(cell);
        QTest::mouseClick(form->LV->viewport(), Qt::LeftButton, keys, form->LV->visualRect(cell).center());
    };

    // Full-row selection is off: the clicks select single cells of the Location and Size columns.
    click("one.iso", 1, Qt::NoModifier);
    click("three.iso", 2, Qt::ControlModifier);
    EXPECT_FALSE(form->LV->selectionModel()->isRowSelected(rowOf("one.iso"), {}));
    ScriptedPrompts prompts;
    prompts.expectFile("Select the destination folder for downloads", out.path());
    form->mnuCntxt->findChild<QAction *>("mnuJDnld")->trigger();
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(intake.accepted.size(), 2u);
    EXPECT_NE(intake.Find("one.iso"), nullptr);
    EXPECT_NE(intake.Find("three.iso"), nullptr);

    // "Save As Download Job..." takes the same rows.
    click("two.iso", 2, Qt::NoModifier);
    const QString jobFile = out.filePath("cells.xqr");
    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectFile("Save to Job File", jobFile);
    form->mnuCntxt->findChild<QAction *>("mnuJSave")->trigger();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->PanelText(1), "1 Jobs were saved to 'cells.xqr' .");
}

TEST_F(SearchWindowTest, FolderNamesAndServerWordsAreShownAsPlainText)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("<b>deep/hit.iso", "1"));
    fillServer(server);
    form->txtPattern->setText("*.iso");
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), 1);
    // The panels showed "Searching: /<b>deep" on the way.
    // The panels are eliding labels: they draw their texts and show them in their tool tips as written.
    EXPECT_TRUE(form->SB->findChildren<QLabel *>().isEmpty());
    EXPECT_EQ(form->SB->findChildren<ElidingLabel *>().size(), 4);
    EXPECT_EQ(form->Label7->textFormat(), Qt::PlainText);
}

TEST_F(SearchWindowTest, ClosingDuringASearchAsksAndWritesTheReportTail)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("drwxr-xr-x 1 u g 0 Jan 01 2020 a\r\n-rw-r--r-- 1 u g 1 Jan 01 2020 x.txt\r\n");
    // The second folder change never gets an answer: the search is still running.
    server.on("CWD", [](const QByteArray &path) {
        return path == "/" ? ScriptedFtpServer::Reply{{"250 OK.\r\n", 0}} : ScriptedFtpServer::Reply{};
    });
    QTemporaryDir out;
    const QString report = out.filePath("r.html");
    form->txtSvr->setText(server.host());
    form->txtport->setText(QString::number(server.port()));
    form->ChkRoot->setChecked(true);
    form->SetReportPath(report);
    form->CmdSearch_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Model()->size() == 1; }, 10000));
    ScriptedPrompts prompts;
    prompts.expectMessage("Search is still running!", PromptButton::No);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->Walk().IsRunning());
    prompts.expectMessage("Search is still running!", PromptButton::Yes);
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(window.notices.isEmpty()); // closing is no end to announce
    EXPECT_TRUE(ReadFileBytes(report).endsWith("</table></body></html>\r\n"));
}

TEST_F(SearchWindowTest, ReportChooserCancelledUnticksTheBox)
{
    ScriptedPrompts prompts;
    prompts.expectFile("Select the destination html file", std::nullopt);
    prompts.expectMessage("No file was selected !", PromptButton::Ok);
    form->ChkSave->click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(form->ChkSave->isChecked());
    EXPECT_TRUE(form->ReportPath().isEmpty());
}

TEST_F(SearchWindowTest, AHundredThousandHitsFillTheListSortAndEndAtTheLimit)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    QByteArray listing;
    for (int i = 0; i < 100000; ++i)
        listing += "-rw-r--r-- 1 u g " + QByteArray::number(i) + " Jan 01 2020 f" + QByteArray::number(i) + ".bin\r\n";
    server.setListing(listing);
    form->txtSvr->setText(server.host());
    form->txtport->setText(QString::number(server.port()));
    form->ChkRoot->setChecked(true);
    ScriptedPrompts prompts;
    prompts.expectMessage("more than 2000 search items are not supported!", PromptButton::Ok);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle(60000));
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(form->Model()->size(), 100000);
    form->Model()->sort(2, Qt::DescendingOrder);
    EXPECT_EQ(form->Model()->row(0).Text, "f99999.bin");
    EXPECT_TRUE(form->CmdSearch->isEnabled());
}

TEST_F(SearchWindowTest, SiteProfileMenuSkipsBlankRecordsAndLoadsTheRowsOwn)
{
    QDir().mkpath(DataRoot::SystemFolder());
    ProfileFilePath = DefaultProfileFilePath();
    QFile::remove(ProfileFilePath);
    const ProfileRecordFile file(ProfileFilePath);
    file.ensureExists();
    CProfile first;
    first.ProfileName = "First";
    first.Server = "ftp.one.invalid";
    CProfile third;
    third.ProfileName = "Third";
    third.Server = " ftp.three.invalid ";
    third.Port = 2121;
    third.User = "u3";
    third.IsPassive = 1;
    file.writeRecord(1, ProfileRecordFile::EncodeRecord(first));
    file.writeRecord(2, ProfileRecordFile::EncodeRecord(CProfile()));
    file.writeRecord(3, ProfileRecordFile::EncodeRecord(third));

    delete form.data();
    form = new frmSearch(window, &intake);
    ASSERT_EQ(form->mnuItem.size(), 2);
    EXPECT_EQ(form->mnuItem[1]->text(), "Third");
    form->mnuItem[1]->trigger();
    EXPECT_EQ(form->txtSvr->text(), "ftp.three.invalid");
    EXPECT_EQ(form->txtport->text(), "2121");
    EXPECT_EQ(form->txtUser->text(), "u3");
    EXPECT_TRUE(form->ChkPsv->isChecked());
    QFile::remove(ProfileFilePath);
}

TEST_F(SearchWindowTest, HitsWithUnsafeNamesMakeNoJobAndAFailedSaveClaimsNothing)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("-rw-r--r-- 1 u g 5 Jan 01 2020 ..\r\n-rw-r--r-- 1 u g 5 Jan 01 2020 good.bin\r\n"
                      "-rw-r--r-- 1 u g 0 Jan 01 2020 ../up.bin\r\n");
    form->txtSvr->setText(server.host());
    form->txtport->setText(QString::number(server.port()));
    form->ChkRoot->setChecked(true);
    form->ChkPsv->setChecked(false);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_GE(form->Model()->size(), 2);
    form->LV->selectAll();
    QTemporaryDir out;
    ScriptedPrompts prompts;
    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectFile("Save to Job File", out.path() + "/no/such/folder/x.xqr");
    prompts.expectMessage("could not be saved", PromptButton::Ok);
    prompts.expectMessage("Jobs were refused", PromptButton::Ok);
    form->CreateJobsFromResults(true);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->PanelText(1), "No jobs were saved.");
    EXPECT_EQ(form->Jobs().MadeJobs().Count(), 0);

    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectMessage("Jobs were refused", PromptButton::Ok);
    form->CreateJobsFromResults(false);
    ASSERT_EQ(intake.accepted.size(), 1u);
    EXPECT_EQ(intake.accepted[0]->RemoteFileTitle(), "good.bin");
    EXPECT_EQ(intake.accepted[0]->TransferMode(), 1); // active, as the Passive box said
    EXPECT_EQ(intake.accepted[0]->Size(), 5);
}

TEST_F(SearchWindowTest, StopAsksThenEndsAtTheNextFolderAndANewSearchStarts)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("drwxr-xr-x 1 u g 0 Jan 01 2020 a\r\n-rw-r--r-- 1 u g 1 Jan 01 2020 x.txt\r\n");
    server.on("CWD", [](const QByteArray &path) {
        return ScriptedFtpServer::Reply{{"250 OK.\r\n", path == "/" ? 0 : 300}};
    });
    form->txtSvr->setText(server.host());
    form->txtport->setText(QString::number(server.port()));
    form->ChkRoot->setChecked(true);
    form->CmdSearch_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Model()->size() == 1; }, 10000));
    ScriptedPrompts prompts;
    prompts.expectMessage("Stop the search search process ?", PromptButton::Yes);
    form->CmdStop_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->Model()->size(), 1);
    EXPECT_FALSE(form->Walk().SessionActive());
    ASSERT_EQ(window.notices.size(), 1);
    EXPECT_TRUE(window.notices[0].startsWith("1|Search is complete !|1 matching file found on"));
    EXPECT_TRUE(form->SessionLog().contains("CWD /a"));
    EXPECT_TRUE(form->CmdSearch->isEnabled());

    form->CmdSearch_Click();
    EXPECT_TRUE(form->Walk().IsRunning());
    EXPECT_EQ(form->Model()->size(), 0);
    form->Walk().Close();
}

TEST_F(SearchWindowTest, TwoServersOnOneHostKeepTheirOwnListings)
{
    PyFtpServer first;
    PyFtpServer second;
    ASSERT_TRUE(first.start()) << first.error().toStdString();
    ASSERT_TRUE(second.start()) << second.error().toStdString();
    ASSERT_TRUE(first.writeFile("only-on-first.bin", "1"));
    ASSERT_TRUE(second.writeFile("only-on-second.bin", "2"));
    fillServer(first);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), 1);
    EXPECT_EQ(form->Model()->row(0).Text, "only-on-first.bin");

    // The same host, another port and another user: its own files, not the first server's.
    form->txtport->setText(QString::number(second.port()));
    form->txtUser->setText("anonymous");
    form->txtPwd->setText("guest");
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), 1);
    EXPECT_EQ(form->Model()->row(0).Text, "only-on-second.bin");
    EXPECT_EQ(SearchWalk::CacheServerKey({"127.0.0.1", "anonymous", "secret", 2160}), "anonymous@127.0.0.1:2160");
}

TEST_F(SearchWindowTest, HitsOfOneNameFromTwoFoldersMakeOneJobAndOneSummary)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.setListing("drwxr-xr-x 1 u g 0 Jan 01 2020 a\r\n-rw-r--r-- 1 u g 5 Jan 01 2020 same.iso\r\n"
                      "-rw-r--r-- 1 u g 0 Jan 01 2020 ../up.iso\r\n");
    // "/" and "/a" list the same names; nothing deeper exists.
    server.on("CWD", [](const QByteArray &path) {
        return ScriptedFtpServer::Reply{{path == "/" || path == "/a" ? "250 OK.\r\n" : "550 No such folder.\r\n", 0}};
    });
    form->txtSvr->setText(server.host());
    form->txtport->setText(QString::number(server.port()));
    form->ChkRoot->setChecked(true);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), 4);
    form->LV->selectAll();
    QTemporaryDir out;
    ScriptedPrompts prompts;
    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectMessage("2 Jobs were refused: the file name from the server is not a plain name and could address "
                          "a place outside the chosen folder.\r\n"
                          "1 Jobs were refused: another job writes a file of the same name to the same place.",
                          PromptButton::Ok);
    form->CreateJobsFromResults(false);
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(intake.accepted.size(), 1u);
    EXPECT_EQ(intake.accepted[0]->RemotePath(), "/");
    EXPECT_EQ(form->PanelText(1), "1 Jobs were added to job list.");

    // Saving the same rows again: the made job is a duplicate, the other still writes its file.
    const QString jobFile = out.filePath("again.xqr");
    prompts.expectFile("Select the destination folder for downloads", out.path());
    prompts.expectFile("Save to Job File", jobFile);
    prompts.expectMessage("1 Jobs were discarded as they would create duplicate entries !\r\n2 Jobs were refused: "
                          "the file name from the server is not a plain name",
                          PromptButton::Ok);
    form->CreateJobsFromResults(true);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->Jobs().MadeJobs().Count(), 1);
}

// How a server keeps a sub-folder's files from the walk.
struct UnreadFolderCase
{
    const char *name;
    QString rights;   // pyftpdlib's rights on /locked; empty: the scripted server
    QByteArray unreadReply = {}; // the scripted server's end of the listing of /locked
    bool listedEmpty = false;    // pyftpdlib lists /locked as proftpd does: empty, MLSD refused
};

void PrintTo(const UnreadFolderCase &unread, std::ostream *out) { *out << unread.name; }

class UnreadFolderTest : public SearchWindowTest, public ::testing::WithParamInterface<UnreadFolderCase>
{
};

// Whatever kept its files out of reach, the folder is named and counted, never taken for empty.
// Folders truly empty, or holding only names the listing leaves out, are not named.
TEST_P(UnreadFolderTest, AFolderWhoseFilesCannotBeReadIsNamedNotTakenForEmpty)
{
    PyFtpServer server;
    ScriptedFtpServer scripted;
    if (!GetParam().rights.isEmpty()) {
        ASSERT_TRUE(server.writeFile("open/seen.iso", "1"));
        ASSERT_TRUE(server.writeFile("locked/hidden.iso", "2"));
        ASSERT_TRUE(server.makeFolder("empty"));
        ASSERT_TRUE(server.writeFile("dots/.hidden.iso", "3"));
        server.setHideDotNames();
        server.setFolderRights("locked", GetParam().rights);
        if (GetParam().listedEmpty)
            server.listAsUnreadable("locked");
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        fillServer(server);
    } else {
        // As vsftpd or pure-ftpd answer for a folder they enter but cannot open.
        ASSERT_TRUE(scripted.listen());
        scripted.on("CWD", [&](const QByteArray &path) {
            const bool locked = path == "/locked";
            scripted.setListing(path == "/"       ? "drwxr-xr-x 1 u g 0 Jan 01 2020 open\r\n"
                                                    "drwxr-xr-x 1 u g 0 Jan 01 2020 locked\r\n"
                                : path == "/open" ? "-rw-r--r-- 1 u g 1 Jan 01 2020 seen.iso\r\n"
                                                  : "");
            scripted.setTransferDoneReply(locked ? GetParam().unreadReply : "226 Directory send OK.");
            return ScriptedFtpServer::Reply{{"250 Directory successfully changed.\r\n", 0}};
        });
        fillServer(scripted);
    }
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), 1);
    EXPECT_EQ(form->Model()->row(0).Text, "seen.iso");
    // The search ran to its end: nobody stopped it.
    EXPECT_EQ(form->PanelText(0), "Search complete. 1 folder could not be listed.");
    ASSERT_FALSE(window.notices.isEmpty());
    EXPECT_EQ(window.notices.last(), "1|Search is complete !|1 matching file found on 127.0.0.1. 1 folder could not be listed.");
    EXPECT_EQ(form->Walk().FoldersUnlisted(), QStringList{"/locked"});
    EXPECT_EQ(form->Label7->text(), "1 folder could not be listed: /locked.");
    EXPECT_TRUE(form->Image2->isVisibleTo(form));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, UnreadFolderTest,
    ::testing::Values(UnreadFolderCase{"EnteredButNotListed", "eradfmwMT"},
                      UnreadFolderCase{"NotEntered", "lradfmwMT"},
                      UnreadFolderCase{"ListedEmptyButMachineListingRefused", "elradfmwMT", {}, true},
                      UnreadFolderCase{"ListingEndsSayingTheFolderCouldNotBeOpened", {}, ScriptedFtpServer::kVsftpdUnreadFolder},
                      UnreadFolderCase{"ListingsMultiLineEndSaysTheFolderCouldNotBeRead", {}, ScriptedFtpServer::kPureFtpdUnreadFolder}),
    [](const ::testing::TestParamInfo<UnreadFolderCase> &info) { return std::string(info.param.name); });

// A server's words that only look like "could not read": a reply naming a
// folder whose name holds them, or a listing with entries that says so of
// something else. The folder's files are searched as listed.
struct ReadFolderCase
{
    const char *name;
    QByteArray folder;    // below "/", holding seen.iso
    QByteArray start;     // the reply that opens its listing
    QByteArray done;      // the reply that ends it
    bool empty = false;   // the folder holds nothing
};

void PrintTo(const ReadFolderCase &read, std::ostream *out) { *out << read.name; }

class ReadFolderTest : public SearchWindowTest, public ::testing::WithParamInterface<ReadFolderCase>
{
};

TEST_P(ReadFolderTest, AListedFolderIsSearchedWhateverItsRepliesSay)
{
    const ReadFolderCase &c = GetParam();
    ScriptedFtpServer scripted;
    ASSERT_TRUE(scripted.listen());
    scripted.on("CWD", [&](const QByteArray &to) {
        const bool inside = to == "/" + c.folder;
        scripted.setListing(inside ? QByteArray(c.empty ? "" : "-rw-r--r-- 1 u g 1 Jan 01 2020 seen.iso\r\n")
                                   : "drwxr-xr-x 1 u g 0 Jan 01 2020 " + c.folder + "\r\n");
        scripted.setTransferStartReply(inside ? c.start : "150 Here comes the directory listing.");
        scripted.setTransferDoneReply(inside ? c.done : "226 Directory send OK.");
        return ScriptedFtpServer::Reply{{"250 Directory successfully changed.\r\n", 0}};
    });
    fillServer(scripted);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(form->Model()->size(), c.empty ? 0 : 1);
    if (!c.empty) {
        EXPECT_EQ(form->Model()->row(0).Text, "seen.iso");
    }
    EXPECT_EQ(form->Walk().FoldersUnlisted(), QStringList());
    EXPECT_EQ(form->Label7->text(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ReadFolderTest,
    ::testing::Values(
        ReadFolderCase{"EndNamesTheFolder", "unable to read", "150 Opening data channel.",
                       "226 Successfully transferred \"/unable to read\""},
        ReadFolderCase{"EndNamesAnEmptyFolder", "unable to read", "150 Opening data channel.",
                       "226 Successfully transferred \"/unable to read\"", true},
        ReadFolderCase{"StartNamesTheFolder", "failed to open directory",
                       "150 Opening data channel for directory listing of \"/failed to open directory\"",
                       "226 Successfully transferred."},
        ReadFolderCase{"AListingWithEntriesSaysItOfAnother", "open", "150 Accepted data connection",
                       "226-Sorry, we were unable to read [/open/gone]\r\n226-Options: -l\r\n226 1 matches total"}),
    [](const ::testing::TestParamInfo<ReadFolderCase> &info) { return std::string(info.param.name); });

// The error line names the first few folders and counts the rest, its tool tip
// holds them all; a start folder that could not be listed is said to be one.
TEST_F(SearchWindowTest, FoldersThatCannotBeListedAreNamedAndAStartFolderIsSaidToBeOne)
{
    PyFtpServer server;
    QStringList locked;
    for (int i = 1; i <= 5; ++i) {
        const QString name = QString("locked%1").arg(i);
        ASSERT_TRUE(server.writeFile(name + "/hidden.iso", "2"));
        server.setFolderRights(name, "eradfmwMT"); // entered, never listed
        locked << "/" + name;
    }
    ASSERT_TRUE(server.writeFile("open/seen.iso", "1"));
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    fillServer(server);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(form->PanelText(0), "Search complete. 5 folders could not be listed.");
    const QString line = form->Label7->text();
    EXPECT_TRUE(line.startsWith("5 folders could not be listed: /locked")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(" and 2 more.")) << line.toStdString();
    EXPECT_EQ(line.count(", "), 2) << line.toStdString();
    const QStringList tip = form->Label7->toolTip().split('\n');
    ASSERT_EQ(tip.size(), 6) << form->Label7->toolTip().toStdString();
    EXPECT_EQ(tip.first(), "5 folders could not be listed:");
    QStringList named = tip.mid(1);
    named.sort();
    EXPECT_EQ(named, locked);

    // Started in a folder that is entered but not listed: said so, with nothing else to blame.
    form->ChkRoot->setChecked(false);
    form->txtSPF->setPlainText("/locked2");
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(form->PanelText(0), "Search complete. 1 folder could not be listed.");
    EXPECT_EQ(form->Label7->text(), "The start folder /locked2 could not be listed.");
    EXPECT_EQ(form->Label7->toolTip(), "1 folder could not be listed:\n/locked2");
    EXPECT_EQ(form->Model()->size(), 0);
}

// A start folder the server will not enter is named too, and "stopped" is said
// only when the user stopped the search.
TEST_F(SearchWindowTest, AStartFolderThatCannotBeEnteredIsNamedAndAStopSaysStopped)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    server.on("CWD", [](const QByteArray &path) {
        if (path == "/gone")
            return ScriptedFtpServer::Reply{{"550 Failed to change directory.\r\n", 0}};
        return ScriptedFtpServer::Reply{{"250 OK.\r\n", path == "/slow" ? 300 : 0}};
    });
    form->txtSvr->setText(server.host());
    form->txtport->setText(QString::number(server.port()));
    form->ChkRoot->setChecked(false);
    form->txtSPF->setPlainText("/gone\n/slow");
    form->CmdSearch_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.commandCount("CWD /slow") == 1; }, 10000));
    ScriptedPrompts prompts;
    prompts.expectMessage("Stop the search search process ?", PromptButton::Yes);
    form->CmdStop_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(form->PanelText(0), "Search stopped. 1 folder could not be listed.");
    EXPECT_EQ(form->Label7->text(), "The start folder /gone could not be listed.");
    EXPECT_TRUE(form->Walk().UnlistedFolders().isEmpty()); // never entered, so never in the walk's own list
}

TEST_F(SearchWindowTest, ARefusedLogInKeepsItsFailureInSight)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    fillServer(server);
    form->txtPwd->setText("wrong");
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(form->PanelText(0), "Could not connect to 127.0.0.1 . Currently ideal..");
    EXPECT_TRUE(form->Label7->text().startsWith("Log-in failed: 530")) << form->Label7->text().toStdString();
    EXPECT_FALSE(form->Image2->isHidden());
    ASSERT_FALSE(window.notices.isEmpty());
    EXPECT_EQ(window.notices.last(), QString("2|Search Failed !|Couldn't connect to 127.0.0.1"));
}

TEST_F(SearchWindowTest, NothingListeningSaysNoConnectionWasMade)
{
    const RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    const quint16 closedPort = refusing.port();
    form->txtSvr->setText("127.0.0.1");
    form->txtport->setText(QString::number(closedPort));
    form->txtUser->setText("u");
    form->txtPwd->setText("p");
    form->ChkRoot->setChecked(true);
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(form->PanelText(0), "Could not connect to 127.0.0.1 . Currently ideal..");
    EXPECT_EQ(form->Label7->text().toStdString(), "The connection could not be made: Connection refused");
    EXPECT_FALSE(form->Image2->isHidden());
}

// The window keeps the size the user gave it whatever the search meets: long
// folder paths in the status bar and on the error line elide (the whole text
// in the tool tip), and the results' "File" column keeps room for a name.
TEST_F(SearchWindowTest, ADeepTreeWithLongNamesLeavesTheWindowsSizeAlone)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QString typical = WriteDeepTree(server.rootPath());
    ASSERT_FALSE(typical.isEmpty());
    QString deepest = "/";
    for (QDirIterator it(server.rootPath(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();)
        deepest = std::max(deepest, it.next().mid(server.rootPath().size()),
                           [](const QString &x, const QString &y) { return x.size() < y.size(); });
    const std::tuple<const char *, bool, QString, int> cases[]{
        {"the whole tree", true, QString(), 24},
        {"a start folder that cannot be listed", false, deepest + "/missing_folder_with_a_long_name", 0}};
    for (const auto &[what, root, startFolders, hits] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(reopenShown(server));
        form->ChkRoot->setChecked(root);
        form->txtSPF->setPlainText(startFolders);
        EXPECT_EQ(WidestWhile(*form, [&] { form->CmdSearch_Click(); ASSERT_TRUE(waitIdle()); }), 820);
        ASSERT_EQ(form->Model()->size(), hits);
        EXPECT_EQ(form->size(), QSize(820, 640));
        EXPECT_TRUE(form->Label7->toolTip().contains(startFolders));
        if (hits > 0)
            ExpectNameWholeAndLocationInToolTip(*form->LV, *form->Model(), typical);
    }
}

// A size is never cut: the Size column widens to the sizes the hits bring and
// the location gives way.
TEST_F(SearchWindowTest, SizesOfHitsReadWhole)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    for (const qint64 size : {5LL << 30, 3LL << 40}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(WriteSparseFile(server.rootPath() + "/big.iso", size));
        ASSERT_TRUE(reopenShown(server));
        const int nameWidth = form->LV->columnWidth(0);
        form->CmdSearch_Click();
        ASSERT_TRUE(waitIdle());
        ExpectSizeWhole(*form->LV, *form->Model(), "big.iso");
        EXPECT_EQ(form->LV->columnWidth(0), nameWidth); // the name keeps its room
    }
}

// Statistics that grow during a search never widen the window the user sized,
// even at the narrowest it goes.
TEST_F(SearchWindowTest, GrowingStatisticsLeaveTheWindowsWidthAlone)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(WriteSparseFile(server.rootPath() + "/big.iso", 3LL << 40));
    fillServer(server);
    const QSize sized = ShowAtNarrowest(*form);
    ASSERT_TRUE(sized.isValid());
    form->CmdSearch_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(SettledSize(*form), sized);
    EXPECT_EQ(form->lblCnt[3]->text().toStdString(), "3145728.0");
}

#include "CompareTestSupport.h"
#include "DataRoot.h"
#include "ElapsedText.h"
#include "ElidingLabel.h"
#include "JobIntake.h"
#include "ModProfile.h"
#include "ProfileRecordFile.h"
#include "ProgramIcon.h"
#include "PyFtpServer.h"
#include "RefusingPort.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"
#include "StubWindow.h"
#include "TestFiles.h"
#include "WhenModal.h"
#include "WindowSizeChecks.h"
#include "frmCompare.h"
#include "frmFolderOption.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>

namespace {

void storeProfiles(const QList<CProfile> &profiles)
{
    QDir().mkpath(DataRoot::SystemFolder());
    ProfileFilePath = DefaultProfileFilePath();
    QFile::remove(ProfileFilePath);
    const ProfileRecordFile file(ProfileFilePath);
    file.ensureExists();
    for (int i = 0; i < profiles.size(); ++i)
        file.writeRecord(i + 1, ProfileRecordFile::EncodeRecord(profiles[i]));
}

CProfile profile(const QString &name, const QString &server, quint8 passive)
{
    CProfile p;
    p.ProfileName = name;
    p.Server = server;
    p.Port = 2121;
    p.User = "me";
    p.Password = "pw";
    p.IsPassive = passive;
    return p;
}

} // namespace

TEST(FolderOptionTest, DefaultsAndTheRulesOfOk)
{
    storeProfiles({});
    frmFolderOption dialog;
    EXPECT_FALSE(dialog.FtpChosen());
    EXPECT_FALSE(dialog.CmdOK->isEnabled()); // no local folder yet
    dialog.txtLocal->setText("  /tmp ");
    EXPECT_TRUE(dialog.CmdOK->isEnabled());
    EXPECT_FALSE(dialog.txtSvr->isEnabled());

    dialog.SetFtpChosen(true);
    EXPECT_EQ(dialog.txtport->text(), "21");
    EXPECT_EQ(dialog.txtUser->text(), "anonymous");
    EXPECT_EQ(dialog.txtPwd->text(), "anonymous");
    EXPECT_EQ(dialog.txtPwd->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.txtLocal->isEnabled());
    EXPECT_FALSE(dialog.CmdOK->isEnabled()); // no remote folder
    dialog.txtRmtPath->setEditText("/pub");
    EXPECT_TRUE(dialog.CmdOK->isEnabled());
    dialog.txtport->setText("abc"); // the port is not checked here
    EXPECT_TRUE(dialog.CmdOK->isEnabled());
    dialog.txtUser->setText(" ");
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
}

TEST(FolderOptionTest, ProfilesKeepTheirRecordsAndShowTheirPassiveMode)
{
    storeProfiles({profile("first", "one.example", 0), profile("   ", "blank.example", 0),
                   profile("third", "three.example", 1), profile("x", "single.example", 1)});
    frmFolderOption dialog;
    dialog.SetFtpChosen(true);
    ASSERT_EQ(dialog.CboProfile->count(), 3);
    EXPECT_EQ(dialog.CboProfile->itemText(1), "third");
    EXPECT_EQ(dialog.ProfileRecord(1), 3);
    dialog.CboProfile->setCurrentIndex(1);
    dialog.CboProfile_Click();
    EXPECT_EQ(dialog.txtSvr->text(), "three.example"); // the record of the row, not of its position
    EXPECT_EQ(dialog.txtport->text(), "2121");
    EXPECT_TRUE(dialog.ChkPsv->isChecked());
    EXPECT_FALSE(dialog.ChkPsv->isEnabled());
    EXPECT_FALSE(dialog.CmdOK->isEnabled()); // the folder box is left empty

    dialog.CboProfile->setCurrentIndex(2); // a one-letter name loads nothing
    dialog.CboProfile_Click();
    EXPECT_EQ(dialog.txtSvr->text(), "three.example");
    EXPECT_FALSE(dialog.ChkPsv->isChecked());
    dialog.CboProfile->setCurrentIndex(-1);
    dialog.CboProfile_LostFocus();
    EXPECT_TRUE(dialog.ChkPsv->isEnabled());
}

TEST(FolderOptionTest, CancelledPickerEmptiesTheFolder)
{
    ScriptedPrompts prompts;
    prompts.expectFile("Select Local Folder", std::nullopt);
    frmFolderOption dialog;
    dialog.txtLocal->setText("/tmp");
    dialog.cmdDirLoc_Click();
    EXPECT_EQ(dialog.txtLocal->text(), "");
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
    EXPECT_TRUE(prompts.allUsed());
}

class NoQueue : public JobIntake
{
public:
    void AcceptJobs(const FtpTaskCollection &, bool) override {}
    bool AddJob(const FtpTaskCollection::Job &) override { return false; }
    void ReportJobsAdded(bool, int, int) override {}
    void RunQueuedJobs() override {}
};

class CompareWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.pictures.Add("ftp", QIcon());
        window.pictures.Add("open", QIcon());
        window.pictures.Add("exl", QIcon());
        form = new frmCompare(window, &intake);
    }
    void TearDown() override { delete form.data(); }

    // A window of its own, shown: one once widened keeps its minimum.
    [[nodiscard]] bool reopenShown()
    {
        delete form.data();
        form = new frmCompare(window, &intake);
        return ShowSized(*form, {900, 600});
    }

    void runToEnd()
    {
        form->CmdSearch_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Comparison().Running(); }, 20000));
    }

    StubWindow window;
    NoQueue intake;
    QPointer<frmCompare> form;
    QTemporaryDir a;
    QTemporaryDir b;
};

TEST_F(CompareWindowTest, TheWindowShowsTheProgramsIcon)
{
    EXPECT_TRUE(form->windowIcon().pixmap(32).toImage() == ProgramIcon().pixmap(32).toImage());
}

TEST_F(CompareWindowTest, LocationTextsAndTheLocationDialog)
{
    CProfile p;
    p.Server = "FTP://host.example";
    p.RemotePath = "/pub";
    form->SetFtpLocation(0, p);
    EXPECT_EQ(form->txtLoc[0]->text(), "       ftp://host.example/pub");
    EXPECT_FALSE(form->CmdSearch->isEnabled());

    // The dialog comes preset with the side; accepting a local folder switches the side's kind.
    WhenModal<frmFolderOption>([&](frmFolderOption &dialog) {
        EXPECT_TRUE(dialog.FtpChosen());
        EXPECT_EQ(dialog.txtRmtPath->currentText(), "/pub");
        dialog.SetFtpChosen(false);
        dialog.txtLocal->setText(a.path());
        dialog.CmdOK->click();
    });
    form->CmdLoc_Click(0);
    EXPECT_FALSE(form->LocationIsFtp[0]);
    EXPECT_EQ(form->txtLoc[0]->text(), "       " + a.path());

    // Cancelling keeps the side as it was.
    WhenModal<frmFolderOption>([&](frmFolderOption &dialog) { dialog.CmdCancel->click(); });
    form->CmdLoc_Click(1);
    EXPECT_TRUE(form->txtLoc[1]->text().isEmpty());
    EXPECT_FALSE(form->CmdSearch->isEnabled());
}

TEST_F(CompareWindowTest, SameLocationRules)
{
    ScriptedPrompts prompts;
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, a.path());
    prompts.expectMessage("Why you would compare same location ?", PromptButton::Ok);
    form->CmdSearch_Click();
    EXPECT_FALSE(form->CmdSearch->isEnabled());
    EXPECT_FALSE(form->Comparison().Running());

    CProfile one;
    one.Server = "Host.Example";
    one.RemotePath = "/Data";
    CProfile two = one;
    two.Server = "host.example";
    form->SetFtpLocation(0, one);
    form->SetFtpLocation(1, two);
    prompts.expectMessage("Why you would compare same location ?", PromptButton::Ok);
    form->CmdSearch_Click(); // hosts ignore case
    two.RemotePath = "/data"; // paths do not
    form->SetFtpLocation(1, two);
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, a.path().toUpper());
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareWindowTest, LocalComparisonFillsTheListAndSorts)
{
    ASSERT_TRUE(WriteFileBytes(a.path() + "/b.txt", "xx"));
    ASSERT_TRUE(WriteFileBytes(a.path() + "/a.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(b.path() + "/a.txt", "x"));
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, b.path());
    form->txtPattern->setText("  ");
    form->CmdSearch_Click();
    EXPECT_EQ(form->txtPattern->text(), "*");
    EXPECT_TRUE(form->CmdStop->isEnabled());
    EXPECT_FALSE(form->CmdSearch->isEnabled());
    EXPECT_FALSE(form->CmdLoc[0]->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Comparison().Running(); }, 20000));
    EXPECT_EQ(form->PanelText(0), "Comparison stopped");
    EXPECT_FALSE(form->CmdStop->isEnabled());
    EXPECT_TRUE(form->CmdSearch->isEnabled());
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_EQ(form->Model()->size(), 2);
    EXPECT_EQ(form->lblCnt[0]->text(), "2");
    EXPECT_EQ(form->lblCnt[2]->text(), "1");

    form->LV->header()->sectionClicked(0);
    EXPECT_EQ(form->Model()->row(0).Text, "a.txt");
    form->LV->header()->sectionClicked(0);
    EXPECT_EQ(form->Model()->row(0).Text, "b.txt");
    const int missing = form->Model()->findKey(form->Model()->row(0).Key);
    form->LV->clicked(form->Model()->index(missing, 0));
    EXPECT_EQ(form->txtStat->text(), "Missing: ");
}

TEST_F(CompareWindowTest, StopAndCloseDuringALocalWalk)
{
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(QDir().mkpath(a.path() + QString("/d%1/e").arg(i)));
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, b.path());
    ScriptedPrompts prompts;
    prompts.expectMessage("Stop the search search process ?", PromptButton::No);
    form->CmdSearch_Click();
    form->CmdStop_Click(); // No changes nothing
    EXPECT_FALSE(form->Comparison().Run().StopCompare);
    prompts.expectMessage("Search is still running!", PromptButton::No);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->Comparison().Running());
    prompts.expectMessage("Search is still running!", PromptButton::Yes);
    EXPECT_TRUE(form->close());
    QTest::qWait(20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull()); // deleted once closed
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareWindowTest, WatchdogEndsOnlyAHungConnection)
{
    // A server that accepts and never greets: the log-in hangs.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    CProfile p;
    p.Server = "127.0.0.1";
    p.Port = silent.serverPort();
    p.User = "u";
    p.Password = "p";
    p.RemotePath = "/";
    form->SetLocalLocation(0, a.path());
    form->SetFtpLocation(1, p);
    form->CmdSearch_Click();
    ASSERT_TRUE(form->Comparison().Running());
    for (int i = 0; i < 119; ++i)
        form->Timer1_Timer();
    EXPECT_TRUE(form->Comparison().Running());
    EXPECT_EQ(form->PanelText(2), "1 Min. 59 Sec.");
    form->Timer1_Timer();
    EXPECT_FALSE(form->Comparison().Running());
    EXPECT_EQ(form->PanelText(0), "Comparison stopped");
    EXPECT_FALSE(form->Comparison().Walk(1)->Engine()->SessionActive());
}

TEST_F(CompareWindowTest, ManyRowsSortAndStopStillAnswers)
{
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE(WriteFileBytes(a.path() + QString("/f%1.txt").arg(i), QByteArray(i % 7, 'x')));
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, b.path());
    runToEnd();
    ASSERT_EQ(form->Model()->size(), 20000);
    form->LV->header()->sectionClicked(2);
    EXPECT_EQ(form->Model()->row(0).Size, 0);
    form->LV->header()->sectionClicked(2);
    EXPECT_EQ(form->Model()->row(0).Size, 6);

    // A second run is stopped while it works: the events between its slices let the stop in.
    ScriptedPrompts prompts;
    prompts.expectMessage("Stop the search search process ?", PromptButton::Yes);
    form->CmdSearch_Click();
    QTimer::singleShot(0, form, [&] { form->CmdStop_Click(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Comparison().Running(); }, 20000));
    EXPECT_LT(form->Model()->size(), 20000);
    EXPECT_EQ(form->PanelText(0), "Comparison stopped");
}

namespace {

CProfile ftpSide(quint16 port, const QString &user, const QString &path)
{
    CProfile p;
    p.Server = "127.0.0.1";
    p.Port = port;
    p.User = user;
    p.Password = PyFtpServer::kPassword;
    p.IsPassive = 1;
    p.RemotePath = path;
    return p;
}

// The result rows as "name=remarks" (" in location"), sorted.
QStringList rowRemarks(const frmCompare &form, bool inLocation = false)
{
    QStringList rows;
    for (int i = 0; i < form.Model()->size(); ++i)
        rows << form.Model()->row(i).Text + "=" + form.Model()->row(i).SubItems.value(3) +
                    (inLocation ? " in " + form.Model()->row(i).SubItems.value(0) : QString());
    rows.sort();
    return rows;
}

} // namespace

TEST_F(CompareWindowTest, OneHostWithAnotherPortOrUserIsAnotherLocation)
{
    PyFtpServer first;
    PyFtpServer second;
    ASSERT_TRUE(first.start()) << first.error().toStdString();
    ASSERT_TRUE(second.start()) << second.error().toStdString();
    ASSERT_TRUE(first.writeFile("data/a.txt", "1"));
    ASSERT_TRUE(second.writeFile("data/a.txt", "1"));
    ScriptedPrompts prompts; // any "same location" message would be unexpected
    form->SetFtpLocation(0, ftpSide(first.port(), PyFtpServer::kUser, "/data"));
    form->SetFtpLocation(1, ftpSide(second.port(), PyFtpServer::kUser, "/data"));
    runToEnd();
    EXPECT_EQ(form->Model()->size(), 1);

    CProfile anonymous = ftpSide(first.port(), "anonymous", "/data");
    form->SetFtpLocation(1, anonymous);
    runToEnd();
    EXPECT_EQ(form->Model()->size(), 1);

    // The same server, user and path, the host in other letters: one location.
    CProfile same = ftpSide(first.port(), PyFtpServer::kUser, "/data");
    same.Server = "LocalHost";
    form->SetFtpLocation(0, same);
    same.Server = "ftp://localhost";
    form->SetFtpLocation(1, same);
    prompts.expectMessage("Why you would compare same location ? Search will not proceed !", PromptButton::Ok);
    form->CmdSearch_Click();
    EXPECT_FALSE(form->Comparison().Running());
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareWindowTest, APortOutsideTheRangeIsRefused)
{
    ScriptedPrompts prompts;
    form->SetLocalLocation(0, a.path());
    form->SetFtpLocation(1, ftpSide(0, "u", "/"));
    CProfile wide = ftpSide(0, "u", "/");
    wide.Port = 65536 + 21; // would wrap to 21
    for (const CProfile &side : {ftpSide(0, "u", "/"), wide}) {
        form->SetFtpLocation(1, side);
        prompts.expectMessage("The port must be a whole number from 1 to 65535.", PromptButton::Ok);
        form->CmdSearch_Click();
        EXPECT_FALSE(form->Comparison().Running());
        EXPECT_TRUE(form->CmdSearch->isEnabled());
    }
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(CompareWindowTest, CountersFollowTheRowsAsTheyArrive)
{
    PyFtpServer first;
    PyFtpServer second;
    ASSERT_TRUE(first.start()) << first.error().toStdString();
    ASSERT_TRUE(second.start()) << second.error().toStdString();
    ASSERT_TRUE(first.writeFile("top.txt", "x"));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(first.writeFile(QString("d%1/f.txt").arg(i), "x"));
    // What the counters show whenever rows come in.
    QStringList totalsAtRows;
    QObject::connect(form->Model(), &QAbstractItemModel::rowsInserted, form,
                     [&] { totalsAtRows << form->lblCnt[0]->text(); });

    form->SetFtpLocation(0, ftpSide(first.port(), PyFtpServer::kUser, "/"));
    form->SetLocalLocation(1, a.path());
    runToEnd();
    ASSERT_FALSE(totalsAtRows.isEmpty());
    EXPECT_FALSE(totalsAtRows.contains("0")) << totalsAtRows.join(',').toStdString();
    EXPECT_EQ(form->lblCnt[0]->text(), "4");

    // FTP with FTP: nothing is counted while the two walks run; the comparison counts as it goes.
    totalsAtRows.clear();
    form->SetFtpLocation(1, ftpSide(second.port(), PyFtpServer::kUser, "/"));
    runToEnd();
    ASSERT_FALSE(totalsAtRows.isEmpty());
    EXPECT_FALSE(totalsAtRows.contains("0")) << totalsAtRows.join(',').toStdString();
    EXPECT_EQ(form->lblCnt[2]->text(), "4");
}

// How a server keeps a listed folder's files from the walk.
struct UnreadFolderCase
{
    const char *name;
    const char *rights;          // pyftpdlib's rights on /locked; none: the scripted server
    QByteArray unreadReply = {}; // the scripted server's end of the listing of /locked
    bool listedEmpty = false;    // pyftpdlib lists /locked as proftpd does: empty, MLSD refused
};

// Answers CWD with the folder's listing (none: refused), PWD with the folder
// entered or where `readBack` says it is (as vsftpd names where a link leads).
void serveFolders(ScriptedFtpServer &server, std::function<std::optional<QByteArray>(const QByteArray &)> listing,
                  std::function<QByteArray(const QByteArray &)> readBack = {})
{
    auto current = std::make_shared<QByteArray>("/");
    server.on("CWD", [&server, current, listing, readBack](const QByteArray &path) {
        const std::optional<QByteArray> found = listing(path);
        if (!found)
            return ScriptedFtpServer::Reply{{"550 Failed to change directory.\r\n", 0}};
        *current = readBack ? readBack(path) : path;
        server.setListing(*found);
        return ScriptedFtpServer::Reply{{"250 Directory successfully changed.\r\n", 0}};
    });
    server.on("PWD", [current](const QByteArray &) {
        return ScriptedFtpServer::Reply{{"257 \"" + *current + "\" is the current directory\r\n", 0}};
    });
}

void PrintTo(const UnreadFolderCase &unread, std::ostream *out) { *out << unread.name; }

class UnreadFolderTest : public CompareWindowTest, public ::testing::WithParamInterface<UnreadFolderCase>
{
};

TEST_P(UnreadFolderTest, AFolderThatCannotBeListedIsNotJudged)
{
    PyFtpServer server;
    ASSERT_TRUE(server.writeFile("locked/f.txt", "x"));
    ASSERT_TRUE(server.writeFile("locked/deeper/g.txt", "x"));
    ASSERT_TRUE(server.writeFile("open/h.txt", "x"));
    server.setFolderRights("locked", GetParam().rights);
    if (GetParam().listedEmpty)
        server.listAsUnreadable("locked");
    ScriptedFtpServer scripted;
    if (GetParam().rights) {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
    } else {
        ASSERT_TRUE(scripted.listen());
        // As vsftpd and pure-ftpd serve a folder they enter but cannot read: its
        // listing arrives empty and ends as a success that says so in words.
        serveFolders(scripted, [&scripted](const QByteArray &path) -> std::optional<QByteArray> {
            scripted.setTransferDoneReply(path == "/locked" ? GetParam().unreadReply : "226 Directory send OK.");
            const QHash<QByteArray, QByteArray> listings{
                {"/", "drwxr-xr-x 1 u g 0 Jan 01 2020 locked\r\ndrwxr-xr-x 1 u g 0 Jan 01 2020 open\r\n"},
                {"/open", "-rw-r--r-- 1 u g 1 Jan 01 2020 h.txt\r\n"},
                {"/locked", ""}};
            return listings.contains(path) ? std::optional(listings.value(path)) : std::nullopt;
        });
    }
    const quint16 port = GetParam().rights ? server.port() : scripted.port();
    ASSERT_TRUE(QDir().mkpath(a.path() + "/locked/deeper") && QDir().mkpath(a.path() + "/gone"));
    ASSERT_TRUE(WriteFileBytes(a.path() + "/locked/f.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(a.path() + "/locked/deeper/g.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(a.path() + "/gone/i.txt", "x")); // a folder the server lacks

    form->SetLocalLocation(0, a.path());
    form->SetFtpLocation(1, ftpSide(port, PyFtpServer::kUser, "/"));
    runToEnd();
    // The locked folder is there (its parent listed it); nothing in it or below is judged, nor does its row match.
    EXPECT_EQ(rowRemarks(*form), QStringList({"gone=Missing", "i.txt=Missing", "locked=Could not be listed"}));
    EXPECT_EQ(form->PanelText(0), "Comparison stopped. 1 folder could not be listed.");
    EXPECT_EQ(form->lblErr->text(), "1 folder could not be listed: /locked.");
    EXPECT_EQ(form->lblCnt[2]->text(), "1");

    // FTP with FTP, the second side unlistable: the first side's files there get no verdict.
    PyFtpServer first;
    ASSERT_TRUE(first.writeFile("locked/f.txt", "x"));
    ASSERT_TRUE(first.writeFile("open/h.txt", "x"));
    ASSERT_TRUE(first.start()) << first.error().toStdString();
    form->SetFtpLocation(0, ftpSide(first.port(), PyFtpServer::kUser, "/"));
    runToEnd();
    QStringList rows;
    for (int i = 0; i < form->Model()->size(); ++i)
        rows << form->Model()->row(i).Text + (form->Model()->row(i).IsFolder ? "=" + form->Model()->row(i).SubItems.value(3) : "");
    rows.sort();
    EXPECT_EQ(rows, QStringList({"h.txt", "locked=Could not be listed", "open=Ok"}));
    EXPECT_EQ(form->PanelText(0), "Comparison stopped. 1 folder could not be listed.");
}

INSTANTIATE_TEST_SUITE_P(Servers, UnreadFolderTest,
                         ::testing::Values(UnreadFolderCase{"EnteredButNotListed", "eradfmwMT"},
                                           UnreadFolderCase{"NotEntered", "lradfmwMT"},
                                           UnreadFolderCase{"ListedEmptyButMachineListingRefused", "elradfmwMT", {}, true},
                                           UnreadFolderCase{"ListingEndsSayingTheFolderCouldNotBeOpened", nullptr,
                                                            ScriptedFtpServer::kVsftpdUnreadFolder},
                                           UnreadFolderCase{"ListingsMultiLineEndSaysTheFolderCouldNotBeRead",
                                                            nullptr, ScriptedFtpServer::kPureFtpdUnreadFolder}),
                         [](const ::testing::TestParamInfo<UnreadFolderCase> &info) { return std::string(info.param.name); });

TEST_F(CompareWindowTest, ALogInThatFailsWithoutADisconnectEndsTheComparison)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    form->SetLocalLocation(0, a.path());
    CProfile side = ftpSide(server.port(), "u\r\nSITE x", "/");
    form->SetFtpLocation(1, side);
    runToEnd();
    EXPECT_EQ(form->PanelText(0), "Could not connect to 127.0.0.1 . Currently ideal..");
    EXPECT_TRUE(form->lblErr->text().startsWith("Log-in failed: Command not sent"))
        << form->lblErr->text().toStdString();
    EXPECT_FALSE(form->PicErr->isHidden());
    EXPECT_EQ(server.commandCount("USER"), 0);
    EXPECT_FALSE(form->Comparison().Walk(1)->Engine()->SessionActive());
}

TEST_F(CompareWindowTest, SizesAndTimesAreRightAligned)
{
    const QVariant size = form->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole);
    EXPECT_EQ(size.toString(), "File");
    ASSERT_TRUE(WriteFileBytes(a.path() + "/x.txt", "x"));
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, b.path());
    runToEnd();
    ASSERT_EQ(form->Model()->size(), 1);
    for (int column : {2, 3}) {
        const auto alignment = form->Model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_TRUE(alignment & Qt::AlignRight) << column;
    }
    EXPECT_FALSE(form->Model()->index(0, 4).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
}

TEST_F(CompareWindowTest, ARefusedLogInSaysSoAndWhy)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    CProfile side = ftpSide(server.port(), PyFtpServer::kUser, "/");
    side.Password = "wrong";
    form->SetFtpLocation(0, side);
    form->SetLocalLocation(1, a.path());
    runToEnd();
    EXPECT_EQ(form->PanelText(0), "Could not connect to 127.0.0.1 . Currently ideal..");
    EXPECT_TRUE(form->lblErr->text().startsWith("Log-in failed: 530")) << form->lblErr->text().toStdString();
    EXPECT_FALSE(form->PicErr->isHidden());
    EXPECT_EQ(form->Model()->size(), 0);
}

TEST_F(CompareWindowTest, NothingListeningSaysNoConnectionWasMade)
{
    const RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    const quint16 closedPort = refusing.port();
    form->SetLocalLocation(0, a.path());
    form->SetFtpLocation(1, ftpSide(closedPort, "u", "/"));
    runToEnd();
    EXPECT_EQ(form->PanelText(0), "Could not connect to 127.0.0.1 . Currently ideal..");
    EXPECT_EQ(form->lblErr->text().toStdString(), "The connection could not be made: Connection refused");
    EXPECT_FALSE(form->PicErr->isHidden());
}

namespace {

// A file with its folders, modified at a fixed time, so two of them match.
void putFile(const QString &path, const QByteArray &bytes, time_t modified = 1600000000)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

TEST_F(CompareWindowTest, LocalFoldersThatCannotBeReadAreNamedAndNotJudged)
{
    putFile(a.path() + "/locked/in.txt", "x");
    ASSERT_TRUE(QDir().mkpath(b.path() + "/locked"));
    putFile(a.path() + "/shut/g.txt", "x");
    putFile(b.path() + "/shut/deeper/g.txt", "x");
    putFile(a.path() + "/f.txt", "x");
    putFile(b.path() + "/f.txt", "x");
    {
        // The first side's "locked" and the second side's "shut" are there but cannot be read.
        UnreadableFolder first(a.path() + "/locked");
        UnreadableFolder second(b.path() + "/shut");
        if (!first.Holds() || !second.Holds())
            GTEST_SKIP() << "folders stay readable here";
        form->SetLocalLocation(0, a.path());
        form->SetLocalLocation(1, b.path());
        runToEnd();
    }
    // The folders keep their rows, not as matching; nothing in them is judged, so g.txt is not "Missing".
    EXPECT_EQ(rowRemarks(*form), QStringList({"f.txt=Ok", "locked=Could not be listed", "shut=Could not be listed"}));
    EXPECT_EQ(form->lblCnt[0]->text(), "1");
    EXPECT_EQ(form->lblCnt[1]->text(), "1");
    EXPECT_EQ(form->lblCnt[2]->text(), "0");
    EXPECT_EQ(form->PanelText(0), "Comparison stopped. 2 folders could not be listed.");
    // Both locations are on this machine: each name says which one.
    EXPECT_EQ(form->lblErr->text().toStdString(),
              ("2 folders could not be listed: " + a.path() + "/locked (Location 1), " + b.path()
               + "/shut (Location 2).")
                  .toStdString());
    EXPECT_FALSE(form->PicErr->isHidden());

    // A second location typed with a trailing slash: its folder's row still reads so.
    {
        UnreadableFolder first(a.path() + "/locked");
        UnreadableFolder second(b.path() + "/shut");
        form->SetLocalLocation(1, b.path() + "/");
        runToEnd();
    }
    EXPECT_EQ(rowRemarks(*form), QStringList({"f.txt=Ok", "locked=Could not be listed", "shut=Could not be listed"}));

    // The next comparison starts with a clear error line and names nothing.
    runToEnd();
    EXPECT_EQ(form->PanelText(0), "Comparison stopped");
    EXPECT_TRUE(form->PicErr->isHidden());
}

TEST_F(CompareWindowTest, UnlistedFoldersOfBothKindsAreNamedTheFirstFewThenCounted)
{
    PyFtpServer server;
    for (const QString name : {"s1", "s2", "s3"}) {
        ASSERT_TRUE(server.writeFile(name + "/f.txt", "x"));
        server.setFolderRights(name, "eradfmwMT"); // entered, never listed
        ASSERT_TRUE(QDir().mkpath(a.path() + "/" + name));
    }
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    putFile(a.path() + "/mine/in.txt", "x");
    {
        UnreadableFolder mine(a.path() + "/mine");
        if (!mine.Holds())
            GTEST_SKIP() << "folders stay readable here";
        form->SetLocalLocation(0, a.path());
        form->SetFtpLocation(1, ftpSide(server.port(), PyFtpServer::kUser, "/"));
        runToEnd();
    }
    EXPECT_EQ(rowRemarks(*form),
              QStringList({"mine=Missing", "s1=Could not be listed", "s2=Could not be listed", "s3=Could not be listed"}));
    EXPECT_EQ(form->PanelText(0), "Comparison stopped. 4 folders could not be listed.");
    // The first location's folder first, then the server's in walk order; one host each: no location named.
    const QString line = form->lblErr->text();
    EXPECT_TRUE(line.startsWith("4 folders could not be listed: " + a.path() + "/mine, /s")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(" and 1 more.")) << line.toStdString();
    EXPECT_EQ(line.count(", "), 2) << line.toStdString();
    // The tool tip holds the whole list, a folder a line.
    const QStringList tip = form->lblErr->toolTip().split('\n');
    ASSERT_EQ(tip.size(), 5) << form->lblErr->toolTip().toStdString();
    EXPECT_EQ(tip.first(), "4 folders could not be listed:");
    EXPECT_EQ(tip.at(1), a.path() + "/mine");
    QStringList onServer = tip.mid(2);
    onServer.sort();
    EXPECT_EQ(onServer, QStringList({"/s1", "/s2", "/s3"}));
    EXPECT_FALSE(form->PicErr->isHidden());
}

TEST_F(CompareWindowTest, OnOneHostTheTextsSayWhichLocation)
{
    PyFtpServer first;
    PyFtpServer second;
    for (const PyFtpServer *server : {&first, &second}) {
        putFile(server->rootPath() + "/locked/f.txt", "x");
        putFile(server->rootPath() + "/open/f.txt", "x");
    }
    first.setFolderRights("locked", "eradfmwMT");
    ASSERT_TRUE(first.start()) << first.error().toStdString();
    ASSERT_TRUE(second.start()) << second.error().toStdString();
    form->SetFtpLocation(0, ftpSide(first.port(), PyFtpServer::kUser, "/"));
    form->SetFtpLocation(1, ftpSide(second.port(), PyFtpServer::kUser, "/"));
    form->chKOnlyConflict->setChecked(true);
    runToEnd();
    // "open" matched and is hidden; "locked" was not compared, so it is no match.
    EXPECT_EQ(rowRemarks(*form), QStringList({"locked=Could not be listed"}));
    EXPECT_EQ(form->lblCnt[1]->text(), "1");
    EXPECT_EQ(form->PanelText(0), "Comparison stopped. 1 folder could not be listed.");
    EXPECT_EQ(form->lblErr->text().toStdString(), "1 folder could not be listed: /locked (Location 1).");

    // A refused log-in on one of two locations of one host.
    CProfile wrong = ftpSide(second.port(), PyFtpServer::kUser, "/");
    wrong.Password = "wrong";
    form->SetFtpLocation(1, wrong);
    runToEnd();
    EXPECT_EQ(form->PanelText(0), "Could not connect to 127.0.0.1 . Currently ideal..");
    EXPECT_TRUE(form->lblErr->text().startsWith("Location 2: Log-in failed: 530")) << form->lblErr->text().toStdString();
}

// Folders a server's listing leaves out (pure-ftpd leaves out dot names) are
// entered by the name the other location gives them, whichever location hides
// them, at every depth: the same two trees get the same verdicts in either order.
TEST_F(CompareWindowTest, TheSameTwoTreesGetTheSameVerdictsInEitherOrder)
{
    PyFtpServer lists;
    PyFtpServer hides;
    hides.setHideDotNames();
    const time_t midnight = 1577836800; // every listing shows its date alone, and the local times match it
    for (const QString &root : {lists.rootPath(), a.path(), hides.rootPath()}) {
        putFile(root + "/normal/n.txt", "n", midnight);
        putFile(root + "/normal/.deep/d.txt", "d", midnight);
        putFile(root + "/.dotdir/inside.txt", root == hides.rootPath() ? "inside, but longer" : "inside", midnight);
    }
    ASSERT_TRUE(lists.start()) << lists.error().toStdString();
    ASSERT_TRUE(hides.start()) << hides.error().toStdString();
    enum Holder { ListsDotNames, HidesDotNames, Local };
    const std::tuple<const char *, Holder, Holder> orders[]{{"FtpListingThemFirst", ListsDotNames, HidesDotNames},
                                                            {"FtpHidingThemFirst", HidesDotNames, ListsDotNames},
                                                            {"LocalFirst", Local, HidesDotNames},
                                                            {"FtpHidingThemBeforeLocal", HidesDotNames, Local}};
    for (const auto &[order, first, second] : orders) {
        SCOPED_TRACE(order);
        delete form.data();
        form = new frmCompare(window, &intake);
        for (const auto &[side, holder] : {std::pair{0, first}, std::pair{1, second}}) {
            if (holder == Local)
                form->SetLocalLocation(side, a.path());
            else
                form->SetFtpLocation(side, ftpSide((holder == ListsDotNames ? lists : hides).port(),
                                                   PyFtpServer::kUser, "/"));
        }
        runToEnd();
        const QString folder = first == Local ? "OK" : "Ok"; // how each kind words a folder found
        EXPECT_EQ(rowRemarks(*form).join(", ").toStdString(),
                  QString(".deep=%1, .dotdir=%1, d.txt=Ok, inside.txt=Size changed, n.txt=Ok, normal=%1")
                      .arg(folder)
                      .toStdString());
        EXPECT_EQ(form->lblCnt[0]->text(), "3"); // total
        EXPECT_EQ(form->lblCnt[1]->text(), "2"); // matched
        EXPECT_EQ(form->lblCnt[3]->text(), "1"); // size changed
        EXPECT_EQ(form->PanelText(0), "Comparison stopped");
    }
}

// The window keeps the size the user gave it whatever the comparison meets:
// long folder paths elide, and the results' "File" column keeps room for a name.
TEST_F(CompareWindowTest, ADeepTreeWithLongNamesLeavesTheWindowsSizeAlone)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QString typical = WriteDeepTree(server.rootPath());
    ASSERT_FALSE(typical.isEmpty());
    ASSERT_FALSE(WriteDeepTree(a.path()).isEmpty());
    for (const bool ftp : {true, false}) {
        SCOPED_TRACE(ftp ? "FTP with local" : "local with local");
        ASSERT_TRUE(reopenShown());
        if (ftp)
            form->SetFtpLocation(0, ftpSide(server.port(), PyFtpServer::kUser, "/"));
        else
            form->SetLocalLocation(0, a.path());
        form->SetLocalLocation(1, b.path());
        EXPECT_EQ(WidestWhile(*form, [&] { runToEnd(); }), 900);
        EXPECT_EQ(form->size(), QSize(900, 600));
        ExpectNameWholeAndLocationInToolTip(*form->LV, *form->Model(), typical);
    }
}

// A server the FTP first location's walk meets, and the local second location it is compared with.
struct OfferedNameCase
{
    const char *name;
    std::function<std::optional<QByteArray>(const QByteArray &path)> folder; // as serveFolders takes it
    std::function<void(const QString &local)> makeLocal;
    QStringList rows; // as rowRemarks gives them with their locations
    std::function<QByteArray(const QByteArray &path)> readBack = {};
};

class OfferedNameTest : public CompareWindowTest, public ::testing::WithParamInterface<OfferedNameCase>
{
};

// The local location's folder names lead the FTP walk into folders the server
// leaves out of its listings: never out of the chosen folder, never into one
// folder twice, never round a loop of links.
TEST_P(OfferedNameTest, TheServersFoldersAreReadOnceAndInsideTheChosenFolder)
{
    ScriptedFtpServer server;
    ASSERT_TRUE(server.listen());
    serveFolders(server, GetParam().folder, GetParam().readBack);
    GetParam().makeLocal(a.path());
    form->SetFtpLocation(0, ftpSide(server.port(), "u", "/"));
    form->SetLocalLocation(1, a.path());
    runToEnd();
    EXPECT_EQ(rowRemarks(*form, true).join(", ").toStdString(), GetParam().rows.join(", ").toStdString());
    for (const QByteArray &command : server.commands())
        EXPECT_FALSE(command.contains('\\')) << command.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Names, OfferedNameTest,
    ::testing::Values(
        // Windows servers take any letter case; "docs" is "Docs", read once.
        OfferedNameCase{"ServerIgnoringLetterCase",
                        [](const QByteArray &path) -> std::optional<QByteArray> {
                            if (path == "/")
                                return "drwxr-xr-x 1 u g 0 Jan 01 2020 Docs\r\n";
                            if (path.toLower() == "/docs")
                                return "-rw-r--r-- 1 u g 5 Jan 01 2020 in.txt\r\n";
                            return std::nullopt;
                        },
                        [](const QString &local) { putFile(local + "/docs/in.txt", "12345"); },
                        {"Docs=Missing in /", "in.txt=Missing in /Docs"}},
        // A local name that a server taking "\" for "/" would read outside the folder.
        OfferedNameCase{"BackslashesInALocalName",
                        [](const QByteArray &) -> std::optional<QByteArray> { return QByteArray(); },
                        [](const QString &local) { ASSERT_TRUE(QDir().mkpath(local + "/..\\..\\etc")); },
                        {}},
        // ".loop" links to its own folder, on the server and locally; neither lists it.
        OfferedNameCase{"ALinkLoopOnBothSides",
                        [](const QByteArray &path) -> std::optional<QByteArray> {
                            if (!QString::fromUtf8(path).remove("/.loop").isEmpty() && path != "/")
                                return std::nullopt;
                            return "-rw-r--r-- 1 u g 1 Jan 01 2020 n.txt\r\n";
                        },
                        [](const QString &local) {
                            putFile(local + "/n.txt", "n", 1577836800);
                            ASSERT_EQ(::symlink(".", QFile::encodeName(local + "/.loop").constData()), 0);
                        },
                        {".loop=Ok in /", "n.txt=Ok in /", "n.txt=Ok in /.loop"}},
        // ".cur" links to "sub"; the server reads back "/sub" on entering it.
        OfferedNameCase{"ALinkToAFolderWalkedAlready",
                        [](const QByteArray &path) -> std::optional<QByteArray> {
                            if (path == "/")
                                return "drwxr-xr-x 1 u g 0 Jan 01 2020 sub\r\n";
                            return path == "/sub" || path == "/.cur" ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
                        },
                        [](const QString &local) {
                            ASSERT_TRUE(QDir().mkpath(local + "/sub"));
                            ASSERT_EQ(::symlink("sub", QFile::encodeName(local + "/.cur").constData()), 0);
                        },
                        {".cur=Ok in /", "sub=Ok in /"},
                        [](const QByteArray &path) { return path == "/.cur" ? QByteArray("/sub") : path; }}),
    [](const ::testing::TestParamInfo<OfferedNameCase> &info) { return std::string(info.param.name); });

// The elapsed time of a long comparison reads whole in its panel, however
// many minutes it has run.
TEST_F(CompareWindowTest, TheElapsedTimeOfALongComparisonReadsWhole)
{
    ASSERT_TRUE(ShowSized(*form, {900, 600}));
    auto *panel = form->SB->findChild<ElidingLabel *>("SB_Panel3");
    ASSERT_NE(panel, nullptr);
    for (const int seconds : {59, 59 * 60 + 59, 100 * 60 + 59, 999 * 60 + 59}) {
        form->ElapsedSeconds = seconds - 1;
        form->Timer1_Timer(); // a tick of the running comparison's clock
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_EQ(panel->text().toStdString(), ElapsedText(seconds).toStdString());
        EXPECT_FALSE(panel->isElided()) << seconds;
    }
}

// A size is never cut: the Size column widens to the sizes a comparison
// brings and the location gives way; a width the user gave it stays.
TEST_F(CompareWindowTest, SizesReadWholeUnlessTheUserSizedTheColumn)
{
    // The program's font's point size once the rows are in; 0: as it is.
    const std::tuple<const char *, qint64, bool, int> cases[]{{"5 GiB", 5LL << 30, false, 0},
                                                              {"3 TiB", 3LL << 40, false, 0},
                                                              {"3 TiB, then a larger font", 3LL << 40, false, 14},
                                                              {"3 TiB, the column sized by hand", 3LL << 40, true, 0}};
    const QFont font = QApplication::font();
    for (const auto &[what, size, sizedByHand, pointSize] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(WriteSparseFile(a.filePath("big.iso"), size));
        ASSERT_TRUE(reopenShown());
        QHeaderView *header = form->LV->header();
        if (sizedByHand) { // the user drags the column's right edge to the left
            const QPoint edge(header->sectionViewportPosition(2) + header->sectionSize(2) - 1, header->height() / 2);
            QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, edge);
            QTest::mouseMove(header->viewport(), edge - QPoint(10, 0));
            QTest::mouseMove(header->viewport(), edge - QPoint(20, 0));
            QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, edge - QPoint(20, 0));
        }
        const int nameWidth = form->LV->columnWidth(0);
        const int sizeWidth = form->LV->columnWidth(2);
        form->SetLocalLocation(0, a.path());
        form->SetLocalLocation(1, b.path());
        runToEnd();
        ASSERT_GE(form->Model()->findText("big.iso"), 0);
        if (pointSize > 0) {
            QFont larger = font;
            larger.setPointSize(pointSize);
            QApplication::setFont(larger);
            QCoreApplication::processEvents();
        }
        if (sizedByHand)
            EXPECT_EQ(form->LV->columnWidth(2), sizeWidth);
        else
            ExpectSizeWhole(*form->LV, *form->Model(), "big.iso");
        if (!sizedByHand && pointSize == 0) {
            EXPECT_EQ(form->LV->columnWidth(0), nameWidth); // the name keeps its room
        }
        QApplication::setFont(font);
    }
}

// Counts that grow during a comparison never widen the window the user sized,
// even at the narrowest it goes.
TEST_F(CompareWindowTest, GrowingCountsLeaveTheWindowsWidthAlone)
{
    for (int i = 0; i < 1200; ++i)
        ASSERT_TRUE(WriteFileBytes(a.filePath(QString("f%1.txt").arg(i)), "x"));
    const QSize sized = ShowAtNarrowest(*form);
    ASSERT_TRUE(sized.isValid());
    form->SetLocalLocation(0, a.path());
    form->SetLocalLocation(1, b.path());
    runToEnd();
    EXPECT_EQ(SettledSize(*form), sized);
    EXPECT_EQ(form->lblCnt[0]->text().toStdString(), "1200");
}

// The job menu on real widgets: which commands are offered, what start, stop
// and delete do to the jobs and rows, the questions, and the pop-up.
#include "BatchAnswers.h"
#include "CountingPlayer.h"
#include "EditSnapshots.h"
#include "JobFile.h"
#include "FtpCommander.h"
#include "JobListFixture.h"
#include "JobListModel.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"
#include "SaveTasks.h"
#include "ScriptedPrompts.h"
#include "WhenModal.h"
#include "frmTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {

class JobMenu : public JobListFixture
{
protected:
    void SetUp() override
    {
        menu.addAction(pane.mnuJLoad);
        menu.addAction(pane.mnuJLoadCustom);
        menu.addAction(pane.mnuJSaveCustom);
        commands.FillJobMenu(&menu);
    }

    std::shared_ptr<FtpTask> add(const QString &name, int status, qint64 reason = 0)
    {
        auto job = std::make_shared<FtpTask>();
        job->setLocalFileTitle(name);
        job->setRemoteFileTitle(name);
        job->setLocalPath(QStringLiteral("/home/u/in"));
        job->setRemotePath(QStringLiteral("/pub"));
        job->setServerAddress(QStringLiteral("127.0.0.1"));
        job->setServerPort(1); // never reached in these tests
        job->setUser(QStringLiteral("u"));
        job->setPassword(QStringLiteral("p"));
        job->setStatus(status);
        job->setFailureReason(reason);
        EXPECT_TRUE(pane.AddJob(job));
        return job;
    }

    QStringList enabled()
    {
        commands.EnableJobMenu();
        QStringList names;
        for (const QAction *action : menu.actions()) {
            if (!action->isSeparator() && action->isEnabled())
                names << action->text();
        }
        return names;
    }

    QMenu menu;
};

} // namespace

TEST_F(JobMenu, ItemsComeBeforeTheLoadAndSaveItems)
{
    QStringList texts;
    for (const QAction *action : menu.actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    EXPECT_EQ(texts, QStringList({"Add...", "Edit...", "&Delete...", "View Details...", "Open ontaining Folder...",
                                  "Copy Local File Path", "Copy Ftp File Path", "Start", "&Resume", "Stop",
                                  "Start All", "Stop All", "Delete Completed", "Delete Failed", "Delete All",
                                  "Load Pending Jobs", "Load Saved Jobs...", "Save To Job File..."}));
}

TEST_F(JobMenu, OffersWhatTheSelectionAllows)
{
    EXPECT_EQ(enabled(), QStringList({"Add...", "&Resume", "Load Saved Jobs..."}));

    auto idle = add(QStringLiteral("idle.bin"), 0);
    auto active = add(QStringLiteral("active.bin"), 1);
    auto done = add(QStringLiteral("done.bin"), 2);
    auto failed = add(QStringLiteral("failed.bin"), 3, 7);
    failed->setSize(100);
    failed->setTransferedBytes(40);
    pane.UpdateJobSummary(); // as every intake does after adding

    select({idle});
    EXPECT_EQ(enabled(), QStringList({"Add...", "Edit...", "&Delete...", "View Details...", "Open ontaining Folder...",
                                      "Copy Local File Path", "Copy Ftp File Path", "Start", "Start All", "Stop All",
                                      "Delete Completed", "Delete Failed", "Load Saved Jobs...", "Save To Job File..."}));
    select({active});
    QStringList offered = enabled();
    EXPECT_TRUE(offered.contains("Stop"));
    EXPECT_FALSE(offered.contains("&Delete..."));
    EXPECT_FALSE(offered.contains("Start"));
    EXPECT_FALSE(offered.contains("Delete All")); // a job is active
    select({failed});
    offered = enabled();
    EXPECT_TRUE(offered.contains("Start"));
    EXPECT_TRUE(offered.contains("&Resume"));
    select({idle, failed}); // mixed: no common command, no single-row ones
    offered = enabled();
    EXPECT_FALSE(offered.contains("Start"));
    EXPECT_FALSE(offered.contains("&Delete..."));
    EXPECT_FALSE(offered.contains("View Details..."));
    EXPECT_FALSE(offered.contains("&Resume"));
    select({done});
    offered = enabled();
    EXPECT_FALSE(offered.contains("Start"));
    EXPECT_TRUE(offered.contains("&Delete..."));

    active->setStatus(3);
    EXPECT_FALSE(enabled().contains("Delete All")) << "the menu reads the counters of the last summary";
    pane.UpdateJobSummary();
    EXPECT_TRUE(enabled().contains("Delete All"));
}

TEST_F(JobMenu, StopLocksCompletedJobsAndCancelsTheRest)
{
    auto done = add(QStringLiteral("done.bin"), 2);
    done->setLocked(false);
    auto idle = add(QStringLiteral("idle.bin"), 0);
    select({done, idle});
    commands.StartJob(true, false, false);
    EXPECT_EQ(done->Status(), 2);
    EXPECT_TRUE(done->Locked());
    EXPECT_EQ(GetJobStatusText(*idle, true), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_EQ(pane.Rows->Text(idle->ZavUdeID(), JobListModel::Status), QStringLiteral("Cancelled by user"));
    EXPECT_EQ(pane.Rows->Colour(idle->ZavUdeID(), 0), JobQueuePane::Red());
}

// Started, a failed job keeps its failed state (reason cleared) until a
// connection takes it; here every connection is busy with a silent server.
TEST_F(JobMenu, StartedFailedJobReadsFailedUntilTaken)
{
    ScriptedFtpServer silent;
    ASSERT_TRUE(silent.listen());
    silent.setNoGreeting();
    for (int i = 0; i < JobDispatcher::kConnections; ++i) {
        auto busy = add(QStringLiteral("busy%1.bin").arg(i), 0);
        busy->setServerPort(silent.port());
        busy->setLocked(false);
    }
    commands.Dispatcher().RunQueuedJobs();
    for (int i = 0; i < JobDispatcher::kConnections; ++i)
        ASSERT_TRUE(commands.Dispatcher().LinkedJob(i));
    auto failed = add(QStringLiteral("failed.bin"), 3, 4);
    select({failed});
    commands.StartJob(true, true, false);
    EXPECT_EQ(failed->Status(), 3);
    EXPECT_EQ(failed->FailureReason(), 0);
    EXPECT_FALSE(failed->Locked());
    EXPECT_EQ(GetJobStatusText(*failed, false), QStringLiteral("Failed"));

    // "Stop All" frees every connection; nothing stays active.
    commands.StartJob(false, false, false);
    for (int i = 0; i < JobDispatcher::kConnections; ++i)
        EXPECT_FALSE(commands.Dispatcher().LinkedJob(i));
    for (const auto &job : pane.JobQueue)
        EXPECT_NE(job->Status(), 1);
}

TEST_F(JobMenu, DeletingTheSelectionAsksAndSkipsActiveJobs)
{
    auto idle = add(QStringLiteral("idle.bin"), 0);
    auto active = add(QStringLiteral("active.bin"), 1);
    auto failed = add(QStringLiteral("failed.bin"), 3, 9);
    select({idle, active, failed});
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Delete the selected jobs ?"), PromptButton::No);
    commands.mnuJRemove->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 3);
    prompts.expectMessage(QStringLiteral("Delete the selected jobs ?"), PromptButton::Yes);
    commands.mnuJRemove->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 1);
    EXPECT_TRUE(pane.JobQueue.ContainsKey(active->ZavUdeID()));
    EXPECT_EQ(pane.Rows->rowCount(), 1);
    ASSERT_EQ(prompts.shown().size(), 2u);
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("Delete Jobs ?"));
    EXPECT_EQ(prompts.shown()[0].text, QStringLiteral("Delete the selected jobs ?\r\n\r\nDeleted jobs cannot be "
                                                      "retrieved from 'Pending Job List'."));
    EXPECT_EQ(prompts.shown()[0].icon, PromptIcon::Question);
}

// A job that became active while "Delete All" asked stays.
TEST_F(JobMenu, DeleteAllChecksAgainAfterItsQuestion)
{
    add(QStringLiteral("a.bin"), 0);
    auto late = add(QStringLiteral("b.bin"), 0);
    add(QStringLiteral("c.bin"), 3);
    ScriptedPrompts prompts;
    prompts.onNext([&] { late->setStatus(1); });
    prompts.expectMessage(QStringLiteral("Delete all the jobs ?"), PromptButton::Yes);
    commands.mnuJClrAll->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 1);
    EXPECT_TRUE(pane.JobQueue.ContainsKey(late->ZavUdeID()));
    EXPECT_EQ(pane.Rows->rowCount(), 1);

    late->setStatus(2);
    prompts.expectMessage(QStringLiteral("Delete the completed jobs ?"), PromptButton::Yes);
    commands.mnuJClrComp->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 0);
}

// A deleted job of an edited copy takes its snapshot with it. Job files are
// untrusted: a job that names a file anywhere else, the snapshot folder
// itself, a folder deeper in it or a link in it, never removes that file.
TEST_F(JobMenu, DeletingAnEditJobRemovesItsSnapshotAndNothingElse)
{
    const EditSnapshots snapshots(EditSnapshots::DefaultFolder());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(WriteFileBytes(elsewhere.filePath("sent.txt"), "the saved edit"));
    const std::optional<QString> own = snapshots.Take(elsewhere.filePath("sent.txt"), "sent.txt");
    ASSERT_TRUE(own.has_value());
    const QString root = snapshots.Folder();
    ASSERT_TRUE(QDir(root).mkpath("outer/inner"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), root + "/linked"));
    struct Case {
        QString folder;
        QString name;
        bool removed;
    };
    const Case cases[] = {
        {*own, "sent.txt", true},
        {elsewhere.path(), "victim.txt", false},
        {root, "victim.txt", false},
        {root + "/outer/inner", "victim.txt", false},
        {root + "/linked", "reached.txt", false},
    };
    QByteArray file;
    for (const Case &c : cases) {
        if (!c.removed) {
            ASSERT_TRUE(WriteFileBytes(c.folder + "/" + c.name, "not the job's to remove"));
        }
        auto job = std::make_shared<FtpTask>();
        job->setIsUpload(true);
        job->setLocalPath(c.folder);
        job->setLocalFileTitle(c.name);
        job->setRemoteFileTitle(c.name);
        job->setRemotePath("/");
        job->setServerAddress("127.0.0.1");
        file += JobFile::EncodeLine(*job) + "\r\n";
    }
    const QString jobs = local.filePath("edits.xqr");
    ASSERT_TRUE(WriteFileBytes(jobs, file));
    pane.LoadTasks(jobs);
    ASSERT_EQ(pane.JobQueue.Count(), 5) << pane.txtJobInfo->toPlainText().toStdString();
    ScriptedPrompts prompts;
    prompts.expectMessage("Delete all the jobs ?", PromptButton::Yes);
    commands.mnuJClrAll->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 0);
    for (const Case &c : cases) {
        if (c.removed)
            EXPECT_FALSE(QFileInfo::exists(c.folder)) << c.folder.toStdString();
        else // the one written through the link is read where it went
            EXPECT_EQ(ReadFileBytes(c.name == "reached.txt" ? elsewhere.filePath(c.name) : c.folder + "/" + c.name),
                      "not the job's to remove")
                << c.folder.toStdString();
    }
    // The link in the snapshot folder went, never what it led to.
    EXPECT_FALSE(QFileInfo(root + "/linked").isSymLink());
    QDir(root).removeRecursively();
}

TEST_F(JobMenu, TenThousandRowsGoInOnePass)
{
    for (int i = 0; i < 10000; ++i)
        add(QStringLiteral("f%1").arg(i), i % 2 == 0 ? 2 : 0);
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Delete the completed jobs ?"), PromptButton::Yes);
    commands.mnuJClrComp->trigger();
    EXPECT_EQ(pane.JobQueue.Count(), 5000);
    EXPECT_EQ(pane.Rows->rowCount(), 5000);
    EXPECT_EQ(pane.Rows->KeyAt(0), pane.JobQueue.begin()->get()->ZavUdeID());
}

TEST_F(JobMenu, CopiedPathsAreTheJobsOwn)
{
    auto job = add(QStringLiteral("local.bin"), 0);
    job->setRemoteFileTitle(QStringLiteral("remote.bin"));
    select({job});
    commands.mnuJCpyLoc->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/home/u/in/local.bin"));
    commands.mnuJCpyFtp->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("127.0.0.1/pub/remote.bin"));
}

TEST_F(JobMenu, PopsUpByRightButtonAndMenuKey)
{
    pane.resize(600, 300);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    add(QStringLiteral("a.bin"), 0);
    QTest::mouseClick(pane.LVJob->viewport(), Qt::RightButton, {}, QPoint(20, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    EXPECT_TRUE(commands.mnuJClrAll->isEnabled()); // enabled before it showed
    menu.hide();
    QTest::keyClick(pane.LVJob, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    EXPECT_EQ(menu.pos(), pane.LVJob->mapToGlobal(QPoint(80, 0)));
    menu.hide();
}

TEST_F(JobMenu, HeaderClicksSortTheRowsUpThenDownAndSelectionFollowsItsJob)
{
    const auto b = add(QStringLiteral("b.txt"), 0);
    const auto c = add(QStringLiteral("C.txt"), 0);
    const auto a = add(QStringLiteral("a.txt"), 0);
    QWidget *top = pane.LVJob->window();
    top->resize(800, 400);
    top->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
    select({c});

    QHeaderView *header = pane.LVJob->header();
    const QPoint fileHeader(header->sectionViewportPosition(JobListModel::File) + 10, header->height() / 2);
    auto order = [&] {
        QStringList names;
        for (int row = 0; row < pane.Rows->rowCount(); ++row)
            names << pane.Rows->data(pane.Rows->index(row, JobListModel::File), Qt::DisplayRole).toString();
        return names;
    };
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, fileHeader);
    EXPECT_EQ(order(), (QStringList{"a.txt", "b.txt", "C.txt"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, fileHeader);
    EXPECT_EQ(order(), (QStringList{"C.txt", "b.txt", "a.txt"}));
    // The selected row is still the same job, and keys still find their rows.
    const QModelIndexList selected = pane.LVJob->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(pane.Rows->KeyAt(selected.first().row()), c->ZavUdeID());
    EXPECT_EQ(pane.Rows->RowOf(a->ZavUdeID()), 2);
    EXPECT_EQ(pane.Rows->RowOf(b->ZavUdeID()), 1);
}

// Download folders typed relative or with "." and ".." make jobs that are
// stored absolute and clean, so they come back from the job file.
TEST_F(JobMenu, JobsOfTheNewJobDialogSurviveTheJobFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("dl/sub")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QStringList typed{QStringLiteral("dl"), dir.path() + QStringLiteral("/dl/./sub/../sub/")};
    for (const QString &folder : typed) {
        WhenModal<frmTask>([&](frmTask &dialog) {
            dialog.txtSvr->setText(QStringLiteral("127.0.0.1"));
            dialog.txtUser->setText(QStringLiteral("u"));
            dialog.txtPwd->setText(QStringLiteral("p"));
            dialog.txtRmtPath->setEditText(QStringLiteral("/pub/") + QString::number(typed.indexOf(folder)) +
                                           QStringLiteral(".bin"));
            dialog.txtLocPath->setText(folder);
            dialog.CmdOK->click();
        });
        commands.mnuJAdd->trigger();
    }
    QDir::setCurrent(previous);
    ASSERT_EQ(pane.JobQueue.Count(), 2);
    QStringList folders;
    for (const auto &job : pane.JobQueue)
        folders << job->LocalPath();
    EXPECT_EQ(folders, (QStringList{dir.filePath(QStringLiteral("dl")), dir.filePath(QStringLiteral("dl/sub"))}));

    pane.TasksFile = dir.filePath(QStringLiteral("tasks.xqr"));
    ASSERT_TRUE(SaveTasks(pane.TasksFile, pane.JobQueue, false, true));
    KeyedImageList pictures2;
    JobQueuePane next(&pictures2);
    next.TasksFile = pane.TasksFile;
    next.LoadTasks(next.TasksFile);
    EXPECT_EQ(next.JobQueue.Count(), 2) << next.txtJobInfo->toPlainText().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("tasks.unread.xqr"))));
}

// "&Local File" leads to its box by Alt+L and shows no "&"; the dialog is wide
// enough at its default size for a title bar to show either direction's
// caption whole, with the program's name the platform adds after it.
TEST_F(JobMenu, TheNewJobDialogsLocalLabelAndCaptionsReadWhole)
{
    const QString displayName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ftp Qor"));
    frmTask dialog(pane, &pictures);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QLabel *local = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->text() == QStringLiteral("&Local File"))
            local = label;
    }
    ASSERT_TRUE(local);
    EXPECT_EQ(local->buddy(), dialog.txtLocPath);
    dialog.txtSvr->setFocus();
    QTest::keyClick(&dialog, Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(dialog.txtLocPath->hasFocus());

    // At least the icon and three buttons beside the caption, in the title font or the window's.
    const int buttons = 4 * dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &dialog);
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    const QFontMetrics own(dialog.font());
    for (QRadioButton *direction : {dialog.Option1[0], dialog.Option1[1]}) {
        direction->click();
        const QString shown = dialog.windowTitle() + QStringLiteral(" \u2014 Ftp Qor");
        const int needed = std::max(title.horizontalAdvance(shown), own.horizontalAdvance(shown)) + buttons;
        EXPECT_GE(dialog.minimumWidth(), needed) << shown.toStdString();
        EXPECT_GE(dialog.width(), needed) << shown.toStdString();
        EXPECT_GE(direction->width(), direction->sizeHint().width());
    }
    QGuiApplication::setApplicationDisplayName(displayName);
}

// Opening the menu or the pop-up reads the counters of the last summary: no
// sound, no completed job cleared, no overwrite answers forgotten.
TEST_F(JobMenu, OpeningTheMenuPlaysClearsAndResetsNothing)
{
    int plays = 0;
    int resets = 0;
    InstallAlertPlayer(std::make_unique<CountingPlayer>(plays));
    SetOptionFlag(OptionFlag::EnableSoundAlerts, true);
    SetOptionFlag(OptionFlag::ClearCompletedJobs, true);
    pane.setResetBatchAnswers([&](bool) { ++resets; });
    add(QStringLiteral("one.bin"), 2);
    add(QStringLiteral("two.bin"), 2);
    emit menu.aboutToShow();
    commands.PopUpJobMenu(QPoint(10, 10));
    menu.close();
    EXPECT_EQ(plays, 0);
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(pane.JobQueue.Count(), 2);
    SetOptionFlag(OptionFlag::EnableSoundAlerts, false);
    SetOptionFlag(OptionFlag::ClearCompletedJobs, false);
    InstallAlertPlayer(nullptr);
}

// "Stop All" on jobs a frozen server keeps active: the summary line and the
// menu know at once that nothing runs, and no "All Jobs Processed" plays.
TEST_F(JobMenu, StopAllRecountsTheSummaryAndNothingElse)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ::kill(static_cast<pid_t>(server.processId()), SIGSTOP);
    struct Thaw {
        qint64 pid;
        ~Thaw() { ::kill(static_cast<pid_t>(pid), SIGCONT); }
    } thaw{server.processId()};
    int plays = 0;
    InstallAlertPlayer(std::make_unique<CountingPlayer>(plays));
    SetOptionFlag(OptionFlag::EnableSoundAlerts, true);
    for (const QString &name : {QStringLiteral("a.bin"), QStringLiteral("b.bin")}) {
        auto job = add(name, 0);
        job->setIsUpload(false);
        job->setServerPort(server.port());
        job->setLocked(false);
    }
    commands.Dispatcher().RunQueuedJobs();
    EXPECT_TRUE(pane.lblJobInfo->text().contains(QStringLiteral("Active: 2")));
    EXPECT_TRUE(enabled().contains("Stop All"));

    commands.MnuJStopAll->trigger();
    EXPECT_EQ(pane.lblJobInfo->text(),
              QStringLiteral("  ( Total: 2    Active: 0    Completed: 0    Failed: 2    Queued: 0 )"));
    EXPECT_FALSE(enabled().contains("Stop All"));
    EXPECT_EQ(plays, 0);
    SetOptionFlag(OptionFlag::EnableSoundAlerts, false);
    InstallAlertPlayer(nullptr);
}

// With no row selected "&Resume" is offered, as for every selected job, and does nothing.
TEST_F(JobMenu, ResumeWithNoSelectionIsOfferedAndDoesNothing)
{
    auto paused = add(QStringLiteral("paused.bin"), 0);
    paused->setSize(100);
    paused->setTransferedBytes(40);
    pane.UpdateJobSummary();
    select({});
    EXPECT_TRUE(enabled().contains("&Resume"));
    commands.mnuJResume->trigger();
    EXPECT_TRUE(paused->Locked());
    EXPECT_FALSE(paused->IsResume());
    EXPECT_EQ(paused->Status(), 0);
}

// A failed upload that sent data may resume whatever its count says (the
// resume asks the server); other jobs only part-way through their size.
TEST_F(JobMenu, ResumeIsOfferedForEveryFailedUploadThatSentData)
{
    auto upload = add(QStringLiteral("up.bin"), 3, 9);
    upload->setIsUpload(true);
    upload->setSize(100);
    auto download = add(QStringLiteral("down.bin"), 3, 12);
    download->setSize(100);
    pane.UpdateJobSummary();
    for (const qint64 bytes : {qint64(0), qint64(100)}) {
        upload->setTransferedBytes(bytes);
        download->setTransferedBytes(bytes);
        select({download});
        EXPECT_FALSE(enabled().contains("&Resume")) << bytes;
        select({upload});
        EXPECT_EQ(enabled().contains("&Resume"), bytes > 0) << bytes;
        upload->setSentData(true);
        EXPECT_TRUE(enabled().contains("&Resume")) << bytes;
        upload->setSentData(false);
    }
}

// The job menu on real widgets: which commands are offered, what start, stop
// and delete do to the jobs and rows, the questions, and the pop-up.
#include "BatchAnswers.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "KeyedImageList.h"
#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTest>
#include <QTreeView>

namespace {

class JobMenu : public ::testing::Test
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

    void select(const std::vector<std::shared_ptr<FtpTask>> &jobs)
    {
        QItemSelectionModel *selection = pane.LVJob->selectionModel();
        selection->clearSelection();
        for (const auto &job : jobs)
            selection->select(pane.Rows->index(pane.Rows->RowOf(job->ZavUdeID()), 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
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

    KeyedImageList pictures;
    JobQueuePane pane{&pictures};
    BatchAnswers answers;
    JobCommands commands{pane, answers, JobDataPorts{0, 0, 0}};
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

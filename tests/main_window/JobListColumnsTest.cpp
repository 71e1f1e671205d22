// The job list in the real window: sizes, captions and job states read whole
// where the list has room, a state wider than any before widens its column
// wherever in the list it arrives, and nothing moves when jobs start and end.
#include "frmZAVUde.h"

#include "ColumnWidthKeeper.h"
#include "FtpTask.h"
#include "FtpTaskCollection.h"
#include "JobCommands.h"
#include "JobAccount.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "LocalPane.h"
#include "MainWindowEditJobs.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using Jobs = std::vector<std::shared_ptr<FtpTask>>;

void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

// A window on a fresh data folder: no column was sized by hand.
std::unique_ptr<frmZAVUde> FreshWindow(int width, int height)
{
    const std::unique_ptr<QSettings> settings = frmZAVUde::OpenSettingsStore();
    settings->remove("LV");
    settings->remove("UI");
    auto window = std::make_unique<frmZAVUde>();
    window->resize(width, height);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    settle();
    return window;
}

// A download from ftp.example.org; status 3 with reason 10 is a job that failed for a local problem.
std::shared_ptr<FtpTask> Download(const QString &name, const QString &localFolder, qint64 size = 19000000,
                                  int status = 0, int reason = 0)
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(name);
    job->setRemoteFileTitle(name);
    job->setLocalPath(localFolder);
    job->setRemotePath(QStringLiteral("/"));
    job->setSize(size);
    job->setServerAddress("ftp.example.org");
    job->setStatus(status);
    job->setFailureReason(reason);
    return job;
}

Jobs Pictures(const QString &localFolder)
{
    Jobs jobs;
    for (int i = 0; i < 40; ++i)
        jobs.push_back(Download(QStringLiteral("holiday-pictures-%1.tar.gz").arg(i), localFolder));
    return jobs;
}

// The jobs saved to a job file at `path` and loaded into the window from it.
[[nodiscard]] bool Load(frmZAVUde &window, const QString &path, const Jobs &jobs)
{
    QByteArray file;
    for (const auto &job : jobs)
        file += JobFile::EncodeLine(*job) + "\r\n";
    if (!WriteFileBytes(path, file))
        return false;
    window.LoadTasks(path);
    settle();
    return true;
}

// The room a cell's text takes in the list: text, picture and the style's margins.
int TextRoom(const QTreeView *list, const QModelIndex &index)
{
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const int picture = index.data(Qt::DecorationRole).isNull() ? 0 : list->iconSize().isValid() ? list->iconSize().width()
                                                                : list->style()->pixelMetric(QStyle::PM_SmallIconSize);
    return list->fontMetrics().horizontalAdvance(index.data().toString()) + picture + 2 * margin;
}

// Every caption reads whole: its section as wide as the text and inside the header.
void ExpectCaptionsWhole(const QHeaderView *header)
{
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int column = 0; column < JobListModel::ColumnCount; ++column) {
        const QString caption = header->model()->headerData(column, Qt::Horizontal).toString();
        EXPECT_TRUE(header->sectionSize(column) >= header->fontMetrics().horizontalAdvance(caption) + 2 * margin
                    && header->sectionViewportPosition(column) + header->sectionSize(column) <= header->viewport()->width())
            << column;
    }
}

// The first row's job runs: its time left reads whole.
void ExpectTimeLeftWholeOnceTheFirstJobRuns(frmZAVUde &window)
{
    const QTreeView *list = window.Jobs()->LVJob;
    const QModelIndex timeLeft = list->model()->index(0, JobListModel::TimeLeft);
    window.Jobs()->JobQueue.Find(timeLeft.data(Qt::UserRole).toString())->setStatus(1);
    window.Jobs()->Timer3_Timer();
    settle();
    ASSERT_EQ(timeLeft.data().toString(), "Estimating...");
    EXPECT_GE(list->columnWidth(JobListModel::TimeLeft), TextRoom(list, timeLeft));
}

// Where the things a user clicks are, in window coordinates: the job list's
// caption and first row, the panes' summary lines and the arrow buttons.
std::map<QString, QPoint> ClickablePlaces(frmZAVUde &window)
{
    QTreeView *list = window.Jobs()->LVJob;
    std::map<QString, QPoint> places{
        {"job summary", window.Jobs()->lblJobInfo->mapTo(&window, QPoint())},
        {"job captions", list->header()->mapTo(&window, QPoint())},
        {"first job", list->viewport()->mapTo(&window, list->visualRect(list->model()->index(0, 0)).topLeft())},
        {"local summary", window.Local()->lblLocal->mapTo(&window, QPoint())},
        {"first server's summary", window.Remote(0)->lblRemote->mapTo(&window, QPoint())},
        {"second server's summary", window.Remote(1)->lblRemote->mapTo(&window, QPoint())}};
    for (const char *name : {"CmdOut0", "CmdIN0", "CmdOut1", "CmdIN1", "CmdToFTP0", "CmdToFTP1"}) {
        const QWidget *button = window.findChild<QWidget *>(name);
        EXPECT_TRUE(button->isVisible()) << name;
        places[name] = button->mapTo(&window, QPoint());
    }
    return places;
}

// What moved from `before` to `now`, as "name x,y -> x,y" lines.
std::string Moved(const std::map<QString, QPoint> &before, const std::map<QString, QPoint> &now)
{
    std::string moved;
    for (const auto &[name, at] : before) {
        const QPoint later = now.at(name);
        if (later != at)
            moved += QStringLiteral("%1 %2,%3 -> %4,%5\n")
                         .arg(name).arg(at.x()).arg(at.y()).arg(later.x()).arg(later.y()).toStdString();
    }
    return moved;
}

} // namespace

// The connections' bars that show while jobs run move nothing a user may
// click, in a small window (1000x700 on the screen, 988x664 inside a window
// manager's frame) as in a large one.
TEST(JobListColumns, NothingTheUserMayClickMovesWhenJobsStartAndEnd)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QStringList names = {"a.bin", "b.bin", "c.bin"};
    for (const QString &name : names)
        ASSERT_TRUE(server.writeFile(name, "the server's copy of " + name.toUtf8()));
    for (const QSize size : {QSize(988, 664), QSize(1000, 700), QSize(1600, 1000)}) {
        SCOPED_TRACE(size.width());
        ScriptedPrompts prompts; // no question is expected
        QTemporaryDir local;
        const std::unique_ptr<frmZAVUde> window = FreshWindow(size.width(), size.height());
        window->ShowDual(true);
        Jobs jobs;
        FtpTaskCollection queued;
        for (const QString &name : names) {
            jobs.push_back(Download(name, local.path(), -1));
            JobAccount::PyFtpd(server.host(), server.port()).applyTo(*jobs.back());
            queued.AddFtpTask(jobs.back());
        }
        window->Jobs()->AcceptJobs(queued, false);
        settle();
        const std::map<QString, QPoint> before = ClickablePlaces(*window);
        const QWidget *bar = window->findChild<QWidget *>("FtpJobs0");
        ASSERT_NE(bar, nullptr);
        {
            // The server takes the connections but answers nothing: the jobs run until it goes on.
            FrozenServer frozen(server.processId());
            window->JobControl()->mnuJStartAll->trigger();
            ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }));
            settle();
            ASSERT_TRUE(bar->isVisible() && jobs.front()->Status() == 1);
            EXPECT_EQ(Moved(before, ClickablePlaces(*window)), "") << "while the jobs run";
        }
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return !bar->isVisible()
                && std::all_of(jobs.begin(), jobs.end(), [](const auto &job) { return job->Status() == 2; });
        }, 30000));
        settle();
        EXPECT_EQ(Moved(before, ClickablePlaces(*window)), "") << "once they ended";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->IsAnySessionActive(); }, 30000));
        EXPECT_TRUE(window->close());
    }
}

// A job far down a long list failing with a wider state widens Status as a row at the top does.
TEST(JobListColumns, AWiderStateWidensTheStatusColumnInWhicheverRowItArrives)
{
    constexpr int kJobs = 1500;
    PyFtpServer server;
    ASSERT_TRUE(server.writeFile("wanted.bin", "0123456789"));
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    QTemporaryDir local;
    // A file where the job's folder should be: the download cannot be written.
    ASSERT_TRUE(WriteFileBytes(local.filePath("not-a-folder"), "x"));
    for (const int failing : {1, 1400}) {
        SCOPED_TRACE(failing);
        ScriptedPrompts prompts; // no question is expected
        const std::unique_ptr<frmZAVUde> window = FreshWindow(1600, 1000);
        QTreeView *list = window->Jobs()->LVJob;
        FtpTaskCollection jobs;
        for (int i = 0; i < kJobs; ++i) {
            const bool wanted = i == failing;
            auto job = Download(wanted ? QStringLiteral("wanted.bin") : QStringLiteral("queued-%1.bin").arg(i),
                                wanted ? local.filePath("not-a-folder/in") : local.path(), 10);
            job->setServerAddress(server.host());
            job->setServerPort(server.port());
            job->setUser(QString::fromLatin1(PyFtpServer::kUser));
            job->setPassword(QString::fromLatin1(PyFtpServer::kPassword));
            jobs.AddFtpTask(job);
        }
        window->Jobs()->AcceptJobs(jobs, false);
        settle();
        ASSERT_EQ(list->model()->rowCount(), kJobs);
        const QModelIndex status = list->model()->index(failing, JobListModel::Status);
        list->selectionModel()->select(status, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        window->JobControl()->mnuJStart->trigger();
        const FtpTaskCollection::Job job = window->Jobs()->JobQueue.Find(list->model()->index(failing, 0).data(Qt::UserRole).toString());
        ASSERT_TRUE(job);
        ASSERT_TRUE(QTest::qWaitFor([&] { return job->Status() == 3; }, 30000));
        settle();
        EXPECT_EQ(status.data().toString(), "Local system has problem with this job");
        EXPECT_GE(list->columnWidth(JobListModel::Status), TextRoom(list, status));
    }
}

// At 1000x700 names and paths give way first; sizes, times left and captions
// read whole, and only then does a long state elide, whole in its tool tip.
TEST(JobListColumns, AtAThousandBySevenHundredSizesAndCaptionsReadWhole)
{
    ScriptedPrompts prompts; // no question is expected
    QTemporaryDir folder;
    const std::unique_ptr<frmZAVUde> window = FreshWindow(1000, 700);
    QTreeView *list = window->Jobs()->LVJob;
    const QString pictures = "/home/user/Downloads/pictures";
    const std::pair<const char *, Jobs> steps[] = {
        {"queued jobs loaded", Pictures(pictures)},
        {"a job that failed for a local problem loaded", {Download("failed-pictures.tar.gz", pictures, 19000000, 3, 10)}}};
    for (const auto &[name, jobs] : steps) {
        SCOPED_TRACE(name);
        for (const auto &job : jobs)
            job->setRemotePath("/pub/archive/pictures/2026");
        ASSERT_TRUE(Load(*window, folder.filePath(QString::fromLatin1(name) + ".xqr"), jobs));
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QModelIndex size = list->model()->index(row, JobListModel::Size);
            ASSERT_EQ(size.data().toString().trimmed(), "19000000");
            EXPECT_GE(list->columnWidth(JobListModel::Size), TextRoom(list, size)) << row;
            const QModelIndex status = list->model()->index(row, JobListModel::Status);
            EXPECT_EQ(status.data(Qt::ToolTipRole).toString(), status.data().toString()) << row;
            if (list->columnWidth(JobListModel::Status) < TextRoom(list, status)) {
                // The state elides only once the names and paths gave what they could.
                EXPECT_LE(list->columnWidth(JobListModel::File), ColumnWidthKeeper::NameColumnMinimum(list));
                EXPECT_LT(list->columnWidth(JobListModel::LocalPath), list->header()->defaultSectionSize());
                EXPECT_LT(list->columnWidth(JobListModel::RemotePath), list->header()->defaultSectionSize());
            }
        }
        ExpectCaptionsWhole(list->header());
    }
    // A job that runs: its time left reads whole too, before the state.
    ExpectTimeLeftWholeOnceTheFirstJobRuns(*window);
}

// A larger desktop font, from the start or set while open: captions still read whole.
TEST(JobListColumns, CaptionsReadWholeInALargerFont)
{
    const QFont usual = QApplication::font();
    QFont larger = usual;
    larger.setPointSizeF(usual.pointSizeF() * 4 / 3);
    for (const bool fromTheStart : {true, false}) {
        SCOPED_TRACE(fromTheStart ? "the larger font from the start" : "the font made larger while open");
        ScriptedPrompts prompts; // no question is expected
        if (fromTheStart)
            QApplication::setFont(larger);
        const std::unique_ptr<frmZAVUde> window = FreshWindow(1600, 1000);
        if (!fromTheStart)
            QApplication::setFont(larger);
        QTemporaryDir folder;
        ASSERT_TRUE(Load(*window, folder.filePath("jobs.xqr"), Pictures("/home/user/Downloads")));
        const QHeaderView *header = window->Jobs()->LVJob->header();
        ASSERT_EQ(header->font().pointSizeF(), larger.pointSizeF());
        ExpectCaptionsWhole(header);
        QApplication::setFont(usual);
    }
}

// A width set by double-clicking a divider is kept through later rows, resizes and restarts.
TEST(JobListColumns, AColumnSizedByDoubleClickingItsDividerKeepsThatWidth)
{
    ScriptedPrompts prompts; // no question is expected
    QTemporaryDir folder;
    int sized = 0;
    {
        const std::unique_ptr<frmZAVUde> window = FreshWindow(1600, 1000);
        ASSERT_TRUE(Load(*window, folder.filePath("queued.xqr"), {Download("queued.bin", "/home/user/Downloads")}));
        QHeaderView *header = window->Jobs()->LVJob->header();
        const int before = header->sectionSize(JobListModel::Status);
        const QPoint divider(header->sectionViewportPosition(JobListModel::Status) + before - 1, header->height() / 2);
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, header->viewport()->mapTo(window.get(), divider));
        settle();
        sized = header->sectionSize(JobListModel::Status);
        ASSERT_NE(sized, before);
        ASSERT_TRUE(Load(*window, folder.filePath("failed.xqr"), {Download("failed.bin", "/home/user/Downloads", 19000000, 3, 10)}));
        window->resize(1400, 1000);
        settle();
        EXPECT_EQ(header->sectionSize(JobListModel::Status), sized);
        prompts.expectMessage("pending or failed jobs", PromptButton::No);
        EXPECT_TRUE(window->close());
    }
    frmZAVUde again;
    again.resize(1000, 700);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    settle();
    EXPECT_EQ(again.Jobs()->LVJob->columnWidth(JobListModel::Status), sized);
}

// A button held on the header while a job's state widens its column (a slow
// click to sort, a press on a divider that does not move) is no sizing by
// the user: the columns go on following their texts and the list's width.
TEST(JobListColumns, AStateThatWidensAColumnWhileTheHeaderIsPressedLeavesTheColumnsFitting)
{
    const std::pair<const char *, bool> presses[] = {{"a slow click on File", false}, {"a press on a divider", true}};
    for (const auto &[name, onDivider] : presses) {
        SCOPED_TRACE(name);
        ScriptedPrompts prompts; // no question is expected
        QTemporaryDir folder;
        const std::unique_ptr<frmZAVUde> window = FreshWindow(1600, 1000);
        QTreeView *list = window->Jobs()->LVJob;
        ASSERT_TRUE(Load(*window, folder.filePath("queued.xqr"), Pictures("/home/user/Downloads/pictures")));
        QHeaderView *header = list->header();
        const int x = header->sectionViewportPosition(JobListModel::File)
                    + (onDivider ? header->sectionSize(JobListModel::File) - 1 : header->sectionSize(JobListModel::File) / 2);
        const QPoint at = header->viewport()->mapTo(window.get(), QPoint(x, header->height() / 2));
        const int statusWidth = header->sectionSize(JobListModel::Status);
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, at);
        const QModelIndex status = list->model()->index(1, JobListModel::Status);
        window->Jobs()->FailJob(list->model()->index(1, 0).data(Qt::UserRole).toString(), 10, "cannot write");
        settle();
        ASSERT_EQ(status.data().toString(), "Local system has problem with this job");
        ASSERT_GT(header->sectionSize(JobListModel::Status), statusWidth) << "the state widened its column";
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, at);
        settle();

        // The list narrows, and a job that runs shows its time left.
        window->resize(1000, 700);
        settle();
        ExpectTimeLeftWholeOnceTheFirstJobRuns(*window);
        EXPECT_GE(list->columnWidth(JobListModel::Size), TextRoom(list, list->model()->index(0, JobListModel::Size)));
        for (const int column : {JobListModel::Size, JobListModel::Complete, JobListModel::Status, JobListModel::TimeLeft})
            EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column), header->viewport()->width()) << column;
    }
}

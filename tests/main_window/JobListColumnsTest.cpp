// The job list's columns in the real window: sizes, captions and job states
// read whole where the list has room, and a state wider than any before
// widens its column wherever in the list it arrives.
#include "frmZAVUde.h"

#include "ColumnWidthKeeper.h"
#include "FtpTask.h"
#include "FtpTaskCollection.h"
#include "JobCommands.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "PyFtpServer.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

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

std::shared_ptr<FtpTask> Download(const QString &name, const QString &localFolder, qint64 size)
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(name);
    job->setRemoteFileTitle(name);
    job->setLocalPath(localFolder);
    job->setRemotePath(QStringLiteral("/"));
    job->setSize(size);
    return job;
}

// The room a cell's text takes in the list: the text itself, the picture
// beside it, and the margins the style keeps on either side.
int TextRoom(const QTreeView *list, const QModelIndex &index)
{
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const int picture = index.data(Qt::DecorationRole).isNull() ? 0 : list->iconSize().isValid() ? list->iconSize().width()
                                                                : list->style()->pixelMetric(QStyle::PM_SmallIconSize);
    return list->fontMetrics().horizontalAdvance(index.data().toString()) + picture + 2 * margin;
}

// Whether a column's caption reads whole: its section as wide as the text
// and inside the header, not behind its right edge.
bool CaptionReadsWhole(const QHeaderView *header, int column)
{
    const QString caption = header->model()->headerData(column, Qt::Horizontal).toString();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return header->sectionSize(column) >= header->fontMetrics().horizontalAdvance(caption) + 2 * margin
        && header->sectionViewportPosition(column) + header->sectionSize(column) <= header->viewport()->width();
}

} // namespace

// A job far down a long list fails with a state wider than any before: the
// Status column widens to it, as it does for a row at the top.
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
            const QString name = i == failing ? QStringLiteral("wanted.bin") : QStringLiteral("queued-%1.bin").arg(i);
            auto job = Download(name, i == failing ? local.filePath("not-a-folder/in") : local.path(), 10);
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

// At 1000x700 the list is too narrow for every text: names and paths give
// way first, sizes, times left and captions read whole, and only then does a
// long state elide, whole in its tool tip.
TEST(JobListColumns, AtAThousandBySevenHundredSizesAndCaptionsReadWhole)
{
    ScriptedPrompts prompts; // no question is expected
    QTemporaryDir folder;
    const std::unique_ptr<frmZAVUde> window = FreshWindow(1000, 700);
    QTreeView *list = window->Jobs()->LVJob;
    struct Step {
        const char *name;
        std::vector<std::shared_ptr<FtpTask>> jobs;
    };
    std::vector<Step> steps(2);
    steps[0].name = "queued jobs loaded";
    for (int i = 0; i < 40; ++i)
        steps[0].jobs.push_back(Download(QStringLiteral("holiday-pictures-%1.tar.gz").arg(i),
                                         "/home/user/Downloads/pictures", 19000000));
    steps[1].name = "a job that failed for a local problem loaded";
    steps[1].jobs.push_back(Download("failed-pictures.tar.gz", "/home/user/Downloads/pictures", 19000000));
    steps[1].jobs.back()->setStatus(3);
    steps[1].jobs.back()->setFailureReason(10);
    for (size_t s = 0; s < steps.size(); ++s) {
        SCOPED_TRACE(steps[s].name);
        QByteArray file;
        for (const auto &job : steps[s].jobs) {
            job->setServerAddress("ftp.example.org");
            job->setRemotePath("/pub/archive/pictures/2026");
            file += JobFile::EncodeLine(*job) + "\r\n";
        }
        const QString path = folder.filePath(QString("step-%1.xqr").arg(s));
        ASSERT_TRUE(WriteFileBytes(path, file));
        window->LoadTasks(path);
        settle();
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
        for (int column = 0; column < JobListModel::ColumnCount; ++column)
            EXPECT_TRUE(CaptionReadsWhole(list->header(), column)) << column;
    }
    // A job that runs: its time left reads whole too, before the state.
    const QModelIndex timeLeft = list->model()->index(0, JobListModel::TimeLeft);
    window->Jobs()->JobQueue.Find(timeLeft.data(Qt::UserRole).toString())->setStatus(1);
    window->Jobs()->Timer3_Timer();
    settle();
    ASSERT_EQ(timeLeft.data().toString(), "Estimating...");
    EXPECT_GE(list->columnWidth(JobListModel::TimeLeft), TextRoom(list, timeLeft));
}

// With a larger desktop font, from the start or changed while the window is
// open, a caption wider than a column's plain width reads whole where the
// list has room.
TEST(JobListColumns, CaptionsReadWholeInALargerFont)
{
    struct Case {
        const char *name;
        bool fromTheStart;
    };
    const Case cases[] = {{"the larger font from the start", true}, {"the font made larger while open", false}};
    const QFont usual = QApplication::font();
    QFont larger = usual;
    larger.setPointSizeF(usual.pointSizeF() * 4 / 3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompts prompts; // no question is expected
        if (c.fromTheStart)
            QApplication::setFont(larger);
        const std::unique_ptr<frmZAVUde> window = FreshWindow(1600, 1000);
        if (!c.fromTheStart)
            QApplication::setFont(larger);
        QTemporaryDir folder;
        QByteArray file;
        for (int i = 0; i < 40; ++i) {
            const auto job = Download(QStringLiteral("holiday-pictures-%1.tar.gz").arg(i), "/home/user/Downloads", 19000000);
            job->setServerAddress("ftp.example.org");
            file += JobFile::EncodeLine(*job) + "\r\n";
        }
        ASSERT_TRUE(WriteFileBytes(folder.filePath("jobs.xqr"), file));
        window->LoadTasks(folder.filePath("jobs.xqr"));
        settle();
        QTreeView *list = window->Jobs()->LVJob;
        ASSERT_EQ(list->header()->font().pointSizeF(), larger.pointSizeF());
        for (int column = 0; column < JobListModel::ColumnCount; ++column)
            EXPECT_TRUE(CaptionReadsWhole(list->header(), column)) << column;
        QApplication::setFont(usual);
    }
}

// A double click on a column's divider sizes the column to its texts, as the
// user asked: later rows and a resized window keep that width, and it comes
// back at the next start.
TEST(JobListColumns, AColumnSizedByDoubleClickingItsDividerKeepsThatWidth)
{
    ScriptedPrompts prompts; // no question is expected
    QTemporaryDir folder;
    const auto load = [&](frmZAVUde &window, const QString &name, int status, int reason) {
        const auto job = Download(name, "/home/user/Downloads", 19000000);
        job->setServerAddress("ftp.example.org");
        job->setStatus(status);
        job->setFailureReason(reason);
        const QString path = folder.filePath(name + ".xqr");
        ASSERT_TRUE(WriteFileBytes(path, JobFile::EncodeLine(*job) + "\r\n"));
        window.LoadTasks(path);
        settle();
    };
    int sized = 0;
    {
        const std::unique_ptr<frmZAVUde> window = FreshWindow(1600, 1000);
        load(*window, "queued.bin", 0, 0);
        QHeaderView *header = window->Jobs()->LVJob->header();
        const int before = header->sectionSize(JobListModel::Status);
        const QPoint divider(header->sectionViewportPosition(JobListModel::Status) + before - 1, header->height() / 2);
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, header->viewport()->mapTo(window.get(), divider));
        settle();
        sized = header->sectionSize(JobListModel::Status);
        ASSERT_NE(sized, before);
        load(*window, "failed.bin", 3, 10); // a wider state
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

// The main window while it is used, as a new user meets it: the panes keep
// the widths they have whatever their labels say, and sizes, states, paths
// and job states can be read.
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "FtpTask.h"
#include "FtpTaskCollection.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "LocalPane.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "WhenModal.h"
#include "frmFileConfirm.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QString kDeep = QStringLiteral("/a-folder-with-a-long-name/lvl02/lvl03/lvl04/lvl05/lvl06/lvl07/lvl08/lvl09/"
                                     "lvl10/lvl11/the-twelfth-level");

// Lays out what the last step changed, without waiting for a clock.
void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

bool sparseFile(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

int widestText(const QTreeView *list, int column)
{
    return static_cast<const QAbstractItemView *>(list)->sizeHintForColumn(column);
}

void selectAll(QTreeView *list, int rows)
{
    QAbstractItemModel *model = list->model();
    list->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(rows - 1, 0)),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

struct WindowSize
{
    int width;
    int height;
};

class PaneLayout : public ::testing::TestWithParam<WindowSize>
{
protected:
    std::array<PyFtpServer, 2> servers;
    QTemporaryDir local;
    ScriptedPrompts prompts; // any question fails the test
    std::unique_ptr<frmZAVUde> window;

    void SetUp() override
    {
        // A fresh data folder: nothing sized by hand.
        const std::unique_ptr<QSettings> settings = frmZAVUde::OpenSettingsStore();
        settings->remove("LV");
        settings->remove("UI");
        for (PyFtpServer &server : servers) {
            ASSERT_TRUE(server.makeFolder(kDeep.mid(1)));
            ASSERT_TRUE(server.writeFile("a-file-to-download.txt", "0123456789"));
            ASSERT_TRUE(sparseFile(server.rootPath() + "/disk-image.iso", 1024LL * 1024 * 1024));
            ASSERT_TRUE(server.makeFolder("images"));
            ASSERT_TRUE(sparseFile(server.rootPath() + "/images/disk-image.iso", 1024LL * 1024 * 1024));
            ASSERT_TRUE(server.start()) << server.error().toStdString();
        }
        ASSERT_TRUE(QDir(local.path()).mkdir("a-local-folder-with-a-name-longer-than-the-box"));
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(sparseFile(local.filePath(QString("file-%1.bin").arg(i)), (i + 1) * 19LL * 1000 * 1000));
        window = std::make_unique<frmZAVUde>();
        window->ShowDual(true);
        window->resize(GetParam().width, GetParam().height);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->Local()->LoadLocalFolders(local.path()));
        settle();
    }

    void TearDown() override
    {
        window.reset();
        const std::unique_ptr<QSettings> settings = frmZAVUde::OpenSettingsStore();
        settings->remove("LV");
        settings->remove("UI");
    }

    bool listed(int slot, const QString &path)
    {
        return QTest::qWaitFor([&] {
            const ServerSlot *s = window->Slot(slot);
            return s->SessionActive() && !s->IsBusy() && s->SlotRemotePath() == path;
        }, 30000);
    }

    QList<int> paneWidths() const
    {
        return {window->Local()->width(), window->Remote(0)->width(), window->Remote(1)->width()};
    }

    void expectReadable(const char *step)
    {
        SCOPED_TRACE(step);
        // Sizes read whole in the lists that show them (fitted: nothing was sized by hand).
        for (QTreeView *list : {window->Local()->LeftView, window->Remote(0)->RightView, window->Remote(1)->RightView}) {
            if (list->model()->rowCount() > 0) {
                EXPECT_GE(list->columnWidth(1), widestText(list, 1)) << list->objectName().toStdString();
            }
        }
        for (int slot = 0; slot < 2; ++slot) {
            const RemotePane *pane = window->Remote(slot);
            // The summary and the state each have their own room; each is whole in its tool tip.
            EXPECT_FALSE(pane->lblRemote->geometry().intersects(pane->lblState->geometry())) << slot;
            EXPECT_GE(pane->lblState->width(), pane->lblState->fontMetrics().horizontalAdvance("Connected")) << slot;
            EXPECT_EQ(pane->lblRemote->toolTip(), pane->lblRemote->text()) << slot;
        }
        // The path boxes show the end of the path, the folder itself, after a "…" where it does not fit.
        for (const PathComboBox *box : {window->Local()->cboDir, window->Remote(0)->CboFTP, window->Remote(1)->CboFTP}) {
            const QString shown = box->shownText();
            if (shown != box->currentText()) {
                EXPECT_TRUE(shown.startsWith(QChar(0x2026)) && box->currentText().endsWith(shown.mid(1)))
                    << shown.toStdString();
            }
            EXPECT_EQ(box->toolTip(), box->currentText());
        }
    }
};

} // namespace

TEST_P(PaneLayout, PanesKeepTheirWidthsAndWhatTheyShowReadsWhole)
{
    LocalPane *localPane = window->Local();
    const int localRows = localPane->Model->size();
    struct Step
    {
        const char *name;
        std::function<void()> act;
    };
    const std::vector<Step> steps = {
        {"shown", [] {}},
        {"server 1 connected",
         [&] {
             window->Slots()->UseProfile(0, ServerProfile(servers[0], "First server with a long name"), true);
             ASSERT_TRUE(listed(0, "/"));
         }},
        {"server 2 connected",
         [&] {
             window->Slots()->UseProfile(1, ServerProfile(servers[1], "Second server with a long name"), true);
             ASSERT_TRUE(listed(1, "/"));
         }},
        {"one local row selected", [&] { selectAll(localPane->LeftView, 1); }},
        {"all local rows selected", [&] { selectAll(localPane->LeftView, localRows); }},
        {"all server rows selected",
         [&] {
             for (int slot = 0; slot < 2; ++slot)
                 selectAll(window->Remote(slot)->RightView, window->Remote(slot)->Model->size());
         }},
        {"a local folder one level down",
         [&] { ASSERT_TRUE(localPane->LoadLocalFolders(local.filePath("a-local-folder-with-a-name-longer-than-the-box"))); }},
        {"scrolled right, then twelve folders down",
         [&] {
             for (int slot = 0; slot < 2; ++slot) {
                 QScrollBar *sideways = window->Remote(slot)->RightView->horizontalScrollBar();
                 sideways->setValue(sideways->maximum());
                 window->Slot(slot)->ChangeFolder(kDeep);
                 ASSERT_TRUE(listed(slot, kDeep));
                 settle();
                 EXPECT_EQ(sideways->value(), sideways->minimum()) << slot; // a new listing starts at the left
             }
         }},
        {"back at the top, a file downloaded",
         [&] {
             window->Slot(0)->ChangeFolder("/");
             ASSERT_TRUE(listed(0, "/"));
             ASSERT_TRUE(localPane->LoadLocalFolders(local.path()));
             RemotePane *pane = window->Remote(0);
             const int row = pane->Model->findText("a-file-to-download.txt");
             ASSERT_GE(row, 0);
             pane->RightView->selectionModel()->select(pane->Model->index(row, 0),
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             window->Batch()->HandleFileDownloads(0, true, false, false);
             ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
             ASSERT_TRUE(QFile::exists(local.filePath("a-file-to-download.txt")));
             settle();
             EXPECT_EQ(pane->lblState->text(), "Connected"); // its end, not the last reply
         }},
        {"a folder's confirmation list",
         [&] {
             RemotePane *pane = window->Remote(0);
             pane->RightView->selectionModel()->select(pane->Model->index(pane->Model->findText("images"), 0),
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             bool asked = false;
             prompts.expectMessage("Cancel the download process ?", PromptButton::Yes);
             WhenModal<frmFileConfirm>([&](frmFileConfirm &confirm) {
                 asked = true;
                 EXPECT_GE(confirm.LV->columnWidth(frmFileConfirm::ColSize), widestText(confirm.LV, frmFileConfirm::ColSize));
                 // A row of Latin names holds its check box with the box's frame.
                 const int indicator = confirm.LV->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, confirm.LV);
                 EXPECT_GE(confirm.LV->visualRect(confirm.LV->model()->index(0, 0)).height(), indicator + 2);
                 confirm.CmdCnc->click();
             });
             window->Batch()->HandleFileDownloads(0, true, false, false);
             ASSERT_TRUE(QTest::qWaitFor([&] { return asked && !window->Runner()->Running() && !window->Slot(0)->IsBusy(); }));
         }},
        {"a failed job listed",
         [&] {
             auto job = std::make_shared<FtpTask>();
             job->setLocalFileTitle("f.bin");
             job->setRemoteFileTitle("f.bin");
             job->setStatus(3);
             job->setFailureReason(10);
             FtpTaskCollection jobs;
             jobs.AddFtpTask(job);
             window->Jobs()->AcceptJobs(jobs, false);
             settle();
             const QTreeView *list = window->Jobs()->LVJob;
             const QModelIndex status = list->model()->index(0, JobListModel::Status);
             // The size reads whole; the state too where the list has room, else it elides, whole in its tool tip.
             EXPECT_GE(list->columnWidth(JobListModel::Size), widestText(list, JobListModel::Size));
             if (GetParam().width >= 1600) {
                 EXPECT_GE(list->columnWidth(JobListModel::Status), widestText(list, JobListModel::Status));
             }
             EXPECT_EQ(status.data(Qt::ToolTipRole).toString(), status.data().toString());
             EXPECT_TRUE(status.data().toString().contains("Local system has problem with this job"));
         }},
        {"servers disconnected",
         [&] {
             for (int slot = 0; slot < 2; ++slot)
                 window->Slot(slot)->DisConnectFromFTP();
             ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Slot(0)->IsBusy() && !window->Slot(1)->IsBusy(); }));
         }},
    };
    const QList<int> widths = paneWidths();
    ASSERT_GT(widths.value(2), 100);
    for (const Step &step : steps) {
        step.act();
        settle();
        if (::testing::Test::HasFatalFailure())
            FAIL() << step.name;
        EXPECT_EQ(paneWidths(), widths) << step.name;
        EXPECT_EQ(window->width(), GetParam().width) << step.name;
        expectReadable(step.name);
    }
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, PaneLayout, ::testing::Values(WindowSize{1000, 700}, WindowSize{1600, 1000}),
                         [](const ::testing::TestParamInfo<WindowSize> &size) {
                             return std::to_string(size.param.width) + "x" + std::to_string(size.param.height);
                         });

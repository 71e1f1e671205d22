#pragma once

#include "BatchSteps.h"
#include "BatchTransfers.h"
#include "JobIntake.h"
#include "KeyedImageList.h"
#include "LocalPane.h"
#include "OptionFlags.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "SlotTestSupport.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Stands in for the runner: records what the builders hand over and answers
// the confirmation list and the walk as the test says.
class RecordingBatchSteps : public BatchSteps
{
public:
    struct Start
    {
        bool createFolders = false;
        int slot = -1;
        QString action;
        qsizetype count = 0;
    };

    bool ConfirmFile(const QString &action, const BatchList &entries, bool &asJobs, QList<qsizetype> &checked) override
    {
        confirmations << action;
        confirmed = entries;
        for (qsizetype i = 0; i < entries.size(); ++i)
            checked << i;
        if (onConfirm)
            return onConfirm(entries, asJobs, checked);
        return true;
    }

    WalkResult WalkRemoteFolders(int slot, const QStringList &folders, const QString &downloadRoot,
                                 WalkFor) override
    {
        walks << folders;
        walkSlots << slot;
        walkRoot = downloadRoot;
        return walk ? walk(folders, downloadRoot) : WalkResult{{}, folders, false};
    }

    void ShowAction(bool createFolders, int slot, const QString &action, qsizetype count) override
    {
        starts.append({createFolders, slot, action, count});
    }

    bool Running() const override { return running; }

    QStringList confirmations;
    BatchList confirmed;
    std::function<bool(const BatchList &, bool &asJobs, QList<qsizetype> &checked)> onConfirm;
    QList<QStringList> walks;
    QList<int> walkSlots;
    QString walkRoot;
    std::function<WalkResult(const QStringList &, const QString &)> walk;
    QList<Start> starts;
    bool running = false;
};

// Stands in for the job queue: keeps the jobs it is given, refusing a key it holds.
struct RecordedJobs : JobIntake
{
    struct Batch
    {
        bool isUpload;
        BatchList entries;
    };
    void AcceptJobs(const FtpTaskCollection &jobs, bool) override
    {
        for (const FtpTaskCollection::Job &job : jobs)
            AddJob(job);
    }
    bool AddJob(const FtpTaskCollection::Job &job) override
    {
        const bool added = queue.AddFtpTask(job);
        if (added) {
            if (batches.isEmpty() || reported)
                batches.append(Batch{job->IsUpload(), {}});
            reported = false;
            batches.last().entries.append(
                BatchEntry{job->LocalFileTitle(), job->LocalPath(), job->RemotePath(), job->RemoteFileTime(), false,
                           job->Size()});
            last.append(job);
        }
        return added;
    }
    FtpTaskCollection::Job FindJob(const QString &key) const override { return queue.Find(key); }
    void RefreshJob(const QString &) override {}
    QStringList UnfinishedLocalFiles() const override { return {}; }
    void ReportJobsAdded(bool, int added, int refused) override
    {
        reports.append({added, refused});
        reported = true;
    }
    void RunQueuedJobs() override { ++runs; }

    FtpTaskCollection queue;
    QList<Batch> batches; // the jobs of each report, as entries
    QList<FtpTaskCollection::Job> last;
    QList<QPair<int, int>> reports;
    bool reported = false;
    int runs = 0;
};

// Two server slots on a real test server, a local pane and the batch
// component between them, with the runner and the job queue recorded.
struct BatchFixture : ::testing::Test
{
    PyFtpServer server;
    StubWindow window;
    RemotePane pane0{0, window.images};
    RemotePane pane1{1, window.images};
    KeyedImageList localImages;
    LocalPane local{localImages};
    LocalFolderHistory localHistory;
    std::unique_ptr<ServerSlots> serverSlots;
    std::unique_ptr<BatchTransfers> batch;
    RecordingBatchSteps steps;
    RecordedJobs jobs;
    RecordingLog log0;

    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        serverSlots = std::make_unique<ServerSlots>(std::array<RemotePane *, 2>{&pane0, &pane1}, window, localHistory,
                                                    nullptr);
        serverSlots->Slot(0)->setLog(&log0);
        local.setDriveLister({[] { return QList<LocalDrive>{}; }});
        batch = std::make_unique<BatchTransfers>(*serverSlots, local, nullptr);
        batch->setSteps(&steps);
        batch->setJobIntake(&jobs);
    }

    ServerSlot &slot(int i = 0) { return *serverSlots->Slot(i); }

    bool connect(int i = 0)
    {
        serverSlots->UseProfile(i, ServerProfile(server), true);
        const bool done = WaitUntil([&] {
            return slot(i).SessionActive() && !slot(i).IsBusy() && !slot(i).SlotRemotePath().isEmpty();
        });
        if (!done)
            ADD_FAILURE() << log0.lines.join('\n').toStdString();
        return done;
    }

    bool visit(const QString &path, int i = 0)
    {
        slot(i).ChangeFolder(path);
        return WaitUntil([&] { return slot(i).SlotRemotePath() == path && !slot(i).IsBusy(); });
    }

    void selectRemote(const QStringList &names, int i = 0)
    {
        RemotePane &pane = *slot(i).Pane();
        pane.RightView->selectionModel()->clearSelection();
        for (int r = 0; r < pane.Model->size(); ++r) {
            if (names.contains(pane.Model->row(r).Text))
                pane.RightView->selectionModel()->select(pane.Model->index(r, 0),
                                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
};

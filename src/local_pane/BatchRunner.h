#pragma once

#include "BatchFailures.h"
#include "BatchSteps.h"
#include "FolderQueue.h"
#include "ModalHolders.h"
#include "OverwriteQuestions.h"
#include "ProgressOwner.h"
#include "StorageProbe.h"
#include "frmProgress.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class BatchEngine;
class BatchTransfers;
class LocalPane;
class ServerCopy;
class ServerSlot;
class ServerSlots;
class frmProgress;
class QWidget;

// Runs the immediate batches the builders prepare: one engine operation at
// a time on one browsing connection, each next step started from the
// completion of the one before, under a modal progress dialog. Also walks
// remote folder trees for downloads and deletes, shows the confirmation
// list, and owns the server-to-server copy. Every batch, walk and copy ends
// through one end function, whatever ends it (last step, a dropped session,
// the window closing).
class BatchRunner : public QObject, public BatchSteps, public ProgressOwner
{
    Q_OBJECT
public:
    enum class Kind { None, MakeFolders, Upload, Download, Delete };

    BatchRunner(BatchTransfers &batch, ServerSlots &serverSlots, LocalPane &local, ModalHolders &modal,
                QWidget *owner, QObject *parent = nullptr);
    ~BatchRunner() override;

    // Tests drive a stand-in engine for a slot (nullptr: the slot's own).
    void SetEngine(int slot, BatchEngine *engine);
    void SetStorageProbe(StorageProbe probe) { m_probe = std::move(probe); }
    OverwriteQuestions &Questions() { return m_questions; }
    ServerCopy &Copy() { return *m_copy; }

    // BatchSteps
    bool ConfirmFile(const QString &action, const BatchList &entries, bool &asJobs, QList<qsizetype> &checked) override;
    WalkResult WalkRemoteFolders(int slot, const QStringList &folders, const QString &downloadRoot,
                                 WalkFor purpose) override;
    void ShowAction(bool createFolders, int slot, const QString &action, qsizetype count) override;
    bool Running() const override;

    // ProgressOwner
    void CreateRemoteFolders(int slot) override;
    void RunListFiles(int slot) override;
    void RunUploads(int slot) override;
    void RunDownloads(int slot) override;
    void RunDeletes(int slot) override;
    void StopListFiles(int slot) override;

    // A finished operation of slot `slot`; true when it was a step of a
    // batch, walk or copy (the slot's own branches then leave it alone).
    bool FtpCmd_JobDone(int slot, bool success, long lastAct);
    // A failed change of folder during a walk: the walk ends with its message.
    void AbortCurrentOperation();
    // Ends whatever runs without a message (the window is closing).
    void EndQuietly();
    // True when every remaining entry of the download batch was skipped.
    bool DownloadConfirmAborted();
    QString GetDownloadPath(qsizetype index) const;

    Kind Running(int slot) const { return slot == m_slot ? m_kind : Kind::None; }
    bool WalkActive(int slot) const { return m_walkActive[static_cast<size_t>(slot & 1)]; }
    QString WalkStartPath(int slot) const { return m_walkStartPath[static_cast<size_t>(slot & 1)]; }
    frmProgress *ProgressDialog() const { return m_progress; }

    // Said after a failed change of folder during a walk; a lost session says so instead.
    static inline const QString kTerminatedText =
        QStringLiteral("Due to some unexpected error, the current job will be terminated!");
    // A walk descends no further than remote paths of this many bytes.
    static constexpr qsizetype kMaxRemotePathBytes = 4096;

signals:
    // A batch ended (after its refresh started); for tests and the window.
    void batchEnded();

private:
    enum class EndReason { Done, Lost, Quiet };

    BatchEngine *engine(int slot) const;
    ServerSlot *serverSlot(int slot) const;
    // Starts `step` from the event loop, so an operation that ends inside its
    // call does not nest the next step in it.
    void later(std::function<void()> step);
    void sendNext();
    void getNext();
    void deleteNext();
    void makeNextFolder();
    void foldersDone();
    void walkNext();
    void walkListing(const QString &folder, const QString &listing, bool store);
    // `lost`: the session ended; the builder then says so and names what was not done.
    void endWalk(bool terminated, bool quiet, bool lost = false);
    void endBatch(EndReason reason);
    void sessionEnded(int slot);
    // The engine for the step on entry `index`, or nullptr when that step
    // does not run now (the batch ended, or it waits for the connection).
    BatchEngine *stepEngine(const BatchList &list, qsizetype index, void (BatchRunner::*retry)());
    // The step starts once the slot's connection is idle.
    bool waitUntilIdle(std::function<void()> step);
    void markDirty(const QString &folder);
    // Why the slot's engine says its last operation failed.
    QString engineFailure() const;
    // A lost session's upload batch: the folders its steps may have changed are listed afresh next time.
    void markTouchedStale(Kind kind);
    // The items of the ending batch that never got their step.
    void countNotDone(Kind kind);
    // The one message, the session log and the pane's state line about what failed.
    void reportFailures(EndReason reason, int slot);
    void log(int slot, const QString &text);

    BatchTransfers &m_batch;
    ServerSlots &m_slots;
    LocalPane &m_local;
    ModalHolders &m_modal;
    QPointer<QWidget> m_owner;
    OverwriteQuestions m_questions;
    std::unique_ptr<ServerCopy> m_copy;
    StorageProbe m_probe;
    std::array<std::unique_ptr<BatchEngine>, 2> m_ownEngines;
    std::array<BatchEngine *, 2> m_engines{};

    Kind m_kind = Kind::None;
    int m_slot = -1;
    BatchFailures m_failures;
    bool m_waitingIdle = false;
    std::function<void()> m_idleStep;
    QStringList m_dirtyFolders; // distinct remote folders the batch changed
    QString m_madeFolder;       // the folder being made
    ModalHolders::Hold m_batchHold;
    QPointer<frmProgress> m_progress;

    // The walk.
    std::array<bool, 2> m_walkActive{};
    std::array<QString, 2> m_walkStartPath;
    int m_walkSlot = -1;
    FolderQueue m_walkQueue;
    QString m_walkFolder; // the folder being listed
    bool m_walkStopping = false; // the user stopped the walk; it ends when the running step does
    WalkResult m_walkResult;
    QString m_walkRoot;
    ModalHolders::Hold m_walkHold;
    QPointer<frmProgress> m_walkDialog;
};

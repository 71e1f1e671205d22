#pragma once

#include "BatchEntry.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a prepared batch needs of the runner, the confirmation list and the
// progress dialog. The builders of BatchTransfers end here; the window's
// runner implements it, tests record the calls.
class BatchSteps
{
public:
    virtual ~BatchSteps() = default;

    // What a remote walk found: every file below the queued folders (local
    // folders under the download root mirroring the remote tree), every
    // folder walked in the order it was visited (the queued ones first),
    // whether the walk was cut short, whether the user stopped it (then
    // nothing of the batch runs), and whether the session was lost (then the
    // builder says so, naming what was not done).
    struct WalkResult
    {
        BatchList Files;
        QStringList Folders;
        bool WalkTerminated = false;
        bool WalkCancelled = false;
        bool SessionLost = false;
    };

    // Shows the confirmation list for `action` ("UP", "DN" or "DEL") and
    // returns true when the user chose to run or to queue; `asJobs` comes back
    // true exactly when the user chose jobs. `checked` receives the entry
    // indices of the rows left checked, in the list's first order.
    virtual bool ConfirmFile(const QString &action, const BatchList &entries, bool &asJobs,
                             QList<qsizetype> &checked) = 0;

    // What a walk lists the folders for; the question that stops it says so.
    enum class WalkFor { Download, Delete };

    // Walks the remote folders breadth-first on `slot` (action "LD") and
    // returns when the walk has ended.
    virtual WalkResult WalkRemoteFolders(int slot, const QStringList &folders, const QString &downloadRoot,
                                         WalkFor purpose) = 0;

    // Runs an immediate batch ("U", "D" or "DEL") of `count` entries under the
    // progress dialog; `createFolders`: the queued remote folders are made
    // first. Sets the modal state around the dialog.
    virtual void ShowAction(bool createFolders, int slot, const QString &action, qsizetype count) = 0;

    // A batch, walk or server-to-server copy runs.
    virtual bool Running() const = 0;
};

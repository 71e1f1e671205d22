#pragma once

// What the progress dialog calls back in the window that runs the batch.
// Each call starts the first engine operation of its stage on server slot `slot`.
class ProgressOwner
{
public:
    virtual ~ProgressOwner() = default;
    virtual void CreateRemoteFolders(int slot) = 0;
    virtual void RunListFiles(int slot) = 0;
    virtual void RunUploads(int slot) = 0;
    virtual void RunDownloads(int slot) = 0;
    virtual void RunDeletes(int slot) = 0;
    // The user chose to stop the folder walk: it ends at its next step.
    virtual void StopListFiles(int slot) = 0;
};

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
};

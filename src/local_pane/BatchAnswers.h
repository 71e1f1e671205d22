#pragma once

// The "for all" answers to overwrite questions, shared by the immediate
// batches and the job queue for the length of a run.
struct BatchAnswers
{
    bool UploadOverwriteAll = false;
    bool UploadSkipAll = false;
    bool DownloadOverwriteAll = false;
    bool DownloadSkipAll = false;
    // The upload question of a browsing connection is open (it is not asked twice at once).
    bool OverwriteQuestionOpen = false;

    // Forgets the answers of the last run. With `preset`, existing local files
    // are skipped from the start when "Skip download if local file already
    // exists" is on.
    void ResetBatchAnswers(bool preset);
};

#pragma once

#include <functional>

// The "for all" answers to overwrite questions, shared by the immediate
// batches and the job queue for the length of a run.
struct BatchAnswers
{
    bool UploadOverwriteAll = false;
    bool UploadSkipAll = false;
    bool DownloadOverwriteAll = false;
    bool DownloadSkipAll = false;
    // An overwrite question is on screen (no second one opens meanwhile);
    // held by OverwriteQuestionHold.
    bool OverwriteQuestionOpen = false;
    // Runs when the last overwrite question on screen has closed: what
    // waited for it goes on.
    std::function<void()> OverwriteQuestionClosed;

    // Forgets the answers of the last run. With `preset`, existing local files
    // are skipped from the start when "Skip download if local file already
    // exists" is on.
    void ResetBatchAnswers(bool preset);
};

// Holds OverwriteQuestionOpen for the life of an overwrite question. A hold
// taken while another is held changes nothing; the outermost one clears the
// flag when it ends and runs OverwriteQuestionClosed.
class OverwriteQuestionHold
{
public:
    explicit OverwriteQuestionHold(BatchAnswers &answers);
    ~OverwriteQuestionHold();
    OverwriteQuestionHold(const OverwriteQuestionHold &) = delete;
    OverwriteQuestionHold &operator=(const OverwriteQuestionHold &) = delete;

private:
    BatchAnswers &m_answers;
    bool m_outermost;
};

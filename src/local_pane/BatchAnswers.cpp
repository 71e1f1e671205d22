#include "BatchAnswers.h"

#include "ErrorLog.h"
#include "OptionFlags.h"

void BatchAnswers::ResetBatchAnswers(bool preset)
{
    UploadOverwriteAll = false;
    UploadSkipAll = false;
    DownloadOverwriteAll = false;
    DownloadSkipAll = preset && IsOptionOn(OptionFlag::SkipDownloadIfLocalExists);
}

OverwriteQuestionHold::OverwriteQuestionHold(BatchAnswers &answers)
    : m_answers(answers), m_outermost(!answers.OverwriteQuestionOpen)
{
    m_answers.OverwriteQuestionOpen = true;
}

OverwriteQuestionHold::~OverwriteQuestionHold()
{
    if (!m_outermost)
        return;
    m_answers.OverwriteQuestionOpen = false;
    try {
        // A copy: the callback may replace itself.
        if (const std::function<void()> closed = m_answers.OverwriteQuestionClosed)
            closed();
    } catch (...) {
        LogCurrentException(QStringLiteral("frmZAVUde"), QStringLiteral("OverwriteQuestionClosed"));
    }
}

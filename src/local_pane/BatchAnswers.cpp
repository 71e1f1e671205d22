#include "BatchAnswers.h"

#include "OptionFlags.h"

void BatchAnswers::ResetBatchAnswers(bool preset)
{
    UploadOverwriteAll = false;
    UploadSkipAll = false;
    DownloadOverwriteAll = false;
    DownloadSkipAll = preset && IsOptionOn(OptionFlag::SkipDownloadIfLocalExists);
}

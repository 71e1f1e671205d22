#include "SaveTasks.h"

#include "ErrorLog.h"
#include "JobFile.h"
#include "Prompts.h"
#include "StoredFile.h"

#include <QFileInfo>

namespace {
const QString kObject = QStringLiteral("frmZAVUde");
}

bool SaveTasks(const QString &path, const FtpTaskCollection &jobs, bool append, bool force,
               const JobSaveOptions &options, QWidget *parent)
{
    return SaveJobs(path, jobs, append, force, options, parent).written;
}

JobSaveResult SaveJobs(const QString &path, const FtpTaskCollection &jobs, bool append, bool force,
                       const JobSaveOptions &options, QWidget *parent)
{
    JobSaveResult result;
    result.failed = true;
    try {
        bool agreed = false;
        if (!force && !options.autoSavePending && !options.autoSaveFailed) {
            bool unfinished = false;
            for (const auto &job : jobs)
                unfinished = unfinished || job->Status() == 0 || job->Status() == 3;
            if (unfinished) {
                const PromptButton answer =
                    ShowMessage(parent, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Save Jobs ?"),
                                QStringLiteral("There are pending or failed jobs!\r\n\r\nDo you wish to save them ?"));
                if (answer != PromptButton::Yes)
                    return {};
                agreed = true;
            }
        }

        QByteArray content;
        if (append && QFileInfo::exists(path)) {
            QString error;
            const auto old = StoredFile::ReadAll(path, &error);
            if (!old) {
                LogErrorToFile(kObject, QStringLiteral("SaveTasks"), ErrorNumber::PermissionDenied, error);
                return result;
            }
            content = *old;
            if (!content.isEmpty() && !content.endsWith('\n') && !content.endsWith('\r'))
                content += "\r\n";
        }

        bool written = false;
        const bool pendingWritten = force || options.autoSavePending || agreed;
        for (const auto &job : jobs) {
            const int status = job->Status();
            if (pendingWritten && options.stoppedByClose.count(job.get()) > 0) {
                FtpTask pending(*job);
                pending.setStatus(0);
                pending.setFailureReason(0);
                content += JobFile::EncodeLine(pending);
                content += "\r\n";
                written = true;
                continue;
            }
            const bool write = force || (status == 3 && (options.autoSaveFailed || agreed)) ||
                               (status == 0 && (options.autoSavePending || agreed));
            if (!write)
                continue;
            content += JobFile::EncodeLine(*job);
            content += "\r\n";
            written = true;
        }

        QString error;
        if (!StoredFile::WriteAtomically(path, content, StoredFile::Privacy::Private, &error)) {
            LogErrorToFile(kObject, QStringLiteral("SaveTasks"), ErrorNumber::PathFileAccess, error);
            return result;
        }
        return {written, false};
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SaveTasks"));
        return result;
    }
}

QString AskJobFileName(QWidget *parent, const QString &jobsFolder)
{
    FileRequest request;
    request.kind = FileRequest::Kind::SaveFile;
    request.title = QStringLiteral("Save to Job File");
    request.startPath = jobsFolder;
    request.filter = QStringLiteral("Ftp Qor Jobs File(*.xqr)");
    return Prompts::current().chooseFile(parent, request).value_or(QString());
}

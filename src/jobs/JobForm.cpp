#include "JobForm.h"

#include "ErrorLog.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace {

QString WithoutFirst(const QString &text, const QString &part)
{
    const qsizetype at = text.indexOf(part, 0, Qt::CaseInsensitive);
    return at < 0 ? text : text.left(at) + text.mid(at + part.size());
}

JobFormResult Refused(const QString &error, bool disableSave = false)
{
    JobFormResult result;
    result.error = error;
    result.refused = true;
    result.disableSave = disableSave;
    return result;
}

// A relative entry names a place in `folder`, or in the working folder when none is given.
QFileInfo LocalEntry(const QString &entry, const QString &folder)
{
    if (entry.isEmpty() || folder.isEmpty())
        return QFileInfo(entry);
    return QFileInfo(QDir(folder), entry);
}

} // namespace

JobFormResult BuildJobsFromForm(const JobForm &form)
{
    try {
        const QString ftp = QStringLiteral("ftp://");
        QString remote = WithoutFirst(form.remoteText.trimmed(), ftp);
        const QString server = WithoutFirst(form.server, ftp).trimmed();
        if (remote.startsWith(server, Qt::CaseInsensitive))
            remote = remote.mid(server.size());

        bool portIsNumber = false;
        const double portValue = form.port.trimmed().toDouble(&portIsNumber);
        const long port = portIsNumber ? std::lround(portValue) : 0;
        if (port < 1 || port > 65535)
            return Refused(QStringLiteral("The port must be a number from 1 to 65535!"));

        const qsizetype slash = remote.lastIndexOf(QLatin1Char('/'));
        const QString last = slash < 0 ? remote : remote.mid(slash + 1);
        // With several files the remote text names their folder, whatever its last segment holds.
        const bool namesRemoteFile = form.upload ? last.contains(QLatin1Char('.')) && form.localEntries.size() == 1
                                                 : true;
        QString remoteFolder = remote;
        if (namesRemoteFile) {
            if (slash < 0)
                return Refused(QStringLiteral("The remote path must name the folder of the file, beginning with \"/\"!"));
            remoteFolder = remote.left(slash);
        }

        JobFormResult result;
        for (const QString &raw : form.localEntries) {
            const QString entry = raw.trimmed();
            auto job = std::make_shared<FtpTask>();
            job->setIsResume(false);
            job->setIsUpload(form.upload);
            job->setServerAddress(server);
            job->setUser(form.user.trimmed());
            job->setPassword(form.password.trimmed());
            job->setServerPort(static_cast<int>(port));
            job->setTransferMode(form.passive ? 0 : 1);
            const QFileInfo local = LocalEntry(entry, form.localFolder);
            if (form.upload) {
                if (!local.isFile())
                    throw RuntimeError(ErrorNumber::FileNotFound, QStringLiteral("File not found: ") + entry);
                job->setLocalFileTitle(local.fileName());
                job->setLocalPath(QDir::cleanPath(local.absolutePath()));
                job->setRemoteFileTitle(namesRemoteFile ? last : local.fileName());
                job->setRemotePath(remoteFolder);
                job->setOriginalLocalSize(local.size());
                job->setSize(local.size());
                job->setOriginalLocalFileTime(FtpTask::FormatTime(local.lastModified()));
            } else {
                job->setSize(-1);
                job->setOriginalLocalSize(-1);
                // Stored absolute and without "." or "..", as a job file must hold it.
                if (local.isDir()) {
                    job->setLocalPath(QDir::cleanPath(local.absoluteFilePath()));
                    job->setLocalFileTitle(last);
                } else if (local.isFile()) {
                    job->setLocalPath(QDir::cleanPath(local.absolutePath()));
                    job->setLocalFileTitle(local.fileName());
                } else {
                    return Refused(QStringLiteral("Invalid destination folder or file!"), true);
                }
                job->setRemoteFileTitle(last);
                job->setRemotePath(remoteFolder);
            }
            result.jobs.AddFtpTask(job); // a second job for the same files is dropped
        }
        return result;
    } catch (...) {
        LogCurrentException(QStringLiteral("frmTask"), QStringLiteral("Form_Load"));
        return Refused(QString());
    }
}

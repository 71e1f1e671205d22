#pragma once

#include "FtpTask.h"

#include <memory>

// Jobs the job tests share.
namespace JobSamples {

// The first job of the golden file, built through the setters (no local date).
inline std::shared_ptr<FtpTask> KnownUpload()
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(QStringLiteral("report.txt"));
    job->setRemoteFileTitle(QStringLiteral("report.txt"));
    job->setRemotePath(QStringLiteral("/pub/in"));
    job->setLocalPath(QStringLiteral("/home/ann/docs"));
    job->setSize(1099511627776LL);
    job->setLastAttemp(QStringLiteral("0"));
    job->setServerAddress(QStringLiteral("ftp.example.org"));
    job->setServerPort(2121);
    job->setUser(QStringLiteral("ann"));
    job->setPassword(QStringLiteral("s\u00e9cret"));
    job->setIsUpload(true);
    job->setOriginalLocalFileTime(QStringLiteral("2026-03-01 10:20:30"));
    job->setOriginalLocalSize(1099511627776LL);
    return job;
}

// A plain job named `name` (same local and remote name).
inline std::shared_ptr<FtpTask> Named(const QString &name, int status = 0, bool upload = true,
                                      const QString &localPath = QStringLiteral("/home/u"))
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(name);
    job->setRemoteFileTitle(name);
    job->setLocalPath(localPath);
    job->setRemotePath(QStringLiteral("/r"));
    job->setServerAddress(QStringLiteral("h"));
    job->setIsUpload(upload);
    job->setStatus(status);
    return job;
}

} // namespace JobSamples

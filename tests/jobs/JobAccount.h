#pragma once

#include "FtpTask.h"
#include "PyFtpServer.h"

#include <QFileInfo>
#include <QString>

#include <memory>

// The server and log-in a test's jobs go to.
struct JobAccount {
    QString host;
    int port = 0;
    QString user;
    QString password;

    // A PyFtpServer's log-in, at `host`:`port` (the server's own or a proxy's before it).
    static JobAccount PyFtpd(const QString &host, int port)
    {
        return {host, port, QString::fromLatin1(PyFtpServer::kUser), QString::fromLatin1(PyFtpServer::kPassword)};
    }

    void applyTo(FtpTask &job) const
    {
        job.setServerAddress(host);
        job.setServerPort(port);
        job.setUser(user);
        job.setPassword(password);
    }

    // A job for `name` between `localFolder` and `remoteFolder`, as made for a file the user picked.
    std::shared_ptr<FtpTask> job(bool upload, const QString &localFolder, const QString &remoteFolder,
                                 const QString &name) const
    {
        auto made = std::make_shared<FtpTask>();
        made->setIsUpload(upload);
        made->setLocalFileTitle(name);
        made->setRemoteFileTitle(name);
        made->setLocalPath(localFolder);
        made->setRemotePath(remoteFolder);
        applyTo(*made);
        const QFileInfo file(made->GetLocalFilePath());
        made->setSize(upload ? file.size() : -1);
        made->setOriginalLocalSize(upload ? file.size() : -1);
        made->setOriginalLocalFileTime(upload ? FtpTask::FormatTime(file.lastModified()) : QString());
        return made;
    }
};

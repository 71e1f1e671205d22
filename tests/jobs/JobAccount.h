#pragma once

#include "FtpTask.h"

#include <QString>

// The server and log-in a test's jobs go to.
struct JobAccount {
    QString host;
    int port = 0;
    QString user;
    QString password;

    void applyTo(FtpTask &job) const
    {
        job.setServerAddress(host);
        job.setServerPort(port);
        job.setUser(user);
        job.setPassword(password);
    }
};

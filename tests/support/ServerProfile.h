#pragma once

// For tests that link the profiles library: a profile that logs in to a
// test server as its full-rights user, in passive mode, at "/".
#include "CProfile.h"
#include "PyFtpServer.h"

inline CProfile ServerProfile(const PyFtpServer &server, const QString &name = QStringLiteral("Test server"))
{
    CProfile profile;
    profile.ProfileName = name;
    profile.Server = server.host();
    profile.Port = server.port();
    profile.User = QString::fromLatin1(PyFtpServer::kUser);
    profile.Password = QString::fromLatin1(PyFtpServer::kPassword);
    profile.IsPassive = 1;
    profile.RemotePath = QStringLiteral("/");
    return profile;
}

#pragma once

// For tests that link the profiles library: a profile that logs in to a
// test server in passive mode at "/", as the real server's full-rights user
// or as any user of the scripted one.
#include "CProfile.h"
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"

inline CProfile ServerProfile(const QString &host, quint16 port, const QString &user, const QString &password,
                              const QString &name)
{
    CProfile profile;
    profile.ProfileName = name;
    profile.Server = host;
    profile.Port = port;
    profile.User = user;
    profile.Password = password;
    profile.IsPassive = 1;
    profile.RemotePath = QStringLiteral("/");
    return profile;
}

inline CProfile ServerProfile(const PyFtpServer &server, const QString &name = QStringLiteral("Test server"))
{
    return ServerProfile(server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser),
                         QString::fromLatin1(PyFtpServer::kPassword), name);
}

inline CProfile ServerProfile(const ScriptedFtpServer &server, const QString &name = QStringLiteral("Scripted"))
{
    return ServerProfile(server.host(), server.port(), QStringLiteral("u"), QStringLiteral("p"), name);
}

#pragma once

#include <QString>

// Where a piece of work sits on a server: the server (host and port), the
// user logged in there and a folder or file path. Two windows need to know
// whether two such places are one: the server-to-server copy (a copy onto
// itself would empty the file) and the folder compare (comparing a folder
// with itself is refused).
struct ServerLocation
{
    // For a live connection, the address actually reached (so "localhost" and
    // 127.0.0.1 are one server); for a stored location, the host as typed.
    QString Host;
    int Port = 21;
    QString User;
    QString Path;
};

// Host without a leading "ftp://" and surrounding blanks, for comparison.
QString NormalisedServerHost(const QString &host);

// "user@host:port", the host normalised and in lower case: one text for one
// server and user (never the password: keys are written into stored files).
QString ServerUserKey(const QString &user, const QString &host, int port);

// One server and one user: host letter case ignored, port and user exact.
bool IsSameServer(const ServerLocation &a, const ServerLocation &b);

// The same server and user, and the same path (compared exactly).
bool IsSameServerLocation(const ServerLocation &a, const ServerLocation &b);

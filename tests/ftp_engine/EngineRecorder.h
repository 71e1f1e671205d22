#pragma once

#include "FtpCommander.h"

#include <QStringList>
#include <QTest>

#include <functional>

// Records an engine's events in the order they are raised, as short texts
// ("JobDone", "CommandSent:USER ***", "ServerReplied:220:..."), and waits for
// conditions on the event loop.
class EngineRecorder : public QObject
{
    Q_OBJECT
public:
    explicit EngineRecorder(FtpCommander &engine);

    QStringList events;
    QStringList messages;
    QStringList sent;    // commands as reported by CommandSent
    QStringList replies; // reply lines as reported by ServerReplied
    int jobDone = 0;
    int disconnects = 0;
    int connects = 0;
    int connectionFailed = 0;
    QList<long> errorCodes;

    int count(const QString &eventName) const;
    // Runs the event loop until the condition holds (false after timeoutMs).
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000);
    bool waitForJobs(int jobs, int timeoutMs = 30000);
};

// Starts a session on the engine against host:port and waits for its end.
bool LogIn(FtpCommander &engine, EngineRecorder &recorder, const QString &host, quint16 port,
           const QString &user, const QString &password);

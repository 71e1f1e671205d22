#include "EngineRecorder.h"

#include <QEventLoop>
#include <QTimer>

EngineRecorder::EngineRecorder(FtpCommander &engine)
{
    connect(&engine, &FtpCommander::JobDone, this, [this] {
        ++jobDone;
        events << QStringLiteral("JobDone");
    });
    connect(&engine, &FtpCommander::FtpConnect, this, [this] {
        ++connects;
        events << QStringLiteral("FtpConnect");
    });
    connect(&engine, &FtpCommander::FtpDisconnect, this, [this] {
        ++disconnects;
        events << QStringLiteral("FtpDisconnect");
    });
    connect(&engine, &FtpCommander::ConnectionFailed, this, [this] {
        ++connectionFailed;
        events << QStringLiteral("ConnectionFailed");
    });
    connect(&engine, &FtpCommander::CommandSent, this, [this](const QString &, const QString &command) {
        sent << command;
        events << QStringLiteral("CommandSent:") + command;
    });
    connect(&engine, &FtpCommander::ServerReplied, this, [this](const QString &code, const QString &line) {
        replies << line;
        events << QStringLiteral("ServerReplied:") + code + QLatin1Char(':') + line;
    });
    connect(&engine, &FtpCommander::Message, this, [this](const QString &text) { messages << text; });
    connect(&engine, &FtpCommander::Error, this, [this](long code, const QString &text, bool closed) {
        errorCodes << code;
        events << QStringLiteral("Error:%1:%2:%3").arg(code).arg(text).arg(closed);
    });
}

int EngineRecorder::count(const QString &eventName) const
{
    int n = 0;
    for (const QString &event : events) {
        if (event == eventName || event.startsWith(eventName + QLatin1Char(':')))
            ++n;
    }
    return n;
}

bool EngineRecorder::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    // A real event loop: sockets run at full speed while the test waits.
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    check.start(2);
    deadline.start(timeoutMs);
    loop.exec();
    return condition();
}

bool EngineRecorder::waitForJobs(int jobs, int timeoutMs)
{
    return waitFor([this, jobs] { return jobDone >= jobs; }, timeoutMs);
}

bool LogIn(FtpCommander &engine, EngineRecorder &recorder, const QString &host, quint16 port,
           const QString &user, const QString &password)
{
    engine.setServerUrl(host);
    engine.setPort(port);
    engine.setUser(user);
    engine.setPassword(password);
    engine.SetStartUpPort(0, 0);
    const int before = recorder.jobDone;
    const int disconnectsBefore = recorder.disconnects;
    engine.StartSession();
    EngineRecorder::waitFor([&] {
        return recorder.jobDone > before || recorder.disconnects > disconnectsBefore || recorder.connectionFailed > 0;
    });
    return engine.SessionActive();
}

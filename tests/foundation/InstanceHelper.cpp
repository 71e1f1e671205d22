// A stand-in for the program in the single-instance tests: runs the real
// start-up, and as the first instance records what its "main window" is asked
// to do in $HELPER_LOG. Prints "FIRST" once marked (or "FIRST unmarked" with
// $HELPER_NO_MARK set), or "SECOND <answer>" / "SECOND none" and ends.
// A first instance ends when it reads "quit" on its standard input.
#include "ErrorLog.h"
#include "ModStartup.h"
#include "RuntimeFolder.h"
#include "QuitOnInput.h"
#include "StubWindow.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

class LoggingWindow final : public StubWindow
{
public:
    explicit LoggingWindow(QString logPath) : m_logPath(std::move(logPath)) {}

    void ShowInfo(int &iconKind, const QString &title, const QString &text) override
    {
        log(QStringLiteral("ShowInfo|%1|%2|%3").arg(iconKind).arg(title, text));
    }
    void LoadTasks(const QString &path) override
    {
        log(QStringLiteral("LoadTasks|") + path);
        if (path.endsWith(QStringLiteral("broken.xqr")))
            throw RuntimeError(ErrorNumber::InputPastEnd, QStringLiteral("Input past end of file"));
    }

private:
    void log(const QString &line)
    {
        QFile file(m_logPath);
        if (file.open(QIODevice::Append))
            file.write(line.toUtf8() + '\n');
    }
    QString m_logPath;
};

void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ModStartup startup(RuntimeFolder::Path());
    LoggingWindow window(qEnvironmentVariable("HELPER_LOG"));

    const bool firstInstance = Main(startup, app.arguments(), [&] {
        if (qEnvironmentVariableIsSet("HELPER_NO_MARK")) {
            say("FIRST unmarked");
        } else {
            startup.MarkMainWindow(&window);
            say("FIRST");
        }
    });
    if (!firstInstance) {
        const auto answer = startup.LastHandOffAnswer();
        say("SECOND " + (answer ? QByteArray::number(*answer) : QByteArray("none")));
        return 0;
    }

    const auto input = QuitOnInput(app, [&] { startup.ReleaseInstanceLock(); });
    return app.exec();
}

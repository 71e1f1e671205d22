#include "DataRoot.h"
#include "ErrorLog.h"
#include "ModStartup.h"
#include "StubWindow.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RecordingWindow final : public StubWindow
{
public:
    void ShowInfo(int &iconKind, const QString &title, const QString &text) override
    {
        calls << QStringLiteral("%1|%2|%3").arg(iconKind).arg(title, text);
    }
    void LoadTasks(const QString &path) override { calls << path; }
    QStringList calls;
};

QString errorLog()
{
    return QString::fromUtf8(ReadFileBytes(DataRoot::FileInRoot(QStringLiteral("error.log"))));
}

} // namespace

TEST(ModStartupTest, LockThatCannotBeSetUpStartsAsFirstInstanceAndLogs)
{
    ModStartup startup(QStringLiteral("/proc/ftpqor-no-such-folder"));
    bool splashLoaded = false;
    EXPECT_TRUE(Main(startup, {QStringLiteral("ftpqor")}, [&] { splashLoaded = true; }));
    EXPECT_TRUE(splashLoaded);
    EXPECT_TRUE(errorLog().contains(QStringLiteral("ModStartup.IsFirstInstance -->")));
}

TEST(ModStartupTest, SecondObjectInTheSameFolderIsNotFirst)
{
    QTemporaryDir folder;
    ModStartup first(folder.path()), second(folder.path());
    EXPECT_TRUE(first.IsFirstInstance(ModStartup::MutexName()));
    EXPECT_FALSE(second.IsFirstInstance(ModStartup::MutexName()));
    EXPECT_FALSE(second.FindFirstInstanceWindow()); // not marked yet
    EXPECT_FALSE(second.PassCommandLine(QStringLiteral("x"), 1).has_value());
    first.ReleaseInstanceLock();
    EXPECT_TRUE(second.IsFirstInstance(ModStartup::MutexName()));
}

TEST(ModStartupTest, HandedOverTextIsTakenLiterally)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("jobs.xqr"));
    QFile(path).open(QIODevice::WriteOnly);
    RecordingWindow window;

    ModStartup::ListHandedOverJobs(window, QString(QChar(0)));
    ModStartup::ListHandedOverJobs(window, QLatin1Char('"') + path + QLatin1Char('"'));
    ModStartup::ListHandedOverJobs(window, path + QLatin1Char(' '));
    ModStartup::ListHandedOverJobs(window, folder.path()); // a folder is not a jobs file
    EXPECT_TRUE(window.calls.isEmpty());

    ModStartup::ListHandedOverJobs(window, path);
    EXPECT_EQ(window.calls, QStringList({path, QStringLiteral("1|New Jobs Listed|The jobs from file '") + path
                                                   + QStringLiteral("' were listed.")}));
}

TEST(ModStartupTest, CommandLineTextJoinsTheArguments)
{
    QTemporaryDir folder;
    QFile(folder.filePath(QStringLiteral("a b.xqr"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(ModStartup::CommandLineText({QStringLiteral("ftpqor")}, folder.path()), QString());
    EXPECT_EQ(ModStartup::CommandLineText({QStringLiteral("ftpqor"), QStringLiteral("a"), QStringLiteral("b.xqr")},
                                          folder.path()),
              folder.filePath(QStringLiteral("a b.xqr")));
    EXPECT_EQ(ModStartup::CommandLineText({QStringLiteral("ftpqor"), QStringLiteral("missing.xqr")}, folder.path()),
              QStringLiteral("missing.xqr"));
    EXPECT_EQ(ModStartup::CommandLineText({QStringLiteral("ftpqor"), QStringLiteral("/abs/x.xqr")}, folder.path()),
              QStringLiteral("/abs/x.xqr"));
}

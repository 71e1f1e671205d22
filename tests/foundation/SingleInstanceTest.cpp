// Two real processes of the instance helper meet through the instance lock
// and the hand-off socket in a runtime folder private to each test.
#include "HandOffClient.h"
#include "HandOffServer.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class SingleInstance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        jobFile = folder.filePath(QStringLiteral("my jobs.xqr"));
        QFile file(jobFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    void TearDown() override
    {
        for (auto &process : firsts) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->write("quit\n");
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished(5000);
        }
    }

    QProcessEnvironment environment(bool mark = true) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FTPQOR_RUNTIME_DIR"), folder.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("HELPER_LOG"), logPath());
        if (!mark)
            env.insert(QStringLiteral("HELPER_NO_MARK"), QStringLiteral("1"));
        return env;
    }

    QString logPath() const { return folder.filePath(QStringLiteral("calls.log")); }
    QString socketPath() const { return folder.filePath(QStringLiteral("run/ZavUde_APPLICATION")); }

    QStringList calls() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Starts a process that must become the first instance; returns its first line.
    QProcess *startFirst(bool mark = true, QString *line = nullptr)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment(mark));
        process->start(QStringLiteral(INSTANCE_HELPER), {});
        QByteArray out;
        while (!out.contains('\n') && process->waitForReadyRead(10000))
            out += process->readAllStandardOutput();
        if (line)
            *line = QString::fromUtf8(out).trimmed();
        firsts.push_back(std::move(process));
        return firsts.back().get();
    }

    // Runs a start to its end and returns what it printed.
    QString runStart(const QStringList &arguments, const QString &workingFolder = {})
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        if (!workingFolder.isEmpty())
            process.setWorkingDirectory(workingFolder);
        process.start(QStringLiteral(INSTANCE_HELPER), arguments);
        if (!process.waitForFinished(15000)) {
            process.kill();
            process.waitForFinished();
            return QStringLiteral("hung");
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    QString expectedInfo(const QString &path) const
    {
        return QStringLiteral("ShowInfo|1|New Jobs Listed|The jobs from file '") + path
            + QStringLiteral("' were listed.");
    }

    QTemporaryDir folder;
    QString jobFile;
    std::vector<std::unique_ptr<QProcess>> firsts;
};

} // namespace

TEST_F(SingleInstance, SecondStartHandsItsJobFileToTheFirst)
{
    QString line;
    QProcess *first = startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));

    EXPECT_EQ(runStart({jobFile}), QStringLiteral("SECOND 0"));
    EXPECT_EQ(calls(), QStringList({QStringLiteral("LoadTasks|") + jobFile, expectedInfo(jobFile)}));
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SingleInstance, EmptyMissingOrQuotedCommandLinesListNothing)
{
    QString line;
    startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));

    EXPECT_EQ(runStart({}), QStringLiteral("SECOND 0"));
    EXPECT_EQ(runStart({folder.filePath(QStringLiteral("missing.xqr"))}), QStringLiteral("SECOND 0"));
    EXPECT_EQ(runStart({QLatin1Char('"') + jobFile + QLatin1Char('"')}), QStringLiteral("SECOND 0"));
    EXPECT_TRUE(calls().isEmpty()) << calls().join(QLatin1Char('\n')).toStdString();
}

TEST_F(SingleInstance, RelativePathIsResolvedWhereTheSecondStartRuns)
{
    QString line;
    startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));

    EXPECT_EQ(runStart({QStringLiteral("my"), QStringLiteral("jobs.xqr")}, folder.path()), QStringLiteral("SECOND 0"));
    EXPECT_EQ(calls(), QStringList({QStringLiteral("LoadTasks|") + jobFile, expectedInfo(jobFile)}));
}

TEST_F(SingleInstance, FailureWhileListingAnswersMinusOneAndKeepsTheFirstRunning)
{
    QString line;
    QProcess *first = startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));
    const QString broken = folder.filePath(QStringLiteral("broken.xqr"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_EQ(runStart({broken}), QStringLiteral("SECOND -1"));
    EXPECT_EQ(runStart({jobFile}), QStringLiteral("SECOND 0"));
    EXPECT_EQ(calls(), QStringList({QStringLiteral("LoadTasks|") + broken, QStringLiteral("LoadTasks|") + jobFile,
                                    expectedInfo(jobFile)}));
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SingleInstance, UnmarkedFirstInstanceReceivesNothing)
{
    QString line;
    startFirst(false, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST unmarked"));

    EXPECT_EQ(runStart({jobFile}), QStringLiteral("SECOND none"));
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(SingleInstance, NewStartIsFirstAfterTheFirstEndedOrWasKilled)
{
    QString line;
    QProcess *first = startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));
    first->write("quit\n");
    ASSERT_TRUE(first->waitForFinished(5000));
    EXPECT_EQ(first->exitCode(), 0);

    QProcess *second = startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));
    second->kill(); // no chance to clean up: lock and socket are left behind
    ASSERT_TRUE(second->waitForFinished(5000));

    startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));
    EXPECT_EQ(runStart({jobFile}), QStringLiteral("SECOND 0"));
    EXPECT_EQ(calls(), QStringList({QStringLiteral("LoadTasks|") + jobFile, expectedInfo(jobFile)}));
}

TEST_F(SingleInstance, OversizedAndTruncatedFramesDoNotDisturbTheFirst)
{
    QString line;
    QProcess *first = startFirst(true, &line);
    ASSERT_EQ(line, QStringLiteral("FIRST"));

    // Announces a megabyte: refused at once.
    QLocalSocket oversized;
    oversized.connectToServer(socketPath());
    ASSERT_TRUE(oversized.waitForConnected(5000));
    QByteArray header(8, '\0');
    qToLittleEndian<quint32>(1, header.data());
    qToLittleEndian<quint32>(1024 * 1024, header.data() + 4);
    oversized.write(header + QByteArray(4096, 'x'));
    ASSERT_TRUE(oversized.waitForReadyRead(5000));
    EXPECT_EQ(qFromLittleEndian<qint32>(oversized.read(4).constData()), -1);

    // Stops half-way through its payload and stays connected.
    QLocalSocket truncated;
    truncated.connectToServer(socketPath());
    ASSERT_TRUE(truncated.waitForConnected(5000));
    truncated.write(HandOffClient::Frame(1, jobFile.toUtf8()).left(12));
    ASSERT_TRUE(truncated.waitForBytesWritten(5000));

    // Stops inside the header and goes away.
    {
        QLocalSocket gone;
        gone.connectToServer(socketPath());
        ASSERT_TRUE(gone.waitForConnected(5000));
        gone.write("\x01\x00\x00", 3);
        gone.waitForBytesWritten(5000);
    }

    EXPECT_EQ(runStart({jobFile}), QStringLiteral("SECOND 0"));
    EXPECT_EQ(calls(), QStringList({QStringLiteral("LoadTasks|") + jobFile, expectedInfo(jobFile)}));
    EXPECT_EQ(first->state(), QProcess::Running);
}

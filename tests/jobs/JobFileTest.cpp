#include "JobFile.h"
#include "SaveTasks.h"

#include "JobSamples.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString DataFile(const char *name)
{
    return QStringLiteral(JOBS_TEST_DATA "/") + QLatin1String(name);
}

std::shared_ptr<FtpTask> Job(const QString &name, int status)
{
    return JobSamples::Named(name, status);
}

QStringList Titles(const QByteArray &file)
{
    qint64 serial = 0;
    QStringList titles;
    for (const auto &job : JobFile::Parse(file, serial).jobs)
        titles << job->LocalFileTitle();
    return titles;
}

} // namespace

TEST(JobFile, SaveMatchesGoldenFileByteForByte)
{
    auto upload = JobSamples::KnownUpload();
    // A new job writes no load tag; its local date is written as held, so it
    // is carried over through a record, as a job whose date was read would.
    QStringList fields = upload->GetPackedData().split(QChar(2));
    EXPECT_EQ(fields[5], QString());
    fields[5] = QStringLiteral("2026-03-01 10:20:30");
    auto withDate = std::make_shared<FtpTask>();
    ASSERT_TRUE(withDate->ReadFromString(fields.join(QChar(2)), QString()));
    // The second job was loaded as the fourth of a run: load tag "3K".
    qint64 serial = 2;
    const auto golden = JobFile::Parse(ReadFileBytes(DataFile("golden.xqr")), serial);
    ASSERT_EQ(golden.jobs.size(), 2u);
    EXPECT_EQ(golden.jobs[1]->LoadTag(), QStringLiteral("3K"));
    FtpTaskCollection saved;
    ASSERT_TRUE(saved.AddFtpTask(withDate));
    ASSERT_TRUE(saved.AddFtpTask(golden.jobs[1]));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.xqr"));
    ASSERT_TRUE(SaveTasks(path, saved, false, true));
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(DataFile("golden.xqr")));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0) << "holds passwords";
}

TEST(JobFile, LoadsGoldenFile)
{
    qint64 serial = 0;
    const auto content = JobFile::Parse(ReadFileBytes(DataFile("golden.xqr")), serial);
    ASSERT_EQ(content.jobs.size(), 2u);
    EXPECT_TRUE(content.unreadable.isEmpty());
    EXPECT_EQ(serial, 2);
    const FtpTask &upload = *content.jobs[0];
    EXPECT_EQ(upload.LocalFileTitle(), QStringLiteral("report.txt"));
    EXPECT_EQ(upload.Size(), 1099511627776LL);
    EXPECT_EQ(upload.ServerPort(), 2121);
    EXPECT_EQ(upload.Password(), QStringLiteral("s\u00e9cret"));
    EXPECT_TRUE(upload.IsUpload());
    EXPECT_EQ(upload.StoredLocalDate(), QStringLiteral("2026-03-01 10:20:30"));
    EXPECT_EQ(upload.LoadTag(), QStringLiteral("0K"));
    const FtpTask &download = *content.jobs[1];
    EXPECT_EQ(download.LocalFileTitle(), QStringLiteral("\u00dcn\u00efcode \u20ac.bin"));
    EXPECT_EQ(download.Size(), -1);
    EXPECT_EQ(download.TransferedBytes(), 4096);
    EXPECT_EQ(download.TransferMode(), 1);
    EXPECT_EQ(download.Status(), 3);
    EXPECT_EQ(download.FailureReason(), 7);
    EXPECT_EQ(download.ZavUdeID(), QStringLiteral("49279ea85e5f259d9f56d0bb77f842f5"));
    EXPECT_EQ(download.LoadTag(), QStringLiteral("1K"));
    EXPECT_TRUE(download.Locked());
}

TEST(JobFile, LoadsHandMadeWindows1252File)
{
    qint64 serial = 0;
    const auto content = JobFile::Parse(ReadFileBytes(DataFile("windows1252.xqr")), serial);
    ASSERT_EQ(content.jobs.size(), 2u);
    EXPECT_EQ(content.jobs[0]->LocalFileTitle(), QStringLiteral("caf\u00e9.txt"));
    EXPECT_EQ(content.jobs[0]->LocalPath(), QStringLiteral("/home/zo\u00eb"));
    EXPECT_EQ(content.jobs[1]->LocalFileTitle(), QStringLiteral("r\u00e9sum\u00e9.pdf"));
    EXPECT_EQ(content.jobs[1]->FailureReason(), 9);
    // The drive-letter path is kept aside as it stood.
    ASSERT_EQ(content.unreadable.size(), 1);
    const QList<QByteArray> lines = ReadFileBytes(DataFile("windows1252.xqr")).split('\n');
    EXPECT_EQ(content.unreadable[0] + "\r", lines[1]);
}

TEST(JobFile, LineEndsAndBlankLines)
{
    const QByteArray a = JobFile::EncodeLine(*Job(QStringLiteral("a"), 0));
    const QByteArray b = JobFile::EncodeLine(*Job(QStringLiteral("b"), 0));
    const QByteArray c = JobFile::EncodeLine(*Job(QStringLiteral("c"), 0));
    const QStringList abc{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    EXPECT_EQ(Titles(a + "\n" + b + "\n" + c), abc);
    EXPECT_EQ(Titles(a + "\r" + b + "\r\r\n\r\n" + c + "\r\n"), abc);
    EXPECT_EQ(Titles("\r\n  \r\n" + a + "\r\n\n\n" + b + " \r\n" + c + "\r\n\r\n"), abc);
}

TEST(JobFile, HostileLinesAreKeptAsideAndNothingIsCreated)
{
    QTemporaryDir dir;
    const auto encode = [](const QString &record) { return record.toUtf8().toBase64(); };
    QStringList fields = Job(QStringLiteral("ok"), 0)->GetPackedData().split(QChar(2));
    const auto with = [&](int field, const QString &value) {
        QStringList changed = fields;
        changed[field] = value;
        return encode(changed.join(QChar(2)));
    };
    const QList<QByteArray> hostile{
        encode(fields.mid(0, 20).join(QChar(2))),
        encode((fields + QStringList{QStringLiteral("x")}).join(QChar(2))),
        with(0, QStringLiteral("../../escape")),
        with(1, QStringLiteral("/etc/passwd")),
        with(3, dir.path() + QStringLiteral("/../outside")),
        with(3, QStringLiteral("C:\\Windows")),
        with(6, QStringLiteral("123456789012345678901234567890")),
        with(9, QStringLiteral("host\r\nQUIT")),
        with(0, QStringLiteral("nul\u0000name")),
        "!!!not base64!!!",
        "QUJD=",   // bad padding
        QByteArray(10 * 1024 * 1024, 'A'),
        QByteArray("\x00\x01\xff\xfe garbage", 13),
    };
    QByteArray file;
    for (const QByteArray &line : hostile)
        file += line + "\r\n";
    file += JobFile::EncodeLine(*Job(QStringLiteral("good"), 0)) + "\r\n";

    qint64 serial = 0;
    const auto content = JobFile::Parse(file, serial);
    ASSERT_EQ(content.jobs.size(), 1u);
    EXPECT_EQ(content.jobs[0]->LocalFileTitle(), QStringLiteral("good"));
    EXPECT_EQ(content.unreadable.size(), hostile.size());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(SaveTasks, AskingAndChoosingWhatIsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tasks.xqr"));
    FtpTaskCollection jobs;
    jobs.AddFtpTask(Job(QStringLiteral("pending"), 0));
    jobs.AddFtpTask(Job(QStringLiteral("active"), 1));
    jobs.AddFtpTask(Job(QStringLiteral("done"), 2));
    jobs.AddFtpTask(Job(QStringLiteral("failed"), 3));

    {
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("There are pending or failed jobs!"), PromptButton::No);
        ASSERT_TRUE(WriteFileBytes(path, "old\r\n"));
        EXPECT_FALSE(SaveTasks(path, jobs, false, false));
        EXPECT_EQ(ReadFileBytes(path), "old\r\n") << "No leaves the file untouched";
        ASSERT_EQ(prompts.shown().size(), 1u);
        EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("Save Jobs ?"));
        EXPECT_EQ(prompts.shown()[0].icon, PromptIcon::Question);
    }
    {
        ScriptedPrompts prompts;
        prompts.expectMessage(QStringLiteral("Do you wish to save them ?"), PromptButton::Yes);
        EXPECT_TRUE(SaveTasks(path, jobs, true, false));
        EXPECT_EQ(Titles(ReadFileBytes(path)), (QStringList{QStringLiteral("pending"), QStringLiteral("failed")}));
        EXPECT_TRUE(ReadFileBytes(path).startsWith("old\r\n")) << "appended";
    }
    {
        ScriptedPrompts prompts; // the options answer for the user
        EXPECT_TRUE(SaveTasks(path, jobs, false, false, {true, false}));
        EXPECT_EQ(Titles(ReadFileBytes(path)), QStringList{QStringLiteral("pending")});
        EXPECT_TRUE(SaveTasks(path, jobs, false, false, {false, true}));
        EXPECT_EQ(Titles(ReadFileBytes(path)), QStringList{QStringLiteral("failed")});
        EXPECT_TRUE(SaveTasks(path, jobs, false, true));
        EXPECT_EQ(Titles(ReadFileBytes(path)).size(), 4) << "forced: every job";
        EXPECT_TRUE(prompts.shown().empty());
    }
    {
        ScriptedPrompts prompts;
        FtpTaskCollection completed;
        completed.AddFtpTask(Job(QStringLiteral("done"), 2));
        QFile::remove(path);
        EXPECT_FALSE(SaveTasks(path, completed, true, false));
        EXPECT_TRUE(QFileInfo::exists(path)) << "created empty";
        EXPECT_TRUE(ReadFileBytes(path).isEmpty());
        EXPECT_TRUE(prompts.shown().empty()) << "only completed jobs: nothing to ask";
    }
}

TEST(SaveTasks, AnUnreadableOldFileIsLeftAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.xqr"));
    ASSERT_TRUE(WriteFileBytes(path, "keep\r\n"));
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    if (QFile(path).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with rights that read any file";
    FtpTaskCollection jobs;
    jobs.AddFtpTask(Job(QStringLiteral("a"), 0));
    EXPECT_FALSE(SaveTasks(path, jobs, true, true));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(ReadFileBytes(path), "keep\r\n");
}

TEST(SaveTasks, AskJobFileNameUsesTheJobsFolderAndFilter)
{
    ScriptedPrompts prompts;
    prompts.expectFile(QStringLiteral("Save to Job File"), QStringLiteral("/tmp/x.xqr"));
    prompts.expectFile(QStringLiteral("Save to Job File"), std::nullopt);
    EXPECT_EQ(AskJobFileName(nullptr, QStringLiteral("/data/Jobs")), QStringLiteral("/tmp/x.xqr"));
    EXPECT_EQ(AskJobFileName(nullptr, QStringLiteral("/data/Jobs")), QString());
}

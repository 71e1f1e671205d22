#include "FtpTask.h"
#include "FtpTaskCollection.h"

#include "JobSamples.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const QChar S(2);

QString Record(const QStringList &fields)
{
    return fields.join(S);
}

QStringList KnownFields()
{
    return {QStringLiteral("report.txt"), QStringLiteral("report.txt"), QStringLiteral("/pub/in"),
            QStringLiteral("/home/ann/docs"), QString(), QStringLiteral("2026-03-01 10:20:30"),
            QStringLiteral("1099511627776"), QStringLiteral("0"), QStringLiteral("0"),
            QStringLiteral("ftp.example.org"), QStringLiteral("2121"), QStringLiteral("ann"),
            QStringLiteral("s\u00e9cret"), QStringLiteral("0"), QStringLiteral("1"), QString(),
            QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("2529fcb642697865c34773932f767f68"),
            QStringLiteral("2026-03-01 10:20:30"), QStringLiteral("1099511627776")};
}

std::shared_ptr<FtpTask> KnownJob()
{
    return JobSamples::KnownUpload();
}

} // namespace

TEST(FtpTask, KeyOfAKnownJob)
{
    // MD5 of "1FTP.EXAMPLE.ORG/PUB/INREPORT.TXT/HOME/ANN/DOCSREPORT.TXT", worked out by hand.
    EXPECT_EQ(KnownJob()->ZavUdeID(), QStringLiteral("2529fcb642697865c34773932f767f68"));
    auto other = KnownJob();
    other->setServerPort(21);
    other->setUser(QStringLiteral("someone"));
    EXPECT_EQ(other->ZavUdeID(), KnownJob()->ZavUdeID()) << "port and user take no part";
}

TEST(FtpTask, PackedRecordOfAKnownJob)
{
    FtpTask read;
    ASSERT_TRUE(read.ReadFromString(Record(KnownFields()), QString()));
    // The stored local date is written as held; a new job writes it as set.
    EXPECT_EQ(read.GetPackedData(), Record(KnownFields()));

    auto made = KnownJob();
    QStringList expected = KnownFields();
    expected[5].clear(); // never refreshed from a file
    EXPECT_EQ(made->GetPackedData(), Record(expected));
}

TEST(FtpTask, EveryFieldSurvivesARoundTrip)
{
    FtpTask job;
    job.setLocalFileTitle(QStringLiteral("\u00dcn\u00efcode \u20ac \u65e5\u672c.bin"));
    job.setRemoteFileTitle(QStringLiteral("r\u00e9mote.bin"));
    job.setRemotePath(QStringLiteral("/d\u00e4ta/x"));
    job.setLocalPath(QStringLiteral("/home/z\u00f6e"));
    job.setRemoteFileTime(QStringLiteral("2026-01-01 00:00:01"));
    job.setSize(1LL << 40);
    job.setTransferedBytes((1LL << 40) - 5);
    job.setLastAttemp(QStringLiteral("2026-01-02 03:04:05"));
    job.setServerAddress(QStringLiteral("h\u00f6st"));
    job.setServerPort(65535);
    job.setUser(QStringLiteral("\u00fcser"));
    job.setPassword(QStringLiteral("p\u00e4ss"));
    job.setTransferMode(1);
    job.setIsUpload(false);
    job.setStatus(3);
    job.setFailureReason(40000);
    job.setOriginalLocalFileTime(QStringLiteral("t"));
    job.setOriginalLocalSize(-1);

    FtpTask back;
    ASSERT_TRUE(back.ReadFromString(job.GetPackedData(), QStringLiteral("7K")));
    EXPECT_EQ(back.LocalFileTitle(), job.LocalFileTitle());
    EXPECT_EQ(back.RemoteFileTitle(), job.RemoteFileTitle());
    EXPECT_EQ(back.RemotePath(), job.RemotePath());
    EXPECT_EQ(back.LocalPath(), job.LocalPath());
    EXPECT_EQ(back.RemoteFileTime(), job.RemoteFileTime());
    EXPECT_EQ(back.Size(), 1LL << 40);
    EXPECT_EQ(back.TransferedBytes(), (1LL << 40) - 5);
    EXPECT_EQ(back.LastAttemp(), job.LastAttemp());
    EXPECT_EQ(back.ServerAddress(), job.ServerAddress());
    EXPECT_EQ(back.ServerPort(), 65535);
    EXPECT_EQ(back.User(), job.User());
    EXPECT_EQ(back.Password(), job.Password());
    EXPECT_EQ(back.TransferMode(), 1);
    EXPECT_FALSE(back.IsUpload());
    EXPECT_EQ(back.Status(), 3);
    EXPECT_EQ(back.FailureReason(), 40000);
    EXPECT_EQ(back.ZavUdeID(), job.ZavUdeID());
    EXPECT_EQ(back.OriginalLocalFileTime(), QStringLiteral("t"));
    EXPECT_EQ(back.OriginalLocalSize(), -1);
    EXPECT_EQ(back.LoadTag(), QStringLiteral("7K"));
    EXPECT_TRUE(back.Locked()) << "records never carry Locked";
    EXPECT_FALSE(back.IsResume());
    // Saved again, the record carries its load tag.
    EXPECT_EQ(back.GetPackedData().split(S).at(15), QStringLiteral("7K"));
}

TEST(FtpTask, ShortRecordIsRefusedButKeepsWhatItRead)
{
    QStringList fields = KnownFields();
    fields.removeLast();
    FtpTask job;
    EXPECT_FALSE(job.ReadFromString(Record(fields), QStringLiteral("1K")));
    EXPECT_EQ(job.LocalFileTitle(), QStringLiteral("report.txt"));
    EXPECT_EQ(job.OriginalLocalFileTime(), QStringLiteral("2026-03-01 10:20:30"));
    EXPECT_EQ(job.ZavUdeID(), QStringLiteral("2529fcb642697865c34773932f767f68"));
    EXPECT_EQ(job.OriginalLocalSize(), -1) << "the missing 21st field keeps its default";

    QStringList longer = KnownFields();
    longer << QStringLiteral("extra");
    EXPECT_FALSE(FtpTask().ReadFromString(Record(longer), QString()));
}

TEST(FtpTask, UntrustedFieldsMakeTheRecordUnreadable)
{
    struct Case {
        int field;
        QString value;
    };
    const std::vector<Case> cases{
        {0, QStringLiteral("../evil")},     {0, QStringLiteral("a/b")},       {1, QStringLiteral("..")},
        {1, QString()},                     {3, QStringLiteral("C:\\Data")},  {3, QStringLiteral("relative/x")},
        {3, QStringLiteral("/home/../etc")}, {3, QStringLiteral("/home/./x")}, {2, QStringLiteral("/a\r\nDELE x")},
        {12, QStringLiteral("pw\n")},       {6, QStringLiteral("99999999999999999999")},
        {6, QStringLiteral("1e9")},         {6, QStringLiteral("12.5")},      {7, QStringLiteral("-1")},
        {10, QStringLiteral("65536")},      {10, QStringLiteral("-1")},       {13, QStringLiteral("2")},
        {14, QStringLiteral("-1")},         {16, QStringLiteral("4294967296")}, {9, QString(QChar(0))},
    };
    for (const Case &c : cases) {
        QStringList fields = KnownFields();
        fields[c.field] = c.value;
        EXPECT_FALSE(FtpTask().ReadFromString(Record(fields), QString())) << c.field << " " << c.value.toStdString();
    }
    // Large and negative sizes and reasons are numbers like any other.
    QStringList fields = KnownFields();
    fields[6] = QStringLiteral("-1");
    fields[16] = QStringLiteral("3");
    fields[17] = QStringLiteral("99999");
    fields[20] = QStringLiteral("9223372036854775807");
    FtpTask job;
    ASSERT_TRUE(job.ReadFromString(Record(fields), QString()));
    EXPECT_EQ(job.Size(), -1);
    EXPECT_EQ(job.FailureReason(), 99999);
    EXPECT_EQ(job.OriginalLocalSize(), std::numeric_limits<qint64>::max());
}

TEST(FtpTask, StatusTextsAndTheCancelledRecord)
{
    QStringList fields = KnownFields();
    fields[16] = QStringLiteral("3");
    fields[17] = QStringLiteral("7");
    FtpTask job;
    ASSERT_TRUE(job.ReadFromString(Record(fields), QString()));
    EXPECT_TRUE(job.Locked());
    EXPECT_EQ(GetJobStatusText(job, true), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_EQ(GetJobStatusText(job, false), QStringLiteral("Cancelled by user"));
    job.setFailureReason(123);
    EXPECT_EQ(GetJobStatusText(job, false), QStringLiteral("Failed"));
    job.setStatus(0);
    EXPECT_EQ(job.FailureReason(), 0);
    EXPECT_EQ(GetJobStatusText(job, false), QStringLiteral("Ideal"));
    job.setStatus(9);
    EXPECT_EQ(GetJobStatusText(job, false), QString());
}

TEST(FtpTask, PathsCollapseDoubledSeparators)
{
    FtpTask job;
    job.setLocalPath(QStringLiteral("/home/a/"));
    job.setLocalFileTitle(QStringLiteral("f"));
    job.setRemotePath(QStringLiteral("/pub/"));
    job.setRemoteFileTitle(QStringLiteral("g"));
    EXPECT_EQ(job.GetLocalFilePath(), QStringLiteral("/home/a/f"));
    EXPECT_EQ(job.GetRemoteFilePath(), QStringLiteral("/pub/g"));
}

TEST(FtpTask, EstimatedTimeLeftFromAnInjectedClock)
{
    const QDateTime start(QDate(2026, 1, 1), QTime(12, 0, 0));
    QDateTime now = start;
    FtpTask job;
    job.setClock([&] { return now; });
    EXPECT_EQ(job.GetEstimatedTimeLeft(), QString()) << "not running";
    job.setStatus(1);
    EXPECT_EQ(job.GetEstimatedTimeLeft(), QStringLiteral("Estimating..."));

    const auto leftAfter = [&](qint64 remaining) {
        job.setStatus(1);
        job.setTransferedBytes(0);
        job.setSize(1000 + remaining);
        now = start;
        job.setTransferedBytes(1000);
        now = start.addSecs(10); // 100 bytes a second
        return job.GetEstimatedTimeLeft();
    };
    EXPECT_EQ(leftAfter(5900), QStringLiteral("0min."));
    EXPECT_EQ(leftAfter(360000), QStringLiteral("60min."));
    EXPECT_EQ(leftAfter(366100), QStringLiteral("1hr. 1min."));
    EXPECT_EQ(leftAfter(390000), QStringLiteral("1hr. 5min."));
    EXPECT_EQ(leftAfter(-5000), QStringLiteral("Estimating...")) << "more sent than the size";

    now = start.addMSecs(500);
    job.setStatus(1);
    job.setTransferedBytes(2000);
    EXPECT_EQ(job.GetEstimatedTimeLeft(), QStringLiteral("Estimating...")) << "no whole second yet";
}

TEST(FtpTask, ValidForProcessingAsksThroughTheInjectedQuestion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.filePath(QStringLiteral("here.bin")), "x"));
    const auto download = [&](const QString &name) {
        auto job = std::make_shared<FtpTask>();
        job->setLocalPath(dir.path());
        job->setLocalFileTitle(name);
        job->setRemoteFileTitle(name);
        return job;
    };
    QStringList asked;
    QString answer;
    const FtpTask::OverwriteQuestion ask = [&](const QString &text) {
        asked << text;
        return answer;
    };
    QString message;
    bool all = false, skipAll = false;

    EXPECT_TRUE(download(QStringLiteral("absent.bin"))->ValidForProcessing(message, all, skipAll, true, ask));
    EXPECT_TRUE(asked.isEmpty());

    answer = QStringLiteral("1");
    EXPECT_TRUE(download(QStringLiteral("here.bin"))->ValidForProcessing(message, all, skipAll, true, ask));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QStringLiteral("Do you wish to overwrite existing file\r\n'") + dir.path() +
                            QStringLiteral("/here.bin' ?"));

    EXPECT_TRUE(download(QStringLiteral("here.bin"))->ValidForProcessing(message, all, skipAll, false, ask));
    EXPECT_EQ(asked.size(), 1) << "no question with the option off";

    answer = QStringLiteral("-1");
    auto skipped = download(QStringLiteral("here.bin"));
    EXPECT_FALSE(skipped->ValidForProcessing(message, all, skipAll, true, ask));
    EXPECT_EQ(skipped->Status(), 3);
    EXPECT_EQ(skipped->FailureReason(), 8);
    EXPECT_EQ(message, QStringLiteral("Skipping overwrite - ") + dir.path() + QStringLiteral("/here.bin"));
    EXPECT_FALSE(skipped->ValidForProcessing(message, all, skipAll, true, ask)) << "reason 8 is not eligible";

    answer = QStringLiteral("*");
    EXPECT_TRUE(download(QStringLiteral("here.bin"))->ValidForProcessing(message, all, skipAll, true, ask));
    EXPECT_TRUE(all);
    const int before = static_cast<int>(asked.size());
    EXPECT_TRUE(download(QStringLiteral("here.bin"))->ValidForProcessing(message, all, skipAll, true, ask));
    EXPECT_EQ(asked.size(), before) << "overwrite all asks no more";

    all = false;
    answer = QStringLiteral("-*");
    EXPECT_FALSE(download(QStringLiteral("here.bin"))->ValidForProcessing(message, all, skipAll, true, ask));
    EXPECT_TRUE(skipAll);
    EXPECT_TRUE(download(QStringLiteral("absent.bin"))->ValidForProcessing(message, all, skipAll, true, ask));

    auto upload = download(QStringLiteral("absent.bin"));
    upload->setIsUpload(true);
    EXPECT_FALSE(upload->ValidForProcessing(message, all, skipAll, true, ask));
    EXPECT_EQ(upload->FailureReason(), 4);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Skipping upload - ")));

    auto resumed = download(QStringLiteral("here.bin"));
    resumed->setIsResume(true);
    skipAll = false;
    EXPECT_TRUE(resumed->ValidForProcessing(message, all, skipAll, true, ask));
}

TEST(FtpTask, UploadResumeRefusalsFailTheJob)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(WriteFileBytes(path, QByteArray(100, 'a')));
    QFile file(path);
    const QDateTime stamp(QDate(2025, 5, 5), QTime(5, 5, 5));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    file.close();

    const auto job = [&] {
        FtpTask task;
        task.setIsUpload(true);
        task.setLocalPath(dir.path());
        task.setLocalFileTitle(QStringLiteral("up.bin"));
        task.setTransferedBytes(10);
        task.setOriginalLocalSize(100);
        task.setOriginalLocalFileTime(FtpTask::FormatTime(stamp));
        return task;
    };
    QString message;
    FtpTask ok = job();
    EXPECT_TRUE(ok.IsUploadResumeOk(message, true));

    FtpTask nothingSent = job();
    nothingSent.setTransferedBytes(0);
    EXPECT_FALSE(nothingSent.IsUploadResumeOk(message, true));
    EXPECT_EQ(nothingSent.Status(), 0);
    // Data went out but the server confirmed none of it: the resume asks it.
    nothingSent.setSentData(true);
    EXPECT_TRUE(nothingSent.IsUploadResumeOk(message, true));

    FtpTask resized = job();
    resized.setOriginalLocalSize(99);
    EXPECT_FALSE(resized.IsUploadResumeOk(message, true));
    EXPECT_EQ(resized.Status(), 3);
    EXPECT_EQ(resized.FailureReason(), 5);

    FtpTask touched = job();
    touched.setOriginalLocalFileTime(FtpTask::FormatTime(stamp.addSecs(1)));
    EXPECT_FALSE(touched.IsUploadResumeOk(message, true));
    EXPECT_EQ(touched.FailureReason(), 6);

    FtpTask unreadableTime = job();
    unreadableTime.setOriginalLocalFileTime(QStringLiteral("not a time"));
    EXPECT_FALSE(unreadableTime.IsUploadResumeOk(message, true));
    EXPECT_EQ(unreadableTime.FailureReason(), 6);

    FtpTask missing = job();
    missing.setLocalFileTitle(QStringLiteral("gone.bin"));
    EXPECT_FALSE(missing.IsUploadResumeOk(message, false));
    EXPECT_EQ(missing.FailureReason(), 4);
    EXPECT_TRUE(message.endsWith(QStringLiteral("'! Aborting resume process.")));
}

// The file a job writes: an upload's on one server and account (the host's
// letter case aside), a download's wherever its folder really is.
TEST(FtpTask, TargetKeyNamesTheFileTheJobWrites)
{
    FtpTask up;
    up.setIsUpload(true);
    up.setServerAddress(QStringLiteral("Files.Example"));
    up.setServerPort(21);
    up.setUser(QStringLiteral("ann"));
    up.setRemotePath(QStringLiteral("/up/"));
    up.setRemoteFileTitle(QStringLiteral("x.bin"));
    up.setLocalPath(QStringLiteral("/one"));
    up.setLocalFileTitle(QStringLiteral("x.bin"));
    FtpTask same = up;
    same.setServerAddress(QStringLiteral("files.example"));
    same.setRemotePath(QStringLiteral("/up"));
    same.setLocalPath(QStringLiteral("/two"));
    EXPECT_EQ(JobTargetKey(same), JobTargetKey(up));
    for (const auto &change : std::vector<std::function<void(FtpTask &)>>{
             [](FtpTask &t) { t.setServerPort(2121); }, [](FtpTask &t) { t.setUser(QStringLiteral("Ann")); },
             [](FtpTask &t) { t.setRemoteFileTitle(QStringLiteral("X.bin")); },
             [](FtpTask &t) { t.setIsUpload(false); }}) {
        FtpTask other = up;
        change(other);
        EXPECT_NE(JobTargetKey(other), JobTargetKey(up));
    }

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("in/sub")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("in")), dir.filePath(QStringLiteral("alias"))));
    FtpTask down;
    down.setLocalPath(dir.filePath(QStringLiteral("in")));
    down.setLocalFileTitle(QStringLiteral("x.bin"));
    FtpTask throughLink = down;
    throughLink.setLocalPath(dir.filePath(QStringLiteral("alias/sub/..")));
    EXPECT_EQ(JobTargetKey(throughLink), JobTargetKey(down));
    FtpTask otherCase = down;
    otherCase.setLocalFileTitle(QStringLiteral("X.bin"));
    EXPECT_NE(JobTargetKey(otherCase), JobTargetKey(down));
    // A folder not made yet compares by its cleaned absolute path.
    FtpTask later = down;
    later.setLocalPath(dir.filePath(QStringLiteral("new//")));
    FtpTask laterAgain = down;
    laterAgain.setLocalPath(dir.filePath(QStringLiteral("in/../new")));
    EXPECT_EQ(JobTargetKey(laterAgain), JobTargetKey(later));
}

TEST(FtpTask, RemoteFolderWalkMembers)
{
    FtpTask job;
    job.setRemotePath(QStringLiteral("/a/b/c"));
    const QStringList expected{QStringLiteral("/a/b/c"), QStringLiteral("/a/b"), QStringLiteral("/a"), QString()};
    for (int level = 0; level < 4; ++level) {
        job.setDirectoryLevel(level);
        EXPECT_EQ(job.LevelRemoteDirPath(), expected[level]) << level;
    }

    const auto upward = [&](std::initializer_list<int> levels) {
        job.BeginLevelRecording();
        for (int level : levels)
            job.setDirectoryLevel(level);
        return job.IsUpwardNavigation();
    };
    EXPECT_FALSE(upward({}));
    EXPECT_TRUE(upward({1, 2, 1}));
    EXPECT_FALSE(upward({1, 2, 3}));
    EXPECT_TRUE(upward({1, 0, 1}));
    EXPECT_TRUE(upward({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21})) << "over 50 characters";
    job.EndLevelRecording();
    job.setDirectoryLevel(3);
    EXPECT_TRUE(job.LevelRecord().isEmpty());
}

TEST(FtpTaskCollection, KeysIgnoreCaseAndKeepOrder)
{
    FtpTaskCollection jobs;
    auto first = KnownJob();
    auto shouted = KnownJob();
    shouted->setLocalFileTitle(QStringLiteral("REPORT.TXT"));
    shouted->setServerAddress(QStringLiteral("FTP.Example.ORG"));
    EXPECT_TRUE(jobs.AddFtpTask(first));
    EXPECT_FALSE(jobs.AddFtpTask(shouted));
    EXPECT_EQ(jobs.Item(first->ZavUdeID().toUpper()), first);

    // A record without a stored key is added under the computed one.
    QStringList fields = KnownFields();
    fields[18].clear();
    fields[0] = fields[1] = QStringLiteral("other.txt");
    auto read = std::make_shared<FtpTask>();
    ASSERT_TRUE(read->ReadFromString(fields.join(S), QString()));
    EXPECT_TRUE(jobs.AddFtpTask(read));
    EXPECT_TRUE(jobs.ContainsKey(FtpTask::ComputeKey(true, QStringLiteral("ftp.example.org"),
                                                     QStringLiteral("/pub/in"), QStringLiteral("other.txt"),
                                                     QStringLiteral("/home/ann/docs"), QStringLiteral("other.txt"))));

    auto third = KnownJob();
    third->setIsUpload(false);
    EXPECT_TRUE(jobs.AddFtpTask(third));
    jobs.Remove(read->ZavUdeID());
    std::vector<std::shared_ptr<FtpTask>> order(jobs.begin(), jobs.end());
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], first);
    EXPECT_EQ(order[1], third);
    EXPECT_FALSE(jobs.ContainsKey(QStringLiteral("absent")));
    EXPECT_EQ(jobs.Item(QStringLiteral("absent")), nullptr);
    EXPECT_EQ(jobs.RemoveIf([](const FtpTask &job) { return !job.IsUpload(); }), 1);
    EXPECT_EQ(jobs.Count(), 1);
}

#include "JobIntake.h"
#include "JobsFromRows.h"

#include "JobSamples.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RecordingIntake final : public JobIntake
{
public:
    void AcceptJobs(const FtpTaskCollection &jobs, bool report) override
    {
        for (const auto &job : jobs)
            accepted << job->LocalFileTitle();
        reported = report;
    }
    bool AddJob(const FtpTaskCollection::Job &) override { return true; }
    void ReportJobsAdded(bool, int, int) override {}
    void RunQueuedJobs() override {}
    FtpTaskCollection::Job FindJob(const QString &) const override { return nullptr; }
    void RefreshJob(const QString &) override {}
    QStringList UnfinishedLocalFiles() const override { return {}; }

    QStringList accepted;
    bool reported = false;
};

FtpTaskCollection::Job Job(const QString &name)
{
    return JobSamples::Named(name);
}

JobsFromRows::Compose Rows(QStringList names)
{
    return [names] {
        std::vector<FtpTaskCollection::Job> jobs;
        for (const QString &name : names)
            jobs.push_back(name.isEmpty() ? nullptr : Job(name));
        return jobs;
    };
}

int JobLines(const QString &path)
{
    return static_cast<int>(ReadFileBytes(path).count("\r\n"));
}

} // namespace

TEST(JobsFromRows, QueuesOnceAndDiscardsWhatWasMadeBefore)
{
    RecordingIntake intake;
    JobsFromRows maker(QStringLiteral("/jobs"));
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("1 Jobs were discarded as they would create duplicate entries !"),
                          PromptButton::Ok);
    prompts.expectMessage(QStringLiteral("2 Jobs were discarded"), PromptButton::Ok);

    // A null candidate is a row whose job could not be made.
    auto first = maker.Deliver(nullptr, &intake, false, Rows({QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_EQ(first.made, 3);
    EXPECT_EQ(first.discarded, 1);
    EXPECT_EQ(first.panelText, QStringLiteral("2 Jobs were added to job list."));
    EXPECT_EQ(intake.accepted, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(intake.reported);

    auto again = maker.Deliver(nullptr, &intake, false, Rows({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(again.discarded, 2);
    EXPECT_EQ(again.delivered, 0);
    EXPECT_EQ(intake.accepted.size(), 2);
    EXPECT_TRUE(prompts.allUsed());
    for (const auto &shown : prompts.shown())
        EXPECT_EQ(shown.icon, PromptIcon::Exclamation);
}

TEST(JobsFromRows, NothingSelectedSaysSo)
{
    RecordingIntake intake;
    JobsFromRows maker(QStringLiteral("/jobs"));
    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("No job was created! Folders are not added to job list."), PromptButton::Ok);
    const auto result = maker.Deliver(nullptr, &intake, false, Rows({}));
    EXPECT_EQ(result.made, 0);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().at(0).icon, PromptIcon::Exclamation);
}

TEST(JobsFromRows, FirstSaveReplacesLaterSavesAppend)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("found.xqr"));
    ASSERT_TRUE(WriteFileBytes(path, "old line\r\n"));
    JobsFromRows maker(dir.path());
    ScriptedPrompts prompts;
    prompts.expectFile(QStringLiteral("Save to Job File"), std::nullopt);
    prompts.expectFile(QStringLiteral("Save to Job File"), path);

    bool composed = false;
    const auto cancelled = maker.Deliver(nullptr, nullptr, true, [&] {
        composed = true;
        return std::vector<FtpTaskCollection::Job>{};
    });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(composed) << "a cancelled dialog makes nothing";

    const auto first = maker.Deliver(nullptr, nullptr, true, Rows({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(first.panelText, QStringLiteral("2 Jobs were saved to 'found.xqr' ."));
    EXPECT_EQ(JobLines(path), 2) << "the old content was replaced";

    const auto second = maker.Deliver(nullptr, nullptr, true, Rows({QStringLiteral("c")}));
    EXPECT_EQ(second.delivered, 1);
    EXPECT_EQ(JobLines(path), 3) << "appended without asking again";
    EXPECT_EQ(maker.JobFileName(), path);
    EXPECT_TRUE(prompts.allUsed());
}

TEST(JobsFromRows, AFailedSaveLeavesTheRowsFreeToTryAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing-folder/jobs.xqr"));
    JobsFromRows maker(dir.path());
    ScriptedPrompts prompts;
    prompts.expectFile(QStringLiteral("Save to Job File"), path);
    prompts.expectMessage(QStringLiteral("could not be saved"), PromptButton::Ok);
    const auto failed = maker.Deliver(nullptr, nullptr, true, Rows({QStringLiteral("a")}));
    EXPECT_TRUE(failed.saveFailed);
    EXPECT_TRUE(failed.panelText.isEmpty()) << "no claim of a save";
    EXPECT_EQ(maker.MadeJobs().Count(), 0);
    EXPECT_EQ(prompts.shown().back().icon, PromptIcon::Critical);

    RecordingIntake intake;
    const auto queued = maker.Deliver(nullptr, &intake, false, Rows({QStringLiteral("a")}));
    EXPECT_EQ(queued.discarded, 0);
    EXPECT_EQ(intake.accepted, QStringList{QStringLiteral("a")});
}

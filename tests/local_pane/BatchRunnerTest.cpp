#include "BatchEngine.h"
#include "BatchFailures.h"
#include "BatchRunner.h"
#include "BatchTestSupport.h"
#include "FtpCommander.h"
#include "ModalHolders.h"
#include "OverwriteQuestions.h"
#include "ScriptedPrompts.h"
#include "WhenModal.h"
#include "frmOverwrite.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A connection whose operations end inside their calls, as a refused or
// impossible operation does in the engine.
class InstantEngine : public BatchEngine
{
public:
    BatchRunner *runner = nullptr;
    int slot = 0;
    bool active = true;
    int depth = 0;
    int deepest = 0;
    QStringList calls;
    std::function<bool(const QString &)> succeeds = [](const QString &) { return true; };
    std::function<void(const QString &)> onCall;

    bool SessionActive() const override { return active; }
    bool isBusy() const override { return false; }
    QString RemotePath() const override { return QStringLiteral("/"); }
    QString RemoteFilePath() const override { return QString(); }
    QString ServerUrl() const override { return QStringLiteral("host"); }
    QString getListData() const override { return QString(); }
    bool ListingUnread() const override { return false; }

    void FTP_SEND_FILE(const QString &, const QString &remote, qint64, bool) override
    {
        finish(QStringLiteral("STOR ") + remote, FtpCommander::ActSend);
    }
    void FTP_GET_FILE(const QString &remote, const QString &, qint64) override
    {
        finish(QStringLiteral("RETR ") + remote, FtpCommander::ActGet);
    }
    void FTP_DEL_FILE(const QString &path) override { finish(QStringLiteral("DELE ") + path, FtpCommander::ActDelete); }
    void FTP_DEL_DIR(const QString &path) override { finish(QStringLiteral("RMD ") + path, FtpCommander::ActRemoveDir); }
    void FTP_MAKE_DIR(const QString &path) override { finish(QStringLiteral("MKD ") + path, FtpCommander::ActMakeDir); }
    void FTP_CHG_DIR(const QString &path) override { finish(QStringLiteral("CWD ") + path, FtpCommander::ActChangeDir); }
    void FTP_LIST_DIR() override { finish(QStringLiteral("LIST"), FtpCommander::ActList); }

private:
    void finish(const QString &call, long act)
    {
        calls << call;
        deepest = std::max(deepest, ++depth);
        if (onCall)
            onCall(call);
        runner->FtpCmd_JobDone(slot, succeeds(call), act);
        --depth;
    }
};

struct RunnerFixture : BatchFixture
{
    ModalHolders modal;
    std::unique_ptr<BatchRunner> runner;
    InstantEngine engine;
    ScriptedPrompts prompts;
    int ended = 0;

    void SetUp() override
    {
        BatchFixture::SetUp();
        runner = std::make_unique<BatchRunner>(*batch, *serverSlots, local, modal, nullptr);
        batch->setSteps(runner.get());
        runner->SetEngine(0, &engine);
        engine.runner = runner.get();
        runner->Questions().SetCountdown(frmOverwrite::kCountdownStart, 500);
        QObject::connect(runner.get(), &BatchRunner::batchEnded, [this] { ++ended; });
    }
    void TearDown() override { SetOptionFlag(OptionFlag::ConfirmOverwrite, false); }

    void downloads(const QString &root, int count)
    {
        batch->DownloadRoot = root;
        batch->TransferList.clear();
        for (int i = 0; i < count; ++i)
            batch->TransferList.append(BatchEntry{QStringLiteral("f%1").arg(i), root, QStringLiteral("/r"), {}, false, 1});
    }
};

TEST_F(RunnerFixture, StepsThatEndInsideTheirCallsDoNotNestAndTheBatchEndsOnce)
{
    QTemporaryDir root;
    downloads(root.path(), 1000);
    runner->ShowAction(false, 0, QStringLiteral("D"), 1000);
    EXPECT_EQ(engine.calls.size(), 1000);
    EXPECT_EQ(engine.deepest, 1);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(runner->Running());
    EXPECT_FALSE(modal.IsSet());
    EXPECT_EQ(batch->TransferIndex, -1);
    EXPECT_EQ(runner->ProgressDialog(), nullptr);

    // Nothing runs: a stray completion is the slot's own business.
    EXPECT_FALSE(runner->FtpCmd_JobDone(0, true, FtpCommander::ActGet));
    EXPECT_FALSE(runner->FtpCmd_JobDone(0, true, FtpCommander::ActSend));
    runner->RunDownloads(0);
    EXPECT_EQ(engine.calls.size(), 1000);
}

TEST_F(RunnerFixture, FoldersAreMadeThenFilesSentAndTheQueueIsEmptiedAfter)
{
    batch->UploadList = {BatchEntry{"a.txt", "/l", "/x", {}, false, 1}, BatchEntry{"b.txt", "/l", "/x/y", {}, false, 1}};
    batch->cboMkDir.Add("/x");
    batch->cboMkDir.Add("/x/y");
    engine.succeeds = [](const QString &call) { return call != "MKD /x"; }; // it was there already
    runner->ShowAction(true, 0, QStringLiteral("U"), 2);
    EXPECT_EQ(engine.calls, QStringList({"MKD /x", "MKD /x/y", "STOR /x/a.txt", "STOR /x/y/b.txt"}));
    EXPECT_TRUE(batch->cboMkDir.IsEmpty());
    EXPECT_EQ(engine.deepest, 1);
    EXPECT_EQ(ended, 1);
}

TEST_F(RunnerFixture, DeletesFilesThenFoldersAndALostSessionEndsWithOneMessage)
{
    batch->TransferList = {BatchEntry{"c.txt", "/l", "/a/b", {}, false, 1}, BatchEntry{"/a/b", {}, "/a/b", {}, true, 0},
                           BatchEntry{"/a", {}, "/a", {}, true, 0}};
    runner->ShowAction(false, 0, QStringLiteral("DEL"), 3);
    EXPECT_EQ(engine.calls, QStringList({"DELE /a/b/c.txt", "RMD /a/b", "RMD /a"}));

    // The session is gone before the second step.
    downloads(QDir::tempPath(), 3);
    engine.calls.clear();
    engine.onCall = [this](const QString &) { engine.active = false; };
    prompts.expectMessage(BatchFailures::kLostText, PromptButton::Ok);
    runner->ShowAction(false, 0, QStringLiteral("D"), 3);
    EXPECT_EQ(engine.calls.size(), 1);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), 1u);
    EXPECT_FALSE(runner->Running());
    EXPECT_FALSE(modal.IsSet());
}

TEST_F(RunnerFixture, SkipAllSkipsOnlyExistingFilesAndTheQuestionKeepsTheWindowModal)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    QTemporaryDir root;
    downloads(root.path(), 4);
    for (const char *name : {"f0", "f2"}) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    int modalDuringQuestion = 0;
    WhenModal<frmOverwrite>([&](frmOverwrite &dialog) {
        modalDuringQuestion = modal.Count();
        dialog.CmdStopAll->click();
    });
    bool modalAfterQuestion = false;
    engine.onCall = [&](const QString &) { modalAfterQuestion = modal.IsSet(); };
    runner->ShowAction(false, 0, QStringLiteral("D"), 4);
    EXPECT_EQ(engine.calls, QStringList({"RETR /r/f1", "RETR /r/f3"}));
    EXPECT_EQ(modalDuringQuestion, 2);
    EXPECT_TRUE(modalAfterQuestion);
    EXPECT_TRUE(batch->Answers.DownloadSkipAll);

    // Every file there and skipped: the batch ends without a transfer.
    downloads(root.path(), 1);
    engine.calls.clear();
    QFile(root.filePath("f0")).open(QIODevice::WriteOnly);
    runner->ShowAction(false, 0, QStringLiteral("D"), 1);
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_FALSE(runner->Running());
}

TEST(OverwriteQuestionsTest, AnswersFlagsAndTheReentryGuard)
{
    BatchAnswers answers;
    ModalHolders modal;
    OverwriteQuestions questions(answers, modal, nullptr);

    // No answer: overwritten once the countdown is over, and no flag.
    questions.SetCountdown(2, 1);
    EXPECT_TRUE(questions.ConfirmFtpOverwrite("a"));
    EXPECT_FALSE(answers.UploadOverwriteAll || answers.UploadSkipAll);

    questions.SetCountdown(frmOverwrite::kCountdownStart, 500);
    WhenModal<frmOverwrite>([](frmOverwrite &d) { d.close(); });
    EXPECT_FALSE(questions.ConfirmLocalOverwrite("/x"));
    EXPECT_FALSE(answers.DownloadOverwriteAll || answers.DownloadSkipAll);
    EXPECT_FALSE(modal.IsSet());

    // Another slot's question is open: asked again later.
    int answer = 7;
    answers.OverwriteQuestionOpen = true;
    questions.ValidateUploadOverwrite(answer, "b");
    EXPECT_EQ(answer, -1);
    answers.OverwriteQuestionOpen = false;

    WhenModal<frmOverwrite>([](frmOverwrite &d) { d.CmdOKAll->click(); });
    questions.ValidateUploadOverwrite(answer, "b");
    EXPECT_EQ(answer, 1);
    EXPECT_TRUE(answers.UploadOverwriteAll);
    EXPECT_FALSE(answers.OverwriteQuestionOpen);
    // "Overwrite All" answers the next question without a dialog.
    answer = 0;
    questions.ValidateUploadOverwrite(answer, "c");
    EXPECT_EQ(answer, 1);

    answers.ResetBatchAnswers(false);
    WhenModal<frmOverwrite>([](frmOverwrite &d) { d.CmdStopAll->click(); });
    questions.ValidateUploadOverwrite(answer, "d");
    EXPECT_EQ(answer, 0);
    questions.ValidateUploadOverwrite(answer, "e");
    EXPECT_EQ(answer, 0);
}

} // namespace

namespace {

TEST_F(RunnerFixture, EveryChangedFolderAndTheParentsOfMadeOrRemovedFoldersGoStale)
{
    FtpCache &cache = slot(0).Cache();
    for (const char *folder : {"/x", "/x/y", "/", "/a", "/a/b", "/other"})
        cache.UpdateDirCache(folder, "listing");
    batch->UploadList = {BatchEntry{"a.txt", "/l", "/x", {}, false, 1}, BatchEntry{"b.txt", "/l", "/x/y", {}, false, 1}};
    batch->cboMkDir.Add("/x/y");
    runner->ShowAction(true, 0, QStringLiteral("U"), 2);
    EXPECT_EQ(cache.GetDirCache("/x"), QString()); // a file went there, and it holds the made folder
    EXPECT_EQ(cache.GetDirCache("/x/y"), QString());

    batch->TransferList = {BatchEntry{"c.txt", "/l", "/a/b", {}, false, 1}, BatchEntry{"/a/b", {}, "/a/b", {}, true, 0}};
    runner->ShowAction(false, 0, QStringLiteral("DEL"), 2);
    EXPECT_EQ(cache.GetDirCache("/a/b"), QString());
    EXPECT_EQ(cache.GetDirCache("/a"), QString());
    EXPECT_EQ(cache.GetDirCache("/other"), QStringLiteral("listing"));
}

} // namespace

// The reason of a refused step, from the reply lines as a server sends them.
TEST(BatchFailuresTest, AReasonKeepsTheLinesOfItsReplyAndOnlyARefusalCounts)
{
    BatchFailures failures;
    failures.Begin(BatchFailures::Verb::Transferred, 3);
    const auto fail = [&](const QString &name, const QStringList &reply) {
        failures.StepStarted(name);
        for (const QString &line : reply)
            failures.NoteReplyLine(line);
        failures.StepEnded(false);
    };
    // A multi-line reply ends a 2xx before the refusal: only the refusal is the reason.
    fail(QStringLiteral("a"), {QStringLiteral("213-STAT"), QStringLiteral(" -rw-r--r-- 1 u g 5 a"),
                               QStringLiteral("213 End."), QStringLiteral("550-No access"),
                               QStringLiteral("  to this folder"), QStringLiteral("550")});
    // Lines of a reply beyond what is kept are dropped, its last one never.
    QStringList many;
    for (int i = 0; i < 20; ++i)
        many << QStringLiteral("451-line %1").arg(i);
    fail(QStringLiteral("b"), many + QStringList{QStringLiteral("451 last")});
    // A step without a refusal fails with no reply to tell.
    fail(QStringLiteral("c"), {QStringLiteral("226-Partly"), QStringLiteral("226 Done")});
    const QStringList lines = failures.Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("a: 550 No access; to this folder"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("b: 451 line 0; line 1;"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("line %1; last").arg(BatchFailures::kReplyLinesKept - 1)))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], QStringLiteral("c: failed"));
}

// The open, view and edit flow against a real server, with real panes and
// editors (offscreen) and real programs (/bin/sh scripts).
#include "RemoteEditFlow.h"

#include "ApplicationWatcher.h"
#include "EngineTimer.h"
#include "FileHandlerCollection.h"
#include "FrmEdit.h"
#include "FtpCommander.h"
#include "FtpTask.h"
#include "JobIntake.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "StubWindow.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

// The job queue as the flow sees it: jobs kept by key, nothing run.
class QueueStandIn final : public JobIntake
{
public:
    void AcceptJobs(const FtpTaskCollection &, bool) override {}
    bool AddJob(const FtpTaskCollection::Job &job) override { return jobs.AddFtpTask(job); }
    void ReportJobsAdded(bool, int added, int refused) override { reports << QStringLiteral("%1/%2").arg(added).arg(refused); }
    void RunQueuedJobs() override { ++runs; }
    FtpTaskCollection::Job FindJob(const QString &key) const override { return jobs.Find(key); }
    void RefreshJob(const QString &key) override { refreshed << key; }
    QStringList UnfinishedLocalFiles() const override
    {
        QStringList files;
        for (const auto &job : jobs)
            if (job->Status() != 2)
                files << job->GetLocalFilePath();
        return files;
    }
    QList<FtpTaskCollection::Job> UnfinishedJobsOf(const QString &path) const override
    {
        QList<FtpTaskCollection::Job> found;
        for (const auto &job : jobs)
            if (job->Status() != 2 && job->GetLocalFilePath() == path)
                found << job;
        return found;
    }
    void FailJob(const QString &key, int reason, const QString &why) override
    {
        if (const auto job = jobs.Find(key)) {
            job->setStatus(3);
            job->setFailureReason(reason);
            job->setLocked(true);
            failedWith << why;
        }
    }

    FtpTaskCollection jobs;
    QStringList reports;
    QStringList refreshed;
    QStringList failedWith;
    int runs = 0;
};

// The Tmp folder inside a private root, as the program's data root holds it;
// the copies' records are kept beside it.
struct TmpFolder {
    QTemporaryDir root;
    bool isValid() const { return root.isValid() && QDir().mkpath(path()); }
    QString path() const { return root.filePath("Tmp"); }
    QString filePath(const QString &name) const { return path() + "/" + name; }
    QString record(const QString &name) const { return root.filePath("TmpCopies/" + name); }
};

class RemoteEditFlowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(tmp.isValid());
        serverSlots = std::make_unique<ServerSlots>(std::array<RemotePane *, 2>{&pane0, &pane1}, window,
                                                    localHistory, nullptr);
        serverSlots->BuildHandlerMenus(handlers);
        NewFlow();
    }
    void TearDown() override
    {
        for (OptionFlag flag : {OptionFlag::PromptUploadExternalEdits, OptionFlag::PromptLargeFileEditView,
                                OptionFlag::AutoStartJobs, OptionFlag::ConfirmDeletingTempFiles})
            SetOptionFlag(flag, false);
        flow.reset();
    }

    ServerSlot &slot(int i = 0) { return *serverSlots->Slot(i); }
    RemotePane &pane(int i) { return i == 0 ? pane0 : pane1; }

    bool Connect(int i = 0, const QString &folder = "/")
    {
        CProfile profile = ServerProfile(server);
        profile.RemotePath = folder;
        serverSlots->UseProfile(i, profile, true);
        return QTest::qWaitFor([&] {
            return slot(i).SessionActive() && !slot(i).IsBusy() && slot(i).SlotRemotePath() == folder
                && pane(i).Model->size() > 0;
        }, 20000);
    }
    void Select(const QString &name, int i = 0)
    {
        for (int r = 0; r < pane(i).Model->size(); ++r) {
            if (pane(i).Model->row(r).Text == name) {
                pane(i).RightView->selectionModel()->select(pane(i).Model->index(r, 0),
                                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                serverSlots->SetCurrentSlot(i);
                return;
            }
        }
        ADD_FAILURE() << "no row " << name.toStdString();
    }
    bool Idle(int i = 0)
    {
        return QTest::qWaitFor([&] { return !slot(i).IsBusy() && !flow->SlotEditPending(i); }, 20000);
    }
    FrmEdit *WaitForEditor()
    {
        if (!QTest::qWaitFor([&] { return !flow->OpenEditors().isEmpty(); }, 20000))
            return nullptr;
        return flow->OpenEditors().value(0);
    }
    bool UploadEnded(int i = 0)
    {
        QSignalSpy ended(flow.get(), &RemoteEditFlow::editUploadEnded);
        if (ended.isEmpty() && !ended.wait(20000))
            return false;
        return ended.at(0).at(0).toInt() == i && ended.at(0).at(1).toBool();
    }
    QString Script(const QString &name, const QByteArray &body)
    {
        const QString path = scripts.filePath(name);
        EXPECT_TRUE(WriteShellScript(path, body));
        return path;
    }
    // "Edit With" a program that hands the file on and returns at once, as
    // editors with a running instance do; the user saves later.
    void EditWithHandOff(const QString &name, int handler, int i = 0) { OpenWith(name, handler, false, i); }
    // The user saves `changed` in the program the file was handed to.
    void EditWithHandOffAndSave(const QString &name, int handler, const QByteArray &changed)
    {
        EditWithHandOff(name, handler);
        ASSERT_TRUE(WriteFileBytes(tmp.filePath(name), changed));
    }
    int AddHandOff(const QString &patterns) { return AddHandler(patterns, Script("handoff", "exit 0"), 3, "Hand-off"); }
    // An editor program that adds `line` to the file and ends.
    int AddAppender(const QString &patterns, const QByteArray &line)
    {
        return AddHandler(patterns, Script("append", "echo " + line + " >> \"$1\""), 3, "Appender");
    }
    // The program changed the file and the user answers No to sending it.
    void DeclineTheProgramsChange(const QString &name, int handler)
    {
        prompts.expectMessage("You have made changes to '127.0.0.1/" + name + "'.", PromptButton::No);
        EditWithHandOff(name, handler);
    }
    // "View With" a program that reads the file and ends.
    void ViewWith(const QString &name, int handler, int i = 0) { OpenWith(name, handler, true, i); }
    void OpenWith(const QString &name, int handler, bool view, int i)
    {
        Select(name, i);
        if (view)
            flow->MNU_RMT_VIEWITEM_Click(handler);
        else
            flow->MNU_RMT_EDITITEM_Click(handler);
        ASSERT_TRUE(Idle(i));
        flow->Timer1_Timer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return flow->EditTasks().Count() == 0; }, 20000)) << name.toStdString();
    }
    // "Edit With" the selected file; once its program ended, every question
    // expected has been asked.
    void EditWithUntilAsked(int handler)
    {
        flow->MNU_RMT_EDITITEM_Click(handler);
        ASSERT_TRUE(Idle());
        flow->Timer1_Timer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.allUsed(); }, 20000));
    }
    // The quick editor on `name`, its download done; null if it did not open.
    FrmEdit *QuickEdit(const QString &name, int i = 0)
    {
        Select(name, i);
        flow->MNU_RMT_QEDIT_Click();
        FrmEdit *editor = WaitForEditor();
        return editor != nullptr && Idle(i) ? editor : nullptr;
    }
    // An upload that failed left the quick editor open with the user's text, unsent.
    void ExpectEditorKeptItsChange(const QPointer<FrmEdit> &editor, const QString &text)
    {
        ASSERT_FALSE(editor.isNull());
        EXPECT_TRUE(editor->isVisible());
        EXPECT_TRUE(editor->OKButton->isEnabled());
        EXPECT_TRUE(editor->windowTitle().endsWith("*"));
        EXPECT_EQ(editor->Text1->toPlainText(), text);
        EXPECT_EQ(flow->EditTasks().Count(), 1);
    }
    // Opening `name` again while its copy holds `changed`, unsent: asked
    // with `question`, Cancel opens nothing; asked again, Yes sends the copy.
    void CancelThenSendTheChangedCopy(const QString &name, int handler, const QString &question,
                                      const QString &questionAgain, const QByteArray &changed)
    {
        prompts.expectMessage(question, PromptButton::Cancel);
        Select(name);
        flow->MNU_RMT_EDITITEM_Click(handler);
        EXPECT_FALSE(flow->SlotEditPending(0));
        EXPECT_EQ(ReadFileBytes(tmp.filePath(name)), changed);
        prompts.expectMessage(questionAgain, PromptButton::Yes);
        flow->MNU_RMT_EDITITEM_Click(handler);
        ASSERT_TRUE(UploadEnded());
        EXPECT_EQ(server.readFile(name), changed);
    }
    // The close names the copies it keeps because their changes were not sent
    // (or, with `inJobs`, wait in upload jobs).
    void ExpectKeptAtClose(const QString &names, bool inJobs = false)
    {
        prompts.expectMessage(QString(inJobs ? "have changes waiting in upload jobs" : "were changed but not uploaded")
                                  + ". Their copies are kept in '" + tmp.path() + "':\r\n\r\n" + names,
                              PromptButton::Ok);
    }
    // What the program does with its editors and copies when it closes.
    void CloseAsAtExit()
    {
        flow->CloseEditors();
        flow->DeleteTempFiles();
    }
    // Logged in to a server holding `name`, a hand-off program set for `patterns`.
    void ConnectWithHandOff(const QString &name, const QByteArray &onServer, const QString &patterns, int &handOff)
    {
        ASSERT_TRUE(server.writeFile(name, onServer));
        handOff = AddHandOff(patterns);
        ASSERT_TRUE(Connect());
    }
    // notes.txt changed by an editor program and the change declined;
    // `handOff` then opens it again without changing it.
    void DeclineAChangeToNotes(int &handOff)
    {
        ASSERT_TRUE(server.writeFile("notes.txt", "n\n"));
        const int appender = AddAppender("*.txt", "more");
        handOff = AddHandOff("notes.*");
        ASSERT_TRUE(Connect());
        DeclineTheProgramsChange("notes.txt", appender);
    }
    void NewFlow()
    {
        flow = std::make_unique<RemoteEditFlow>(*serverSlots, nullptr);
        flow->setTmpFolder(tmp.path());
        flow->setHandlers(&handlers);
        flow->setJobIntake(&queue);
    }
    int AddHandler(const QString &patterns, const QString &program, qint16 action, const QString &title)
    {
        handlers.Add(patterns, program, "", 0, action).SetApplicationTitle(title);
        serverSlots->BuildHandlerMenus(handlers);
        return handlers.Count();
    }

    PyFtpServer server;
    TmpFolder tmp;
    QTemporaryDir scripts;
    StubWindow window;
    RemotePane pane0{0, window.images};
    RemotePane pane1{1, window.images};
    LocalFolderHistory localHistory;
    std::unique_ptr<ServerSlots> serverSlots;
    FileHandlerCollection handlers;
    QueueStandIn queue;
    std::unique_ptr<RemoteEditFlow> flow;
    ScriptedPrompts prompts;
};

} // namespace

TEST_F(RemoteEditFlowTest, QuickEditSendsBackExactlyWhatWasReadPlusWhatWasTyped)
{
    struct Case {
        QString name;
        QByteArray bytes;
        QByteArray after;
    };
    const Case cases[] = {
        {"utf8.txt", "gr\xc3\xbc\xc3\x9f\n\xe2\x82\xac\n", "gr\xc3\xbc\xc3\x9f\n\xe2\x82\xac\n\xc3\xa9"},
        {"latin1.txt", "caf\xe9\r\nna\xefve\r\n", "caf\xe9\r\nna\xefve\r\n\xe9"},
        {"unix.txt", "a\nb", "a\nb\xc3\xa9"},
        {"dos.txt", "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n\xc3\xa9"},
    };
    for (const Case &c : cases)
        ASSERT_TRUE(server.writeFile(c.name, c.bytes));
    ASSERT_TRUE(Connect());
    for (const Case &c : cases) {
        Select(c.name);
        flow->MNU_RMT_QEDIT_Click();
        FrmEdit *editor = WaitForEditor();
        ASSERT_NE(editor, nullptr) << c.name.toStdString();
        EXPECT_EQ(editor->lblWarn->text(), server.host() + "/" + c.name);
        EXPECT_EQ(flow->EditTasks().Count(), 1);
        editor->Text1->moveCursor(QTextCursor::End);
        editor->Text1->insertPlainText(QStringLiteral("\u00e9"));
        editor->OKButton->click();
        ASSERT_TRUE(UploadEnded()) << c.name.toStdString();
        EXPECT_EQ(server.readFile(c.name), c.after) << c.name.toStdString();
        EXPECT_EQ(flow->EditTasks().Count(), 0);
        ASSERT_TRUE(Idle());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(RemoteEditFlowTest, AProgramThatChangesTheCopyIsAskedAboutAndTheCopyGoesBack)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    ASSERT_TRUE(server.writeFile("page.html", "<p>\n"));
    const int editor = AddHandler("*.html", Script("append", "echo '<b>' >> \"$1\""), 2, "Appender");
    ASSERT_TRUE(Connect());
    Select("page.html");
    prompts.expectMessage("You have made changes to '127.0.0.1/page.html'.", PromptButton::Yes);
    flow->MNU_RMT_EDITITEM_Click(editor);
    ASSERT_TRUE(Idle());
    flow->Timer1_Timer();
    ASSERT_TRUE(UploadEnded());
    EXPECT_EQ(server.readFile("page.html"), "<p>\n<b>\n");
    EXPECT_EQ(flow->EditTasks().Count(), 0);
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(RemoteEditFlowTest, ADeclinedUploadDropsTheTaskAndLeavesTheServerAlone)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    ASSERT_TRUE(server.writeFile("page.html", "<p>\n"));
    const int editor = AddAppender("*.html", "'<b>'");
    ASSERT_TRUE(Connect());
    Select("page.html");
    prompts.expectMessage("You have made changes to", PromptButton::No);
    flow->MNU_RMT_EDITITEM_Click(editor);
    ASSERT_TRUE(Idle());
    flow->Timer1_Timer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return prompts.allUsed() && flow->FileWatcher1().Entry(0)
                                             && flow->FileWatcher1().Entry(0)->Closed; }, 20000));
    EXPECT_EQ(flow->EditTasks().Count(), 0);
    EXPECT_EQ(server.readFile("page.html"), "<p>\n");
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("page.html")));
}

// The job sends a snapshot of the copy taken when it was queued, kept beside
// Tmp; a change made after the job completed gets a job of its own, also
// while the earlier one runs.
TEST_F(RemoteEditFlowTest, WhileABatchRunsTheChangeIsQueuedWithASnapshotOfItsOwn)
{
    ASSERT_TRUE(server.writeFile("notes.txt", "one\n"));
    ASSERT_TRUE(Connect());
    flow->setBatchRunningCheck([] { return true; });
    Select("notes.txt");
    flow->MNU_RMT_QEDIT_Click();
    FrmEdit *editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    editor->Text1->insertPlainText("x");
    prompts.expectMessage("The edited file has been added to upload jobs.", PromptButton::Ok);
    editor->OKButton->click();
    ASSERT_EQ(queue.jobs.Count(), 1);
    const FtpTaskCollection::Job job = *queue.jobs.begin();
    EXPECT_TRUE(job->IsUpload());
    EXPECT_FALSE(job->Locked());
    EXPECT_EQ(QFileInfo(job->LocalPath()).path(), tmp.root.filePath("EditUploads"));
    EXPECT_EQ(job->LocalFileTitle(), "notes.txt");
    EXPECT_EQ(ReadFileBytes(job->GetLocalFilePath()), "xone\n");
    EXPECT_EQ(job->GetRemoteFilePath(), "/notes.txt");
    EXPECT_EQ(job->Size(), 5);
    EXPECT_EQ(job->OriginalLocalSize(), 5);
    EXPECT_EQ(queue.reports, QStringList{"1/0"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The job was sent; the same file edited again gets a job of its own.
    const auto complete = [&](const FtpTaskCollection::Job &sent) {
        sent->setStatus(2);
        sent->setLocked(true);
        flow->JobCompleted(sent);
    };
    complete(job);
    SetOptionFlag(OptionFlag::AutoStartJobs, true);
    flow->MNU_RMT_QEDIT_Click();
    editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(Idle());
    editor->Text1->insertPlainText("yz");
    editor->OKButton->click();
    ASSERT_EQ(queue.jobs.Count(), 2);
    const FtpTaskCollection::Job again = *std::next(queue.jobs.begin());
    EXPECT_EQ(again->Status(), 0);
    EXPECT_FALSE(again->Locked());
    EXPECT_EQ(ReadFileBytes(again->GetLocalFilePath()), "yzone\n");
    EXPECT_EQ(queue.runs, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // While that job runs, the copy is free: edited and sent again, it gets a third.
    complete(again);
    flow->MNU_RMT_QEDIT_Click();
    editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(Idle());
    again->setStatus(1);
    editor->Text1->insertPlainText("!");
    editor->OKButton->click();
    ASSERT_EQ(queue.jobs.Count(), 3);
    EXPECT_EQ(ReadFileBytes(again->GetLocalFilePath()), "yzone\n");
    EXPECT_EQ(ReadFileBytes((*std::next(queue.jobs.begin(), 2))->GetLocalFilePath()), "!one\n");
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(RemoteEditFlowTest, AWalkOnTheSlotSendsTheChangeOverTheOtherSlotOfTheSameProfile)
{
    ASSERT_TRUE(server.writeFile("notes.txt", "one\n"));
    ASSERT_TRUE(Connect(0));
    ASSERT_TRUE(Connect(1));
    Select("notes.txt", 0);
    flow->MNU_RMT_QEDIT_Click();
    FrmEdit *editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    flow->setWalkActiveCheck([](int index) { return index == 0; });
    editor->Text1->insertPlainText("0");
    editor->OKButton->click();
    ASSERT_TRUE(UploadEnded(1));
    EXPECT_EQ(server.readFile("notes.txt"), "0one\n");
}

TEST_F(RemoteEditFlowTest, OnlyTheServerAddressInFrontIsTakenOffTheRemotePath)
{
    ASSERT_TRUE(server.makeFolder("127.0.0.1"));
    ASSERT_TRUE(server.writeFile("127.0.0.1/f.txt", "old"));
    ASSERT_TRUE(Connect(0, "/127.0.0.1"));
    FrmEdit *editor = QuickEdit("f.txt");
    ASSERT_NE(editor, nullptr);
    const QString key = editor->EditTaskID();
    ASSERT_TRUE(WriteFileBytes(editor->LocalFilePath(), "new"));
    // A path given without the address in front is sent as it is.
    EXPECT_TRUE(flow->RequestUpload(0, "Test server", editor->LocalFilePath(), "/127.0.0.1/f.txt", key));
    ASSERT_TRUE(UploadEnded());
    EXPECT_EQ(server.readFile("127.0.0.1/f.txt"), "new");
    // A task that is gone is a failure, never a quiet success.
    EXPECT_FALSE(flow->RequestUpload(0, "Test server", editor->LocalFilePath(), "/127.0.0.1/f.txt", key));
}

TEST_F(RemoteEditFlowTest, LargeFilesAskFirstAndAFailedDownloadSaysSo)
{
    SetOptionFlag(OptionFlag::PromptLargeFileEditView, true);
    ASSERT_TRUE(server.writeFile("limit.txt", QByteArray(512000, 'a')));
    ASSERT_TRUE(server.writeFile("over.txt", QByteArray(512001, 'b')));
    ASSERT_TRUE(server.writeFile("gone.txt", "g"));
    ASSERT_TRUE(Connect());

    Select("limit.txt");
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(flow->SlotEditPending(0));
    ASSERT_NE(WaitForEditor(), nullptr);
    ASSERT_TRUE(Idle());

    Select("over.txt");
    prompts.expectMessage("The selected file is larger than 500KB!", PromptButton::No);
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_FALSE(flow->SlotEditPending(0));
    EXPECT_EQ(flow->EditTasks().Count(), 1);

    ASSERT_TRUE(QFile::remove(server.rootPath() + "/gone.txt"));
    Select("gone.txt");
    prompts.expectMessage("Request failed to download and view/Edit the file!", PromptButton::Ok);
    flow->MNU_RMT_QEDIT_Click();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(flow->EditTasks().Count(), 1);
}

// Slot 0's connection on a manual clock: its idle poll comes when the test says.
class RemoteEditFlowOnClock : public RemoteEditFlowTest
{
protected:
    void SetUp() override
    {
        RemoteEditFlowTest::SetUp();
        flow.reset();
        clock = new ManualEngineTimer; // the slot's engine owns it
        serverSlots = std::make_unique<ServerSlots>(std::array<RemotePane *, 2>{&pane0, &pane1}, window, localHistory,
                                                    nullptr, nullptr, std::array<EngineTimer *, 2>{clock, nullptr});
        serverSlots->BuildHandlerMenus(handlers);
        NewFlow();
    }

    ManualEngineTimer *clock = nullptr;
};

// The failed download is told once the reply that failed it has been handled:
// a reply the server sends while the message is open (the idle poll's) is
// taken, and the session does not end for want of it afterwards.
TEST_F(RemoteEditFlowOnClock, WhileAFailedDownloadIsToldTheConnectionTakesItsServersReplies)
{
    ASSERT_TRUE(server.writeFile("gone.txt", "g"));
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(QFile::remove(server.rootPath() + "/gone.txt"));
    FtpCommander *engine = slot().FtpCmd();
    bool polled = false;
    bool answered = false;
    QObject::connect(engine, &FtpCommander::CommandSent, flow.get(),
                     [&](const QString &, const QString &command) { polled = polled || command == "NOOP"; });
    QObject::connect(engine, &FtpCommander::ServerReplied, flow.get(),
                     [&](const QString &code, const QString &) { answered = answered || (polled && code == "200"); });
    bool answeredWhileShown = false;
    prompts
        .onNext([&] {
            clock->advance(61000); // idle for a minute: the connection polls its server
            answeredWhileShown = polled && QTest::qWaitFor([&] { return answered; }, 10000);
        })
        .expectMessage("Request failed to download and view/Edit the file!", PromptButton::Ok);
    Select("gone.txt");
    flow->MNU_RMT_QEDIT_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.allUsed() && !slot().IsBusy(); }, 20000));
    EXPECT_TRUE(polled);
    EXPECT_TRUE(answeredWhileShown);
    clock->advance(engine->CommandTimeout() * 1000 + 2000);
    EXPECT_TRUE(slot().SessionActive());
    EXPECT_TRUE(flow->OpenEditors().isEmpty());
}

TEST_F(RemoteEditFlowTest, AViewedCopyIsReplacedByTheNextOpeningAndQueuedCopiesSurviveTheClose)
{
    ASSERT_TRUE(server.writeFile("read.txt", "r1"));
    ASSERT_TRUE(server.writeFile("kept.txt", "k"));
    const int viewer = AddHandler("*.txt", Script("look", "cat \"$1\" > /dev/null"), 1, "Looker");
    ASSERT_TRUE(Connect());
    ASSERT_NO_FATAL_FAILURE(ViewWith("read.txt", viewer));
    EXPECT_FALSE(QFile::permissions(tmp.filePath("read.txt")) & QFile::WriteOwner);

    ASSERT_TRUE(server.writeFile("read.txt", "r2"));
    flow->MNU_RMT_QEDIT_Click();
    FrmEdit *editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Text1->toPlainText(), "r2");

    // A same-named copy still open asks before it is replaced.
    prompts.expectMessage("Ignore and reopen ?", PromptButton::No);
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_FALSE(flow->SlotEditPending(0));

    Select("kept.txt");
    flow->setBatchRunningCheck([] { return true; });
    flow->MNU_RMT_QEDIT_Click();
    FrmEdit *second = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (FrmEdit *open : flow->OpenEditors())
            if (open->LocalFilePath().endsWith("kept.txt"))
                second = open;
        return second != nullptr;
    }, 20000));
    second->Text1->insertPlainText("+");
    prompts.expectMessage("added to upload jobs", PromptButton::Ok);
    second->OKButton->click();
    ASSERT_EQ(queue.jobs.Count(), 1);

    SetOptionFlag(OptionFlag::ConfirmDeletingTempFiles, true);
    prompts.expectMessage("Delete the temporary copies", PromptButton::Yes);
    // Its job has not sent it yet.
    ExpectKeptAtClose("kept.txt", true);
    ASSERT_TRUE(flow->ConfirmCloseEditors());
    CloseAsAtExit();
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("read.txt")));
    EXPECT_EQ(ReadFileBytes(tmp.filePath("kept.txt")), "+k");
    EXPECT_TRUE(prompts.allUsed());
}

// A change saved after its program ended, and one whose upload was declined
// (No answered "upload?", not "discard?"), are the user's: named at the close
// and kept, also after Cancel at the reopen question and a Yes to deleting
// the temporary copies.
TEST_F(RemoteEditFlowTest, ACopyChangedAfterItsProgramEndedOutlivesTheCloseAndIsNamed)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    SetOptionFlag(OptionFlag::ConfirmDeletingTempFiles, true);
    ASSERT_TRUE(server.writeFile("forked.html", "<p>\n"));
    ASSERT_TRUE(server.writeFile("declined.txt", "d\n"));
    ASSERT_TRUE(server.writeFile("viewed.log", "v\n"));
    // Like an editor that hands the file to its running instance: back at once, copy untouched.
    const int handOff = AddHandOff("*.html");
    const int appender = AddAppender("*.txt", "more");
    const int viewer = AddHandler("*.log", Script("look", "cat \"$1\" > /dev/null"), 1, "Looker");
    ASSERT_TRUE(Connect());
    EditWithHandOff("forked.html", handOff);
    DeclineTheProgramsChange("declined.txt", appender);
    ViewWith("viewed.log", viewer);
    EXPECT_TRUE(prompts.allUsed());

    // The user saves in the running instance long after its program "ended".
    const QString forked = tmp.filePath("forked.html");
    ASSERT_TRUE(WriteFileBytes(forked, "<p>\nedited\n"));
    prompts.expectMessage("The copy of 'declined.txt' in the Tmp folder has changes that were not uploaded.",
                          PromptButton::Cancel);
    Select("declined.txt");
    flow->MNU_RMT_EDITITEM_Click(appender);
    EXPECT_FALSE(flow->SlotEditPending(0));

    prompts.expectMessage("Delete the temporary copies", PromptButton::Yes);
    ExpectKeptAtClose("forked.html\r\ndeclined.txt");
    ASSERT_TRUE(flow->ConfirmCloseEditors());
    CloseAsAtExit();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(forked), "<p>\nedited\n");
    EXPECT_EQ(ReadFileBytes(tmp.filePath("declined.txt")), "d\nmore\n");
    // Only the unchanged copy goes with the temporary files.
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("viewed.log")));
    EXPECT_EQ(flow->TempCopyNames(), (QStringList{"forked.html", "declined.txt"}));
}

// A quick edit changed and changed back while a slow server takes it: the
// server may hold a mix of both, so the copy is kept and named at the close
// (one only touched after the send goes: TmpCopiesAtClose).
TEST_F(RemoteEditFlowTest, ACopyChangedAndChangedBackWhileSentIsKeptAtClose)
{
    server.stop();
    server.limitUploadRate(128 * 1024);
    const QByteArray text = QByteArray("a line of the file\n").repeated(14 * 1024);
    ASSERT_TRUE(server.writeFile("notes.txt", text));
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(Connect());
    FrmEdit *editor = QuickEdit("notes.txt");
    ASSERT_NE(editor, nullptr);
    editor->Text1->moveCursor(QTextCursor::End);
    editor->Text1->insertPlainText("mine\n");
    QSignalSpy ended(flow.get(), &RemoteEditFlow::editUploadEnded);
    editor->OKButton->click();
    ASSERT_TRUE(flow->EditUploadRunning(0));
    const QString copy = tmp.filePath("notes.txt");
    const QByteArray sent = ReadFileBytes(copy);
    ASSERT_EQ(sent, text + "mine\n");
    ASSERT_TRUE(WriteFileBytes(copy, "X" + sent.mid(1)));
    ASSERT_TRUE(WriteFileBytes(copy, sent));
    // Saved a little later than the send began.
    QFile saved(copy);
    ASSERT_TRUE(saved.open(QIODevice::Append));
    ASSERT_TRUE(saved.setFileTime(saved.fileTime(QFileDevice::FileModificationTime).addSecs(2),
                                  QFileDevice::FileModificationTime));
    saved.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ended.isEmpty(); }, 20000));
    ASSERT_TRUE(ended.at(0).at(1).toBool());
    ASSERT_TRUE(Idle());
    ExpectKeptAtClose("notes.txt");
    CloseAsAtExit();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(copy), sent);
}

TEST_F(RemoteEditFlowTest, ReopeningAFileInTheQuickEditorClosesItsOldEditorFirst)
{
    ASSERT_TRUE(server.writeFile("a.txt", "one\n"));
    ASSERT_TRUE(Connect());
    QPointer<FrmEdit> old = QuickEdit("a.txt");
    ASSERT_NE(old, nullptr);
    old->Text1->insertPlainText("x");

    // The old editor keeps its unsent change: no reopening.
    prompts.expectMessage("Ignore and reopen ?", PromptButton::Yes);
    prompts.expectMessage("Close without uploading ?", PromptButton::No);
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(flow->SlotEditPending(0));
    ASSERT_FALSE(old.isNull());
    EXPECT_TRUE(old->isVisible());
    EXPECT_EQ(flow->EditTasks().Count(), 1);

    // No to reopening ends the request.
    prompts.expectMessage("Ignore and reopen ?", PromptButton::No);
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(flow->SlotEditPending(0));

    // Yes twice: the old editor closes, the file comes again into one editor that owns the edit.
    ASSERT_TRUE(server.writeFile("a.txt", "two\n"));
    prompts.expectMessage("Ignore and reopen ?", PromptButton::Yes);
    prompts.expectMessage("Close without uploading ?", PromptButton::Yes);
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(old.isNull() || !old->isVisible());
    ASSERT_TRUE(Idle());
    ASSERT_EQ(flow->OpenEditors().size(), 1);
    FrmEdit *fresh = flow->OpenEditors().front();
    EXPECT_NE(fresh, old.data());
    EXPECT_EQ(fresh->Text1->toPlainText(), "two\n");
    EXPECT_EQ(flow->EditTasks().Count(), 1);
    fresh->Text1->insertPlainText("!");
    fresh->OKButton->click();
    ASSERT_TRUE(UploadEnded());
    EXPECT_EQ(server.readFile("a.txt"), "!two\n");
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(RemoteEditFlowTest, TheEditorShowsTheServersNameAsItIsNeverAsMarkup)
{
    ASSERT_TRUE(server.writeFile("<b>bold.txt", "b"));
    ASSERT_TRUE(Connect());
    Select("<b>bold.txt");
    flow->MNU_RMT_QEDIT_Click();
    FrmEdit *editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->lblWarn->text(), server.host() + "/<b>bold.txt");
    EXPECT_EQ(editor->lblWarn->textFormat(), Qt::PlainText);
    // What is drawn is every character of the name.
    QLabel asTyped;
    asTyped.setFont(editor->lblWarn->font());
    asTyped.setTextFormat(Qt::PlainText);
    asTyped.setText(editor->lblWarn->text());
    EXPECT_EQ(editor->lblWarn->sizeHint().width(), asTyped.sizeHint().width());
}

TEST_F(RemoteEditFlowTest, OpenSaysSoWhenTheDesktopHasNoProgramForTheFile)
{
    ASSERT_TRUE(server.writeFile("a.odd", "x"));
    ASSERT_TRUE(Connect());
    // A stand-in desktop opener first on the path; it notes what it was given.
    QTemporaryDir bin;
    const QString opened = bin.filePath("opened.log");
    struct PathGuard {
        QByteArray saved = qgetenv("PATH");
        ~PathGuard() { qputenv("PATH", saved); }
    } path;
    const QByteArray oldPath = path.saved;
    auto useOpener = [&](int exitCode) {
        ASSERT_TRUE(WriteShellScript(bin.filePath("xdg-open"), QByteArray("echo \"$1\" >> '") + opened.toUtf8()
                                                                   + "'\nexit " + QByteArray::number(exitCode)));
    };
    auto open = [&](bool expectOpened) {
        QSignalSpy ended(&flow->FileWatcher1(), &ApplicationWatcher::DefaultOpenEnded);
        Select("a.odd");
        flow->MNU_RMT_OPEN_Click();
        ASSERT_TRUE(Idle());
        ASSERT_TRUE(ended.wait(20000));
        EXPECT_EQ(ended.at(0).at(0).toString(), tmp.filePath("a.odd"));
        EXPECT_EQ(ended.at(0).at(1).toBool(), expectOpened);
    };
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + oldPath);

    // An opener that finds no program for the type (its exit is not 0).
    useOpener(3);
    prompts.expectMessage("No program is set up to open this file.", PromptButton::Ok);
    open(false);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(opened), tmp.filePath("a.odd").toUtf8() + "\n");

    // One that opens it: nothing to say.
    useOpener(0);
    open(true);
    EXPECT_EQ(ReadFileBytes(opened).count('\n'), 2);

    // No opener at all.
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    prompts.expectMessage("No program is set up to open this file.", PromptButton::Ok);
    open(false);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(flow->EditTasks().Count(), 0);
}

TEST_F(RemoteEditFlowTest, AnEditorWithUnsentChangesCanKeepTheProgramOpen)
{
    ASSERT_TRUE(server.writeFile("a.txt", "a"));
    ASSERT_TRUE(Connect());
    Select("a.txt");
    flow->MNU_RMT_QEDIT_Click();
    FrmEdit *editor = WaitForEditor();
    ASSERT_NE(editor, nullptr);
    editor->Text1->insertPlainText("b");
    prompts.expectMessage("Close without uploading ?", PromptButton::No);
    EXPECT_FALSE(flow->ConfirmCloseEditors());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(flow->EditTasks().Count(), 1);
}

TEST_F(RemoteEditFlowTest, OpeningAgainAsksBeforeAChangedCopyIsReplacedAndOffersToSendIt)
{
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(ConnectWithHandOff("notes.txt", "server\n", "*.txt", handOff));
    const QString copy = tmp.filePath("notes.txt");
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("notes.txt", handOff, "first change\n"));

    // Kept aside: the copy moves, the file comes again.
    prompts.expectMessage("The copy of 'notes.txt' in the Tmp folder has changes that were not uploaded.\r\n\r\n"
                          "Upload the copy to '127.0.0.1/notes.txt' now?",
                          PromptButton::No);
    EditWithHandOff("notes.txt", handOff);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes (1).txt")), "first change\n");
    EXPECT_EQ(ReadFileBytes(copy), "server\n");

    // Cancel leaves both alone; Yes sends the copy and downloads nothing.
    ASSERT_TRUE(WriteFileBytes(copy, "second change\n"));
    prompts.expectMessage("'notes (2).txt'", PromptButton::Cancel);
    Select("notes.txt");
    flow->MNU_RMT_EDITITEM_Click(handOff);
    EXPECT_FALSE(flow->SlotEditPending(0));
    prompts.expectMessage("Upload the copy to '127.0.0.1/notes.txt' now?", PromptButton::Yes);
    flow->MNU_RMT_EDITITEM_Click(handOff);
    EXPECT_FALSE(flow->SlotEditPending(0));
    ASSERT_TRUE(UploadEnded());
    EXPECT_EQ(server.readFile("notes.txt"), "second change\n");
    EXPECT_EQ(ReadFileBytes(copy), "second change\n");
    ASSERT_TRUE(Idle());

    // Sent: nothing left to ask about.
    ASSERT_TRUE(server.writeFile("notes.txt", "third\n"));
    EditWithHandOff("notes.txt", handOff);
    EXPECT_EQ(ReadFileBytes(copy), "third\n");

    // A download that fails leaves the copy and what is known of it.
    ASSERT_TRUE(WriteFileBytes(copy, "fourth change\n"));
    ASSERT_TRUE(QFile::remove(server.rootPath() + "/notes.txt"));
    prompts.expectMessage("has changes that were not uploaded", PromptButton::No);
    prompts.expectMessage("Request failed to download", PromptButton::Ok);
    Select("notes.txt");
    flow->MNU_RMT_EDITITEM_Click(handOff);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes (2).txt")), "fourth change\n");
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(RemoteEditFlowTest, TheCopyKeptAtCloseIsAskedAboutAfterARestart)
{
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(ConnectWithHandOff("page.html", "<p>\n", "*.html", handOff));
    const QString copy = tmp.filePath("page.html");
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("page.html", handOff, "<p>edited\n"));
    prompts.expectMessage("were changed but not uploaded", PromptButton::Ok);
    CloseAsAtExit();

    // The next run knows nothing of it but what is kept beside the copy.
    NewFlow();
    ASSERT_NO_FATAL_FAILURE(CancelThenSendTheChangedCopy(
        "page.html", handOff,
        "The copy of 'page.html' in the Tmp folder, left by an earlier session, has changes that "
        "were not uploaded.\r\n\r\nUpload the copy to '127.0.0.1/page.html' now?",
        "Upload the copy", "<p>edited\n"));
    EXPECT_TRUE(prompts.allUsed());

    // A copy with no record (an older run, or a record damaged) may hold
    // changes too, but where it came from is not known.
    ASSERT_TRUE(Idle());
    NewFlow();
    QFile::remove(tmp.record("page.html"));
    prompts.expectMessage("may have changes that were not uploaded; where it came from is not known.\r\n\r\n"
                          "Keep the copy as 'page (1).html' before the file is opened?",
                          PromptButton::No);
    EditWithHandOff("page.html", handOff);
    ASSERT_TRUE(prompts.allUsed());
    EXPECT_FALSE(prompts.messageTexts().constLast().contains("Upload"));
    EXPECT_EQ(ReadFileBytes(copy), "<p>edited\n");
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("page (1).html")));
}

TEST_F(RemoteEditFlowTest, ACopyAnEarlierRunKeptIsAskedAboutThoughItsChangeWasDeclined)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    SetOptionFlag(OptionFlag::ConfirmDeletingTempFiles, true);
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(DeclineAChangeToNotes(handOff));
    const QString copy = tmp.filePath("notes.txt");
    ExpectKeptAtClose("notes.txt");
    CloseAsAtExit();
    ASSERT_EQ(ReadFileBytes(copy), "n\nmore\n");

    // The next run opens the same file: the copy it finds is still the user's.
    NewFlow();
    prompts.expectMessage("The copy of 'notes.txt' in the Tmp folder, left by an earlier session, has changes that "
                          "were not uploaded.\r\n\r\nUpload the copy to '127.0.0.1/notes.txt' now?",
                          PromptButton::No);
    EditWithHandOff("notes.txt", handOff);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes (1).txt")), "n\nmore\n");
    EXPECT_EQ(ReadFileBytes(copy), "n\n");
    EXPECT_EQ(server.readFile("notes.txt"), "n\n");

    // Opened again in this run, the fresh copy holds nothing to ask about.
    EditWithHandOff("notes.txt", handOff);
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(RemoteEditFlowTest, ASameNamedFileFromElsewhereIsNeverOfferedTheCopy)
{
    ASSERT_TRUE(server.makeFolder("a"));
    ASSERT_TRUE(server.makeFolder("b"));
    ASSERT_TRUE(server.writeFile("a/notes.txt", "from a\n"));
    ASSERT_TRUE(server.writeFile("b/notes.txt", "from b\n"));
    const int handOff = AddHandOff("*.txt");
    const QString copy = tmp.filePath("notes.txt");
    ASSERT_TRUE(Connect(0, "/a"));
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("notes.txt", handOff, "edit of a\n"));

    slot().ChangeFolder("/b");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !slot().IsBusy() && slot().SlotRemotePath() == "/b"; }, 20000));
    prompts.expectMessage("has changes that were not uploaded. It was opened from another folder or server.",
                          PromptButton::Yes);
    EditWithHandOff("notes.txt", handOff);
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes (1).txt")), "edit of a\n");
    EXPECT_EQ(ReadFileBytes(copy), "from b\n");

    // A record that names this very file on another server does not send it
    // here; neither does a damaged one.
    const QString record = tmp.record("notes.txt");
    QByteArray forged = ReadFileBytes(record);
    ASSERT_TRUE(forged.contains("\"port\":\"" + QByteArray::number(server.port()) + "\""));
    forged.replace("\"port\":\"" + QByteArray::number(server.port()) + "\"", "\"port\":\"1\"");
    ASSERT_TRUE(WriteFileBytes(record, forged));
    ASSERT_TRUE(WriteFileBytes(copy, "edit of b\n"));
    prompts.expectMessage("It was opened from another folder or server.", PromptButton::No);
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("notes.txt", handOff, "again\n"));
    ASSERT_TRUE(WriteFileBytes(record, "{\"profile\":\"Test server\",\"server\""));
    prompts.expectMessage("where it came from is not known", PromptButton::No);
    EditWithHandOff("notes.txt", handOff);
    EXPECT_TRUE(prompts.allUsed());
    for (const QString &text : prompts.messageTexts())
        EXPECT_FALSE(text.contains("Upload")) << text.toStdString();
    EXPECT_EQ(ReadFileBytes(copy), "from b\n");
    EXPECT_EQ(server.readFile("a/notes.txt"), "from a\n");
    EXPECT_EQ(server.readFile("b/notes.txt"), "from b\n");
}

TEST_F(RemoteEditFlowTest, ADownloadCutOffByALostServerLeavesTheCopyAndItsRecord)
{
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(ConnectWithHandOff("notes.txt", "server\n", "*.txt", handOff));
    const QString copy = tmp.filePath("notes.txt");
    EditWithHandOff("notes.txt", handOff);
    const QString record = tmp.record("notes.txt");
    QByteArray other = ReadFileBytes(record);
    other.replace("\"port\":\"" + QByteArray::number(server.port()) + "\"", "\"port\":\"1\"");
    ASSERT_TRUE(WriteFileBytes(record, other));
    ASSERT_TRUE(WriteFileBytes(copy, "from another server\n"));

    // Replace, and the server goes before the file comes.
    prompts.onNext([&] { server.stop(); });
    prompts.expectMessage("It was opened from another folder or server.", PromptButton::No);
    Select("notes.txt");
    flow->MNU_RMT_EDITITEM_Click(handOff);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !flow->SlotEditPending(0); }, 20000));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(copy), "from another server\n");
    EXPECT_EQ(ReadFileBytes(record), other);
}

TEST_F(RemoteEditFlowTest, AnOpenFileWithAChangedCopyIsOneQuestion)
{
    ASSERT_TRUE(server.writeFile("a.txt", "one\n"));
    ASSERT_TRUE(Connect());
    QPointer<FrmEdit> old = QuickEdit("a.txt");
    ASSERT_NE(old, nullptr);
    // Another program wrote the copy the editor shows.
    ASSERT_TRUE(WriteFileBytes(old->LocalFilePath(), "changed elsewhere\n"));
    prompts.expectMessage("This file is already opened!\r\n\r\nThe copy of 'a.txt' in the Tmp folder has changes",
                          PromptButton::No);
    flow->MNU_RMT_QEDIT_Click();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().size(), 1u);
    EXPECT_TRUE(old.isNull() || !old->isVisible());
    ASSERT_EQ(flow->OpenEditors().size(), 1);
    EXPECT_EQ(flow->OpenEditors().front()->Text1->toPlainText(), "one\n");
    EXPECT_EQ(ReadFileBytes(tmp.filePath("a (1).txt")), "changed elsewhere\n");
}

TEST(RemoteEditFlowPaths, ParentOfARemotePath)
{
    EXPECT_EQ(RemoteEditFlow::GetParentRemotePath("/pub/a.txt"), "/pub");
    EXPECT_EQ(RemoteEditFlow::GetParentRemotePath("/a.txt"), "");
    EXPECT_EQ(RemoteEditFlow::GetParentRemotePath("a.txt"), "a.txt");
}

// Records of copies made where no remote name, and no damage to a record,
// can make the close take an edit for the server's own file.
TEST_F(RemoteEditFlowTest, ACopyOfThisRunWithoutAReadableRecordIsKeptAndNamedAtClose)
{
    SetOptionFlag(OptionFlag::ConfirmDeletingTempFiles, true);
    const QString tabbed = QStringLiteral("tab\there.txt");
    const QStringList edited{"notes.txt", "garbled.txt", "empty.txt", "huge.txt", tabbed};
    // Remote files named like the place records were kept, or are kept now.
    for (const QString &name : QStringList{".origins", "TmpCopies"} + edited)
        ASSERT_TRUE(server.writeFile(name, "server\n"));
    const int handOff = AddHandOff("*");
    ASSERT_TRUE(Connect());
    EditWithHandOff(".origins", handOff);
    EditWithHandOff("TmpCopies", handOff);
    for (const QString &name : edited) {
        EditWithHandOff(name, handOff);
        ASSERT_TRUE(WriteFileBytes(tmp.filePath(name), "edit of " + name.toUtf8()));
    }
    // Damaged after they were written: nothing tells these copies are the server's.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(tmp.record("garbled.txt")).path()));
    ASSERT_TRUE(WriteFileBytes(tmp.record("garbled.txt"), "{\"profile\":\"Test serv"));
    ASSERT_TRUE(WriteFileBytes(tmp.record("empty.txt"), ""));
    ASSERT_TRUE(WriteFileBytes(tmp.record("huge.txt"), QByteArray(20 * 1024 * 1024, ' ')));

    prompts.expectMessage("Delete the temporary copies", PromptButton::Yes);
    // Those whose records cannot be read under a heading of their own.
    ExpectKeptAtClose("notes.txt\r\n" + tabbed + "\r\n\r\nWhere these copies came from is not known; they may hold "
                      "changes. They are kept in '" + tmp.path() + "':\r\n\r\ngarbled.txt\r\nempty.txt\r\nhuge.txt");
    CloseAsAtExit();
    EXPECT_TRUE(prompts.allUsed());
    for (const QString &name : edited)
        EXPECT_EQ(ReadFileBytes(tmp.filePath(name)), "edit of " + name.toUtf8()) << name.toStdString();
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath(".origins")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("TmpCopies")));
    EXPECT_EQ(server.readFile(tabbed), "server\n");
}

// A link standing in Tmp under a copy's name, or in a record's place, is
// replaced; what it points to is never written, nor its rights changed.
TEST_F(RemoteEditFlowTest, ALinkInTheTmpFolderIsReplacedAndItsTargetLeftAlone)
{
    SetOptionFlag(OptionFlag::ConfirmDeletingTempFiles, true);
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir(elsewhere.path()).mkpath("records"));
    // The owner's bits: the user's bits say what this process may do, which as root is everything.
    const QFile::Permissions readOnly = QFile::ReadOwner;
    const QFile::Permissions readWrite = readOnly | QFile::WriteOwner;
    auto target = [&](const QString &name, QFile::Permissions rights) {
        const QString path = elsewhere.filePath(name);
        EXPECT_TRUE(WriteFileBytes(path, "not the program's " + name.toUtf8()));
        EXPECT_TRUE(QFile::setPermissions(path, rights));
        return path;
    };
    auto untouched = [&](const QString &name, QFile::Permissions rights) {
        const QString path = elsewhere.filePath(name);
        EXPECT_EQ(ReadFileBytes(path), "not the program's " + name.toUtf8()) << path.toStdString();
        EXPECT_EQ(QFile::permissions(path) & readWrite, rights) << path.toStdString();
    };
    auto isCopy = [](const QString &path) { return QFileInfo(path).isFile() && !QFileInfo(path).isSymLink(); };
    for (const char *name : {"viewed.txt", "edited.txt", "closed.txt"})
        ASSERT_TRUE(server.writeFile(name, QByteArray("server's ") + name));
    const int viewer = AddHandler("*.txt", Script("look", "cat \"$1\" > /dev/null"), 1, "Looker");
    ASSERT_TRUE(Connect());

    // A download, its read-only marking and its record.
    const QString viewedTarget = target("viewed.txt", readWrite);
    const QString recordTarget = target("record.txt", readWrite);
    target("records/viewed.txt", readWrite);
    ASSERT_TRUE(QFile::link(viewedTarget, tmp.filePath("viewed.txt")));
    ASSERT_TRUE(QDir(tmp.root.path()).mkpath("TmpCopies"));
    ASSERT_TRUE(QFile::link(recordTarget, tmp.record("viewed.txt")));
    ASSERT_TRUE(QFile::link(elsewhere.filePath("records"), tmp.filePath(".origins")));
    ASSERT_NO_FATAL_FAILURE(ViewWith("viewed.txt", viewer));
    untouched("viewed.txt", readWrite);
    untouched("record.txt", readWrite);
    untouched("records/viewed.txt", readWrite);
    EXPECT_TRUE(isCopy(tmp.filePath("viewed.txt")));
    EXPECT_EQ(ReadFileBytes(tmp.filePath("viewed.txt")), "server's viewed.txt");

    // The quick editor's save into a copy that became a link.
    FrmEdit *editor = QuickEdit("edited.txt");
    ASSERT_NE(editor, nullptr);
    const QString editedTarget = target("edited.txt", readWrite);
    ASSERT_TRUE(QFile::remove(tmp.filePath("edited.txt")));
    ASSERT_TRUE(QFile::link(editedTarget, tmp.filePath("edited.txt")));
    editor->Text1->moveCursor(QTextCursor::End);
    editor->Text1->insertPlainText("!");
    editor->OKButton->click();
    ASSERT_TRUE(UploadEnded());
    untouched("edited.txt", readWrite);
    EXPECT_TRUE(isCopy(tmp.filePath("edited.txt")));
    EXPECT_EQ(server.readFile("edited.txt"), "server's edited.txt!");

    // The close: a link in a copy's place goes, its read-only target stays so.
    ASSERT_NO_FATAL_FAILURE(ViewWith("closed.txt", viewer));
    const QString closedTarget = target("closed.txt", readOnly);
    ASSERT_TRUE(QFile::remove(tmp.filePath("closed.txt")));
    ASSERT_TRUE(QFile::link(closedTarget, tmp.filePath("closed.txt")));
    prompts.expectMessage("Delete the temporary copies", PromptButton::Yes);
    CloseAsAtExit();
    EXPECT_TRUE(prompts.allUsed());
    untouched("closed.txt", readOnly);
    EXPECT_FALSE(QFileInfo(tmp.filePath("closed.txt")).isSymLink());
}

// A change the user declined to send is still the user's for the rest of
// the run: the next opening asks before the copy is replaced.
TEST_F(RemoteEditFlowTest, ADeclinedChangeIsAskedAboutWhenTheFileIsOpenedAgainInTheSameRun)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(DeclineAChangeToNotes(handOff));
    const QString copy = tmp.filePath("notes.txt");
    ASSERT_EQ(ReadFileBytes(copy), "n\nmore\n");

    // Asked, then asked again and sent on a Yes; then nothing is left to ask about.
    ASSERT_NO_FATAL_FAILURE(CancelThenSendTheChangedCopy(
        "notes.txt", handOff,
        "The copy of 'notes.txt' in the Tmp folder has changes that were not uploaded.\r\n\r\n"
        "Upload the copy to '127.0.0.1/notes.txt' now?",
        "has changes that were not uploaded", "n\nmore\n"));
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(server.writeFile("notes.txt", "newer\n"));
    EditWithHandOff("notes.txt", handOff);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(copy), "newer\n");
}

// What the user kept aside is named at the close with the other kept copies.
TEST_F(RemoteEditFlowTest, CopiesKeptAsideAreNamedAtCloseAndKept)
{
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(ConnectWithHandOff("notes.txt", "server\n", "*.txt", handOff));
    const QString copy = tmp.filePath("notes.txt");
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("notes.txt", handOff, "first\n"));
    prompts.expectMessage("No keeps it as 'notes (1).txt'", PromptButton::No);
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("notes.txt", handOff, "second\n"));
    prompts.expectMessage("No keeps it as 'notes (2).txt'", PromptButton::No);
    EditWithHandOff("notes.txt", handOff);

    // The fresh copy matches the server and goes; the two kept aside stay.
    ExpectKeptAtClose("notes (1).txt\r\nnotes (2).txt");
    CloseAsAtExit();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes (1).txt")), "first\n");
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes (2).txt")), "second\n");
}

// An upload of an edited copy that the server refuses is told with the
// server's reply; the quick editor stays open and the copy counts as changed.
TEST_F(RemoteEditFlowTest, AnUploadTheServerRefusesIsToldAndTheEditIsKept)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    server.stop();
    server.setFolderRights("locked", "elr");
    ASSERT_TRUE(server.makeFolder("locked"));
    ASSERT_TRUE(server.writeFile("locked/notes.txt", "server\n"));
    ASSERT_TRUE(server.writeFile("locked/page.html", "<p>\n"));
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const int appender = AddAppender("*.html", "'<b>'");
    ASSERT_TRUE(Connect(0, "/locked"));

    QPointer<FrmEdit> editor = QuickEdit("notes.txt");
    ASSERT_NE(editor, nullptr);
    editor->Text1->insertPlainText("mine ");
    prompts.expectMessage("The modified file could not be uploaded.\r\n\r\n127.0.0.1/locked/notes.txt: 550 ",
                          PromptButton::Ok);
    editor->OKButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.allUsed(); }, 20000));
    ASSERT_TRUE(Idle());
    ASSERT_NO_FATAL_FAILURE(ExpectEditorKeptItsChange(editor, "mine server\n"));
    EXPECT_EQ(server.readFile("locked/notes.txt"), "server\n");
    // Still the user's change: closing asks.
    prompts.expectMessage("Close without uploading ?", PromptButton::No);
    EXPECT_FALSE(flow->ConfirmCloseEditors());

    // A program's change the server refuses: said so, and the copy is kept at the close.
    Select("page.html");
    prompts.expectMessage("You have made changes to '127.0.0.1/locked/page.html'.", PromptButton::Yes);
    prompts.expectMessage("127.0.0.1/locked/page.html: 550 ", PromptButton::Ok);
    ASSERT_NO_FATAL_FAILURE(EditWithUntilAsked(appender));
    EXPECT_TRUE(prompts.messageTexts().constLast().contains("The changed copy is kept in the Tmp folder."));
    EXPECT_EQ(server.readFile("locked/page.html"), "<p>\n");
    ASSERT_TRUE(Idle());
    ExpectKeptAtClose("notes.txt\r\npage.html");
    CloseAsAtExit();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(tmp.filePath("page.html")), "<p>\n<b>\n");
}

// Two folders hold a file of one name, so both open into one copy. While the
// copy of the first is being sent back, opening the second does not download
// over it: each server file ends as its own, whatever the user answers.
TEST_F(RemoteEditFlowTest, ACopyBeingSentIsNotReplacedByASameNamedFileOpenedFromTheOtherPane)
{
    ASSERT_TRUE(server.makeFolder("a"));
    ASSERT_TRUE(server.makeFolder("b"));
    ASSERT_TRUE(server.writeFile("a/same.txt", "first\n"));
    ASSERT_TRUE(server.writeFile("b/same.txt", "second\n"));
    ASSERT_TRUE(Connect(0, "/a"));
    ASSERT_TRUE(Connect(1, "/b"));

    QPointer<FrmEdit> editor = QuickEdit("same.txt", 0);
    ASSERT_NE(editor, nullptr);
    editor->Text1->insertPlainText("mine ");
    editor->OKButton->click();
    ASSERT_TRUE(flow->EditUploadRunning(0));

    // Told, or asked and told to replace the copy: the send goes on with the saved edit.
    prompts.expectMessage("The copy of 'same.txt' in the Tmp folder", PromptButton::No);
    Select("same.txt", 1);
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(prompts.messageTexts().value(0).contains("is being uploaded")) << prompts.messageTexts().value(0).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !flow->EditUploadRunning(0) && !flow->SlotEditPending(1); }, 20000));
    ASSERT_TRUE(Idle(0));
    ASSERT_TRUE(Idle(1));
    EXPECT_EQ(server.readFile("a/same.txt"), "mine first\n");
    EXPECT_EQ(server.readFile("b/same.txt"), "second\n");
    EXPECT_EQ(ReadFileBytes(tmp.filePath("same.txt")), "mine first\n");
    EXPECT_TRUE(editor.isNull() || !editor->isVisible());

    // Once it has gone, the copy matches its server file and the other file opens in its place.
    flow->MNU_RMT_QEDIT_Click();
    QPointer<FrmEdit> second = WaitForEditor();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(Idle(1));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(second->Text1->toPlainText(), "second\n");
    second->CloseByProgram();
}

// The session drops while the user is asked whether to send an edit: the
// answer Upload queues the edit as a job and says so, and the copy stays the
// user's work until that job has sent it.
TEST_F(RemoteEditFlowTest, AnUploadAnsweredAfterTheSessionDroppedIsQueuedAndTold)
{
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, true);
    ASSERT_TRUE(server.writeFile("notes.txt", "server\n"));
    ASSERT_TRUE(server.writeFile("page.html", "<p>\n"));
    const int handOff = AddHandOff("*.txt");
    const int appender = AddAppender("*.html", "'<b>'");
    const auto dropSession = [&] {
        server.stop();
        // A real question runs events while it is open.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !slot(0).SessionActive() && !slot(0).IsBusy(); }, 20000));
    };
    ASSERT_TRUE(Connect());
    const QString copy = tmp.filePath("notes.txt");
    ASSERT_NO_FATAL_FAILURE(EditWithHandOffAndSave("notes.txt", handOff, "mine\n"));

    // Opening the file again offers to send its changed copy.
    prompts.onNext(dropSession);
    prompts.expectMessage("Upload the copy to '127.0.0.1/notes.txt' now?", PromptButton::Yes);
    prompts.expectMessage("The edited file has been added to upload jobs.", PromptButton::Ok);
    Select("notes.txt");
    flow->MNU_RMT_EDITITEM_Click(handOff);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_FALSE(flow->SlotEditPending(0));
    EXPECT_FALSE(flow->EditUploadRunning(0));
    ASSERT_EQ(queue.jobs.Count(), 1);
    const FtpTaskCollection::Job job = *queue.jobs.begin();
    EXPECT_EQ(ReadFileBytes(job->GetLocalFilePath()), "mine\n");
    EXPECT_EQ(job->GetRemoteFilePath(), "/notes.txt");
    EXPECT_EQ(job->Size(), 5);
    EXPECT_EQ(ReadFileBytes(copy), "mine\n");
    EXPECT_EQ(server.readFile("notes.txt"), "server\n");

    // A program's change asked about while the session goes.
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(Connect());
    Select("page.html");
    prompts.onNext(dropSession);
    prompts.expectMessage("You have made changes to '127.0.0.1/page.html'.", PromptButton::Yes);
    prompts.expectMessage("The edited file has been added to upload jobs.", PromptButton::Ok);
    ASSERT_NO_FATAL_FAILURE(EditWithUntilAsked(appender));
    EXPECT_EQ(queue.jobs.Count(), 2);
    EXPECT_EQ(server.readFile("page.html"), "<p>\n");

    // Neither job has run: both copies are named and kept at the close.
    ExpectKeptAtClose("notes.txt\r\npage.html", true);
    flow->DeleteTempFiles();
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(copy), "mine\n");
    EXPECT_EQ(ReadFileBytes(tmp.filePath("page.html")), "<p>\n<b>\n");
}

// The server goes after Upload was pressed but before the engine has seen
// it: the send fails as lost, and the quick editor keeps its changes.
TEST_F(RemoteEditFlowTest, AQuickEditSentAsTheServerGoesStaysOpenWithItsChanges)
{
    ASSERT_TRUE(server.writeFile("notes.txt", "one\n"));
    ASSERT_TRUE(Connect());
    QPointer<FrmEdit> editor = QuickEdit("notes.txt");
    ASSERT_NE(editor, nullptr);
    editor->Text1->insertPlainText("x");
    server.stop();
    prompts.expectMessage("The modified file could not be uploaded.\r\n\r\n127.0.0.1/notes.txt: The connection "
                          "to the server was lost.",
                          PromptButton::Ok);
    editor->OKButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.allUsed() && !flow->EditUploadRunning(0); }, 20000));
    ASSERT_NO_FATAL_FAILURE(ExpectEditorKeptItsChange(editor, "xone\n"));
    EXPECT_EQ(queue.jobs.Count(), 0);

    // Pressed again with the session gone, it waits in an upload job.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !slot(0).SessionActive() && !slot(0).IsBusy(); }, 20000));
    prompts.expectMessage("The edited file has been added to upload jobs.", PromptButton::Ok);
    editor->OKButton->click();
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(queue.jobs.Count(), 1);
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes.txt")), "xone\n");
    EXPECT_EQ(flow->EditTasks().Count(), 0);
}

// The records' folder or Tmp itself a link to another folder: the program
// makes a folder of its own in its place; nothing in the other folder is
// written, re-moded or deleted, by the opening or by the close.
TEST_F(RemoteEditFlowTest, ALinkAtTheRecordsFolderOrAtTmpIsReplacedByARealFolder)
{
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(ConnectWithHandOff("q1.txt", "server's q1\n", "*.txt", handOff));
    for (const QString &linked : {QStringLiteral("TmpCopies"), QStringLiteral("Tmp")}) {
        SCOPED_TRACE(linked.toStdString());
        QTemporaryDir victim;
        const QString victimFile = victim.filePath("q1.txt");
        ASSERT_TRUE(WriteFileBytes(victimFile, "the user's own q1"));
        ASSERT_TRUE(QFile::setPermissions(victimFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString at = tmp.root.filePath(linked);
        ASSERT_TRUE(QDir(at).removeRecursively());
        ASSERT_TRUE(QFile::link(victim.path(), at));
        EditWithHandOff("q1.txt", handOff);
        EXPECT_EQ(ReadFileBytes(tmp.filePath("q1.txt")), "server's q1\n");
        CloseAsAtExit();
        EXPECT_TRUE(prompts.allUsed());
        EXPECT_EQ(ReadFileBytes(victimFile), "the user's own q1");
        EXPECT_EQ(QFile::permissions(victimFile) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_TRUE(QFileInfo(at).isDir() && !QFileInfo(at).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(tmp.filePath("q1.txt")));
        NewFlow();
    }
}

// Records an earlier version kept in Tmp/.origins are taken over once, with
// the checks of any record, and the name is a copy's again.
TEST_F(RemoteEditFlowTest, RecordsAnEarlierVersionKeptInTmpAreTakenOverAndTheirFolderGoes)
{
    ASSERT_TRUE(server.writeFile("notes.txt", "server\n"));
    ASSERT_TRUE(server.writeFile("bad.txt", "server\n"));
    int handOff = 0;
    ASSERT_NO_FATAL_FAILURE(ConnectWithHandOff(".origins", "a file of that name\n", "*", handOff));
    // notes.txt: a copy whose declined change the earlier version recorded as matching.
    ASSERT_TRUE(WriteFileBytes(tmp.filePath("notes.txt"), "declined edit\n"));
    ASSERT_TRUE(WriteFileBytes(tmp.filePath("bad.txt"), "an edit\n"));
    const QFileInfo notes(tmp.filePath("notes.txt"));
    const QString old = tmp.filePath(".origins");
    ASSERT_TRUE(QDir().mkpath(old));
    ASSERT_TRUE(WriteFileBytes(old + "/notes.txt",
                               QStringLiteral("{\"profile\":\"Test server\",\"server\":\"127.0.0.1\",\"port\":\"%1\","
                                              "\"user\":\"user\",\"remotePath\":\"/notes.txt\",\"size\":\"%2\","
                                              "\"modified\":\"%3\"}")
                                   .arg(server.port())
                                   .arg(notes.size())
                                   .arg(notes.lastModified().toMSecsSinceEpoch())
                                   .toUtf8()));
    ASSERT_TRUE(WriteFileBytes(old + "/bad.txt", "{\"profile\":\"Test server\",\"port\":\"99999\"}"));

    EditWithHandOff(".origins", handOff);
    EXPECT_EQ(ReadFileBytes(old), "a file of that name\n");
    EXPECT_FALSE(QFileInfo::exists(tmp.record("bad.txt")));

    prompts.expectMessage("The copy of 'notes.txt' in the Tmp folder was left by an earlier session and may hold "
                          "changes that were not uploaded.\r\n\r\nUpload the copy to '127.0.0.1/notes.txt' now?",
                          PromptButton::Cancel);
    prompts.expectMessage("A copy of 'bad.txt' in the Tmp folder, left by an earlier session, may have changes",
                          PromptButton::Cancel);
    Select("notes.txt");
    flow->MNU_RMT_EDITITEM_Click(handOff);
    Select("bad.txt");
    flow->MNU_RMT_EDITITEM_Click(handOff);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(ReadFileBytes(tmp.filePath("notes.txt")), "declined edit\n");
}

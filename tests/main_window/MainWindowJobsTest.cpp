#include "frmZAVUde.h"

#include "BatchTestSupport.h"
#include "DataRoot.h"
#include "BatchRunner.h"
#include "CuttingProxy.h"
#include "JobCommands.h"
#include "frmOverwrite.h"
#include "frmTask.h"
#include "FileHandlerCollection.h"
#include "FrmEdit.h"
#include "FtpCommander.h"
#include "FileListView.h"
#include "JobFile.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "LocalPane.h"
#include "MainWindowEditJobs.h"
#include "ModFileExtension.h"
#include "OptionFlags.h"
#include "RemoteEditFlow.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "SettingsFile.h"
#include "TestFiles.h"
#include "WhenModal.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QApplication>
#include <QTimer>
#include <QLabel>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace {

std::shared_ptr<FtpTask> PendingJob(const QString &name)
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(name);
    job->setRemoteFileTitle(name);
    job->setLocalPath(QStringLiteral("/home/u"));
    job->setRemotePath(QStringLiteral("/r"));
    job->setServerAddress(QStringLiteral("h"));
    return job;
}

// A download of `name` from the server's root into `folder`, as the user "user".
std::shared_ptr<FtpTask> DownloadJob(const PyFtpServer &server, const QString &folder, const QString &name)
{
    auto job = std::make_shared<FtpTask>();
    job->setLocalFileTitle(name);
    job->setRemoteFileTitle(name);
    job->setLocalPath(folder);
    job->setRemotePath(QStringLiteral("/"));
    job->setServerAddress(server.host());
    job->setServerPort(server.port());
    job->setUser(QString::fromLatin1(PyFtpServer::kUser));
    job->setPassword(QString::fromLatin1(PyFtpServer::kPassword));
    job->setSize(-1);
    return job;
}

QString RunValue()
{
    RootKeyFlags user;
    user.currentUser = true;
    return GetRegString(RunKeyPath(), RunValueName(), user);
}

// Each of `names` on the server and "kept.bin" already in `folder`.
void ServeWithOneKept(PyFtpServer &server, const QTemporaryDir &folder, const QStringList &names)
{
    for (const QString &name : names)
        ASSERT_TRUE(server.writeFile(name, "the server's copy of " + name.toUtf8()));
    ASSERT_TRUE(WriteFileBytes(folder.filePath("kept.bin"), "old"));
}

// A download job of each of `names` into `folder`, queued in the window and ready to run.
void QueueDownloads(frmZAVUde &window, const PyFtpServer &server, const QString &folder, const QStringList &names,
                    std::vector<std::shared_ptr<FtpTask>> &jobs)
{
    for (const QString &name : names) {
        jobs.push_back(DownloadJob(server, folder, name));
        ASSERT_TRUE(window.Jobs()->AddJob(jobs.back()));
        jobs.back()->setLocked(false);
    }
}


} // namespace

TEST(MainWindowJobs, JobsPendingAtCloseComeBackAtTheNextStart)
{
    JobOptions restore;
    ScriptedPrompts prompts; // the options answer every question
    WriteOptions({OptionFlag::AutoSavePendingJobs, OptionFlag::StartOnSystemStartupWithPendingJobs});
    const QString tasks = DataRoot::SystemFolder() + QStringLiteral("/tasks.xqr");
    QFile::remove(tasks);
    {
        frmZAVUde window;
        QStringList items;
        for (QAction *menu : window.menuBar()->actions()) {
            if (menu->menu() && menu->menu()->objectName() == QLatin1String("mnuJob"))
                for (QAction *item : menu->menu()->actions())
                    items << item->text();
        }
        // The job commands come first, the load and save items last.
        ASSERT_GE(items.size(), 3);
        EXPECT_EQ(items.mid(items.size() - 3), (QStringList{"Load Pending Jobs", "Load Saved Jobs...", "Save To Job File..."}));
        EXPECT_EQ(items.first(), QStringLiteral("Add..."));
        EXPECT_TRUE(window.Jobs()->mnuJLoad->isEnabled()) << "jobs are not loaded at start";
        EXPECT_FALSE(window.Jobs()->mnuJSaveCustom->isEnabled()) << "nothing to save";
        FtpTaskCollection jobs;
        jobs.AddFtpTask(PendingJob("a.bin"));
        jobs.AddFtpTask(PendingJob("b.bin"));
        window.Jobs()->AcceptJobs(jobs, false);
        EXPECT_TRUE(window.Jobs()->mnuJSaveCustom->isEnabled());
        EXPECT_TRUE(window.close());
    }
    EXPECT_TRUE(QFileInfo::exists(tasks));
    EXPECT_FALSE(RunValue().isEmpty()) << "pending jobs were saved: start with the session";

    WriteOptions({OptionFlag::AutoSavePendingJobs, OptionFlag::StartOnSystemStartupWithPendingJobs,
                  OptionFlag::LoadSavedJobsOnStartup});
    {
        frmZAVUde window;
        EXPECT_EQ(window.Jobs()->JobQueue.Count(), 2);
        EXPECT_FALSE(window.Jobs()->mnuJLoad->isEnabled());
        EXPECT_FALSE(QFileInfo::exists(tasks)) << "the default file is consumed";
        EXPECT_TRUE(window.Jobs()->lblJobInfo->text().contains(QStringLiteral("Total: 2")));
        // Loaded jobs wait for a start command.
        for (const auto &job : window.Jobs()->JobQueue)
            EXPECT_TRUE(job->Locked());
        window.Jobs()->JobQueue.Clear();
        EXPECT_TRUE(window.close());
    }
    EXPECT_TRUE(RunValue().isEmpty()) << "no job saved: no start with the session";
    EXPECT_TRUE(QFileInfo::exists(tasks)) << "the default file is still written, empty";
    EXPECT_TRUE(ReadFileBytes(tasks).isEmpty());
    QFile::remove(tasks);
}

// What the README promises a new user: with every option off, pending jobs
// are kept only after a Yes to "Save Jobs ?" and come back through "Load Pending Jobs".
TEST(MainWindowJobs, AtFirstStartPendingJobsAreKeptOnAYesAndLoadedByTheMenu)
{
    QFile::remove(SettingsFilePath());
    ASSERT_TRUE(DataRoot::EnsureDataFolders()); // as the program's start does
    const QString tasks = DataRoot::SystemFolder() + QStringLiteral("/tasks.xqr");
    QFile::remove(tasks);
    ScriptedPrompts prompts;
    {
        frmZAVUde window;
        for (OptionFlag flag : {OptionFlag::AutoSavePendingJobs, OptionFlag::AutoSaveFailedJobs,
                                OptionFlag::LoadSavedJobsOnStartup})
            EXPECT_FALSE(IsOptionOn(flag));
        FtpTaskCollection jobs;
        jobs.AddFtpTask(PendingJob("kept.bin"));
        window.Jobs()->AcceptJobs(jobs, false);
        prompts.expectMessage(QStringLiteral("There are pending or failed jobs!"), PromptButton::Yes);
        EXPECT_TRUE(window.close());
        EXPECT_TRUE(prompts.allUsed());
    }
    {
        frmZAVUde window;
        EXPECT_EQ(window.Jobs()->JobQueue.Count(), 0) << "not loaded at start";
        window.Jobs()->mnuJLoad->trigger();
        EXPECT_EQ(window.Jobs()->JobQueue.Count(), 1);
        window.Jobs()->JobQueue.Clear();
        EXPECT_TRUE(window.close());
    }
    QFile::remove(tasks);
}

// A download the close stops is kept when only pending jobs are auto-saved:
// it comes back pending, locked, with its bytes, and "&Resume" goes on from them.
TEST(MainWindowJobs, ADownloadTheCloseStopsComesBackPendingAndResumesFromItsBytes)
{
    JobOptions restore;
    ScriptedPrompts prompts;
    WriteOptions({OptionFlag::AutoSavePendingJobs});
    const QString tasks = DataRoot::SystemFolder() + QStringLiteral("/tasks.xqr");
    QFile::remove(tasks);
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    QByteArray content(48 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 7 + i / 4096) & 0xff);
    ASSERT_TRUE(server.writeFile("big.bin", content));
    QTemporaryDir local;
    const QString localFile = local.filePath("big.bin");

    qint64 bytesAtClose = 0;
    {
        frmZAVUde window;
        window.ShowQor();
        auto job = DownloadJob(server, local.path(), QStringLiteral("big.bin"));
        ASSERT_TRUE(window.Jobs()->AddJob(job));
        job->setLocked(false);
        window.JobControl()->Dispatcher().RunQueuedJobs();
        ASSERT_TRUE(WaitUntil([&] { return job->TransferedBytes() > 0; }));
        FrozenServer frozen(server.processId());
        prompts.expectMessage(QStringLiteral("You are connected to a server"), PromptButton::Yes);
        EXPECT_TRUE(window.close());
        EXPECT_TRUE(prompts.allUsed()) << "pending jobs are saved without a question";
        bytesAtClose = job->TransferedBytes();
        ASSERT_GT(bytesAtClose, 0);
        ASSERT_LT(bytesAtClose, content.size()) << "the download ended before the close";
    }
    qint64 serial = 0;
    const auto saved = JobFile::Parse(ReadFileBytes(tasks), serial);
    ASSERT_EQ(saved.jobs.size(), 1u) << "the stopped job was not saved";
    EXPECT_EQ(saved.jobs.front()->Status(), 0);
    EXPECT_EQ(saved.jobs.front()->FailureReason(), 0);
    EXPECT_EQ(saved.jobs.front()->TransferedBytes(), bytesAtClose);

    {
        frmZAVUde window;
        window.Jobs()->mnuJLoad->trigger();
        ASSERT_EQ(window.Jobs()->JobQueue.Count(), 1);
        const auto job = *window.Jobs()->JobQueue.begin();
        EXPECT_TRUE(job->Locked());
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Ideal"));
        // A byte the resumed download must not fetch again.
        {
            QFile partial(localFile);
            ASSERT_TRUE(partial.open(QIODevice::ReadWrite));
            ASSERT_GT(partial.size(), 0);
            ASSERT_TRUE(partial.write("\x01", 1) == 1);
        }
        QTreeView *list = window.Jobs()->LVJob;
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        window.JobControl()->EnableJobMenu();
        ASSERT_TRUE(window.JobControl()->mnuJResume->isEnabled());
        window.JobControl()->mnuJResume->trigger();
        ASSERT_TRUE(WaitUntil([&] { return job->Status() == 2 || job->Status() == 3; }, 60000));
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
        const QByteArray arrived = ReadFileBytes(localFile);
        ASSERT_EQ(arrived.size(), content.size());
        EXPECT_EQ(arrived[0], '\x01') << "the resumed download began again at byte 0";
        EXPECT_TRUE(arrived.mid(1) == content.mid(1));
        ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
        EXPECT_TRUE(window.close());
    }
    EXPECT_FALSE(QFileInfo::exists(DataRoot::SystemFolder() + QStringLiteral("/tasks.loaded.xqr")))
        << "the close's save ends the side copy";
    QFile::remove(tasks);
}

// Counts the overwrite questions shown and the most that were up at once.
class OverwriteWatch : public QObject
{
public:
    OverwriteWatch() { qApp->installEventFilter(this); }
    ~OverwriteWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;
    int mostAtOnce = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<frmOverwrite *>(watched)) {
            ++shown;
            int up = 0;
            for (QWidget *widget : QApplication::topLevelWidgets())
                up += qobject_cast<frmOverwrite *>(widget) && widget->isVisible() ? 1 : 0;
            mostAtOnce = std::max(mostAtOnce, up);
        }
        return false;
    }
};

// Runs `seen` each time a dialog of type T shows, before it takes any event.
template <typename T>
class OnShow : public QObject
{
public:
    explicit OnShow(std::function<void()> seen) : m_seen(std::move(seen)) { qApp->installEventFilter(this); }
    ~OnShow() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<T *>(watched))
            m_seen();
        return false;
    }

private:
    std::function<void()> m_seen;
};

// A job's download question waits while another overwrite question is up
// (the immediate batch's download question) and comes once that one closes.
TEST(MainWindowJobs, AJobsOverwriteQuestionWaitsForTheOneOnScreenAndFollowsIt)
{
    ScriptedPrompts prompts;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("a.bin", "the server's copy"));
    QTemporaryDir local;
    ASSERT_TRUE(WriteFileBytes(local.filePath("a.bin"), "old"));
    frmZAVUde window;
    const bool confirmed = IsOptionOn(OptionFlag::ConfirmOverwrite);
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    // Unanswered, each question overwrites after a few short ticks.
    window.Runner()->Questions().SetCountdown(3, 20);
    auto job = DownloadJob(server, local.path(), QStringLiteral("a.bin"));
    ASSERT_TRUE(window.Jobs()->AddJob(job));
    job->setLocked(false);
    const auto fileIcon = [&] { return window.Jobs()->Rows->PictureKey(job->ZavUdeID(), JobListModel::LocalPath); };
    EXPECT_EQ(fileIcon(), QStringLiteral("w")); // the local file will be overwritten

    OverwriteWatch watch;
    QTimer::singleShot(0, &window, [&] { window.JobControl()->Dispatcher().RunQueuedJobs(); });
    EXPECT_TRUE(window.Runner()->Questions().ConfirmLocalOverwrite(local.filePath("batch.bin")));
    EXPECT_TRUE(WaitUntil([&] { return job->Status() == 2 || job->Status() == 3; }))
        << "the job still waits for a pass";
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
    EXPECT_EQ(watch.shown, 2);
    EXPECT_EQ(watch.mostAtOnce, 1) << "the job's question opened on top of the batch's";
    EXPECT_EQ(ReadFileBytes(local.filePath("a.bin")), "the server's copy");
    EXPECT_EQ(fileIcon(), QStringLiteral("open"));
    SetOptionFlag(OptionFlag::ConfirmOverwrite, confirmed);
    ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
}

// When a job's overwrite question shows, the job summary line already
// counts the jobs whose rows read "Completed", not the counts of the pass
// that started them.
TEST(MainWindowJobs, TheJobSummaryIsCurrentWhenAJobsOverwriteQuestionShows)
{
    ScriptedPrompts prompts;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    QTemporaryDir local;
    QStringList names;
    for (int i = 0; i < JobDispatcher::kConnections; ++i)
        names << QStringLiteral("f%1.bin").arg(i);
    names << QStringLiteral("kept.bin"); // waits for a free connection, then asks
    ASSERT_NO_FATAL_FAILURE(ServeWithOneKept(server, local, names));
    frmZAVUde window;
    const bool confirmed = IsOptionOn(OptionFlag::ConfirmOverwrite);
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    window.Runner()->Questions().SetCountdown(3, 20);
    std::vector<std::shared_ptr<FtpTask>> jobs;
    ASSERT_NO_FATAL_FAILURE(QueueDownloads(window, server, local.path(), names, jobs));

    const JobQueuePane *pane = window.Jobs();
    int questions = 0;
    QString summaryAtQuestion;
    QString rowsAtQuestion; // the counts the jobs' rows show
    OnShow<frmOverwrite> watch([&] {
        ++questions;
        summaryAtQuestion = pane->lblJobInfo->text();
        int completed = 0;
        int active = 0;
        for (const auto &job : jobs) {
            completed += job->Status() == 2 ? 1 : 0;
            active += job->Status() == 1 ? 1 : 0;
        }
        rowsAtQuestion = QStringLiteral("Active: %1    Completed: %2    Failed: 0    Queued: 1").arg(active).arg(completed);
    });
    window.JobControl()->Dispatcher().RunQueuedJobs();
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(jobs.begin(), jobs.end(), [](const auto &job) { return job->Status() >= 2; });
    }));
    EXPECT_EQ(questions, 1);
    EXPECT_FALSE(rowsAtQuestion.contains(QStringLiteral("Completed: 0"))) << "no job had ended yet";
    EXPECT_TRUE(summaryAtQuestion.contains(rowsAtQuestion))
        << summaryAtQuestion.toStdString() << " | rows: " << rowsAtQuestion.toStdString();
    EXPECT_EQ(ReadFileBytes(local.filePath("kept.bin")), "the server's copy of kept.bin");
    SetOptionFlag(OptionFlag::ConfirmOverwrite, confirmed);
    ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
}

// Jobs that end while a job's overwrite question is open are counted at
// once: the pass that asks is held by the question, so its own closing count
// comes only after the answer. The question is asked in the first pass, right
// after the other jobs were given their connections, so they all end while
// it is open.
TEST(MainWindowJobs, TheJobSummaryCountsJobsThatEndWhileAJobsOverwriteQuestionIsOpen)
{
    ScriptedPrompts prompts;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    QTemporaryDir local;
    QStringList names;
    for (int i = 0; i + 1 < JobDispatcher::kConnections; ++i)
        names << QStringLiteral("f%1.bin").arg(i);
    names << QStringLiteral("kept.bin"); // the last free connection: asked about at once
    ASSERT_NO_FATAL_FAILURE(ServeWithOneKept(server, local, names));
    frmZAVUde window;
    const bool confirmed = IsOptionOn(OptionFlag::ConfirmOverwrite);
    SetOptionFlag(OptionFlag::ConfirmOverwrite, true);
    window.Runner()->Questions().SetCountdown(600, 100); // answered by the test, not by the countdown
    std::vector<std::shared_ptr<FtpTask>> jobs;
    ASSERT_NO_FATAL_FAILURE(QueueDownloads(window, server, local.path(), names, jobs));
    const auto othersEnded = [&] {
        return std::all_of(jobs.begin(), jobs.end() - 1, [](const auto &job) { return job->Status() >= 2; });
    };

    const JobQueuePane *pane = window.Jobs();
    bool endedWhileOpen = false;
    bool wasActiveAtQuestion = false;
    QString summaryWhileOpen;
    OnShow<frmOverwrite> watch([&] { wasActiveAtQuestion = !othersEnded(); });
    WhenModal<frmOverwrite>(
        [&](frmOverwrite &question) {
            endedWhileOpen = WaitUntil(othersEnded);
            QTest::qWait(0); // whatever the last end posted has run
            summaryWhileOpen = pane->lblJobInfo->text();
            question.CmdOK->click();
        },
        3000);
    window.JobControl()->Dispatcher().RunQueuedJobs();
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(jobs.begin(), jobs.end(), [](const auto &job) { return job->Status() >= 2; });
    }));
    EXPECT_TRUE(wasActiveAtQuestion);
    EXPECT_TRUE(endedWhileOpen);
    EXPECT_TRUE(summaryWhileOpen.contains(QStringLiteral("Total: 5    Active: 0    Completed: 4    Failed: 0    Queued: 1")))
        << summaryWhileOpen.toStdString();
    EXPECT_EQ(ReadFileBytes(local.filePath("kept.bin")), "the server's copy of kept.bin");
    ASSERT_TRUE(WaitUntil([&] { return pane->lblJobInfo->text().contains(QStringLiteral("Completed: 5")); }))
        << pane->lblJobInfo->text().toStdString();
    SetOptionFlag(OptionFlag::ConfirmOverwrite, confirmed);
    ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
}

// A relative "Local File" typed into the new-job dialog is taken from the
// folder the local pane shows, not from the program's working folder: for a
// download's target folder and for an upload's file.
TEST(MainWindowJobs, TheNewJobDialogTakesARelativeLocalFileFromTheLocalPanesFolder)
{
    ScriptedPrompts prompts;
    QTemporaryDir shown;
    ASSERT_TRUE(QDir(shown.path()).mkpath(QStringLiteral("arrivals")));
    ASSERT_TRUE(WriteFileBytes(shown.filePath("report.txt"), "to send"));
    ASSERT_NE(QDir::cleanPath(QDir::currentPath()), QDir::cleanPath(shown.path()));
    ASSERT_FALSE(QFileInfo::exists(QStringLiteral("arrivals")));
    frmZAVUde window;
    ASSERT_TRUE(window.Local()->LoadLocalFolders(shown.path()));

    for (const bool upload : {false, true}) {
        WhenModal<frmTask>([upload](frmTask &dialog) {
            if (upload)
                dialog.Option1[0]->click();
            dialog.txtSvr->setText(QStringLiteral("127.0.0.1"));
            dialog.txtUser->setText(QStringLiteral("u"));
            dialog.txtPwd->setText(QStringLiteral("p"));
            dialog.txtRmtPath->setEditText(upload ? QStringLiteral("/in/") : QStringLiteral("/pub/data.bin"));
            dialog.txtLocPath->setText(upload ? QStringLiteral("report.txt") : QStringLiteral("arrivals"));
            dialog.CmdOK->click();
            if (dialog.isVisible()) // refused: the dialog stays open
                dialog.reject();
        });
        window.JobControl()->mnuJAdd->trigger();
    }
    ASSERT_EQ(window.Jobs()->JobQueue.Count(), 2) << window.Jobs()->txtJobInfo->toPlainText().toStdString();
    std::map<bool, std::shared_ptr<FtpTask>> byDirection;
    for (const auto &job : window.Jobs()->JobQueue)
        byDirection[job->IsUpload()] = job;
    ASSERT_EQ(byDirection.size(), 2u);
    EXPECT_EQ(byDirection[false]->GetLocalFilePath(), QDir(shown.path()).filePath(QStringLiteral("arrivals/data.bin")));
    EXPECT_EQ(byDirection[true]->GetLocalFilePath(), QDir(shown.path()).filePath(QStringLiteral("report.txt")));
    EXPECT_EQ(byDirection[true]->Size(), 7);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(MainWindowJobs, AHandedOverFileIsListedWithoutFailing)
{
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath("handed.xqr");
    ASSERT_TRUE(WriteFileBytes(path, JobFile::EncodeLine(*PendingJob("h.bin")) + "\r\nnot a job\r\n"));
    frmZAVUde window;
    EXPECT_NO_THROW(window.LoadTasks(path));
    EXPECT_NO_THROW(window.LoadTasks(dir.filePath("missing.xqr")));
    EXPECT_EQ(window.Jobs()->JobQueue.Count(), 1);
    EXPECT_TRUE(QFileInfo::exists(path));
}

// Quick Edit while the session is lost queues the edit as an upload job,
// which sends a snapshot of what the user saved. Whatever happens to the copy
// in Tmp after (kept aside when the file is opened again, a new change to it
// declined, a restart between), Start All sends the saved edit, 100% and
// completed; the copy's state follows the job, one restored from the job
// file too, and the questions say what their answers do.
TEST(MainWindowJobs, AQueuedEditJobSendsWhatWasSavedWhateverHappensToTheCopy)
{
    struct Case {
        QString name;
        bool keepAside;   // opened again, the copy kept as "name (1).txt"
        bool declineNew;  // the new copy changed by a program, its upload declined
        bool restart;     // closed and started again before Start All
        QString namedAtClose;
    };
    const Case cases[] = {
        {"aside.txt", true, false, false, {}},
        {"declined.txt", true, true, false, "declined.txt"},
        {"restarted.txt", true, true, true, "restarted.txt"},
        {"restored.txt", false, false, true, {}},
    };
    JobOptions restore;
    QTemporaryDir scripts;
    const FileHandlerCollection handlers = AppendingHandler(scripts, "a longer change the user declined");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ScriptedPrompts prompts;
        PyFtpServer server;
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(server.writeFile(c.name, "server\n"));
        ASSERT_NO_FATAL_FAILURE(WriteOptions({OptionFlag::AutoSavePendingJobs, OptionFlag::LoadSavedJobsOnStartup,
                                              OptionFlag::PromptUploadExternalEdits},
                                             handlers));
        QFile::remove(DataRoot::SystemFolder() + QStringLiteral("/tasks.xqr"));
        auto window = std::make_unique<frmZAVUde>();
        window->show();
        const QString copy = JoinLocalPath(window->EditFlow()->TmpFolder(), c.name);
        const QString aside = JoinLocalPath(window->EditFlow()->TmpFolder(), QFileInfo(c.name).completeBaseName() + " (1).txt");
        const auto reopen = [&](PromptButton answer) {
            SelectInFirstSlot(*window, c.name);
            window->EditFlow()->MNU_RMT_QEDIT_Click();
            ASSERT_TRUE(prompts.allUsed());
            EXPECT_FALSE(prompts.messageTexts().constLast().startsWith("This file is already opened!"));
            if (answer == PromptButton::No) {
                ASSERT_TRUE(WaitUntil([&] { return !window->EditFlow()->OpenEditors().isEmpty() && !window->EditFlow()->SlotEditPending(0); }));
            }
            for (FrmEdit *editor : window->EditFlow()->OpenEditors())
                editor->CloseByProgram();
        };
        // The close names changed copies, then those whose changes wait in jobs.
        const auto closeWindow = [&](const QString &named, const QString &waiting = {}) {
            window->Slot(0)->DisConnectFromFTP();
            ASSERT_TRUE(WaitUntil([&] { return !window->IsAnySessionActive(); }));
            QStringList told;
            if (!named.isEmpty())
                told << KeptCopiesMessage(named);
            if (!waiting.isEmpty())
                told << WaitingCopiesMessage(waiting);
            if (!told.isEmpty())
                prompts.expectMessage(told.join("\r\n\r\n"), PromptButton::Ok);
            EXPECT_TRUE(window->close());
            EXPECT_TRUE(prompts.allUsed());
            window.reset();
        };

        ASSERT_TRUE(ConnectFirstSlot(*window, server));
        const FtpTaskCollection::Job queued = QueueAnEditWhileDisconnected(*window, prompts, c.name);
        ASSERT_NE(queued, nullptr);
        const QString snapshot = queued->GetLocalFilePath();
        ASSERT_TRUE(ConnectFirstSlot(*window, server));
        if (c.keepAside) {
            prompts.expectMessage("The copy of '" + c.name + "' in the Tmp folder has changes that wait in an upload "
                                  "job.\r\n\r\nPut the copy into its upload job to '127.0.0.1/" + c.name + "'?",
                                  PromptButton::No);
            ASSERT_NO_FATAL_FAILURE(reopen(PromptButton::No));
            EXPECT_EQ(ReadFileBytes(aside), "saved server\n");
        }
        if (c.declineNew) {
            prompts.expectMessage("You have made changes to '127.0.0.1/" + c.name + "'.", PromptButton::No);
            SelectInFirstSlot(*window, c.name);
            window->EditFlow()->MNU_RMT_EDITITEM_Click(1);
            ASSERT_TRUE(WaitUntil([&] { return prompts.allUsed() && !window->EditFlow()->SlotEditPending(0); }));
            ASSERT_TRUE(WaitUntil([&] { return window->EditFlow()->EditTasks().Count() == 0; }));
        }
        if (c.restart) {
            ASSERT_NO_FATAL_FAILURE(closeWindow(c.declineNew ? c.name : QString(),
                                                c.keepAside ? QFileInfo(aside).fileName() : c.name));
            window = std::make_unique<frmZAVUde>();
            window->show();
            ASSERT_EQ(window->Jobs()->JobQueue.Count(), 1);
            ASSERT_TRUE(ConnectFirstSlot(*window, server));
        }
        const auto job = *window->Jobs()->JobQueue.begin();
        if (!c.keepAside) {
            // Opened again, its queued change is put into its job, which is no new job.
            const int added = window->Jobs()->txtJobInfo->toPlainText().count("Jobs were added to job list.");
            prompts.expectMessage("The copy of '" + c.name + "' in the Tmp folder, left by an earlier session, has "
                                  "changes that wait in an upload job.\r\n\r\nPut the copy into its upload job",
                                  PromptButton::Yes);
            prompts.expectMessage("The edited file has been put into its upload job", PromptButton::Ok);
            ASSERT_NO_FATAL_FAILURE(reopen(PromptButton::Yes));
            EXPECT_EQ(window->Jobs()->txtJobInfo->toPlainText().count("Jobs were added to job list."), added);
            EXPECT_EQ(window->Jobs()->JobQueue.Count(), 1);
        }

        window->JobControl()->mnuJStartAll->trigger();
        ASSERT_TRUE(WaitUntil([&] { return job->Status() == 2 || job->Status() == 3; }));
        EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
        EXPECT_EQ(window->Jobs()->Rows->Text(job->ZavUdeID(), JobListModel::Complete).trimmed(), "100.0%");
        EXPECT_EQ(server.readFile(c.name), "saved server\n");
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(snapshot).path()));
        ASSERT_NO_FATAL_FAILURE(closeWindow(c.namedAtClose));
        if (c.declineNew) {
            EXPECT_EQ(ReadFileBytes(copy), "server\na longer change the user declined\n");
        }
        // Sent by its job, the copy kept aside in this run goes at the close.
        EXPECT_EQ(QFileInfo::exists(aside), c.restart && c.keepAside);
        for (const QString &left : {copy, aside}) {
            QFile::remove(left);
            QFile::remove(JoinLocalPath(DataRoot::FileInRoot("TmpCopies"), QFileInfo(left).fileName()));
        }
    }
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, false);
}

// A queued edit's job cut part-way left part of its snapshot on the server.
// Given a change made since, the job holds nothing of it on the server:
// stopped and started again, it sends the change whole, never its tail onto
// the old snapshot's bytes.
TEST(MainWindowJobs, AnEditJobGivenAChangeAfterACutSendsTheChangeWhole)
{
    ScriptedPrompts prompts;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    CuttingProxy proxy;
    ASSERT_TRUE(proxy.listen(server.port()));
    ASSERT_TRUE(server.writeFile("cut.txt", QByteArray("server line\n").repeated(20000)));
    frmZAVUde window;
    window.show();
    const CProfile profile = ServerProfile(proxy.host(), proxy.port(), QString::fromLatin1(PyFtpServer::kUser),
                                           QString::fromLatin1(PyFtpServer::kPassword), QStringLiteral("Cut"));
    ASSERT_TRUE(ConnectFirstSlot(window, profile));
    const FtpTaskCollection::Job job = QueueAnEditWhileDisconnected(window, prompts, QStringLiteral("cut.txt"));
    ASSERT_NE(job, nullptr);
    proxy.setCut(100000, CuttingProxy::Cut::ClientSeesClose);
    window.JobControl()->mnuJStartAll->trigger();
    ASSERT_TRUE(WaitUntil([&] { return job->Status() == 3 && !window.JobControl()->Dispatcher().AnySessionActive(); }));
    ASSERT_EQ(server.readFile("cut.txt").size(), 100000);
    proxy.setCut(-1, CuttingProxy::Cut::ClientSeesClose);

    // Changed in Tmp with another program, then put into its job on opening the file again.
    const QByteArray change = QByteArray("changed line\n").repeated(20000);
    ASSERT_TRUE(WriteFileBytes(JoinLocalPath(window.EditFlow()->TmpFolder(), QStringLiteral("cut.txt")), change));
    ASSERT_TRUE(ConnectFirstSlot(window, profile));
    prompts.expectMessage(QStringLiteral("has changes that were not uploaded.\r\n\r\nPut the copy into its upload job"),
                          PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("The edited file has been put into its upload job"), PromptButton::Ok);
    SelectInFirstSlot(window, QStringLiteral("cut.txt"));
    window.EditFlow()->MNU_RMT_QEDIT_Click();
    ASSERT_TRUE(prompts.allUsed());

    QTreeView *list = window.Jobs()->LVJob;
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.JobControl()->MnuJStop->trigger();
    window.JobControl()->EnableJobMenu();
    const bool resumeOffered = window.JobControl()->mnuJResume->isEnabled();
    EXPECT_FALSE(resumeOffered);
    (resumeOffered ? window.JobControl()->mnuJResume : window.JobControl()->mnuJStart)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return job->Status() == 2 || job->Status() == 3; }));
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
    EXPECT_TRUE(server.readFile("cut.txt") == change);
    window.Slot(0)->DisConnectFromFTP();
    ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
}

// A later change to a file an edit job still has to send goes after that
// job, never up beside it or before it: the copy changed since it was
// queued, answered Yes on opening the file again, and a new download of the
// file edited after the queued copy was kept aside. The server ends with the
// later change, and nothing is named at the close.
TEST(MainWindowJobs, ALaterChangeToAFileAnEditJobStillSendsGoesAfterThatJob)
{
    for (const bool keepAside : {false, true}) {
        SCOPED_TRACE(keepAside ? "kept aside" : "changed in Tmp");
        ScriptedPrompts prompts;
        PyFtpServer server;
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(server.writeFile("running.txt", "server\n"));
        frmZAVUde window;
        window.show();
        ASSERT_TRUE(ConnectFirstSlot(window, server));
        const FtpTaskCollection::Job first = QueueAnEditWhileDisconnected(window, prompts, QStringLiteral("running.txt"));
        ASSERT_NE(first, nullptr);
        ASSERT_TRUE(ConnectFirstSlot(window, server));
        QPointer<FrmEdit> editor;
        if (keepAside) {
            prompts.expectMessage(QStringLiteral("has changes that wait in an upload job."), PromptButton::No);
            editor = QuickEditThenLoseTheSession(window, QStringLiteral("running.txt"));
            ASSERT_NE(editor, nullptr);
            editor->Text1->setPlainText(QStringLiteral("later\n"));
            ASSERT_TRUE(ConnectFirstSlot(window, server));
        } else {
            ASSERT_TRUE(WriteFileBytes(JoinLocalPath(window.EditFlow()->TmpFolder(), QStringLiteral("running.txt")), "later\n"));
            prompts.expectMessage(QStringLiteral("has changes that were not uploaded.\r\n\r\nUpload the copy to "
                                                 "'127.0.0.1/running.txt'?\r\n\r\nYes adds it to the upload jobs, to be "
                                                 "sent after the upload job of that file that has not completed."),
                                  PromptButton::Yes);
        }
        prompts.expectMessage(QStringLiteral("The edited file has been added to upload jobs."), PromptButton::Ok);
        {
            // The job is held running meanwhile.
            FrozenServer frozen(server.processId());
            window.JobControl()->Dispatcher().RunQueuedJobs();
            ASSERT_EQ(first->Status(), 1);
            if (keepAside) {
                editor->OKButton->click();
            } else {
                SelectInFirstSlot(window, QStringLiteral("running.txt"));
                window.EditFlow()->MNU_RMT_QEDIT_Click();
            }
            ASSERT_TRUE(prompts.allUsed());
        }
        ASSERT_TRUE(WaitUntil([&] { return first->Status() == 2 && !window.Slot(0)->IsBusy(); }));
        ASSERT_EQ(window.Jobs()->JobQueue.Count(), 2);
        const auto second = *std::next(window.Jobs()->JobQueue.begin());
        window.JobControl()->Dispatcher().RunQueuedJobs();
        ASSERT_TRUE(WaitUntil([&] { return second->Status() == 2 || second->Status() == 3; }));
        EXPECT_EQ(GetJobStatusText(*second, true), QStringLiteral("Completed"));
        EXPECT_EQ(server.readFile("running.txt"), "later\n");
        window.Slot(0)->DisConnectFromFTP();
        ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
        EXPECT_TRUE(window.close());
        EXPECT_TRUE(prompts.allUsed()) << "a copy sent by its job was named at the close";
    }
}

// A queued edit's job may start while the question about reopening its file
// is open (another job ended and freed a connection). The job sends its own
// snapshot, so the answer holds: the copy is kept aside and the file opened,
// and the job ends with what the user saved.
TEST(MainWindowJobs, AnEditJobThatStartsWhileTheReopenQuestionIsOpenSendsTheSavedEdit)
{
    ScriptedPrompts prompts;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.writeFile("racing.txt", "server\n"));
    frmZAVUde window;
    window.show();
    ServerSlot *slot = window.Slot(0);
    RemoteEditFlow *flow = window.EditFlow();
    const QString copy = JoinLocalPath(flow->TmpFolder(), QStringLiteral("racing.txt"));
    // Nothing left by an earlier run of this test.
    for (const QString &name : {QStringLiteral("racing.txt"), QStringLiteral("racing (1).txt")}) {
        QFile::remove(JoinLocalPath(flow->TmpFolder(), name));
        QFile::remove(JoinLocalPath(flow->RecordFolder(), name));
    }

    ASSERT_TRUE(ConnectFirstSlot(window, server));
    QPointer<FrmEdit> editor = QuickEditThenLoseTheSession(window, QStringLiteral("racing.txt"));
    ASSERT_NE(editor, nullptr);
    editor->Text1->insertPlainText(QStringLiteral("mine "));
    prompts.expectMessage(QStringLiteral("The edited file has been added to upload jobs."), PromptButton::Ok);
    editor->OKButton->click();
    ASSERT_EQ(window.Jobs()->JobQueue.Count(), 1);
    const auto job = *window.Jobs()->JobQueue.begin();
    ASSERT_EQ(job->Status(), 0);

    // The job starts while the user reads the question, and the user keeps the copy aside.
    ASSERT_TRUE(ConnectFirstSlot(window, server));
    bool startedMeanwhile = false;
    prompts
        .onNext([&] {
            window.JobControl()->Dispatcher().RunQueuedJobs();
            startedMeanwhile = job->Status() == 1;
        })
        .expectMessage(QStringLiteral("has changes that wait in an upload job."), PromptButton::No);
    SelectInFirstSlot(window, QStringLiteral("racing.txt"));
    flow->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(startedMeanwhile);
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_TRUE(WaitUntil([&] { return job->Status() == 2 || job->Status() == 3; }));
    ASSERT_TRUE(WaitUntil([&] { return !slot->IsBusy() && !flow->SlotEditPending(0); }));
    EXPECT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
    EXPECT_EQ(server.readFile("racing.txt"), "mine server\n");
    EXPECT_EQ(ReadFileBytes(JoinLocalPath(flow->TmpFolder(), QStringLiteral("racing (1).txt"))), "mine server\n");
    ASSERT_EQ(flow->OpenEditors().size(), 1);
    EXPECT_EQ(flow->OpenEditors().front()->LocalFilePath(), copy);
    flow->OpenEditors().front()->CloseByProgram();
    ASSERT_TRUE(WaitUntil([&] { return !window.JobControl()->Dispatcher().AnySessionActive(); }));
}

// An edit job stopped part-way on a server that has not answered the abort
// yet, then given a new change (the file opened again, Yes to putting the
// copy into its job): the bytes the stopped run left on the server are the
// old change's, so the job holds none of the new one. Whatever the user does
// next, the server ends with the new change whole and the row never shows
// bytes of it that were not sent.
TEST(MainWindowJobs, AnEditJobGivenAChangeWhileItsStopWaitsHoldsNoneOfIt)
{
    enum class Then { LeftAlone, StopWhileConnecting, StopAllWhileConnecting, StartWhileStopping };
    constexpr qint64 kStopAt = 262144;
    for (const Then then :
         {Then::LeftAlone, Then::StopWhileConnecting, Then::StopAllWhileConnecting, Then::StartWhileStopping}) {
        const QString name = QStringLiteral("then%1.txt").arg(int(then));
        SCOPED_TRACE(name.toStdString());
        ScriptedPrompts prompts;
        PyFtpServer server;
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        CuttingProxy proxy;
        ASSERT_TRUE(proxy.listen(server.port()));
        ASSERT_TRUE(server.writeFile(name, QByteArray("server line\n").repeated(40000)));
        std::optional<FrozenServer> frozen;
        frmZAVUde window;
        window.show();
        RemoteEditFlow *flow = window.EditFlow();
        JobCommands &commands = *window.JobControl();
        JobListModel *rows = window.Jobs()->Rows;
        ForgetCopy(window, name);
        const CProfile profile = ServerProfile(proxy.host(), proxy.port(), QString::fromLatin1(PyFtpServer::kUser),
                                               QString::fromLatin1(PyFtpServer::kPassword), QStringLiteral("Held"));
        ASSERT_TRUE(ConnectFirstSlot(window, profile));
        const FtpTaskCollection::Job job = QueueAnEditWhileDisconnected(window, prompts, name);
        ASSERT_NE(job, nullptr);
        const QString key = job->ZavUdeID();
        ASSERT_TRUE(ConnectFirstSlot(window, profile));
        const auto selectJob = [&] {
            window.Jobs()->LVJob->selectionModel()->select(rows->index(rows->RowOf(key), 0),
                                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            commands.EnableJobMenu();
        };

        // The server keeps kStopAt bytes of the upload and stops there, so
        // the Stop's abort waits for its answer.
        proxy.setCut(kStopAt, CuttingProxy::Cut::ClientNotTold);
        FtpCommander *connection = commands.Dispatcher().FtpJobs(0);
        QMetaObject::Connection stopServer =
            QObject::connect(connection, &FtpCommander::DataProgress, &window, [&](qint64 bytes) {
                if (bytes >= kStopAt && !frozen)
                    frozen.emplace(server.processId());
            });
        commands.mnuJStartAll->trigger();
        ASSERT_TRUE(WaitUntil([&] { return frozen.has_value() && connection->isBusy(); }));
        QObject::disconnect(stopServer);
        proxy.setCut(-1, CuttingProxy::Cut::ClientNotTold);
        selectJob();
        commands.MnuJStop->trigger();
        ASSERT_EQ(commands.Dispatcher().RunningIndex(key), 0) << "the stop waits for the server";

        const QByteArray change = QByteArray("changed line\n").repeated(36000);
        ASSERT_TRUE(WriteFileBytes(JoinLocalPath(flow->TmpFolder(), name), change));
        prompts.expectMessage(QStringLiteral("has changes that were not uploaded.\r\n\r\nPut the copy into its upload job"),
                              PromptButton::Yes);
        prompts.expectMessage(QStringLiteral("The edited file has been put into its upload job"), PromptButton::Ok);
        SelectInFirstSlot(window, name);
        flow->MNU_RMT_QEDIT_Click();
        ASSERT_TRUE(prompts.allUsed());

        // What the row shows from now on: (status, % complete).
        const auto cell = [&](int column) { return rows->Text(key, column).trimmed(); };
        QList<std::pair<QString, QString>> shown;
        QObject::connect(rows, &QAbstractItemModel::dataChanged, &window,
                         [&] { shown.append({cell(JobListModel::Status), cell(JobListModel::Complete)}); });
        if (then == Then::StartWhileStopping) {
            selectJob();
            commands.mnuJStart->trigger();
        }
        if (then == Then::StopWhileConnecting || then == Then::StopAllWhileConnecting) {
            // The job runs again once the stop ended; the server stops while it logs in.
            const QMetaObject::Connection stopAtLogin =
                QObject::connect(rows, &QAbstractItemModel::dataChanged, &window, [&] {
                    if (!frozen && cell(JobListModel::Status) == QStringLiteral("Connecting"))
                        frozen.emplace(server.processId());
                });
            frozen.reset();
            ASSERT_TRUE(WaitUntil([&] { return frozen.has_value(); }));
            QObject::disconnect(stopAtLogin);
            if (then == Then::StopWhileConnecting) {
                selectJob();
                commands.MnuJStop->trigger();
            } else {
                commands.MnuJStopAll->trigger();
            }
            ASSERT_EQ(job->Status(), 3);
            selectJob();
            const bool resumeOffered = commands.mnuJResume->isEnabled();
            EXPECT_FALSE(resumeOffered);
            (resumeOffered ? commands.mnuJResume : commands.mnuJStart)->trigger();
        }
        frozen.reset();
        ASSERT_TRUE(WaitUntil([&] { return job->Status() == 2 || (job->Status() == 3 && !job->WaitsForConnection()); }));
        EXPECT_EQ(GetJobStatusText(*job, true).toStdString(), "Completed");
        EXPECT_EQ(cell(JobListModel::Complete).toStdString(), "100.0%");
        const QByteArray held = server.readFile(name);
        EXPECT_TRUE(held == change) << held.size() << " bytes, starting " << held.left(12).toStdString();
        QStringList unsent;
        for (const auto &[status, percent] : shown) {
            if (status != QStringLiteral("Uploading") && status != QStringLiteral("Completed")
                && percent != QStringLiteral("0.0%"))
                unsent << status + QStringLiteral(" ") + percent;
        }
        EXPECT_TRUE(unsent.isEmpty()) << unsent.join(QStringLiteral(", ")).toStdString();
        ASSERT_TRUE(DisconnectFirstSlot(window));
        ForgetCopy(window, name);
    }
}

// Start All unlocks every job that is not running, completed ones too. A
// completed edit job's snapshot went once it was sent: it stays Completed,
// sent in this run or loaded from a job file that holds it, and the other
// jobs run.
TEST(MainWindowJobs, StartAllLeavesACompletedEditJobCompleted)
{
    for (const bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "loaded from a job file" : "sent in this run");
        ScriptedPrompts prompts;
        PyFtpServer server;
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(server.writeFile("sent.txt", "server\n"));
        ASSERT_TRUE(server.writeFile("other.txt", "other\n"));
        QTemporaryDir folder;
        auto window = ShownWindow();
        ASSERT_TRUE(ConnectFirstSlot(*window, server));
        FtpTaskCollection::Job job = QueueAnEditWhileDisconnected(*window, prompts, QStringLiteral("sent.txt"));
        ASSERT_NE(job, nullptr);
        window->JobControl()->mnuJStartAll->trigger();
        ASSERT_TRUE(WaitUntil([&] { return job->Status() == 2 || job->Status() == 3; }));
        ASSERT_EQ(GetJobStatusText(*job, true), QStringLiteral("Completed"));
        if (loaded) {
            const QString file = folder.filePath("saved.xqr");
            ASSERT_TRUE(window->Jobs()->SaveQueue(file, false, true));
            window = ShownWindow();
            window->LoadTasks(file);
            job = OnlyJob(*window);
            ASSERT_NE(job, nullptr);
        }
        const auto other = DownloadJob(server, folder.path(), QStringLiteral("other.txt"));
        ASSERT_TRUE(window->Jobs()->AddJob(other));
        JobCommands &commands = *window->JobControl();
        commands.EnableJobMenu();
        ASSERT_TRUE(commands.mnuJStartAll->isEnabled());
        commands.mnuJStartAll->trigger();
        ASSERT_TRUE(WaitUntil([&] { return other->Status() == 2 && !commands.Dispatcher().AnySessionActive(); }));
        const QString key = job->ZavUdeID();
        JobListModel *rows = window->Jobs()->Rows;
        EXPECT_EQ(rows->Text(key, JobListModel::Status).trimmed().toStdString(), "Completed");
        EXPECT_EQ(rows->Text(key, JobListModel::Complete).trimmed().toStdString(), "100.0%");
        EXPECT_NE(rows->Colour(key, JobListModel::File), JobQueuePane::Red());
        EXPECT_EQ(server.readFile("sent.txt"), "saved server\n");
        ASSERT_TRUE(DisconnectFirstSlot(*window));
        ForgetCopy(*window, QStringLiteral("sent.txt"));
    }
}

struct JobDropFixture : ::testing::Test
{
    PyFtpServer server;
    std::unique_ptr<frmZAVUde> window;
    QTemporaryDir dir;

    ScriptedPrompts prompts;

    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_TRUE(server.writeFile("remote.txt", "r"));
        window = std::make_unique<frmZAVUde>();
        window->show();
    }
};

TEST_F(JobDropFixture, RemoteRowsDroppedOnTheJobListBecomeDownloadJobs)
{
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    window->Slots()->UseProfile(0, ServerProfile(server), true);
    ASSERT_TRUE(WaitUntil([&] {
        ServerSlot *s = window->Slot(0);
        return s->SessionActive() && !s->IsBusy() && window->Remote(0)->Model->size() > 0;
    }));
    RemotePane *pane = window->Remote(0);
    pane->RightView->selectionModel()->select(pane->Model->index(0, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    JobQueuePane *jobs = window->Jobs();

    std::unique_ptr<QMimeData> remote(pane->RightView->makeDragData());
    EXPECT_FALSE(jobs->DropRows(remote.get(), nullptr)) << "another program's drag";
    QMimeData foreign;
    foreign.setText("remote0");
    EXPECT_FALSE(jobs->DropRows(&foreign, pane->RightView));

    ASSERT_TRUE(jobs->DropRows(remote.get(), pane->RightView));
    ASSERT_EQ(jobs->JobQueue.Count(), 1);
    const auto job = *jobs->JobQueue.begin();
    EXPECT_EQ(job->RemoteFileTitle(), "remote.txt");
    EXPECT_FALSE(job->IsUpload());
    EXPECT_EQ(job->LocalPath(), dir.path());
    EXPECT_EQ(job->ServerPort(), server.port());
    EXPECT_TRUE(jobs->lblJobInfo->text().contains(QStringLiteral("Total: 1"))) << "the summary follows";
    window->Slot(0)->DisConnectFromFTP();
}

// The local pane's listing and free space are read again whenever a download
// job into the folder it shows ends, whole or not; the user's selection,
// current row and scroll position stay on the same files.
TEST_F(JobDropFixture, TheShownFoldersFreeSpaceIsReadAgainWhenDownloadJobsIntoItEnd)
{
    for (int i = 0; i < 400; ++i)
        ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("local-%1.txt").arg(i, 3, 10, QLatin1Char('0')))).open(QIODevice::WriteOnly));
    qint64 free = 900LL * 1024 * 1024;
    const DriveLister machine = MachineDrives();
    window->Local()->setDriveLister({machine.List,
                                     [&free](const QString &folder) {
                                         LocalDrive volume = VolumeOfFolder(folder);
                                         volume.AvailableSpace = free;
                                         return volume;
                                     },
                                     machine.MountTable});
    ASSERT_TRUE(window->Local()->LoadLocalFolders(dir.path()));
    const auto freeShown = [&](const QString &megabytes) {
        return WaitUntil([&] { return window->Local()->lblLocal->text().endsWith("  | " + megabytes + "MB Free"); });
    };
    ASSERT_TRUE(freeShown("900.0"));
    FileListView *list = window->Local()->LeftView;
    FileListModel *rows = window->Local()->Model;
    const auto rowOf = [&](const QString &name) {
        for (int i = 0; i < rows->size(); ++i)
            if (rows->row(i).Text == name)
                return rows->index(i, 0);
        return QModelIndex();
    };
    const auto nameAt = [&](const QModelIndex &index) {
        return index.isValid() ? rows->row(index.row()).Text.toStdString() : std::string();
    };
    list->selectionModel()->setCurrentIndex(rowOf("local-150.txt"),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->selectionModel()->select(rowOf("local-160.txt"), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->scrollTo(rowOf("local-100.txt"), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(nameAt(list->indexAt(QPoint(0, 0))), "local-100.txt");
    struct Case {
        QString name;
        int status;
        QString free;
    };
    const Case cases[] = {{"remote.txt", 2, "800.0"}, {"gone.txt", 3, "700.0"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        free -= 100LL * 1024 * 1024;
        std::vector<std::shared_ptr<FtpTask>> jobs;
        ASSERT_NO_FATAL_FAILURE(QueueDownloads(*window, server, dir.path(), {c.name}, jobs));
        window->JobControl()->Dispatcher().RunQueuedJobs();
        ASSERT_TRUE(WaitUntil([&] { return jobs.back()->Status() == c.status; }));
        EXPECT_TRUE(freeShown(c.free)) << window->Local()->lblLocal->text().toStdString();
        EXPECT_TRUE(rowOf("remote.txt").isValid()) << "the file that arrived is listed";
        std::set<std::string> selected;
        for (const QModelIndex &index : list->selectionModel()->selectedRows())
            selected.insert(nameAt(index));
        EXPECT_EQ(selected, std::set<std::string>({"local-150.txt", "local-160.txt"}));
        EXPECT_EQ(nameAt(list->selectionModel()->currentIndex()), "local-150.txt");
        EXPECT_EQ(nameAt(list->indexAt(QPoint(0, 0))), "local-100.txt");
    }
    ASSERT_TRUE(WaitUntil([&] { return !window->IsAnySessionActive(); }));
}

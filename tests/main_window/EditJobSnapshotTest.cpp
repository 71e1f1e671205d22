// Upload jobs of edited files send the snapshot taken when the edit was
// queued, and nothing else: not a file a link in its path leads to, not a
// snapshot changed since. Driven through the real window, with job lists
// saved at a close and restored in the next run.
#include "MainWindowEditJobs.h"

#include "DataRoot.h"
#include "EditSnapshots.h"
#include "FtpCommander.h"
#include "JobCommands.h"
#include "JobListModel.h"
#include "TestFiles.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

#include <unistd.h>

namespace {

// No pending jobs of an earlier test (neither the file nor the copy a load
// left of it), and no edited copies.
void ForgetPendingJobs()
{
    ForgetEditedCopies();
    QFile::remove(DataRoot::SystemFolder() + QStringLiteral("/tasks.xqr"));
    QFile::remove(DataRoot::SystemFolder() + QStringLiteral("/tasks.loaded.xqr"));
}

QString StatusCell(frmZAVUde &window, const FtpTask &job)
{
    return window.Jobs()->Rows->Text(job.ZavUdeID(), JobListModel::Status);
}

// Another program rewrites the file and gives it a time of its own.
[[nodiscard]] bool Rewrite(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QFile file(path);
    if (!WriteFileBytes(path, bytes) || !file.open(QIODevice::Append))
        return false;
    return file.setFileTime(modified, QFileDevice::FileModificationTime);
}

// A new window, slot 0 on `server`, whose edit of `name` waits in an upload job.
FtpTaskCollection::Job OpenWithAQueuedEdit(std::unique_ptr<frmZAVUde> &window, ScriptedPrompts &prompts,
                                           PyFtpServer &server, const QString &name)
{
    if (!server.writeFile(name, "server\n"))
        return nullptr;
    WriteOptions({OptionFlag::AutoSavePendingJobs});
    ForgetPendingJobs();
    window = std::make_unique<frmZAVUde>();
    window->show();
    if (!ConnectFirstSlot(*window, server))
        return nullptr;
    return QueueAnEditWhileDisconnected(*window, prompts, name);
}

// Outside the data folder, in a sub-folder of the snapshot's sub-folder's
// name: a file of the snapshot's name, size and time.
QString OutsideTwinOf(const QTemporaryDir &outside, const QString &snapshot)
{
    const QFileInfo saved(snapshot);
    const QString subFolder = saved.dir().dirName();
    const QString twin = outside.filePath(subFolder + "/" + saved.fileName());
    return QDir(outside.path()).mkpath(subFolder) && Rewrite(twin, "outside bytes", saved.lastModified()) ? twin
                                                                                                         : QString();
}

// Quick Edit of `name` in slot 0 on a window whose last run queued an edit
// of it: the copy's edit is asked about, and Yes puts it into its job.
void ReopenAndPutIntoItsJob(frmZAVUde &window, ScriptedPrompts &prompts, const PyFtpServer &server, const QString &name)
{
    ASSERT_TRUE(ConnectFirstSlot(window, server));
    prompts.expectMessage(QStringLiteral("has changes that wait in an upload job.\r\n\r\nPut the copy into its upload "
                                         "job to '127.0.0.1/")
                              + name,
                          PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("The edited file has been put into its upload job"), PromptButton::Ok);
    SelectInFirstSlot(window, name);
    window.EditFlow()->MNU_RMT_QEDIT_Click();
    EXPECT_TRUE(prompts.allUsed()) << "the copy's edit was replaced without a question";
    window.Slot(0)->DisConnectFromFTP();
    ASSERT_TRUE(WaitUntil([&] { return !window.IsAnySessionActive(); }));
}

// Start All, until the job ended one way or the other.
void StartAll(frmZAVUde &window, const FtpTask &job)
{
    window.JobControl()->mnuJStartAll->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        return (job.Status() == 2 || job.Status() == 3) && !window.JobControl()->Dispatcher().AnySessionActive();
    }));
}

// The close of a run that left the copy of `name` with its edit in Tmp.
void CloseNamingTheCopy(std::unique_ptr<frmZAVUde> &window, ScriptedPrompts &prompts, const QString &name)
{
    prompts.expectMessage(QStringLiteral("were changed but not uploaded. Their copies are kept in '%1':\r\n\r\n%2")
                              .arg(QDir::toNativeSeparators(window->EditFlow()->TmpFolder()), name),
                          PromptButton::Ok);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(prompts.allUsed());
    window.reset();
}

void RemoveCopy(const QString &name)
{
    QFile::remove(JoinLocalPath(DataRoot::TmpFolder(), name));
    QFile::remove(JoinLocalPath(DataRoot::FileInRoot(QStringLiteral("TmpCopies")), name));
}

} // namespace

// A restored job list whose edit job finds a link in its snapshot's path (the
// snapshot file, its sub-folder or the snapshot folder itself), placed before
// the list is loaded, before Start All or while the job logs in: the job
// fails as its snapshot missing, and the file the link leads to, of the
// snapshot's very size and time, never reaches the server. A link at the
// snapshot folder gives way to a real folder.
TEST(EditJobSnapshot, ARestoredEditJobNeverSendsAFileALinkInItsSnapshotsPathLeadsTo)
{
    enum class Link { AtFile, AtSubFolder, AtSnapshotFolder };
    enum class When { BeforeLoad, BeforeStart, WhileLoggingIn };
    JobOptions restore;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QString uploads = EditSnapshots::DefaultFolder();
    int n = 0;
    for (const Link link : {Link::AtFile, Link::AtSubFolder, Link::AtSnapshotFolder}) {
        for (const When when : {When::BeforeLoad, When::BeforeStart, When::WhileLoggingIn}) {
            const QString name = QStringLiteral("linked%1.txt").arg(++n);
            SCOPED_TRACE(name.toStdString());
            ScriptedPrompts prompts;

            // Run 1: the edit waits in a job, saved at the close.
            std::unique_ptr<frmZAVUde> window;
            const FtpTaskCollection::Job queued = OpenWithAQueuedEdit(window, prompts, server, name);
            ASSERT_NE(queued, nullptr);
            const QString snapshot = queued->GetLocalFilePath();
            const QFileInfo saved(snapshot);
            const QString subFolder = saved.dir().dirName();
            ASSERT_EQ(ReadFileBytes(snapshot), "saved server\n");
            ASSERT_NO_FATAL_FAILURE(CloseNamingTheCopy(window, prompts, name));
            QTemporaryDir outside;
            const QString outsideFile = OutsideTwinOf(outside, snapshot);
            ASSERT_FALSE(outsideFile.isEmpty());
            const auto placeLink = [&] {
                switch (link) {
                case Link::AtFile:
                    ASSERT_TRUE(QFile::remove(snapshot));
                    ASSERT_TRUE(QFile::link(outsideFile, snapshot));
                    break;
                case Link::AtSubFolder:
                    ASSERT_TRUE(QDir(saved.path()).removeRecursively());
                    ASSERT_TRUE(QFile::link(outside.filePath(subFolder), saved.path()));
                    break;
                case Link::AtSnapshotFolder:
                    ASSERT_TRUE(QDir(uploads).removeRecursively());
                    ASSERT_TRUE(QFile::link(outside.path(), uploads));
                    break;
                }
            };
            if (when == When::BeforeLoad) {
                ASSERT_NO_FATAL_FAILURE(placeLink());
            }

            // Run 2: Job > Load Pending Jobs, Start All.
            window = std::make_unique<frmZAVUde>();
            window->show();
            window->Jobs()->mnuJLoad->trigger();
            ASSERT_EQ(window->Jobs()->JobQueue.Count(), 1);
            const FtpTaskCollection::Job job = *window->Jobs()->JobQueue.begin();
            if (when == When::BeforeStart) {
                ASSERT_NO_FATAL_FAILURE(placeLink());
            }
            if (when == When::WhileLoggingIn) {
                FrozenServer frozen(server.processId());
                window->JobControl()->mnuJStartAll->trigger();
                ASSERT_EQ(job->Status(), 1);
                ASSERT_NO_FATAL_FAILURE(placeLink());
            }
            ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
            EXPECT_EQ(server.readFile(name), "server\n");
            EXPECT_EQ(StatusCell(*window, *job), QStringLiteral("Local file missing"));
            EXPECT_EQ(ReadFileBytes(outsideFile), "outside bytes");
            EXPECT_TRUE(QFileInfo(uploads).isDir() && !QFileInfo(uploads).isSymLink());
            ASSERT_NO_FATAL_FAILURE(CloseNamingTheCopy(window, prompts, name));
            QFile::remove(snapshot);
            RemoveCopy(name);
        }
    }
}

// An edit job's snapshot changed after it was queued (its size, or its time
// alone): the job fails saying so and sends nothing, in the run that queued
// it and after its job list was restored. The copy's edit is still asked
// about when the file is opened again; put into its job, it is sent whole.
TEST(EditJobSnapshot, AnEditJobWhoseSnapshotChangedFailsAndTheCopysEditSurvives)
{
    struct Case {
        QString name;
        bool restored;
        QByteArray change; // the same size as "saved server\n" changes its time alone
        QString status;
    };
    const Case cases[] = {
        {"sized.txt", false, "a change of another size\n", "Local file size changed"},
        {"timed.txt", false, "SAVED SERVER\n", "Local file Time"},
        {"sized-restored.txt", true, "a change of another size\n", "Local file size changed"},
        {"timed-restored.txt", true, "SAVED SERVER\n", "Local file Time"},
    };
    JobOptions restore;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ScriptedPrompts prompts;
        ASSERT_TRUE(server.writeFile(c.name, "server\n"));
        ASSERT_NO_FATAL_FAILURE(WriteOptions({OptionFlag::AutoSavePendingJobs}));
        ForgetPendingJobs();
        auto window = std::make_unique<frmZAVUde>();
        window->show();
        ASSERT_TRUE(ConnectFirstSlot(*window, server));
        FtpTaskCollection::Job job = QueueAnEditWhileDisconnected(*window, prompts, c.name);
        ASSERT_NE(job, nullptr);
        const QString snapshot = job->GetLocalFilePath();
        if (c.restored) {
            ASSERT_NO_FATAL_FAILURE(CloseNamingTheCopy(window, prompts, c.name));
            window = std::make_unique<frmZAVUde>();
            window->show();
            window->Jobs()->mnuJLoad->trigger();
            ASSERT_EQ(window->Jobs()->JobQueue.Count(), 1);
            job = *window->Jobs()->JobQueue.begin();
        }
        ASSERT_TRUE(Rewrite(snapshot, c.change, QFileInfo(snapshot).lastModified().addSecs(3600)));

        ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
        EXPECT_EQ(server.readFile(c.name), "server\n");
        EXPECT_EQ(StatusCell(*window, *job), c.status);

        ASSERT_NO_FATAL_FAILURE(ReopenAndPutIntoItsJob(*window, prompts, server, c.name));
        ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
        EXPECT_EQ(StatusCell(*window, *job), QStringLiteral("Completed"));
        EXPECT_EQ(server.readFile(c.name), "saved server\n");
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(prompts.allUsed());
        RemoveCopy(c.name);
    }
}

// A link (or a second name of a file outside, of the snapshot's size and
// time) put in the snapshot's path: before Start All, the job fails as its
// snapshot missing; once the job's checks are passed, as the server is about
// to take the file (STOR), what is sent is still the snapshot as queued.
// The file outside never reaches the server.
TEST(EditJobSnapshot, ALinkPutInTheSnapshotsPathAfterItsCheckIsNeverRead)
{
    enum class Swap { LinkAtFile, LinkAtSubFolder, HardLinkAtFile };
    struct Case {
        Swap swap;
        bool atStor;
        QByteArray serverHolds;
        QString status;
    };
    const Case cases[] = {
        {Swap::LinkAtFile, true, "saved server\n", "Completed"},
        {Swap::LinkAtSubFolder, true, "saved server\n", "Completed"},
        {Swap::HardLinkAtFile, true, "saved server\n", "Completed"},
        {Swap::HardLinkAtFile, false, "server\n", "Local file missing"},
    };
    JobOptions restore;
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    int n = 0;
    for (const Case &c : cases) {
        const QString name = QStringLiteral("raced%1.txt").arg(++n);
        SCOPED_TRACE(name.toStdString());
        ScriptedPrompts prompts;
        std::unique_ptr<frmZAVUde> window;
        const FtpTaskCollection::Job job = OpenWithAQueuedEdit(window, prompts, server, name);
        ASSERT_NE(job, nullptr);
        const QString snapshot = job->GetLocalFilePath();
        const QFileInfo saved(snapshot);
        const QString subFolder = saved.dir().dirName();
        QTemporaryDir outside;
        const QString outsideFile = OutsideTwinOf(outside, snapshot);
        ASSERT_FALSE(outsideFile.isEmpty());
        const auto swap = [&] {
            ASSERT_TRUE(c.swap == Swap::LinkAtSubFolder ? QDir(saved.path()).removeRecursively()
                                                        : QFile::remove(snapshot));
            if (c.swap == Swap::LinkAtFile) {
                ASSERT_TRUE(QFile::link(outsideFile, snapshot));
            } else if (c.swap == Swap::LinkAtSubFolder) {
                ASSERT_TRUE(QFile::link(outside.filePath(subFolder), saved.path()));
            } else {
                ASSERT_EQ(::link(QFile::encodeName(outsideFile).constData(), QFile::encodeName(snapshot).constData()),
                          0);
            }
        };
        bool swapped = false;
        if (c.atStor) {
            QObject::connect(window->JobControl()->Dispatcher().FtpJobs(0), &FtpCommander::CommandSent, window.get(),
                             [&](const QString &, const QString &command) {
                                 if (!swapped && command.startsWith(QLatin1String("STOR"))) {
                                     swapped = true;
                                     swap();
                                 }
                             });
        } else {
            ASSERT_NO_FATAL_FAILURE(swap());
            swapped = true;
        }
        ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
        EXPECT_TRUE(swapped);
        EXPECT_EQ(server.readFile(name), c.serverHolds);
        EXPECT_EQ(StatusCell(*window, *job), c.status);
        EXPECT_EQ(ReadFileBytes(outsideFile), "outside bytes");
        if (c.atStor) {
            EXPECT_TRUE(window->close());
        } else {
            ASSERT_NO_FATAL_FAILURE(CloseNamingTheCopy(window, prompts, name));
        }
        EXPECT_TRUE(prompts.allUsed());
        QFile::remove(snapshot);
        RemoveCopy(name);
    }
}

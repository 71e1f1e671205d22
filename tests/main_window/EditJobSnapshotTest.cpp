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

// What leads from the snapshot's path to its twin outside.
// A folder link at the file's place leads to the twin's folder.
enum class Link { AtFile, FolderAtFile, AtSubFolder, AtSnapshotFolder, HardLinkAtFile };

// The link's path.
QString LinkPath(Link link, const QString &snapshot)
{
    switch (link) {
    case Link::AtSubFolder:
        return QFileInfo(snapshot).path();
    case Link::AtSnapshotFolder:
        return EditSnapshots::DefaultFolder();
    default:
        return snapshot;
    }
}

void PlaceLink(Link link, const QString &snapshot, const QTemporaryDir &outside)
{
    const QFileInfo saved(snapshot);
    const QString subFolder = outside.filePath(saved.dir().dirName());
    const QString uploads = EditSnapshots::DefaultFolder();
    switch (link) {
    case Link::AtFile:
        ASSERT_TRUE(QFile::remove(snapshot));
        ASSERT_TRUE(QFile::link(subFolder + "/" + saved.fileName(), snapshot));
        break;
    case Link::FolderAtFile:
        ASSERT_TRUE(QFile::remove(snapshot));
        ASSERT_TRUE(QFile::link(subFolder, snapshot));
        break;
    case Link::AtSubFolder:
        ASSERT_TRUE(QDir(saved.path()).removeRecursively());
        ASSERT_TRUE(QFile::link(subFolder, saved.path()));
        break;
    case Link::AtSnapshotFolder:
        ASSERT_TRUE(QDir(uploads).removeRecursively());
        ASSERT_TRUE(QFile::link(outside.path(), uploads));
        break;
    case Link::HardLinkAtFile:
        ASSERT_TRUE(QFile::remove(snapshot));
        ASSERT_EQ(::link(QFile::encodeName(subFolder + "/" + saved.fileName()).constData(),
                         QFile::encodeName(snapshot).constData()),
                  0);
        break;
    }
}

// A new window, Job > Load Pending Jobs: the one job loaded (null when not one).
FtpTaskCollection::Job LoadPendingJobInANewWindow(std::unique_ptr<frmZAVUde> &window)
{
    window = ShownWindow();
    window->Jobs()->mnuJLoad->trigger();
    return OnlyJob(*window);
}

// Start All, until the job ended one way or the other.
void StartAll(frmZAVUde &window, const FtpTask &job)
{
    window.JobControl()->mnuJStartAll->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        return (job.Status() == 2 || job.Status() == 3) && !window.JobControl()->Dispatcher().AnySessionActive();
    }));
}

struct EditJobSnapshot : ::testing::Test
{
    JobOptions restore;
    PyFtpServer server;

    void SetUp() override { ASSERT_TRUE(server.start()) << server.error().toStdString(); }
    void TearDown() override { ForgetPendingJobs(); }

    // A new window, slot 0 on the server, whose edit of `name` waits in an upload job.
    FtpTaskCollection::Job openWithAQueuedEdit(std::unique_ptr<frmZAVUde> &window, ScriptedPrompts &prompts,
                                               const QString &name)
    {
        if (!server.writeFile(name, "server\n"))
            return nullptr;
        WriteOptions({OptionFlag::AutoSavePendingJobs});
        ForgetPendingJobs();
        window = ShownWindow();
        return ConnectFirstSlot(*window, server) ? QueueAnEditWhileDisconnected(*window, prompts, name) : nullptr;
    }
};

} // namespace

// A restored job list whose edit job finds a link in its snapshot's path (the
// snapshot file, its sub-folder or the snapshot folder itself), placed before
// the list is loaded, before Start All or while the job logs in: the job
// fails as its snapshot missing, and the file the link leads to, of the
// snapshot's very size and time, never reaches the server. The link goes,
// never what it leads to, and a link at the snapshot folder gives way to a
// real folder.
TEST_F(EditJobSnapshot, ARestoredEditJobNeverSendsAFileALinkInItsSnapshotsPathLeadsTo)
{
    enum class When { BeforeLoad, BeforeStart, WhileLoggingIn };
    const QString uploads = EditSnapshots::DefaultFolder();
    int n = 0;
    for (const Link link : {Link::AtFile, Link::FolderAtFile, Link::AtSubFolder, Link::AtSnapshotFolder}) {
        for (const When when : {When::BeforeLoad, When::BeforeStart, When::WhileLoggingIn}) {
            const QString name = QStringLiteral("linked%1.txt").arg(++n);
            SCOPED_TRACE(name.toStdString());
            ScriptedPrompts prompts;
            std::unique_ptr<frmZAVUde> window;
            const FtpTaskCollection::Job queued = openWithAQueuedEdit(window, prompts, name);
            ASSERT_NE(queued, nullptr);
            const QString snapshot = queued->GetLocalFilePath();
            ASSERT_EQ(ReadFileBytes(snapshot), "saved server\n");
            ASSERT_NO_FATAL_FAILURE(CloseTelling(window, prompts, WaitingCopiesMessage(name)));
            QTemporaryDir outside;
            const QString outsideFile = OutsideTwinOf(outside, snapshot);
            ASSERT_FALSE(outsideFile.isEmpty());
            if (when == When::BeforeLoad) {
                ASSERT_NO_FATAL_FAILURE(PlaceLink(link, snapshot, outside));
            }

            const FtpTaskCollection::Job job = LoadPendingJobInANewWindow(window);
            ASSERT_NE(job, nullptr);
            if (when == When::BeforeStart) {
                ASSERT_NO_FATAL_FAILURE(PlaceLink(link, snapshot, outside));
            }
            if (when == When::WhileLoggingIn) {
                FrozenServer frozen(server.processId());
                window->JobControl()->mnuJStartAll->trigger();
                ASSERT_EQ(job->Status(), 1);
                ASSERT_NO_FATAL_FAILURE(PlaceLink(link, snapshot, outside));
            }
            ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
            EXPECT_EQ(server.readFile(name), "server\n");
            EXPECT_EQ(StatusCell(*window, *job), QStringLiteral("Local file missing"));
            EXPECT_EQ(ReadFileBytes(outsideFile), "outside bytes");
            EXPECT_FALSE(QFileInfo(LinkPath(link, snapshot)).isSymLink());
            EXPECT_TRUE(QFileInfo(uploads).isDir() && !QFileInfo(uploads).isSymLink());
            ASSERT_NO_FATAL_FAILURE(CloseTelling(window, prompts, WaitingCopiesMessage(name)));
        }
    }
}

// An edit job's snapshot changed after it was queued (its size, or its time
// alone): the job fails saying so and sends nothing, in the run that queued
// it and after its job list was restored. The copy's edit is still asked
// about when the file is opened again; put into its job, it is sent whole.
TEST_F(EditJobSnapshot, AnEditJobWhoseSnapshotChangedFailsAndTheCopysEditSurvives)
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
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ScriptedPrompts prompts;
        std::unique_ptr<frmZAVUde> window;
        FtpTaskCollection::Job job = openWithAQueuedEdit(window, prompts, c.name);
        ASSERT_NE(job, nullptr);
        const QString snapshot = job->GetLocalFilePath();
        if (c.restored) {
            ASSERT_NO_FATAL_FAILURE(CloseTelling(window, prompts, WaitingCopiesMessage(c.name)));
            job = LoadPendingJobInANewWindow(window);
            ASSERT_NE(job, nullptr);
        }
        ASSERT_TRUE(Rewrite(snapshot, c.change, QFileInfo(snapshot).lastModified().addSecs(3600)));

        ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
        EXPECT_EQ(server.readFile(c.name), "server\n");
        EXPECT_EQ(StatusCell(*window, *job), c.status);

        // Quick Edit again: the copy's edit is asked about, and Yes puts it into its job.
        ASSERT_TRUE(ConnectFirstSlot(*window, server));
        prompts.expectMessage("has changes that wait in an upload job.\r\n\r\nPut the copy into its upload job to "
                              "'127.0.0.1/" + c.name,
                              PromptButton::Yes);
        prompts.expectMessage("The edited file has been put into its upload job", PromptButton::Ok);
        SelectInFirstSlot(*window, c.name);
        window->EditFlow()->MNU_RMT_QEDIT_Click();
        EXPECT_TRUE(prompts.allUsed()) << "the copy's edit was replaced without a question";
        ASSERT_TRUE(DisconnectFirstSlot(*window));
        ASSERT_NO_FATAL_FAILURE(StartAll(*window, *job));
        EXPECT_EQ(StatusCell(*window, *job), QStringLiteral("Completed"));
        EXPECT_EQ(server.readFile(c.name), "saved server\n");
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(prompts.allUsed());
    }
}

// A link (or a second name of a file outside, of the snapshot's size and
// time) put in the snapshot's path: before Start All, the job fails as its
// snapshot missing; once the job's checks are passed, as the server is about
// to take the file (STOR), what is sent is still the snapshot as queued.
// The file outside never reaches the server.
TEST_F(EditJobSnapshot, ALinkPutInTheSnapshotsPathAfterItsCheckIsNeverRead)
{
    struct Case {
        Link link;
        bool atStor;
        QByteArray serverHolds;
        QString status;
    };
    const Case cases[] = {
        {Link::AtFile, true, "saved server\n", "Completed"},
        {Link::AtSubFolder, true, "saved server\n", "Completed"},
        {Link::HardLinkAtFile, true, "saved server\n", "Completed"},
        {Link::HardLinkAtFile, false, "server\n", "Local file missing"},
    };
    int n = 0;
    for (const Case &c : cases) {
        const QString name = QStringLiteral("raced%1.txt").arg(++n);
        SCOPED_TRACE(name.toStdString());
        ScriptedPrompts prompts;
        std::unique_ptr<frmZAVUde> window;
        const FtpTaskCollection::Job job = openWithAQueuedEdit(window, prompts, name);
        ASSERT_NE(job, nullptr);
        const QString snapshot = job->GetLocalFilePath();
        QTemporaryDir outside;
        const QString outsideFile = OutsideTwinOf(outside, snapshot);
        ASSERT_FALSE(outsideFile.isEmpty());
        bool swapped = false;
        if (c.atStor) {
            QObject::connect(window->JobControl()->Dispatcher().FtpJobs(0), &FtpCommander::CommandSent, window.get(),
                             [&](const QString &, const QString &command) {
                                 if (!swapped && command.startsWith(QLatin1String("STOR"))) {
                                     swapped = true;
                                     PlaceLink(c.link, snapshot, outside);
                                 }
                             });
        } else {
            ASSERT_NO_FATAL_FAILURE(PlaceLink(c.link, snapshot, outside));
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
            ASSERT_NO_FATAL_FAILURE(CloseTelling(window, prompts, WaitingCopiesMessage(name)));
        }
        EXPECT_TRUE(prompts.allUsed());
    }
}

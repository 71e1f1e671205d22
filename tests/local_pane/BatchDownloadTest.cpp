#include "BatchTestSupport.h"

#include "ScriptedFtpServer.h"
#include "ScriptedPrompts.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct DownloadFixture : BatchFixture
{
    QTemporaryDir dir;

    void SetUp() override
    {
        BatchFixture::SetUp();
        ASSERT_TRUE(local.LoadLocalFolders(dir.path()));
    }

    bool connectAndShow(const QStringList &names)
    {
        if (!connect())
            return false;
        return WaitUntil([&] {
            QStringList shown;
            for (int r = 0; r < pane0.Model->size(); ++r)
                shown << pane0.Model->row(r).Text;
            for (const QString &name : names)
                if (!shown.contains(name))
                    return false;
            return true;
        });
    }

    static BatchEntry found(const QString &name, const QString &remoteFolder, const QString &localFolder,
                            qint64 size = 5)
    {
        return BatchEntry{name, localFolder, remoteFolder, "Jan 01 2024", false, size};
    }

    QStringList names(const BatchList &list) const
    {
        QStringList out;
        for (const BatchEntry &entry : list)
            out << entry.Name;
        return out;
    }
};

} // namespace

TEST_F(DownloadFixture, AFolderWithoutFilesEndsWithAMessage)
{
    ASSERT_TRUE(server.makeFolder("empty"));
    ASSERT_TRUE(connectAndShow({"empty"}));
    selectRemote({"empty"});
    ScriptedPrompts prompts;
    prompts.expectMessage("There is no file for download!", PromptButton::Ok);
    batch->HandleFileDownloads(0, true, false, false);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(steps.walks, QList<QStringList>({{"/empty"}}));
    EXPECT_EQ(steps.walkRoot, dir.path());
    EXPECT_TRUE(steps.starts.isEmpty());
}

TEST_F(DownloadFixture, CancellingTheFolderPickerEndsInTheDestinationCheck)
{
    ASSERT_TRUE(server.writeFile("f.txt", "hello"));
    ASSERT_TRUE(connectAndShow({"f.txt"}));
    selectRemote({"f.txt"});
    ScriptedPrompts prompts;
    prompts.expectFile("Select the destination folder for downloads", std::nullopt);
    prompts.expectMessage("does not exists!", PromptButton::Ok);
    batch->HandleFileDownloads(0, false, true, true);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(jobs.batches.isEmpty());

    // A picked folder of "/" keeps its "/".
    prompts.expectFile("Select the destination folder for downloads", QString("/"));
    batch->HandleFileDownloads(0, false, true, true);
    ASSERT_EQ(jobs.batches.size(), 1);
    EXPECT_EQ(jobs.batches[0].entries.at(0).LocalFolder, "/");
    EXPECT_FALSE(jobs.batches[0].isUpload);
}

TEST_F(DownloadFixture, FilesAndWalkedFilesMakeOneBatch)
{
    ASSERT_TRUE(server.writeFile("big.bin", QByteArray(BatchTransfers::kSmallFileBytes, 'b')));
    ASSERT_TRUE(server.makeFolder("a"));
    ASSERT_TRUE(connectAndShow({"big.bin", "a"}));
    selectRemote({"big.bin", "a"});
    steps.walk = [&](const QStringList &folders, const QString &root) {
        return BatchSteps::WalkResult{{found("c.txt", "/a/b", root + "/a/b")}, folders, false};
    };
    batch->HandleFileDownloads(0, true, false, false);
    EXPECT_EQ(steps.confirmations, QStringList({"DN"}));
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(steps.starts[0].action, "D");
    EXPECT_EQ(names(batch->TransferList), QStringList({"big.bin", "c.txt"}));
    EXPECT_EQ(batch->TransferList[0].LocalFolder, dir.path());
    EXPECT_EQ(batch->TransferList[0].RemoteFolder, "/");
    EXPECT_EQ(batch->TransferList[0].Size, BatchTransfers::kSmallFileBytes);
    EXPECT_EQ(batch->DownloadRoot, dir.path());

    // A large single file: at once from the quick command, a job from "Add As Download Job...".
    selectRemote({"big.bin"});
    batch->HandleFileDownloads(0, true, false, false);
    EXPECT_EQ(steps.starts.size(), 2);
    batch->HandleFileDownloads(0, false, true, false);
    EXPECT_EQ(jobs.batches.size(), 1);
}

TEST_F(DownloadFixture, DeletingATreeRemovesFilesThenFoldersDeepestFirst)
{
    ASSERT_TRUE(server.makeFolder("a"));
    ASSERT_TRUE(server.writeFile("top.txt", "t"));
    ASSERT_TRUE(connectAndShow({"a", "top.txt"}));
    selectRemote({"a", "top.txt"});
    steps.walk = [&](const QStringList &, const QString &root) {
        return BatchSteps::WalkResult{{found("c.txt", "/a/b", root + "/a/b")}, {"/a", "/a/b"}, false};
    };
    batch->HandleFileDeletes(0);
    EXPECT_EQ(steps.confirmations, QStringList({"DEL"}));
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(steps.starts[0].action, "DEL");
    EXPECT_EQ(names(batch->TransferList), QStringList({"top.txt", "c.txt", "/a/b", "/a"}));
    EXPECT_TRUE(batch->TransferList[2].IsFolder);
    EXPECT_EQ(batch->TransferList[3].RemoteFolder, "/a");

    // A walk ended by an error drops the delete...
    steps.walk = [](const QStringList &folders, const QString &) {
        return BatchSteps::WalkResult{{}, folders, true};
    };
    batch->HandleFileDeletes(0);
    EXPECT_EQ(steps.starts.size(), 1);
    // ...but a download goes on with what was found.
    steps.walk = [&](const QStringList &folders, const QString &root) {
        return BatchSteps::WalkResult{{found("c.txt", "/a/b", root + "/a/b")}, folders, true};
    };
    batch->HandleFileDownloads(0, true, false, false);
    EXPECT_EQ(steps.starts.size(), 2);
}

TEST_F(DownloadFixture, DeletingWithoutAConfirmationListAsksOnce)
{
    ASSERT_TRUE(server.writeFile("x.txt", "x"));
    ASSERT_TRUE(server.makeFolder("hollow"));
    ASSERT_TRUE(connectAndShow({"x.txt", "hollow"}));
    selectRemote({"x.txt"});
    ScriptedPrompts prompts;
    prompts.expectMessage("Delete \"x.txt\" from the server?", PromptButton::No);
    batch->HandleFileDeletes(0);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(steps.starts.isEmpty());
    EXPECT_TRUE(steps.walks.isEmpty());

    // A tree holding no file: the folders alone, asked once.
    selectRemote({"hollow"});
    prompts.expectMessage("Delete \"/hollow\" from the server?", PromptButton::Yes);
    batch->HandleFileDeletes(0);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_TRUE(steps.confirmations.isEmpty());
    ASSERT_EQ(steps.starts.size(), 1);
    EXPECT_EQ(names(batch->TransferList), QStringList({"/hollow"}));
}

TEST_F(DownloadFixture, AThousandSelectedFilesBuildWithoutRelisting)
{
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(server.writeFile(QString("f%1").arg(i, 4, 10, QChar('0')), "z"));
    ASSERT_TRUE(connectAndShow({"f0999"}));
    pane0.RightView->selectAll();
    const int listings = log0.count("LIST");
    const QString firstRow = pane0.Model->row(0).Text;
    batch->HandleFileDownloads(0, false, true, false);
    ASSERT_EQ(jobs.batches.size(), 1);
    EXPECT_EQ(jobs.batches[0].entries.size(), 1000);
    EXPECT_EQ(log0.count("LIST"), listings);
    EXPECT_EQ(pane0.Model->row(0).Text, firstRow);
    EXPECT_EQ(local.Model->size(), 0);
}

namespace {

// A server whose listing names try to leave the folder or break commands.
struct HostileFixture : DownloadFixture
{
    ScriptedFtpServer hostile;
    QString longName = QString(255, u'n');

    bool connectHostile()
    {
        if (!hostile.listen())
            return false;
        QByteArray listing;
        for (const QByteArray &name : {QByteArray("../x"), QByteArray("a/b"), QByteArray(".."), QByteArray("ok.txt"),
                                       QByteArray("cr\rname"), longName.toLatin1()})
            listing += "-rw-r--r--   1 u  g  5 Jan 01  2024 " + name + "\r\n";
        listing += "drwxr-xr-x   1 u  g  0 Jan 01  2024 ..\r\n";
        listing += "drwxr-xr-x   1 u  g  0 Jan 01  2024 d\r\n";
        hostile.setListing(listing);
        CProfile profile;
        profile.ProfileName = "Hostile";
        profile.Server = hostile.host();
        profile.Port = hostile.port();
        profile.User = "u";
        profile.Password = "p";
        profile.IsPassive = 1;
        profile.RemotePath = "/";
        serverSlots->UseProfile(0, profile, true);
        return WaitUntil([&] { return slot(0).SessionActive() && !slot(0).IsBusy() && pane0.Model->size() > 0; });
    }
};

} // namespace

TEST_F(HostileFixture, OnlyUsableNamesReachTheBatch)
{
    ASSERT_TRUE(connectHostile());
    pane0.RightView->selectAll();
    steps.walk = [&](const QStringList &folders, const QString &root) {
        return BatchSteps::WalkResult{{found("in.txt", "/d", root + "/d"), found("..", "/d", root + "/d"),
                                       found("out.txt", "/d", root + "/../elsewhere"), found("n\nl", "/d", root + "/d")},
                                      folders, false};
    };
    batch->HandleFileDownloads(0, true, false, false);
    EXPECT_EQ(steps.walks, QList<QStringList>({{"/d"}}));
    ASSERT_EQ(steps.starts.size(), 1);
    QStringList taken = names(batch->TransferList);
    taken.sort();
    EXPECT_EQ(taken, QStringList({"in.txt", longName, "ok.txt"}));
    for (const BatchEntry &entry : std::as_const(batch->TransferList))
        EXPECT_TRUE(entry.LocalFolder.startsWith(dir.path()));
    EXPECT_GE(log0.count("Skipped an item whose name cannot be used here: \"../x\""), 1);
    EXPECT_GE(log0.count("Skipped an item whose name cannot be used here: \"a/b\""), 1);
    EXPECT_GE(log0.count("Skipped an item whose name cannot be used here: \"cr\\rname\""), 1);
}

TEST_F(HostileFixture, ASessionLostDuringTheConfirmationStartsNothing)
{
    ASSERT_TRUE(connectHostile());
    pane0.RightView->selectAll();
    steps.walk = [&](const QStringList &folders, const QString &root) {
        return BatchSteps::WalkResult{{found("in.txt", "/d", root + "/d")}, folders, false};
    };
    ScriptedPrompts prompts;
    prompts.expectMessage("The connection to the server was lost.", PromptButton::Ok);
    steps.onConfirm = [&](const BatchList &, bool &, QList<qsizetype> &) {
        hostile.closeControl();
        EXPECT_TRUE(WaitUntil([&] { return !slot(0).SessionActive(); }));
        return true;
    };
    batch->HandleFileDownloads(0, true, false, false);
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(prompts.messageTexts().size(), 1);
    // Which files were not transferred, not an unexplained error.
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains("\"in.txt\": not started, the session ended"))
        << prompts.messageTexts().constFirst().toStdString();
    EXPECT_TRUE(steps.starts.isEmpty());
}

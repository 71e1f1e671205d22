#include "LocalPane.h"

#include "DataRoot.h"
#include "KeyedImageList.h"
#include "ScriptedPrompts.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <map>

namespace {

void writeFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
}

LocalDrive drive(const QString &path, bool ready, int type, qint64 free)
{
    LocalDrive d;
    d.Path = path;
    d.IsReady = ready;
    d.Type = type;
    d.AvailableSpace = free;
    return d;
}

struct PaneFixture : ::testing::Test
{
    KeyedImageList images;
    LocalPane pane{images};
    QTemporaryDir folder;
    QList<LocalDrive> drives = {drive("/", true, DriveType::Fixed, 50LL * 1024 * 1024 * 1024)};
    std::map<int, bool> inButtons;
    bool remoteSelected[2] = {false, false};
    QStringList listed;
    QStringList volumesAsked;
    QByteArray mountTable; // empty: mounts are not checked

    void SetUp() override
    {
        // The listed folder sits on the first drive of the list, as the list stands when asked.
        pane.setDriveLister({[this] { return drives; },
                             [this](const QString &folder) {
                                 volumesAsked << folder;
                                 LocalDrive volume = drives.value(0);
                                 volume.Path = folder;
                                 return volume;
                             },
                             [this] { return mountTable; }});
        pane.setHost({[this](int slot, bool on) { inButtons[slot] = on; }, [](int, bool) {},
                      [this](int slot) { return remoteSelected[slot]; },
                      [this](const QString &path) { listed << path; }});
        pane.LoadDrives();
    }

    const FileListRow *rowNamed(const QString &name) const
    {
        for (int i = 0; i < pane.Model->size(); ++i) {
            if (pane.Model->row(i).Text == name)
                return &pane.Model->row(i);
        }
        return nullptr;
    }
};

} // namespace

TEST_F(PaneFixture, ListsFoldersThenFilesWithTheirKeysTagsAndColumns)
{
    QDir(folder.path()).mkpath("sub");
    QDir(folder.path()).mkpath("Another");
    writeFile(folder.filePath("half.bin"), 1536);
    writeFile(folder.filePath("empty.txt"), 0);

    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));

    ASSERT_EQ(pane.Model->size(), 4);
    const FileListRow *another = rowNamed("Another");
    const FileListRow *sub = rowNamed("sub");
    ASSERT_TRUE(another && sub);
    EXPECT_EQ(another->Key, "Dir0");
    EXPECT_EQ(sub->Key, "Dir1");
    EXPECT_EQ(sub->Tag, "b0");
    EXPECT_EQ(sub->IconKey, "dir");
    EXPECT_EQ(sub->SubItems.value(0), "        0 KB");
    EXPECT_EQ(sub->SubItems.value(1), "File Folder");

    const FileListRow *empty = rowNamed("empty.txt");
    const FileListRow *half = rowNamed("half.bin");
    ASSERT_TRUE(empty && half);
    EXPECT_EQ(empty->Key, "Fl0"); // numbering restarts for files
    EXPECT_EQ(half->Key, "Fl1");
    EXPECT_EQ(half->Tag, "b1536");
    EXPECT_EQ(half->SubItems.value(0), "       1.5KB");
    EXPECT_EQ(empty->Tag, "b0");
    EXPECT_EQ(empty->SubItems.value(0), "       0.0KB");

    EXPECT_TRUE(pane.lblLocal->text().startsWith("2 folders, 2 files  | "));
    EXPECT_EQ(pane.lblLocal->toolTip(), pane.lblLocal->text()); // the whole text, however narrow the pane
    EXPECT_EQ(pane.cboDir->currentText(), folder.path());
    EXPECT_EQ(pane.cboDir->currentData().toString(), "curpath");
    EXPECT_EQ(listed.last(), folder.path());
}

TEST_F(PaneFixture, DoubledSlashesListTheSameFolderAndOneCurpathItemStays)
{
    writeFile(folder.filePath("a.txt"), 3);
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path() + "//"));
    ASSERT_TRUE(pane.LoadLocalFolders(QString(folder.path()).replace("/", "//")));
    EXPECT_EQ(pane.CurrentPath(), folder.path());
    EXPECT_EQ(pane.Model->size(), 1);
    int curpathItems = 0;
    for (int i = 0; i < pane.cboDir->count(); ++i)
        curpathItems += pane.cboDir->itemData(i).toString() == "curpath";
    EXPECT_EQ(curpathItems, 1);
}

TEST_F(PaneFixture, TheUpButtonIsOffOnlyAtTheRoot)
{
    ASSERT_TRUE(pane.LoadLocalFolders("/"));
    EXPECT_FALSE(pane.upButton->isEnabled());
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_TRUE(pane.upButton->isEnabled());
    pane.upButton->trigger();
    EXPECT_EQ(pane.CurrentPath(), QFileInfo(folder.path()).absolutePath());
}

TEST_F(PaneFixture, IconKeysFollowTheExtensionExceptForProgramsAndIcons)
{
    EXPECT_EQ(LocalPane::FileIconKey("README"), "donty");
    EXPECT_EQ(LocalPane::FileIconKey("trailing."), "donty");
    EXPECT_EQ(LocalPane::FileIconKey("Setup.EXE"), "Setup.EXE");
    EXPECT_EQ(LocalPane::FileIconKey("app.ico"), "app.ico");
    EXPECT_EQ(LocalPane::FileIconKey("a.TXT"), "e_txt");
    EXPECT_EQ(LocalPane::FileIconKey("b.txt"), "e_txt");

    writeFile(folder.filePath("a.TXT"), 1);
    writeFile(folder.filePath("b.txt"), 1);
    writeFile(folder.filePath("README"), 1);
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_TRUE(images.Contains("e_txt"));
    EXPECT_FALSE(images.Contains("donty")); // a file without a type gets no picture of its own
}

TEST_F(PaneFixture, QuickDownloadNeedsAReadyDriveWithRoomAndARemoteSelection)
{
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_FALSE(inButtons[0]);
    EXPECT_FALSE(inButtons[1]);

    remoteSelected[1] = true;
    pane.UpdateInButtons();
    EXPECT_FALSE(inButtons[0]);
    EXPECT_TRUE(inButtons[1]);

    // 1,024,000 bytes free is not enough; one more byte is.
    drives = {drive("/", true, DriveType::Fixed, LocalPane::kMinFreeForDownload)};
    pane.LoadDrives();
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_FALSE(inButtons[1]);
    drives = {drive("/", true, DriveType::Fixed, LocalPane::kMinFreeForDownload + 1)};
    pane.LoadDrives();
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_TRUE(inButtons[1]);

    drives = {drive("/", true, DriveType::CdRom, 1LL << 40)};
    pane.LoadDrives();
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_FALSE(inButtons[1]);
}

TEST_F(PaneFixture, FreeSpaceAndTheDownloadRuleComeFromTheListedFolderAtEveryListing)
{
    remoteSelected[0] = true;
    drives = {drive("/", true, DriveType::Fixed, 900LL * 1024 * 1024)};
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_EQ(volumesAsked.last(), folder.path());
    EXPECT_TRUE(pane.lblLocal->text().endsWith("  | 900.0MB Free"));
    EXPECT_TRUE(inButtons[0]);

    // Downloads filled the volume: the next listing reads it again, with no new drive list.
    drives = {drive("/", true, DriveType::Fixed, 1000)};
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_TRUE(pane.lblLocal->text().endsWith("  | 0.0MB Free"));
    EXPECT_FALSE(inButtons[0]);

    drives = {drive("/", false, DriveType::Fixed, -1)};
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_FALSE(inButtons[0]);
    drives = {drive("/", true, DriveType::RamDisk, 5LL * 1024 * 1024)};
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_TRUE(inButtons[0]);
    EXPECT_TRUE(pane.lblLocal->text().endsWith("  | 5.0MB Free"));
}

TEST(LocalVolumes, TheVolumeOfAFolderIsReadFromTheFolderItself)
{
    QTemporaryDir folder;
    const LocalDrive volume = VolumeOfFolder(folder.path());
    EXPECT_EQ(volume.Path, folder.path());
    EXPECT_TRUE(volume.IsReady);
    EXPECT_GE(volume.AvailableSpace, 0);
    EXPECT_NE(volume.Type, DriveType::Unknown);

    // A memory-backed folder is told apart from the disk under "/".
    if (QStorageInfo("/dev/shm").fileSystemType() == "tmpfs") {
        EXPECT_EQ(VolumeOfFolder("/dev/shm").Type, DriveType::RamDisk);
    }

    const LocalDrive missing = VolumeOfFolder(folder.filePath("missing"));
    EXPECT_FALSE(missing.IsReady);
    EXPECT_EQ(missing.AvailableSpace, -1);
}

TEST_F(PaneFixture, DriveBoxShowsReadinessAndPicksDrives)
{
    drives = {drive("/", true, DriveType::Fixed, 1 << 30), drive("/media/disc", false, DriveType::CdRom, -1),
              drive(folder.path(), true, DriveType::Removable, 1 << 30)};
    pane.LoadDrives();
    ASSERT_EQ(pane.cboDir->count(), 3);
    EXPECT_EQ(pane.cboDir->itemText(0), "/ [Ready]");
    EXPECT_EQ(pane.cboDir->itemText(1), "/media/disc [Not Ready]");
    EXPECT_EQ(pane.DriveBoxTag(), "1");
    EXPECT_EQ(GetDriveTypeKey(DriveType::CdRom), "CD");
    EXPECT_EQ(GetDriveTypeKey(DriveType::Network), "NET");
    EXPECT_EQ(GetDriveTypeKey(42), "UKN");

    writeFile(folder.filePath("x.txt"), 1);
    pane.cboDir_Click(2);
    EXPECT_EQ(pane.CurrentPath(), folder.path());
    EXPECT_EQ(pane.Model->size(), 1);

    // The current-folder item is no drive: picking it changes nothing.
    const int curpath = pane.cboDir->findData("curpath");
    ASSERT_GE(curpath, 0);
    pane.cboDir_Click(curpath);
    EXPECT_EQ(pane.Model->size(), 1);

    ScriptedPrompts prompts;
    prompts.expectMessage("This drive is not ready.", PromptButton::Ok);
    pane.cboDir_Click(1);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(pane.Model->size(), 0);
    EXPECT_EQ(pane.lblLocal->text(), "Drive not ready !");
    EXPECT_FALSE(inButtons[0]);
}

TEST_F(PaneFixture, ADriveIsJudgedWhenPickedFromTheMountTableAsItStandsThen)
{
    const QString stick = folder.filePath("usb stick");
    writeFile(stick + "/photo.jpg", 10);
    LocalDrive removable = drive(stick, true, DriveType::Removable, 1 << 30);
    removable.MountPoint = stick;
    drives << removable;
    const QByteArray withStick = "proc /proc proc rw 0 0\n/dev/root / ext4 rw 0 0\n/dev/sdb1 "
        + QFile::encodeName(folder.path()) + "/usb\\040stick vfat rw 0 0\n";
    const QByteArray withoutStick = "proc /proc proc rw 0 0\n/dev/root / ext4 rw 0 0\n";
    mountTable = withStick;
    pane.LoadDrives();
    const int item = pane.cboDir->findData(stick);
    ASSERT_GE(item, 0);
    EXPECT_EQ(pane.cboDir->itemText(item), stick + " [Ready]");
    pane.cboDir_Click(item);
    EXPECT_EQ(pane.CurrentPath(), stick);
    EXPECT_EQ(pane.Model->size(), 1);

    const QString errorLog = DataRoot::FileInRoot("error.log");
    QFile::remove(errorLog);
    // Unmounted since the list was made: its empty mount folder is no drive,
    // nor is the folder once the desktop has removed it.
    mountTable = withoutStick;
    for (bool folderRemoved : {false, true}) {
        SCOPED_TRACE(folderRemoved);
        QDir(stick).removeRecursively();
        if (!folderRemoved)
            QDir().mkpath(stick);
        ScriptedPrompts prompts;
        prompts.expectMessage("This drive is not ready.", PromptButton::Ok);
        pane.cboDir_Click(pane.cboDir->findData(stick));
        EXPECT_TRUE(prompts.allUsed());
        EXPECT_EQ(pane.Model->size(), 0);
        EXPECT_EQ(pane.lblLocal->text(), "Drive not ready !");
        EXPECT_EQ(pane.cboDir->itemText(item), stick + " [Not Ready]");
        EXPECT_FALSE(QFile::exists(errorLog));
    }

    // Mounted again: the same item lists it.
    writeFile(stick + "/photo.jpg", 10);
    mountTable = withStick;
    pane.cboDir_Click(item);
    EXPECT_EQ(pane.CurrentPath(), stick);
    EXPECT_EQ(pane.Model->size(), 1);
    EXPECT_EQ(pane.cboDir->itemText(item), stick + " [Ready]");
    EXPECT_FALSE(QFile::exists(errorLog));
}

TEST(LocalVolumes, MountPointsAreReadWithTheirEscapes)
{
    EXPECT_EQ(MountPointsOf("/dev/sda1 / ext4 rw 0 0\n"
                            "//nas/share /mnt/my\\040share cifs rw 0 0\n"
                            "/dev/sdc1 /media/back\\134slash vfat rw 0 0\n"
                            "broken\n\n"),
              (QStringList{"/", "/mnt/my share", "/media/back\\slash"}));

    // This machine's root and home are in its mount table.
    const DriveLister machine = MachineDrives();
    const QList<LocalDrive> drives = machine.List();
    ASSERT_GE(drives.size(), 1);
    EXPECT_TRUE(MountPointsOf(machine.MountTable()).contains("/"));
    for (const LocalDrive &drive : drives.mid(0, 2)) {
        if (drive.IsReady)
            EXPECT_TRUE(DriveReadyNow(machine, drive)) << drive.Path.toStdString();
    }
    LocalDrive gone;
    gone.Path = QDir::homePath();
    gone.MountPoint = "/media/nothing-mounted-here";
    EXPECT_FALSE(DriveReadyNow(machine, gone));
}

TEST_F(PaneFixture, AFolderThatCannotBeReadKeepsThePaneUsable)
{
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    EXPECT_FALSE(pane.LoadLocalFolders(folder.filePath("missing")));
    EXPECT_EQ(pane.CurrentPath(), folder.path());
}

TEST_F(PaneFixture, SelectionSummaryAddsTheSelectedSizes)
{
    writeFile(folder.filePath("one.bin"), 1024);
    writeFile(folder.filePath("two.bin"), 2048);
    QDir(folder.path()).mkpath("dir");
    ASSERT_TRUE(pane.LoadLocalFolders(folder.path()));
    pane.LeftView->selectAll();
    int count = 0;
    EXPECT_EQ(SelectedBytes(pane.LeftView, &count), 3072);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(pane.lblLocal->text().startsWith("1 folders, 2 files  | 3 selected (3.0KB)"));
    EXPECT_TRUE(pane.lblLocal->text().endsWith("MB Free"));
}

TEST_F(PaneFixture, WarmUpCollectsAtMostThirtyOneFoldersParentsFirst)
{
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 5; ++j)
            QDir(folder.path()).mkpath(QString("d%1/s%2").arg(i).arg(j));
    drives = {drive(folder.path(), true, DriveType::Fixed, 1 << 30)};
    pane.LoadDrives();
    pane.WarmUpOnActivation();
    const QStringList collected = pane.WarmUpFolders();
    ASSERT_EQ(collected.size(), LocalPane::kWarmUpSlots);
    EXPECT_EQ(collected[0], folder.filePath("d0"));
    EXPECT_EQ(collected[1], folder.filePath("d0/s0"));
    EXPECT_EQ(collected[6], folder.filePath("d1"));
    EXPECT_EQ(pane.WarmUpCounter(), -1);

    // Each tick warms one more folder, and the ticks end after the last.
    int ticks = 0;
    while (pane.WarmUpCounter() < LocalPane::kWarmUpSlots - 1 && ticks < 100) {
        pane.WarmUpTick();
        ++ticks;
    }
    EXPECT_EQ(ticks, LocalPane::kWarmUpSlots);
}

TEST_F(PaneFixture, IconPreloadSkipsIconFilesAndStopsAtTheLimit)
{
    writeFile(folder.filePath("x.ico"), 1);
    writeFile(folder.filePath("noext"), 1);
    for (int i = 0; i < LocalPane::kWarmUpIconLimit + 20; ++i)
        writeFile(folder.filePath(QString("f.x%1").arg(i, 3, 10, QChar('0'))), 1);
    pane.PreloadFileTypeIcons(folder.path());
    EXPECT_FALSE(images.Contains("e_ico"));
    EXPECT_EQ(images.Count(), LocalPane::kWarmUpIconLimit);
}

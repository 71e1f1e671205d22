#include "StorageProbe.h"

#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(StorageProbe, ReadsTheVolumeOfTheFolderAsTheMountTableDescribesIt)
{
    QTemporaryDir folder;
    const StorageState state = ProbeStorage(folder.path());
    const QStorageInfo reference(folder.path());
    EXPECT_TRUE(state.folderExists);
    EXPECT_TRUE(state.ready);
    EXPECT_EQ(state.readOnlyMedia, reference.isReadOnly());
    // Other programs write to the same volume meanwhile: the two readings agree to within 1 %.
    const double free = static_cast<double>(state.freeBytes);
    const double expected = static_cast<double>(reference.bytesAvailable());
    EXPECT_NEAR(free, expected, expected / 100 + 1);
    const QByteArray type = reference.fileSystemType();
    if (QList<QByteArray>{"ext4", "btrfs", "xfs", "overlay", "tmpfs"}.contains(type)) {
        EXPECT_EQ(state.fileSystemType, type);
    } else {
        EXPECT_FALSE(state.fileSystemType.isEmpty());
    }
}

TEST(StorageProbe, AMissingFolderOrAFileIsNoFolder)
{
    QTemporaryDir folder;
    EXPECT_FALSE(ProbeStorage(folder.filePath("missing")).folderExists);
    EXPECT_EQ(ProbeStorage(folder.filePath("missing")).freeBytes, -1);
}

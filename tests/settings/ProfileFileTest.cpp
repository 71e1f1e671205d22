// Reading the profile file by name list and by record, and the record-level
// changes the editor makes to it.
#include "ErrorLog.h"
#include "ModProfile.h"
#include "ProfileRecordFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

CProfile named(const QString &name)
{
    CProfile p;
    p.ProfileName = name;
    p.Server = name.toLower() + QStringLiteral(".example.org");
    p.Port = 21;
    p.IsPassive = 1;
    return p;
}

class ProfileFileTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("ProfileEx.dat")); }
    void write(const QByteArray &bytes) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray bytes() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QByteArray rec(const QString &name) { return ProfileRecordFile::EncodeRecord(named(name)); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ProfileFileTest, NameListFollowsTheFileLength)
{
    EXPECT_TRUE(ReadProfileFile(path()).isEmpty()) << "missing file";
    write({});
    EXPECT_EQ(ReadProfileFile(path()), QStringList{QString()});
    write(QByteArray(1000, ' '));
    EXPECT_TRUE(ReadProfileFile(path()).isEmpty()) << "shorter than one record";
    write(rec("One") + QByteArray(1024, ' ') + QByteArray(452, 'z'));
    EXPECT_EQ(ReadProfileFile(path()), (QStringList{QStringLiteral("One"), QString()}));
}

TEST_F(ProfileFileTest, LoadsOneRecordOrNothing)
{
    write(rec("One") + QByteArray(1024, ' ') + rec("Three"));
    int r = 3;
    const auto third = loadProfileData(path(), r);
    ASSERT_TRUE(third);
    EXPECT_EQ(*third, named("Three"));
    r = 2;
    EXPECT_FALSE(loadProfileData(path(), r)) << "blank record";
    r = 4;
    EXPECT_FALSE(loadProfileData(path(), r)) << "beyond the end";
    r = 0;
    EXPECT_FALSE(loadProfileData(path(), r));
    r = 1;
    EXPECT_FALSE(loadProfileData(dir.filePath(QStringLiteral("none.dat")), r));
}

TEST_F(ProfileFileTest, WritingARecordKeepsEveryOtherByte)
{
    const QByteArray odd = QByteArray("garbage").leftJustified(1024, '#');
    write(rec("One") + odd + rec("Three"));
    const ProfileRecordFile file(path());
    file.writeRecord(1, rec("Uno"));
    EXPECT_EQ(bytes(), rec("Uno") + odd + rec("Three"));
    file.writeRecord(4, rec("Four"));
    EXPECT_EQ(bytes(), rec("Uno") + odd + rec("Three") + rec("Four"));
    EXPECT_THROW(file.writeRecord(6, rec("Gap")), RuntimeError);
    EXPECT_THROW(file.writeRecord(0, rec("Zero")), RuntimeError);
    EXPECT_EQ(file.recordCount(), 4);
}

TEST_F(ProfileFileTest, AppendingReplacesAPartialTail)
{
    write(rec("One") + QByteArray(300, 'x'));
    ProfileRecordFile(path()).writeRecord(2, rec("Two"));
    EXPECT_EQ(bytes(), rec("One") + rec("Two"));
}

TEST_F(ProfileFileTest, RemovingARecordKeepsEveryOtherByte)
{
    const QByteArray odd = QByteArray("garbage").leftJustified(1024, '#');
    write(rec("One") + odd + rec("Three") + rec("Four"));
    const ProfileRecordFile file(path());
    file.removeRecord(3);
    EXPECT_EQ(bytes(), rec("One") + odd + rec("Four"));
    EXPECT_THROW(file.removeRecord(4), RuntimeError);
    EXPECT_EQ(bytes(), rec("One") + odd + rec("Four"));
}

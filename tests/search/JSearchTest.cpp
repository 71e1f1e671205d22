#include "JSearch.h"
#include "JSearchCollection.h"
#include "SearchPrefFile.h"

#include "TestFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr auto kPrivate = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

JSearch Sample()
{
    JSearch s;
    s.SetServer("ftp.example.org");
    s.SetUser("anonymous");
    s.SetProfile("Isos");
    s.SetPassword("guest");
    s.SetPort(2121);
    s.SetCheckSize(1);
    s.SetSizeMin(20);   // upper limit (second box)
    s.SetSizeMax(10);   // lower limit (first box)
    s.SetCheckDate(1);
    s.SetDateMin("2026-02-01");
    s.SetDateMax("2026-01-01");
    s.SetFilePattern("*.iso;*.zip");
    s.SetSearchDate("2026-12-07 10:11:12");
    s.SetExtraPaths("/pub\r\n/mirror");
    s.SetSearchRoot(1);
    return s;
}

} // namespace

TEST(JSearch, GoldenRecordAndLine)
{
    const JSearch s = Sample();
    const QString sep(QChar(2));
    const QString expectedId = QString::fromLatin1(
        QCryptographicHash::hash(QStringLiteral("*.ISO;*.ZIPFTP.EXAMPLE.ORG2121ANONYMOUSGUEST120101"
                                                "2026-02-012026-01-01/PUB\r\n/MIRROR1")
                                     .toUtf8(),
                                 QCryptographicHash::Md5)
            .toHex());
    EXPECT_EQ(s.uID(), expectedId);
    const QString packed = QStringList{"ftp.example.org", "anonymous", "Isos", "guest", "2121", "1", "20", "10", "1",
                                       "2026-02-01", "2026-01-01", "*.iso;*.zip", "2026-12-07 10:11:12",
                                       "/pub\r\n/mirror", "1", expectedId}
                               .join(sep);
    EXPECT_EQ(s.GetPackedData(), packed);
    const QString line = SearchPrefFile::LineFor(s);
    const QString base64 = QString::fromLatin1(packed.toUtf8().toBase64());
    ASSERT_EQ(line.size(), 1024);
    EXPECT_TRUE(line.startsWith(base64));
    EXPECT_EQ(line.mid(base64.size()), QString(1024 - base64.size(), QLatin1Char('@')));
}

TEST(JSearch, SavedSearchesComeBackFieldForFieldWithPrivateMode)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("SearchProf.dat");
    JSearch first = Sample();
    JSearch second = Sample();
    second.SetProfile(QString::fromUtf8("Bücher – 本"));
    second.SetServer(QString::fromUtf8("ftp.bücher.example"));
    ASSERT_EQ(SearchPrefFile::Save(path, first, true), SearchPrefFile::SaveResult::Saved);
    ASSERT_EQ(SearchPrefFile::Save(path, second, true), SearchPrefFile::SaveResult::Saved);
    EXPECT_EQ(std::filesystem::status(path.toStdString()).permissions(), kPrivate);
    const QByteArray bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), 2 * 1026);
    EXPECT_EQ(bytes.mid(1024, 2), "\r\n");

    JSearchCollection loaded;
    EXPECT_EQ(SearchPrefFile::Load(path, loaded), 0);
    ASSERT_EQ(loaded.Count(), 2);
    const JSearch &a = *loaded.Item(0);
    EXPECT_EQ(a.GetPackedData(), first.GetPackedData());
    EXPECT_EQ(a.SizeMax(), 10);
    EXPECT_EQ(a.SizeMin(), 20);
    EXPECT_EQ(a.ExtraPaths(), "/pub\r\n/mirror");
    EXPECT_EQ(loaded.Item(1)->Profile(), QString::fromUtf8("Bücher – 本"));

    // A replacing save leaves one line.
    ASSERT_EQ(SearchPrefFile::Save(path, first, false), SearchPrefFile::SaveResult::Saved);
    EXPECT_EQ(ReadFileBytes(path).size(), 1026);
    EXPECT_EQ(std::filesystem::status(path.toStdString()).permissions(), kPrivate);
}

TEST(JSearch, StoredIdentifierIsKeptAndNumbersReadAsThePartSays)
{
    const QString sep(QChar(2));
    auto record = [&](const QString &port, const QString &checkSize, const QString &sizeMin, const QString &root,
                      const QString &id) {
        return QStringList{"s", "u", "p", "w", port, checkSize, sizeMin, "12abc", "0", "", "", "*", "", "", root, id}
            .join(sep);
    };
    JSearch s;
    ASSERT_TRUE(s.ReadFromString(record("21", "1", "x", "1xyz", "kept-as-read")));
    EXPECT_EQ(s.uID(), "kept-as-read");
    EXPECT_EQ(s.SizeMax(), 12);
    EXPECT_EQ(s.SizeMin(), 0);
    EXPECT_EQ(s.SearchRoot(), 1);

    EXPECT_FALSE(JSearch().ReadFromString(record("21abc", "1", "0", "0", "id")));
    EXPECT_FALSE(JSearch().ReadFromString(record("21", "1x", "0", "0", "id")));
    EXPECT_FALSE(JSearch().ReadFromString(record("21", "1", "0", "0", "id").section(sep, 0, 14)));
    JSearch partial;
    EXPECT_FALSE(partial.ReadFromString(record("99999999999", "1", "0", "0", "id")));
    EXPECT_EQ(partial.Password(), "w"); // fields before the bad one are kept

    // An empty stored identifier is computed.
    JSearch computed;
    ASSERT_TRUE(computed.ReadFromString(record("21", "0", "0", "0", "")));
    EXPECT_EQ(computed.uID().size(), 32);
}

TEST(JSearch, RecordsAtAndOverTheLineLimit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("SearchProf.dat");
    JSearch s;
    s.SetProfile("x");
    const int fixedLength = s.GetPackedData().size() - 1;
    s.SetProfile(QString(768 - fixedLength, QLatin1Char('p')));
    ASSERT_EQ(s.GetPackedData().toUtf8().size(), 768);
    const QString line = SearchPrefFile::LineFor(s);
    EXPECT_EQ(line.size(), 1024);
    EXPECT_FALSE(line.contains(QLatin1Char('@')));

    ASSERT_TRUE(WriteFileBytes(path, "before\r\n"));
    JSearch tooLong = s;
    tooLong.SetProfile(tooLong.Profile() + QStringLiteral("p"));
    EXPECT_EQ(SearchPrefFile::Save(path, tooLong, true), SearchPrefFile::SaveResult::TooLong);
    EXPECT_EQ(SearchPrefFile::Save(path, tooLong, false), SearchPrefFile::SaveResult::TooLong);
    EXPECT_EQ(ReadFileBytes(path), "before\r\n");
}

TEST(JSearch, LoadingSkipsEmptyCorruptAndDuplicateLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("SearchProf.dat");
    const JSearch s = Sample();
    JSearch renamed = Sample();
    renamed.SetProfile("Same fields, other name");
    JSearch other = Sample();
    other.SetServer("other.example");
    const QByteArray good = SearchPrefFile::LineFor(s).toLatin1();
    const QByteArray content = "\r\n" + QByteArray(1024, '@') + "\r\n" + good + "\r\n" + "!!notbase64$$\r\n"
                             + QByteArray("short").toBase64() + "\r\n" + SearchPrefFile::LineFor(renamed).toLatin1()
                             + "\r\n" + SearchPrefFile::LineFor(other).toLatin1() + "\n";
    ASSERT_TRUE(WriteFileBytes(path, content));
    JSearchCollection loaded;
    EXPECT_EQ(SearchPrefFile::Load(path, loaded), 3);
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.Item(0)->Profile(), "Isos");
    EXPECT_EQ(loaded.Item(1)->Server(), "other.example");
    EXPECT_FALSE(loaded.AddJSearch(renamed));
    EXPECT_EQ(ReadFileBytes(path), content); // skipped lines stay in the file

    JSearchCollection none;
    EXPECT_EQ(SearchPrefFile::Load(dir.filePath("missing.dat"), none), 0);
    EXPECT_EQ(none.Count(), 0);
}

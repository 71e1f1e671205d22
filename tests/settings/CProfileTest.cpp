// The packed text of a profile and the record slots of the profile file.
#include "CProfile.h"
#include "ProfileRecordFile.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QChar S(2);

QString packed(const QStringList &fields) { return fields.join(S); }

CProfile homeProfile()
{
    CProfile p;
    p.ProfileName = QStringLiteral("Home");
    p.Server = QStringLiteral("ftp.example.org");
    p.Port = 2121;
    p.User = QStringLiteral("joe");
    p.Password = QStringLiteral("s3cret");
    p.IsPassive = 1;
    p.LocalPath = QStringLiteral("/home/joe");
    p.RemotePath = QStringLiteral("/pub");
    p.TimeZone = 33;
    p.KeepAlive = 1;
    return p;
}

} // namespace

TEST(CProfile, PacksElevenFieldsInOrder)
{
    CProfile p;
    p.ProfileName = QStringLiteral("a");
    p.Server = QStringLiteral("b");
    p.Port = 21;
    p.User = QStringLiteral("c");
    p.IsPassive = 1;
    p.RemotePath = QStringLiteral("/");
    const QString text = p.GetPackedData();
    EXPECT_EQ(text.size(), 20);
    EXPECT_EQ(text, packed({"a", "b", "21", "c", "", "1", "0", "", "/", "0", "0"}));
}

TEST(CProfile, RoundTripKeepsEveryFieldIncludingEmptyOnes)
{
    const CProfile original = homeProfile();
    CProfile copy;
    ASSERT_TRUE(copy.ReadFromString(original.GetPackedData()));
    EXPECT_EQ(copy, original);

    CProfile blank;
    CProfile blankCopy;
    blankCopy.ProfileName = QStringLiteral("x");
    ASSERT_TRUE(blankCopy.ReadFromString(blank.GetPackedData()));
    EXPECT_EQ(blankCopy, blank);
}

TEST(CProfile, TenFieldsLoadAndKeepAliveIsOptional)
{
    CProfile p;
    ASSERT_TRUE(p.ReadFromString(packed({"Old", "host", "21", "u", "p", "0", "0", "", "/x", "5"})));
    EXPECT_EQ(p.TimeZone, 5);
    EXPECT_EQ(p.KeepAlive, 0);

    CProfile q;
    q.KeepAlive = 1;
    ASSERT_TRUE(q.ReadFromString(packed({"n", "h", "21", "u", "p", "0", "0", "", "", "0", "999", "extra"})));
    EXPECT_EQ(q.KeepAlive, 1) << "an out-of-range keep-alive keeps the previous value";
}

TEST(CProfile, FailuresStopAtTheFirstBadElement)
{
    CProfile p;
    EXPECT_FALSE(p.ReadFromString(QString()));
    EXPECT_FALSE(p.ReadFromString(packed({"n", "h", "21", "u", "p", "1", "0", "", ""})));

    CProfile q;
    EXPECT_FALSE(q.ReadFromString(packed({"name", "host", "21", "user", "pw", "300", "0", "", "", "0", "0"})));
    EXPECT_EQ(q.ProfileName, QStringLiteral("name"));
    EXPECT_EQ(q.Password, QStringLiteral("pw"));
    EXPECT_EQ(q.IsPassive, 0) << "the failing field is not assigned";

    CProfile r;
    EXPECT_FALSE(r.ReadFromString(packed({"n", "h", "-1", "u", "p", "1", "-1", "", "", "0", "0"})));
    EXPECT_EQ(r.Port, -1) << "the port is signed";
    EXPECT_FALSE(r.ReadFromString(packed({"n", "h", "99999999999", "u", "p", "1", "0", "", "", "0", "0"})));
}

TEST(CProfile, NumbersAreLeadingNumericPrefixesRoundedHalfToEven)
{
    CProfile p;
    ASSERT_TRUE(p.ReadFromString(packed({"n", "h", "  21abc", "u", "p", "2.5", "x", "", "", "3.5", "1"})));
    EXPECT_EQ(p.Port, 21);
    EXPECT_EQ(p.IsPassive, 2);
    EXPECT_EQ(p.IsDeleted, 0);
    EXPECT_EQ(p.TimeZone, 4);

    EXPECT_EQ(LeadingNumber(QStringLiteral("")), 0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("-7x")), -7);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e3")), 1000);
    EXPECT_EQ(LeadingNumber(QStringLiteral("12e")), 12);
    EXPECT_EQ(LeadingNumber(QStringLiteral("abc21")), 0);
}

TEST(ProfileRecord, GoldenRecordsAreByteExact)
{
    const QByteArray record = ProfileRecordFile::EncodeRecord(homeProfile());
    const QByteArray base64 = "SG9tZQJmdHAuZXhhbXBsZS5vcmcCMjEyMQJqb2UCczNjcmV0AjECMAIvaG9tZS9qb2UCL3B1YgIzMwIx";
    ASSERT_EQ(record.size(), 1024);
    EXPECT_EQ(record.left(base64.size()), base64);
    EXPECT_EQ(record.mid(base64.size()), QByteArray(1024 - base64.size(), ' '));
    EXPECT_EQ(ProfileRecordFile::DecodeRecord(record), homeProfile());
}

TEST(ProfileRecord, OlderRecordsDecode)
{
    // Ten fields, written before the keep-alive choice existed.
    const auto old = ProfileRecordFile::DecodeRecord(QByteArray("T2xkAmhvc3QCMjECdQJwAjACMAICL3gCNQ==").leftJustified(1024, ' '));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->ProfileName, QStringLiteral("Old"));
    EXPECT_EQ(old->RemotePath, QStringLiteral("/x"));
    EXPECT_EQ(old->KeepAlive, 0);

    // A name written in the old single-byte encoding.
    const auto accented = ProfileRecordFile::DecodeRecord(QByteArray("Q2Fm6QJoAjIxAnUCcAIxAjACAgIwAjA=").leftJustified(1024, ' '));
    ASSERT_TRUE(accented);
    EXPECT_EQ(accented->ProfileName, QStringLiteral("Caf\u00e9"));
}

TEST(ProfileRecord, UndecodableRecordsAreNotProfiles)
{
    EXPECT_FALSE(ProfileRecordFile::DecodeRecord(QByteArray(1024, ' ')));
    EXPECT_FALSE(ProfileRecordFile::DecodeRecord(QByteArray(1024, '\0')));
    EXPECT_FALSE(ProfileRecordFile::DecodeRecord(QByteArray("!!!!not base64 at all").leftJustified(1024, ' ')));
    // Nine fields only.
    EXPECT_FALSE(ProfileRecordFile::DecodeRecord(QByteArray("bgJoAjIxAnUCcAIxAjACAg==").leftJustified(1024, ' ')));
}

TEST(ProfileRecord, OnlyProfilesThatDecodeBackAreStorable)
{
    CProfile p = homeProfile();
    EXPECT_EQ(CheckStorable(p), ProfileStorability::Storable);

    p.Password = QStringLiteral("a") + QChar(2) + QStringLiteral("b");
    EXPECT_EQ(CheckStorable(p), ProfileStorability::ForbiddenCharacter);
    p.Password = QStringLiteral("a") + QChar(0);
    EXPECT_EQ(CheckStorable(p), ProfileStorability::ForbiddenCharacter);

    // Exactly 768 bytes still fit a record and decode back.
    p = CProfile();
    p.LocalPath = QString(768 - CProfile().GetPackedData().size(), QLatin1Char('l'));
    ASSERT_EQ(p.GetPackedData().toUtf8().size(), 768);
    EXPECT_EQ(CheckStorable(p), ProfileStorability::Storable);
    EXPECT_EQ(ProfileRecordFile::DecodeRecord(ProfileRecordFile::EncodeRecord(p)), p);

    // Byte length counts, not characters: one two-byte letter tips it over.
    p.LocalPath.chop(1);
    p.LocalPath += QChar(0xE9);
    EXPECT_EQ(CheckStorable(p), ProfileStorability::TooLong);
}

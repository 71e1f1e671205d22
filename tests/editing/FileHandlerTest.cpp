// The handler record's packed form and key, and the keyed collection.
#include "ErrorLog.h"
#include "FileHandler.h"
#include "FileHandlerCollection.h"
#include "MD5Driver.h"

#include <gtest/gtest.h>

namespace {

const QChar kSep(2);

FileHandler MakeHandler(const QString &patterns, qint16 action, const QString &title = {})
{
    FileHandler handler;
    handler.SetFilePatterns(patterns);
    handler.SetAction(action);
    handler.SetApplicationTitle(title);
    return handler;
}

} // namespace

TEST(FileHandler, KeyIgnoresPatternCaseButNotAction)
{
    EXPECT_EQ(MakeHandler("*.TXT", 1).UniqueID(), MakeHandler("*.txt", 1).UniqueID());
    EXPECT_NE(MakeHandler("*.txt", 1).UniqueID(), MakeHandler("*.txt", 2).UniqueID());
    EXPECT_EQ(MakeHandler("*.txt", 2).UniqueID(), DigestStrToHexStr("*.TXT2"));
    // Application and title do not enter the key.
    FileHandler other = MakeHandler("*.txt", 2, "Other");
    other.SetApplicationPath("/bin/other");
    EXPECT_EQ(other.UniqueID(), DigestStrToHexStr("*.TXT2"));
}

TEST(FileHandler, KeyIsKeptUntilRegenerated)
{
    FileHandler handler = MakeHandler("*.txt", 1);
    const QString first = handler.UniqueID();
    handler.SetFilePatterns("*.log");
    handler.SetAction(2);
    EXPECT_EQ(handler.UniqueID(), first);
    EXPECT_EQ(handler.RegenerateID(), DigestStrToHexStr("*.LOG2"));
    EXPECT_EQ(handler.UniqueID(), DigestStrToHexStr("*.LOG2"));
}

TEST(FileHandler, FreshHandlerPacksEightFields)
{
    const QStringList fields = FileHandler().GetPackedData().split(kSep);
    EXPECT_EQ(fields, QStringList({"", "", "", "0", "0", DigestStrToHexStr("0"), "", "0"}));
}

TEST(FileHandler, PackedRoundTripKeepsEveryFieldAndTheStoredKey)
{
    FileHandler handler = MakeHandler("*.txt;*.LOG", 3, "Gedit Ünï");
    handler.SetApplicationPath("/usr/bin/gedit");
    handler.SetApplicationFlags("--new-window \"x\"");
    handler.SetInternalEditorEnabled(1);
    handler.SetSystemOpenEnabled(1);
    const QString packed = handler.GetPackedData();

    FileHandler back;
    ASSERT_TRUE(back.ReadFromString(packed));
    EXPECT_EQ(back.GetPackedData(), packed);
    EXPECT_EQ(back.ApplicationTitle(), "Gedit Ünï");
    EXPECT_EQ(back.Action(), 3);
    EXPECT_EQ(back.SystemOpenEnabled(), 1);

    // A stored key is taken as it is, even when patterns would give another.
    QStringList fields = packed.split(kSep);
    fields[5] = "0123456789abcdef0123456789abcdef";
    FileHandler stored;
    ASSERT_TRUE(stored.ReadFromString(fields.join(kSep)));
    EXPECT_EQ(stored.UniqueID(), "0123456789abcdef0123456789abcdef");
    // An empty stored key is computed on first use.
    fields[5].clear();
    ASSERT_TRUE(stored.ReadFromString(fields.join(kSep)));
    EXPECT_EQ(stored.UniqueID(), handler.RegenerateID());
}

TEST(FileHandler, ShortOrBadRecordsFailAndKeepLaterFields)
{
    FileHandler handler;
    handler.SetSystemOpenEnabled(7);
    handler.SetApplicationTitle("Old");
    EXPECT_FALSE(handler.ReadFromString(QStringList({"*.a", "p", "f", "1", "2", "id", "New"}).join(kSep)));
    EXPECT_EQ(handler.SystemOpenEnabled(), 7);
    EXPECT_EQ(handler.ApplicationTitle(), "New"); // assigned before the missing field
    EXPECT_EQ(handler.FilePatterns(), "*.a");

    FileHandler bad;
    bad.SetAction(1);
    EXPECT_FALSE(bad.ReadFromString(QStringList({"*.b", "p", "f", "1", "x", "id", "T", "0"}).join(kSep)));
    EXPECT_EQ(bad.FilePatterns(), "*.b");
    EXPECT_EQ(bad.InternalEditorEnabled(), 1);
    EXPECT_EQ(bad.Action(), 1);
    EXPECT_FALSE(bad.ReadFromString(QStringList({"*.b", "p", "f", "1", "2", "id", "T", "300"}).join(kSep)));
    EXPECT_FALSE(bad.ReadFromString(QStringList({"*.b", "p", "f", "", "2", "id", "T", "0"}).join(kSep)));

    // Extra fields are ignored; blanks around numbers are allowed.
    FileHandler extra;
    EXPECT_TRUE(extra.ReadFromString(QStringList({"*.c", "", "", " 1 ", "2", "id", "T", "1", "junk"}).join(kSep)));
    EXPECT_EQ(extra.InternalEditorEnabled(), 1);
}

TEST(FileHandlerCollection, KeyedInInsertionOrderRefusingDuplicates)
{
    FileHandlerCollection handlers;
    EXPECT_TRUE(handlers.AddFileHandler(MakeHandler("*.txt", 1, "A")));
    EXPECT_TRUE(handlers.AddFileHandler(MakeHandler("*.log", 2, "B")));
    EXPECT_FALSE(handlers.AddFileHandler(MakeHandler("*.TXT", 1, "C")));
    EXPECT_TRUE(handlers.AddFileHandler(MakeHandler("*.c", 1, "D")));
    ASSERT_EQ(handlers.Count(), 3);

    QStringList titles;
    for (const FileHandler &h : handlers)
        titles << h.ApplicationTitle();
    EXPECT_EQ(titles, QStringList({"A", "B", "D"}));

    const QString key = MakeHandler("*.log", 2).UniqueID();
    EXPECT_TRUE(handlers.ContainsKey(key));
    EXPECT_EQ(handlers.Item(key).ApplicationTitle(), "B");
    EXPECT_EQ(handlers.Item(3).ApplicationTitle(), "D");
    handlers.Remove(key);
    EXPECT_FALSE(handlers.ContainsKey(key));
    EXPECT_FALSE(handlers.ContainsKey("absent"));
    EXPECT_THROW(handlers.Item("absent"), RuntimeError);
    EXPECT_THROW(handlers.Item(0), RuntimeError);
    EXPECT_THROW(handlers.Remove(5), RuntimeError);
    handlers.Remove(1);
    EXPECT_EQ(handlers.Item(1).ApplicationTitle(), "D");
}

TEST(FileHandlerCollection, AddUsesGivenKeyOrTheHandlersOwn)
{
    FileHandlerCollection handlers;
    FileHandler &own = handlers.Add("*.txt", "/bin/ed", "-s", 1, 2);
    EXPECT_EQ(own.UniqueID(), DigestStrToHexStr("*.TXT2"));
    EXPECT_TRUE(handlers.ContainsKey(own.UniqueID()));
    handlers.Add("*.txt", "", "", 0, 2, "custom");
    EXPECT_TRUE(handlers.ContainsKey("custom"));
    EXPECT_THROW(handlers.Add("*.TXT", "", "", 0, 2), RuntimeError);
    EXPECT_EQ(handlers.Count(), 2);
}

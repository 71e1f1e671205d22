#include "CompareTestSupport.h"
#include "FolderComparison.h"
#include "LocalCounterparts.h"
#include "LocalFolderReadAhead.h"
#include "LocalTreeCompare.h"
#include "DataRoot.h"
#include "Paths.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

void setMtime(const QString &path, qint64 secs, long nanos = 0)
{
    timespec times[2] = {{static_cast<time_t>(secs), nanos}, {static_cast<time_t>(secs), nanos}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

void writeFile(const QString &path, const QByteArray &bytes, qint64 secs = 1600000000)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    setMtime(path, secs);
}

class LocalCompareTest : public ::testing::Test
{
protected:
    QString a(const QString &rel = {}) const { return rel.isEmpty() ? m_a.path() : m_a.path() + "/" + rel; }
    QString b(const QString &rel = {}) const { return rel.isEmpty() ? m_b.path() : m_b.path() + "/" + rel; }

    // Starts the window's comparison of A with B, its rows going to `sink`.
    void startAgainstB(FolderComparison &comparison)
    {
        CompareLocation first;
        first.LocalPath = a();
        CompareLocation second;
        second.LocalPath = b();
        comparison.Start(first, second);
    }

    void compare(const QString &patterns = "*", bool onlyConflict = false)
    {
        run.SetNamePatterns(CompareRules::SplitPatterns(patterns));
        run.OnlyConflict = onlyConflict;
        run.Sink = &sink;
        LocalCounterparts second;
        LocalTreeCompare walk(run, second, a(), b(), "CompareFolders_LocalToLocal");
        EXPECT_EQ(walk.Step(), LocalTreeCompare::Outcome::Done);
    }

    // A tree of 155 folders, three deep, whose files share their names from
    // folder to folder: a file judged against another folder's counterpart, or
    // a row out of place, changes what the rows say. Returns each first-side
    // entry's expected remark by its path.
    QHash<QString, QString> makeTree()
    {
        QHash<QString, QString> remarks;
        int fileCount = 0;
        int folderCount = 0;
        std::function<void(const QString &, bool, int)> fill = [&](const QString &rel, bool inSecond, int depth) {
            const QString folderA = rel.isEmpty() ? a() : a(rel);
            const QString folderB = rel.isEmpty() ? b() : b(rel);
            QDir().mkpath(folderA);
            if (inSecond)
                QDir().mkpath(folderB);
            for (int f = 0; f < (folderCount * 7 + depth) % 6; ++f) {
                const QString name = QString("f%1.txt").arg(f);
                const int kind = inSecond ? fileCount++ % 5 : 0;
                writeFile(folderA + "/" + name, QByteArray(f + 1, 'a'));
                if (kind == 1)
                    writeFile(folderB + "/" + name, QByteArray(f + 2, 'a'));
                else if (kind == 2)
                    writeFile(folderB + "/" + name, QByteArray(f + 1, 'a'), 1600000100);
                else if (kind != 0)
                    writeFile(folderB + "/" + name, QByteArray(f + 1, 'a'));
                static const char *const kTexts[] = {"Missing", "Size changed", "FileTime changed", "Ok", "Ok"};
                remarks.insert(folderA + "/" + name, kTexts[kind]);
            }
            if (depth == 3)
                return;
            for (int d = 0; d < 5; ++d) {
                const QString sub = (rel.isEmpty() ? QString() : rel + "/") + QString("d%1").arg(d);
                const bool subInSecond = inSecond && ++folderCount % 7 != 0;
                remarks.insert(a(sub), subInSecond ? "OK" : "Missing");
                fill(sub, subInSecond, depth + 1);
            }
        };
        fill(QString(), true, 0);
        return remarks;
    }

    // The rows a one-folder-at-a-time walk makes: a folder's sub-folder rows,
    // its file rows, then each sub-folder's subtree, in enumeration order.
    static void expectRows(const QString &folder, const QHash<QString, QString> &remarks,
                           std::vector<std::string> &rows)
    {
        const LocalFolderContents contents = ReadLocalFolder(folder);
        for (const LocalEntry &sub : contents.Folders)
            rows.push_back(rowText(sub.Name, folder, remarks.value(JoinLocalPath(folder, sub.Name))));
        for (const LocalEntry &file : contents.Files)
            rows.push_back(rowText(file.Name, folder, remarks.value(JoinLocalPath(folder, file.Name))));
        for (const LocalEntry &sub : contents.Folders)
            expectRows(JoinLocalPath(folder, sub.Name), remarks, rows);
    }
    static std::string rowText(const QString &name, const QString &folder, const QString &remark)
    {
        return (folder + " | " + name + " | " + remark).toStdString();
    }
    std::vector<std::string> rowTexts() const
    {
        std::vector<std::string> texts;
        for (const FileListRow &row : sink.rows)
            texts.push_back(rowText(row.Text, row.SubItems.value(0), VectorSink::Remarks(row)));
        return texts;
    }

    QTemporaryDir m_a;
    QTemporaryDir m_b;
    CompareRun run;
    VectorSink sink;
};

} // namespace

TEST_F(LocalCompareTest, VerdictsRowsAndCounters)
{
    writeFile(a("same.txt"), "abc");
    writeFile(b("same.txt"), "abc");
    writeFile(a("grown.txt"), "abcd", 1600000100);
    writeFile(b("grown.txt"), "abc");
    writeFile(a("touched.txt"), "abc", 1600000100);
    writeFile(b("touched.txt"), "abc");
    writeFile(a("new.doc"), "x");
    writeFile(b("only-second.txt"), "x");
    writeFile(a("sub/inner.txt"), "x");
    writeFile(b("sub/inner.txt"), "x");
    writeFile(a("gone/deep.txt"), "x");
    writeFile(a(".hidden"), "x");
    compare();

    EXPECT_EQ(sink.Find("only-second.txt"), nullptr); // only the first side is listed
    EXPECT_EQ(VectorSink::Remarks(*sink.Find("same.txt")), "Ok");
    EXPECT_EQ(VectorSink::Remarks(*sink.Find("sub")), "OK");
    const FileListRow *gone = sink.Find("gone");
    EXPECT_EQ(VectorSink::Remarks(*gone), "Missing");
    EXPECT_TRUE(gone->TextBold && gone->SubItemsBold);
    EXPECT_EQ(gone->ForeColor, QColor(255, 0, 0));
    EXPECT_EQ(VectorSink::Remarks(*sink.Find("deep.txt")), "Missing");
    EXPECT_EQ(sink.Find("deep.txt")->SubItems.value(0), a("gone"));
    EXPECT_EQ(VectorSink::Remarks(*sink.Find("new.doc")), "Missing");
    EXPECT_EQ(VectorSink::Remarks(*sink.Find(".hidden")), "Missing");

    const FileListRow *grown = sink.Find("grown.txt"); // size and time differ: the size wins
    EXPECT_EQ(VectorSink::Remarks(*grown), "Size changed");
    const QString t1 = CompareRules::TimeText(QDateTime::fromSecsSinceEpoch(1600000100));
    const QString t0 = CompareRules::TimeText(QDateTime::fromSecsSinceEpoch(1600000000));
    EXPECT_EQ(grown->ToolTip, "4 Vs. 3 {" + t1 + " Vs. " + t0 + "}");
    EXPECT_EQ(grown->Tag, "b4");
    EXPECT_EQ(sink.Find("touched.txt")->ToolTip, t1 + " Vs. " + t0);

    // Folder rows of a folder, then its files, then each sub-folder's subtree.
    EXPECT_TRUE(sink.rows.front().IsFolder);
    const auto at = [&](const QString &name) { return sink.Find(name) - sink.rows.data(); };
    EXPECT_GT(at("deep.txt"), at("same.txt"));
    EXPECT_GT(at("inner.txt"), at("new.doc"));
    for (size_t i = 0; i < sink.rows.size(); ++i)
        EXPECT_EQ(sink.rows[i].Key.mid(1).toInt(), static_cast<int>(i) + 1);

    EXPECT_EQ(run.Counts.TotalFiles, 7);
    EXPECT_EQ(run.Counts.CountOk, 2);
    EXPECT_EQ(run.Counts.CountMissing, 3);
    EXPECT_EQ(run.Counts.CountSizeChanged, 1);
    EXPECT_EQ(run.Counts.CountTimeChanged, 1);
    EXPECT_EQ(run.Counts.PatternHits, 7);
}

TEST_F(LocalCompareTest, FiltersCountWhatTheyHide)
{
    writeFile(a("a.TXT"), "x");
    writeFile(b("a.TXT"), "x");
    writeFile(a("b.doc"), "x");
    writeFile(a("c.bin"), "x");
    writeFile(a("dir/d.txt"), "x");
    QDir().mkpath(b("dir"));
    compare("*.txt; *.doc", true);
    EXPECT_EQ(sink.Find("a.TXT"), nullptr); // "Ok" hidden by "only altered"
    EXPECT_EQ(sink.Find("b.doc"), nullptr); // " *.doc" begins with a blank
    EXPECT_EQ(sink.Find("c.bin"), nullptr);
    EXPECT_NE(sink.Find("dir"), nullptr);   // folder rows always show
    EXPECT_NE(sink.Find("d.txt"), nullptr);
    EXPECT_EQ(run.Counts.TotalFiles, 4);
    EXPECT_EQ(run.Counts.PatternHits, 2);
    EXPECT_EQ(run.Counts.CountOk + run.Counts.CountMissing + run.Counts.CountSizeChanged + run.Counts.CountTimeChanged,
              run.Counts.PatternHits);
}

TEST_F(LocalCompareTest, TimesCompareAtWholeSecondsAndSizesAre64Bit)
{
    writeFile(a("fine.txt"), "x");
    writeFile(b("fine.txt"), "x");
    setMtime(a("fine.txt"), 1600000000, 250000000);
    setMtime(b("fine.txt"), 1600000000, 900000000);
    // A sparse 3 GiB file against a 1-byte one.
    {
        QFile big(a("big.iso"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(3LL * 1024 * 1024 * 1024));
    }
    writeFile(b("big.iso"), "x");
    setMtime(a("big.iso"), 1600000000);
    compare();
    EXPECT_EQ(VectorSink::Remarks(*sink.Find("fine.txt")), "Ok");
    const FileListRow *big = sink.Find("big.iso");
    EXPECT_EQ(VectorSink::Remarks(*big), "Size changed");
    EXPECT_EQ(big->Tag, "b3221225472");
    EXPECT_TRUE(big->ToolTip.startsWith("3221225472 Vs. 1 {"));
}

TEST_F(LocalCompareTest, LinkCyclesEndAndDeepTreesNeedNoStack)
{
    writeFile(a("loop/f.txt"), "x");
    ASSERT_EQ(symlink("..", QFile::encodeName(a("loop/up")).constData()), 0);
    QString deep = a("deep");
    for (int level = 0; level < 1000; ++level)
        deep += "/d";
    ASSERT_TRUE(QDir().mkpath(deep));
    writeFile(deep + "/bottom.txt", "x");
    compare();
    EXPECT_NE(sink.Find("up"), nullptr); // listed, not entered again
    int files = 0;
    for (const FileListRow &row : sink.rows)
        files += row.Text == "f.txt";
    EXPECT_EQ(files, 1);
    EXPECT_NE(sink.Find("bottom.txt"), nullptr);
}

TEST_F(LocalCompareTest, MissingFirstPathEndsOnceWithOneLogLine)
{
    QFile::remove(DataRoot::AppPath() + "/error.log");
    FolderComparison comparison;
    comparison.Run().Sink = &sink;
    QSignalSpy ended(&comparison, &FolderComparison::finished);
    CompareLocation first;
    first.LocalPath = a("absent");
    CompareLocation second;
    second.LocalPath = b();
    comparison.Start(first, second);
    EXPECT_TRUE(comparison.Running());
    ASSERT_TRUE(ended.wait(5000));
    QTest::qWait(50);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(sink.rows.empty());
    const QByteArray log = ReadFileBytes(DataRoot::AppPath() + "/error.log");
    EXPECT_EQ(log.count("CompareFolders_LocalToLocal"), 1);
}

TEST_F(LocalCompareTest, StopEndsTheRunningWalkOnce)
{
    for (int i = 0; i < 3000; ++i)
        writeFile(a(QString("f%1.txt").arg(i)), "x");
    FolderComparison comparison;
    comparison.Run().Sink = &sink;
    QSignalSpy ended(&comparison, &FolderComparison::finished);
    startAgainstB(comparison);
    comparison.RequestStop();
    ASSERT_TRUE(ended.wait(5000));
    QTest::qWait(50);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(comparison.Running());
    EXPECT_LT(sink.rows.size(), 3000u);
}

TEST_F(LocalCompareTest, AWideDeepTreeGivesEachEntryOneRowInWalkOrder)
{
    const QHash<QString, QString> remarks = makeTree();
    std::vector<std::string> expected;
    expectRows(a(), remarks, expected);
    ASSERT_EQ(expected.size(), static_cast<size_t>(remarks.size()));

    // In one go, and in slices between a window's events.
    compare();
    EXPECT_EQ(rowTexts(), expected);
    for (size_t i = 0; i < sink.rows.size(); ++i)
        EXPECT_EQ(sink.rows[i].Key.mid(1).toInt(), static_cast<int>(i) + 1);

    sink.rows.clear();
    run.Counts = {};
    FolderComparison comparison;
    comparison.Run().Sink = &sink;
    QSignalSpy ended(&comparison, &FolderComparison::finished);
    startAgainstB(comparison);
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(rowTexts(), expected);
    EXPECT_EQ(comparison.Run().Counts.TotalFiles + 155, static_cast<qint64>(expected.size()));
}

TEST_F(LocalCompareTest, AStopAfterTheFirstFolderAddsNoFurtherRow)
{
    for (int d = 0; d < 300; ++d) {
        for (int f = 0; f < 3; ++f)
            writeFile(a(QString("d%1/f%2.txt").arg(d).arg(f)), "x");
    }
    std::vector<std::string> expected;
    expectRows(a(), {}, expected);
    FolderComparison comparison;
    comparison.Run().Sink = &sink;
    QSignalSpy ended(&comparison, &FolderComparison::finished);
    QObject::connect(&comparison, &FolderComparison::countsChanged, &comparison, [&] { comparison.RequestStop(); });
    startAgainstB(comparison);
    ASSERT_TRUE(ended.wait(5000));
    const size_t rowsAtEnd = sink.rows.size();
    QTest::qWait(50);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(sink.rows.size(), rowsAtEnd);
    EXPECT_EQ(rowsAtEnd, 300u); // the top folder's folder rows, then nothing
    std::vector<std::string> texts;
    for (const FileListRow &row : sink.rows)
        texts.push_back(rowText(row.Text, row.SubItems.value(0), {}));
    EXPECT_EQ(texts, std::vector<std::string>(expected.begin(), expected.begin() + 300));
}

TEST(LocalFolderReadAheadTest, EachFolderGetsItsOwnContentsWhateverTheWalkSkips)
{
    QTemporaryDir a;
    QTemporaryDir b;
    for (const char *rel : {"x/x1", "x/x2", "y/y1", "z"})
        ASSERT_TRUE(QDir().mkpath(a.path() + "/" + rel));
    for (const char *rel : {"y/b-only", "z"})
        ASSERT_TRUE(QDir().mkpath(b.path() + "/" + rel));
    const auto names = [](const LocalFolderContents &contents) {
        QStringList list;
        for (const LocalEntry &entry : contents.Folders)
            list << entry.Name;
        list.sort();
        return list.join(",");
    };
    const QString ya = JoinLocalPath(a.path(), "y");
    const QString yb = JoinLocalPath(b.path(), "y");
    LocalFolderReadAhead readAhead(a.path(), b.path(), true, 2);
    ASSERT_TRUE(readAhead.Prepare(a.path(), b.path(), QDeadlineTimer(QDeadlineTimer::Forever)));
    EXPECT_EQ(names(readAhead.TakeFirst()), "x,y,z");
    EXPECT_EQ(names(readAhead.TakeSecond(b.path())), "y,z");
    // The walk passes "x" (entered before, say) and opens "y": foreseen, with its own second folder.
    ASSERT_TRUE(readAhead.Prepare(ya, yb, QDeadlineTimer(QDeadlineTimer::Forever)));
    EXPECT_EQ(names(readAhead.TakeFirst()), "y1");
    EXPECT_EQ(names(readAhead.TakeSecond(yb)), "b-only");
    // Going back to "x" was not foreseen: it is read there and then, and what follows it is foreseen anew.
    const QString xa = JoinLocalPath(a.path(), "x");
    ASSERT_TRUE(readAhead.Prepare(xa, JoinLocalPath(b.path(), "x"), QDeadlineTimer(QDeadlineTimer::Forever)));
    EXPECT_EQ(names(readAhead.TakeFirst()), "x1,x2");
    const LocalFolderContents absent = readAhead.TakeSecond(JoinLocalPath(b.path(), "x"));
    EXPECT_FALSE(absent.Ok);
    EXPECT_FALSE(absent.Error.isEmpty());
    ASSERT_TRUE(readAhead.Prepare(JoinLocalPath(xa, "x2"), JoinLocalPath(b.path(), "x/x2"),
                                  QDeadlineTimer(QDeadlineTimer::Forever)));
    EXPECT_TRUE(readAhead.TakeFirst().Ok);
    // A second folder other than the pair's is read as asked.
    EXPECT_EQ(names(readAhead.TakeSecond(yb)), "b-only");
    readAhead.Halt();
    ASSERT_TRUE(readAhead.Prepare(JoinLocalPath(a.path(), "z"), JoinLocalPath(b.path(), "z"),
                                  QDeadlineTimer(QDeadlineTimer::Forever)));
    EXPECT_TRUE(readAhead.TakeFirst().Ok); // halted: the walk reads for itself
}

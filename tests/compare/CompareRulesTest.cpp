#include "CompareRules.h"
#include "CompareRun.h"
#include "FileListModel.h"

#include <QFont>

#include <gtest/gtest.h>

using namespace CompareRules;

TEST(CompareRulesTest, VerdictsTakeTheirOrderTextsAndColours)
{
    EXPECT_EQ(Decide(false, false, false), Verdict::Missing);
    EXPECT_EQ(Decide(true, false, false), Verdict::SizeChanged); // a size difference hides a time difference
    EXPECT_EQ(Decide(true, true, false), Verdict::TimeChanged);
    EXPECT_EQ(Decide(true, true, true), Verdict::Ok);
    EXPECT_EQ(VerdictText(Verdict::SizeChanged), "Size changed");
    EXPECT_EQ(VerdictText(Verdict::TimeChanged), "FileTime changed");
    EXPECT_EQ(VerdictColour(Verdict::Missing), QColor(255, 0, 0));
    EXPECT_EQ(VerdictColour(Verdict::SizeChanged), QColor(255, 69, 0));
    EXPECT_EQ(VerdictColour(Verdict::TimeChanged), QColor(119, 136, 153));
    EXPECT_FALSE(VerdictColour(Verdict::Ok).isValid());
    EXPECT_EQ(SizeDetail(10, 20, "a", "b"), "10 Vs. 20 {a Vs. b}");
    EXPECT_EQ(TimeDetail("a", "b"), "a Vs. b");
}

TEST(CompareRulesTest, PatternsAreSplitAsTyped)
{
    CompareRun run;
    run.SetNamePatterns(SplitPatterns(" *.txt;*.doc "));
    EXPECT_TRUE(run.PassesPattern("A.TXT"));
    EXPECT_TRUE(run.PassesPattern("b.doc"));
    run.SetNamePatterns(SplitPatterns("*.txt; *.doc"));
    EXPECT_TRUE(run.PassesPattern("A.TXT"));
    EXPECT_FALSE(run.PassesPattern("b.doc")); // the second pattern begins with a blank
    EXPECT_EQ(SplitPatterns("   "), QStringList{"*"});
}

TEST(CompareRulesTest, FileIconKeys)
{
    const auto has = [](const QString &key) { return key != QLatin1String("e_zzz"); };
    EXPECT_EQ(FileIconKey("Setup.EXE", has), "Setup.EXE");
    EXPECT_EQ(FileIconKey("app.ico", has), "app.ico");
    EXPECT_EQ(FileIconKey("Notes.TXT", has), "e_txt");
    EXPECT_EQ(FileIconKey("README", has), "donty");
    EXPECT_EQ(FileIconKey("a.zzz", has), "donty"); // no picture under the key
}

TEST(CompareRulesTest, RowsCarryLayoutColourBoldAndDetail)
{
    const FileListRow file = FileRow("a.txt", "e_txt", "/x", 1536, "t1", 5, Verdict::SizeChanged, "1536 Vs. 1 {t1 Vs. t2}");
    EXPECT_EQ(file.SubItems, (QStringList{"/x", "       1.5KB", "t1", "Size changed"}));
    EXPECT_EQ(file.Tag, "b1536");
    EXPECT_EQ(file.ForeColor, QColor(255, 69, 0));
    EXPECT_FALSE(file.TextBold);

    const FileListRow folder = FolderRow("sub", "/x", 0, "t", 0, Verdict::Ok, "OK", FolderBold::All);
    EXPECT_EQ(folder.SubItems, (QStringList{"/x", "       0.0KB", "t", "OK"}));
    EXPECT_EQ(folder.Tag, "d0");
    EXPECT_TRUE(folder.TextBold && folder.SubItemsBold);
    EXPECT_FALSE(folder.ForeColor.isValid());
    const FileListRow ftpFolder = FolderRow("sub", "/x", 0, "t", 0, Verdict::Missing, "Ok", FolderBold::SubItemsOnly);
    EXPECT_FALSE(ftpFolder.TextBold);
    EXPECT_EQ(ftpFolder.SubItems.value(3), "Missing");

    // The list model shows them: colour on every cell, bold where asked, the tool tip on "Remarks" only.
    FileListModel model({"File", "Location", "Size", "Modified", "Remarks"});
    model.appendRows({file, folder});
    EXPECT_EQ(model.data(model.index(0, 2), Qt::ForegroundRole).value<QColor>(), QColor(255, 69, 0));
    EXPECT_EQ(model.data(model.index(0, 4), Qt::ToolTipRole).toString(), "1536 Vs. 1 {t1 Vs. t2}");
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::ToolTipRole).isValid());
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::FontRole).isValid());
    EXPECT_TRUE(model.data(model.index(1, 0), Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::ForegroundRole).isValid());
}

TEST(CompareRulesTest, ListingDatesReadOrStayAsWritten)
{
    const std::optional<QDateTime> when = ReadListingDate("Jan 02 2020");
    ASSERT_TRUE(when);
    EXPECT_EQ(when->date(), QDate(2020, 1, 2));
    EXPECT_FALSE(ReadListingDate("yesterday"));
    EXPECT_EQ(NormalisedListingDate("yesterday"), "yesterday");
    EXPECT_EQ(NormalisedListingDate("Jan 02 2020"), TimeText(QDateTime(QDate(2020, 1, 2), QTime(0, 0))));
}

TEST(CompareRulesTest, LocalTimeTextsAreTheGeneralDateTextOfEachMoment)
{
    // A zone with summer time: the hour that repeats and the one that is skipped in local time.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    {
        CompareRules::TimeTexts times;
        const qint64 autumn = QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC).toSecsSinceEpoch();
        const qint64 spring = QDateTime(QDate(2026, 3, 29), QTime(0, 30), Qt::UTC).toSecsSinceEpoch();
        const qint64 midnight = QDateTime(QDate(2026, 7, 1), QTime(0, 0), Qt::OffsetFromUTC, 7200).toSecsSinceEpoch();
        QList<qint64> moments = {0, midnight, midnight + 1, midnight - 1, 4102444799};
        for (qint64 step = 0; step < 3 * 3600; step += 599) {
            moments << autumn + step << spring + step;
        }
        for (int pass = 0; pass < 2; ++pass) { // made once, then from the kept texts
            for (qint64 secs : moments) {
                EXPECT_EQ(times.LocalText(secs), CompareRules::TimeText(QDateTime::fromSecsSinceEpoch(secs)))
                    << secs;
            }
        }
        EXPECT_FALSE(times.LocalText(midnight).contains(QLatin1Char(':'))); // 0:00:00 is left out, as in the general text
    }
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
}

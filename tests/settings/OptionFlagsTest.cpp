// The option flags: one table, read by caption, set from the stored digits.
#include "ConfigTestSupport.h"
#include "DataRoot.h"
#include "OptionFlags.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

TEST(OptionFlags, TableCoversEveryPagePositionOnceWithUniqueCaptions)
{
    QSet<QString> captions;
    int expected[4] = {1, 1, 1, 1};
    for (const OptionFlagInfo &info : OptionFlagTable()) {
        const int page = static_cast<int>(info.page);
        EXPECT_EQ(info.position, expected[page]++) << info.caption.toStdString();
        captions.insert(info.caption);
        EXPECT_EQ(OptionFlagInfoOf(info.flag).caption, info.caption);
    }
    EXPECT_EQ(captions.size(), OptionFlagCount);
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(expected[page] - 1, OptionPageSize(static_cast<OptionPage>(page)));
}

TEST(OptionFlags, CaptionsOtherWindowsReadFindTheirDigit)
{
    struct Case {
        const char *caption;
        OptionPage page;
        int position;
    };
    const Case cases[] = {
        {"Show info in system tray", OptionPage::General, 3},
        {"Enable full row selection for file listings (Listviews)", OptionPage::General, 12},
        {"Skip download resume if ftp file' modification time changed", OptionPage::Jobs, 7},
        {"Start Ftp Qor on system startup if there are pending jobs", OptionPage::Jobs, 11},
        {"Save logs before removing them from list", OptionPage::History, 7},
        {"Prompt && Upload files edited with external editors", OptionPage::System, 4},
        {"Prompt if request Ftp file for Edit/View, is larger than 500KB", OptionPage::System, 5},
    };
    for (const Case &c : cases) {
        const auto flag = FindOptionFlag(c.caption);
        ASSERT_TRUE(flag.has_value()) << c.caption;
        EXPECT_EQ(OptionFlagInfoOf(*flag).page, c.page) << c.caption;
        EXPECT_EQ(OptionFlagInfoOf(*flag).position, c.position) << c.caption;
    }
    EXPECT_FALSE(FindOptionFlag("Prompt & Upload files edited with external editors").has_value());
}

TEST(OptionFlags, OnlyTheDigitOneSetsAFlag)
{
    SetOptionFlagsFromStrings({"120000000010", "1", "", "00001"});
    EXPECT_TRUE(IsOptionOn(OptionFlag::MaintainWindowPosition));
    EXPECT_FALSE(IsOptionOn(OptionFlag::StartMinimised)); // "2"
    EXPECT_TRUE(IsOptionOn(OptionFlag::CheckForNewVersion));
    EXPECT_FALSE(IsOptionOn(OptionFlag::FullRowSelection));
    EXPECT_TRUE(IsOptionOn("Auto start jobs on job creation"));
    EXPECT_FALSE(IsOptionOn(OptionFlag::ClearCompletedJobs)); // past the string's end
    EXPECT_TRUE(IsOptionOn(OptionFlag::PromptLargeFileEditView));

    SetOptionFlagsFromStrings({});
    for (const OptionFlagInfo &info : OptionFlagTable())
        EXPECT_FALSE(IsOptionOn(info.flag));
}

TEST(OptionFlags, UnknownCaptionReadsOffAndIsLogged)
{
    SetOptionFlag(OptionFlag::MaintainWindowPosition, true);
    QFile::remove(DataRoot::FileInRoot("error.log"));
    EXPECT_FALSE(IsOptionOn("Maintain last used window positions"));
    QFile log(DataRoot::FileInRoot("error.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("window positions"));
    SetOptionFlag(OptionFlag::MaintainWindowPosition, false);
}

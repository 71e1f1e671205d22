// The permission dialog: presets from listing attributes, boxes and octal
// text kept in step, octal digits only, and its entry through a real modal run.
#include "WhenModal.h"
#include "PermissionDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(PermissionDialogTest, PresetsFromListingAttributes)
{
    PermissionDialog dialog;
    const std::pair<const char *, int> cases[] = {
        {"drwxr-xr-x", 755}, {"-rw-r--r--", 644}, {"-rwsr-sr-t", 755}, {"-rwSr-Sr-T", 644},
        {"----------", 0},   {"rwx------", 700},  {"", 0},             {"garbage", 0},
    };
    for (const auto &[attributes, expected] : cases) {
        dialog.setAttributes(QString::fromLatin1(attributes));
        EXPECT_EQ(dialog.permission(), expected) << attributes;
        EXPECT_EQ(dialog.txtOctal->text(), QStringLiteral("%1").arg(expected, 3, 10, QLatin1Char('0'))) << attributes;
    }
}

TEST(PermissionDialogTest, BoxesAndOctalTextFollowEachOther)
{
    PermissionDialog dialog;
    dialog.setAttributes(QStringLiteral("-rw-r--r--"));
    dialog.box(2, 2)->click(); // others may execute
    EXPECT_EQ(dialog.txtOctal->text(), QStringLiteral("645"));
    EXPECT_EQ(dialog.permission(), 645);

    dialog.txtOctal->selectAll();
    QTest::keyClicks(dialog.txtOctal, QStringLiteral("71"));
    EXPECT_EQ(dialog.permission(), 71); // "71" reads as 071
    EXPECT_FALSE(dialog.box(0, 0)->isChecked());
    EXPECT_TRUE(dialog.box(1, 0)->isChecked());
    EXPECT_TRUE(dialog.box(2, 2)->isChecked());

    // Digits 8 and 9 and letters are refused as they are typed.
    dialog.txtOctal->clear();
    QTest::keyClicks(dialog.txtOctal, QStringLiteral("8a95"));
    EXPECT_EQ(dialog.txtOctal->text(), QStringLiteral("5"));
    dialog.txtOctal->selectAll();
    QTest::keyClick(dialog.txtOctal, Qt::Key_Backspace);
    EXPECT_FALSE(dialog.buttons->button(QDialogButtonBox::Ok)->isEnabled());
}

TEST(PermissionDialogTest, EntryAnswersTheChoiceOrCancelled)
{
    QWidget owner;
    WhenModal<PermissionDialog>([](PermissionDialog &dialog) {
        EXPECT_EQ(dialog.permission(), 640);
        dialog.box(0, 2)->click();
        dialog.buttons->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(GetNewPermisssion(&owner, QStringLiteral("-rw-r-----")), 740);

    WhenModal<PermissionDialog>([](PermissionDialog &dialog) { dialog.reject(); });
    EXPECT_EQ(GetNewPermisssion(&owner, QStringLiteral("-rw-r-----")), 65535);
}

} // namespace

// The small dialog is wide enough for a title bar to show its caption whole,
// with the program's name after it.
TEST(PermissionDialogTest, TheCaptionReadsWhole)
{
    const QString displayName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ftp Qor"));
    PermissionDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    QFont own = dialog.font();
    title.setBold(true);
    own.setBold(true);
    const QString shown = dialog.windowTitle() + QStringLiteral(" \u2014 Ftp Qor");
    const int caption =
        std::max(QFontMetrics(title).horizontalAdvance(shown), QFontMetrics(own).horizontalAdvance(shown));
    EXPECT_GE(dialog.width(), caption + 4 * dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &dialog));
    QGuiApplication::setApplicationDisplayName(displayName);
}

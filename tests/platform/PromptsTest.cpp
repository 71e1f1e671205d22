#include "Prompts.h"

#include "WhenModal.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

// The real message box: what Return answers, as a user pressing it meets it.
TEST(QtPrompts, ReturnAnswersNoToAQuestionWhoseYesDestroysDataAndYesToAPlainOne)
{
    QString defaultText;
    WhenModal<QMessageBox>([&](QMessageBox &box) {
        if (box.defaultButton())
            defaultText = box.defaultButton()->text();
        QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_EQ(AskBeforeDestroying(nullptr, "Rename", "A file named \"a.txt\" is already in this folder.\n\n"
                                                     "Replace it with \"b.txt\"?"),
              PromptButton::No);
    EXPECT_EQ(defaultText.remove('&'), "No");

    // Three buttons: still No.
    WhenModal<QMessageBox>([](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_EQ(AskBeforeDestroying(nullptr, "Confirm", "Delete?", PromptButtons::YesNoCancel), PromptButton::No);

    // A question that destroys nothing keeps the box's own default.
    WhenModal<QMessageBox>([](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_EQ(ShowMessage(nullptr, PromptIcon::Question, PromptButtons::YesNo, "Pending Jobs", "Load them now?"),
              PromptButton::Yes);
}

namespace {

// What a title bar needs at the least to show `title` whole with the program's
// name after it: the text in the bold title font or the window's own, and
// room for the icon and three buttons.
int titleBarNeeds(const QWidget &window, const QString &title)
{
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    QFont own = window.font();
    titleFont.setBold(true);
    own.setBold(true);
    const QString shown = title + QStringLiteral(" \u2014 Ftp Qor");
    return std::max(QFontMetrics(titleFont).horizontalAdvance(shown), QFontMetrics(own).horizontalAdvance(shown))
           + 4 * window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
}

} // namespace

// A short question or a one-line input box is still wide enough for its title.
TEST(QtPrompts, SmallBoxesAreWideEnoughForTheirTitles)
{
    const QString displayName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ftp Qor"));

    int inputWidth = 0;
    int inputNeeds = 0;
    WhenModal<QInputDialog>([&](QInputDialog &dialog) {
        inputWidth = dialog.width();
        inputNeeds = titleBarNeeds(dialog, dialog.windowTitle());
        dialog.reject();
    });
    EXPECT_FALSE(AskText(nullptr, "New Folder", "Name of the new folder:").has_value());
    EXPECT_GT(inputNeeds, 0);
    EXPECT_GE(inputWidth, inputNeeds);

    int boxWidth = 0;
    int boxNeeds = 0;
    WhenModal<QMessageBox>([&](QMessageBox &box) {
        boxWidth = box.width();
        boxNeeds = titleBarNeeds(box, box.windowTitle());
        box.reject();
    });
    ShowMessage(nullptr, PromptIcon::Question, PromptButtons::YesNo, "Active Tasks - Warning", "Save?");
    EXPECT_GT(boxNeeds, 0);
    EXPECT_GE(boxWidth, boxNeeds);

    QGuiApplication::setApplicationDisplayName(displayName);
}

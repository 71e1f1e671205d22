#include "Prompts.h"

#include "WhenModal.h"

#include <QPushButton>
#include <QMessageBox>
#include <QTest>

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

// The quick editor on real widgets: what it loads, what Upload writes back
// and hands over, and when closing asks.
#include "EditOwner.h"
#include "EditedText.h"
#include "FrmEdit.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class RecordingOwner final : public EditOwner
{
public:
    bool RequestUpload(qint16 slot, const QString &profile, const QString &local, const QString &remote,
                       const QString &id) override
    {
        uploads << QStringList{QString::number(slot), profile, local, remote, id}.join('|');
        uploadedBytes << ReadFileBytes(local);
        return accept;
    }
    void DiscardEditFile(const QString &id) override { discarded << id; }

    bool accept = true;
    QStringList uploads;
    QList<QByteArray> uploadedBytes;
    QStringList discarded;
};

class FrmEditTest : public ::testing::Test
{
protected:
    QString Copy(const QByteArray &bytes)
    {
        const QString path = dir.filePath("page.html");
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    FrmEdit *Open(const QByteArray &bytes)
    {
        auto *editor = new FrmEdit;
        editor->setAttribute(Qt::WA_DeleteOnClose);
        editor->PrepareEdit(&owner, 1, "site", Copy(bytes), "ftp.example.com/pub/page.html", "key1", QFont());
        editor->show();
        window = editor;
        return editor;
    }
    static void TypeAtEnd(FrmEdit *editor, const QString &text)
    {
        editor->Text1->moveCursor(QTextCursor::End);
        editor->Text1->insertPlainText(text);
    }

    QTemporaryDir dir;
    RecordingOwner owner;
    ScriptedPrompts prompts;
    QPointer<FrmEdit> window;
};

} // namespace

TEST(EditedText, KeepsEncodingLineEndsAndEveryByte)
{
    struct Case {
        QByteArray in;
        QString typed;
        QByteArray out;
    };
    const Case cases[] = {
        {"a\nb\n", "c", "a\nb\nc"},
        {"a\r\nb\r\n", "c\n", "a\r\nb\r\nc\r\n"},
        {"caf\xc3\xa9\r\n", QStringLiteral("\u00fc"), "caf\xc3\xa9\r\n\xc3\xbc"},
        {"\xef\xbb\xbfx\n", "y", "\xef\xbb\xbfx\ny"},
        {"caf\xe9 \x80\x81\x9d\xa0\n", QStringLiteral("\u00e9"), "caf\xe9 \x80\x81\x9d\xa0\n\xe9"},
        {"", "", ""},
    };
    for (const Case &c : cases) {
        const EditedText text = EditedText::FromBytes(c.in);
        EXPECT_EQ(text.ToBytes(text.Text()), c.in);
        EXPECT_EQ(text.ToBytes(text.Text() + c.typed), c.out) << c.in.toHex().toStdString();
    }
    const EditedText mixed = EditedText::FromBytes("a\r\nb\nc\r\n");
    EXPECT_EQ(mixed.ToBytes(mixed.Text()), "a\r\nb\nc\r\n");
    bool lossless = true;
    EXPECT_EQ(EditedText::FromBytes("\xe9").ToBytes(QStringLiteral("\u4e2d"), &lossless), "?");
    EXPECT_FALSE(lossless);
}

TEST_F(FrmEditTest, AnEmptyCopyOpensEmptyWithUploadDisabledAndTypingMarksTheCaption)
{
    FrmEdit *editor = Open({});
    EXPECT_TRUE(editor->Text1->toPlainText().isEmpty());
    EXPECT_FALSE(editor->OKButton->isEnabled());
    EXPECT_EQ(editor->windowTitle(), "Quick Edit - page.html");
    EXPECT_EQ(editor->lblWarn->text(), "ftp.example.com/pub/page.html");
    QTest::keyClicks(editor->Text1, "hi");
    EXPECT_TRUE(editor->OKButton->isEnabled());
    EXPECT_EQ(editor->windowTitle(), "Quick Edit - page.html*");
    EXPECT_GE(editor->minimumWidth(), 500);
    EXPECT_GE(editor->minimumHeight(), 500);
    editor->OKButton->click();
    EXPECT_EQ(owner.uploads, QStringList{"1|site|" + dir.filePath("page.html") + "|ftp.example.com/pub/page.html|key1"});
    EXPECT_EQ(owner.uploadedBytes.value(0), "hi");
    EXPECT_TRUE(window.isNull() || !window->isVisible());
}

TEST_F(FrmEditTest, CloseBoxAsksAndNoKeepsTheWindow)
{
    FrmEdit *editor = Open("line\r\n");
    QTest::keyClicks(editor->Text1, "x");
    prompts.expectMessage("Close without uploading ?", PromptButton::No);
    editor->close();
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->windowTitle(), "Quick Edit - page.html*");
    EXPECT_TRUE(owner.discarded.isEmpty());

    prompts.expectMessage("Close without uploading ?", PromptButton::Yes);
    editor->CancelButton->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(owner.discarded, QStringList{"key1"});
    EXPECT_TRUE(owner.uploads.isEmpty());
    EXPECT_EQ(ReadFileBytes(dir.filePath("page.html")), "line\r\n");
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(FrmEditTest, AFailedHandOverKeepsTheWindowAndASecondUploadDoesNotWriteAgain)
{
    owner.accept = false;
    FrmEdit *editor = Open("caf\xe9\r\nb\r\n");
    TypeAtEnd(editor, QStringLiteral("\u00e9"));
    prompts.expectMessage("Ooops!!! Some error has occurred !", PromptButton::Ok);
    editor->OKButton->click();
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(ReadFileBytes(editor->LocalFilePath()), "caf\xe9\r\nb\r\n\xe9");

    // The copy is not written again: what someone put there meanwhile stays.
    ASSERT_TRUE(WriteFileBytes(editor->LocalFilePath(), "other"));
    owner.accept = true;
    editor->OKButton->click();
    EXPECT_EQ(owner.uploads.size(), 2);
    EXPECT_EQ(owner.uploadedBytes.value(1), "other");
    EXPECT_TRUE(prompts.allUsed());
}

TEST_F(FrmEditTest, WithoutAFileOrOwnerThereIsNothingToUpload)
{
    FrmEdit editor;
    editor.PrepareEdit(nullptr, 0, {}, {}, {}, {}, QFont());
    QTest::keyClicks(editor.Text1, "scratch");
    EXPECT_FALSE(editor.OKButton->isEnabled());
    EXPECT_EQ(editor.windowTitle(), "Ftp Editor*");
}

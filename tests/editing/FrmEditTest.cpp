// The quick editor on real widgets: what it loads, what Upload writes back
// and hands over, and when closing asks.
#include "EditOwner.h"
#include "EditedText.h"
#include "FrmEdit.h"
#include "ProgramIcon.h"
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
        {"one", "\ntwo", "one\ntwo"},
    };
    for (const Case &c : cases) {
        const EditedText text = EditedText::FromBytes(c.in);
        EXPECT_EQ(text.ToBytes(text.Text()), c.in);
        EXPECT_EQ(text.ToBytes(text.Text() + c.typed), c.out) << c.in.toHex().toStdString();
    }
}

TEST(EditedText, LinesKeepTheirOwnEndingsAndLoneCrsStayBytes)
{
    // Mixed endings: kept lines keep theirs wherever they move to; new lines take the usual one.
    const EditedText mixed = EditedText::FromBytes("a\r\nb\nc\r\nd\r\ne");
    EXPECT_EQ(mixed.Text(), "a\nb\nc\nd\ne");
    EXPECT_EQ(mixed.ToBytes("a\nnew\nb\nc\nd\ne"), QByteArray("a\r\nnew\r\nb\nc\r\nd\r\ne"));
    EXPECT_EQ(mixed.ToBytes("b\nc\nd\ne\nz"), QByteArray("b\nc\r\nd\r\ne\r\nz"));
    EXPECT_EQ(mixed.ToBytes("a\nb\nX\nd\ne"), QByteArray("a\r\nb\nX\r\nd\r\ne"));
    EXPECT_EQ(EditedText::FromBytes("x\ny\r\nz\n").ToBytes("z\nx\ny\n"), QByteArray("z\nx\ny\r\n"));

    // A CR that ends no line is a byte of its line, in either encoding.
    const EditedText lone = EditedText::FromBytes("p\rq\nr\r");
    const QChar mark = lone.LoneCrMark();
    EXPECT_EQ(lone.Text(), QString("p") + mark + "q\nr" + mark);
    EXPECT_EQ(lone.ToBytes(lone.Text() + "s"), QByteArray("p\rq\nr\rs"));
    const EditedText latin = EditedText::FromBytes("\xe9\r\xe8\r");
    EXPECT_EQ(latin.encoding(), EditedText::Encoding::SingleByte);
    EXPECT_EQ(latin.ToBytes(latin.Text() + "!"), QByteArray("\xe9\r\xe8\r!"));
    // A file that holds the usual picture of a CR gets another one.
    const EditedText pictured = EditedText::FromBytes("\xe2\x90\x8d\ra");
    EXPECT_NE(pictured.LoneCrMark(), QChar(0x240D));
    EXPECT_EQ(pictured.ToBytes(pictured.Text() + "b"), QByteArray("\xe2\x90\x8d\rab"));

    // What the single-byte form cannot hold is refused, each character named once.
    QStringList missing;
    EXPECT_FALSE(EditedText::FromBytes("\xe9").ToBytes(QStringLiteral("\u4e2d\u00e9\u4e2d\U0001F600"), &missing));
    EXPECT_EQ(missing, (QStringList{QStringLiteral("\u4e2d"), QStringLiteral("\U0001F600")}));
}

TEST_F(FrmEditTest, AnEmptyCopyOpensEmptyWithUploadDisabledAndTypingMarksTheCaption)
{
    FrmEdit *editor = Open({});
    EXPECT_TRUE(editor->Text1->toPlainText().isEmpty());
    EXPECT_FALSE(editor->OKButton->isEnabled());
    EXPECT_EQ(editor->windowTitle(), "Quick Edit - page.html");
    EXPECT_TRUE(editor->windowIcon().pixmap(32).toImage() == ProgramIcon().pixmap(32).toImage());
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

TEST_F(FrmEditTest, UploadKeepsUntouchedBytesAndRefusesCharactersTheFileCannotHold)
{
    // A single-byte file with mixed endings and a lone CR; the user adds a line in the middle.
    FrmEdit *editor = Open("caf\xe9\r\nline two\nbar\rbaz\r\nend");
    QTextCursor cursor = editor->Text1->textCursor();
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::Down);
    editor->Text1->setTextCursor(cursor);
    QTest::keyClicks(editor->Text1, "inserted");
    QTest::keyClick(editor->Text1, Qt::Key_Return);
    // A character Windows-1252 cannot hold: refused, named, nothing written or sent, the window stays.
    TypeAtEnd(editor, QStringLiteral(" \u4e2d\u00e9"));
    prompts.expectMessage(QStringLiteral("cannot hold these characters: \u4e2d"), PromptButton::Ok);
    editor->OKButton->click();
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(owner.uploads.isEmpty());
    EXPECT_EQ(ReadFileBytes(editor->LocalFilePath()), "caf\xe9\r\nline two\nbar\rbaz\r\nend");

    QTest::keyClick(editor->Text1, Qt::Key_Backspace);
    QTest::keyClick(editor->Text1, Qt::Key_Backspace);
    editor->OKButton->click();
    ASSERT_EQ(owner.uploadedBytes.size(), 1);
    EXPECT_EQ(owner.uploadedBytes[0], "caf\xe9\r\ninserted\r\nline two\nbar\rbaz\r\nend ");
}

TEST_F(FrmEditTest, WithoutAFileOrOwnerThereIsNothingToUpload)
{
    FrmEdit editor;
    editor.PrepareEdit(nullptr, 0, {}, {}, {}, {}, QFont());
    QTest::keyClicks(editor.Text1, "scratch");
    EXPECT_FALSE(editor.OKButton->isEnabled());
    EXPECT_EQ(editor.windowTitle(), "Ftp Editor*");
}

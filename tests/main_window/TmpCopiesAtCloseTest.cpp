// The close of the real window names every copy in Tmp that holds an edit
// nobody sent, those left by earlier runs too, until it is sent or removed.
#include "MainWindowEditJobs.h"

#include "DataRoot.h"
#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// Quick Edit of `name` in slot 0, its editor closed unchanged.
void QuickEditAndClose(frmZAVUde &window, const QString &name)
{
    SelectInFirstSlot(window, name);
    window.EditFlow()->MNU_RMT_QEDIT_Click();
    ASSERT_TRUE(WaitUntil([&] {
        return !window.EditFlow()->OpenEditors().isEmpty() && !window.EditFlow()->SlotEditPending(0);
    }));
    for (FrmEdit *editor : window.EditFlow()->OpenEditors())
        editor->CloseByProgram();
}

} // namespace

// Run 1 leaves a declined change, a changed copy, one the user removes
// before run 2 and one kept aside, and takes over the records an earlier
// version kept in Tmp/.origins, whose folder, holding what could not be
// read, is moved away and said so once. Run 2 sends the declined change and
// names the two copies still holding edits, though it never opened them,
// not the one sent and only touched since.
TEST(TmpCopiesAtClose, EveryCopyHoldingAnEditIsNamedAtEachCloseUntilSentOrRemoved)
{
    JobOptions restore;
    ScriptedPrompts prompts;
    QTemporaryDir scripts;
    const FileHandlerCollection handlers = AppendingHandler(scripts, "a change the user declined");
    ASSERT_NO_FATAL_FAILURE(WriteOptions({OptionFlag::PromptUploadExternalEdits}, handlers));
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    for (const char *name : {"declined.txt", "changed.txt", "removed.txt", "aside.txt"})
        ASSERT_TRUE(server.writeFile(name, "server\n"));
    ForgetEditedCopies();
    const QString tmp = DataRoot::TmpFolder();
    ASSERT_TRUE(QDir(tmp).mkpath(".origins/unreadable"));
    const QString movedTo = DataRoot::FileInRoot("TmpOrigins.unread");

    auto window = ShownWindow();
    ASSERT_TRUE(ConnectFirstSlot(*window, server));
    prompts.expectMessage("You have made changes to '127.0.0.1/declined.txt'.", PromptButton::No);
    SelectInFirstSlot(*window, "declined.txt");
    window->EditFlow()->MNU_RMT_EDITITEM_Click(1);
    ASSERT_TRUE(WaitUntil([&] { return prompts.allUsed() && window->EditFlow()->EditTasks().Count() == 0; }));
    for (const char *name : {"changed.txt", "removed.txt", "aside.txt"}) {
        ASSERT_NO_FATAL_FAILURE(QuickEditAndClose(*window, name));
        ASSERT_TRUE(WriteFileBytes(JoinLocalPath(tmp, name), "changed elsewhere\n"));
    }
    prompts.expectMessage("The copy of 'aside.txt' in the Tmp folder has changes that were not uploaded.",
                          PromptButton::No);
    ASSERT_NO_FATAL_FAILURE(QuickEditAndClose(*window, "aside.txt"));
    ASSERT_TRUE(DisconnectFirstSlot(*window));
    ASSERT_NO_FATAL_FAILURE(CloseTelling(
        window, prompts,
        KeptCopiesMessage("aside (1).txt\r\ndeclined.txt\r\nchanged.txt\r\nremoved.txt\r\n\r\n")
            + "Records of Tmp copies that an earlier version kept in the Tmp folder could not all be read; they were "
              "moved to '" + QDir::toNativeSeparators(movedTo) + "'."));
    EXPECT_TRUE(QFileInfo(movedTo + "/unreadable").isDir());
    EXPECT_FALSE(QFileInfo::exists(JoinLocalPath(tmp, "aside.txt")));

    // Run 2: the user removed one copy; the declined change is sent.
    ASSERT_TRUE(QFile::remove(JoinLocalPath(tmp, "removed.txt")));
    window = ShownWindow();
    ASSERT_TRUE(ConnectFirstSlot(*window, server));
    prompts.expectMessage("The copy of 'declined.txt' in the Tmp folder, left by an earlier session, has changes "
                          "that were not uploaded.\r\n\r\nUpload the copy to '127.0.0.1/declined.txt' now?",
                          PromptButton::Yes);
    SelectInFirstSlot(*window, "declined.txt");
    window->EditFlow()->MNU_RMT_QEDIT_Click();
    ASSERT_TRUE(WaitUntil([&] { return !window->EditFlow()->EditUploadRunning(0) && !window->Slot(0)->IsBusy(); }));
    EXPECT_EQ(server.readFile("declined.txt"), "server\na change the user declined\n");
    // Only touched since it was sent: its bytes are the server's, nothing to keep.
    QFile sent(JoinLocalPath(tmp, "declined.txt"));
    ASSERT_TRUE(sent.open(QIODevice::Append));
    ASSERT_TRUE(sent.setFileTime(sent.fileTime(QFileDevice::FileModificationTime).addSecs(3600),
                                 QFileDevice::FileModificationTime));
    sent.close();
    ASSERT_TRUE(DisconnectFirstSlot(*window));
    ASSERT_NO_FATAL_FAILURE(CloseTelling(window, prompts, KeptCopiesMessage("aside (1).txt\r\nchanged.txt")));
    EXPECT_EQ(ReadFileBytes(JoinLocalPath(tmp, "aside (1).txt")), "changed elsewhere\n");
    EXPECT_FALSE(QFileInfo::exists(JoinLocalPath(tmp, "declined.txt")));
    SetOptionFlag(OptionFlag::PromptUploadExternalEdits, false);
}

// Copies an earlier version left in Tmp without records, far more than a
// message can show: the close names the first of them, saying that their
// origin is not known, and counts the rest, and keeps them all.
TEST(TmpCopiesAtClose, ManyCopiesLeftByEarlierRunsAreCountedPastTheFirstTen)
{
    ScriptedPrompts prompts;
    ForgetEditedCopies();
    const QString tmp = DataRoot::TmpFolder();
    ASSERT_TRUE(QDir().mkpath(tmp));
    QStringList names;
    for (int i = 1; i <= 300; ++i) {
        names << QStringLiteral("copy %1.txt").arg(i, 3, 10, QLatin1Char('0'));
        ASSERT_TRUE(WriteFileBytes(JoinLocalPath(tmp, names.constLast()), "an edit\n"));
    }
    auto window = ShownWindow();
    ASSERT_NO_FATAL_FAILURE(CloseTelling(
        window, prompts,
        QStringLiteral("Where these copies came from is not known; they may hold changes. They are kept in '%1':\r\n\r\n")
                .arg(QDir::toNativeSeparators(tmp))
            + names.mid(0, 10).join("\r\n") + "\r\n... and 290 more."));
    EXPECT_EQ(QDir(tmp).entryList(QDir::Files).size(), 300);
}

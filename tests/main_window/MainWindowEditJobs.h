#pragma once

// The main window driven as a user does it: options written to the settings
// file, slot 0 connected to a server, files opened from its pane and edits
// queued as upload jobs.
#include "frmZAVUde.h"

#include "BatchTestSupport.h"
#include "DataRoot.h"
#include "FileHandlerCollection.h"
#include "FrmEdit.h"
#include "JobQueuePane.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "PyFtpServer.h"
#include "RemoteEditFlow.h"
#include "RemotePane.h"
#include "ScriptedPrompts.h"
#include "SettingsFile.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

// The window reads its options from the settings file when it loads.
inline void WriteOptions(std::initializer_list<OptionFlag> on, const FileHandlerCollection &handlers = {})
{
    QStringList strings(OptionPageCount, QString(OptionStringMinLength, QLatin1Char('0')));
    for (OptionFlag flag : on) {
        const OptionFlagInfo &info = OptionFlagInfoOf(flag);
        strings[static_cast<int>(info.page)][info.position - 1] = QLatin1Char('1');
    }
    ASSERT_TRUE(WriteConfFile(ComposeConfFile(strings, handlers, {}, {})));
}

// No copy, record or snapshot left in the data root by an earlier test: the
// close names every copy in Tmp that holds an edit.
inline void ForgetEditedCopies()
{
    for (const char *folder : {"Tmp", "TmpCopies", "EditUploads", "TmpOrigins.unread"})
        QDir(DataRoot::FileInRoot(QString::fromLatin1(folder))).removeRecursively();
}

// One handler, "Edit With" item 1: a program that appends `line` to the file it is given.
inline FileHandlerCollection AppendingHandler(const QTemporaryDir &scripts, const QByteArray &line)
{
    const QString appender = scripts.filePath("append");
    EXPECT_TRUE(WriteShellScript(appender, "echo '" + line + "' >> \"$1\""));
    FileHandlerCollection handlers;
    handlers.Add("*.txt", appender, "", 0, 3).SetApplicationTitle("Appender");
    return handlers;
}

inline std::unique_ptr<frmZAVUde> ShownWindow()
{
    auto window = std::make_unique<frmZAVUde>();
    window->show();
    return window;
}

// The one job in the window's queue; null when it holds none or several.
inline FtpTaskCollection::Job OnlyJob(frmZAVUde &window)
{
    return window.Jobs()->JobQueue.Count() == 1 ? *window.Jobs()->JobQueue.begin() : nullptr;
}

// Slot 0 logged in with `profile` and listing its root.
inline bool ConnectFirstSlot(frmZAVUde &window, const CProfile &profile)
{
    ServerSlot *slot = window.Slot(0);
    window.Slots()->UseProfile(0, profile, true);
    return WaitUntil([&] { return slot->SessionActive() && !slot->IsBusy() && window.Remote(0)->Model->size() > 0; });
}

inline bool ConnectFirstSlot(frmZAVUde &window, const PyFtpServer &server)
{
    return ConnectFirstSlot(window, ServerProfile(server));
}

// Selects the file `name` in slot 0's pane and makes slot 0 the current one.
inline void SelectInFirstSlot(frmZAVUde &window, const QString &name)
{
    RemotePane *pane = window.Remote(0);
    for (int r = 0; r < pane->Model->size(); ++r) {
        if (pane->Model->row(r).Text == name)
            pane->RightView->selectionModel()->select(pane->Model->index(r, 0),
                                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    window.Slots()->SetCurrentSlot(0);
}

// Quick Edit of `name` in slot 0, then the session is lost with the editor
// open; null when either does not happen.
inline FrmEdit *QuickEditThenLoseTheSession(frmZAVUde &window, const QString &name)
{
    ServerSlot *slot = window.Slot(0);
    RemoteEditFlow *flow = window.EditFlow();
    SelectInFirstSlot(window, name);
    flow->MNU_RMT_QEDIT_Click();
    if (!WaitUntil([&] { return !flow->OpenEditors().isEmpty() && !flow->SlotEditPending(0) && !slot->IsBusy(); }))
        return nullptr;
    slot->DisConnectFromFTP();
    if (!WaitUntil([&] { return !slot->SessionActive(); }))
        return nullptr;
    return flow->OpenEditors().front();
}

// Quick Edit of `name` in slot 0, the session lost, "saved " typed in front
// and Upload: the edit waits in an upload job, returned (null when none).
inline FtpTaskCollection::Job QueueAnEditWhileDisconnected(frmZAVUde &window, ScriptedPrompts &prompts, const QString &name)
{
    const QPointer<FrmEdit> editor = QuickEditThenLoseTheSession(window, name);
    if (!editor)
        return nullptr;
    editor->Text1->insertPlainText(QStringLiteral("saved "));
    prompts.expectMessage(QStringLiteral("The edited file has been added to upload jobs."), PromptButton::Ok);
    editor->OKButton->click();
    return OnlyJob(window);
}

// Slot 0 logged out; true once no session is left.
inline bool DisconnectFirstSlot(frmZAVUde &window)
{
    window.Slot(0)->DisConnectFromFTP();
    return WaitUntil([&] { return !window.IsAnySessionActive(); });
}

// The Tmp copy of `name` and its record removed.
inline void ForgetCopy(frmZAVUde &window, const QString &name)
{
    QFile::remove(JoinLocalPath(window.EditFlow()->TmpFolder(), name));
    QFile::remove(JoinLocalPath(window.EditFlow()->RecordFolder(), name));
}

// What the close says of the copies in Tmp holding edits, `names` as it lists them.
inline QString KeptCopiesMessage(const QString &names)
{
    return QStringLiteral("These files were changed but not uploaded. Their copies are kept in '%1':\r\n\r\n")
               .arg(QDir::toNativeSeparators(DataRoot::TmpFolder()))
           + names;
}

// What the close says of copies whose changes wait in upload jobs.
inline QString WaitingCopiesMessage(const QString &names)
{
    return QStringLiteral("These files have changes waiting in upload jobs. Their copies are kept in '%1':\r\n\r\n")
               .arg(QDir::toNativeSeparators(DataRoot::TmpFolder()))
           + names;
}

// The window closed, `told` (the message's whole text) answered with OK.
inline void CloseTelling(std::unique_ptr<frmZAVUde> &window, ScriptedPrompts &prompts, const QString &told)
{
    prompts.expectMessage(told, PromptButton::Ok);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.messageTexts().constLast(), told);
    window.reset();
}

// Puts back the job options a test turned on.
struct JobOptions {
    ~JobOptions()
    {
        QFile::remove(SettingsFilePath());
        for (OptionFlag flag : {OptionFlag::LoadSavedJobsOnStartup, OptionFlag::AutoSavePendingJobs,
                                OptionFlag::StartOnSystemStartupWithPendingJobs})
            SetOptionFlag(flag, false);
    }
};

// The server process stopped while it lives: it takes connections but answers nothing.
struct FrozenServer {
    explicit FrozenServer(qint64 pid) : pid(static_cast<pid_t>(pid)) { ::kill(this->pid, SIGSTOP); }
    ~FrozenServer() { ::kill(pid, SIGCONT); }
    pid_t pid;
};

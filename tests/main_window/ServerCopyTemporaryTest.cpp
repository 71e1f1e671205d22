// A server-to-server copy onto a file the target holds goes under a temporary
// name first and is renamed over the file once whole. A target that will not
// create that temporary file still gets the copy if the user agrees to have
// the file stored over; a target that says it renamed the copy but kept its
// file has not been copied to.
#include "frmZAVUde.h"

#include "BatchFailures.h"
#include "DelayingRelay.h"
#include "FtpCommander.h"
#include "OptionFlags.h"
#include "PyFtpServer.h"
#include "ScriptedPrompts.h"
#include "ServerCopyTestSupport.h"

#include <QDir>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

bool copyEnded(frmZAVUde &window)
{
    return QTest::qWaitFor(
        [&] { return !window.Runner()->Running() && SlotReady(window, 0) && SlotReady(window, 1); }, 30000);
}

// How the target refuses names, and what the user answers when asked.
struct Refusal
{
    const char *name;
    void (*refuse)(PyFtpServer &target);
    std::optional<PromptButton> answer; // none: the user is not asked
    bool copied;
};

struct CopyWithoutTemporary : ::testing::TestWithParam<Refusal>
{
};

// The source's f.bin onto the target's /drop/f.bin.
TEST_P(CopyWithoutTemporary, TheUserMayHaveTheHeldFileStoredOver)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    ScriptedFtpServer source;
    PyFtpServer target;
    ScriptedPrompts prompts;
    GetParam().refuse(target);
    const QByteArray held(6000, 'h');
    ServeOneFile(source);
    ASSERT_TRUE(target.writeFile(QStringLiteral("drop/f.bin"), held));
    ASSERT_TRUE(source.listen() && target.start());
    auto window = DualWindow();
    ASSERT_TRUE(ConnectToTargetFolder(*window, ServerProfile(source), ServerProfile(target), QStringLiteral("/drop")));
    if (GetParam().answer)
        prompts.expectMessage(QStringLiteral("Store the copy directly onto \"/drop/f.bin\"?"), *GetParam().answer);
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(copyEnded(*window));

    EXPECT_EQ(target.readFile(QStringLiteral("drop/f.bin")), GetParam().copied ? PatternBytes(5000) : held);
    EXPECT_EQ(QDir(target.rootPath() + QStringLiteral("/drop")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("f.bin")});
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(prompts.shown().size(), GetParam().answer ? 1U : 0U) << prompts.messageTexts().join("|").toStdString();
    if (GetParam().answer) {
        // Why, with the temporary name tried, and Return keeps the file.
        const ScriptedPrompts::Shown &question = prompts.shown().front();
        EXPECT_TRUE(question.text.contains(QStringLiteral("553 Could not create file."))) << question.text.toStdString();
        EXPECT_TRUE(question.text.contains(QStringLiteral("temporary file \"/drop/ftpqor-copy-")))
            << question.text.toStdString();
        EXPECT_EQ(question.buttons, PromptButtons::YesNo);
        EXPECT_EQ(question.defaultButton, PromptButton::No);
    }
}

void refuseNewNames(PyFtpServer &t) { t.refuseNewFilesIn(QStringLiteral("drop")); }

// Stored onto the file after Yes, the source breaks off after 2000 bytes:
// the message says what the file holds now.
TEST(CopyStoredOver, ASourceBreakingOffSaysWhatTheFileHolds)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    ScriptedFtpServer source;
    PyFtpServer target;
    ScriptedPrompts prompts;
    refuseNewNames(target);
    ServeOneFile(source);
    ASSERT_TRUE(target.writeFile(QStringLiteral("drop/f.bin"), QByteArray(6000, 'h')));
    ASSERT_TRUE(source.listen() && target.start());
    auto window = DualWindow();
    ASSERT_TRUE(ConnectToTargetFolder(*window, ServerProfile(source), ServerProfile(target), QStringLiteral("/drop")));
    prompts.onNext([&] { source.setDataDropAfter(2000); })
        .expectMessage(QStringLiteral("Store the copy directly onto \"/drop/f.bin\"?"), PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied"), PromptButton::Ok);
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(copyEnded(*window));
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(target.readFile(QStringLiteral("drop/f.bin")), PatternBytes(2000));
    const QString text = prompts.messageTexts().value(1);
    EXPECT_TRUE(text.contains(QStringLiteral("The target's file \"/drop/f.bin\" now holds 2000 of the copy's 5000 bytes")))
        << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Refusal, CopyWithoutTemporary,
    ::testing::Values(Refusal{"NewNamesStoredOver", refuseNewNames, PromptButton::Yes, true},
                      Refusal{"NewNamesKept", refuseNewNames, PromptButton::No, false},
                      // The temporary name has no leading dot: nothing to ask.
                      Refusal{"DotNames", [](PyFtpServer &t) { t.refuseDotFileNames(); }, std::nullopt, true}),
    [](const ::testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

// pyftpdlib as the source: the target took its data connection and closed it
// as it refused the temporary file, so the source holds the RETR for the next
// data connection, and answers the ABOR after the question "225 No transfer to
// abort." while keeping it. The store over the file then gets the held RETR's
// data and end, and the new RETR is held in turn: its end never comes.
TEST(CopyFromPyftpdlib, ASourceThatNeverEndsItsPartEndsTheCopyWithinTheTimeOut)
{
    SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
    PyFtpServer source;
    PyFtpServer target;
    ScriptedPrompts prompts;
    auto *clock = new ManualEngineTimer; // the source's engine owns it
    target.refuseNewFilesIn(QStringLiteral("drop"));
    target.refuseOnceConnected();
    ASSERT_TRUE(source.writeFile(QStringLiteral("f.bin"), PatternBytes(5000)));
    ASSERT_TRUE(target.writeFile(QStringLiteral("drop/f.bin"), QByteArray(6000, 'h')));
    ASSERT_TRUE(source.start() && target.start());
    std::unique_ptr<frmZAVUde> window = DualWindow({clock, nullptr});
    ASSERT_TRUE(ConnectToTargetFolder(*window, ServerProfile(source), ServerProfile(target), QStringLiteral("/drop")));
    // The source's replies since its second RETR went out.
    int retrs = 0;
    QStringList afterSecond;
    FtpCommander *engine = window->Slot(0)->FtpCmd();
    QObject::connect(engine, &FtpCommander::CommandSent, window.get(), [&](const QString &, const QString &command) {
        retrs += command.startsWith(QStringLiteral("RETR ")) ? 1 : 0;
    });
    QObject::connect(engine, &FtpCommander::ServerReplied, window.get(), [&](const QString &code, const QString &) {
        if (retrs == 2)
            afterSecond << code;
    });
    prompts.expectMessage(QStringLiteral("Store the copy directly onto \"/drop/f.bin\"?"), PromptButton::Yes);
    prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied to \"/drop/f.bin\""), PromptButton::Ok);
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return afterSecond.contains(QStringLiteral("150")) && !window->Slot(1)->IsBusy(); }, 30000));
    clock->advance(engine->TransferWaitSeconds() * 1000 + 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Copy().Running(); }, 30000));
    EXPECT_TRUE(prompts.allUsed());
    const QString text = prompts.messageTexts().value(1);
    EXPECT_TRUE(text.contains(QStringLiteral("Source server: The server did not end its part of the copy within")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(BatchFailures::kLostText)) << text.toStdString();
    EXPECT_EQ(QDir(target.rootPath() + QStringLiteral("/drop")).entryList(QDir::Files),
              QStringList{QStringLiteral("f.bin")});
}

// Both servers scripted: the source sends f.bin (5000 bytes), the target
// holds an f.bin of 700.
struct CopyToScripted : ::testing::Test
{
    ScriptedFtpServer source;
    ScriptedFtpServer target;
    ScriptedPrompts prompts;
    std::unique_ptr<frmZAVUde> window;
    QList<bool> ended;

    void SetUp() override
    {
        SetOptionFlag(OptionFlag::ConfirmOverwrite, false);
        ASSERT_TRUE(source.listen() && target.listen());
        ServeOneFile(source);
    }

    // A window logged in to the source and to `far`, its copies' ends noted in `ended`.
    void connect(const CProfile &far)
    {
        window = DualWindow();
        ASSERT_TRUE(ConnectSourceAndTarget(*window, ServerProfile(source), far));
        QObject::connect(&window->Runner()->Copy(), &ServerCopy::copyEnded, window.get(),
                         [this](bool done) { ended << done; });
    }

    // Copies f.bin once both are logged in; the copy fails with one message.
    // A target that `renamesInNameOnly` answers RNTO "250" and keeps its file.
    void copyFailing(bool renamesInNameOnly = false)
    {
        HoldOnly(target, "/f.bin", 700, renamesInNameOnly);
        ASSERT_NO_FATAL_FAILURE(connect(ServerProfile(target)));
        prompts.expectMessage(QStringLiteral("\"/f.bin\" was not copied to \"/f.bin\""), PromptButton::Ok);
        ASSERT_TRUE(CopyAll(*window));
        ASSERT_TRUE(copyEnded(*window));
        EXPECT_EQ(ended, QList<bool>{false});
        ASSERT_EQ(prompts.messageTexts().size(), 1);
    }
};

TEST_F(CopyToScripted, ARenameInNameOnlyIsNoCopyAndTheMessageNamesTheTemporaryFileLeft)
{
    ASSERT_NO_FATAL_FAILURE(copyFailing(true));
    EXPECT_EQ(target.commandCount("RNTO /f.bin"), 1);
    EXPECT_EQ(target.commandCount("DELE"), 0);
    ASSERT_EQ(target.commandCount("STOR /ftpqor-copy-"), 1);
    QString temporary;
    for (const QByteArray &command : target.commands())
        if (command.startsWith("STOR "))
            temporary = QString::fromLatin1(command.mid(5));
    const QString text = prompts.messageTexts().constFirst();
    EXPECT_TRUE(text.contains(QStringLiteral("\"/f.bin\" holds 700 bytes, not the copy's 5000."))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("The copy's temporary file \"%1\"").arg(temporary))) << text.toStdString();
}

// A refusal that is not about the name (no room) fails the copy at once, and
// a reply naming the temporary file says what that file is.
TEST_F(CopyToScripted, ARefusalNamingTheTemporaryFileSaysWhatItIs)
{
    target.on("STOR", [](const QByteArray &name) {
        return ScriptedFtpServer::Reply{{"452 " + name + ": Insufficient storage space.\r\n", 0}};
    });
    ASSERT_NO_FATAL_FAILURE(copyFailing());
    EXPECT_EQ(target.commandCount("STOR"), 1);
    const QString text = prompts.messageTexts().constFirst();
    EXPECT_TRUE(text.contains(QStringLiteral("is the temporary name the copy is stored under until it is whole, to take "
                                             "the place of \"/f.bin\".")))
        << text.toStdString();
}

// The target refuses the temporary file, and the source, finding no data
// port, says 425: before the refusal, or while the target is still getting
// back in step after it (its abort answered late). Or the refusal comes a
// little later than the PASV before it took, over a slow link: the source is
// not started for it at all (a source sending into a port no store takes may
// not hear its abort). The target's refusal decides, so the user is asked
// whether to store onto the file, and the copy then goes there whole.
struct LateRefusal
{
    const char *name;
    int storeReplyMs;  // the target's 553 to the temporary STOR
    int sourceReplyMs; // the source's 425 to RETR
    int abortReplyMs;  // the target's reply to the ABOR after its 553
    int linkMs;        // each way on the target's control link
    int sourcePorts;   // the source's data connections, the store onto the file's included
};

struct RefusedAroundTheSourcesFailure : CopyToScripted, ::testing::WithParamInterface<LateRefusal>
{
};

TEST_P(RefusedAroundTheSourcesFailure, IsTheUsersQuestion)
{
    HoldOnly(target, "/f.bin", 700);
    target.on("STOR", ScriptedFtpServer::Reply{{"553 Could not create file.\r\n", GetParam().storeReplyMs}});
    target.on("ABOR", ScriptedFtpServer::Reply{{"226 Abort successful.\r\n", GetParam().abortReplyMs}});
    if (GetParam().sourceReplyMs >= 0)
        source.on("RETR", ScriptedFtpServer::Reply{{"425 Can't open data connection.\r\n", GetParam().sourceReplyMs}});
    // The store onto the file, and its sending, as the servers do by default.
    QObject::connect(&target, &ScriptedFtpServer::commandReceived, &target, [this](const QByteArray &line) {
        if (line == "STOR /f.bin")
            target.off("STOR");
    });
    QObject::connect(&source, &ScriptedFtpServer::commandReceived, &source, [this](const QByteArray &line) {
        if (line.startsWith("RETR") && source.commandCount("RETR") == 2)
            source.off("RETR");
    });
    DelayingRelay relay(GetParam().linkMs);
    ASSERT_TRUE(relay.listen(target.port()));
    ASSERT_NO_FATAL_FAILURE(connect(GetParam().linkMs > 0 ? ServerProfile(relay.host(), relay.port(), QStringLiteral("u"),
                                                                          QStringLiteral("p"), QStringLiteral("Far"))
                                                          : ServerProfile(target)));
    prompts.expectMessage(QStringLiteral("Store the copy directly onto \"/f.bin\"?"), PromptButton::Yes);
    ASSERT_TRUE(CopyAll(*window));
    ASSERT_TRUE(copyEnded(*window));
    EXPECT_EQ(ended, QList<bool>{true});
    EXPECT_TRUE(prompts.allUsed());
    ASSERT_EQ(prompts.messageTexts().size(), 1) << prompts.messageTexts().join("|").toStdString();
    EXPECT_TRUE(prompts.messageTexts().constFirst().contains(QStringLiteral("553 Could not create file.")))
        << prompts.messageTexts().constFirst().toStdString();
    EXPECT_EQ(target.commandCount("STOR /f.bin"), 1);
    EXPECT_EQ(target.storedData(), PatternBytes(5000));
    EXPECT_EQ(source.commandCount("PORT"), GetParam().sourcePorts);
}

INSTANTIATE_TEST_SUITE_P(Copy, RefusedAroundTheSourcesFailure,
                         ::testing::Values(LateRefusal{"AfterTheSourceFailed", 300, 0, 0, 0, 2},
                                           LateRefusal{"BeforeTheSourceFailedWithTheAbortStillOwed", 100, 300, 800, 0, 2},
                                           LateRefusal{"ALittleAfterARoundTripOfASlowLink", 30, -1, 0, 100, 1}),
                         [](const ::testing::TestParamInfo<LateRefusal> &info) { return std::string(info.param.name); });

// The target accepted the rename over its file, then cannot tell the size
// under the file's name: it refuses SIZE, or its session ends meanwhile. The
// copy is done, and nothing says otherwise.
TEST_F(CopyToScripted, ARenameAcceptedIsDoneWhenTheSizeCannotBeTold)
{
    for (const bool sessionEnds : {false, true}) {
        SCOPED_TRACE(sessionEnds ? "session ends" : "SIZE refused");
        const int renames = target.commandCount("RNTO");
        target.on("SIZE", [this, sessionEnds, renames](const QByteArray &name) {
            if (target.commandCount("RNTO") == renames) {
                const QByteArray size = target.commandCount("STOR " + name) > 0 ? QByteArray::number(target.storedData().size())
                                      : name == "/f.bin"                       ? "700"
                                                                                : QByteArray();
                return ScriptedFtpServer::Reply{{size.isEmpty() ? "550 No such file.\r\n" : "213 " + size + "\r\n", 0}};
            }
            if (sessionEnds) {
                QTimer::singleShot(0, &target, [this] { target.closeControl(); });
                return ScriptedFtpServer::Reply{};
            }
            return ScriptedFtpServer::Reply{{"550 Could not get file size.\r\n", 0}};
        });
        if (!window)
            ASSERT_NO_FATAL_FAILURE(connect(ServerProfile(target)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return SlotReady(*window, 0) && SlotReady(*window, 1); }, 30000));
        ASSERT_TRUE(CopyAll(*window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Runner()->Running() && !ended.isEmpty(); }, 30000));
        EXPECT_EQ(ended, QList<bool>{true});
        EXPECT_EQ(target.commandCount("RNTO /f.bin"), renames + 1);
        EXPECT_EQ(target.storedData(), PatternBytes(5000));
        EXPECT_TRUE(prompts.messageTexts().isEmpty()) << prompts.messageTexts().join("|").toStdString();
        ended.clear();
    }
}

} // namespace

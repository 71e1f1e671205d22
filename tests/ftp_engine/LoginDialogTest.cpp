// The login-failed dialog, alone and answering a real server's refusal.
#include "EngineRecorder.h"
#include "EngineSocket.h"
#include "EngineTimer.h"
#include "FtpCommander.h"
#include "LoginFailedDialog.h"
#include "PropertyBag.h"
#include "PyFtpServer.h"
#include "frmLogin.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// Shows a dialog modally and runs `whileShown` inside its modal loop.
void showWith(frmLogin &dialog, const QString &user, const std::function<void()> &whileShown,
              const QString &server = QStringLiteral("ftp.example.test"))
{
    QObject::connect(&dialog, &frmLogin::Shown, &dialog, whileShown, Qt::SingleShotConnection);
    dialog.ShowLogin(nullptr, server, user);
}

// Whether a label shows all of its lines in the room it was given.
bool readsWhole(const QLabel *label)
{
    const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
    return label->height() >= needed && (label->wordWrap() || label->width() >= label->sizeHint().width());
}

} // namespace

TEST(frmLogin, FillsInTheServerAndEnablesLoginOnlyWithBothValues)
{
    auto *timer = new ManualEngineTimer;
    frmLogin dialog(nullptr, timer);
    bool ran = false;
    showWith(dialog, QStringLiteral("anonymous"), [&] {
        ran = true;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Ftp Login - ftp.example.test"));
        EXPECT_TRUE(dialog.lblInfo->text().endsWith(QStringLiteral("ftp account at: ftp.example.test")));
        EXPECT_EQ(dialog.txtUser->text(), QStringLiteral("anonymous"));
        EXPECT_EQ(dialog.txtUser->selectedText(), QStringLiteral("anonymous"));
        EXPECT_EQ(dialog.txtPwd->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(dialog.CmdUpd->isEnabled());
        dialog.txtPwd->setText(QStringLiteral("   "));
        EXPECT_FALSE(dialog.CmdUpd->isEnabled());
        dialog.txtPwd->setText(QStringLiteral("pw"));
        EXPECT_TRUE(dialog.CmdUpd->isEnabled());
        dialog.txtUser->clear();
        EXPECT_FALSE(dialog.CmdUpd->isEnabled());
        dialog.txtUser->setText(QStringLiteral("bob"));
        EXPECT_TRUE(timer->isActive());
        const QImage shown = dialog.grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < shown.height(); y += 2)
            for (int x = 0; x < shown.width(); x += 2)
                colours.insert(shown.pixel(x, y));
        EXPECT_GT(colours.size(), 8); // text, boxes and buttons, not a blank window
        dialog.CmdUpd->click();
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Tag(), QStringLiteral("*"));
    EXPECT_FALSE(timer->isActive());
}

TEST(frmLogin, GivesUpAfterThirtyQuietSecondsAndTypingRestartsTheCount)
{
    auto *timer = new ManualEngineTimer;
    frmLogin dialog(nullptr, timer);
    showWith(dialog, QStringLiteral("user"), [&] {
        dialog.txtPwd->setText(QStringLiteral("typed"));
        EXPECT_TRUE(timer->fire());
        EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Waiting 29 seconds before disconnecting..."));
        for (int i = 0; i < 28; ++i)
            timer->fire();
        EXPECT_TRUE(dialog.isVisible());
        QTest::keyClick(dialog.txtPwd, Qt::Key_A);
        EXPECT_EQ(dialog.countdown(), frmLogin::kCountdownSeconds);
        for (int i = 0; i < 29; ++i)
            timer->fire();
        EXPECT_TRUE(dialog.isVisible());
        timer->fire();
    });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Tag(), QString());
}

TEST(frmLogin, ClosingTheWindowDeclines)
{
    frmLogin dialog(nullptr, new ManualEngineTimer);
    showWith(dialog, QStringLiteral("user"), [&] {
        dialog.txtPwd->setText(QStringLiteral("typed"));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.Tag(), QString());

    showWith(dialog, QStringLiteral("user"), [&] { dialog.CmdCnc->click(); });
    EXPECT_EQ(dialog.Tag(), QString());
}

namespace {

class RefusedLogIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        handler.setTimerFactory([] { return new ManualEngineTimer; });
        engine.setLoginFailedHandler(&handler);
        QObject::connect(&engine, &FtpCommander::NotifyModal, &engine,
                         [this](bool &modal) { modalEvents << modal; }, Qt::DirectConnection);
    }

    bool logInWithWrongPassword()
    {
        return LogIn(engine, recorder, server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser),
                     QStringLiteral("wrong"));
    }

    PyFtpServer server;
    ManualEngineTimer *engineTimer = new ManualEngineTimer; // the engine's, fired by hand
    FtpCommander engine{nullptr, engineTimer};
    EngineRecorder recorder{engine};
    LoginFailedDialog handler;
    QList<bool> modalEvents;
    int shown = 0;
};

} // namespace

TEST_F(RefusedLogIn, NewCredentialsLogInOnTheSameConnectionAndAreNotStored)
{
    handler.setShownHook([&](frmLogin &dialog) {
        ++shown;
        EXPECT_EQ(dialog.txtUser->text(), QString::fromLatin1(PyFtpServer::kUser));
        dialog.txtPwd->setText(QString::fromLatin1(PyFtpServer::kPassword));
        dialog.CmdUpd->click();
    });
    ASSERT_TRUE(logInWithWrongPassword());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(modalEvents, (QList<bool>{true, false}));
    EXPECT_EQ(recorder.connects, 1);
    EXPECT_EQ(recorder.sent.count(QStringLiteral("USER ****")), 2);
    EXPECT_EQ(recorder.jobDone, 1);
    EXPECT_EQ(engine.CmdStatus(), EngineSocket::Connected);

    // The saved property set keeps the design-time log-in, not what was typed.
    PropertyBag after;
    engine.WriteProperties(after);
    EXPECT_FALSE(after.contains(QStringLiteral("User")));
    EXPECT_FALSE(after.contains(QStringLiteral("Password")));
    for (const QString &key : after.keys())
        EXPECT_NE(after.ReadProperty(key, QVariant()).toString(), QString::fromLatin1(PyFtpServer::kPassword));
}

TEST_F(RefusedLogIn, DisconnectClosesTheSession)
{
    handler.setShownHook([&](frmLogin &dialog) {
        ++shown;
        dialog.CmdCnc->click();
    });
    EXPECT_FALSE(logInWithWrongPassword());
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return recorder.disconnects > 0; }));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(modalEvents, (QList<bool>{true, false}));
    EXPECT_EQ(recorder.sent.count(QStringLiteral("USER ****")), 1);
    EXPECT_TRUE(recorder.sent.contains(QStringLiteral("QUIT")));
    EXPECT_EQ(recorder.jobDone, 0);
    EXPECT_FALSE(engine.SessionActive());
}

// A user who takes longer than the reply time-out over the dialog gets no
// time-out and no second try of the refused password meanwhile.
TEST_F(RefusedLogIn, TheEnginesTimeOutRestsWhileTheDialogIsOpen)
{
    int timeOuts = 0;
    QObject::connect(&engine, &FtpCommander::ReplyTimedOut, &engine, [&] { ++timeOuts; });
    engine.setCommandTimeout(20);
    handler.setShownHook([&](frmLogin &dialog) {
        ++shown;
        engineTimer->advance(25000);
        EXPECT_EQ(timeOuts, 0);
        EXPECT_EQ(recorder.sent.filter(QStringLiteral("PASS ")).size(), 1);
        dialog.txtPwd->setText(QString::fromLatin1(PyFtpServer::kPassword));
        dialog.CmdUpd->click();
    });
    ASSERT_TRUE(logInWithWrongPassword());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(timeOuts, 0);
    EXPECT_EQ(recorder.sent.filter(QStringLiteral("PASS ")).size(), 2);
    // Once the new log-in is under way the time-outs run again.
    EXPECT_TRUE(engineTimer->isActive());
}

TEST_F(RefusedLogIn, ServerGoneWhileAskingCountsAsDeclined)
{
    handler.setShownHook([&](frmLogin &dialog) {
        ++shown;
        server.stop();
        EXPECT_TRUE(EngineRecorder::waitFor([&] { return engine.CmdStatus() != EngineSocket::Connected; }));
        dialog.txtPwd->setText(QString::fromLatin1(PyFtpServer::kPassword));
        dialog.CmdUpd->click();
    });
    EXPECT_FALSE(logInWithWrongPassword());
    EXPECT_TRUE(EngineRecorder::waitFor([&] { return !engine.isBusy() && !engine.SessionActive(); }));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(modalEvents, (QList<bool>{true, false}));
    EXPECT_EQ(recorder.sent.count(QStringLiteral("USER ****")), 1);
    EXPECT_EQ(recorder.jobDone, 0);
    EXPECT_NE(engine.CmdStatus(), EngineSocket::Connected);
}

// Every line of the dialog reads whole, also once the countdown shows, and
// its title bar has room for the whole caption with the program's name.
TEST(frmLogin, EveryLineAndTheCaptionReadWhole)
{
    const QString displayName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ftp Qor"));
    for (const QString server : {QStringLiteral("127.0.0.1"), QStringLiteral("ftp.example.test"),
                                 QStringLiteral("a-rather-long-server-name.behind.some.example.test")}) {
        SCOPED_TRACE(server.toStdString());
        auto *timer = new ManualEngineTimer;
        frmLogin dialog(nullptr, timer);
        bool ran = false;
        showWith(
            dialog, QStringLiteral("anonymous"),
            [&] {
                ran = true;
                timer->fire(); // the countdown line appears
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                const auto *userLabel = dialog.findChild<QLabel *>(QStringLiteral("Label4"));
                ASSERT_NE(userLabel, nullptr);
                EXPECT_FALSE(dialog.Label1->text().isEmpty());
                for (const QLabel *label : {static_cast<const QLabel *>(dialog.lblInfo), userLabel, static_cast<const QLabel *>(dialog.Label1)})
                    EXPECT_TRUE(readsWhole(label)) << label->objectName().toStdString() << " "
                                                   << label->height() << " high";
                // The message ends above the user name row, the countdown below the password.
                EXPECT_LT(dialog.lblInfo->geometry().bottom(), userLabel->geometry().top());
                EXPECT_LT(dialog.lblInfo->geometry().bottom(), dialog.txtUser->geometry().top());
                EXPECT_GT(dialog.Label1->geometry().top(), dialog.txtPwd->geometry().bottom());
                EXPECT_LT(dialog.Label1->geometry().bottom(), dialog.CmdUpd->geometry().top());

                QFont title = QApplication::font("QMdiSubWindowTitleBar");
                QFont own = dialog.font();
                title.setBold(true);
                own.setBold(true);
                const QString shown = dialog.windowTitle() + QStringLiteral(" \u2014 Ftp Qor");
                const int caption = std::max(QFontMetrics(title).horizontalAdvance(shown),
                                             QFontMetrics(own).horizontalAdvance(shown));
                EXPECT_GE(dialog.width(),
                          caption + 4 * dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &dialog));
                dialog.CmdCnc->click();
            },
            server);
        EXPECT_TRUE(ran);
    }
    QGuiApplication::setApplicationDisplayName(displayName);
}

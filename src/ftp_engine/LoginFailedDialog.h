#pragma once

#include "LoginFailedHandler.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class EngineTimer;
class frmLogin;

// Answers an engine's login-failed question with the modal frmLogin dialog,
// shown over the window that hosts the engine. New credentials are handed to
// the engine for this session only; they are never stored.
class LoginFailedDialog : public LoginFailedHandler
{
public:
    explicit LoginFailedDialog(QWidget *owner = nullptr);

    bool askCredentials(FtpCommander &engine, const QString &serverAddress, QString &user,
                        QString &password) override;

    // Seams: the countdown timer each dialog gets (a one-second timer by
    // default), and a hook run once a dialog is on screen.
    void setTimerFactory(std::function<EngineTimer *()> factory) { m_timerFactory = std::move(factory); }
    void setShownHook(std::function<void(frmLogin &)> hook) { m_shownHook = std::move(hook); }

private:
    QPointer<QWidget> m_owner;
    std::function<EngineTimer *()> m_timerFactory;
    std::function<void(frmLogin &)> m_shownHook;
};

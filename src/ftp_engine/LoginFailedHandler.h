#pragma once

#include <QString>

class FtpCommander;

// The question an engine asks when the server refuses the user name or the
// password during log-in. The host that shows the login-failed dialog
// implements it and hands it to FtpCommander::setLoginFailedHandler; the
// engine raises NotifyModal(true) before and NotifyModal(false) after the call.
//
// Return true with new values in `user` and `password` to log in again on the
// same connection; false to give up (the engine then closes the session). An
// engine with no handler behaves as if the user declined. The handler may run
// a nested event loop: the engine re-checks that it still exists and that its
// control connection is still up before it goes on.
class LoginFailedHandler
{
public:
    virtual ~LoginFailedHandler() = default;
    virtual bool askCredentials(FtpCommander &engine, const QString &serverAddress, QString &user,
                                QString &password) = 0;
};

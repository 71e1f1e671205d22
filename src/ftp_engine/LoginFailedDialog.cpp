#include "LoginFailedDialog.h"

#include "EngineSocket.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "frmLogin.h"

#include <QLineEdit>

LoginFailedDialog::LoginFailedDialog(QWidget *owner)
    : m_owner(owner)
{
}

bool LoginFailedDialog::askCredentials(FtpCommander &engine, const QString &serverAddress, QString &user,
                                       QString &password)
{
    QPointer<FtpCommander> guard(&engine);
    QPointer<frmLogin> dialog;
    bool again = false;
    try {
        dialog = new frmLogin(m_owner, m_timerFactory ? m_timerFactory() : nullptr);
        if (m_shownHook) {
            QObject::connect(dialog, &frmLogin::Shown, dialog, [this, dialog] {
                if (dialog)
                    m_shownHook(*dialog);
            });
        }
        dialog->ShowLogin(m_owner, serverAddress, user);
        // The engine goes on only when its connection outlived the dialog.
        if (dialog && guard && dialog->Tag() == QStringLiteral("*")
            && guard->CmdStatus() == EngineSocket::Connected) {
            user = dialog->txtUser->text();
            password = dialog->txtPwd->text();
            again = true;
        }
    } catch (...) {
        LogCurrentException(QStringLiteral("FtpCommander"), QStringLiteral("AskCredentials"));
        again = false;
    }
    delete dialog.data();
    return again;
}

#pragma once

#include <QDialog>

class EngineTimer;
class QLabel;
class QLineEdit;
class QPushButton;

// The login-failed dialog: asks for another user name and password after the
// server refused them, and gives up by itself after 30 seconds without a key
// press. Its answer is its Tag: "*" for Login, empty otherwise.
class frmLogin : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kCountdownSeconds = 30;

    // The dialog owns `timer` (a plain one-second timer when none is given;
    // tests pass one they tick by hand).
    explicit frmLogin(QWidget *parent = nullptr, EngineTimer *timer = nullptr);

    // Fills the dialog and shows it modally over the owner; returns when it is hidden.
    void ShowLogin(QWidget *owner, const QString &serverAddress, const QString &userName);

    QString Tag() const { return m_tag; }
    int countdown() const { return m_countdown; }

    QLabel *lblInfo = nullptr;
    QLabel *Label1 = nullptr; // the countdown
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPwd = nullptr;
    QPushButton *CmdUpd = nullptr; // "&Login"
    QPushButton *CmdCnc = nullptr; // "&Disconnect"

public Q_SLOTS:
    // One second of the countdown.
    void Timer1_Timer();

Q_SIGNALS:
    // The dialog is on screen and its modal loop runs.
    void Shown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void updateLoginButton();
    QString countdownText(int seconds) const;
    void finish(const QString &tag);

    EngineTimer *m_timer = nullptr;
    QString m_tag;
    int m_countdown = kCountdownSeconds;
};

#include "frmLogin.h"

#include "DialogWidgets.h"
#include "EngineTimer.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

frmLogin::frmLogin(QWidget *parent, EngineTimer *timer)
    : QDialog(parent)
    , m_timer(timer ? timer : new EngineTimer(this))
{
    setObjectName(QStringLiteral("frmLogin"));
    m_timer->setParent(this);
    connect(m_timer, &EngineTimer::tick, this, &frmLogin::Timer1_Timer);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    auto *label4 = new QLabel(tr("User Name"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    txtUser = new QLineEdit(this);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    auto *label5 = new QLabel(tr("Password:"), this);
    label5->setObjectName(QStringLiteral("Label5"));
    txtPwd = new QLineEdit(this);
    txtPwd->setObjectName(QStringLiteral("txtPwd"));
    txtPwd->setEchoMode(QLineEdit::Password);
    txtPwd->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    label4->setBuddy(txtUser);
    label5->setBuddy(txtPwd);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    CmdUpd = new QPushButton(tr("&Login"), this);
    CmdUpd->setObjectName(QStringLiteral("CmdUpd"));
    CmdUpd->setDefault(true);
    CmdCnc = new QPushButton(tr("&Disconnect"), this);
    CmdCnc->setObjectName(QStringLiteral("CmdCnc"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, Qt::AlignTop);
    grid->addWidget(lblInfo, 0, 1, 1, 2);
    grid->addWidget(label4, 1, 1);
    grid->addWidget(txtUser, 1, 2);
    grid->addWidget(label5, 2, 1);
    grid->addWidget(txtPwd, 2, 2);
    grid->addWidget(Label1, 3, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdUpd);
    buttons->addWidget(CmdCnc);
    grid->addLayout(buttons, 4, 0, 1, 3);

    connect(txtUser, &QLineEdit::textChanged, this, &frmLogin::updateLoginButton);
    connect(txtPwd, &QLineEdit::textChanged, this, &frmLogin::updateLoginButton);
    connect(CmdUpd, &QPushButton::clicked, this, [this] { finish(QStringLiteral("*")); });
    connect(CmdCnc, &QPushButton::clicked, this, [this] { finish(QString()); });
    // Closing the window any other way declines.
    connect(this, &QDialog::rejected, this, [this] {
        m_timer->stop();
        m_tag.clear();
    });
    txtUser->installEventFilter(this);
    txtPwd->installEventFilter(this);
    updateLoginButton();
}

void frmLogin::ShowLogin(QWidget *owner, const QString &serverAddress, const QString &userName)
{
    if (owner && owner != parentWidget())
        setParent(owner, windowFlags());
    lblInfo->setText(tr("Login failed! Provide correct User Name and Password for your ftp account at: ")
                     + serverAddress);
    setWindowTitle(tr("Ftp Login - ") + serverAddress);
    FitToScreen(this); // the server's name wraps, the dialog stays on the screen
    // The countdown appears after the dialog is laid out: its line is there
    // from the start, so it never takes the room of the lines above it.
    Label1->setWordWrap(false);
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance(countdownText(kCountdownSeconds)));
    Label1->setMinimumHeight(Label1->fontMetrics().height());
    KeepCaptionWhole(this);
    txtUser->setText(userName);
    txtUser->selectAll();
    txtUser->setFocus();
    m_tag.clear();
    m_countdown = kCountdownSeconds;
    Label1->clear();
    m_timer->start(1000);
    setModal(true);
    // A nested event loop, as a modal dialog needs: the engine waits for the answer.
    exec();
}

void frmLogin::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Queued, so that it comes once the modal loop runs.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            Q_EMIT Shown();
    });
}

QString frmLogin::countdownText(int seconds) const
{
    return tr("Waiting %1 seconds before disconnecting...").arg(seconds);
}

void frmLogin::Timer1_Timer()
{
    --m_countdown;
    Label1->setText(countdownText(m_countdown));
    if (m_countdown < 1)
        finish(QString());
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == txtUser || watched == txtPwd))
        m_countdown = kCountdownSeconds;
    return QDialog::eventFilter(watched, event);
}

void frmLogin::updateLoginButton()
{
    CmdUpd->setEnabled(!txtUser->text().trimmed().isEmpty() && !txtPwd->text().trimmed().isEmpty());
}

void frmLogin::finish(const QString &tag)
{
    m_timer->stop();
    m_tag = tag;
    hide();
}

#include "frmOverwrite.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"
#include "ProfileDialogHeader.h"
#include "SoundAlerts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kObject = QStringLiteral("frmOverwrite");
}

frmOverwrite::frmOverwrite(QWidget *parent, int countdownStart, int tickMs)
    : QDialog(parent), m_countdown(countdownStart)
{
    setObjectName(kObject);
    setWindowTitle(QStringLiteral("Confirm"));
    setModal(true);

    auto *header = new ProfileDialogHeader(QString(), QString(), this);
    header->setMinimumHeight(48);
    auto *headerRow = new QHBoxLayout(header);
    lblHdr = new QLabel(QStringLiteral("Confirm File Overwrite"), header);
    QFont bold = lblHdr->font();
    bold.setBold(true);
    lblHdr->setFont(bold);
    Image1 = new QLabel(header);
    Image1->setObjectName(QStringLiteral("Image1"));
    headerRow->addWidget(lblHdr, 1);
    headerRow->addWidget(Image1);

    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblTime = new QLabel(this);
    lblTime->setObjectName(QStringLiteral("lblTime"));

    CmdOK = MakeDialogButton(QStringLiteral("CmdOK"), QStringLiteral("&Overwrite"), this);
    CmdOKAll = MakeDialogButton(QStringLiteral("CmdOKAll"), QStringLiteral("Overwrite &All"), this);
    CmdStop = MakeDialogButton(QStringLiteral("CmdStop"), QStringLiteral("&Skip"), this);
    CmdStopAll = MakeDialogButton(QStringLiteral("CmdStopAll"), QStringLiteral("Skip All"), this);
    CmdOK->setDefault(true);
    connect(CmdOK, &QPushButton::clicked, this, [this] { answer(QStringLiteral("1")); });
    connect(CmdOKAll, &QPushButton::clicked, this, [this] { answer(QStringLiteral("*")); });
    connect(CmdStop, &QPushButton::clicked, this, [this] { answer(QStringLiteral("-1")); });
    connect(CmdStopAll, &QPushButton::clicked, this, [this] { answer(QStringLiteral("-*")); });

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {CmdOK, CmdOKAll, CmdStop, CmdStopAll})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addWidget(lblInfo);
    layout->addWidget(lblTime);
    layout->addLayout(buttons);

    Timer1.setInterval(tickMs);
    connect(&Timer1, &QTimer::timeout, this, &frmOverwrite::Timer1_Timer);
    // The first line shows at once; the ticks run while the question is up.
    Timer1_Timer();
    PlayAlertSound(AlertSound::OverwritePrompt);
}

void frmOverwrite::SetFileName(const QString &name)
{
    lblInfo->setText(QStringLiteral("Do you wish to overwrite existing file\r\n'") + name + QStringLiteral("' ?"));
}

void frmOverwrite::SetImage(const QPixmap &picture) { Image1->setPixmap(picture); }

void frmOverwrite::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_tag.isEmpty()) {
        // Answered before it showed (a countdown of nothing): end the display at once.
        QMetaObject::invokeMethod(this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
        return;
    }
    if (!Timer1.isActive())
        Timer1.start();
}

void frmOverwrite::closeEvent(QCloseEvent *event)
{
    Timer1.stop();
    QDialog::closeEvent(event);
}

void frmOverwrite::Timer1_Timer()
{
    try {
        lblTime->setText(QStringLiteral("Failing to respond within ") + QString::number(m_countdown)
                         + QStringLiteral(" seconds will overwrite this file !"));
        if (--m_countdown < 0)
            answer(QStringLiteral("1"));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer1_Timer"));
    }
}

void frmOverwrite::answer(const QString &code)
{
    Timer1.stop();
    m_tag = code;
    done(QDialog::Accepted);
}

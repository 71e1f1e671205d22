#include "frmProgress.h"

#include "DialogWidgets.h"
#include "ElidingLabel.h"
#include "ErrorLog.h"
#include "FramePacer.h"
#include "ProfileDialogHeader.h"
#include "ProgressOwner.h"
#include "Prompts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {
const QString kObject = QStringLiteral("frmProgress");
constexpr QChar kItemMark = QChar(1); // "name" + mark + "D" announces a folder of a delete batch
} // namespace

frmProgress::frmProgress(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(kObject);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    new FramePacer(this); // the current entry and the bar change with every step of a batch

    auto *header = new ProfileDialogHeader(QString(), QString(), this);
    header->setObjectName(QStringLiteral("Picture1"));
    header->setMinimumHeight(40);
    for (size_t i = 0; i < Label1.size(); ++i) {
        Label1[i] = new ElidingLabel(QString(), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_") + QString::number(i));
        Label1[i]->setMinimumWidth(360);
    }
    PB = new QProgressBar(this);
    PB->setTextVisible(false);
    Command1 = MakeDialogButton(QStringLiteral("Command1"), QStringLiteral("Close"), this);
    connect(Command1, &QPushButton::clicked, this, &frmProgress::Command1_Click);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addWidget(Label1[0]);
    layout->addWidget(Label1[1]);
    layout->addWidget(PB);
    layout->addWidget(Command1, 0, Qt::AlignRight);
}

int frmProgress::ShowAction(ProgressOwner *owner, QWidget *ownerWindow, bool createFolders, int server,
                            const QString &action, qint64 max)
{
    m_owner = owner;
    m_createFolders = createFolders;
    m_server = server;
    m_tag = action;
    m_max = max;
    PB->setRange(0, static_cast<int>(std::clamp<qint64>(max, 0, INT_MAX)));
    PB->setValue(0);
    m_ready = QStringLiteral("OK");
    if (ownerWindow && !parentWidget())
        setParent(ownerWindow, windowFlags());
    if (m_finished)
        return QDialog::Accepted;
    return exec();
}

void frmProgress::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The batch starts from the event loop, once the dialog is up: a first
    // step that ends inside its call then ends a running display.
    if (!std::exchange(m_started, true))
        QTimer::singleShot(0, this, &frmProgress::Form_Activate);
}

void frmProgress::Form_Activate()
{
    try {
        if (m_ready.isEmpty() || m_finished) {
            Finish();
            return;
        }
        if (m_createFolders) {
            Label1[0]->setText(QStringLiteral("Creating remote folders"));
            Command1->setEnabled(false);
            if (m_owner)
                m_owner->CreateRemoteFolders(m_server);
            return;
        }
        runStage(m_tag);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Activate"));
    }
}

void frmProgress::runStage(const QString &action)
{
    QPointer<frmProgress> guard(this);
    if (action == kListFolders) {
        Label1[0]->setText(QStringLiteral("Listing files and folders from remote system..."));
        Command1->setEnabled(false);
        if (m_owner)
            m_owner->RunListFiles(m_server);
        return;
    }
    if (action != kDownload && action != kUpload && action != kDelete)
        return;
    // A batch that made folders first keeps "Close" disabled to its end.
    if (!m_createFolders)
        Command1->setEnabled(true);
    if (!m_owner)
        return;
    if (action == kDownload)
        m_owner->RunDownloads(m_server);
    else if (action == kUpload)
        m_owner->RunUploads(m_server);
    else
        m_owner->RunDeletes(m_server);
}

void frmProgress::FoldersDone()
{
    try {
        if (m_tag == kListFolders)
            return;
        runStage(m_tag);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FoldersDone"));
    }
}

void frmProgress::Inform(qint64 index, const QString &item)
{
    try {
        const QString count = QString::number(index + 1) + QStringLiteral(" of ") + QString::number(m_max);
        if (m_tag == kUpload) {
            Label1[0]->setText(QStringLiteral("Uploading file: ") + item);
            Label1[1]->setText(QStringLiteral("Uploading ") + count);
        } else if (m_tag == kDownload) {
            Label1[0]->setText(QStringLiteral("Downloading file: ") + item);
            Label1[1]->setText(QStringLiteral("Downloading ") + count);
        } else if (m_tag == kDelete) {
            const QStringList parts = item.split(kItemMark);
            QString kind = QStringLiteral("file");
            QString name = item;
            if (parts.size() == 2) {
                name = parts[0];
                if (parts[1] == QLatin1String("D"))
                    kind = QStringLiteral("directory");
            }
            Label1[0]->setText(QStringLiteral("Deleting ") + kind + QStringLiteral(": ") + name);
            Label1[1]->setText(QStringLiteral("Deleting ") + count);
        }
        PB->setValue(static_cast<int>(std::clamp<qint64>(index + 1, PB->minimum(), PB->maximum())));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Inform"));
    }
}

void frmProgress::Finish()
{
    m_finished = true;
    if (isVisible())
        done(QDialog::Accepted);
}

void frmProgress::Command1_Click()
{
    // Only the display ends; the batch's steps go on without it.
    done(QDialog::Rejected);
}

void frmProgress::askToStopWalk()
{
    try {
        if (m_tag != kListFolders || m_finished || WalkCancelled || m_askingToStop)
            return;
        QPointer<frmProgress> guard(this);
        m_askingToStop = true;
        const PromptButton choice =
            ShowMessage(this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Confirm"),
                        WalkForDelete ? kStopDeleteWalkText : kStopWalkText);
        if (!guard)
            return;
        m_askingToStop = false;
        // Also when the walk ended while the question was up: the user was
        // promised that nothing is transferred.
        if (choice != PromptButton::Yes || WalkCancelled)
            return;
        WalkCancelled = true;
        if (m_owner && !m_finished)
            m_owner->StopListFiles(m_server);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("StopWalk"));
    }
}

void frmProgress::closeEvent(QCloseEvent *event)
{
    // The close box would leave the batch without its display in the middle of
    // folder creation or a walk; only the button ends the display early. A
    // walk may be stopped instead.
    if (!m_finished && !Command1->isEnabled()) {
        event->ignore();
        askToStopWalk();
        return;
    }
    QDialog::closeEvent(event);
}

void frmProgress::keyPressEvent(QKeyEvent *event)
{
    // Escape acts as "Close" only while the button is offered; during a walk it offers to stop it.
    if (event->key() == Qt::Key_Escape && !Command1->isEnabled()) {
        event->accept();
        askToStopWalk();
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "frmTask.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"
#include "JobForm.h"
#include "JobIntake.h"
#include "KeyedImageList.h"
#include "ModProfile.h"
#include "Modfolder.h"
#include "Prompts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kObject = QStringLiteral("frmTask");
const QString kCaption = QStringLiteral("Add New Job ");

} // namespace

frmTask::frmTask(JobIntake &intake, const KeyedImageList *pictures, QWidget *parent)
    : QDialog(parent), m_intake(intake)
{
    setObjectName(kObject);
    auto *layout = new QVBoxLayout(this);

    auto *direction = new QHBoxLayout;
    auto *group = new QButtonGroup(this);
    const QString captions[2] = {QStringLiteral("Upload"), QStringLiteral("Download")};
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(captions[i], this);
        if (pictures)
            Option1[i]->setIcon(pictures->Picture(captions[i]));
        group->addButton(Option1[i], i);
        direction->addWidget(Option1[i]);
    }
    direction->addStretch(1);
    Option1[1]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, &frmTask::Option1_Click);
    layout->addLayout(direction);

    auto *form = new QFormLayout;
    CboProfile = new QComboBox(this);
    CboProfile->setEditable(true);
    CboProfile->setInsertPolicy(QComboBox::NoInsert);
    form->addRow(QStringLiteral("&Profile"), CboProfile);
    txtSvr = new QLineEdit(QStringLiteral("ftp.example.com"), this);
    form->addRow(QStringLiteral("&FTP Server:"), txtSvr);
    txtport = new QLineEdit(QStringLiteral("21"), this);
    form->addRow(QStringLiteral("Port: "), txtport);
    txtUser = new QLineEdit(QStringLiteral("anonymous"), this);
    form->addRow(QStringLiteral("User Name: "), txtUser);
    txtPwd = new QLineEdit(QStringLiteral("guestuser"), this);
    txtPwd->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), txtPwd);
    Check1 = new QCheckBox(QStringLiteral("Passive"), this);
    Check1->setChecked(true);
    Check2 = new QCheckBox(QStringLiteral("Save this server information as profile"), this);
    form->addRow(Check1);
    form->addRow(Check2);
    txtRmtPath = new QComboBox(this);
    txtRmtPath->setEditable(true);
    txtRmtPath->setInsertPolicy(QComboBox::NoInsert);
    form->addRow(QStringLiteral("&Remote File"), txtRmtPath);
    auto *localRow = new QHBoxLayout;
    auto *localBoxes = new QVBoxLayout;
    txtLocPath = new QLineEdit(this);
    List1 = new QListWidget(this);
    List1->hide();
    localBoxes->addWidget(txtLocPath);
    localBoxes->addWidget(List1);
    CmdDir = new QPushButton(QStringLiteral("..."), this);
    localRow->addLayout(localBoxes, 1);
    localRow->addWidget(CmdDir, 0, Qt::AlignTop);
    // A row holding a layout gets no buddy of its own: without one the "&" shows and Alt+L does nothing.
    auto *localLabel = new QLabel(QStringLiteral("&Local File"), this);
    localLabel->setBuddy(txtLocPath);
    form->addRow(localLabel, localRow);
    layout->addLayout(form);

    lblInfo = new QLabel(QStringLiteral("Provide the ftp and local path to create job"), this);
    layout->addWidget(lblInfo);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    CmdOK = new QPushButton(QStringLiteral("&Save"), this);
    CmdCnc = new QPushButton(QStringLiteral("&Cancel"), this);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCnc);
    layout->addLayout(buttons);

    AddProfileNames(CboProfile, ProfileFilePath);
    CboProfile->setCurrentIndex(-1);
    CboProfile->setEditText(QString());

    connect(CboProfile, &QComboBox::activated, this, [this] { CboProfile_Click(); });
    connect(CboProfile, &QComboBox::editTextChanged, this, &frmTask::profileTyped);
    CboProfile->installEventFilter(this);
    connect(txtRmtPath, &QComboBox::editTextChanged, this, [this] {
        m_remotePathEdited = true;
        UpdateOkButton();
    });
    txtRmtPath->installEventFilter(this);
    txtRmtPath->lineEdit()->installEventFilter(this);
    for (QLineEdit *box : {txtSvr, txtport, txtUser, txtPwd, txtLocPath})
        connect(box, &QLineEdit::textChanged, this, &frmTask::UpdateOkButton);
    connect(CmdDir, &QPushButton::clicked, this, &frmTask::CmdDir_Click);
    connect(CmdOK, &QPushButton::clicked, this, &frmTask::CmdOK_Click);
    connect(CmdCnc, &QPushButton::clicked, this, &frmTask::CmdCnc_Click);
    setCaption();
    UpdateOkButton();
    // Wide enough at its default size for either direction's caption, as the title bar shows it.
    setMinimumWidth(WholeCaptionWidth(this, {caption(false), caption(true)}));
}

bool frmTask::uploadChosen() const { return Option1[0]->isChecked(); }

QString frmTask::caption(bool upload)
{
    return kCaption + QStringLiteral("- ") + (upload ? QStringLiteral("Upload") : QStringLiteral("Download"));
}

void frmTask::setCaption() { setWindowTitle(caption(uploadChosen())); }

void frmTask::Option1_Click(int index)
{
    try {
        if (index == 1) {
            List1->hide();
            List1->clear();
            txtLocPath->show();
            txtLocPath->clear();
        }
        setCaption();
        UpdateOkButton();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Option1_Click"));
    }
}

void frmTask::profileTyped(const QString &text)
{
    const bool listed = CboProfile->findText(text, Qt::MatchExactly) >= 0;
    if (listed)
        Check2->setChecked(false);
    Check2->setEnabled(!listed);
}

void frmTask::CboProfile_Click()
{
    try {
        const int index = CboProfile->currentIndex();
        if (index < 0) {
            Check2->setEnabled(true);
            return;
        }
        if (CboProfile->itemText(index).size() > 1) {
            int record = CboProfile->itemData(index).toInt();
            if (const std::optional<CProfile> profile = loadProfileData(ProfileFilePath, record)) {
                txtSvr->setText(profile->Server.trimmed());
                txtport->setText(QString::number(profile->Port));
                txtUser->setText(profile->User.trimmed());
                txtPwd->setText(profile->Password.trimmed());
                Check1->setChecked(profile->IsPassive == 1);
                m_remotePathHistory.clear();
                LoadRemotePathHistory(profile->ProfileName, m_remotePathHistory);
                const QString server = txtSvr->text();
                txtRmtPath->blockSignals(true);
                const QString typed = txtRmtPath->currentText();
                txtRmtPath->clear();
                for (const PathHistoryEntry &entry : m_remotePathHistory) {
                    if (entry.Path.isEmpty())
                        continue;
                    QString path = entry.Path;
                    const qsizetype at = server.isEmpty() ? -1 : path.indexOf(server);
                    if (at >= 0)
                        path.remove(at, server.size());
                    txtRmtPath->addItem(path);
                }
                txtRmtPath->setEditText(typed);
                txtRmtPath->blockSignals(false);
            }
        }
        Check2->setChecked(false);
        Check2->setEnabled(false);
        UpdateOkButton();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CboProfile_Click"));
    }
}

void frmTask::profileLeft()
{
    const QString text = CboProfile->currentText().trimmed();
    if (text.isEmpty())
        return;
    const int index = CboProfile->findText(text, Qt::MatchFixedString);
    if (index < 0)
        return;
    CboProfile->setCurrentIndex(index);
    CboProfile_Click();
}

bool frmTask::eventFilter(QObject *watched, QEvent *event)
{
    try {
        if (watched == CboProfile && event->type() == QEvent::FocusOut) {
            profileLeft();
        } else if (watched == txtRmtPath || watched == txtRmtPath->lineEdit()) {
            if (event->type() == QEvent::KeyRelease) {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (key->key() == Qt::Key_V && (key->modifiers() & Qt::ControlModifier))
                    ParseRemoteUrl();
            } else if (event->type() == QEvent::KeyPress) {
                m_remotePathEdited = true;
            } else if (event->type() == QEvent::FocusOut && watched == txtRmtPath->lineEdit() && m_remotePathEdited) {
                ParseRemoteUrl();
            }
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("eventFilter"));
    }
    return QDialog::eventFilter(watched, event);
}

void frmTask::ParseRemoteUrl()
{
    try {
        QString s = txtRmtPath->currentText().trimmed();
        s.remove(QStringLiteral("ftp://"), Qt::CaseInsensitive);
        const qsizetype slash = s.indexOf(QLatin1Char('/'));
        if (slash > 0) {
            const QString host = s.left(slash);
            const QString server = txtSvr->text();
            if (server.compare(host, Qt::CaseInsensitive) != 0
                && server.compare(QStringLiteral("ftp://") + host, Qt::CaseInsensitive) != 0) {
                CboProfile->setCurrentIndex(-1);
                CboProfile->setEditText(QString());
                txtSvr->setText(host);
                txtport->setText(QStringLiteral("21"));
                txtUser->clear();
                txtPwd->clear();
            }
        }
        m_remotePathEdited = false;
        UpdateOkButton();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ParseRemoteUrl"));
    }
}

void frmTask::CmdDir_Click()
{
    try {
        if (uploadChosen()) {
            FileRequest request;
            request.kind = FileRequest::Kind::OpenFile;
            request.title = QStringLiteral("Select file(s) to upload");
            request.filter = QStringLiteral("All Files (*)");
            const std::optional<QStringList> chosen = Prompts::current().chooseFiles(this, request);
            if (!chosen || chosen->isEmpty())
                return;
            if (chosen->size() > 1) {
                txtLocPath->clear();
                txtLocPath->hide();
                List1->clear();
                List1->addItems(*chosen);
                List1->show();
            } else {
                List1->hide();
                List1->clear();
                txtLocPath->show();
                txtLocPath->setText(chosen->constFirst());
            }
        } else {
            txtLocPath->setText(
                GetFolder(this, QString(), QStringLiteral("Select the destination folder for downloads"), true, true));
        }
        UpdateOkButton();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdDir_Click"));
    }
}

void frmTask::UpdateOkButton()
{
    const bool local = !txtLocPath->text().trimmed().isEmpty() || List1->count() >= 1;
    CmdOK->setEnabled(!txtSvr->text().trimmed().isEmpty() && !txtUser->text().trimmed().isEmpty()
                      && !txtPwd->text().trimmed().isEmpty() && !txtRmtPath->currentText().trimmed().isEmpty()
                      && local);
}

void frmTask::CmdOK_Click()
{
    try {
        // The boxes show what is used: the address without "ftp://".
        QString remote = txtRmtPath->currentText().trimmed();
        const qsizetype remoteAt = remote.indexOf(QStringLiteral("ftp://"), 0, Qt::CaseInsensitive);
        if (remoteAt >= 0)
            remote.remove(remoteAt, 6);
        txtRmtPath->setEditText(remote);
        QString server = txtSvr->text();
        const qsizetype serverAt = server.indexOf(QStringLiteral("ftp://"), 0, Qt::CaseInsensitive);
        if (serverAt >= 0)
            server.remove(serverAt, 6);
        txtSvr->setText(server);
        txtLocPath->setText(txtLocPath->text().trimmed());
        if (txtLocPath->isVisibleTo(this)) {
            List1->clear();
            List1->addItem(txtLocPath->text());
        }

        JobForm form;
        form.upload = uploadChosen();
        form.server = server;
        form.port = txtport->text();
        form.user = txtUser->text();
        form.password = txtPwd->text();
        form.passive = Check1->isChecked();
        form.remoteText = remote;
        for (int i = 0; i < List1->count(); ++i)
            form.localEntries << List1->item(i)->text();
        form.localFolder = m_localFolder;
        const JobFormResult result = BuildJobsFromForm(form);
        if (result.refused) {
            if (!result.error.isEmpty())
                ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"), result.error);
            if (result.disableSave)
                CmdOK->setEnabled(false);
            return;
        }
        m_intake.AcceptJobs(result.jobs, true);
        hide();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Load"));
    }
}

void frmTask::CmdCnc_Click() { reject(); }

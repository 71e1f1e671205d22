#include "frmFolderOption.h"

#include "ErrorLog.h"
#include "ModProfile.h"
#include "Modfolder.h"
#include "PathHistory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kObject = QStringLiteral("frmFolderOption");
const QString kDefaultUser = QStringLiteral("anonymous"); // the engine's own default

} // namespace

frmFolderOption::frmFolderOption(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFolderOption"));
    setWindowTitle(QStringLiteral(" Select Folder Location"));
    setModal(true);

    Frame2 = new QGroupBox(QStringLiteral("Select Folder Location Type"), this);
    Option1[0] = new QRadioButton(QStringLiteral("FTP"), Frame2);
    Option1[1] = new QRadioButton(QStringLiteral("Local"), Frame2);
    Option1[0]->setObjectName(QStringLiteral("Option1_0"));
    Option1[1]->setObjectName(QStringLiteral("Option1_1"));
    Option1[1]->setChecked(true);
    auto *kindRow = new QHBoxLayout(Frame2);
    kindRow->addWidget(Option1[0]);
    kindRow->addWidget(Option1[1]);

    Frame3 = new QGroupBox(QStringLiteral("Select Local Folder"), this);
    txtLocal = new QLineEdit(Frame3);
    txtLocal->setObjectName(QStringLiteral("txtLocal"));
    cmdDirLoc = new QPushButton(QStringLiteral("..."), Frame3);
    cmdDirLoc->setObjectName(QStringLiteral("cmdDirLoc"));
    cmdDirLoc->setToolTip(QStringLiteral("Select Directory"));
    auto *localRow = new QHBoxLayout(Frame3);
    localRow->addWidget(txtLocal, 1);
    localRow->addWidget(cmdDirLoc);

    Frame1 = new QGroupBox(QStringLiteral("Select Ftp Location"), this);
    auto *grid = new QGridLayout(Frame1);
    auto label = [this, grid](const QString &text, int row, int column = 0) {
        auto *l = new QLabel(text, Frame1);
        grid->addWidget(l, row, column);
        m_ftpLabels << l;
        return l;
    };
    Label6 = label(QStringLiteral("&Profile"), 0);
    CboProfile = new QComboBox(Frame1);
    CboProfile->setObjectName(QStringLiteral("CboProfile"));
    Label6->setBuddy(CboProfile);
    grid->addWidget(CboProfile, 0, 1, 1, 3);
    label(QStringLiteral("Ftp Server"), 1);
    txtSvr = new QLineEdit(QString::fromLatin1(kServerPlaceholder), Frame1);
    txtSvr->setObjectName(QStringLiteral("txtSvr"));
    grid->addWidget(txtSvr, 1, 1);
    label(QStringLiteral("Port: "), 1, 2);
    txtport = new QLineEdit(QStringLiteral("21"), Frame1);
    txtport->setObjectName(QStringLiteral("txtport"));
    grid->addWidget(txtport, 1, 3);
    label(QStringLiteral("User"), 2);
    txtUser = new QLineEdit(kDefaultUser, Frame1);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    grid->addWidget(txtUser, 2, 1, 1, 3);
    label(QStringLiteral("Password"), 3);
    txtPwd = new QLineEdit(kDefaultUser, Frame1);
    txtPwd->setObjectName(QStringLiteral("txtPwd"));
    txtPwd->setEchoMode(QLineEdit::Password);
    grid->addWidget(txtPwd, 3, 1, 1, 3);
    label(QStringLiteral("Folder"), 4);
    txtRmtPath = new QComboBox(Frame1);
    txtRmtPath->setObjectName(QStringLiteral("txtRmtPath"));
    txtRmtPath->setEditable(true);
    grid->addWidget(txtRmtPath, 4, 1, 1, 3);
    ChkPsv = new QCheckBox(QStringLiteral("Passive"), Frame1);
    ChkPsv->setObjectName(QStringLiteral("ChkPsv"));
    grid->addWidget(ChkPsv, 5, 1);

    CmdOK = new QPushButton(QStringLiteral("&OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addWidget(Frame3);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);

    connect(Option1[0], &QRadioButton::toggled, this, [this] { Option1_Click(); });
    connect(cmdDirLoc, &QPushButton::clicked, this, &frmFolderOption::cmdDirLoc_Click);
    for (QLineEdit *box : {txtLocal, txtSvr, txtport, txtUser, txtPwd})
        connect(box, &QLineEdit::textChanged, this, &frmFolderOption::ValidateLocation);
    connect(txtRmtPath, &QComboBox::editTextChanged, this, &frmFolderOption::ValidateLocation);
    connect(txtRmtPath, &QComboBox::activated, this, &frmFolderOption::ValidateLocation);
    connect(CboProfile, &QComboBox::activated, this, &frmFolderOption::CboProfile_Click);
    CboProfile->installEventFilter(this);
    connect(CmdOK, &QPushButton::clicked, this, [this] {
        m_tag = QStringLiteral("*");
        accept();
    });
    connect(CmdCancel, &QPushButton::clicked, this, [this] {
        m_tag.clear();
        reject();
    });
    Form_Load();
}

void frmFolderOption::Form_Load()
{
    RunTrapped(kObject, QStringLiteral("Form_Load"), [this] {
        Option1_Click();
        // Blank names are skipped; each entry keeps its own record number.
        AddProfileNames(CboProfile, ProfileFilePath);
        CboProfile->setCurrentIndex(-1);
    });
}

void frmFolderOption::SetFtpChosen(bool ftp)
{
    Option1[ftp ? 0 : 1]->setChecked(true);
    Option1_Click();
}

bool frmFolderOption::FtpChosen() const { return Option1[0]->isChecked(); }

int frmFolderOption::ProfileRecord(int listIndex) const
{
    return listIndex < 0 || listIndex >= CboProfile->count() ? 0 : CboProfile->itemData(listIndex).toInt();
}

void frmFolderOption::Option1_Click()
{
    RunTrapped(kObject, QStringLiteral("Option1_Click"), [this] {
        const bool ftp = FtpChosen();
        Frame3->setEnabled(!ftp);
        txtLocal->setEnabled(!ftp);
        cmdDirLoc->setEnabled(!ftp);
        Frame1->setEnabled(ftp);
        for (QLabel *l : std::as_const(m_ftpLabels))
            l->setEnabled(ftp);
        for (QWidget *w : std::initializer_list<QWidget *>{txtSvr, txtUser, txtPwd, txtport, ChkPsv, CboProfile, txtRmtPath})
            w->setEnabled(ftp);
        if (ftp)
            CboProfile_LostFocus();
        ValidateLocation();
    });
}

void frmFolderOption::cmdDirLoc_Click()
{
    RunTrapped(kObject, QStringLiteral("cmdDirLoc_Click"), [this] {
        txtLocal->setText(GetFolder(this, QString(), QStringLiteral("Select Local Folder"), false, false));
        ValidateLocation();
    });
}

void frmFolderOption::ValidateLocation()
{
    RunTrapped(kObject, QStringLiteral("ValidateLocation"), [this] {
        const auto filled = [](const QString &text) { return !text.trimmed().isEmpty(); };
        if (FtpChosen())
            CmdOK->setEnabled(filled(txtSvr->text()) && filled(txtUser->text()) && filled(txtPwd->text())
                              && filled(txtRmtPath->currentText()));
        else
            CmdOK->setEnabled(filled(txtLocal->text()));
    });
}

void frmFolderOption::CboProfile_Click()
{
    RunTrapped(kObject, QStringLiteral("CboProfile_Click"), [this] {
        const int index = CboProfile->currentIndex();
        if (index < 0) {
            ChkPsv->setEnabled(true);
            return;
        }
        bool passive = false;
        if (CboProfile->itemText(index).size() > 1) {
            int record = ProfileRecord(index);
            if (const std::optional<CProfile> profile = loadProfileData(ProfileFilePath, record)) {
                txtSvr->setText(profile->Server.trimmed());
                txtport->setText(QString::number(profile->Port));
                txtUser->setText(profile->User.trimmed());
                txtPwd->setText(profile->Password.trimmed());
                passive = profile->IsPassive != 0;
                PathHistoryList history = EmptyPathHistory();
                LoadRemotePathHistory(CboProfile->itemText(index), history);
                txtRmtPath->clear();
                const QString server = txtSvr->text();
                for (const PathHistoryEntry &entry : std::as_const(history)) {
                    if (entry.Path.isEmpty())
                        continue;
                    QString folder = entry.Path;
                    if (!server.isEmpty()) {
                        const qsizetype at = folder.indexOf(server);
                        if (at >= 0)
                            folder.remove(at, server.size());
                    }
                    txtRmtPath->addItem(folder);
                }
                txtRmtPath->setCurrentIndex(-1);
                txtRmtPath->setEditText(QString());
            }
        }
        // The box shows the mode the profile's connection and jobs use; it is the profile's to change.
        ChkPsv->setChecked(passive);
        ChkPsv->setEnabled(false);
        ValidateLocation();
    });
}

void frmFolderOption::CboProfile_LostFocus()
{
    ChkPsv->setEnabled(FtpChosen() && CboProfile->currentIndex() < 0);
}

bool frmFolderOption::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == CboProfile && event->type() == QEvent::FocusOut)
        CboProfile_LostFocus();
    return QDialog::eventFilter(watched, event);
}

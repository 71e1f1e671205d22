#include "FrmProfile.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"
#include "ModProfile.h"
#include "ModTimeZone.h"
#include "ProfileDialogHeader.h"
#include "Prompts.h"
#include "WholeNumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

const QString kObject = QStringLiteral("FrmProfile");
const QString kNewEntryText = QStringLiteral("Profile??");
const QString kServerPlaceholder = QStringLiteral("ftp.yourserver.com");

constexpr int kRecordRole = Qt::UserRole;
constexpr int kReadableRole = Qt::UserRole + 1;

} // namespace

FrmProfile::FrmProfile(bool manageOnly, QWidget *parent)
    : QDialog(parent)
    , bConnect(manageOnly)
    , m_file(ProfileFilePath.isEmpty() ? DefaultProfileFilePath() : ProfileFilePath)
{
    setObjectName(kObject);
    setWindowTitle(QStringLiteral("Profiles Manager"));
    buildControls();
    try {
        ResetProf();
        {
            const QSignalBlocker block(CboTz);
            CboTz->clear();
            CboTz->addItem(QString());
            for (const TimeZoneRow &row : TimeZones())
                CboTz->addItem(row.displayName);
            CboTz->setCurrentIndex(-1);
        }
        LoadProfile();
        if (List1->count() > 0)
            List1->setCurrentRow(0);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Load"));
    }
}

void FrmProfile::buildControls()
{
    auto *header = new ProfileDialogHeader(QStringLiteral("Profile Manager"),
                                           QStringLiteral("- Manage your ftp accounts / Connect with modified settings"),
                                           this);
    header->setObjectName(QStringLiteral("Picture1"));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setMinimumWidth(160);

    txtProf = MakeLineEdit(QStringLiteral("txtProf"), 20, this);
    txtSvr = MakeLineEdit(QStringLiteral("txtSvr"), 80, this);
    txtport = MakeLineEdit(QStringLiteral("txtport"), 0, this);
    txtUser = MakeLineEdit(QStringLiteral("txtUser"), 100, this);
    txtPwd = MakeLineEdit(QStringLiteral("txtPwd"), 100, this);
    txtPwd->setEchoMode(QLineEdit::Password);
    txtPwd->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    txtRmtPath = MakeLineEdit(QStringLiteral("txtRmtPath"), 255, this);
    txtLocPath = MakeLineEdit(QStringLiteral("txtLocPath"), 255, this);
    Check1 = new QCheckBox(QStringLiteral("Passive"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Keep Alive"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setToolTip(QStringLiteral("Check this to keep connection alive"));
    CmdDir = MakeDialogButton(QStringLiteral("CmdDir"), QStringLiteral("..."), this);
    CmdDir->setMaximumWidth(40);
    CboTz = new QComboBox(this);
    CboTz->setObjectName(QStringLiteral("CboTz"));
    CboTz->setToolTip(QStringLiteral("Server's Timezone"));

    auto *fields = new QGridLayout;
    auto addRow = [&](int row, const QString &caption, QWidget *field, QWidget *extra = nullptr) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        fields->addWidget(label, row, 0);
        fields->addWidget(field, row, 1, 1, extra ? 1 : 2);
        if (extra)
            fields->addWidget(extra, row, 2);
    };
    addRow(0, QStringLiteral("&Profile"), txtProf);
    addRow(1, QStringLiteral("&FTP Server"), txtSvr);
    addRow(2, QStringLiteral("Port"), txtport);
    auto *checks = new QHBoxLayout;
    checks->addWidget(Check1);
    checks->addWidget(Check2);
    checks->addStretch();
    fields->addLayout(checks, 3, 1, 1, 2);
    addRow(4, QStringLiteral("User Name"), txtUser);
    addRow(5, QStringLiteral("Password:"), txtPwd);
    addRow(6, QStringLiteral("&Remote Path"), txtRmtPath);
    addRow(7, QStringLiteral("&Local Path"), txtLocPath, CmdDir);
    addRow(8, QStringLiteral("Timezone"), CboTz);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::Box);
    lblInfo = new QLabel(QStringLiteral("You are saving new profile. Be careful to fill all options and press save "
                                        "button otherwise information will be lost."),
                         Shape1);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    auto *infoLayout = new QVBoxLayout(Shape1);
    infoLayout->addWidget(lblInfo);
    fields->addWidget(Shape1, 9, 0, 1, 3);
    fields->setRowStretch(10, 1);
    showNewProfileInfo(false);

    CmdAdd = MakeDialogButton(QStringLiteral("CmdAdd"), QStringLiteral("Add &New"), this);
    CmdUpd = MakeDialogButton(QStringLiteral("CmdUpd"), QStringLiteral("&Save"), this);
    CmdRemove = MakeDialogButton(QStringLiteral("CmdRemove"), QStringLiteral("&Delete"), this);
    CmdSel = MakeDialogButton(QStringLiteral("CmdSel"), QStringLiteral("Select"), this);
    CmdConn = MakeDialogButton(QStringLiteral("CmdConn"), QStringLiteral("Connect"), this);
    CmdCnc = MakeDialogButton(QStringLiteral("CmdCnc"), QStringLiteral("&Cancel"), this);
    for (QPushButton *b : {CmdUpd, CmdRemove, CmdSel, CmdConn})
        b->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {CmdAdd, CmdUpd, CmdRemove})
        buttons->addWidget(b);
    buttons->addStretch();
    for (QPushButton *b : {CmdSel, CmdConn, CmdCnc})
        buttons->addWidget(b);

    auto *middle = new QHBoxLayout;
    middle->addWidget(List1);
    middle->addLayout(fields, 1);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 8);
    outer->addWidget(header);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addLayout(middle, 1);
    body->addLayout(buttons);
    outer->addLayout(body, 1);

    connect(List1, &QListWidget::currentRowChanged, this, &FrmProfile::List1_Click);
    for (QLineEdit *typed : {txtProf, txtSvr, txtport, txtUser, txtPwd})
        connect(typed, &QLineEdit::textEdited, this, &FrmProfile::fieldEdited);
    for (QLineEdit *path : {txtLocPath, txtRmtPath})
        connect(path, &QLineEdit::textChanged, this, &FrmProfile::fieldEdited);
    connect(Check1, &QCheckBox::clicked, this, &FrmProfile::fieldEdited);
    connect(Check2, &QCheckBox::clicked, this, &FrmProfile::fieldEdited);
    connect(CboTz, &QComboBox::activated, this, &FrmProfile::fieldEdited);
    connect(CmdAdd, &QPushButton::clicked, this, &FrmProfile::CmdAdd_Click);
    connect(CmdUpd, &QPushButton::clicked, this, &FrmProfile::CmdUpd_Click);
    connect(CmdRemove, &QPushButton::clicked, this, &FrmProfile::CmdRemove_Click);
    connect(CmdSel, &QPushButton::clicked, this, &FrmProfile::CmdSel_Click);
    connect(CmdConn, &QPushButton::clicked, this, &FrmProfile::CmdConn_Click);
    connect(CmdCnc, &QPushButton::clicked, this, &FrmProfile::CmdCnc_Click);
    connect(CmdDir, &QPushButton::clicked, this, &FrmProfile::CmdDir_Click);
    resize(620, 420);
}

QString FrmProfile::UnreadableEntryText(int record)
{
    return QStringLiteral("<Unreadable profile #%1>").arg(record);
}

int FrmProfile::entryRecord(int row) const
{
    const QListWidgetItem *item = List1->item(row);
    return item ? item->data(kRecordRole).toInt() : 0;
}

bool FrmProfile::entryReadable(int row) const
{
    const QListWidgetItem *item = List1->item(row);
    return item && item->data(kReadableRole).toBool();
}

void FrmProfile::setEntry(int row, const QString &text, int record, bool readable)
{
    QListWidgetItem *item = List1->item(row);
    if (!item)
        return;
    item->setText(text);
    item->setData(kRecordRole, record);
    item->setData(kReadableRole, readable);
    QFont font = item->font();
    font.setItalic(!readable);
    item->setFont(font);
}

void FrmProfile::ResetProf()
{
    try {
        const bool wasLoading = std::exchange(m_loading, true);
        txtSvr->setText(kServerPlaceholder);
        txtport->setText(QStringLiteral("21"));
        txtUser->setText(QStringLiteral("anonymous"));
        txtPwd->setText(QStringLiteral("guestuser"));
        Check1->setChecked(true);
        txtLocPath->clear();
        txtRmtPath->clear();
        m_loading = wasLoading;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ResetProf"));
    }
}

void FrmProfile::clearFields()
{
    const bool wasLoading = std::exchange(m_loading, true);
    for (QLineEdit *edit : {txtProf, txtSvr, txtport, txtUser, txtPwd, txtLocPath, txtRmtPath})
        edit->clear();
    Check1->setChecked(false);
    Check2->setChecked(false);
    CboTz->setCurrentIndex(0);
    m_loading = wasLoading;
}

void FrmProfile::LoadProfile()
{
    try {
        m_file.ensureExists();
        const QByteArray bytes = m_file.readBytes();
        const qsizetype count = bytes.size() / ProfileRecordFile::RecordSize;
        const QSignalBlocker block(List1);
        List1->clear();
        for (qsizetype r = 0; r < count; ++r) {
            const int record = static_cast<int>(r + 1);
            const auto profile = ProfileRecordFile::DecodeRecord(
                bytes.mid(r * ProfileRecordFile::RecordSize, ProfileRecordFile::RecordSize));
            List1->addItem(QString());
            setEntry(List1->count() - 1,
                     profile ? profile->ProfileName.trimmed() : UnreadableEntryText(record), record,
                     profile.has_value());
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadProfile"));
    }
}

void FrmProfile::loadpData(int row)
{
    try {
        if (row < 0)
            return;
        if (!entryReadable(row)) {
            clearFields(); // nothing of another profile may look like this entry's
            return;
        }
        const int record = entryRecord(row);
        if (record == 0)
            return; // a new entry has no record yet
        const auto profile = ProfileRecordFile::DecodeRecord(m_file.readRecord(record));
        if (!profile)
            return;
        const bool wasLoading = std::exchange(m_loading, true);
        struct Restore {
            bool &flag;
            bool value;
            ~Restore() { flag = value; }
        } restore{m_loading, wasLoading};
        txtProf->setText(profile->ProfileName);
        txtSvr->setText(profile->Server);
        txtport->setText(QString::number(profile->Port));
        txtUser->setText(profile->User);
        txtPwd->setText(profile->Password);
        Check1->setChecked(profile->IsPassive == 1);
        txtLocPath->setText(profile->LocalPath);
        txtRmtPath->setText(profile->RemotePath);
        Check2->setChecked(profile->KeepAlive == 1);
        if (profile->TimeZone >= CboTz->count()) {
            // Show no zone rather than the previous profile's, so a save cannot carry it over.
            CboTz->setCurrentIndex(-1);
            throw RuntimeError(ErrorNumber::InvalidProcedureCall,
                               QStringLiteral("Invalid time zone %1").arg(profile->TimeZone));
        }
        CboTz->setCurrentIndex(profile->TimeZone);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("loadpData"));
    }
}

void FrmProfile::List1_Click(int row)
{
    loadpData(row);
    const bool selected = row >= 0 && row < List1->count();
    CmdUpd->setEnabled(false);
    const bool usable = selected && entryReadable(row) && !bConnect;
    CmdSel->setEnabled(usable);
    CmdConn->setEnabled(usable);
    CmdRemove->setEnabled(selected);
}

void FrmProfile::fieldEdited()
{
    if (m_loading)
        return;
    const int row = List1->currentRow();
    // An unreadable record is kept as it is: its entry cannot be saved over.
    if (row >= 0 && !entryReadable(row))
        return;
    CmdUpd->setEnabled(true);
}

void FrmProfile::showNewProfileInfo(bool shown)
{
    Shape1->setVisible(shown);
    lblInfo->setVisible(shown);
}

void FrmProfile::CmdAdd_Click()
{
    try {
        List1->addItem(QString());
        const int row = List1->count() - 1;
        setEntry(row, kNewEntryText, 0, true);
        List1->setCurrentRow(row);
        ResetProf();
        CboTz->setCurrentIndex(0);
        CmdUpd->setEnabled(true);
        txtProf->setText(kNewEntryText);
        txtProf->setSelection(0, static_cast<int>(kNewEntryText.size()));
        txtProf->setFocus();
        CmdAdd->setEnabled(false);
        showNewProfileInfo(true);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdAdd_Click"));
    }
}

void FrmProfile::CmdUpd_Click()
{
    try {
        ProfEdited = true;
        const int row = List1->currentRow();
        const QString name = txtProf->text().trimmed();
        for (int i = 0; i < List1->count(); ++i) {
            if (i == row || !entryReadable(i))
                continue;
            if (QString::compare(List1->item(i)->text().trimmed(), name, Qt::CaseInsensitive) == 0) {
                ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                            QStringLiteral("Duplicate Profile Name not allowed!"));
                return;
            }
        }
        if (row < 0 || !entryReadable(row))
            return;
        showNewProfileInfo(false);

        CProfile profile;
        profile.ProfileName = txtProf->text();
        profile.Server = txtSvr->text();
        profile.User = txtUser->text();
        profile.Password = txtPwd->text();
        profile.LocalPath = txtLocPath->text();
        profile.RemotePath = txtRmtPath->text();
        const auto port = ToWholeNumber<qint32>(txtport->text());
        if (!port)
            throw RuntimeError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch: port \"%1\"").arg(txtport->text()));
        profile.Port = *port;
        profile.IsPassive = Check1->isChecked() ? 1 : 0;
        if (CboTz->currentIndex() < 0)
            throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("No time zone selected"));
        profile.TimeZone = static_cast<quint8>(CboTz->currentIndex());
        profile.KeepAlive = Check2->isChecked() ? 1 : 0;

        switch (CheckStorable(profile)) {
        case ProfileStorability::Storable:
            break;
        case ProfileStorability::ForbiddenCharacter:
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                        QStringLiteral("The profile cannot be saved: a field contains a control character "
                                       "(code 0 or 2) that profiles cannot hold."));
            CmdAdd->setEnabled(true);
            return;
        case ProfileStorability::TooLong:
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                        QStringLiteral("The profile cannot be saved: its fields are too long to be stored "
                                       "(at most %1 bytes in all). Please shorten the paths or other fields.")
                            .arg(ProfileRecordFile::MaxPackedBytes));
            CmdAdd->setEnabled(true);
            return;
        }

        int record = entryRecord(row);
        try {
            if (record == 0) {
                m_file.ensureExists();
                record = m_file.recordCount() + 1; // a new entry takes the next record
            }
            m_file.writeRecord(record, ProfileRecordFile::EncodeRecord(profile));
        } catch (const RuntimeError &e) {
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                        QStringLiteral("The profile could not be saved: %1").arg(e.description()));
            throw;
        }
        setEntry(row, name, record, true);
        List1_Click(row);
        CmdAdd->setEnabled(true);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdUpd_Click"));
        CmdAdd->setEnabled(true);
    }
}

void FrmProfile::CmdRemove_Click()
{
    try {
        if (AskBeforeDestroying(this, QStringLiteral("Confirm!"), QStringLiteral("Delete the selected profile ?"))
            != PromptButton::Yes)
            return;
        showNewProfileInfo(false);
        CmdAdd->setEnabled(true);
        const int row = List1->currentRow();
        if (row < 0)
            return;
        const int record = entryRecord(row);
        if (record > 0) {
            m_file.removeRecord(record); // throws before the list changes
            for (int i = 0; i < List1->count(); ++i) {
                const int other = entryRecord(i);
                if (other > record)
                    List1->item(i)->setData(kRecordRole, other - 1);
            }
        }
        int next = -1;
        {
            const QSignalBlocker block(List1);
            delete List1->takeItem(row);
            if (row < List1->count())
                next = row;
            else if (List1->count() > 0)
                next = row - 1;
            List1->setCurrentRow(next);
        }
        List1_Click(next);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdRemove_Click"));
    }
}

void FrmProfile::CmdSel_Click()
{
    BSelected = true;
    accept();
}

void FrmProfile::CmdConn_Click()
{
    BSelected = true;
    bConnect = true;
    accept();
}

void FrmProfile::CmdCnc_Click()
{
    BSelected = false;
    reject();
}

void FrmProfile::CmdDir_Click()
{
    try {
        const QString current = txtLocPath->text().trimmed();
        FileRequest request;
        request.kind = FileRequest::Kind::Folder;
        request.title = QStringLiteral("Select the local folder to show after connecting");
        request.startPath = !current.isEmpty() && QFileInfo(current).isDir() ? current : QDir::currentPath();
        const auto chosen = Prompts::current().chooseFile(this, request);
        if (chosen && !chosen->isEmpty())
            txtLocPath->setText(*chosen);
    } catch (...) {
        // the picker's failures leave the field as it was
    }
}

CProfile FrmProfile::ProfileFromFields() const
{
    CProfile profile;
    profile.Server = txtSvr->text().trimmed();
    const double port = std::nearbyint(LeadingNumber(txtport->text().trimmed()));
    profile.Port = port >= std::numeric_limits<qint32>::min() && port <= std::numeric_limits<qint32>::max()
                       ? static_cast<qint32>(port)
                       : 0;
    profile.User = txtUser->text().trimmed();
    profile.Password = txtPwd->text().trimmed();
    profile.IsPassive = Check1->isChecked() ? 1 : 0;
    profile.ProfileName = txtProf->text().trimmed();
    profile.LocalPath = txtLocPath->text().trimmed();
    profile.RemotePath = txtRmtPath->text().trimmed();
    profile.TimeZone = static_cast<quint8>(std::max(0, CboTz->currentIndex()));
    profile.KeepAlive = Check2->isChecked() ? 1 : 0;
    return profile;
}

#include "frmQuickCon.h"

#include "DataRoot.h"
#include "DialogWidgets.h"
#include "ProfileDialogHeader.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qsizetype kMinServerLength = 3;

} // namespace

frmQuickCon::frmQuickCon(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmQuickCon"));
    setWindowTitle(QStringLiteral("Quick Connect"));

    auto *header = new ProfileDialogHeader(QStringLiteral("Quick Connect"), QString(), this);
    header->setObjectName(QStringLiteral("Picture1"));
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    auto *label4 = new QLabel(QStringLiteral("Ftp Server:"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // only "Connect" adds to the list
    Combo1->setMinimumWidth(260);
    label4->setBuddy(Combo1);
    CmdUpd = MakeDialogButton(QStringLiteral("CmdUpd"), QStringLiteral("Connect"), this);
    CmdUpd->setDefault(true);
    CmdDel = MakeDialogButton(QStringLiteral("CmdDel"), QStringLiteral("&Delete"), this);
    CmdCnc = MakeDialogButton(QStringLiteral("CmdCnc"), QStringLiteral("&Cancel"), this);
    CmdUpd->setEnabled(false);
    CmdDel->setEnabled(false);

    auto *server = new QHBoxLayout;
    server->addWidget(label4);
    server->addWidget(Combo1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CmdDel);
    buttons->addStretch();
    buttons->addWidget(CmdUpd);
    buttons->addWidget(CmdCnc);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(lblInfo);
    body->addLayout(server);
    body->addLayout(buttons);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 8);
    outer->addWidget(header);
    outer->addLayout(body);

    connect(Combo1, &QComboBox::activated, this, &frmQuickCon::updateButtons);
    connect(Combo1, &QComboBox::editTextChanged, this, &frmQuickCon::updateButtons);
    connect(CmdUpd, &QPushButton::clicked, this, &frmQuickCon::CmdUpd_Click);
    connect(CmdDel, &QPushButton::clicked, this, &frmQuickCon::CmdDel_Click);
    connect(CmdCnc, &QPushButton::clicked, this, &frmQuickCon::CmdCnc_Click);

    lblInfo->setText(QStringLiteral("Public servers can be reached without a ftp account. Select a ftp server "
                                    "from the list below or enter new one..."));
    loadList();
    Combo1->setCurrentIndex(-1);
    Combo1->clearEditText();
    updateButtons();
    FitToScreen(this); // a long host name in the list scrolls in the field
}

QString frmQuickCon::ListFilePath() { return DataRoot::SystemFolder() + QStringLiteral("/QuickConnect.txt"); }

QStringList frmQuickCon::servers() const
{
    QStringList list;
    for (int i = 0; i < Combo1->count(); ++i)
        list.append(Combo1->itemText(i));
    return list;
}

void frmQuickCon::loadList()
{
    const auto bytes = StoredFile::ReadAll(ListFilePath());
    if (!bytes)
        return; // no list yet: it starts empty
    for (const QString &line : TextCodec::DecodeLines(*bytes)) {
        const QString server = line.trimmed();
        if (server.size() >= kMinServerLength)
            Combo1->addItem(server);
    }
}

int frmQuickCon::selectedEntry() const
{
    const int index = Combo1->currentIndex();
    return index >= 0 && Combo1->itemText(index) == Combo1->currentText() ? index : -1;
}

void frmQuickCon::updateButtons()
{
    CmdUpd->setEnabled(Combo1->currentText().trimmed().size() >= kMinServerLength);
    CmdDel->setEnabled(selectedEntry() >= 0);
}

void frmQuickCon::CmdDel_Click()
{
    const int index = selectedEntry();
    if (index < 0)
        return;
    Combo1->removeItem(index);
    Combo1->setCurrentIndex(-1);
    Combo1->clearEditText();
    m_listChanged = true;
    updateButtons();
}

void frmQuickCon::CmdUpd_Click()
{
    const QString text = Combo1->currentText();
    const QString server = text.trimmed();
    if (server.size() < kMinServerLength)
        return;
    bool found = false;
    for (int i = 0; i < Combo1->count() && !found; ++i)
        found = QString::compare(Combo1->itemText(i), server, Qt::CaseInsensitive) == 0;
    if (!found) {
        Combo1->addItem(server);
        writeList(server);
    } else if (m_listChanged) {
        writeList(QString());
    }
    // A list that cannot be written does not keep the user from connecting.
    m_tag = text;
    accept();
}

bool frmQuickCon::writeList(const QString &newServer)
{
    QDir().mkpath(QFileInfo(ListFilePath()).absolutePath());
    if (!m_listChanged)
        return StoredFile::AppendLine(ListFilePath(), TextCodec::Encode(newServer));
    QByteArray data;
    for (const QString &server : servers())
        data += TextCodec::Encode(server) + "\r\n";
    return StoredFile::WriteAtomically(ListFilePath(), data);
}

void frmQuickCon::CmdCnc_Click()
{
    m_tag.clear();
    reject();
}

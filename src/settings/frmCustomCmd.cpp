#include "frmCustomCmd.h"

#include "ErrorLog.h"
#include "ModListView.h"
#include "Prompts.h"
#include "UserCommandList.h"
#include "frmCommandEditor.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kObject = QStringLiteral("frmCustomCmd");

} // namespace

frmCustomCmd::frmCustomCmd(UserCommandList &commands, QWidget *parent)
    : QDialog(parent)
    , m_commands(commands)
    , m_runEditor([](frmCommandEditor &editor) { editor.exec(); })
{
    setObjectName(kObject);
    setWindowTitle(QStringLiteral("User Commands"));
    setModal(true);

    LV = new QTreeWidget;
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setSelectionMode(QAbstractItemView::SingleSelection);
    LV->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Command"), QStringLiteral("Arguments"),
                         QStringLiteral("Codes"), QStringLiteral("Reload Info")});

    CmdAdd = new QPushButton(QStringLiteral("&New..."));
    CmdEdit = new QPushButton(QStringLiteral("&Edit..."));
    CmdDel = new QPushButton(QStringLiteral("&Delete"));
    CmdClose = new QPushButton(QStringLiteral("&Close"));
    for (QPushButton *button : {CmdEdit, CmdDel, CmdClose})
        button->setAutoDefault(false);
    CmdAdd->setDefault(true);
    CmdEdit->setEnabled(false);
    CmdDel->setEnabled(false);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(CmdAdd);
    buttons->addWidget(CmdEdit);
    buttons->addWidget(CmdDel);
    buttons->addStretch();
    buttons->addWidget(CmdClose);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(LV, 1);
    layout->addLayout(buttons);
    resize(640, 320);

    connect(CmdAdd, &QPushButton::clicked, this, &frmCustomCmd::CmdAdd_Click);
    connect(CmdEdit, &QPushButton::clicked, this, &frmCustomCmd::CmdEdit_Click);
    connect(CmdDel, &QPushButton::clicked, this, &frmCustomCmd::CmdDel_Click);
    connect(CmdClose, &QPushButton::clicked, this, &frmCustomCmd::CmdClose_Click);
    connect(LV, &QTreeWidget::itemSelectionChanged, this, &frmCustomCmd::LV_ItemClick);
    connect(LV, &QTreeWidget::itemDoubleClicked, this, &frmCustomCmd::LV_DblClick);

    try {
        FillCommandList();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Load"));
    }
}

void frmCustomCmd::reject()
{
    CmdClose_Click();
}

void frmCustomCmd::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Form_Activate();
}

void frmCustomCmd::Form_Activate()
{
    try {
        if (m_columnsSized)
            return;
        SetColumnWidths(LV, QStringLiteral("0.15;0.25;0.25;0.15;0.15"));
        m_columnsSized = true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Activate"));
    }
}

void frmCustomCmd::showRow(QTreeWidgetItem *row, int slot) const
{
    const UserCommand &command = m_commands[slot];
    row->setData(0, KeyRole, QStringLiteral("K") + QString::number(slot));
    row->setText(0, command.Name.trimmed());
    row->setText(1, command.CommandText.trimmed());
    row->setText(2, command.Argument.trimmed());
    row->setText(3, command.SuccessCode.trimmed() + QStringLiteral(" / ") + command.FailureCode.trimmed());
    row->setText(4, command.Reload != 0 ? QStringLiteral("Yes") : QStringLiteral("No"));
}

void frmCustomCmd::FillCommandList()
{
    LV->clear();
    for (qsizetype slot = 0; slot < m_commands.count(); ++slot) {
        if (m_commands[slot].isBlank())
            continue;
        auto *row = new QTreeWidgetItem(LV);
        showRow(row, static_cast<int>(slot));
        if (LV->selectedItems().isEmpty()) {
            LV->setCurrentItem(row);
            row->setSelected(true);
        }
    }
    EnabBtn();
}

void frmCustomCmd::EnabBtn()
{
    const bool selected = !LV->selectedItems().isEmpty();
    CmdEdit->setEnabled(selected);
    CmdDel->setEnabled(selected);
}

int frmCustomCmd::selectedSlot() const
{
    const QList<QTreeWidgetItem *> rows = LV->selectedItems();
    if (rows.isEmpty())
        return -1;
    bool ok = false;
    const int slot = rows.first()->data(0, KeyRole).toString().mid(1).toInt(&ok);
    return ok && slot >= 0 && slot < m_commands.count() ? slot : -1;
}

void frmCustomCmd::LV_ItemClick()
{
    try {
        EnabBtn();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LV_ItemClick"));
    }
}

void frmCustomCmd::LV_DblClick()
{
    try {
        if (CmdEdit->isEnabled())
            CmdEdit_Click();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LV_DblClick"));
    }
}

void frmCustomCmd::CmdAdd_Click()
{
    try {
        frmCommandEditor editor(this);
        editor.setWindowTitle(QStringLiteral("New User Command"));
        m_runEditor(editor);
        if (editor.Tag() != QStringLiteral("*"))
            return;

        // The first command takes slot 0, which a list without commands holds blank.
        const bool empty = !m_commands.hasCommands();
        const qsizetype formerCount = m_commands.count();
        const UserCommand formerFirst = m_commands[0];
        UserCommand command;
        editor.copyInto(command);
        qsizetype slot = 0;
        if (empty)
            m_commands[0] = command;
        else
            slot = m_commands.append(command);

        if (m_commands.SaveUserCommand(static_cast<qint16>(slot))) {
            FillCommandList();
            m_tag = QStringLiteral("*");
        } else if (empty) {
            m_commands[0] = formerFirst;
        } else {
            m_commands.truncate(formerCount);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdAdd_Click"));
    }
}

void frmCustomCmd::CmdEdit_Click()
{
    try {
        const int slot = selectedSlot();
        if (slot < 0)
            return;
        const UserCommand before = m_commands[slot];

        frmCommandEditor editor(this);
        editor.setWindowTitle(QStringLiteral("Edit Command - ") + before.Name.trimmed());
        editor.fillFrom(before);
        m_runEditor(editor);
        if (editor.Tag() != QStringLiteral("*"))
            return;

        editor.copyInto(m_commands[slot]);
        if (m_commands.SaveUserCommand(static_cast<qint16>(slot))) {
            if (QTreeWidgetItem *row = LV->selectedItems().value(0))
                showRow(row, slot);
            m_tag = QStringLiteral("*");
        } else {
            m_commands[slot] = before;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdEdit_Click"));
    }
}

void frmCustomCmd::CmdDel_Click()
{
    try {
        const int slot = selectedSlot();
        if (slot < 0)
            return;
        const QString question = QStringLiteral("Delete the User Ftp Command: ") + m_commands[slot].Name.trimmed()
            + QStringLiteral(" ?");
        if (AskBeforeDestroying(this, QStringLiteral("Confirm ?"), question)
            != PromptButton::Yes)
            return;

        const QString commandText = m_commands[slot].CommandText;
        m_commands[slot].CommandText = UserCommand::fitField(QString(), UserCommand::CommandTextWidth);
        if (!m_commands.SaveUserCommand(-1)) {
            // The file still holds the command: so does the list.
            m_commands[slot].CommandText = commandText;
            return;
        }
        m_commands.LoadUserCommands();
        FillCommandList();
        m_tag = QStringLiteral("*");
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdDel_Click"));
    }
}

void frmCustomCmd::CmdClose_Click()
{
    hide();
    QDialog::reject();
}

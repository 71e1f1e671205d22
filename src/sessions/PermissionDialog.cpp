#include "PermissionDialog.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

PermissionDialog::PermissionDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PermissionDialog"));
    setWindowTitle(QStringLiteral("Permissions"));
    setModal(true);

    auto *grid = new QGridLayout;
    const QStringList who{QStringLiteral("Owner"), QStringLiteral("Group"), QStringLiteral("Others")};
    const QStringList what{QStringLiteral("Read"), QStringLiteral("Write"), QStringLiteral("Execute")};
    for (int w = 0; w < 3; ++w)
        grid->addWidget(new QLabel(what[w]), 0, w + 1);
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(new QLabel(who[row]), row + 1, 0);
        for (int w = 0; w < 3; ++w) {
            m_boxes[row][w] = new QCheckBox;
            grid->addWidget(m_boxes[row][w], row + 1, w + 1);
            connect(m_boxes[row][w], &QCheckBox::toggled, this, &PermissionDialog::boxesChanged);
        }
    }

    txtOctal = new QLineEdit(QStringLiteral("000"));
    txtOctal->setMaxLength(3);
    txtOctal->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-7]{0,3}")), txtOctal));
    auto *octalRow = new QHBoxLayout;
    auto *octalLabel = new QLabel(QStringLiteral("&Numeric value"));
    octalLabel->setBuddy(txtOctal);
    octalRow->addWidget(octalLabel);
    octalRow->addWidget(txtOctal);
    octalRow->addStretch();
    connect(txtOctal, &QLineEdit::textEdited, this, &PermissionDialog::octalEdited);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    lblItem = new QLabel(this);
    lblItem->setObjectName(QStringLiteral("lblItem"));
    lblItem->setTextFormat(Qt::PlainText);
    lblItem->setWordWrap(true);
    lblItem->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblItem);
    layout->addLayout(grid);
    layout->addLayout(octalRow);
    layout->addWidget(buttons);
    KeepCaptionWhole(this);
}

void PermissionDialog::setItemName(const QString &name)
{
    lblItem->setText(tr("Permissions of \"%1\"").arg(name));
    lblItem->setVisible(!name.isEmpty());
    FitToScreen(this);
}

void PermissionDialog::setAttributes(const QString &attributes)
{
    // The last nine characters are the rwx triplets; s and t imply x, S and T do not.
    const QString triplets = attributes.trimmed().right(9);
    int value = 0;
    if (triplets.size() == 9) {
        for (int i = 0; i < 9; ++i) {
            const QChar c = triplets[i];
            const bool set = (i % 3 == 0 && c == u'r') || (i % 3 == 1 && c == u'w')
                || (i % 3 == 2 && (c == u'x' || c == u's' || c == u't'));
            if (set)
                value |= 1 << (8 - i);
        }
    }
    showBits(value);
}

int PermissionDialog::bits() const
{
    int value = 0;
    for (int row = 0; row < 3; ++row)
        for (int w = 0; w < 3; ++w)
            if (m_boxes[row][w]->isChecked())
                value |= 1 << (8 - (row * 3 + w));
    return value;
}

int PermissionDialog::permission() const
{
    const int value = bits();
    return (value >> 6) * 100 + ((value >> 3) & 7) * 10 + (value & 7);
}

void PermissionDialog::showBits(int value)
{
    m_syncing = true;
    for (int row = 0; row < 3; ++row)
        for (int w = 0; w < 3; ++w)
            m_boxes[row][w]->setChecked((value & (1 << (8 - (row * 3 + w)))) != 0);
    txtOctal->setText(QStringLiteral("%1").arg(permission(), 3, 10, QLatin1Char('0')));
    m_syncing = false;
    buttons->button(QDialogButtonBox::Ok)->setEnabled(true);
}

void PermissionDialog::boxesChanged()
{
    if (m_syncing)
        return;
    m_syncing = true;
    txtOctal->setText(QStringLiteral("%1").arg(permission(), 3, 10, QLatin1Char('0')));
    m_syncing = false;
    buttons->button(QDialogButtonBox::Ok)->setEnabled(true);
}

void PermissionDialog::octalEdited(const QString &text)
{
    // A partly typed value counts from the right, as "55" means 055.
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.isEmpty());
    if (text.isEmpty())
        return;
    int value = 0;
    for (const QChar c : text)
        value = value * 8 + (c.unicode() - u'0');
    m_syncing = true;
    for (int row = 0; row < 3; ++row)
        for (int w = 0; w < 3; ++w)
            m_boxes[row][w]->setChecked((value & (1 << (8 - (row * 3 + w)))) != 0);
    m_syncing = false;
}

int GetNewPermisssion(QWidget *owner, const QString &attributes, const QString &name)
{
    try {
        PermissionDialog dialog(owner);
        dialog.setItemName(name);
        dialog.setAttributes(attributes);
        if (dialog.exec() != QDialog::Accepted)
            return kPermissionCancelled;
        return dialog.permission();
    } catch (...) {
        LogCurrentException(QStringLiteral("PermissionDialog"), QStringLiteral("GetNewPermisssion"));
        return kPermissionCancelled;
    }
}

#include "frmCommandEditor.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"
#include "Prompts.h"
#include "TextCodec.h"
#include "UserCommand.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

const QString kObject = QStringLiteral("frmCommandEditor");

QLineEdit *lineEdit(int maxLength, const QString &text = {})
{
    QLineEdit *edit = MakeLineEdit(QString(), maxLength, nullptr);
    edit->setText(text);
    return edit;
}

// Hints read in grey while enabled; disabled they take the usual disabled look.
QLabel *hint(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, Qt::gray);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, Qt::gray);
    label->setPalette(palette);
    return label;
}

// The description keeps its line breaks as CR LF in the record; the box shows them as LF.
QString storedLineBreaks(const QString &shown)
{
    QString stored = shown;
    return stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString shownLineBreaks(const QString &stored)
{
    QString shown = stored;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// How many characters of a text fit a record field of `width` bytes, with each
// line break taking `lineBreakBytes`; never splits a surrogate pair.
qsizetype fittingLength(const QString &text, int width, int lineBreakBytes = 1)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        qsizetype units = 1;
        qsizetype size = 0;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            units = 2;
            size = 4;
        } else if (c == QLatin1Char('\n')) {
            size = lineBreakBytes;
        } else {
            size = TextCodec::ByteLength(QString(c));
        }
        if (bytes + size > width)
            break;
        bytes += size;
        i += units;
    }
    return i;
}

// Keeps a box's text within its record field's bytes, so nothing shown is cut on save.
void limitToField(QLineEdit *edit, int width)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, width](const QString &text) {
        const qsizetype fits = fittingLength(text, width);
        if (fits < text.size())
            edit->setText(text.left(fits));
    });
}

} // namespace

frmCommandEditor::frmCommandEditor(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(kObject);
    setModal(true);

    txtName = lineEdit(UserCommand::NameWidth);
    txtCmd = lineEdit(UserCommand::CommandTextWidth);
    txtDesc = new QPlainTextEdit;
    txtDesc->setTabChangesFocus(true);
    txtOK = lineEdit(UserCommand::SuccessCodeWidth, QStringLiteral("2XX"));
    txtFail = lineEdit(UserCommand::FailureCodeWidth, QStringLiteral("5XX"));
    ChkSite = new QCheckBox(QStringLiteral("SITE command (&Validate)"));
    ChkReload = new QCheckBox(QStringLiteral("&Reload directory list on success"));
    ChkArg = new QCheckBox(QStringLiteral("&Argument Required"));
    txtArg = lineEdit(UserCommand::ArgumentWidth);
    ChkDirSlash = new QCheckBox(QStringLiteral("&Directory argument need slash suffix"));
    ChkFullPath = new QCheckBox(QStringLiteral("&Use Absolute path for files and directories"));
    lblArg = new QLabel(QStringLiteral("Argument"));
    lblArg->setBuddy(txtArg);
    lblDirSlashNote = new QLabel(QStringLiteral(" ($dir, $curdir or $file_or_dir)"));
    lblCodesHint = hint(QStringLiteral("Success and Failure codes must start with a digit (1-9) followed by one or more "
                                       "x, x represents any digit. For example 2XX, 5xx"));
    lblConstantsHint = hint(QStringLiteral("Replaceable constants: $file, $dir, $file_or_dir, $curdir, $user, $pwd, "
                                           "$attrib, $num_input, $input"));
    CmdSave = new QPushButton(QStringLiteral("&Save"));
    CmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    CmdSave->setDefault(true);
    limitToField(txtName, UserCommand::NameWidth);
    limitToField(txtCmd, UserCommand::CommandTextWidth);
    limitToField(txtOK, UserCommand::SuccessCodeWidth);
    limitToField(txtFail, UserCommand::FailureCodeWidth);
    limitToField(txtArg, UserCommand::ArgumentWidth);

    // The captions keep their whole width, whatever the fields beside them ask for.
    const auto caption = [](const QString &text, const QString &name, QWidget *buddy) {
        auto *label = new QLabel(text);
        label->setObjectName(name);
        label->setBuddy(buddy);
        label->setMinimumWidth(label->sizeHint().width());
        return label;
    };
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(caption(QStringLiteral("Friendly &Name"), QStringLiteral("lblName"), txtName), txtName);
    form->addRow(caption(QStringLiteral("Command &Text"), QStringLiteral("lblCmd"), txtCmd), txtCmd);
    form->addRow(caption(QStringLiteral("&Description"), QStringLiteral("lblDesc"), txtDesc), txtDesc);
    auto *codes = new QHBoxLayout;
    auto *okLabel = new QLabel(QStringLiteral("&Success Code "));
    okLabel->setBuddy(txtOK);
    auto *failLabel = new QLabel(QStringLiteral("&Failure code"));
    failLabel->setBuddy(txtFail);
    codes->addWidget(okLabel);
    codes->addWidget(txtOK);
    codes->addWidget(failLabel);
    codes->addWidget(txtFail);
    codes->addStretch();
    form->addRow(codes);
    form->addRow(lblCodesHint);
    form->addRow(ChkSite);
    form->addRow(ChkReload);
    form->addRow(ChkArg);
    form->addRow(lblArg, txtArg);
    auto *slashRow = new QHBoxLayout;
    slashRow->addWidget(ChkDirSlash);
    slashRow->addWidget(lblDirSlashNote);
    slashRow->addStretch();
    form->addRow(slashRow);
    form->addRow(ChkFullPath);
    form->addRow(lblConstantsHint);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    const QList<QWidget *> tabOrder{txtName, txtCmd, txtDesc, txtOK, txtFail, ChkSite, ChkReload,
                                    ChkArg, txtArg, ChkDirSlash, ChkFullPath, CmdSave, CmdCancel};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(ChkArg, &QCheckBox::toggled, this, &frmCommandEditor::ChkArg_Click);
    // Only the user's own tick moves on to the argument; a command opened for editing starts at its name.
    connect(ChkArg, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            txtArg->setFocus();
    });
    connect(CmdSave, &QPushButton::clicked, this, &frmCommandEditor::CmdSave_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &frmCommandEditor::CmdCancel_Click);
    connect(txtDesc, &QPlainTextEdit::textChanged, this, &frmCommandEditor::limitDescription);

    ChkArg_Click();
    txtName->setFocus();
}

void frmCommandEditor::fillFrom(const UserCommand &command)
{
    txtName->setText(command.Name.trimmed());
    txtCmd->setText(command.CommandText.trimmed());
    txtDesc->setPlainText(shownLineBreaks(command.Description.trimmed()));
    txtOK->setText(command.SuccessCode.trimmed());
    txtFail->setText(command.FailureCode.trimmed());
    txtArg->setText(command.Argument.trimmed());
    ChkArg->setChecked(command.HasArgument != 0);
    ChkDirSlash->setChecked(command.DirSlash != 0);
    ChkReload->setChecked(command.Reload != 0);
    ChkSite->setChecked(command.Site != 0);
    ChkFullPath->setChecked(command.FullPath != 0);
    txtName->setFocus();
}

void frmCommandEditor::copyInto(UserCommand &command) const
{
    command.Argument = UserCommand::fitField(txtArg->text(), UserCommand::ArgumentWidth);
    command.CommandText = UserCommand::fitField(txtCmd->text(), UserCommand::CommandTextWidth);
    command.Description =
        UserCommand::fitField(storedLineBreaks(txtDesc->toPlainText()), UserCommand::DescriptionWidth);
    command.FailureCode = UserCommand::fitField(txtFail->text(), UserCommand::FailureCodeWidth);
    command.SuccessCode = UserCommand::fitField(txtOK->text(), UserCommand::SuccessCodeWidth);
    command.Name = UserCommand::fitField(txtName->text(), UserCommand::NameWidth);
    // The argument options are kept even while no argument is required.
    command.DirSlash = ChkDirSlash->isChecked() ? 1 : 0;
    command.HasArgument = ChkArg->isChecked() ? 1 : 0;
    command.Reload = ChkReload->isChecked() ? 1 : 0;
    command.Site = ChkSite->isChecked() ? 1 : 0;
    command.FullPath = ChkFullPath->isChecked() ? 1 : 0;
}

void frmCommandEditor::reject()
{
    CmdCancel_Click();
}

void frmCommandEditor::ChkArg_Click()
{
    try {
        const bool on = ChkArg->isChecked();
        for (QWidget *control : {static_cast<QWidget *>(txtArg), static_cast<QWidget *>(lblArg),
                                 static_cast<QWidget *>(lblConstantsHint), static_cast<QWidget *>(ChkDirSlash),
                                 static_cast<QWidget *>(lblDirSlashNote), static_cast<QWidget *>(ChkFullPath)})
            control->setEnabled(on);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ChkArg_Click"));
    }
}

void frmCommandEditor::CmdSave_Click()
{
    try {
        if (!ValidateCommand())
            return;
        m_tag = QStringLiteral("*");
        QDialog::accept();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdSave_Click"));
    }
}

void frmCommandEditor::CmdCancel_Click()
{
    m_tag.clear();
    QDialog::reject();
}

void frmCommandEditor::limitDescription()
{
    const QString text = txtDesc->toPlainText();
    const qsizetype fits = fittingLength(text, UserCommand::DescriptionWidth, 2);
    if (fits >= text.size())
        return;
    QSignalBlocker block(txtDesc);
    txtDesc->setPlainText(text.left(fits));
    txtDesc->moveCursor(QTextCursor::End);
}

bool frmCommandEditor::ValidateCommand()
{
    return CheckMinLength(txtName, txtName->text(), QStringLiteral("Friendly Name"), 2)
        && CheckMinLength(txtCmd, txtCmd->text(), QStringLiteral("Command Text"), 1)
        && CheckMinLength(txtOK, txtOK->text(), QStringLiteral("Success Code"), 3)
        && CheckMinLength(txtFail, txtFail->text(), QStringLiteral("Failure Code"), 3)
        && (!ChkArg->isChecked() || CheckMinLength(txtArg, txtArg->text(), QStringLiteral("Argumen"), 1));
}

bool frmCommandEditor::CheckMinLength(QWidget *box, const QString &text, const QString &fieldName, int minimum)
{
    if (text.trimmed().size() >= minimum)
        return true;
    ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                QStringLiteral("'") + fieldName + QStringLiteral("' must have atleast ") + QString::number(minimum)
                    + QStringLiteral(" characters!"));
    box->setFocus();
    return false;
}

#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct UserCommand;

// Edits one user command. The opener sets the caption, fills the controls,
// shows it modally and reads Tag() ("*" after Save, empty otherwise) and the
// control values afterwards.
class frmCommandEditor : public QDialog
{
    Q_OBJECT
public:
    explicit frmCommandEditor(QWidget *parent = nullptr);

    QString Tag() const { return m_tag; }

    // Fills the controls from a command's trimmed fields and flags.
    void fillFrom(const UserCommand &command);
    // Copies the control values into a command, each text cut or padded to its field.
    void copyInto(UserCommand &command) const;

    QLineEdit *txtName = nullptr;
    QLineEdit *txtCmd = nullptr;
    QPlainTextEdit *txtDesc = nullptr;
    QLineEdit *txtOK = nullptr;
    QLineEdit *txtFail = nullptr;
    QCheckBox *ChkSite = nullptr;
    QCheckBox *ChkReload = nullptr;
    QCheckBox *ChkArg = nullptr;
    QLineEdit *txtArg = nullptr;
    QCheckBox *ChkDirSlash = nullptr;
    QCheckBox *ChkFullPath = nullptr;
    QLabel *lblArg = nullptr;
    QLabel *lblDirSlashNote = nullptr;
    QLabel *lblCodesHint = nullptr;
    QLabel *lblConstantsHint = nullptr;
    QPushButton *CmdSave = nullptr;
    QPushButton *CmdCancel = nullptr;

public slots:
    void reject() override; // Esc and the close box act as Cancel

private:
    void ChkArg_Click();
    void CmdSave_Click();
    void CmdCancel_Click();
    void limitDescription();
    bool ValidateCommand();
    bool CheckMinLength(QWidget *box, const QString &text, const QString &fieldName, int minimum);

    QString m_tag;
};

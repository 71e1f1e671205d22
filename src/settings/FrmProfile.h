#pragma once

#include "CProfile.h"
#include "ProfileRecordFile.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QFrame;
class QPushButton;

// "Profiles Manager": creates, edits and deletes site profiles and picks one
// to select or to connect with. The only writer of the profile file.
//
// Each list entry remembers the record it shows, so a record that cannot be
// read is listed (as a placeholder) and kept, a new entry is appended when
// first saved, and Save and Delete touch the entry's own record only.
class FrmProfile : public QDialog
{
    Q_OBJECT

public:
    // manageOnly: the connection that would use the profile is already open,
    // so "Select" and "Connect" stay disabled.
    explicit FrmProfile(bool manageOnly, QWidget *parent = nullptr);

    bool BSelected = false; // closed by "Select" or "Connect"
    bool bConnect = false;  // in: manage only; out: closed by "Connect"
    bool ProfEdited = false; // "Save" was pressed

    // Puts server, port, user, password, "Passive" and both paths to their defaults.
    void ResetProf();

    // The profile the fields show, as handed back to the caller: texts
    // trimmed, the port's leading number.
    CProfile ProfileFromFields() const;

    // Text of the list entry of a record that cannot be read.
    static QString UnreadableEntryText(int record);

private:
    void buildControls();
    void LoadProfile();
    void loadpData(int record);
    void List1_Click(int row);
    void CmdAdd_Click();
    void CmdUpd_Click();
    void CmdRemove_Click();
    void CmdSel_Click();
    void CmdConn_Click();
    void CmdCnc_Click();
    void CmdDir_Click();
    void fieldEdited();
    void showNewProfileInfo(bool shown);
    void clearFields();

    int entryRecord(int row) const;   // 0: not saved yet
    bool entryReadable(int row) const;
    void setEntry(int row, const QString &text, int record, bool readable);

    ProfileRecordFile m_file;
    bool m_loading = false; // fields are being filled, not edited

    QListWidget *List1 = nullptr;
    QLineEdit *txtProf = nullptr;
    QLineEdit *txtSvr = nullptr;
    QLineEdit *txtport = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPwd = nullptr;
    QLineEdit *txtRmtPath = nullptr;
    QLineEdit *txtLocPath = nullptr;
    QPushButton *CmdDir = nullptr;
    QComboBox *CboTz = nullptr;
    QFrame *Shape1 = nullptr;
    QLabel *lblInfo = nullptr;
    QPushButton *CmdAdd = nullptr;
    QPushButton *CmdUpd = nullptr;
    QPushButton *CmdRemove = nullptr;
    QPushButton *CmdSel = nullptr;
    QPushButton *CmdConn = nullptr;
    QPushButton *CmdCnc = nullptr;
};

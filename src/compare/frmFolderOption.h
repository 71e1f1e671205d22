#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// " Select Folder Location": defines one side of a folder comparison, a
// local folder or an FTP location (server, port, user, password, remote
// folder, Passive), optionally filled from a site profile. The caller presets
// the boxes, runs the dialog and reads them when Tag() is "*".
class frmFolderOption : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *kServerPlaceholder = "ftp.example.com";

    explicit frmFolderOption(QWidget *parent = nullptr);

    QString Tag() const { return m_tag; }
    // Selects the kind ("FTP" true, "Local" false) and enables its boxes.
    void SetFtpChosen(bool ftp);
    bool FtpChosen() const;

    QRadioButton *Option1[2] = {nullptr, nullptr};
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLineEdit *txtLocal = nullptr;
    QPushButton *cmdDirLoc = nullptr;
    QLabel *Label6 = nullptr;
    QComboBox *CboProfile = nullptr;
    QLineEdit *txtSvr = nullptr;
    QLineEdit *txtport = nullptr;
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPwd = nullptr;
    QComboBox *txtRmtPath = nullptr;
    QCheckBox *ChkPsv = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCancel = nullptr;

    // The profile record a list entry stands for (from 1); 0 for none.
    int ProfileRecord(int listIndex) const;

    void Option1_Click();
    void cmdDirLoc_Click();
    void ValidateLocation();
    void CboProfile_Click();
    void CboProfile_LostFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();

    QString m_tag;
    QList<QLabel *> m_ftpLabels;
};

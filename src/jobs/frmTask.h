#pragma once

#include "PathHistory.h"

#include <QDialog>

class JobIntake;
class KeyedImageList;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// "Add New Job": one download of a remote file into a local folder (or onto
// a local file), or uploads of local files into a remote folder (or onto one
// remote name). The server comes from a profile or is typed; an address
// "ftp://host/path" in the remote field fills the server box. "&Save" hands
// one job per local file to the job intake.
class frmTask : public QDialog
{
    Q_OBJECT
public:
    frmTask(JobIntake &intake, const KeyedImageList *pictures = nullptr, QWidget *parent = nullptr);

    // The folder a relative "Local File" is taken from (the local pane's); empty: the working folder.
    void setLocalFolder(const QString &folder) { m_localFolder = folder; }

    void Option1_Click(int index);
    void CboProfile_Click();
    void CmdDir_Click();
    void CmdOK_Click();
    void CmdCnc_Click();
    void ParseRemoteUrl();
    void UpdateOkButton();

    QRadioButton *Option1[2] = {nullptr, nullptr}; // 0 upload, 1 download
    QComboBox *CboProfile = nullptr;
    QLineEdit *txtSvr = nullptr;
    QLineEdit *txtport = nullptr;
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPwd = nullptr;
    QCheckBox *Check1 = nullptr; // "Passive"
    QCheckBox *Check2 = nullptr; // "Save this server information as profile"
    QComboBox *txtRmtPath = nullptr;
    QLineEdit *txtLocPath = nullptr;
    QListWidget *List1 = nullptr;
    QPushButton *CmdDir = nullptr;
    QLabel *lblInfo = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCnc = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool uploadChosen() const;
    static QString caption(bool upload);
    void setCaption();
    void profileTyped(const QString &text);
    void profileLeft();

    JobIntake &m_intake;
    PathHistoryList m_remotePathHistory;
    bool m_remotePathEdited = false;
    QString m_localFolder;
};

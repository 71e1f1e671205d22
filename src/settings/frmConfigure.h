#pragma once

#include "FileHandlerCollection.h"
#include "FileHandlerOwner.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The settings dialog: four pages of option check boxes, the file-type
// handler list, the sound alerts and the font choices. It loads the settings
// file when it is made; OK writes the file back, sets the job-file association
// and leaves "*" in OKButtonTag(); Cancel saves nothing.
class frmConfigure : public QDialog, public FileHandlerOwner
{
    Q_OBJECT

public:
    explicit frmConfigure(QWidget *parent = nullptr);

    // "*" once OK saved the settings; empty otherwise.
    QString OKButtonTag() const { return m_okTag; }
    // The warning that new settings wait for the next start (shown while a session runs).
    void ShowSessionWarning(bool visible);

    bool FileHandlerExist(const QString &key) const override;
    bool AppTitleExist(const QString &title) const override;

    const FileHandlerCollection &Handlers() const { return m_handlers; }

    // Controls, indexed as the settings file's digit positions - 1 and slots.
    QListWidget *List1 = nullptr;
    QList<QFrame *> Frame1;
    QLabel *Label1 = nullptr;
    QLabel *Label10 = nullptr;
    QList<QCheckBox *> Check1;  // General
    QList<QCheckBox *> ChkTask; // Jobs
    QList<QCheckBox *> ChkHist; // History & Logs
    QList<QCheckBox *> ChkSyst; // System
    QTreeWidget *LVEditor = nullptr;
    QPushButton *CmdAdd = nullptr;
    QPushButton *CmdEdit = nullptr;
    QPushButton *CmdRem = nullptr;
    QList<QCheckBox *> ChkSound;
    QList<QLineEdit *> txtSound;
    QList<QPushButton *> CmdSound;
    QList<QCheckBox *> ChkFont;
    QList<QLabel *> lblFont;
    QList<QPushButton *> CmdFont;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lblWarn = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    QFrame *BuildOptionPage(int page, QList<QCheckBox *> &boxes);
    QFrame *BuildSystemPage();
    QFrame *BuildSoundPage();
    QFrame *BuildFontPage();

    void Form_Load();
    void List1_Click();
    void UpdateHandlerControls();
    void AddHandlerRow(const FileHandler &handler);
    QTreeWidgetItem *SelectedHandlerRow() const;
    void CmdAdd_Click();
    void CmdEdit_Click();
    void CmdRem_Click();
    void ChkSound_Click(int row);
    void UpdateSoundRow(int row);
    void CmdSound_Click(int row);
    void CmdFont_Click(int row);
    void SetFontSample(int row, const QString &family, double pointSize, const QString &caption);
    void OKButton_Click();
    void CancelButton_Click();
    bool SaveSettingToFile();
    void ApplyEditorColumnWidths();
    void Frame1_DblClick();

    FileHandlerCollection m_handlers;
    QStringList m_optionString;
    QList<quint8> m_soundEnabled;
    QStringList m_soundPaths;
    QStringList m_frameTags;
    QStackedWidget *m_pages = nullptr;
    QString m_okTag;
};

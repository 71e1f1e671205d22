#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

// "Quick Connect": picks or types the host of a public FTP server. The hosts
// offered are kept in the System folder's "QuickConnect.txt", one a line.
// The chosen host comes back through Tag(); empty when the user cancelled.
class frmQuickCon : public QDialog
{
    Q_OBJECT

public:
    explicit frmQuickCon(QWidget *parent = nullptr);

    QString Tag() const { return m_tag; }

    // The list file's path.
    static QString ListFilePath();

    // Hosts in the list, in order.
    QStringList servers() const;

private:
    void loadList();
    void updateButtons();
    int selectedEntry() const; // -1 when the box's text is no list entry
    void CmdUpd_Click();
    void CmdDel_Click();
    void CmdCnc_Click();
    bool writeList(const QString &newServer);

    QString m_tag;
    bool m_listChanged = false;

    QLabel *lblInfo = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *CmdUpd = nullptr;
    QPushButton *CmdDel = nullptr;
    QPushButton *CmdCnc = nullptr;
};

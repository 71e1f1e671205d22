#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class UserCommandList;
class frmCommandEditor;

// Lists the user commands and offers New, Edit, Delete and Close. Every saved
// change reaches the file at once; Tag() is "*" once anything was saved, so
// the opener knows to rebuild its command menu.
class frmCustomCmd : public QDialog
{
    Q_OBJECT
public:
    // Role of a row's key, "K" followed by its slot index.
    static constexpr int KeyRole = Qt::UserRole + 1;

    // Shows an editor modally; tests may answer it in place.
    using EditorRunner = std::function<void(frmCommandEditor &editor)>;

    explicit frmCustomCmd(UserCommandList &commands, QWidget *parent = nullptr);

    QString Tag() const { return m_tag; }
    void setEditorRunner(EditorRunner runner) { m_runEditor = std::move(runner); }

    QTreeWidget *LV = nullptr;
    QPushButton *CmdAdd = nullptr;
    QPushButton *CmdEdit = nullptr;
    QPushButton *CmdDel = nullptr;
    QPushButton *CmdClose = nullptr;

public slots:
    void reject() override; // Esc and the close box act as Close

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Form_Activate();
    void CmdAdd_Click();
    void CmdEdit_Click();
    void CmdDel_Click();
    void CmdClose_Click();
    void LV_ItemClick();
    void LV_DblClick();
    void FillCommandList();
    void EnabBtn();
    void showRow(QTreeWidgetItem *row, int slot) const;
    int selectedSlot() const;

    UserCommandList &m_commands;
    EditorRunner m_runEditor;
    QString m_tag;
    bool m_columnsSized = false; // the list view's Tag
};

#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QMenu;
class QWidget;
class UserCommandList;
class frmCustomCmd;

// The remote pane's user-command menu: one item per user command, each
// carrying its slot, rebuilt after the user-command list window saved a change.
class CustomCommandMenu : public QObject
{
    Q_OBJECT
public:
    // Shows the list window modally; tests may drive it in place.
    using ListWindowRunner = std::function<void(frmCustomCmd &window)>;

    CustomCommandMenu(UserCommandList &commands, QMenu *menu, QObject *parent = nullptr);

    void setListWindowRunner(ListWindowRunner runner) { m_runListWindow = std::move(runner); }

    // Fills the menu from the list, in slot order.
    void BuildCustomCommandMenu();
    // Opens the user-command list window owned by `owner`; rebuilds the menu when anything was saved.
    void mnuCustomCmds_Click(QWidget *owner);

signals:
    // The user chose the command in this slot.
    void commandChosen(int slot);

private:
    UserCommandList &m_commands;
    QPointer<QMenu> m_menu;
    ListWindowRunner m_runListWindow;
};

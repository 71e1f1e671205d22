#include "CustomCommandMenu.h"

#include "ErrorLog.h"
#include "UserCommandList.h"
#include "frmCustomCmd.h"

#include <QAction>
#include <QMenu>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

} // namespace

CustomCommandMenu::CustomCommandMenu(UserCommandList &commands, QMenu *menu, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
    , m_menu(menu)
    , m_runListWindow([](frmCustomCmd &window) { window.exec(); })
{
}

void CustomCommandMenu::BuildCustomCommandMenu()
{
    try {
        if (!m_menu)
            return;
        // The menu may be rebuilt from inside one of its own items' handlers.
        const QList<QAction *> old = m_menu->actions();
        for (QAction *action : old) {
            m_menu->removeAction(action);
            action->deleteLater();
        }

        if (!m_commands.hasCommands()) {
            QAction *none = m_menu->addAction(QStringLiteral("<No Custom Command Available>"));
            none->setEnabled(false);
            return;
        }
        for (qsizetype slot = 0; slot < m_commands.count(); ++slot) {
            // A free slot sends nothing: it gets no item, the others keep their slot.
            if (m_commands[slot].isBlank())
                continue;
            QAction *item = m_menu->addAction(m_commands[slot].Name.trimmed());
            item->setData(static_cast<int>(slot));
            const int chosen = static_cast<int>(slot);
            connect(item, &QAction::triggered, this, [this, chosen] { emit commandChosen(chosen); });
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("BuildCustomCommandMenu"));
    }
}

void CustomCommandMenu::mnuCustomCmds_Click(QWidget *owner)
{
    try {
        frmCustomCmd window(m_commands, owner);
        m_runListWindow(window);
        if (window.Tag() == QStringLiteral("*"))
            BuildCustomCommandMenu();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuCustomCmds_Click"));
    }
}

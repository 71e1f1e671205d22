#pragma once

#include "UserCommandBuilder.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class CustomCommandEngine;
class UserCommandList;

// Runs user commands from the remote pane's command menu on the focused
// server slot, and asks for the folder to be listed again when a command that
// wants it has succeeded.
class CustomCommandRunner : public QObject
{
    Q_OBJECT
public:
    // The focused server slot as the runner sees it.
    struct Target {
        int serverSlot = 0;
        CustomCommandEngine *engine = nullptr;
        UserCommandContext context;
    };
    using TargetProvider = std::function<std::optional<Target>()>;

    // Action code the engine reports for a user command.
    static constexpr int kCustomCommandAct = 21;

    CustomCommandRunner(UserCommandList &commands, QWidget *owner, TargetProvider focusedTarget,
                        UserCommandBuilder::PermissionAsker askPermission = {}, QObject *parent = nullptr);

    // menuIndex is the slot of the user command.
    void MNU_RMT_CSTCMDITEM_Click(int menuIndex);
    // The host passes on its engine's JobDone with LastCmdSucces and LastAct.
    void JobDone(int serverSlot, bool lastCmdSucces, int lastAct);

signals:
    // The slot's remote folder should be listed again.
    void reloadRequested(int serverSlot);

private:
    UserCommandList &m_commands;
    QPointer<QWidget> m_owner;
    TargetProvider m_focusedTarget;
    UserCommandBuilder::PermissionAsker m_askPermission;
    bool m_reloadPending[2] = {false, false};
};

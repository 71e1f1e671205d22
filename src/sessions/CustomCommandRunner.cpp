#include "CustomCommandRunner.h"

#include "CustomCommandEngine.h"
#include "ErrorLog.h"
#include "UserCommandList.h"

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

bool validServerSlot(int slot) { return slot == 0 || slot == 1; }

} // namespace

CustomCommandRunner::CustomCommandRunner(UserCommandList &commands, QWidget *owner, TargetProvider focusedTarget,
                                         UserCommandBuilder::PermissionAsker askPermission, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
    , m_owner(owner)
    , m_focusedTarget(std::move(focusedTarget))
    , m_askPermission(std::move(askPermission))
{
}

void CustomCommandRunner::MNU_RMT_CSTCMDITEM_Click(int menuIndex)
{
    try {
        if (menuIndex < 0 || menuIndex >= m_commands.count() || m_commands[menuIndex].isBlank())
            return;
        const std::optional<Target> target = m_focusedTarget ? m_focusedTarget() : std::nullopt;
        if (!target || !target->engine || !validServerSlot(target->serverSlot))
            return;
        if (!target->engine->SessionActive() || target->engine->isBusy())
            return;

        // The prompts below may run other events: work on a copy of the command.
        const UserCommand command = m_commands[menuIndex];
        const UserCommandBuilder builder(m_owner, m_askPermission);
        const std::optional<PreparedUserCommand> prepared = builder.build(command, target->context);
        if (!prepared)
            return;

        // The focused slot may have changed while a prompt was up.
        const std::optional<Target> now = m_focusedTarget ? m_focusedTarget() : std::nullopt;
        if (!now || now->engine != target->engine || now->serverSlot != target->serverSlot
            || !now->engine->SessionActive() || now->engine->isBusy())
            return;

        m_reloadPending[target->serverSlot] = prepared->reload;
        target->engine->FTP_CUSTOM_COMMAND(prepared->commandLine, prepared->statusText, prepared->replyMap);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MNU_RMT_CSTCMDITEM_Click"));
    }
}

void CustomCommandRunner::JobDone(int serverSlot, bool lastCmdSucces, int lastAct)
{
    try {
        if (!validServerSlot(serverSlot) || lastAct != kCustomCommandAct)
            return;
        const bool reload = std::exchange(m_reloadPending[serverSlot], false);
        if (reload && lastCmdSucces)
            emit reloadRequested(serverSlot);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_JobDone"));
    }
}

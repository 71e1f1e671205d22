// Remote operations on a server pane's selection: rename, new folder, permissions.
#include "ServerSlot.h"

#include "ErrorLog.h"
#include "FtpCommander.h"
#include "ModFTPTrelm.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"

#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");
constexpr int kPermissionCancelled = 65535;

} // namespace

QList<RemoteSelection> ServerSlot::Selection() const
{
    QList<RemoteSelection> items;
    if (!m_pane || !m_pane->RightView->selectionModel())
        return items;
    QModelIndexList rows = m_pane->RightView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : rows) {
        const FileListRow &row = m_pane->Model->row(index.row());
        items.append({row.Text, row.IsFolder, row.SubItems.value(1), row.Size});
    }
    return items;
}

void ServerSlot::RenameSelected()
{
    try {
        if (!ready())
            return;
        const QList<RemoteSelection> items = Selection();
        if (items.size() != 1)
            return;
        const QString oldName = items.first().Name;
        if (!IsSafeRemoteName(oldName)) {
            ShowMessage(m_pane, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error!"),
                        tr("The name \"%1\" cannot be used in a path.").arg(oldName));
            return;
        }
        const std::optional<QString> answer =
            AskText(m_pane, tr("Rename"), tr("New name for \"%1\":").arg(oldName), oldName);
        if (!answer)
            return;
        const QString newName = answer->trimmed();
        if (newName.isEmpty() || newName == oldName || !isValidFileName(newName, m_pane))
            return;
        // A line break would end the command early and send the rest as another.
        if (std::any_of(newName.cbegin(), newName.cend(), [](QChar c) { return c.category() == QChar::Other_Control; })) {
            ShowMessage(m_pane, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error!"),
                        tr("The name \"%1\" cannot be used in a path.").arg(newName));
            return;
        }
        if (!ready()) // the prompt let other events run
            return;
        // Servers let RNTO replace a file of the new name without a word.
        // Names are compared exactly: a change of letter case alone replaces nothing.
        const auto taken = std::find_if(m_items.cbegin(), m_items.cend(),
                                        [&](const FtpFileItem &item) { return item.Name == newName; });
        const RenameRequest rename{m_remotePath, oldName, newName, items.first().IsFolder};
        if (taken == m_items.cend()) {
            // The listing may be old or leave names out (dot files): the server is asked.
            checkRenameTarget(rename);
            return;
        }
        if (taken->IsFolder) {
            refuseRename(rename);
            return;
        }
        askRenameReplace(rename);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MNU_RMT_RENAME_Click"));
    }
}

void ServerSlot::refuseRename(const RenameRequest &rename)
{
    ShowMessage(m_pane, PromptIcon::Exclamation, PromptButtons::Ok, tr("Rename"),
                tr("A folder named \"%1\" is already in this folder; \"%2\" was not renamed.")
                    .arg(rename.NewName, rename.OldName));
}

void ServerSlot::askRenameReplace(const RenameRequest &rename)
{
    const PromptButton replace =
        AskBeforeDestroying(m_pane, tr("Rename"),
                            tr("A file named \"%1\" is already in this folder.\n\nReplace it with \"%2\"?")
                                .arg(rename.NewName, rename.OldName));
    // The prompt let other events run: the session or the folder shown may have changed.
    if (replace != PromptButton::Yes || !ready() || m_remotePath != rename.Folder)
        return;
    startRename(rename);
}

void ServerSlot::startRename(const RenameRequest &rename)
{
    const QString oldPath = JoinRemotePath(rename.Folder, rename.OldName);
    const QString newPath = JoinRemotePath(rename.Folder, rename.NewName);
    // A folder's cached listing must not outlive its name, nor be found under the name it takes.
    m_staleAfterChange = rename.IsFolder ? QStringList{oldPath, newPath} : QStringList();
    m_runningRename = rename;
    m_renameRefusal.clear();
    m_engine->FTP_REN_FILE(oldPath, newPath);
}

// The status line alone is easily missed: the user is told, with the server's own words.
void ServerSlot::reportRenameRefused()
{
    const std::optional<RenameRequest> rename = std::exchange(m_runningRename, std::nullopt);
    if (!rename)
        return;
    QString text = tr("\"%1\" was not renamed to \"%2\".").arg(rename->OldName, rename->NewName);
    const QString reason = std::exchange(m_renameRefusal, {});
    if (!reason.isEmpty())
        text += tr("\n\nThe server answered: %1").arg(reason);
    // Not from inside the reply's handling: the box waits for the next turn of the event loop.
    QTimer::singleShot(0, this, [this, text] {
        try {
            ShowMessage(m_pane, PromptIcon::Exclamation, PromptButtons::Ok, tr("Rename"), text);
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("MNU_RMT_RENAME_Click"));
        }
    });
}

// The engine asks what the server holds under the new name. Servers refuse
// SIZE and MDTM for a folder, so a fresh listing of the folder is read when
// they found no file.
void ServerSlot::checkRenameTarget(const RenameRequest &rename)
{
    m_renameCheck = RenameCheck{rename, RenameCheck::Step::Held};
    m_engine->FTP_FILE_SIZE(JoinRemotePath(rename.Folder, rename.NewName));
}

// One step of the check ended; true when it was the check's.
bool ServerSlot::continueRenameCheck(bool success, long act)
{
    if (!m_renameCheck)
        return false;
    RenameCheck &check = *m_renameCheck;
    if (act == FtpCommander::ActFileSize && check.At == RenameCheck::Step::Held) {
        if (!success) {
            m_renameCheck.reset(); // nothing tells what the name holds: nothing is renamed
        } else if (m_engine->LastHeldFile().isFile()) {
            finishRenameCheck(Target::File);
        } else if (!m_engine->ListingAllowed()) {
            finishRenameCheck(Target::None);
        } else {
            check.At = RenameCheck::Step::List;
            listFolder();
        }
        return true;
    }
    if (act == FtpCommander::ActList && check.At == RenameCheck::Step::List) {
        // The listing itself was shown and cached by the caller.
        if (!success) {
            m_renameCheck.reset(); // nothing tells what the name holds: nothing is renamed
            return true;
        }
        const QString newName = check.Rename.NewName;
        const auto taken = std::find_if(m_items.cbegin(), m_items.cend(),
                                        [&](const FtpFileItem &item) { return item.Name == newName; });
        finishRenameCheck(taken == m_items.cend() ? Target::None : taken->IsFolder ? Target::Folder : Target::File);
        return true;
    }
    // Anything else ends the check unfinished: nothing is renamed.
    m_renameCheck.reset();
    return false;
}

void ServerSlot::finishRenameCheck(Target target)
{
    const RenameRequest rename = m_renameCheck->Rename;
    m_renameCheck.reset();
    if (target == Target::None) {
        startRename(rename);
        return;
    }
    if (m_pane)
        m_pane->ShowState(tr("Connected")); // not the reply that found the name
    // Not from inside the reply's handling: the question waits for the next turn of the event loop.
    const quint64 session = m_sessionSerial;
    QTimer::singleShot(0, this, [this, rename, target, session] {
        try {
            if (session != m_sessionSerial || !SessionActive() || m_remotePath != rename.Folder)
                return;
            if (target == Target::Folder) {
                refuseRename(rename);
                return;
            }
            askRenameReplace(rename);
            // Not renamed, and the pane shown leaves out a name the server has: it is out of date.
            const bool shown = std::any_of(m_items.cbegin(), m_items.cend(),
                                           [&](const FtpFileItem &item) { return item.Name == rename.NewName; });
            if (!shown && SessionActive() && !IsBusy() && m_remotePath == rename.Folder)
                relistAfterChange();
        } catch (...) {
            LogCurrentException(kObject, QStringLiteral("MNU_RMT_RENAME_Click"));
        }
    });
}

void ServerSlot::MakeFolder()
{
    try {
        if (!ready())
            return;
        const std::optional<QString> answer = AskText(m_pane, tr("New Folder"), tr("Name of the new folder:"));
        if (!answer)
            return;
        const QString name = answer->trimmed();
        if (name.isEmpty() || !isValidFileName(name, m_pane))
            return;
        if (!ready())
            return;
        const QString path = JoinRemotePath(m_remotePath, name);
        m_staleAfterChange = {path}; // a folder of that name listed before may have been removed since
        m_engine->FTP_MAKE_DIR(path);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MNU_RMT_NEWDIR_Click"));
    }
}

void ServerSlot::ShowProperties()
{
    try {
        if (!ready() || !m_askPermission)
            return;
        const QList<RemoteSelection> items = Selection();
        if (items.isEmpty())
            return;
        const RemoteSelection item = items.first();
        const int permission = m_askPermission(m_pane, item.Attributes, item.Name);
        if (permission == kPermissionCancelled)
            return;
        startChmod(item, permission);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MNU_RMT_PROPS_Click"));
    }
}

void ServerSlot::startChmod(const RemoteSelection &item, int permission)
{
    if (permission < 0 || permission > 777) {
        ShowMessage(m_pane, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                    QStringLiteral("The supplied attribute was incorrect!"));
        return;
    }
    if (!ready() || !IsSafeRemoteName(item.Name))
        return;
    const QString digits = QStringLiteral("%1").arg(permission, 3, 10, QLatin1Char('0'));
    m_relistAfterCommand = true;
    m_engine->FTP_CUSTOM_COMMAND(QStringLiteral("SITE CHMOD ") + digits + QLatin1Char(' ') + item.Name,
                                 tr("Changing permissions.."), QStringLiteral("2XX[I]5XX[I]XXX[I]"));
}

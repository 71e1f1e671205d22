// Remote operations on a server pane's selection: rename, new folder, permissions.
#include "ServerSlot.h"

#include "ErrorLog.h"
#include "FtpCommander.h"
#include "ModFTPTrelm.h"
#include "Paths.h"
#include "Prompts.h"
#include "RemotePane.h"

#include <QItemSelectionModel>
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
        if (!ready()) // the prompt let other events run
            return;
        // Servers let RNTO replace a file of the new name without a word.
        // Names are compared exactly: a change of letter case alone replaces nothing.
        const auto taken = std::find_if(m_items.cbegin(), m_items.cend(),
                                        [&](const FtpFileItem &item) { return item.Name == newName; });
        if (taken != m_items.cend()) {
            if (taken->IsFolder) {
                ShowMessage(m_pane, PromptIcon::Exclamation, PromptButtons::Ok, tr("Rename"),
                            tr("A folder named \"%1\" is already in this folder; \"%2\" was not renamed.")
                                .arg(newName, oldName));
                return;
            }
            const PromptButton replace =
                ShowMessage(m_pane, PromptIcon::Question, PromptButtons::YesNo, tr("Rename"),
                            tr("A file named \"%1\" is already in this folder.\n\nReplace it with \"%2\"?")
                                .arg(newName, oldName));
            if (replace != PromptButton::Yes || !ready())
                return;
        }
        const QString oldPath = JoinRemotePath(m_remotePath, oldName);
        const QString newPath = JoinRemotePath(m_remotePath, newName);
        // A folder's cached listing must not outlive its name, nor be found under the name it takes.
        m_staleAfterChange = items.first().IsFolder ? QStringList{oldPath, newPath} : QStringList();
        m_engine->FTP_REN_FILE(oldPath, newPath);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MNU_RMT_RENAME_Click"));
    }
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

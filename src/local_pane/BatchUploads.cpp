#include "BatchTransfers.h"

#include "ErrorLog.h"
#include "LocalPane.h"
#include "ModClipBoard.h"
#include "ModFTPTrelm.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "ServerSlots.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

constexpr QDir::Filters kFiles = QDir::Files | QDir::Hidden; // no devices, pipes or dangling links
constexpr QDir::Filters kFolders = QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot;

// A path from a selection or the clipboard; stray blanks around it are
// dropped unless they belong to the name.
QString localPathOf(const QString &text)
{
    if (text.isEmpty() || QFileInfo::exists(text))
        return text;
    return text.trimmed();
}

void limitMessage(QWidget *owner, quint16 limit, qint64 count)
{
    ShowMessage(owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                QStringLiteral("More than ") + QString::number(limit)
                    + QStringLiteral(" files in a batch is not allowed! Currently ") + QString::number(count)
                    + QStringLiteral(" files are selected."));
}

} // namespace

void BatchTransfers::HandleFileUploads(int index, bool immediate, bool asJobs)
{
    try {
        PrepareUploads(m_local.SelectedPaths(), index, immediate, asJobs);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("HandleFileUploads"));
    }
}

void BatchTransfers::HandlePaste(bool now)
{
    try {
        const int index = m_slots.CurrentSlot();
        ServerSlot *server = slot(index);
        // A paste onto a session that is not logged in would start nothing that can end.
        if (!server || !server->SessionActive())
            return;
        PrepareUploads(GetClipboardFileList().split(QStringLiteral("\r\n")), index, now, !now);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("HandlePaste"));
    }
}

void BatchTransfers::PrepareUploads(const QStringList &paths, int index, bool immediate, bool asJobs)
{
    try {
        ServerSlot *server = slot(index);
        if (!server || m_preparing || !readyFor(index, immediate))
            return;
        PreparingScope preparing(m_preparing);
        resetAnswers(asJobs);

        // Counting pass.
        qint64 count = 0;
        m_walked.clear();
        for (const QString &text : paths) {
            const QString path = localPathOf(text);
            if (path.isEmpty())
                continue;
            const QFileInfo info(path);
            if (info.isDir())
                getFileCount(count, QDir::cleanPath(path));
            else if (info.isFile())
                ++count;
        }
        if (count < 1)
            return;
        if (count > BatchLimit) {
            limitMessage(m_owner, BatchLimit, count);
            return;
        }

        // Filling pass. The list grows when files appeared since the count.
        BatchList list(count);
        qsizetype next = 0;
        bool hasFolders = false;
        m_walked.clear();
        const QString remoteBase = server->SlotRemotePath();
        for (const QString &text : paths) {
            const QString path = localPathOf(text);
            if (path.isEmpty())
                continue;
            const QFileInfo info(path);
            if (info.isDir()) {
                hasFolders = true;
                const QString folder = QDir::cleanPath(path);
                FillFileList(next, list, folder, remoteBase, QFileInfo(folder).absolutePath());
            } else if (info.isFile()) {
                if (next >= list.size())
                    list.resize(next + 1);
                BatchEntry &entry = list[next++];
                entry.Name = info.fileName();
                entry.LocalFolder = info.absolutePath();
                entry.RemoteFolder = remoteBase;
                entry.Size = info.size();
            }
        }
        list.resize(next);
        if (next < 1)
            return;
        if (next > BatchLimit) {
            limitMessage(m_owner, BatchLimit, next);
            return;
        }

        FolderQueue folders;
        if (hasFolders) {
            QList<qsizetype> checked;
            if (!m_steps || !m_steps->ConfirmFile(QStringLiteral("UP"), list, asJobs, checked))
                return;
            // The list's own run button runs now, whatever the command that built it.
            immediate = !asJobs;
            if (checked.size() < list.size())
                list = checkedEntries(list, checked);
            if (list.isEmpty())
                return;
            // Remote folders never visited in this slot are made first, parents before children.
            for (const BatchEntry &entry : std::as_const(list)) {
                if (folders.Contains(entry.RemoteFolder) || RemotePathExists(index, entry.RemoteFolder))
                    continue;
                FillSubFolders(index, entry.RemoteFolder, folders);
                folders.Add(entry.RemoteFolder);
            }
        }

        const bool single = list.size() == 1 && !list.first().Name.isEmpty();
        if (((single && list.first().Size < kSmallFileBytes) || immediate) && !asJobs) {
            if (!stillReady(index, BatchFailures::Verb::Transferred, list))
                return;
            UploadList = std::move(list);
            UploadIndex = -1;
            cboMkDir = std::move(folders);
            m_steps->ShowAction(!cboMkDir.IsEmpty(), index, QStringLiteral("U"), UploadList.size());
            return;
        }
        if (list.isEmpty() || list.first().Name.isEmpty()) {
            ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok, QString(),
                        QStringLiteral("There is no file for upload!"));
            return;
        }
        makeJobs(index, true, list);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("PrepareUploads"));
    }
}

void BatchTransfers::getFileCount(qint64 &count, const QString &folder)
{
    // A folder reached again through a link is counted once.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || m_walked.contains(canonical))
        return;
    m_walked.insert(canonical);
    const QDir dir(folder);
    count += dir.entryList(kFiles, QDir::Unsorted).size();
    const QStringList subFolders = dir.entryList(kFolders, QDir::Unsorted);
    for (const QString &name : subFolders) {
        if (count > BatchLimit)
            return;
        getFileCount(count, JoinLocalPath(folder, name));
    }
}

void BatchTransfers::FillFileList(qsizetype &next, BatchList &list, const QString &folder, const QString &remoteBase,
                                  const QString &localBase)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || m_walked.contains(canonical))
        return;
    m_walked.insert(canonical);
    // Only the leading base goes: the same name further down the path is part of it.
    const QString relative = folder.startsWith(localBase) ? folder.mid(localBase.size()) : folder;
    const QString remote = RemoveMultiChar(remoteBase + u'/' + relative, u'/');
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(kFiles, QDir::Unsorted);
    for (const QFileInfo &info : files) {
        if (next >= list.size())
            list.resize(next + 1);
        BatchEntry &entry = list[next++];
        entry.Name = info.fileName();
        entry.LocalFolder = folder;
        entry.RemoteFolder = remote;
        entry.Size = info.size();
    }
    const QStringList subFolders = dir.entryList(kFolders, QDir::Unsorted);
    for (const QString &name : subFolders)
        FillFileList(next, list, JoinLocalPath(folder, name), remoteBase, localBase);
}

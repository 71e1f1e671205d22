#include "BatchTransfers.h"

#include "ErrorLog.h"
#include "FtpCommander.h"
#include "JobIntake.h"
#include "LocalPane.h"
#include "OptionFlags.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "SessionLog.h"

#include <QComboBox>

namespace {
const QString kObject = QStringLiteral("frmZAVUde");
}

BatchTransfers::BatchTransfers(ServerSlots &serverSlots, LocalPane &local, QWidget *owner, QObject *parent)
    : QObject(parent), m_slots(serverSlots), m_local(local), m_owner(owner)
{
    UploadList.append(BatchEntry{});
    TransferList.append(BatchEntry{});
}

ServerSlot *BatchTransfers::slot(int index) const { return m_slots.Slot(index); }

bool BatchTransfers::BatchRunning() const { return m_preparing || (m_steps && m_steps->Running()); }

bool BatchTransfers::RemotePathExists(int index, const QString &path) const
{
    ServerSlot *server = slot(index);
    if (!server || !server->Pane() || !server->FtpCmd())
        return false;
    const QString key = server->FtpCmd()->ServerUrl() + (path.startsWith(u'/') ? path : u'/' + path);
    const QComboBox *box = server->Pane()->CboFTP;
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i) == key)
            return true;
    }
    return false;
}

void BatchTransfers::FillSubFolders(int index, const QString &path, FolderQueue &queue)
{
    // Every "/" after the first character ends a parent; parents come before children.
    for (qsizetype at = path.indexOf(u'/', 1); at > 0; at = path.indexOf(u'/', at + 1)) {
        const QString prefix = path.left(at);
        if (!queue.Contains(prefix) && !RemotePathExists(index, prefix))
            queue.Add(prefix);
    }
}

bool BatchTransfers::readyFor(int index, bool startsNow)
{
    ServerSlot *server = slot(index);
    if (!server || !server->SessionActive())
        return false;
    if (!startsNow)
        return true;
    if (server->IsBusy() || (m_steps && m_steps->Running())) {
        if (server->Pane())
            server->Pane()->ShowState(tr("Busy, please wait..."));
        // The running batch rewrites the state line at once: without a message the click seems lost.
        if (m_steps && m_steps->Running())
            ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok, QString(), kBusyText);
        return false;
    }
    return true;
}

bool BatchTransfers::stillReady(int index, BatchFailures::Verb verb, const BatchList &entries)
{
    if (!m_steps)
        return false;
    ServerSlot *server = slot(index);
    if (server && server->SessionActive() && !m_steps->Running())
        return true;
    if (!server || !server->SessionActive())
        reportLost(index, verb, entries);
    else
        ShowMessage(m_owner, PromptIcon::Information, PromptButtons::Ok, QString(), kBusyText);
    return false;
}

void BatchTransfers::reportLost(int index, BatchFailures::Verb verb, const BatchList &entries, const QStringList &folders)
{
    BatchFailures failures;
    failures.Begin(verb, entries.size() + folders.size());
    const QString reason = QStringLiteral("not started, the session ended");
    for (const BatchEntry &entry : entries) {
        if (!entry.Name.isEmpty())
            failures.NotDone(VisibleName(entry.Name), reason);
    }
    for (const QString &folder : folders)
        failures.NotDone(VisibleName(folder), QStringLiteral("folder not listed whole, the session ended"));
    if (ServerSlot *server = slot(index); server && server->Log()) {
        for (const QString &line : failures.Lines())
            server->Log()->AddLog(line, SessionLog::Warning, 0);
    }
    ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error"), failures.LostMessage());
}

void BatchTransfers::resetAnswers(bool asJobs)
{
    // Queuing jobs must not forget the "for all" answers of a batch that runs.
    if (asJobs && m_steps && m_steps->Running())
        return;
    Answers.ResetBatchAnswers(asJobs);
}

void BatchTransfers::makeJobs(int index, bool isUpload, const BatchList &entries)
{
    ServerSlot *server = slot(index);
    if (!m_intake || !server)
        return;
    const CProfile &profile = server->SlotProfile();
    const bool autoStart = IsOptionOn(OptionFlag::AutoStartJobs);
    int added = 0;
    int refused = 0;
    for (const BatchEntry &entry : entries) {
        auto task = std::make_shared<FtpTask>();
        task->setLocalFileTitle(entry.Name);
        task->setRemoteFileTitle(entry.Name);
        task->setIsUpload(isUpload);
        task->setLastAttemp(QStringLiteral("0"));
        task->setLocalPath(entry.LocalFolder);
        task->setRemotePath(entry.RemoteFolder);
        task->setServerAddress(profile.Server);
        task->setServerPort(static_cast<int>(profile.Port));
        task->setUser(profile.User);
        task->setPassword(profile.Password);
        task->setTransferMode(profile.IsPassive ? 0 : 1);
        task->setRemoteFileTime(entry.RemoteDate);
        task->setSize(entry.Size);
        if (isUpload) {
            task->setOriginalLocalSize(entry.Size);
            task->setOriginalLocalFileTime(task->LocalDate());
        }
        task->setTransferedBytes(0);
        task->setLocked(!autoStart);
        if (m_intake->AddJob(task))
            ++added;
        else
            ++refused;
    }
    m_intake->ReportJobsAdded(true, added, refused);
    if (autoStart)
        m_intake->RunQueuedJobs();
    m_intake->UpdateJobSummary();
}

QList<RemoteSelection> BatchTransfers::safeSelection(ServerSlot &server)
{
    QList<RemoteSelection> items;
    const QList<RemoteSelection> selected = server.Selection();
    items.reserve(selected.size());
    for (const RemoteSelection &item : selected) {
        if (item.Name == QLatin1String(".") || item.Name == QLatin1String(".."))
            continue;
        if (IsUsableRemoteName(item.Name)) {
            items.append(item);
        } else if (server.Log()) {
            server.Log()->AddLog(QStringLiteral("Skipped an item whose name cannot be used here: ")
                                     + VisibleName(item.Name),
                                 SessionLog::Warning, 0);
        }
    }
    return items;
}

BatchList BatchTransfers::checkedEntries(const BatchList &entries, const QList<qsizetype> &checked)
{
    BatchList kept;
    kept.reserve(checked.size());
    for (qsizetype index : checked) {
        if (index >= 0 && index < entries.size())
            kept.append(entries.at(index));
    }
    return kept;
}

bool IsUsableRemoteName(const QString &name)
{
    return IsSafeRemoteName(name) && !name.contains(u'\r') && !name.contains(u'\n');
}

QString VisibleName(QString name)
{
    name.replace(u'\r', QStringLiteral("\\r"));
    name.replace(u'\n', QStringLiteral("\\n"));
    name.replace(QChar(u'\0'), QStringLiteral("\\0"));
    return u'"' + name + u'"';
}

// The result list's context menu and the jobs made from its rows.
#include "frmCompare.h"

#include "AppInfo.h"
#include "ElidingLabel.h"
#include "ErrorLog.h"
#include "FileListModel.h"
#include "FtpTask.h"
#include "JobsFromRows.h"
#include "ModListView.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "Prompts.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTreeView>

namespace {

const QString kObject = QStringLiteral("frmCompare");

struct MenuEntry
{
    const char *name;
    const char *caption;
    const char *filter;
    bool save;
    bool upload;
};

constexpr MenuEntry kEntries[] = {
    {"mnuAddUTask", "Add Selected To Default Upload Jobs", "", false, true},
    {"mnuAddAMUTask", "Add All Missing To Default Upload Jobs", "Missing", false, true},
    {"mnuAddASCUTask", "Add All (Size Changed) To Default Upload Jobs", "Size changed", false, true},
    {"mnuSaveUTask", "Save Selected As Upload Job...", "", true, true},
    {"mnuSaveAMUTask", "Save All Missing As Upload Job...", "Missing", true, true},
    {"mnuSaveASCUTask", "Save All (Size Changed) As Upload Job...", "Size changed", true, true},
    {"mnuAddDTask", "Add Selected To Default Download Jobs", "", false, false},
    {"mnuAddAMDTask", "Add All Missing To Default Download Jobs", "Missing", false, false},
    {"mnuAddASCDTask", "Add All (Size Changed) To Default Download Jobs", "Size changed", false, false},
    {"mnuSaveDTask", "Save Selected As Download Job...", "", true, false},
    {"mnuSaveAMDTask", "Save All Missing As Download Job...", "Missing", true, false},
    {"mnuSaveASCDTask", "Save All (Size Changed) As Download Job...", "Size changed", true, false},
};

// The elements of `path` below `base`, matched as whole leading elements; none
// when the path is not below the base.
std::optional<QStringList> elementsBelow(const QString &base, const QString &path)
{
    QString b = base;
    while (b.size() > 1 && b.endsWith(QLatin1Char('/')))
        b.chop(1);
    if (path == b)
        return QStringList();
    const QString prefix = b == QLatin1String("/") ? b : b + QLatin1Char('/');
    if (!path.startsWith(prefix))
        return std::nullopt;
    return path.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// A name or folder element that may go into a job: one plain name, no line breaks.
bool plainName(const QString &name)
{
    return IsSafeRemoteName(name) && !name.contains(QLatin1Char('\r')) && !name.contains(QLatin1Char('\n'));
}

} // namespace

void frmCompare::buildMenu()
{
    mnuCntxt = new QMenu(this);
    mnuCntxt->setObjectName(QStringLiteral("mnuCntxt"));
    int index = 0;
    for (const MenuEntry &entry : kEntries) {
        if (index++ == 6) {
            QAction *separator = mnuCntxt->addSeparator();
            separator->setObjectName(QStringLiteral("mnuSp1"));
        }
        QAction *action = mnuCntxt->addAction(QString::fromLatin1(entry.caption));
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setData(entry.upload);
        const QString filter = QString::fromLatin1(entry.filter);
        const bool save = entry.save;
        connect(action, &QAction::triggered, this, [this, filter, save] { HandleSaveTask(filter, save); });
    }
    LV->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LV, &QTreeView::customContextMenuRequested, this, &frmCompare::ShowCompareMenu);
}

bool frmCompare::DownloadMode() const { return m_rowSides[0].IsFtp && !m_rowSides[1].IsFtp; }

bool frmCompare::MenuAvailable() const
{
    return HasSelectedListRow(LV->selectionModel()) && m_rowSides[0].IsFtp != m_rowSides[1].IsFtp;
}

void frmCompare::ShowCompareMenu(const QPoint &at)
{
    RunTrapped(kObject, QStringLiteral("ShowCompareMenu"), [&] {
        if (!MenuAvailable())
            return;
        const bool download = DownloadMode();
        for (QAction *action : mnuCntxt->actions()) {
            if (!action->isSeparator())
                action->setVisible(action->data().toBool() != download);
            else
                action->setVisible(false);
        }
        mnuCntxt->popup(LV->viewport()->mapToGlobal(at));
    });
}

std::shared_ptr<FtpTask> frmCompare::ComposeTask(int rowIndex, bool download) const
{
    try {
        if (rowIndex < 0 || rowIndex >= m_model->size())
            return nullptr;
        const FileListRow &row = m_model->row(rowIndex);
        const int ftpSide = download ? 0 : 1;
        const CompareLocation &ftp = m_rowSides[static_cast<size_t>(ftpSide)];
        const CompareLocation &local = m_rowSides[static_cast<size_t>(1 - ftpSide)];
        if (!ftp.IsFtp || local.IsFtp || !plainName(row.Text))
            return nullptr;
        const QString location = row.SubItems.value(CompareRules::ColLocation - 1);
        // The row's folder below the side it was found on, element by element; each must be a plain name.
        const QString base = download ? m_comparison->Walk(0)->Base() : local.LocalPath;
        const std::optional<QStringList> elements = elementsBelow(base, location);
        if (!elements)
            return nullptr;
        QString localFolder = download ? local.LocalPath : location;
        QString remoteFolder = download ? location : m_comparison->Walk(1)->Base();
        for (const QString &element : *elements) {
            if (!plainName(element))
                return nullptr;
            if (download)
                localFolder = JoinLocalPath(localFolder, element);
            else
                remoteFolder = JoinRemotePath(remoteFolder, element);
        }
        if (!download && remoteFolder.isEmpty())
            remoteFolder = QStringLiteral("/");
        const qint64 size = row.Tag.mid(1).toLongLong();
        auto task = std::make_shared<FtpTask>();
        task->setLocalFileTitle(row.Text);
        task->setIsUpload(!download);
        task->setOriginalLocalFileTime(download ? QString() : row.SubItems.value(CompareRules::ColModified - 1));
        task->setOriginalLocalSize(download ? -1 : size);
        task->setLocalPath(localFolder);
        task->setPassword(ftp.Ftp.Password);
        task->setTransferMode(ftp.Ftp.Passive ? 0 : 1);
        task->setRemotePath(remoteFolder);
        task->setServerAddress(ftp.Ftp.ServerUrl);
        task->setRemoteFileTime(download ? row.SubItems.value(CompareRules::ColModified - 1) : QString());
        task->setServerPort(static_cast<int>(ftp.Ftp.Port));
        task->setSize(size);
        task->setTransferedBytes(0);
        task->setRemoteFileTitle(row.Text);
        task->setUser(ftp.Ftp.UserName);
        task->setLocked(!IsOptionOn(OptionFlag::AutoStartJobs));
        return task;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ComposeTask"));
        return nullptr;
    }
}

void frmCompare::HandleSaveTask(const QString &filter, bool save)
{
    RunTrapped(kObject, QStringLiteral("HandleSaveTask"), [&] {
        if (m_rowSides[0].IsFtp == m_rowSides[1].IsFtp)
            return;
        const bool download = DownloadMode();
        const JobsFromRows::Result result = m_jobs->Deliver(this, m_intake, save, [&] {
            std::vector<FtpTaskCollection::Job> jobs;
            const QItemSelectionModel *selection = LV->selectionModel();
            for (int i = 0; i < m_model->size(); ++i) {
                const FileListRow &row = m_model->row(i);
                if (!row.Tag.startsWith(QLatin1Char('b'), Qt::CaseInsensitive))
                    continue;
                const bool eligible = filter.isEmpty()
                                          ? IsListRowSelected(selection, i)
                                          : row.SubItems.value(CompareRules::ColRemarks - 1)
                                                    .compare(filter, Qt::CaseInsensitive) == 0;
                if (!eligible)
                    continue;
                if (FtpTaskCollection::Job job = ComposeTask(i, download))
                    jobs.push_back(std::move(job));
                else
                    m_jobs->RefuseRow(QStringLiteral("a file or folder name from the comparison is not a plain name "
                                                     "and could address a place outside the chosen folders."));
            }
            return jobs;
        });
        if (!result.panelText.isEmpty())
            m_panels[1]->setText(result.panelText);
        else if (result.saveFailed)
            m_panels[1]->setText(QStringLiteral("No jobs were saved."));
    });
}

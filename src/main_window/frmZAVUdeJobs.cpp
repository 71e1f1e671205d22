// The window's share of the job queue: its pictures, the "&Job" menu's
// load and save items, the jobs the batches make, drops on the job list,
// and the jobs loaded at start-up.
#include "frmZAVUde.h"

#include "LetterIcon.h"
#include "DataRoot.h"
#include "ErrorLog.h"
#include "FileListView.h"
#include "BatchTransfers.h"
#include "JobCommands.h"
#include "JobQueuePane.h"
#include "LogPanes.h"
#include "Prompts.h"
#include "ServerSlot.h"
#include "BatchRunner.h"
#include "LocalPane.h"
#include "ModStartup.h"
#include "OptionFlags.h"
#include "RemotePane.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

QIcon jobIcon(const QColor &colour, const QString &letter)
{
    return LetterIcon(colour, letter, LetterIconShape::Round);
}

} // namespace

void frmZAVUde::buildJobQueue()
{
    QStyle *s = style();
    m_images.Add(QStringLiteral("Upload"), s->standardIcon(QStyle::SP_ArrowUp));
    m_images.Add(QStringLiteral("Download"), s->standardIcon(QStyle::SP_ArrowDown));
    m_images.Add(QStringLiteral("UP"), s->standardIcon(QStyle::SP_ArrowUp));
    m_images.Add(QStringLiteral("DN"), s->standardIcon(QStyle::SP_ArrowDown));
    m_images.Add(QStringLiteral("ideal"), jobIcon(QColor(130, 130, 130), QStringLiteral("-")));
    m_images.Add(QStringLiteral("a"), jobIcon(QColor(40, 90, 200), QStringLiteral(">")));
    m_images.Add(QStringLiteral("correct"), s->standardIcon(QStyle::SP_DialogApplyButton));
    m_images.Add(QStringLiteral("fm"), jobIcon(QColor(200, 60, 40), QStringLiteral("?")));
    m_images.Add(QStringLiteral("fchg"), jobIcon(QColor(210, 120, 20), QStringLiteral("~")));
    m_images.Add(QStringLiteral("usrcnc"), s->standardIcon(QStyle::SP_DialogCancelButton));
    m_images.Add(QStringLiteral("filelock"), jobIcon(QColor(120, 60, 150), QStringLiteral("!")));
    m_images.Add(QStringLiteral("open"), s->standardIcon(QStyle::SP_DialogOpenButton));
    m_images.Add(QStringLiteral("err"), s->standardIcon(QStyle::SP_MessageBoxCritical));

    m_jobs = new JobQueuePane(&m_images, this);
    m_jobs->TasksFile = DataRoot::SystemFolder() + QStringLiteral("/tasks.xqr");
    m_jobs->JobsFolder = DataRoot::JobsFolder();
    m_jobs->setHost({[this](int kind, const QString &title, const QString &text) {
        int iconKind = kind;
        ShowInfo(iconKind, title, text);
    }});
}

void frmZAVUde::wireJobs()
{
    QMenu *job = menuBar()->addMenu(tr("&Job"));
    job->setObjectName(QStringLiteral("mnuJob"));
    job->addAction(m_jobs->mnuJLoad);
    job->addAction(m_jobs->mnuJLoadCustom);
    job->addAction(m_jobs->mnuJSaveCustom);

    // Batches asked for as jobs become jobs of the queue.
    SetJobIntake(m_jobs);
    wireJobConnections();

    // Rows of the panes dropped on the job list: remote rows become download
    // jobs, local rows upload jobs for the first server.
    const auto sourceOf = [](const QMimeData *data, const QObject *source) {
        // Drags of other programs have no source object here.
        if (!data || !qobject_cast<const FileListView *>(source) || !data->hasFormat(FileListView::MimeType()))
            return QString();
        const QString name = QString::fromUtf8(data->data(FileListView::MimeType()));
        static const QStringList panes{QStringLiteral("local"), QStringLiteral("remote0"), QStringLiteral("remote1")};
        return panes.contains(name) ? name : QString();
    };
    m_jobs->setDropHandler({
        [sourceOf](const QMimeData *data, const QObject *source) { return !sourceOf(data, source).isEmpty(); },
        [this, sourceOf](const QMimeData *data, const QObject *source) {
            const QString name = sourceOf(data, source);
            // The commands' own handlers, whatever state their menu items were last shown in.
            if (name == QLatin1String("local"))
                emit m_local->mnuLOC_UTASK->triggered(false);
            else if (name == QLatin1String("remote0"))
                emit m_remote[0]->MNU_RMT_JADD->triggered(false);
            else if (name == QLatin1String("remote1"))
                emit m_remote[1]->MNU_RMT_JADD->triggered(false);
        },
    });
}

void frmZAVUde::loadJobsAtStartup()
{
    if (IsOptionOn(OptionFlag::LoadSavedJobsOnStartup))
        m_jobs->LoadTasks(m_jobs->TasksFile);
    else
        m_jobs->mnuJLoad->setEnabled(true);
    // A job file named on the program's own command line.
    if (m_startup) {
        const QString named = ModStartup::CommandLineText(QCoreApplication::arguments(), QDir::currentPath());
        if (!named.isEmpty() && !named.contains(QChar(0)) && QFileInfo(named).isFile())
            m_jobs->LoadTasks(named);
    }
    m_jobs->UpdateJobSummary();
}

void frmZAVUde::wireJobConnections()
{
    m_jobCommands = new JobCommands(*m_jobs, m_batch->Answers, JobDataPorts{}, this);
    JobCommands::Window window;
    window.owner = this;
    window.pictures = &m_images;
    window.modal = &m_modal;
    window.addLog = [this](const QString &text, int colour, int style) {
        m_logs[0]->AddLog(text, colour, static_cast<quint8>(style));
    };
    // The browsing connections' listing caches of that server.
    window.markDirCacheDirty = [this](const QString &server, const QString &folder) {
        for (int i = 0; i < 2; ++i) {
            ServerSlot *slot = m_slots->Slot(i);
            if (slot->HasProfile() && slot->SlotProfile().Server.trimmed().compare(server, Qt::CaseInsensitive) == 0)
                slot->Cache().MarkDirCacheDirty(folder, 0);
        }
    };
    window.downloadArrived = [this](const QString &localPath) { m_local->FilesArrivedIn(localPath); };
    window.localFolder = [this] { return m_local->CurrentPath(); };
    window.sessionsChanged = [this] { updateRateTimer(); };
    // The overwrite questions are the immediate batches' (one question on screen at a time).
    window.confirmFtpOverwrite = [this](const QString &remoteFile) {
        return m_runner && m_runner->Questions().ConfirmFtpOverwrite(remoteFile);
    };
    // The job's question names the local file between quotes; "for all" answers set the shared flags.
    window.askDownloadOverwrite = [this](const QString &text) {
        const qsizetype open = text.indexOf(QLatin1Char('\''));
        const qsizetype close = text.lastIndexOf(QLatin1Char('\''));
        const QString path = close > open ? text.mid(open + 1, close - open - 1) : text;
        return m_runner && m_runner->Questions().ConfirmLocalOverwrite(path) ? QStringLiteral("1") : QStringLiteral("-1");
    };
    m_jobCommands->setWindow(window);
    if (QMenu *job = findChild<QMenu *>(QStringLiteral("mnuJob")))
        m_jobCommands->FillJobMenu(job);
    m_jobs->setResetBatchAnswers([this](bool preset) { m_batch->Answers.ResetBatchAnswers(preset); });

    lblJobRate = new QLabel(this);
    lblJobRate->setObjectName(QStringLiteral("lblJobRate"));
    statusBar()->addPermanentWidget(lblJobRate);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &frmZAVUde::Timer1_Timer);
}

void frmZAVUde::updateRateTimer()
{
    if (IsAnySessionActive()) {
        if (!Timer1.isActive()) {
            m_lastJobBytes = m_jobCommands->Dispatcher().JobByteCounter();
            Timer1.start();
        }
    } else {
        Timer1.stop();
        lblJobRate->clear();
    }
}

void frmZAVUde::Timer1_Timer()
{
    try {
        const qint64 bytes = m_jobCommands->Dispatcher().JobByteCounter();
        const qint64 perSecond = std::max<qint64>(0, bytes - m_lastJobBytes);
        m_lastJobBytes = bytes;
        lblJobRate->setText(m_jobCommands->Dispatcher().AnySessionActive()
                                ? tr("Jobs: %1 KB/s").arg(QLocale().toString(perSecond / 1024.0, 'f', 1))
                                : QString());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer1_Timer"));
    }
}

// Once per run, at the first tick of the periodic check: jobs saved at the
// last close that were not loaded at start may be loaded now.
void frmZAVUde::offerPendingJobs()
{
    if (m_pendingJobsOffered)
        return;
    m_pendingJobsOffered = true;
    if (!IsOptionOn(OptionFlag::PromptPendingJobsOnStartup) || !m_jobs->mnuJLoad->isEnabled())
        return;
    QFile file(m_jobs->PendingJobsFile());
    if (!file.open(QIODevice::ReadOnly) || file.readAll().trimmed().isEmpty())
        return;
    file.close();
    if (ShowMessage(this, PromptIcon::Question, PromptButtons::YesNo, tr("Pending Jobs"),
                    tr("Jobs saved when Ftp Qor last closed are waiting.\r\n\r\nDo you wish to load them now?"))
        == PromptButton::Yes)
        m_jobs->mnuJLoad_Click();
}

// The window's share of the job queue: its pictures, the "&Job" menu's
// load and save items, the jobs the batches make, drops on the job list,
// and the jobs loaded at start-up.
#include "frmZAVUde.h"

#include "DataRoot.h"
#include "ErrorLog.h"
#include "FileListView.h"
#include "JobQueuePane.h"
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

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

QIcon jobIcon(const QColor &colour, const QString &letter)
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(colour.darker(140));
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, letter);
    return QIcon(picture);
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

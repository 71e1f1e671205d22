// The window's layout and list settings in the settings store.
#include "frmZAVUde.h"

#include "ColumnWidthKeeper.h"
#include "DataRoot.h"
#include "JobListModel.h"
#include "JobQueuePane.h"
#include "ErrorLog.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "ModListView.h"
#include "OptionFlags.h"
#include "RemotePane.h"
#include "SplitterShares.h"
#include "WindowPlacement.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

QString sortText(const QTreeView *list)
{
    const int column = ListSortColumn(list);
    if (HeaderIconKey(list, column).isEmpty())
        return QString();
    return QString::number(column) + QLatin1Char(',')
         + (ListSortOrder(list) == Qt::AscendingOrder ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace

std::unique_ptr<QSettings> frmZAVUde::OpenSettingsStore()
{
    // The same file QSettings' user scope would pick, moved under the data root when FTPQOR_HOME is set.
    auto settings = std::make_unique<QSettings>(
        DataRoot::ConfigFolder() + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".conf"),
        QSettings::IniFormat);
    settings->beginGroup(SettingsSection());
    return settings;
}

void frmZAVUde::restoreLayout()
{
    try {
        const std::unique_ptr<QSettings> settings = OpenSettingsStore();
        const QVariantMap ui = settings->value(QStringLiteral("UI")).toMap();
        // Maximised or not as left; where and how large only when asked; on the screen either way.
        m_placement->Restore(ui.value(QStringLiteral("Geometry")).toByteArray(),
                             ui.value(QStringLiteral("NormalGeometry")).toRect(),
                             IsOptionOn(OptionFlag::MaintainWindowPosition));
        if (!ui.isEmpty()) {
            splMain->restoreState(ui.value(QStringLiteral("SplitMain")).toByteArray());
            splPanes->restoreState(ui.value(QStringLiteral("SplitPanes")).toByteArray());
            splRemote->restoreState(ui.value(QStringLiteral("SplitRemote")).toByteArray());
            for (size_t i = 0; i < splServer.size(); ++i)
                splServer[i]->restoreState(ui.value(QStringLiteral("SplitServer") + QString::number(i)).toByteArray());
            m_jobs->splJobInfo->restoreState(ui.value(QStringLiteral("SplitJobs")).toByteArray());
            for (int i = 0; i < 2; ++i)
                m_logs[static_cast<size_t>(i)]->RestoreProperties(
                    ui.value(QStringLiteral("FtpLogger") + QString::number(i)).toByteArray());
            const bool dual = ui.value(QStringLiteral("Dual")).toBool();
            ShowDual(dual);
            // The two servers as the user left them, in proportion: the window
            // may still grow (maximised) after it is shown.
            if (dual)
                SetSplitterShares(splRemote, StoredSplitterSizes(ui.value(QStringLiteral("SplitRemote")).toByteArray()));
        }
        const QList<QTreeView *> lists = {m_local->LeftView, m_remote[0]->RightView, m_remote[1]->RightView,
                                         m_jobs->LVJob};
        const QStringList widths = settings->value(QStringLiteral("LV")).toString().split(QLatin1Char('|'));
        // The lists' widths the user's column widths were measured against: they come back in pixels.
        const QStringList measured = ui.value(QStringLiteral("ListWidths")).toString().split(QLatin1Char('|'));
        // Sizes and times left read whole; types, attributes, dates and job states too before a name or
        // path column gives way, and elide only where nothing else can (the whole state is in the cell's tool tip).
        // A date reads before a type or attributes do.
        using Fit = ColumnWidthKeeper::ContentFit;
        const QList<QPair<int, Fit>> fileColumns = {{1, Fit::Whole}, {2, Fit::ElidesFirst}, {3, Fit::ElidesLast}};
        const QList<QList<QPair<int, Fit>>> contentColumns = {
            fileColumns,
            fileColumns,
            fileColumns,
            {{JobListModel::Size, Fit::Whole}, {JobListModel::Status, Fit::ElidesLast}, {JobListModel::TimeLeft, Fit::Whole}}};
        const QStringList sorts = settings->value(QStringLiteral("LV-Sort")).toString().split(QLatin1Char('|'));
        for (int i = 0; i < lists.size(); ++i) {
            m_columnWidths->Watch(lists[i]);
            for (const auto &[column, fit] : contentColumns[i])
                m_columnWidths->FitToContents(lists[i], column, fit);
            if (i < widths.size() && !widths[i].isEmpty())
                m_columnWidths->Restore(lists[i], widths[i], i < measured.size() ? measured[i].toInt() : 0);
            const QStringList sort = i < sorts.size() ? sorts[i].split(QLatin1Char(',')) : QStringList();
            if (sort.size() == 2)
                SortListView(lists[i], sort[0].toInt(), sort[1] == QLatin1String("1"));
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RestoreLayout"));
    }
}

void frmZAVUde::saveLayout()
{
    try {
        const std::unique_ptr<QSettings> settings = OpenSettingsStore();
        QVariantMap ui;
        ui.insert(QStringLiteral("Geometry"), saveGeometry());
        ui.insert(QStringLiteral("NormalGeometry"), m_placement->NormalGeometry());
        ui.insert(QStringLiteral("SplitMain"), splMain->saveState());
        ui.insert(QStringLiteral("SplitPanes"), splPanes->saveState());
        ui.insert(QStringLiteral("SplitRemote"), splRemote->saveState());
        for (size_t i = 0; i < splServer.size(); ++i)
            ui.insert(QStringLiteral("SplitServer") + QString::number(i), splServer[i]->saveState());
        ui.insert(QStringLiteral("SplitJobs"), m_jobs->splJobInfo->saveState());
        ui.insert(QStringLiteral("Dual"), m_dual);
        QStringList measured;
        for (QTreeView *list : std::initializer_list<QTreeView *>{m_local->LeftView, m_remote[0]->RightView,
                                                                  m_remote[1]->RightView, m_jobs->LVJob}) {
            const int width = m_columnWidths->MeasuredWidth(list);
            measured << (width > 0 ? QString::number(width) : QString());
        }
        ui.insert(QStringLiteral("ListWidths"), measured.join(QLatin1Char('|')));
        for (int i = 0; i < 2; ++i)
            ui.insert(QStringLiteral("FtpLogger") + QString::number(i), m_logs[static_cast<size_t>(i)]->SavedProperties());
        settings->setValue(QStringLiteral("UI"), ui);
        const QList<QTreeView *> lists = {m_local->LeftView, m_remote[0]->RightView, m_remote[1]->RightView,
                                         m_jobs->LVJob};
        QStringList widths;
        QStringList sorts;
        for (QTreeView *list : lists) {
            widths << m_columnWidths->Fractions(list);
            sorts << sortText(list);
        }
        settings->setValue(QStringLiteral("LV"), widths.join(QLatin1Char('|')));
        settings->setValue(QStringLiteral("LV-Sort"), sorts.join(QLatin1Char('|')));
        settings->setValue(QStringLiteral("LV-Path"), m_local->CurrentPath());
        settings->sync();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SaveLayout"));
    }
}

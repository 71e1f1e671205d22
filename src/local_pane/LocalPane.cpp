#include "LocalPane.h"

#include "ErrorLog.h"
#include "KeyedImageList.h"
#include "ModExtIcon.h"
#include "ModFTPTrelm.h"
#include "ModListView.h"
#include "Modfolder.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "Prompts.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QItemSelectionModel>
#include <QSet>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");
const QString kCurPathKey = QStringLiteral("curpath");

// The hourglass while a folder is read; restored on every way out.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

QString dateTimeText(const QDateTime &when)
{
    return QLocale().toString(when, QLocale::ShortFormat);
}

QString collapseSlashes(QString path)
{
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    return path;
}

QString megabytes(qint64 bytes)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<double>(qMax<qint64>(bytes, 0)) / 1024.0 / 1024.0, 'f', 1);
}

} // namespace

LocalPane::LocalPane(KeyedImageList &images, QWidget *parent)
    : QWidget(parent), m_images(images), m_driveLister(MachineDrives())
{
    setObjectName(QStringLiteral("LocalPane"));
    buildControls();
    m_relist.setSingleShot(true);
    connect(&m_relist, &QTimer::timeout, this, &LocalPane::relistKeepingPlace);
}

void LocalPane::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    cboDir = new PathComboBox(this);
    cboDir->setObjectName(QStringLiteral("cboDir"));
    cboDir->setEditable(false);
    // A long folder path scrolls in the box instead of widening the pane.
    cboDir->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboDir->setMinimumContentsLength(12);
    connect(cboDir, &QComboBox::activated, this, &LocalPane::cboDir_Click);

    TB_LOC = new QToolBar(this);
    TB_LOC->setObjectName(QStringLiteral("TB_LOC"));
    TB_LOC->setIconSize(QSize(16, 16));
    auto addButton = [this](const QString &key, QStyle::StandardPixmap picture, const QString &tip) {
        QAction *button = TB_LOC->addAction(style()->standardIcon(picture), tip);
        button->setObjectName(key);
        button->setData(key);
        if (key != QLatin1String("ctx"))
            connect(button, &QAction::triggered, this, [this, key] { TB_LOC_ButtonClick(key); });
        return button;
    };
    upButton = addButton(QStringLiteral("up"), QStyle::SP_FileDialogToParent, tr("Up"));
    addButton(QStringLiteral("open"), QStyle::SP_DirOpenIcon, tr("Browse For Folder"));
    addButton(QStringLiteral("ref"), QStyle::SP_BrowserReload, tr("Refresh"));
    QAction *context = addButton(QStringLiteral("ctx"), QStyle::SP_FileDialogDetailedView, tr("Local Menu"));
    // The menu opens on the press, as a menu button does.
    if (auto *button = qobject_cast<QAbstractButton *>(TB_LOC->widgetForAction(context)))
        connect(button, &QAbstractButton::pressed, this, &LocalPane::ShowLocalToolbarMenu);

    Model = new FileListModel({tr("File"), tr("Size"), tr("Type"), tr("Modified")}, this);
    Model->setIconLookup([this](const QString &key) { return m_images.Picture(key); });

    LeftView = new FileListView(this);
    LeftView->setObjectName(QStringLiteral("LeftView"));
    LeftView->setRootIsDecorated(false);
    LeftView->setUniformRowHeights(true);
    LeftView->setAllColumnsShowFocus(true);
    LeftView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LeftView->setSelectionBehavior(QAbstractItemView::SelectRows);
    LeftView->setModel(Model);
    LeftView->header()->setSectionsClickable(true);
    LeftView->header()->setSortIndicatorShown(false);
    connect(LeftView->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { HandleLVSort(LeftView, column); });
    connect(LeftView, &QTreeView::activated, this, &LocalPane::rowActivated);
    connect(LeftView, &QTreeView::clicked, this, [this] {
        refreshSummary();
        UpdateOutButtons();
    });
    LeftView->setDragSourceName(QStringLiteral("local"));
    LeftView->setAcceptedSources({QStringLiteral("remote0"), QStringLiteral("remote1")});
    LeftView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LeftView, &QWidget::customContextMenuRequested, this, &LocalPane::ShowLocalPopup);
    LeftView->installEventFilter(this);
    auto *backspace = new QShortcut(QKeySequence(Qt::Key_Backspace), LeftView, nullptr, nullptr, Qt::WidgetShortcut);
    connect(backspace, &QShortcut::activated, this, [this] { TB_LOC_ButtonClick(QStringLiteral("up")); });
    auto *f5 = new QShortcut(QKeySequence(Qt::Key_F5), LeftView, nullptr, nullptr, Qt::WidgetShortcut);
    connect(f5, &QShortcut::activated, this, [this] { TB_LOC_ButtonClick(QStringLiteral("ref")); });
    connect(LeftView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &LocalPane::refreshSummary);

    // However long the summary, it never widens the pane: it ends in "…".
    lblLocal = new ElidingLabel(QString(), this);
    lblLocal->setObjectName(QStringLiteral("lblLocal"));

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(cboDir, 1);
    top->addWidget(TB_LOC);
    layout->addLayout(top);
    layout->addWidget(LeftView, 1);
    layout->addWidget(lblLocal);
    buildLocalMenu();
}

void LocalPane::buildLocalMenu()
{
    mnuLocal = new QMenu(tr("&Local"), this);
    mnuLocal->setObjectName(QStringLiteral("mnuLocal"));
    auto add = [this](const QString &name, const QString &caption, int slot, bool immediate, bool asJobs) {
        QAction *item = mnuLocal->addAction(caption);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, [this, slot, immediate, asJobs] {
            UploadSelection(slot, immediate, asJobs);
        });
        return item;
    };
    mnuLOC_QUPLOAD = add(QStringLiteral("mnuLOC_QUPLOAD"), tr("Quick Upload..."), 0, true, false);
    mnuLOC_UTASK = add(QStringLiteral("mnuLOC_UTASK"), tr("Add to Jobs..."), 0, false, true);
    mnusp23 = mnuLocal->addSeparator();
    mnuLOC_QUPLOAD1 = add(QStringLiteral("mnuLOC_QUPLOAD1"), tr("Quick Upload (Second Sever)..."), 1, true, false);
    mnuLOC_UTASK1 = add(QStringLiteral("mnuLOC_UTASK1"), tr("Add to Jobs (Second Sever)..."), 1, false, true);
    mnusp22 = mnuLocal->addSeparator();
    mnuLOC_Refresh = mnuLocal->addAction(tr("&Refresh"));
    mnuLOC_Refresh->setObjectName(QStringLiteral("mnuLOC_Refresh"));
    connect(mnuLOC_Refresh, &QAction::triggered, this, [this] { TB_LOC_ButtonClick(QStringLiteral("ref")); });
    connect(mnuLocal, &QMenu::aboutToShow, this, &LocalPane::UpdateLocalMenu);
    UpdateLocalMenu();
}

bool LocalPane::slotConnected(int slot) const { return m_host.SlotConnected && m_host.SlotConnected(slot); }

QAction *LocalPane::LocalButton(const QString &key) const
{
    for (QAction *action : TB_LOC->actions()) {
        if (action->data().toString() == key)
            return action;
    }
    return nullptr;
}

void LocalPane::UpdateLocalMenu()
{
    try {
        for (int slot = 0; slot < 2; ++slot)
            m_connected[static_cast<size_t>(slot)] = slotConnected(slot);
        const bool selected = LeftView->selectionModel() && LeftView->selectionModel()->hasSelection();
        const bool jobs = m_host.JobsAvailable && m_host.JobsAvailable();
        const bool dual = m_host.SecondPaneShown && m_host.SecondPaneShown();
        mnuLOC_QUPLOAD->setEnabled(selected && m_connected[0]);
        mnuLOC_UTASK->setEnabled(selected && m_connected[0] && jobs);
        mnuLOC_QUPLOAD1->setEnabled(selected && m_connected[1]);
        mnuLOC_UTASK1->setEnabled(selected && m_connected[1] && jobs);
        for (QAction *second : {mnusp23, mnuLOC_QUPLOAD1, mnuLOC_UTASK1})
            second->setVisible(dual);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("UpdateLocalMenu"));
    }
}

void LocalPane::UploadSelection(int slot, bool immediate, bool asJobs)
{
    try {
        if (!slotConnected(slot) || !m_host.HandleFileUploads)
            return;
        if (asJobs && !(m_host.JobsAvailable && m_host.JobsAvailable()))
            return;
        m_host.HandleFileUploads(slot, immediate, asJobs);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuLOC_QUPLOAD_Click"));
    }
}

void LocalPane::ShowLocalPopup(const QPoint &at)
{
    try {
        for (int slot = 0; slot < 2; ++slot)
            m_connected[static_cast<size_t>(slot)] = slotConnected(slot);
        refreshSummary();
        if (!IsOptionOn(OptionFlag::EnableShellMenu)) {
            mnuLocal->popup(LeftView->viewport()->mapToGlobal(at));
            return;
        }
        QString verb;
        switch (ShellContextMenu(at, verb)) {
        case ShellMenu::Refresh:
            LoadLocalFolders(m_currentPath);
            break;
        case ShellMenu::QuickUpload:
            UploadSelection(0, true, false);
            break;
        case ShellMenu::AddToJobs:
            UploadSelection(0, false, true);
            break;
        case ShellMenu::QuickUploadSecond:
            UploadSelection(1, true, false);
            break;
        case ShellMenu::AddToJobsSecond:
            UploadSelection(1, false, true);
            break;
        default:
            // Deleted files must go from the list and new links appear in it.
            if (verb.contains(QLatin1String("Delete")) || verb.contains(QLatin1String("Shortcut")))
                LoadLocalFolders(m_currentPath);
            break;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ShowLocalPopup"));
    }
}

int LocalPane::ShellContextMenu(const QPoint &at, QString &verb)
{
    verb.clear();
    try {
        LeftView->setFocus();
        const QStringList paths = SelectedPaths();
        if (paths.isEmpty() || !m_host.Window)
            return 0;
        const bool jobs = m_host.JobsAvailable && m_host.JobsAvailable();
        return ShowShellContextMenu(window(), *m_host.Window, paths, LeftView->viewport()->mapToGlobal(at), verb,
                                    m_shellRunner, jobs);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ShellContextMenu"));
        verb.clear();
        return 0;
    }
}

void LocalPane::ShowLocalToolbarMenu()
{
    try {
        QWidget *button = TB_LOC->widgetForAction(LocalButton(QStringLiteral("ctx")));
        if (!button)
            return;
        UpdateLocalMenu();
        mnuLocal->popup(button->mapToGlobal(QPoint(0, button->height())));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ShowLocalToolbarMenu"));
    }
}

void LocalPane::TB_LOC_ButtonClick(const QString &key)
{
    try {
        if (key == QLatin1String("up"))
            goUp();
        else if (key == QLatin1String("open"))
            cmdDirLoc_Click();
        else if (key == QLatin1String("ref") && !m_currentPath.isEmpty())
            LoadLocalFolders(m_currentPath);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("TB_LOC_ButtonClick"));
    }
}

void LocalPane::cmdDirLoc_Click()
{
    try {
        const QString answer = GetFolder(window(), m_currentPath, QStringLiteral("Please select a folder:"), false, true);
        if (answer.isEmpty())
            return;
        if (LoadLocalFolders(answer) && m_host.FolderPicked)
            m_host.FolderPicked(answer);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("cmdDirLoc_Click"));
    }
}

bool LocalPane::eventFilter(QObject *watched, QEvent *event)
{
    // The menu key opens the pop-up at the list's top, a little right of its left edge.
    if (watched == LeftView && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Menu) {
        ShowLocalPopup(QPoint(kMenuKeyOffset, 0));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LocalPane::UpdateOutButtons()
{
    if (!m_host.SetOutButtonState)
        return;
    for (int slot = 0; slot < 2; ++slot)
        m_host.SetOutButtonState(slot, slotConnected(slot));
}

void LocalPane::LoadDrives()
{
    try {
        cboDir->clear();
        m_firstReadyTag.clear();
        m_drives = m_driveLister.List ? m_driveLister.List() : QList<LocalDrive>();
        for (const LocalDrive &drive : m_drives) {
            if (drive.IsReady && m_firstReadyTag.isEmpty())
                m_firstReadyTag = QString::number(cboDir->count() + 1);
            cboDir->addItem(m_images.Picture(GetDriveTypeKey(drive.Type)), driveBoxText(drive), drive.Path);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadDrives"));
    }
}

QString LocalPane::driveBoxText(const LocalDrive &drive)
{
    return drive.Path + (drive.IsReady ? QStringLiteral(" [Ready]") : QStringLiteral(" [Not Ready]"));
}

int LocalPane::indexOfDrive(const QString &path) const
{
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).Path == path)
            return i;
    }
    return -1;
}

void LocalPane::cboDir_Click(int index)
{
    try {
        if (index < 0 || index >= cboDir->count())
            return;
        const QString key = cboDir->itemData(index).toString();
        if (key == kCurPathKey)
            return;
        Model->clear();
        LoadDriveBase(key);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("cboDir_Click"));
    }
}

void LocalPane::LoadDriveBase(const QString &drivePath)
{
    try {
        // Judged now, not from the list: a volume may have been unmounted or
        // mounted since the list was made.
        const int listed = indexOfDrive(drivePath);
        const bool ready = listed >= 0 && DriveReadyNow(m_driveLister, m_drives.at(listed));
        if (listed >= 0 && m_drives.at(listed).IsReady != ready) {
            m_drives[listed].IsReady = ready;
            const int item = cboDir->findData(drivePath);
            if (item >= 0)
                cboDir->setItemText(item, driveBoxText(m_drives.at(listed)));
        }
        if (ready) {
            m_currentPath = drivePath;
            LoadLocalFolders(drivePath);
            return;
        }
        for (int slot = 0; slot < 2; ++slot) {
            if (m_host.SetOutButtonState)
                m_host.SetOutButtonState(slot, false);
            if (m_host.SetInButtonState)
                m_host.SetInButtonState(slot, false);
        }
        lblLocal->setText(QStringLiteral("Drive not ready !"));
        ShowMessage(window(), PromptIcon::Exclamation, PromptButtons::Ok, QString(),
                    QStringLiteral("This drive is not ready."));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadDriveBase"));
    }
}

QString LocalPane::FileIconKey(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == fileName.size() - 1)
        return QStringLiteral("donty");
    const QString key = QStringLiteral("e_") + fileName.mid(dot + 1).toLower();
    if (key == QLatin1String("e_exe") || key == QLatin1String("e_ico"))
        return fileName;
    return key;
}

void LocalPane::ensureFolderIcon(const QString &folderPath)
{
    const QString key = QStringLiteral("dir");
    if (m_images.Contains(key))
        return;
    QIcon icon = GetFileIcon(folderPath);
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_DirIcon);
    m_images.Add(key, icon);
    m_imageTags.insert(key, QStringLiteral("Folder"));
}

void LocalPane::ensureFileIcon(const QString &key, const QString &filePath)
{
    if (key == QLatin1String("donty") || m_images.Contains(key))
        return;
    QIcon icon = GetFileIcon(filePath);
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_FileIcon);
    m_images.Add(key, icon);
    m_imageTags.insert(key, m_typeNames.Of(QFileInfo(filePath).fileName()));
}

bool LocalPane::LoadLocalFolders(const QString &requestedPath)
{
    try {
        const QString path = collapseSlashes(requestedPath);
        Model->clear();
        WaitCursor hourglass;

        const QDir folder(path);
        if (!folder.exists() || !QFileInfo(path).isReadable())
            throw RuntimeError(ErrorNumber::PathNotFound, QStringLiteral("Path not found: ") + path);
        m_currentPath = path;
        m_listedAt.start();
        m_relist.stop();

        const QDir::Filters common = QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;
        const QFileInfoList folders = folder.entryInfoList(QDir::Dirs | common, order);
        const QFileInfoList files = folder.entryInfoList(QDir::Files | common, order);

        lblLocal->setText(QString());
        m_folderCounts = QString::number(folders.size()) + QStringLiteral(" folders, ")
                       + QString::number(files.size()) + QStringLiteral(" files");

        m_folderVolume = m_driveLister.VolumeOf ? m_driveLister.VolumeOf(path) : LocalDrive();
        const LocalDrive &drive = m_folderVolume;
        const int old = cboDir->findData(kCurPathKey);
        if (old >= 0)
            cboDir->removeItem(old);
        cboDir->addItem(m_images.Picture(GetDriveTypeKey(drive.Type)), path, kCurPathKey);
        cboDir->setCurrentIndex(cboDir->count() - 1);

        upButton->setEnabled(!folder.isRoot());

        std::vector<FileListRow> rows;
        rows.reserve(static_cast<size_t>(folders.size() + files.size()));
        int number = 0;
        for (const QFileInfo &info : folders) {
            ensureFolderIcon(info.absoluteFilePath());
            FileListRow row;
            row.Key = QStringLiteral("Dir") + QString::number(number++);
            row.Text = info.fileName();
            row.IconKey = QStringLiteral("dir");
            row.SubItems = {PadText(QStringLiteral("0 KB"), 12), QStringLiteral("File Folder"),
                            dateTimeText(info.lastModified())};
            row.Tag = QStringLiteral("b0");
            row.IsFolder = true;
            row.SortTime = info.lastModified().toSecsSinceEpoch();
            rows.push_back(std::move(row));
        }
        number = 0;
        for (const QFileInfo &info : files) {
            const QString key = FileIconKey(info.fileName());
            ensureFileIcon(key, info.absoluteFilePath());
            FileListRow row;
            row.Key = QStringLiteral("Fl") + QString::number(number++);
            row.Text = info.fileName();
            row.IconKey = key;
            row.SubItems = {FormatKilobytes(info.size()), m_typeNames.Of(info.fileName()),
                            dateTimeText(info.lastModified())};
            row.Tag = QStringLiteral("b") + QString::number(info.size());
            row.Size = info.size();
            row.SortTime = info.lastModified().toSecsSinceEpoch();
            rows.push_back(std::move(row));
        }
        Model->setRows(std::move(rows));

        UpdateInButtons();
        if (m_host.FolderListed)
            m_host.FolderListed(path);
        refreshSummary();
        m_listingMs = m_listedAt.restart();
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadLocalFolders"));
        return false;
    }
}

void LocalPane::FilesArrivedIn(const QString &folder)
{
    const QString shown = QDir::cleanPath(m_currentPath);
    const QString arrived = QDir::cleanPath(folder);
    if (m_currentPath.isEmpty()
        || !(arrived == shown || arrived.startsWith(shown.endsWith(u'/') ? shown : shown + u'/')))
        return;
    if (m_relist.isActive())
        return;
    // A folder of thousands of files takes long to list: the pane is idle
    // four times as long between two listings, so input is answered meanwhile.
    const qint64 apart = std::max<qint64>(1000, 4 * m_listingMs);
    const qint64 since = m_listedAt.isValid() ? m_listedAt.elapsed() : apart;
    if (since >= apart)
        relistKeepingPlace();
    else
        m_relist.start(static_cast<int>(apart - since));
}

void LocalPane::relistKeepingPlace()
{
    QItemSelectionModel *selection = LeftView->selectionModel();
    QSet<QString> selected;
    for (const QModelIndex &index : selection->selectedRows())
        selected.insert(Model->row(index.row()).Text);
    const auto nameAt = [this](const QModelIndex &index) {
        return index.isValid() ? Model->row(index.row()).Text : QString();
    };
    const QString current = nameAt(selection->currentIndex());
    const QString top = nameAt(LeftView->indexAt(QPoint(0, 0)));
    if (!LoadLocalFolders(m_currentPath))
        return;
    QItemSelection keep;
    const int lastColumn = Model->columnCount() - 1;
    QModelIndex topRow;
    for (int i = 0; i < Model->size(); ++i) {
        const QString &name = Model->row(i).Text;
        if (name == top)
            topRow = Model->index(i, 0);
        if (name == current)
            selection->setCurrentIndex(Model->index(i, 0), QItemSelectionModel::NoUpdate);
        if (selected.contains(name))
            keep.select(Model->index(i, 0), Model->index(i, lastColumn));
    }
    selection->select(keep, QItemSelectionModel::Select);
    // Last: making a row current scrolls it into view.
    if (topRow.isValid())
        LeftView->scrollTo(topRow, QAbstractItemView::PositionAtTop);
}

bool LocalPane::LocalDriveTakesDownloads() const
{
    if (m_currentPath.isEmpty())
        return false;
    const LocalDrive &drive = m_folderVolume;
    return !drive.Path.isEmpty() && drive.IsReady && drive.Type != DriveType::CdRom
        && drive.AvailableSpace > kMinFreeForDownload;
}

void LocalPane::UpdateInButtons()
{
    if (!m_host.SetInButtonState)
        return;
    const bool driveOk = LocalDriveTakesDownloads();
    for (int slot = 0; slot < 2; ++slot) {
        const bool selected = m_host.RemoteHasSelection && m_host.RemoteHasSelection(slot);
        m_host.SetInButtonState(slot, driveOk && selected);
    }
}

void LocalPane::refreshSummary()
{
    GetSelectionSummary(LeftView, lblLocal, m_folderCounts,
                        QStringLiteral("  | ") + megabytes(m_folderVolume.AvailableSpace) + QStringLiteral("MB Free"));
}

void LocalPane::goUp()
{
    try {
        QDir folder(m_currentPath);
        if (m_currentPath.isEmpty() || folder.isRoot() || !folder.cdUp())
            return;
        LoadLocalFolders(folder.absolutePath());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("TB_LOC_ButtonClick"));
    }
}

void LocalPane::rowActivated(const QModelIndex &index)
{
    try {
        if (!index.isValid())
            return;
        const FileListRow &row = Model->row(index.row());
        const QString path = JoinLocalPath(m_currentPath, row.Text);
        if (row.IsFolder)
            LoadLocalFolders(path);
        else
            emit fileActivated(path);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LeftView_DblClick"));
    }
}

void LocalPane::WarmUpOnActivation()
{
    try {
        if (m_warmUp[0].isEmpty()) {
            for (const LocalDrive &drive : m_drives) {
                if (drive.Type == DriveType::Fixed && drive.IsReady) {
                    m_warmUpCounter = 0;
                    CollectSubFolders(drive.Path);
                    break;
                }
            }
            m_warmUpCounter = -1;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_Activate"));
    }
}

void LocalPane::CollectSubFolders(const QString &path)
{
    try {
        collect(path);
    } catch (...) {
        // A folder that cannot be read is simply not warmed.
    }
}

void LocalPane::collect(const QString &path)
{
    const QDir folder(path);
    const QFileInfoList subFolders =
        folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &info : subFolders) {
        if (m_warmUpCounter < 0 || m_warmUpCounter >= kWarmUpSlots)
            return;
        m_warmUp[static_cast<size_t>(m_warmUpCounter++)] = info.absoluteFilePath();
        collect(info.absoluteFilePath());
    }
}

void LocalPane::WarmUpTick()
{
    try {
        if (m_warmUpCounter >= kWarmUpSlots - 1)
            return;
        ++m_warmUpCounter;
        if (m_warmUpCounter >= 0)
            PreloadFileTypeIcons(m_warmUp[static_cast<size_t>(m_warmUpCounter)]);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Timer2_Timer"));
    }
}

QStringList LocalPane::SelectedPaths() const
{
    QStringList paths;
    if (!LeftView->selectionModel())
        return paths;
    QModelIndexList rows = LeftView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : rows)
        paths << JoinLocalPath(m_currentPath, Model->row(index.row()).Text);
    return paths;
}

QStringList LocalPane::WarmUpFolders() const
{
    QStringList folders;
    for (const QString &path : m_warmUp) {
        if (!path.isEmpty())
            folders << path;
    }
    return folders;
}

void LocalPane::PreloadFileTypeIcons(const QString &folderPath)
{
    if (folderPath.isEmpty())
        return;
    try {
        const QFileInfoList files = QDir(folderPath).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo &info : files) {
            const QString name = info.fileName();
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            if (dot < 0 || dot == name.size() - 1)
                continue;
            const QString key = QStringLiteral("e_") + name.mid(dot + 1).toLower();
            if (key == QLatin1String("e_ico") || m_images.Contains(key))
                continue;
            ensureFileIcon(key, info.absoluteFilePath());
            if (m_images.Count() >= kWarmUpIconLimit)
                return;
        }
    } catch (...) {
        // Folders that cannot be read are skipped.
    }
}

qint64 SelectedBytes(const QTreeView *list, int *selectedCount)
{
    qint64 total = 0;
    int count = 0;
    if (list && list->selectionModel()) {
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        for (const QModelIndex &index : rows) {
            const QString tag = index.data(FileListModel::TagRole).toString();
            total += tag.mid(1).toLongLong();
            ++count;
        }
    }
    if (selectedCount)
        *selectedCount = count;
    return total;
}

void GetSelectionSummary(QTreeView *list, ElidingLabel *label, const QString &counts, const QString &suffix)
{
    try {
        if (!list || !label)
            return;
        int count = 0;
        const qint64 bytes = SelectedBytes(list, &count);
        QString text = counts;
        if (count > 0)
            text += QStringLiteral("  | ") + QString::number(count) + QStringLiteral(" selected (")
                  + FormatKilobytes(bytes).trimmed() + QStringLiteral(")");
        label->setText(text + suffix);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("GetSelectionSummary"));
    }
}

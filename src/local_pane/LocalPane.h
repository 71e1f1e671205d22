#pragma once

#include "ElidingLabel.h"
#include "FileListModel.h"
#include "FileListView.h"
#include "PathComboBox.h"
#include "FileTypeNames.h"
#include "LocalDrives.h"
#include "mMenuDefs.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class KeyedImageList;
class MainWindowServices;
class QAction;
class QMenu;
class QToolBar;
class QTreeView;

// The left half of the main window: the drive box, the local list, the
// selection label and the local toolbar. LoadLocalFolders is the one way to
// show or refresh a local folder.
class LocalPane : public QWidget
{
    Q_OBJECT
public:
    // What the pane needs of the window around it.
    struct Host {
        std::function<void(int slot, bool enabled)> SetInButtonState;
        std::function<void(int slot, bool enabled)> SetOutButtonState;
        std::function<bool(int slot)> RemoteHasSelection;
        // The folder now listed, so the folder-history menu can mark it.
        std::function<void(const QString &path)> FolderListed;
        // Whether server slot 0 or 1 is logged in.
        std::function<bool(int slot)> SlotConnected;
        // Whether the second server is shown.
        std::function<bool()> SecondPaneShown;
        // Whether uploads can be queued as jobs.
        std::function<bool()> JobsAvailable;
        // Uploads the selected local items to a slot (at once or as jobs).
        std::function<void(int slot, bool immediate, bool asJobs)> HandleFileUploads;
        // A folder chosen with the folder picker, for the folder history.
        std::function<void(const QString &path)> FolderPicked;
        // The window the file menu of local items asks about servers.
        const MainWindowServices *Window = nullptr;
    };

    static constexpr int kWarmUpSlots = 31;       // folders collected for the icon warm-up
    static constexpr int kWarmUpIconLimit = 201;  // the warm-up stops at this many images
    static constexpr qint64 kMinFreeForDownload = 1024000;
    static constexpr int kMenuKeyOffset = 40; // px right of the list's left edge

    // `images` is the window's shared image list of file-type and drive icons.
    LocalPane(KeyedImageList &images, QWidget *parent = nullptr);

    void setHost(Host host) { m_host = std::move(host); }
    void setDriveLister(DriveLister lister) { m_driveLister = std::move(lister); }

    // Refills the drive box.
    void LoadDrives();
    // A pick in the drive box.
    void cboDir_Click(int index);
    // Lists a drive's root folder, or reports that it is not ready.
    void LoadDriveBase(const QString &drive);
    // Lists one local folder; false when it could not be read.
    bool LoadLocalFolders(const QString &path);
    // Files arrived in `folder`: when the pane shows it (or a folder above
    // it), the listing and its free space are read again, keeping the
    // selection, current row and top row on the same files: at once when the
    // last listing ended a second ago (or four times as long as it took),
    // else once that time is up, so thousands of arrivals cost at most a
    // listing a second and a fifth of the window's time.
    void FilesArrivedIn(const QString &folder);

    // Icon warm-up: the window's activation collects folders; each tick of
    // the window's second timer warms one more.
    void WarmUpOnActivation();
    void WarmUpTick();
    void PreloadFileTypeIcons(const QString &folderPath);
    void CollectSubFolders(const QString &path);

    QString CurrentPath() const { return m_currentPath; }
    const QList<LocalDrive> &Drives() const { return m_drives; }
    // The drive box's tag: the 1-based position of the first ready drive, "" when none.
    QString DriveBoxTag() const { return m_firstReadyTag; }
    // The icon key of a file name: "e_" + extension, the name itself for
    // programs and icons, "donty" without an extension.
    static QString FileIconKey(const QString &fileName);
    // Whether a download into the current folder may be offered.
    bool LocalDriveTakesDownloads() const;
    // Re-evaluates the quick-download buttons (a remote selection changed).
    void UpdateInButtons();
    // Re-evaluates the quick-upload buttons from the servers' states.
    void UpdateOutButtons();

    // The local pop-up: enabled and visible states from the servers' states.
    void UpdateLocalMenu();
    // Opens the pop-up (or, with the shell-menu option, the file menu of the
    // selected items) at a point of the list's viewport.
    void ShowLocalPopup(const QPoint &at);
    // The file menu of the selected items; the chosen identifier (0 for none)
    // and its text in `verb`. No selection: 0 without a menu.
    int ShellContextMenu(const QPoint &at, QString &verb);
    // Tests answer the file menu instead of a user.
    void setShellMenuRunner(ShellMenu::Runner runner) { m_shellRunner = std::move(runner); }
    // The "ctx" button: the pop-up just below it.
    void ShowLocalToolbarMenu();
    void TB_LOC_ButtonClick(const QString &key);
    // The folder picker.
    void cmdDirLoc_Click();
    // Uploads the selection to a slot when it is logged in.
    void UploadSelection(int slot, bool immediate, bool asJobs);
    // The connection pair as the last pop-up found it.
    bool PopupSawConnected(int slot) const { return m_connected[static_cast<size_t>(slot & 1)]; }
    // A toolbar button by key ("up", "open", "ref", "ctx").
    QAction *LocalButton(const QString &key) const;

    // The full paths of the selected rows, in list order.
    QStringList SelectedPaths() const;

    QStringList WarmUpFolders() const;
    int WarmUpCounter() const { return m_warmUpCounter; }

    PathComboBox *cboDir = nullptr; // shows the end of a long path
    QToolBar *TB_LOC = nullptr;
    QAction *upButton = nullptr; // the "up" key of TB_LOC
    FileListView *LeftView = nullptr;
    // The selection summary and free space; the whole text in its tool tip.
    ElidingLabel *lblLocal = nullptr;
    FileListModel *Model = nullptr;

    // The local pop-up; the window's "&Local" menu shares its items.
    QMenu *mnuLocal = nullptr;
    QAction *mnuLOC_QUPLOAD = nullptr;
    QAction *mnuLOC_UTASK = nullptr;
    QAction *mnusp23 = nullptr;
    QAction *mnuLOC_QUPLOAD1 = nullptr;
    QAction *mnuLOC_UTASK1 = nullptr;
    QAction *mnusp22 = nullptr;
    QAction *mnuLOC_Refresh = nullptr;

signals:
    // A local row was activated (double-click or Enter) that is a file.
    void fileActivated(const QString &path);

private:
    void buildControls();
    void buildLocalMenu();
    bool slotConnected(int slot) const;
    static QString driveBoxText(const LocalDrive &drive);
    int indexOfDrive(const QString &path) const;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void goUp();
    void rowActivated(const QModelIndex &index);
    void ensureFolderIcon(const QString &folderPath);
    void ensureFileIcon(const QString &key, const QString &filePath);
    void collect(const QString &path);
    void refreshSummary();
    void relistKeepingPlace();

    KeyedImageList &m_images;
    Host m_host;
    DriveLister m_driveLister;
    QList<LocalDrive> m_drives;
    LocalDrive m_folderVolume; // the volume of the listed folder, as the last listing read it
    QString m_folderCounts;    // "3 folders, 12 files" of the listed folder
    QString m_currentPath;
    QElapsedTimer m_listedAt; // since the last listing ended
    qint64 m_listingMs = 0;   // what the last listing took
    QTimer m_relist;          // the one listing owed to arrivals within a second of the last
    QString m_firstReadyTag;
    std::array<QString, kWarmUpSlots> m_warmUp;
    int m_warmUpCounter = 0;
    FileTypeNames m_typeNames;
    QHash<QString, QString> m_imageTags; // image key -> the type name it was added for
    std::array<bool, 2> m_connected{};    // the servers' states when the last pop-up opened
    ShellMenu::Runner m_shellRunner;
};

// Sets `label` from the folder and file counts `counts`, the selection's count
// and total size (from each selected row's tag) and `suffix`. The label's tool
// tip holds its whole text, so the counts are passed, not read from it.
void GetSelectionSummary(QTreeView *list, ElidingLabel *label, const QString &counts, const QString &suffix);

// Total bytes of the selected rows of a file list (the text after the first
// character of each row's tag).
qint64 SelectedBytes(const QTreeView *list, int *selectedCount = nullptr);

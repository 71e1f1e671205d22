#pragma once

#include "FileListModel.h"
#include "LocalDrives.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class KeyedImageList;
class QAction;
class QComboBox;
class QLabel;
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
    };

    static constexpr int kWarmUpSlots = 31;       // folders collected for the icon warm-up
    static constexpr int kWarmUpIconLimit = 201;  // the warm-up stops at this many images
    static constexpr qint64 kMinFreeForDownload = 1024000;

    // `images` is the window's shared image list of file-type and drive icons.
    LocalPane(KeyedImageList &images, QWidget *parent = nullptr);

    void setHost(Host host) { m_host = std::move(host); }
    void setDriveLister(DriveLister lister) { m_listDrives = std::move(lister); }

    // Refills the drive box.
    void LoadDrives();
    // A pick in the drive box.
    void cboDir_Click(int index);
    // Lists a drive's root folder, or reports that it is not ready.
    void LoadDriveBase(const QString &drive);
    // Lists one local folder; false when it could not be read.
    bool LoadLocalFolders(const QString &path);

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

    QStringList WarmUpFolders() const;
    int WarmUpCounter() const { return m_warmUpCounter; }

    QComboBox *cboDir = nullptr;
    QToolBar *TB_LOC = nullptr;
    QAction *upButton = nullptr; // the "up" key of TB_LOC
    QTreeView *LeftView = nullptr;
    QLabel *lblLocal = nullptr;
    FileListModel *Model = nullptr;

signals:
    // A local row was activated (double-click or Enter) that is a file.
    void fileActivated(const QString &path);

private:
    void buildControls();
    void goUp();
    void rowActivated(const QModelIndex &index);
    void ensureFolderIcon(const QString &folderPath);
    void ensureFileIcon(const QString &key, const QString &filePath);
    void collect(const QString &path);
    void refreshSummary();
    QString typeNameOf(const QString &filePath);

    KeyedImageList &m_images;
    Host m_host;
    DriveLister m_listDrives;
    QList<LocalDrive> m_drives;
    QString m_currentPath;
    QString m_firstReadyTag;
    std::array<QString, kWarmUpSlots> m_warmUp;
    int m_warmUpCounter = 0;
    QHash<QString, QString> m_imageTags; // image key -> the type name it was added for
};

// Sets `label` from the folder and file counts in its tool tip, the
// selection's count and total size (from each selected row's tag) and `suffix`.
void GetSelectionSummary(QTreeView *list, QLabel *label, const QString &suffix);

// Total bytes of the selected rows of a file list (the text after the first
// character of each row's tag).
qint64 SelectedBytes(const QTreeView *list, int *selectedCount = nullptr);

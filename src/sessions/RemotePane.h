#pragma once

#include "ElidingLabel.h"
#include "FileListView.h"
#include "PathComboBox.h"

#include <QString>
#include <QWidget>

class FileListModel;
class FtpStatusStrip;
class KeyedImageList;
class QAction;
class QLineEdit;
class QMenu;
class QProgressBar;
class QToolBar;

// The controls of one server's side of the main window: the path list, the
// remote toolbar, the name filter, the remote list and its status lines.
// The server slot fills and drives them.
class RemotePane : public QWidget
{
    Q_OBJECT
public:
    RemotePane(int slot, KeyedImageList &images, QWidget *parent = nullptr);

    int Slot() const { return m_slot; }

    // The toolbar button of a key ("up", "refresh", "newdir", "rename", "props", "history",
    // "connect", "disconnect").
    QAction *Button(const QString &key) const;

    // The state line: "Not connected", "Connecting...", listing progress and the like.
    // The last `wholeTail` characters stay whole when the line is too narrow.
    void ShowState(const QString &text, int wholeTail = 0);
    // Listing progress: bytes received so far; a negative count hides the bar.
    void ShowListingProgress(qint64 bytes);
    void ShowSummary(const QString &text);

    PathComboBox *CboFTP = nullptr; // shows the end of a long path
    QToolBar *TB_RMT = nullptr;
    QLineEdit *txtFilter = nullptr;
    FileListView *RightView = nullptr;
    FileListModel *Model = nullptr;
    // The listing's summary and the connection's state, each on a line of its
    // own; neither widens the pane: each ends in "…" and is whole in its tool tip.
    ElidingLabel *lblRemote = nullptr;
    ElidingLabel *lblState = nullptr;
    QProgressBar *Progress = nullptr;
    FtpStatusStrip *Status = nullptr; // the connection's own status: sockets and transfer progress
    QMenu *mnuRemote = nullptr;        // the list's pop-up menu
    QMenu *mnuHistory = nullptr;       // the remote folder history ("history" button)
    QMenu *mnuCustomCmd = nullptr;     // user commands, inside mnuRemote

    QAction *MNU_RMT_REFRESH = nullptr;
    QAction *MNU_RMT_NEWDIR = nullptr;
    QAction *MNU_RMT_RENAME = nullptr;
    QAction *MNU_RMT_PROPS = nullptr;
    QAction *MNU_RMT_DNLD = nullptr;
    QAction *MNU_RMT_JADD = nullptr;
    QAction *MNU_RMT_JADDEX = nullptr;
    QAction *MNU_RMT_DEL = nullptr;
    QAction *MNU_RMT_PASTE = nullptr;
    QAction *MNU_RMT_PASTEJOB = nullptr;
    // Opening the selected file: default program, quick editor, a handler's program.
    QAction *MNU_RMT_OPEN = nullptr;
    QAction *MNU_RMT_QEDIT = nullptr;
    QMenu *MNU_RMT_VIEW = nullptr;
    QMenu *MNU_RMT_EDIT = nullptr;

signals:
    // The pane took the keyboard focus or a click.
    void activated(int slot);
    // One of the opening items was chosen: mode 0 default open, 1 quick edit,
    // 2 view with and 3 edit with the handler of menu index `handlerIndex`.
    void editViewRequested(int slot, int mode, int handlerIndex);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kProgressWidth = 48; // the busy bar of a listing, beside the state

    QAction *addButton(const QString &key, const QIcon &icon, const QString &tip);

    int m_slot;
    KeyedImageList &m_images;
};

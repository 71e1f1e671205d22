#pragma once

#include <QString>

class KeyedImageList;

// What the start-up, the hand-off, the local context menu and the icon
// helpers need of the main window. The main window implements it; the
// foundation code never includes a window's header.
class MainWindowServices
{
public:
    virtual ~MainWindowServices() = default;

    // A balloon of the notification icon (icon kind 1 information, 2 warning,
    // 3 error) when the "Show info in system tray" option is on.
    virtual void ShowInfo(int &iconKind, const QString &title, const QString &text) = 0;
    // Lists the jobs of a jobs file; nothing when no file exists at the path.
    virtual void LoadTasks(const QString &path) = 0;
    // Whether the browsing connection of server slot 0 or 1 has a session.
    virtual bool ServerConnected(int slot) const = 0;
    // Whether the second server's controls are shown.
    virtual bool SecondPaneShown() const = 0;
    // The file-type icons of the panes, keyed by text.
    virtual KeyedImageList &ImageList2() = 0;
    // The main picture list of toolbar and window pictures ("exl", "slide_d",
    // "ftp", "open", "srch" ...).
    virtual KeyedImageList &ImageList1() = 0;
    // Shows the main window (called by the splash window).
    virtual void ShowQor() = 0;
};

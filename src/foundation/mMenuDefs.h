#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class MainWindowServices;
class QAction;
class QMenu;
class QWidget;

// The context menu of local files: the program's own commands on top, then
// the file commands of the desktop.
namespace ShellMenu {
// The program's own commands; the local pane carries them out itself.
constexpr int Refresh = 800;
constexpr int QuickUpload = 801;
constexpr int AddToJobs = 802;
constexpr int QuickUploadSecond = 803;
constexpr int AddToJobsSecond = 804;
// The desktop's file commands, carried out here.
constexpr int Open = 1;
constexpr int OpenWith = 2;
constexpr int ShowInFileManager = 3;
constexpr int Copy = 4;
constexpr int MoveToTrash = 5;
constexpr int Properties = 6;

// The text handed back for MoveToTrash: the files are gone from their folder,
// so callers that refresh after a delete do so here too.
inline QString DeleteVerbText() { return QStringLiteral("&Delete"); }

bool IsProgramCommand(int identifier);
// Shows the menu and returns the chosen action (nullptr for none). Tests replace it.
using Runner = std::function<QAction *(QMenu &menu, const QPoint &screenPoint)>;
} // namespace ShellMenu

// The menu for `paths`, built without showing it. Each action's data is its
// identifier. "Add to Jobs..." and "Quick &Upload..." are enabled only while
// server 1 is connected; the second server's items and their separator are
// there only while the second pane is shown, enabled while server 2 is connected.
// The two job items stay greyed while jobs cannot be queued.
std::unique_ptr<QMenu> BuildShellContextMenu(QWidget *owner, const MainWindowServices &mainWindow,
                                             const QStringList &paths, bool jobsAvailable = true);

// Shows the menu at the screen point; returns the chosen identifier (0 for
// none) and its text in `chosenText`. The desktop's commands are carried out
// here; the program's own (800 to 804) are left to the caller.
int ShowShellContextMenu(QWidget *owner, const MainWindowServices &mainWindow, const QStringList &paths,
                         const QPoint &screenPoint, QString &chosenText, const ShellMenu::Runner &runner = {},
                         bool jobsAvailable = true);

// Carries out one of the desktop's file commands on the paths.
void CarryOutShellCommand(QWidget *owner, int identifier, const QStringList &paths);

#include "mMenuDefs.h"

#include "ErrorLog.h"
#include "MainWindowServices.h"
#include "ModClipBoard.h"
#include "Prompts.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace {

const QString kObject = QStringLiteral("mMenuDefs");

QAction *addItem(QMenu &menu, int identifier, const QString &text, bool enabled = true)
{
    QAction *action = menu.addAction(text);
    action->setData(identifier);
    action->setEnabled(enabled);
    return action;
}

void addSeparator(QMenu &menu, int identifier) { menu.addSeparator()->setData(identifier); }

QString propertiesText(const QString &path)
{
    const QFileInfo info(path);
    const QLocale locale;
    QString text = QStringLiteral("Name: ") + info.fileName() + QStringLiteral("\nFolder: ")
        + QDir::toNativeSeparators(info.absolutePath()) + QStringLiteral("\nType: ");
    text += info.isDir() ? QStringLiteral("Folder") : QMimeDatabase().mimeTypeForFile(info).comment();
    if (!info.isDir())
        text += QStringLiteral("\nSize: ") + locale.toString(info.size()) + QStringLiteral(" bytes");
    text += QStringLiteral("\nModified: ") + locale.toString(info.lastModified(), QLocale::ShortFormat);
    text += QStringLiteral("\nReadable: ") + (info.isReadable() ? QStringLiteral("yes") : QStringLiteral("no"));
    text += QStringLiteral("\nWritable: ") + (info.isWritable() ? QStringLiteral("yes") : QStringLiteral("no"));
    return text;
}

} // namespace

bool ShellMenu::IsProgramCommand(int identifier) { return identifier >= Refresh && identifier <= AddToJobsSecond; }

std::unique_ptr<QMenu> BuildShellContextMenu(QWidget *owner, const MainWindowServices &mainWindow,
                                             const QStringList &paths, bool jobsAvailable)
{
    using namespace ShellMenu;
    auto menu = std::make_unique<QMenu>(owner);
    const bool firstConnected = mainWindow.ServerConnected(0);
    addItem(*menu, Refresh, QStringLiteral("&Refresh..."));
    addItem(*menu, AddToJobs, QStringLiteral("Add to Jobs..."), firstConnected && jobsAvailable);
    addItem(*menu, QuickUpload, QStringLiteral("Quick &Upload..."), firstConnected);
    addSeparator(*menu, 103);
    if (mainWindow.SecondPaneShown()) {
        const bool secondConnected = mainWindow.ServerConnected(1);
        addItem(*menu, AddToJobsSecond, QStringLiteral("Add to Jobs (Second Server)..."),
                secondConnected && jobsAvailable);
        addItem(*menu, QuickUploadSecond, QStringLiteral("Quick Upload (Second Server)..."), secondConnected);
        addSeparator(*menu, 104);
    }
    const bool any = !paths.isEmpty();
    addItem(*menu, Open, QStringLiteral("&Open"), any);
    addItem(*menu, OpenWith, QStringLiteral("Open &With..."), any);
    addItem(*menu, ShowInFileManager, QStringLiteral("Show in File &Manager"), any);
    menu->addSeparator();
    addItem(*menu, Copy, QStringLiteral("&Copy"), any);
    addItem(*menu, MoveToTrash, QStringLiteral("Move to &Trash"), any);
    menu->addSeparator();
    addItem(*menu, Properties, QStringLiteral("P&roperties"), any);
    return menu;
}

int ShowShellContextMenu(QWidget *owner, const MainWindowServices &mainWindow, const QStringList &paths,
                         const QPoint &screenPoint, QString &chosenText, const ShellMenu::Runner &runner,
                         bool jobsAvailable)
{
    try {
        std::unique_ptr<QMenu> menu = BuildShellContextMenu(owner, mainWindow, paths, jobsAvailable);
        QAction *chosen = runner ? runner(*menu, screenPoint) : menu->exec(screenPoint);
        if (!chosen || chosen->isSeparator() || !chosen->isEnabled())
            return 0;
        const int identifier = chosen->data().toInt();
        chosenText = identifier == ShellMenu::MoveToTrash ? ShellMenu::DeleteVerbText() : chosen->text();
        if (!ShellMenu::IsProgramCommand(identifier))
            CarryOutShellCommand(owner, identifier, paths);
        return identifier;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ShowShellContextMenu"));
        return 0;
    }
}

void CarryOutShellCommand(QWidget *owner, int identifier, const QStringList &paths)
{
    using namespace ShellMenu;
    try {
        switch (identifier) {
        case Open:
            for (const QString &path : paths)
                QDesktopServices::openUrl(QUrl::fromLocalFile(path));
            break;
        case OpenWith: {
            const auto program = AskText(owner, QStringLiteral("Open With"),
                                         QStringLiteral("Application to open the selected files with:"));
            if (!program || program->trimmed().isEmpty())
                break;
            QStringList arguments = QProcess::splitCommand(*program);
            if (arguments.isEmpty())
                break;
            const QString command = arguments.takeFirst();
            if (!QProcess::startDetached(command, arguments + paths))
                ShowMessage(owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                            QStringLiteral("Cannot start '") + command + QStringLiteral("'."));
            break;
        }
        case ShowInFileManager:
            if (!paths.isEmpty())
                QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(paths.first()).absolutePath()));
            break;
        case Copy:
            PutFilesOnClipboard(paths);
            break;
        case MoveToTrash:
            for (const QString &path : paths) {
                QFile file(path);
                if (!file.moveToTrash())
                    ShowMessage(owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                                QStringLiteral("Cannot move '") + path + QStringLiteral("' to the trash."));
            }
            break;
        case Properties: {
            QStringList blocks;
            for (const QString &path : paths)
                blocks << propertiesText(path);
            if (!blocks.isEmpty())
                ShowMessage(owner, PromptIcon::Information, PromptButtons::Ok, QStringLiteral("Properties"),
                            blocks.join(QStringLiteral("\n\n")));
            break;
        }
        default:
            break;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CarryOutShellCommand"));
    }
}

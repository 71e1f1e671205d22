// Toolbar, menus and the lists they show: profiles, drivers, user commands, local folder history.
#include "frmZAVUde.h"

#include "DataRoot.h"
#include "ErrorLog.h"
#include "FtpCommandTables.h"
#include "LocalPane.h"
#include "LogPanes.h"
#include "ModProfile.h"
#include "OptionFlags.h"
#include "PathHistory.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "frmConfigure.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

} // namespace

void frmZAVUde::TB_ButtonClick(const QString &key)
{
    try {
        if (key == QLatin1String("conf")) {
            const bool sessionActive = IsAnySessionActive();
            QPointer<frmConfigure> dialog = new frmConfigure(this);
            dialog->Image1->setPixmap(m_images.Picture(QStringLiteral("w")).pixmap(16, 16));
            dialog->ShowSessionWarning(sessionActive);
            dialog->exec();
            if (dialog && dialog->OKButtonTag() == QLatin1String("*") && !sessionActive)
                applyFonts();
            delete dialog;
        } else if (key == QLatin1String("profile")) {
            m_slots->SelectProfile(0, false);
        } else if (key == QLatin1String("profile1")) {
            m_slots->SelectProfile(1, false);
        } else if (key == QLatin1String("quick")) {
            int slot = m_dual ? m_slots->CurrentSlot() : 0;
            // The server used last is connected: the other one, when free, is the one meant.
            const auto taken = [this](int i) { return Slot(i)->SessionActive() || Slot(i)->IsBusy(); };
            if (m_dual && taken(slot) && !taken(1 - slot))
                slot = 1 - slot;
            m_slots->SelectProfile(slot, true);
        } else if (key == QLatin1String("cmd")) {
            mnuCustomCmds_Click();
        } else if (key == QLatin1String("cmp") || key == QLatin1String("srch")) {
            OpenToolWindow(key);
        }
        showSlotState();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("TB_ButtonClick"));
    }
}

void frmZAVUde::SetWindowFactory(const QString &key, WindowFactory factory)
{
    m_windowFactories[key] = std::move(factory);
}

QWidget *frmZAVUde::ToolWindow(const QString &key) const
{
    const auto it = m_toolWindows.find(key);
    return it == m_toolWindows.end() ? nullptr : it->second.data();
}

void frmZAVUde::OpenToolWindow(const QString &key)
{
    try {
        if (ModalState())
            return;
        QPointer<QWidget> &window = m_toolWindows[key];
        if (!window) {
            const auto factory = m_windowFactories.find(key);
            if (factory == m_windowFactories.end() || !factory->second)
                return;
            window = factory->second(this);
            if (!window)
                return;
        }
        window->show();
        window->raise();
        window->activateWindow();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("OpenToolWindow"));
    }
}

void frmZAVUde::BuildProfileMenus()
{
    try {
        const QStringList names = ReadProfileFile(ProfileFilePath);
        for (int slot = 0; slot < 2; ++slot) {
            QMenu *menu = mnuProfile[slot];
            menu->clear();
            for (int i = 0; i < names.size(); ++i) {
                const QString name = names.at(i).trimmed();
                if (name.isEmpty())
                    continue; // a blank name keeps its record number for the others
                QAction *item = menu->addAction(name);
                item->setData(QStringLiteral("P") + QString::number(i + 1));
                connect(item, &QAction::triggered, this, [this, slot, item] {
                    m_slots->SelectStoredProfile(slot, item->data().toString().mid(1).toInt(), true);
                    showSlotState();
                });
            }
            if (menu->isEmpty())
                menu->addAction(tr("<No Profile Available>"))->setEnabled(false);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("BuildProfileMenus"));
    }
}

void frmZAVUde::BuildDriverMenu()
{
    try {
        mnuDrvList->clear();
        QAction *builtIn = mnuDrvList->addAction(tr("Default"));
        builtIn->setCheckable(true);
        builtIn->setChecked(true);
        builtIn->setProperty("driverActive", true);
        const QStringList drivers =
            QDir(DataRoot::AppPath()).entryList({QStringLiteral("*.frc")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QString &file : drivers) {
            QAction *item = mnuDrvList->addAction(QFileInfo(file).completeBaseName());
            item->setCheckable(true);
        }
        const QList<QAction *> items = mnuDrvList->actions();
        for (int i = 0; i < items.size(); ++i)
            connect(items[i], &QAction::triggered, this, [this, i] { mnuDrvList_Click(i); });
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("BuildDriverMenu"));
    }
}

void frmZAVUde::mnuDrvList_Click(int index)
{
    try {
        const QList<QAction *> items = mnuDrvList->actions();
        if (index < 0 || index >= items.size())
            return;
        QAction *clicked = items[index];
        // The menu toggled the check already; "already checked" means it was checked before the click.
        const bool wasChecked = clicked->property("driverActive").toBool();
        if (wasChecked) {
            clicked->setChecked(true);
            return;
        }
        bool loaded = false;
        if (index == 0) {
            LoadCmdDefinitions();
            loaded = true;
        } else {
            const QString name = clicked->text();
            const QString path = DataRoot::FileInRoot(name + QStringLiteral(".frc"));
            if (!QFileInfo::exists(path)) {
                clicked->setChecked(false);
                ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                            QStringLiteral("The driver file '") + name + QStringLiteral(".frc' is missing!"));
                return;
            }
            loaded = LoadDriver(path);
        }
        for (int i = 0; i < items.size(); ++i) {
            const bool active = loaded ? i == index : items[i]->property("driverActive").toBool();
            items[i]->setChecked(active);
            items[i]->setProperty("driverActive", active);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuDrvList_Click"));
    }
}

void frmZAVUde::mnuCustomCmds_Click()
{
    try {
        m_slots->mnuCustomCmds_Click(this);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuCustomCmds_Click"));
    }
}

void frmZAVUde::BuildCustomCommandMenu() { m_slots->BuildCustomCommandMenu(); }

void frmZAVUde::AddToFolderHistory(const QString &path, bool remove)
{
    try {
        PathHistoryList &list = m_localHistory.List;
        if (remove) {
            list.removeIf([&](const PathHistoryEntry &entry) { return entry.Path == path; });
            if (list.isEmpty())
                list = EmptyPathHistory();
        } else {
            const ServerSlot *first = m_slots->Slot(0);
            const QString owner = first->HasProfile() ? first->SlotProfile().ProfileName.trimmed() : QString();
            if (list.size() == 1 && list.first().Path.isEmpty())
                list.clear();
            list.append({owner, path});
            UniqueStringArray(list, true, true, true);
        }
        m_localHistory.Changed = true;
        rebuildFolderHistoryMenu();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("AddToFolderHistory"));
    }
}

void frmZAVUde::rebuildFolderHistoryMenu()
{
    mnuList->clear();
    QAction *add = mnuList->addAction(tr("Add Current Folder"));
    connect(add, &QAction::triggered, this, [this] {
        if (!m_local->CurrentPath().isEmpty())
            AddToFolderHistory(m_local->CurrentPath());
    });
    QAction *removeCurrent = mnuList->addAction(tr("Remove Current Folder"));
    connect(removeCurrent, &QAction::triggered, this, [this] { AddToFolderHistory(m_local->CurrentPath(), true); });
    mnuList->addSeparator();
    QStringList shown;
    for (const PathHistoryEntry &entry : m_localHistory.List) {
        if (entry.Path.isEmpty() || shown.contains(entry.Path))
            continue;
        shown << entry.Path;
        QAction *item = mnuList->addAction(entry.Path);
        item->setCheckable(true);
        item->setData(QStringLiteral("history"));
        const QString path = entry.Path;
        connect(item, &QAction::triggered, this, [this, path] { mnuList_Click(path); });
    }
    if (shown.isEmpty())
        mnuList->addAction(QStringLiteral("<Not Available>"))->setEnabled(false);
    markFolderHistory(m_local->CurrentPath());
}

void frmZAVUde::markFolderHistory(const QString &path)
{
    for (QAction *item : mnuList->actions()) {
        if (item->data().toString() == QLatin1String("history"))
            item->setChecked(item->text().compare(path, Qt::CaseInsensitive) == 0);
    }
}

void frmZAVUde::FtpLogger_BufferFull(int index, bool &bClearLogs)
{
    try {
        if (IsOptionOn(OptionFlag::SaveLogsBeforeRemoving))
            m_logs[static_cast<size_t>(index & 1)]->DumpLogs(DataRoot::FileInRoot(QStringLiteral("FtpCmdLog.txt")));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpLogger_BufferFull"));
    }
    bClearLogs = true;
}

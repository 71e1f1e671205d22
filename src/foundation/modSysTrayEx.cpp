#include "modSysTrayEx.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "ProgramIcon.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QSystemTrayIcon>

namespace {

QIcon iconFor(const QWidget *window)
{
    QIcon icon = window ? window->windowIcon() : QIcon();
    if (icon.isNull())
        icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = ProgramIcon();
    return icon;
}

QSystemTrayIcon::MessageIcon balloonIcon(int kind)
{
    switch (kind) {
    case 1: return QSystemTrayIcon::Information;
    case 2: return QSystemTrayIcon::Warning;
    case 3: return QSystemTrayIcon::Critical;
    default: return QSystemTrayIcon::NoIcon;
    }
}

} // namespace

modSysTrayEx::modSysTrayEx(QObject *parent) : QObject(parent) {}

modSysTrayEx::~modSysTrayEx() = default; // the icons are our children

modSysTrayEx &modSysTrayEx::Program()
{
    // Owned by the application object, so it goes (and lets go of what it
    // holds) before the application does.
    static QPointer<modSysTrayEx> program;
    if (!program)
        program = new modSysTrayEx(QCoreApplication::instance());
    return *program;
}

bool modSysTrayEx::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool modSysTrayEx::available() const
{
    return m_availableOverride < 0 ? TrayAvailable() : m_availableOverride == 1;
}

void modSysTrayEx::AddTrayIcon(QWidget *window, int identifier, const QString &tip)
{
    try {
        RemoveTrayIcon(window, identifier);
        Entry entry{window, CutTip(tip), nullptr};
        if (available()) {
            // Ours, so an icon still waiting for its deferred deletion goes with us at the latest.
            entry.icon = new QSystemTrayIcon(iconFor(window), this);
            entry.icon->setToolTip(entry.tip);
            entry.icon->setContextMenu(m_menus.value(Key(window, identifier)));
            QPointer<QWidget> guard(window);
            connect(entry.icon, &QSystemTrayIcon::activated, this,
                    [this, guard, identifier](QSystemTrayIcon::ActivationReason reason) {
                        int message = 0;
                        switch (reason) {
                        case QSystemTrayIcon::Trigger: message = LeftButtonUp; break;
                        case QSystemTrayIcon::DoubleClick: message = LeftButtonDoubleClick; break;
                        case QSystemTrayIcon::Context: message = RightButtonUp; break;
                        default: break;
                        }
                        if (message && guard)
                            emit MouseMessage(guard, identifier, message);
                    });
            entry.icon->show();
        }
        m_entries.insert(Key(window, identifier), entry);
    } catch (...) {
        LogCurrentException(QStringLiteral("modSysTrayEx"), QStringLiteral("AddTrayIcon"));
    }
}

void modSysTrayEx::RemoveTrayIcon(QWidget *window, int identifier)
{
    const auto it = m_entries.find(Key(window, identifier));
    if (it == m_entries.end())
        return;
    if (it->icon) {
        // Never deleted here: this may run inside the icon's own event handler.
        it->icon->setContextMenu(nullptr);
        it->icon->hide();
        it->icon->deleteLater();
    }
    m_entries.erase(it);
}

void modSysTrayEx::SetTrayMenu(QWidget *window, int identifier, QMenu *menu)
{
    m_menus.insert(Key(window, identifier), menu);
    const auto it = m_entries.constFind(Key(window, identifier));
    if (it != m_entries.cend() && it->icon)
        it->icon->setContextMenu(menu);
}

void modSysTrayEx::ShowTrayBalloon(int &iconKind, QWidget *window, int identifier, const QString &title,
                                   const QString &text)
{
    try {
        const auto it = m_entries.constFind(Key(window, identifier));
        if (it != m_entries.cend() && it->icon) {
            it->icon->showMessage(CutTitle(title), CutText(text), balloonIcon(iconKind));
            return;
        }
        // No notification area: the window's status bar tells instead.
        if (window) {
            if (auto *statusBar = window->findChild<QStatusBar *>())
                statusBar->showMessage(title + QStringLiteral(": ") + text, 10000);
        }
    } catch (...) {
        LogCurrentException(QStringLiteral("modSysTrayEx"), QStringLiteral("ShowTrayBalloon"));
    }
}

bool modSysTrayEx::HasTrayIcon(QWidget *window, int identifier) const
{
    return m_entries.contains(Key(window, identifier));
}

bool modSysTrayEx::CanHideToTray(QWidget *window, int identifier) const
{
    const auto it = m_entries.constFind(Key(window, identifier));
    // The tray host may have gone since the icon was made: then nothing could bring the window back.
    return it != m_entries.cend() && it->icon && it->icon->isVisible() && available();
}

QString modSysTrayEx::TipText(QWidget *window, int identifier) const
{
    return m_entries.value(Key(window, identifier)).tip;
}

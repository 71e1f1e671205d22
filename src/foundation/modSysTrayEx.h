#pragma once

#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The program's icon in the desktop's notification area and its balloon
// notices. Where the desktop has no notification area, balloons go to the
// window's status bar and the window must not be hidden to the tray
// (CanHideToTray answers false).
class modSysTrayEx : public QObject
{
    Q_OBJECT
public:
    // Mouse messages of the icon as the main window's handler receives them.
    static constexpr int LeftButtonUp = 0x202;
    static constexpr int LeftButtonDoubleClick = 0x203;
    static constexpr int RightButtonUp = 0x205;

    explicit modSysTrayEx(QObject *parent = nullptr);
    ~modSysTrayEx() override;
    static modSysTrayEx &Program();

    // The icon shows the window's icon and the tip (cut to 127 characters).
    void AddTrayIcon(QWidget *window, int identifier, const QString &tip);
    void RemoveTrayIcon(QWidget *window, int identifier);
    // The menu the icon's right click opens. The icon shows it itself, without
    // a nested event loop; the caller owns the menu and should act on its
    // choices through queued calls, after the icon's own handler returned.
    void SetTrayMenu(QWidget *window, int identifier, QMenu *menu);
    // Icon kind 1 information, 2 warning, 3 error; title cut to 63 and text to
    // 255 characters.
    void ShowTrayBalloon(int &iconKind, QWidget *window, int identifier, const QString &title, const QString &text);

    bool HasTrayIcon(QWidget *window, int identifier) const;
    // True only when the icon is really shown, so a hidden window can come back.
    bool CanHideToTray(QWidget *window, int identifier) const;
    QString TipText(QWidget *window, int identifier) const;

    static QString CutTip(const QString &tip) { return tip.left(127); }
    static QString CutTitle(const QString &title) { return title.left(63); }
    static QString CutText(const QString &text) { return text.left(255); }

    // Whether the desktop offers a notification area; tests may say no.
    static bool TrayAvailable();
    void SetTrayAvailableOverride(int available) { m_availableOverride = available; }

signals:
    void MouseMessage(QWidget *window, int identifier, int message);

private:
    struct Entry {
        QPointer<QWidget> window;
        QString tip;
        QSystemTrayIcon *icon = nullptr;
    };
    using Key = QPair<const QWidget *, int>;
    bool available() const;

    QMap<Key, Entry> m_entries;
    QMap<Key, QPointer<QMenu>> m_menus;
    int m_availableOverride = -1; // -1 ask the desktop, 0 no, 1 yes
};

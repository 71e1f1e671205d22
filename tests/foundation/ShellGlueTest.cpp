#include "ModClipBoard.h"
#include "ModNetConnection.h"
#include "NetworkProbe.h"
#include "StubWindow.h"
#include "mMenuDefs.h"
#include "XdgDesktopFiles.h"
#include "modSysTrayEx.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class ConnectionState final : public StubWindow
{
public:
    ConnectionState(bool first, bool second, bool secondPane)
        : m_connected{first, second}, m_secondPane(secondPane)
    {
    }
    bool ServerConnected(int slot) const override { return slot >= 0 && slot < 2 && m_connected[slot]; }
    bool SecondPaneShown() const override { return m_secondPane; }

private:
    bool m_connected[2];
    bool m_secondPane;
};

struct Row {
    int id;
    QString text; // "-" for a separator
    bool enabled;
    bool operator==(const Row &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Row &row)
{
    return out << row.id << ' ' << row.text.toStdString() << (row.enabled ? "" : " (greyed)");
}

std::vector<Row> programRows(const QMenu &menu)
{
    std::vector<Row> rows;
    for (QAction *action : menu.actions()) {
        const int id = action->data().toInt();
        if (id < 100)
            break; // the desktop's own commands follow
        rows.push_back({id, action->isSeparator() ? QStringLiteral("-") : action->text(), action->isEnabled()});
    }
    return rows;
}

QAction *actionWith(QMenu &menu, int id)
{
    for (QAction *action : menu.actions())
        if (action->data().toInt() == id && !action->isSeparator())
            return action;
    return nullptr;
}

} // namespace

TEST(ShellContextMenuTest, ProgramItemsFollowTheConnectionState)
{
    const ConnectionState offline(false, false, false);
    EXPECT_EQ(programRows(*BuildShellContextMenu(nullptr, offline, {})),
              (std::vector<Row>{{800, QStringLiteral("&Refresh..."), true},
                                {802, QStringLiteral("Add to Jobs..."), false},
                                {801, QStringLiteral("Quick &Upload..."), false},
                                {103, QStringLiteral("-"), true}}));

    const ConnectionState secondOnly(false, true, true);
    EXPECT_EQ(programRows(*BuildShellContextMenu(nullptr, secondOnly, {})),
              (std::vector<Row>{{800, QStringLiteral("&Refresh..."), true},
                                {802, QStringLiteral("Add to Jobs..."), false},
                                {801, QStringLiteral("Quick &Upload..."), false},
                                {103, QStringLiteral("-"), true},
                                {804, QStringLiteral("Add to Jobs (Second Server)..."), true},
                                {803, QStringLiteral("Quick Upload (Second Server)..."), true},
                                {104, QStringLiteral("-"), true}}));

    const ConnectionState firstOnly(true, false, true);
    const auto rows = programRows(*BuildShellContextMenu(nullptr, firstOnly, {}));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_TRUE(rows[1].enabled && rows[2].enabled);
    EXPECT_FALSE(rows[4].enabled || rows[5].enabled);
}

TEST(ShellContextMenuTest, ProgramCommandIsReturnedWithItsTextAndNotCarriedOut)
{
    const ConnectionState state(true, false, false);
    QApplication::clipboard()->clear();
    QString text;
    const int id = ShowShellContextMenu(nullptr, state, {QStringLiteral("/tmp/a")}, QPoint(),
                                        text, [](QMenu &menu, const QPoint &) { return actionWith(menu, 800); });
    EXPECT_EQ(id, 800);
    EXPECT_EQ(text, QStringLiteral("&Refresh..."));
    EXPECT_EQ(GetClipboardFileList(), QString());

    // Nothing chosen, or a greyed item: 0 and no text.
    QString none;
    const ConnectionState offline(false, false, false);
    EXPECT_EQ(ShowShellContextMenu(nullptr, offline, {}, QPoint(), none,
                                   [](QMenu &, const QPoint &) { return nullptr; }), 0);
    EXPECT_EQ(ShowShellContextMenu(nullptr, offline, {}, QPoint(), none,
                                   [](QMenu &menu, const QPoint &) { return actionWith(menu, 801); }), 0);
    EXPECT_TRUE(none.isEmpty());
}

TEST(ShellContextMenuTest, CopyCommandPutsTheFilesOnTheClipboard)
{
    QTemporaryDir folder;
    const QStringList files = {folder.filePath(QStringLiteral("one.txt")), folder.filePath(QStringLiteral("two words.txt"))};
    const ConnectionState state(false, false, false);
    QString text;
    const int id = ShowShellContextMenu(nullptr, state, files, QPoint(), text, [](QMenu &menu, const QPoint &) {
        return actionWith(menu, ShellMenu::Copy);
    });
    EXPECT_EQ(id, ShellMenu::Copy);
    EXPECT_EQ(text, QStringLiteral("&Copy"));
    EXPECT_EQ(GetClipboardFileList(), files[0] + QStringLiteral("\r\n") + files[1] + QStringLiteral("\r\n\r\n"));
}

TEST(ShellContextMenuTest, TrashCommandMovesTheFilesAndReportsTheDeleteVerb)
{
    // Below the private data folder, so the trash used is the private one too.
    ASSERT_TRUE(QDir().mkpath(XdgDesktopFiles::DataHome()));
    QTemporaryDir folder(XdgDesktopFiles::DataHome() + QStringLiteral("/trash-test-XXXXXX"));
    const QString file = folder.filePath(QStringLiteral("old.log"));
    QFile(file).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::exists(file));
    const ConnectionState state(false, false, false);
    QString text;
    const int id = ShowShellContextMenu(nullptr, state, {file}, QPoint(), text, [](QMenu &menu, const QPoint &) {
        return actionWith(menu, ShellMenu::MoveToTrash);
    });
    EXPECT_EQ(id, ShellMenu::MoveToTrash);
    EXPECT_EQ(text, QStringLiteral("&Delete"));
    EXPECT_FALSE(QFile::exists(file));

    // No files: the command is greyed, so nothing is chosen.
    QString none;
    EXPECT_EQ(ShowShellContextMenu(nullptr, state, {}, QPoint(), none, [](QMenu &menu, const QPoint &) {
                  return actionWith(menu, ShellMenu::MoveToTrash);
              }), 0);
}

TEST(ClipboardFileListTest, OnlyLocalFilesAreListed)
{
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QStringLiteral("/home/u/a.txt")), QUrl(QStringLiteral("https://example.org/x")),
                   QUrl::fromLocalFile(QStringLiteral("/home/u/b c.txt"))});
    QApplication::clipboard()->setMimeData(data);
    EXPECT_EQ(GetClipboardFileList(), QStringLiteral("/home/u/a.txt\r\n/home/u/b c.txt\r\n\r\n"));

    QApplication::clipboard()->setText(QStringLiteral("/home/u/a.txt"));
    EXPECT_EQ(GetClipboardFileList(), QString());
}

TEST(TrayTest, WithoutANotificationAreaBalloonsGoToTheStatusBar)
{
    modSysTrayEx tray;
    tray.SetTrayAvailableOverride(0);
    QMainWindow window;
    window.statusBar();
    tray.AddTrayIcon(&window, 840, QString(200, QLatin1Char('t')));
    EXPECT_TRUE(tray.HasTrayIcon(&window, 840));
    EXPECT_EQ(tray.TipText(&window, 840).size(), 127);
    EXPECT_FALSE(tray.CanHideToTray(&window, 840));

    int kind = 1;
    tray.ShowTrayBalloon(kind, &window, 840, QStringLiteral("New Jobs Listed"), QStringLiteral("The jobs ..."));
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("New Jobs Listed: The jobs ..."));

    tray.RemoveTrayIcon(&window, 840);
    EXPECT_FALSE(tray.HasTrayIcon(&window, 840));
    EXPECT_EQ(modSysTrayEx::CutTitle(QString(70, QLatin1Char('x'))).size(), 63);
    EXPECT_EQ(modSysTrayEx::CutText(QString(300, QLatin1Char('x'))).size(), 255);
}

TEST(NetConnectionTest, AnswerComesFromTheInstalledProbe)
{
    struct Fixed final : NetworkProbe {
        bool answer;
        explicit Fixed(bool a) : answer(a) {}
        bool isConnected(QString &name) override
        {
            name = answer ? QStringLiteral("lan0") : QString();
            return answer;
        }
    };
    Fixed online(true), offline(false);
    NetworkProbe *previous = NetworkProbe::install(&online);
    QString name;
    EXPECT_TRUE(IsNetConnected(name));
    EXPECT_EQ(name, QStringLiteral("lan0"));
    NetworkProbe::install(&offline);
    EXPECT_FALSE(IsNetConnected(name));
    NetworkProbe::install(previous);
}

#include "ModMinMax.h"
#include "ModTransparency.h"
#include "Modfolder.h"
#include "OleColor.h"
#include "ScriptedPrompts.h"
#include "mWndProc.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QHoverEvent>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

class CountingFilter : public QObject
{
public:
    int seen = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::User)
            ++seen;
        return false;
    }
};

void send(QWidget &widget, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(&widget, &event);
}

void moveMouse(QWidget &widget)
{
    QHoverEvent event(QEvent::HoverMove, QPointF(3, 3), QPointF(3, 3), QPointF(2, 2));
    QCoreApplication::sendEvent(&widget, &event);
}

} // namespace

TEST(SubClassTest, SecondTakeOverKeepsTheFirstHandler)
{
    QWidget window;
    CountingFilter first, second;
    EXPECT_TRUE(SubClass(&window, &first));
    EXPECT_TRUE(SubClass(&window, &second));
    send(window, QEvent::User);
    EXPECT_EQ(first.seen, 1);
    EXPECT_EQ(second.seen, 0);

    EXPECT_TRUE(UnSubClass(&window));
    EXPECT_FALSE(UnSubClass(&window));
    send(window, QEvent::User);
    EXPECT_EQ(first.seen, 1);
}

TEST(MinMaxTest, LimitsApplyAndFreedSlotsAreReused)
{
    ModMinMax table;
    table.InitMinMaxInfo();
    QWidget main, editor, other;
    const QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();

    table.HookMinMax(&main, 500, 500, available.width() - 100, available.height() - 50);
    EXPECT_EQ(main.minimumSize(), QSize(500, 500));
    EXPECT_EQ(main.maximumSize(), QSize(available.width() - 100, available.height() - 50));

    // A maximum as large as the screen leaves the window free to maximise.
    table.HookMinMax(&editor, 200, 150, available.width(), available.height());
    EXPECT_EQ(editor.minimumSize(), QSize(200, 150));
    EXPECT_EQ(editor.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_EQ(table.MinMaxSlotCount(), 2);

    table.UnhookMinMax(&main);
    EXPECT_EQ(main.minimumSize(), QSize(0, 0));
    EXPECT_EQ(main.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    table.HookMinMax(&other, 10, 10, 0, 0);
    EXPECT_EQ(table.MinMaxSlotCount(), 2);
    table.UnhookMinMax(&main); // not hooked any more: nothing happens
    EXPECT_EQ(other.minimumSize(), QSize(10, 10));
}

TEST(MinMaxTest, HoverColourChangesOnceOnEntryAndBackOnLeave)
{
    ModMinMax table;
    QLabel box;
    table.HookHover(&box);
    const QColor light = OleToQColor(0x80000016, QGuiApplication::palette());
    const QColor face = OleToQColor(OleColors::ButtonFace, QGuiApplication::palette());

    int paletteChanges = 0;
    struct PaletteSpy : QObject {
        int *count;
        explicit PaletteSpy(int *c) : count(c) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::PaletteChange)
                ++*count;
            return false;
        }
    } spy(&paletteChanges);
    box.installEventFilter(&spy);

    send(box, QEvent::Enter);
    moveMouse(box);
    moveMouse(box);
    EXPECT_TRUE(table.IsHovered(&box));
    EXPECT_EQ(box.palette().color(box.backgroundRole()), light);
    EXPECT_EQ(paletteChanges, 1);

    send(box, QEvent::Leave);
    EXPECT_FALSE(table.IsHovered(&box));
    EXPECT_EQ(box.palette().color(box.backgroundRole()), face);

    table.UnhookHover(&box);
    moveMouse(box);
    EXPECT_FALSE(table.IsHovered(&box));
    QLabel next;
    table.HookHover(&next);
    EXPECT_EQ(table.HoverSlotCount(), 1);
}

TEST(MinMaxTest, WorkAreaIsKeptInTwips)
{
    ModMinMax table;
    table.SetWorkArea();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(table.WorkArea().right, (area.x() + area.width()) * 15);
    EXPECT_EQ(table.WorkArea().bottom, (area.y() + area.height()) * 15);
}

TEST(TransparencyTest, TopVisibleWindowAndOpacity)
{
    QWidget top;
    auto *child = new QWidget(&top);
    EXPECT_EQ(GetTopVisibleWindow(child), child); // parent hidden
    top.show();
    EXPECT_EQ(GetTopVisibleWindow(child), &top);

    EXPECT_TRUE(SetWindowOpacity(child, 51));
    EXPECT_NEAR(top.windowOpacity(), 0.2, 0.01);
    EXPECT_TRUE(SetWindowOpacity(&top, 300));
    EXPECT_NEAR(top.windowOpacity(), 1.0, 0.01);
}

TEST(FolderPickerTest, ChosenFolderOrEmptyOnCancel)
{
    ScriptedPrompts prompts;
    prompts.expectFile(QStringLiteral("Select the destination folder"), QStringLiteral("/srv/downloads"))
        .expectFile(QStringLiteral("Pick"), std::nullopt);
    EXPECT_EQ(GetFolder(nullptr, QStringLiteral("/srv"), QStringLiteral("Select the destination folder for downloads")),
              QStringLiteral("/srv/downloads"));
    EXPECT_EQ(GetFolder(nullptr, QString(), QStringLiteral("Pick")), QString());
    EXPECT_TRUE(prompts.allUsed());
}

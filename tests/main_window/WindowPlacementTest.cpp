// Where the main window opens, and whether it comes back maximised.
#include "frmZAVUde.h"

#include "FileHandlerCollection.h"
#include "OptionFlags.h"
#include "SettingsFile.h"
#include "WindowPlacement.h"

#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

// "Maintain last used window position", as the window reads it at start.
void keepWindowPosition(bool on)
{
    const QString zeros(OptionStringMinLength, '0');
    QString general = zeros;
    general[0] = on ? '1' : '0';
    ASSERT_TRUE(WriteConfFile(ComposeConfFile({general, zeros, zeros, zeros}, FileHandlerCollection(), {}, {})));
}

void forgetWindow()
{
    frmZAVUde::OpenSettingsStore()->remove("UI");
    QFile::remove(SettingsFilePath());
    SetOptionFlag(OptionFlag::MaintainWindowPosition, false);
}

bool frameInside(const QWidget &window, const QRect &area)
{
    return area.contains(window.frameGeometry()) && window.frameGeometry().height() > window.height();
}

} // namespace

TEST(WindowPlacement, TheWindowAndItsFrameFitTheScreensAvailableArea)
{
    // Screens as the window manager reported them: 1000x700 and 1600x1000 with a 1/20/1/5 frame.
    const QMargins frame(1, 20, 1, 5);
    const struct {
        QRect wanted, area, fitted;
    } cases[] = {
        {{0, 0, 1000, 700}, {0, 0, 1000, 700}, {1, 20, 998, 675}},         // the first window
        {{300, 157, 1000, 700}, {0, 0, 1600, 1000}, {300, 157, 1000, 700}}, // fits as it is
        {{100, 80, 1500, 990}, {0, 0, 1600, 1000}, {99, 20, 1500, 975}},    // restored, too high
        {{-300, -200, 800, 600}, {0, 0, 1600, 1000}, {1, 20, 800, 600}},    // restored, off the top left
        {{1400, 900, 800, 600}, {0, 0, 1600, 1000}, {799, 395, 800, 600}},  // restored, off the bottom right
    };
    for (const auto &c : cases)
        EXPECT_EQ(WindowPlacement::FitIntoArea(c.wanted, frame, c.area), c.fitted) << c.wanted.x() << "," << c.wanted.y();

    // The real window on the test screen, which is narrower than the default window.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const bool restored : {false, true}) {
        SCOPED_TRACE(restored ? "restored" : "first start");
        forgetWindow();
        if (restored) {
            {
                frmZAVUde window;
                window.setGeometry(area.x() + 200, area.y() + 150, area.width() + 300, area.height() + 100);
                EXPECT_TRUE(window.close());
            }
            keepWindowPosition(true);
        }
        frmZAVUde window;
        window.ShowQor();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_TRUE(QTest::qWaitFor([&] { return frameInside(window, area); }, 5000))
            << "frame " << window.frameGeometry().x() << "," << window.frameGeometry().y() << " "
            << window.frameGeometry().width() << "x" << window.frameGeometry().height();
        window.close();
    }
    forgetWindow();
}

TEST(WindowPlacement, AWindowMaximisedAtExitComesBackMaximisedAndUnmaximisesToItsEarlierSize)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const bool keepPosition : {false, true}) {
        SCOPED_TRACE(keepPosition ? "position kept" : "position not kept");
        forgetWindow();
        keepWindowPosition(keepPosition);
        const QRect normal(area.x() + 30, area.y() + 60, 600, 520);
        QRect firstNormal;
        {
            frmZAVUde window;
            window.ShowQor();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            firstNormal = window.geometry();
            window.setGeometry(normal);
            ASSERT_TRUE(QTest::qWaitFor([&] { return window.geometry() == normal; }, 5000));
            // As a window manager maximises it: the new size may arrive before the new state.
            window.windowHandle()->setWindowStates(Qt::WindowMaximized);
            ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMaximized(); }, 5000));
            EXPECT_TRUE(window.close());
        }
        frmZAVUde again;
        again.ShowQor();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
        EXPECT_TRUE(QTest::qWaitFor([&] { return again.isMaximized(); }, 5000));
        again.showNormal();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !again.isMaximized(); }, 5000));
        const QRect expected = keepPosition ? normal : firstNormal;
        EXPECT_TRUE(QTest::qWaitFor([&] { return again.geometry() == expected; }, 5000))
            << again.geometry().x() << "," << again.geometry().y() << " " << again.width() << "x" << again.height();
        EXPECT_TRUE(again.close());
    }
    forgetWindow();
}

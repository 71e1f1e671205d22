#include "SharedBanner.h"
#include "StubWindow.h"
#include "frmSplash.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class MainWindowStub final : public StubWindow
{
public:
    void ShowQor() override
    {
        ++shown;
        splashVisibleMeanwhile = splash && splash->isVisible();
    }
    int shown = 0;
    bool splashVisibleMeanwhile = false;
    QPointer<QWidget> splash;
};

} // namespace

TEST(SplashTest, LoadingShowsTheSplashAndBringsUpTheMainWindowOnce)
{
    MainWindowStub mainWindow;
    auto *splash = new frmSplash(mainWindow);
    mainWindow.splash = splash;
    splash->Load();
    EXPECT_EQ(mainWindow.shown, 1);
    EXPECT_TRUE(mainWindow.splashVisibleMeanwhile);
    EXPECT_FALSE(SharedBannerPicture().isNull());
    EXPECT_EQ(splash->size(), SharedBannerPicture().size());
    EXPECT_TRUE(splash->IsFading());
    splash->close();
}

TEST(SplashTest, FadesOutStepByStepAndCloses)
{
    MainWindowStub mainWindow;
    QPointer<frmSplash> splash = new frmSplash(mainWindow);
    QSignalSpy fadedOut(splash.data(), &frmSplash::FadedOut);
    splash->Load();

    for (int i = 0; i < frmSplash::kHoldTicks; ++i)
        splash->FadeStep();
    EXPECT_EQ(splash->Alpha(), 255);
    EXPECT_NEAR(splash->windowOpacity(), 1.0, 0.01);

    splash->FadeStep();
    EXPECT_EQ(splash->Alpha(), 255 - frmSplash::kFadeStep);
    EXPECT_NEAR(splash->windowOpacity(), (255.0 - frmSplash::kFadeStep) / 255.0, 0.01);

    int steps = 1;
    while (splash && splash->Alpha() > 0 && steps < 100) {
        splash->FadeStep();
        ++steps;
    }
    EXPECT_EQ(steps, 17); // 255 / 15
    EXPECT_EQ(fadedOut.count(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 2000)); // closed and deleted
    EXPECT_EQ(mainWindow.shown, 1);
}

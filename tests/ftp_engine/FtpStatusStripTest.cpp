// The engine's status strip: its squares and progress bar in every state.
#include "EngineRecorder.h"
#include "FtpCommander.h"
#include "FtpStatusStrip.h"
#include "PyFtpServer.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

const QColor kUntouched(255, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kDarkGreen(0x48, 0x94, 0x38);
const QColor kBlue(0, 0, 255);

// A 200 x 20 strip: squares of side 18 at x 1 and 21, the bar from x 42 to 197.
QImage paint(const FtpStatusSnapshot &state)
{
    QImage image(200, 20, QImage::Format_RGB32);
    image.fill(kUntouched);
    QPainter painter(&image);
    FtpStatusStrip::Paint(painter, image.size(), state, QPalette());
    return image;
}

int blueRun(const QImage &image)
{
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, 17) == kBlue)
            last = x;
    return last;
}

} // namespace

TEST(FtpStatusStrip, HiddenEngineDrawsNothing)
{
    FtpStatusSnapshot state;
    state.visible = false;
    state.controlConnected = true;
    state.expectedSize = 10;
    state.bytesDone = 5;
    const QImage image = paint(state);
    QImage untouched(image.size(), image.format());
    untouched.fill(kUntouched);
    EXPECT_EQ(image, untouched);
}

TEST(FtpStatusStrip, SquaresShowTheConnections)
{
    FtpStatusSnapshot state;
    state.visible = true;
    state.controlConnected = true;
    QImage image = paint(state);
    EXPECT_EQ(image.pixelColor(10, 10), kGreen);
    EXPECT_EQ(image.pixelColor(30, 10), kDarkGreen);
    // No transfer: an empty bar without text.
    const QColor face = QPalette().color(QPalette::Button);
    for (int x = 44; x < 195; ++x)
        ASSERT_EQ(image.pixelColor(x, 10), face) << x;

    state.controlConnected = false;
    state.dataConnected = true;
    image = paint(state);
    EXPECT_EQ(image.pixelColor(10, 10), kDarkGreen);
    EXPECT_EQ(image.pixelColor(30, 10), kGreen);
}

TEST(FtpStatusStrip, ProgressFillsInProportionAndNeverPastTheBar)
{
    FtpStatusSnapshot state;
    state.visible = true;
    state.expectedSize = 1000;
    state.bytesDone = 500;
    const int half = blueRun(paint(state));
    EXPECT_NEAR(half, 43 + (155 - 2) / 2, 2);

    state.bytesDone = 1000;
    const int full = blueRun(paint(state));
    state.bytesDone = 5000; // more arrived than expected
    EXPECT_EQ(blueRun(paint(state)), full);
    EXPECT_LT(full, 197);

    state.expectedSize = -1; // size still to be learnt from the server
    EXPECT_EQ(blueRun(paint(state)), -1);
}

TEST(FtpStatusStrip, FollowsARealEngine)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    FtpCommander engine;
    EngineRecorder recorder(engine);
    FtpStatusStrip strip;
    strip.resize(200, 20);
    strip.setEngine(&engine);
    engine.setIsVisible(true);
    strip.show();

    QImage image = strip.grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 10), kDarkGreen);
    ASSERT_TRUE(LogIn(engine, recorder, server.host(), server.port(), QString::fromLatin1(PyFtpServer::kUser),
                      QString::fromLatin1(PyFtpServer::kPassword)));
    image = strip.grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 10), kGreen);
    EXPECT_EQ(image.pixelColor(30, 10), kDarkGreen);
    EXPECT_TRUE(strip.snapshot().controlConnected);
}

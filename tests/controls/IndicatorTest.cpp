// The activity indicator: its two animations, timer, run time and saved set.
#include "Indicator.h"

#include "PropertyBag.h"

#include <QApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr OleColor kBlue = 0xFF0000;
const QColor kDotBlue(0, 0, 255);

std::unique_ptr<Indicator> makeIndicator(int width = 100, int height = 20)
{
    auto indicator = std::make_unique<Indicator>();
    indicator->SetBackColor(0xFFFFFF);
    indicator->SetForeColor(0x0000FF); // red outline for the larger dot
    indicator->SetFillColor(0x00FF00);  // green inside
    indicator->resize(width, height);
    indicator->show();
    QApplication::processEvents();
    return indicator;
}

// The x positions where a dot (small or large) starts on the dot row.
QList<int> dotStarts(const Indicator &indicator)
{
    const QImage &surface = indicator.surface();
    const int y = surface.height() - 7 + 1; // inside every dot
    QList<int> starts;
    bool inDot = false;
    for (int x = 0; x < surface.width(); ++x) {
        const bool ink = surface.pixelColor(x, y) != QColor(255, 255, 255);
        if (ink && !inDot)
            starts.append(x);
        inDot = ink;
    }
    return starts;
}

// Index of the larger dot in the current frame, -1 when none shows.
int largeDotAt(const Indicator &indicator)
{
    const QImage &surface = indicator.surface();
    const QList<int> starts = dotStarts(indicator);
    for (int i = 0; i < starts.size(); ++i)
        if (surface.pixelColor(starts[i] + 3, surface.height() - 7) == QColor(0, 255, 0))
            return i;
    return -1;
}

} // namespace

TEST(Indicator, DotRowWalksTheLargerDotAndWrapsAround)
{
    auto indicator = makeIndicator(100, 20);
    EXPECT_FALSE(indicator->isRunning());
    indicator->StartNow();
    EXPECT_TRUE(indicator->isRunning());
    EXPECT_EQ(dotStarts(*indicator), (QList<int>{10, 32, 50, 68, 86}));
    EXPECT_EQ(largeDotAt(*indicator), 0);
    for (int expected : {1, 2, 3, 4, 0}) {
        indicator->timerTick();
        EXPECT_EQ(largeDotAt(*indicator), expected);
    }

    // Narrowed so that the larger dot's place is gone: one frame without it,
    // then it starts again at the first dot.
    for (int i = 0; i < 3; ++i)
        indicator->timerTick(); // the next frame would show it at the fifth dot
    indicator->resize(60, 20);
    QApplication::processEvents();
    indicator->timerTick();
    EXPECT_EQ(largeDotAt(*indicator), -1);
    indicator->timerTick();
    EXPECT_EQ(largeDotAt(*indicator), 0);
}

TEST(Indicator, RunTimePauseResumeAndStop)
{
    auto indicator = makeIndicator();
    indicator->StartNow();
    indicator->StartNow(); // already running: no second first frame
    indicator->timerTick();
    EXPECT_EQ(largeDotAt(*indicator), 1);
    for (int i = 0; i < 9; ++i)
        indicator->timerTick();
    EXPECT_EQ(indicator->RunTimeInterval(), 1200);

    indicator->PauseNow();
    EXPECT_FALSE(indicator->timerFiring());
    EXPECT_TRUE(indicator->isRunning());
    const QImage frame = indicator->surface().copy();
    indicator->ResumeNow();
    EXPECT_TRUE(indicator->timerFiring());
    EXPECT_EQ(indicator->surface(), frame);
    EXPECT_EQ(indicator->RunTimeInterval(), 1200);

    QSignalSpy ticks(indicator.get(), &Indicator::Tick);
    indicator->timerTick();
    EXPECT_EQ(ticks.count(), 0);
    indicator->RaiseTicK = true;
    indicator->timerTick();
    EXPECT_EQ(ticks.count(), 1);

    indicator->stopNow();
    EXPECT_FALSE(indicator->isRunning());
    EXPECT_FALSE(indicator->timerFiring());
    EXPECT_TRUE(dotStarts(*indicator).isEmpty());
    indicator->PauseNow();
    indicator->ResumeNow();
    EXPECT_FALSE(indicator->timerFiring());
}

TEST(Indicator, IntervalOfZeroOrLessLeavesTheTimerSilent)
{
    auto indicator = makeIndicator();
    indicator->StartNow();
    EXPECT_TRUE(indicator->timerFiring());
    indicator->SetInterval(0);
    EXPECT_FALSE(indicator->timerFiring());
    EXPECT_TRUE(indicator->timerOn());
    indicator->SetInterval(-5);
    EXPECT_FALSE(indicator->timerFiring());
    indicator->SetInterval(50);
    EXPECT_TRUE(indicator->timerFiring());
}

TEST(Indicator, BandBlockUsesLightenedBaseColour)
{
    auto indicator = makeIndicator(100, 20);
    indicator->SetScrollColor(kBlue);
    indicator->SetVisualEffect(1);
    indicator->StartNow(); // first block at x = 8
    const QImage &surface = indicator->surface();
    EXPECT_EQ(surface.pixelColor(11, 10), QColor(120, 120, 255));
    EXPECT_EQ(surface.pixelColor(20, 10), QColor(60, 60, 255));
    EXPECT_EQ(surface.pixelColor(29, 10), kDotBlue);
    EXPECT_EQ(surface.pixelColor(11, 1), QColor(255, 255, 255));

    // The block slides 8 pixels a tick and starts again at the left edge.
    for (int i = 0; i < 12; ++i)
        indicator->timerTick(); // x = 104: past the inner width
    indicator->timerTick();     // back to x = 0
    EXPECT_EQ(indicator->surface().pixelColor(3, 10), QColor(120, 120, 255));

    // Another effect number draws the bands computed last; none computed is black.
    auto other = makeIndicator(100, 20);
    other->SetVisualEffect(2);
    other->StartNow();
    EXPECT_EQ(other->surface().pixelColor(11, 10), QColor(0, 0, 0));
}

TEST(Indicator, ColourPartsAndBorders)
{
    EXPECT_EQ(Indicator::GetRed(0x8000000F), 15);
    EXPECT_EQ(Indicator::GetGreen(0x123456), 0x34);
    EXPECT_EQ(Indicator::GetBlue(0x123456), 0x12);

    auto indicator = makeIndicator(60, 20);
    indicator->SetBorderColor(0x0000FF);
    indicator->SetBorderStyle(3); // only stored at run time
    EXPECT_EQ(indicator->frameStyle(), QFrame::NoFrame);
    QImage shown = indicator->grab().toImage();
    EXPECT_NE(shown.pixelColor(1, 10), QColor(255, 0, 0));

    PropertyBag bag;
    indicator->WriteProperties(bag);
    auto loaded = makeIndicator(60, 20);
    loaded->ReadProperties(bag); // from a saved set, 3 acts as 2: the outline shows
    shown = loaded->grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 10), QColor(255, 0, 0));

    indicator->SetBorderStyle(1);
    EXPECT_NE(indicator->frameStyle(), QFrame::NoFrame);
}

TEST(Indicator, SavedSetWritesOnlyChangedValues)
{
    Indicator fresh;
    PropertyBag empty;
    fresh.WriteProperties(empty);
    EXPECT_TRUE(empty.isEmpty()) << empty.keys().join(QLatin1Char(',')).toStdString();

    Indicator indicator;
    QSignalSpy changed(&indicator, &Indicator::PropertyChanged);
    indicator.SetInterval(200);
    indicator.SetVisualEffect(1);
    indicator.SetAppearance(0);
    EXPECT_EQ(changed.count(), 3);
    PropertyBag bag;
    indicator.WriteProperties(bag);
    EXPECT_EQ(bag.keys(), (QStringList{QStringLiteral("Interval"), QStringLiteral("VisualEffect"),
                                       QStringLiteral("Appearance")}));

    Indicator loaded;
    loaded.ReadProperties(PropertyBag::fromBytes(bag.toBytes()));
    EXPECT_EQ(loaded.Interval(), 200);
    EXPECT_EQ(loaded.VisualEffect(), 1);
    EXPECT_EQ(loaded.Appearance(), 0);
    EXPECT_EQ(loaded.ForeColor(), 0x80000012u);
    EXPECT_EQ(loaded.BackColor(), OleColors::ButtonFace);
}

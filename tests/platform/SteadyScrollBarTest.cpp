#include "SteadyScrollBar.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts a bar's drawings and keeps where its slider was drawn.
class DrawnSlider : public QObject
{
public:
    int Drawings = 0;
    QRect Slider;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            auto *bar = static_cast<QScrollBar *>(watched);
            QStyleOptionSlider option;
            option.initFrom(bar);
            option.orientation = bar->orientation();
            option.minimum = bar->minimum();
            option.maximum = bar->maximum();
            option.sliderPosition = bar->sliderPosition();
            option.sliderValue = bar->value();
            option.pageStep = bar->pageStep();
            option.singleStep = bar->singleStep();
            option.upsideDown = bar->invertedAppearance();
            Slider = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
            ++Drawings;
        }
        return false;
    }
};

} // namespace

TEST(SteadyScrollBar, IsDrawnAgainOnlyWhenItsSliderMoves)
{
    SteadyScrollBar bar(Qt::Vertical);
    bar.setRange(0, 10000);
    bar.setPageStep(1);
    bar.setValue(5000);
    bar.resize(14, 90);
    DrawnSlider drawn;
    bar.installEventFilter(&drawn);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QApplication::processEvents();
    ASSERT_GT(drawn.Drawings, 0);
    const QRect middle = drawn.Slider;

    // A growing list: value and range move by a line, the slider stays on the same pixels.
    const int drawings = drawn.Drawings;
    for (int line = 1; line <= 20; ++line) {
        bar.setMaximum(10000 + line);
        bar.setValue(5000 + line / 2);
        EXPECT_EQ(bar.value(), 5000 + line / 2); // the values are there at once
        QApplication::processEvents();
    }
    // A move the eye can see, made within the same frame, is drawn once at its end and shows where
    // the slider is now; the frame's end draws nothing for the lines before.
    bar.setValue(bar.maximum());
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawn.Drawings > drawings; }, 10000));
    QTest::qWait(3 * 33);
    EXPECT_EQ(drawn.Drawings, drawings + 1);
    EXPECT_GT(drawn.Slider.top(), middle.top());

    // Lines that leave the slider where it is are never drawn.
    const QRect end = drawn.Slider;
    for (int line = 1; line <= 20; ++line) {
        bar.setMaximum(bar.maximum() + 1);
        bar.setValue(bar.maximum());
        QApplication::processEvents();
    }
    QTest::qWait(3 * 33);
    EXPECT_EQ(drawn.Drawings, drawings + 1);
    EXPECT_EQ(drawn.Slider, end);

    // A range that changes the slider's length is drawn.
    bar.setRange(0, 3);
    bar.setPageStep(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawn.Drawings > drawings + 1; }, 10000));
    EXPECT_GT(drawn.Slider.height(), end.height());
    bar.removeEventFilter(&drawn);
}

#include "FramePacer.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>


namespace {

// A widget that shows a number and remembers which one it drew last.
class NumberView : public QWidget
{
public:
    using QWidget::QWidget;
    int Value = 0;
    int Drawn = -1;
    int Drawings = 0;
    void show(int value)
    {
        Value = value;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        Drawn = Value;
        ++Drawings;
        QPainter(this).drawText(rect(), QString::number(Value));
    }
};

} // namespace

TEST(FramePacer, ChangesWithinAFrameAreDrawnOnceAtItsEndAndTheLastOneShows)
{
    QWidget window;
    auto *pacer = new FramePacer(&window);
    auto *first = new NumberView(&window);
    auto *second = new NumberView(&window);
    first->setGeometry(0, 0, 60, 20);
    second->setGeometry(0, 30, 60, 20);
    window.resize(100, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pacer->frameRunning(); }, 10000));

    // After a quiet frame the first change is drawn at once: only posted events run here, no timer.
    const int drawings = first->Drawings;
    first->show(1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(first->Drawn, 1);
    EXPECT_EQ(first->Drawings, drawings + 1);

    // Changes inside the frame are held, whichever widget makes them; their values are there at once.
    for (int value = 2; value <= 30; ++value) {
        first->show(value);
        second->show(100 + value);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(first->Value, value);
    }
    EXPECT_EQ(first->Drawings, drawings + 1);
    EXPECT_EQ(first->Drawn, 1);
    EXPECT_TRUE(pacer->drawingHeld());

    // The frame's end draws both once, with their last values, and a quiet frame after it ends the pacing.
    const int secondDrawings = second->Drawings;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pacer->drawingHeld(); }, 10000));
    EXPECT_EQ(first->Drawn, 30);
    EXPECT_EQ(second->Drawn, 130);
    EXPECT_EQ(first->Drawings, drawings + 2);
    EXPECT_EQ(second->Drawings, secondDrawings + 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pacer->frameRunning(); }, 10000));
    EXPECT_EQ(first->Drawings, drawings + 2);

    // A repaint asked for at once is held like any other inside a frame, and drawn at its end.
    first->show(31);
    QCoreApplication::sendPostedEvents();
    first->Value = 32;
    first->repaint();
    EXPECT_EQ(first->Drawn, 31);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->Drawn == 32; }, 10000));
}

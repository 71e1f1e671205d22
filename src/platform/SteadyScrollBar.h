#pragma once

#include <QBasicTimer>
#include <QRect>
#include <QScrollBar>

// A scroll bar that is drawn again only when what it shows changes. A list
// that grows by a line at a time moves its bar's value and range with every
// line, while the slider, a few pixels high, stays where it is: drawing the
// bar again each time is wasted work, and so is working out for each line
// where the slider would be. Changes are looked at once a frame; value and
// range themselves change at once.
class SteadyScrollBar : public QScrollBar
{
    Q_OBJECT
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // What a change of value or range can alter in the drawing.
    struct Look {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };
    Look look() const;

    Look m_shown;
    bool m_drawn = false; // m_shown holds the last drawing
    QBasicTimer m_check;  // runs from a change until the frame's end, when the look is compared
};

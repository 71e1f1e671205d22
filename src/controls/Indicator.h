#pragma once

#include "OleColor.h"

#include <QFrame>
#include <QImage>
#include <QTimer>

#include <array>

class PropertyBag;

// A small busy indicator: a row of dots in which one larger dot walks to the
// right, or a block of three colour bands sliding to the right, one step per
// tick of its timer. The host starts, pauses, resumes and stops it, and can
// read how long it has run.
class Indicator : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kDefaultInterval = 120;

    explicit Indicator(QWidget *parent = nullptr);

    void StartNow();
    void stopNow();
    void PauseNow();
    void ResumeNow();

    int VisualEffect() const { return m_visualEffect; }
    void SetVisualEffect(int effect);
    OleColor ScrollColor() const { return m_scrollColor; }
    void SetScrollColor(OleColor color);
    OleColor FillColor() const { return m_fillColor; }
    void SetFillColor(OleColor color);
    // Reading the outline colour also recomputes the band colours.
    OleColor ForeColor();
    void SetForeColor(OleColor color);
    int Interval() const { return m_interval; }
    void SetInterval(int milliseconds);
    OleColor DotColor() const { return m_dotColor; }
    void SetDotColor(OleColor color);
    int BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(int style);
    int RunTimeInterval() const { return m_runTime; }
    OleColor BackColor() const { return m_backColor; }
    void SetBackColor(OleColor color);
    OleColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(OleColor color);
    int Appearance() const { return m_appearance; }
    void SetAppearance(int appearance);

    // The parts of a colour value; a system colour is taken as it stands.
    static qint16 GetRed(OleColor RgbVal) { return static_cast<qint16>(RgbVal & 0xFF); }
    static qint16 GetGreen(OleColor RgbVal) { return static_cast<qint16>((RgbVal >> 8) & 0xFF); }
    static qint16 GetBlue(OleColor RgbVal) { return static_cast<qint16>((RgbVal >> 16) & 0xFF); }

    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // When set, every tick raises Tick.
    bool RaiseTicK = false;

    bool isRunning() const { return m_running; }
    // The timer is switched on (it only fires while the interval is above 0).
    bool timerOn() const { return m_timerOn; }
    bool timerFiring() const { return m_timer.isActive(); }
    const QImage &surface() const { return m_surface; }

public Q_SLOTS:
    // One tick of the animation timer.
    void timerTick();

Q_SIGNALS:
    void Tick();
    void PropertyChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void Animate();
    void SetPic();
    void setTriCol();
    OleColor getLightColor(OleColor color) const;
    void drawFrame();
    void clearSurface();
    void applyTimer();
    void applyBorder();

    QTimer m_timer;
    bool m_timerOn = false;
    bool m_running = false;
    int m_interval = kDefaultInterval;
    int m_runTime = 0;
    int m_framePos = 0;
    int m_highlightIndex = 0;
    int m_dotBaseY = 0;
    int m_visualEffect = 0;
    OleColor m_scrollColor = 0xFF0000;
    OleColor m_dotColor = 0xFF0000;
    OleColor m_fillColor = 0;
    OleColor m_foreColor = 0x80000012;
    OleColor m_backColor = OleColors::ButtonFace;
    OleColor m_borderColor = 0x80000002;
    int m_borderStyle = 0;
    int m_appearance = 1;
    bool m_shapeVisible = false;
    std::array<OleColor, 3> m_bandColors{};
    std::array<quint8, 3> m_lightenStep{};
    QImage m_surface;
};

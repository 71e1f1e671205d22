#pragma once

#include <QTimer>
#include <QWidget>

class MainWindowServices;

// The splash window. Loading it sets up the shared banner picture, shows the
// splash and brings up the main window (ShowQor); then it holds a moment,
// fades out step by step and closes itself.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;
    static constexpr int kHoldTicks = 20;  // about a second at full opacity
    static constexpr int kFadeStep = 15;   // alpha lost per tick

    explicit frmSplash(MainWindowServices &mainWindow, QWidget *parent = nullptr);

    // Form_Load: show, bring up the main window, start the fade-out timer.
    void Load();
    int Alpha() const { return m_alpha; }
    bool IsFading() const { return m_timer.isActive(); }

public slots:
    // One tick of the fade-out timer.
    void FadeStep();

signals:
    void FadedOut();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MainWindowServices &m_mainWindow;
    QTimer m_timer;
    int m_alpha = 255;
    int m_holdTicks = kHoldTicks;
};

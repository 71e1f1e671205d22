#pragma once

#include <QPointer>
#include <QWidget>

class FtpCommander;
class QPainter;
class QTimer;

// The state an engine shows in its status strip.
struct FtpStatusSnapshot {
    bool visible = false;
    bool controlConnected = false;
    bool dataConnected = false;
    qint64 expectedSize = 0;
    qint64 bytesDone = 0;
};

// A visible engine's status: one square for the control connection, one for
// the data connection (bright green while connected), then a bar with the
// progress of the current transfer. It observes the engine and redraws when
// the engine's state changes, at most a few times a second: a batch of small
// files changes it several times per file.
class FtpStatusStrip : public QWidget
{
    Q_OBJECT

public:
    explicit FtpStatusStrip(QWidget *parent = nullptr);

    void setEngine(FtpCommander *engine);
    FtpCommander *engine() const;
    FtpStatusSnapshot snapshot() const;

    // Draws a snapshot into an area of the given size; nothing at all while
    // the engine is not visible.
    static void Paint(QPainter &painter, const QSize &size, const FtpStatusSnapshot &state, const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void scheduleRedraw();

    QPointer<FtpCommander> m_engine;
    QTimer *m_redrawTimer = nullptr;
};

#include "FtpStatusStrip.h"

#include "EngineSocket.h"
#include "ErrorLog.h"
#include "FtpCommander.h"
#include "OleColor.h"

#include <QLocale>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

constexpr OleColor kSquareOutline = 0x80000015; // 3-D dark shadow
constexpr OleColor kConnectedFill = 0x00FF00;
constexpr OleColor kIdleFill = 0x389448;
constexpr OleColor kBarOutline = 0x8000000A; // active border
constexpr OleColor kBarFill = OleColors::ButtonFace;
constexpr OleColor kProgressFill = 0xFF0000;
constexpr int kRedrawDelayMs = 100;

} // namespace

FtpStatusStrip::FtpStatusStrip(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("FtpStatusStrip"));
    m_redrawTimer = new QTimer(this);
    m_redrawTimer->setSingleShot(true);
    m_redrawTimer->setInterval(kRedrawDelayMs);
    connect(m_redrawTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void FtpStatusStrip::scheduleRedraw()
{
    // The paint reads the engine's state then, so the last change is what shows.
    if (!m_redrawTimer->isActive())
        m_redrawTimer->start();
}

void FtpStatusStrip::setEngine(FtpCommander *engine)
{
    if (m_engine)
        disconnect(m_engine, nullptr, this, nullptr);
    m_engine = engine;
    if (engine) {
        connect(engine, &FtpCommander::StatusChanged, this, &FtpStatusStrip::scheduleRedraw);
        connect(engine, &FtpCommander::DataProgress, this, &FtpStatusStrip::scheduleRedraw);
        connect(engine, &FtpCommander::DataConnect, this, &FtpStatusStrip::scheduleRedraw);
        connect(engine, &FtpCommander::DataDisconnect, this, &FtpStatusStrip::scheduleRedraw);
        connect(engine, &FtpCommander::FtpConnect, this, &FtpStatusStrip::scheduleRedraw);
        connect(engine, &FtpCommander::FtpDisconnect, this, &FtpStatusStrip::scheduleRedraw);
    }
    update();
}

FtpCommander *FtpStatusStrip::engine() const { return m_engine.data(); }

FtpStatusSnapshot FtpStatusStrip::snapshot() const
{
    FtpStatusSnapshot state;
    if (!m_engine)
        return state;
    state.visible = m_engine->isVisible();
    state.controlConnected = m_engine->CmdStatus() == EngineSocket::Connected;
    state.dataConnected = m_engine->DataStatus() == EngineSocket::Connected;
    // The bar belongs to a transfer of the session: none is left beside "Not connected".
    if (m_engine->SessionActive()) {
        state.expectedSize = m_engine->ExpectedSize();
        state.bytesDone = m_engine->ProgressBytes();
    }
    return state;
}

void FtpStatusStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Paint(painter, size(), snapshot(), palette());
}

void FtpStatusStrip::Paint(QPainter &painter, const QSize &size, const FtpStatusSnapshot &state,
                           const QPalette &palette)
{
    if (!state.visible)
        return;
    painter.save();
    try {
        const int side = size.height() - 2;
        const int top = 1;
        if (side > 0) {
            const QColor outline = OleToQColor(kSquareOutline, palette);
            const auto square = [&](int left, bool connected) {
                painter.setPen(outline);
                painter.setBrush(OleToQColor(connected ? kConnectedFill : kIdleFill, palette));
                painter.drawRect(left, top, side - 1, side - 1);
            };
            const int firstLeft = TwipsToPixels(15);
            square(firstLeft, state.controlConnected);
            square(firstLeft + side + 2, state.dataConnected);

            const int barLeft = 2 * side + 6;
            const int barWidth = size.width() - barLeft - 2;
            if (barWidth > 2) {
                const QRect bar(barLeft, top, barWidth, side);
                painter.setPen(OleToQColor(kBarOutline, palette));
                painter.setBrush(OleToQColor(kBarFill, palette));
                painter.drawRect(bar.adjusted(0, 0, -1, -1));
                if (state.expectedSize > 0) {
                    const double ratio = static_cast<double>(state.bytesDone) / static_cast<double>(state.expectedSize);
                    // More bytes than expected fill the bar, never beyond it.
                    const double shown = std::clamp(ratio, 0.0, 1.0);
                    const int fillWidth = static_cast<int>((barWidth - 2) * shown);
                    const QRect fill(barLeft + 1, top + 2, fillWidth, side - 2);
                    painter.fillRect(fill, OleToQColor(kProgressFill, palette));

                    const QString text = QLocale().toString(ratio * 100.0, 'f', 1) + QLatin1Char('%');
                    // Light text over the fill, dark text over the face: readable on both.
                    painter.save();
                    painter.setClipRect(fill);
                    painter.setPen(Qt::white);
                    painter.drawText(bar, Qt::AlignCenter, text);
                    painter.setClipRegion(QRegion(bar).subtracted(QRegion(fill)));
                    painter.setPen(palette.color(QPalette::ButtonText));
                    painter.drawText(bar, Qt::AlignCenter, text);
                    painter.restore();
                }
            }
        }
    } catch (...) {
        LogCurrentException(QStringLiteral("FtpCommander"), QStringLiteral("UserControl_Paint"));
    }
    painter.restore();
}

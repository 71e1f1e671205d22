#pragma once

#include "Logger.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>

#include <memory>

// A shown log pane with a fixed font, so line geometry is the same on every machine.
inline std::unique_ptr<Logger> MakeShownLogger(int width = 400, int height = 200)
{
    auto logger = std::make_unique<Logger>();
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(12);
    logger->SetFont(font);
    logger->resize(width, height);
    logger->show();
    QApplication::processEvents();
    return logger;
}

// Sends a mouse event to the pane's surface; y is in pixels from its top.
inline void SendMouse(Logger &logger, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *surface = logger.viewport();
    QMouseEvent event(type, pos, surface->mapToGlobal(pos), button, buttons, modifiers);
    QApplication::sendEvent(surface, &event);
}

// The middle of the n-th line in view (1-based), in pixels.
inline QPointF LineInView(const Logger &logger, int n)
{
    return QPointF(40, (n - 1) * logger.lineHeight() + logger.lineHeight() / 2);
}

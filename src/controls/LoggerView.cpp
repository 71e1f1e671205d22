// The log pane's drawing, scrolling, selection, keyboard and mouse.
#include "Logger.h"

#include "ErrorLog.h"
#include "Prompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

namespace {

constexpr int kHorizontalStepTwips = 150;

int mouseButtonCode(Qt::MouseButtons buttons)
{
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

} // namespace

double Logger::horizontalOffset() const
{
    return horizontalScrollBar()->value() * px(kHorizontalStepTwips);
}

QFont Logger::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font(this);
}

int Logger::keyShiftBits(Qt::KeyboardModifiers modifiers) const
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

void Logger::measureLineHeight()
{
    // The height of a line of text in the pane's font, whole pixels.
    m_lineHeight = QFontMetrics(m_font).height();
}

int Logger::getMaxVisLines() const
{
    if (m_lineHeight <= 0)
        return 0;
    return viewport()->height() / static_cast<int>(std::lround(m_lineHeight));
}

QFont Logger::styledFont(quint8 styleFlags) const
{
    QFont font = m_font;
    font.setBold((styleFlags & 1) != 0);
    font.setItalic((styleFlags & 2) != 0);
    font.setUnderline((styleFlags & 4) != 0);
    font.setStrikeOut((styleFlags & 16) != 0);
    return font;
}

void Logger::prepareSurface()
{
    const QSize size = viewport()->size().expandedTo(QSize(1, 1));
    if (m_pad.size() != size)
        m_pad = QImage(size, QImage::Format_ARGB32_Premultiplied);
    clearSurface();
    SetPicture();
}

void Logger::DrawALL()
{
    if (m_drawing)
        return;
    m_drawing = true;
    m_drawPending = false;
    try {
        int start = 1;
        m_firstEntry = LineToLog(verticalScrollBar()->value() + 1, &start);
        prepareSurface();
        if (m_firstEntry >= 1) {
            QPainter painter(&m_pad);
            painter.translate(-horizontalOffset(), 0);
            drawEntryLines(painter, m_firstEntry, start);
        }
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("DrawALL"));
    }
    m_drawing = false;
    if (!m_painting)
        viewport()->update();
}

void Logger::drawEntryLines(QPainter &painter, int firstEntry, int startLine)
{
    const double lh = m_lineHeight;
    const qsizetype wrap = std::max(1, m_wordWrapLength);
    const QColor selection = OleToQColor(m_selectionColor, palette());
    double y = 0;
    int drawn = 0;
    for (int i = firstEntry; i <= GetCount(); ++i) {
        const LogEntry &entry = m_entries[i - 1];
        const QColor color = OleToQColor(m_palette[entry.ColorIndex], palette());
        const QFont font = styledFont(entry.StyleFlags);
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        const bool midEntry = i == firstEntry && startLine > 1;
        // Writes one screen line of the entry; false once the view is full.
        const auto drawText = [&](const QString &text, double textX, double width) {
            CheckPAD(width);
            painter.setPen(color);
            painter.drawText(QPointF(textX, y + metrics.ascent()), text);
            y += lh;
            return ++drawn <= m_visibleLines + 1;
        };

        if (!midEntry) {
            const QString s = entry.LineCount == 1 ? entry.Text : entry.Text.left(wrap);
            double textX = px(15);
            double width = metrics.horizontalAdvance(s);
            if (m_useBullet) {
                width += 2 * lh;
                if (entry.Selected)
                    painter.fillRect(QRectF(0, y, width, lh), selection);
                const QImage &bullet = m_bullets[entry.ColorIndex];
                if (!bullet.isNull() && lh > px(30))
                    painter.drawImage(QRectF(px(15), y + px(15), lh - px(30), lh - px(30)), bullet);
                textX = lh + px(30);
            } else {
                width += lh;
                if (entry.Selected)
                    painter.fillRect(QRectF(0, y, width, lh), selection);
            }
            if (!drawText(s, textX, width))
                return;
        }

        const QPen pen(color, m_traceBorderWidth);
        for (int k = midEntry ? startLine : 2; k <= entry.LineCount; ++k) {
            y = std::round(y);
            const double h = lh / 2;
            const bool last = k == entry.LineCount;
            double lineX = px(45);
            double branchEnd = px(180);
            double textX = px(195);
            if (m_useBullet) {
                lineX = h - px(15);
                branchEnd = lh + px(30);
                textX = lh + px(60);
            }
            painter.setPen(pen);
            painter.drawLine(QPointF(lineX, y - px(15)), QPointF(lineX, y + (last ? h : lh) - px(15)));
            painter.drawLine(QPointF(lineX, y + h - px(15)), QPointF(branchEnd, y + h - px(15)));

            const QString s = entry.Text.mid((k - 1) * wrap, wrap);
            const double width = metrics.horizontalAdvance(s) + lh;
            if (entry.Selected)
                painter.fillRect(QRectF(0, y, width, lh), selection);
            if (!drawText(s, textX, width))
                return;
        }
    }
}

void Logger::CheckPAD(double neededWidth)
{
    if (m_padWidth >= neededWidth)
        return;
    m_padWidth = neededWidth + px(100);
    const int maximum = std::max(0, static_cast<int>(std::lround((m_padWidth - viewport()->width()) / px(kHorizontalStepTwips))));
    QScrollBar *bar = horizontalScrollBar();
    const bool sync = m_scrollSync;
    m_scrollSync = true;
    bar->setMaximum(maximum);
    m_scrollSync = sync;
    bar->setEnabled(maximum > 0);
}

void Logger::layoutPane()
{
    try {
        m_scrollSync = true;
        QScrollBar *vertical = verticalScrollBar();
        QScrollBar *horizontal = horizontalScrollBar();
        horizontal->setValue(0);
        vertical->setValue(0);
        m_padWidth = viewport()->width();
        m_visibleLines = getMaxVisLines();
        horizontal->setMaximum(0);
        horizontal->setEnabled(false);
        const int maximum = m_totalLines >= m_visibleLines ? m_totalLines - m_visibleLines + 1 : 0;
        vertical->setMaximum(maximum);
        m_scrollSync = false;
        vertical->setEnabled(maximum > 0);
        prepareSurface();
        Orig_Picture();
        DrawALL();
        if (maximum > 0)
            vertical->setValue(maximum - 1); // redraws through the bar's change
    } catch (...) {
        m_scrollSync = false;
        LogCurrentException(objectName(), QStringLiteral("UserControl_Resize"));
    }
}

void Logger::paintEvent(QPaintEvent *)
{
    m_painting = true;
    drawPending();
    if (m_pad.size() != viewport()->size())
        DrawALL();
    m_painting = false;
    QPainter painter(viewport());
    painter.drawImage(0, 0, m_pad);
}

void Logger::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    layoutPane();
}

void Logger::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    measureLineHeight();
    applyBackColor();
    layoutPane();
}

void Logger::scrollContentsBy(int, int)
{
    if (!m_scrollSync)
        DrawALL();
}

void Logger::keyPressEvent(QKeyEvent *event)
{
    QPointer<Logger> self(this);
    try {
        int keyCode = event->key();
        int shift = keyShiftBits(event->modifiers());
        Q_EMIT KeyDown(keyCode, shift);
        if (!self)
            return;
        QScrollBar *vertical = verticalScrollBar();
        QScrollBar *horizontal = horizontalScrollBar();
        const int position = vertical->value();
        switch (keyCode) {
        case Qt::Key_Up:
            if (m_currentLine > 1) {
                if (m_currentLine - position == 1 && position > 0)
                    vertical->setValue(position - 1);
                --m_currentLine;
            }
            break;
        case Qt::Key_Down:
            if (m_currentLine < m_totalLines) {
                if (m_currentLine - position == m_visibleLines && position < vertical->maximum())
                    vertical->setValue(position + 1);
                ++m_currentLine;
            }
            break;
        case Qt::Key_Home: horizontal->setValue(0); break;
        case Qt::Key_End: horizontal->setValue(horizontal->maximum()); break;
        case Qt::Key_Left:
            if (horizontal->value() > 0)
                horizontal->setValue(horizontal->value() - 1);
            break;
        case Qt::Key_Right:
            if (horizontal->value() < horizontal->maximum())
                horizontal->setValue(horizontal->value() + 1);
            break;
        default: break;
        }
        if (!event->text().isEmpty()) {
            int keyAscii = event->text().at(0).unicode();
            Q_EMIT KeyPress(keyAscii);
        }
    } catch (...) {
        if (self)
            LogCurrentException(objectName(), QStringLiteral("Pad_KeyDown"));
    }
}

void Logger::keyReleaseEvent(QKeyEvent *event)
{
    int keyCode = event->key();
    int shift = keyShiftBits(event->modifiers());
    Q_EMIT KeyUp(keyCode, shift);
}

int Logger::lineAt(double yTwips) const
{
    const long y = std::lround(yTwips);
    const long height = std::lround(m_lineHeight * kTwipsPerPixel);
    if (height <= 0)
        return 0;
    long line = verticalScrollBar()->value() + y / height;
    if (y % height > 30)
        ++line;
    return static_cast<int>(std::max(1L, line));
}

// What the mouse events carry: button and shift bits, and the position in
// twips on the whole pad, scrolled part included.
Logger::MouseArgs Logger::mouseArgs(const QMouseEvent *event, Qt::MouseButtons buttons) const
{
    return {mouseButtonCode(buttons), keyShiftBits(event->modifiers()),
            static_cast<float>((event->position().x() + horizontalOffset()) * kTwipsPerPixel),
            static_cast<float>(event->position().y() * kTwipsPerPixel)};
}

void Logger::mousePressEvent(QMouseEvent *event)
{
    QPointer<Logger> self(this);
    try {
        auto [button, shift, x, y] = mouseArgs(event, event->button());
        Q_EMIT MouseDown(button, shift, x, y);
        if (!self || m_lineHeight <= 0)
            return;
        if (button == 1) {
            const int line = lineAt(y);
            if (line > m_totalLines)
                return;
            selectLine(line, (shift & 2) != 0);
        } else {
            showMenuAt(event->globalPosition().toPoint());
        }
    } catch (...) {
        if (self)
            LogCurrentException(objectName(), QStringLiteral("Pad_MouseDown"));
    }
}

void Logger::selectLine(int line, bool addToSelection)
{
    if (!addToSelection) {
        for (LogEntry &entry : m_entries)
            entry.Selected = 0;
        m_selectedCount = 0;
    }
    m_anchorLine = line;
    const int index = LineToLog(line);
    if (index < 1)
        return;
    if (!m_entries[index - 1].Selected) {
        m_entries[index - 1].Selected = 1;
        ++m_selectedCount;
    }
    DrawALL();
}

void Logger::mouseMoveEvent(QMouseEvent *event)
{
    QPointer<Logger> self(this);
    try {
        auto [button, shift, x, y] = mouseArgs(event, event->buttons());
        Q_EMIT MouseMove(button, shift, x, y);
        if (!self || m_lineHeight <= 0 || button != 1)
            return;
        const int line = lineAt(y);
        if (line <= m_totalLines && line != m_anchorLine) {
            // Wrapped entries span several lines: a drag toggles an entry
            // once, when it moves onto it from another entry.
            const int index = LineToLog(line);
            const int anchorIndex = LineToLog(m_anchorLine);
            m_anchorLine = line;
            if (index >= 1 && index != anchorIndex) {
                LogEntry &entry = m_entries[index - 1];
                entry.Selected = entry.Selected ? 0 : 1;
                m_selectedCount += entry.Selected ? 1 : -1;
                DrawALL();
            }
        }
        QScrollBar *vertical = verticalScrollBar();
        const double surfaceHeight = viewport()->height() * static_cast<double>(kTwipsPerPixel);
        if (surfaceHeight - y <= 2 && vertical->value() < vertical->maximum())
            vertical->setValue(vertical->value() + 1);
        else if (y <= 2 && vertical->value() > 0)
            vertical->setValue(vertical->value() - 1);
    } catch (...) {
        if (self)
            LogCurrentException(objectName(), QStringLiteral("Pad_MouseMove"));
    }
}

void Logger::mouseReleaseEvent(QMouseEvent *event)
{
    QPointer<Logger> self(this);
    auto [button, shift, x, y] = mouseArgs(event, event->button());
    Q_EMIT MouseUp(button, shift, x, y);
    if (self && event->button() == Qt::LeftButton && viewport()->rect().contains(event->position().toPoint()))
        Q_EMIT Click();
}

void Logger::mouseDoubleClickEvent(QMouseEvent *)
{
    Q_EMIT DblClick();
}

void Logger::enableMenuItems()
{
    m_mnuCopy->setEnabled(m_selectedCount > 0);
    m_mnuSaveLog->setEnabled(GetCount() > 0);
    m_mnuClearLog->setEnabled(GetCount() > 0);
}

void Logger::showMenuAt(const QPoint &globalPos)
{
    enableMenuItems();
    m_menu->popup(globalPos);
}

void Logger::copySelection()
{
    try {
        QStringList texts;
        for (const LogEntry &entry : m_entries)
            if (entry.Selected)
                texts.append(entry.Text);
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            throw RuntimeError(ErrorNumber::Unexpected, QStringLiteral("No clipboard"));
        clipboard->clear();
        clipboard->setText(texts.join(QStringLiteral("\r\n")));
    } catch (...) {
        ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Clipboard Error !"),
                    QStringLiteral("Error while accessing clipboard!"));
    }
}

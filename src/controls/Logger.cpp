// The log pane's entries, buffer limits and log files.
#include "Logger.h"

#include <QFontMetricsF>

#include "BulletPictures.h"
#include "ErrorLog.h"
#include "LogFileLine.h"
#include "Prompts.h"
#include "SteadyScrollBar.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace {

const QString kLogger = QStringLiteral("Logger");
constexpr int kMaxLinesPerEntry = 255;

} // namespace

Logger::Logger(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setObjectName(kLogger);
    setFocusPolicy(Qt::StrongFocus);
    // The bars follow every new line; they are drawn only when that shows.
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal, this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setEnabled(false);
    }
    // Both bars are always shown, so their ranges never change the pane's layout; yet the scroll
    // area lays itself out again after every range change, which draws both bars again. Each new
    // line changes a range: only a style whose bars come and go needs that layout.
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()}) {
        if (!style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, bar))
            disconnect(bar, &QScrollBar::rangeChanged, this, nullptr);
    }
    connect(verticalScrollBar(), &QScrollBar::sliderMoved, this, [this] { Q_EMIT Scroll(0); });
    connect(horizontalScrollBar(), &QScrollBar::sliderMoved, this, [this] { Q_EMIT Scroll(1); });

    m_cornerButton = new QToolButton(this);
    m_cornerButton->setObjectName(QStringLiteral("Image1"));
    m_cornerButton->setAutoRaise(true);
    setCornerWidget(m_cornerButton);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnuOP"));
    m_mnuCopy = m_menu->addAction(tr("&Copy"));
    m_menu->addSeparator();
    m_mnuSaveLog = m_menu->addAction(tr("&Save Log .."));
    m_mnuClearLog = m_menu->addAction(tr("&Clear Logs"));
    connect(m_mnuCopy, &QAction::triggered, this, [this] { copySelection(); });
    connect(m_mnuSaveLog, &QAction::triggered, this, [this] { runSaveDialog(); });
    connect(m_mnuClearLog, &QAction::triggered, this, [this] { ClearLogs(); });
    connect(m_cornerButton, &QToolButton::clicked, this, [this] {
        enableMenuItems();
        m_menu->popup(m_cornerButton->mapToGlobal(QPoint(0, 0)));
    });

    m_palette = {0xFF0000u, 0x0000FFu, 0x0064FFu, 0x320AFFu, 0x404040u, 0xFFFF00u, 0x00FFFFu,
                 OleColors::HighlightText};
    const int bulletIcons[8] = {101, 104, 103, 102, 106, 101, 101, 101};
    for (int i = 0; i < 8; ++i)
        m_bullets[static_cast<size_t>(i)] = DefaultBulletPicture(bulletIcons[i]);

    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setMinimumSize(3 * extent + 1, 2 * extent + 1);

    m_font = ambientFont();
    SetBorderStyle(0);
    setImage();
    measureLineHeight();
    applyBackColor();
}

Logger::~Logger() = default;

bool Logger::askToClear()
{
    bool clear = false;
    QPointer<Logger> self(this);
    Q_EMIT BufferFull(clear);
    if (!self || !clear)
        return false;
    ClearLogs();
    return true;
}

bool Logger::AddLog(const QString &strLog, int ColIndex, int fAttrib)
{
    try {
        const qsizetype length = strLog.size();
        const qsizetype wrap = std::max(1, m_wordWrapLength);
        // An entry keeps at most 255 display lines: a longer text is refused
        // before anything changes.
        if (length > kMaxLinesPerEntry * wrap)
            return false;
        int lines = 1;
        if (length > wrap)
            lines = static_cast<int>(length / wrap + (length % wrap > 0 ? 1 : 0));

        if (m_totalLines + lines > kMaxTotalLines && !askToClear())
            return false;
        if (GetCount() + 1 > m_maxLogs && !askToClear())
            return false;
        if (ColIndex < 0 || ColIndex > 7)
            return false;

        LogEntry entry;
        entry.Text = strLog;
        entry.Text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        entry.Text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        entry.Text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        entry.ColorIndex = static_cast<quint8>(ColIndex);
        entry.StyleFlags = std::min<quint8>(static_cast<quint8>(fAttrib), 23);
        entry.LineCount = static_cast<quint8>(lines);
        entry.Selected = 0;

        m_totalLines += lines;
        m_entries.append(entry);
        m_lineEnds.append(m_totalLines);

        scrollToEnd();
        if (!m_suspendRedraw) {
            // The width bar follows at once; the drawing comes with the next paint.
            // Only a line that may be wider than the pad is measured.
            const QFont font = styledFont(entry.StyleFlags);
            LineWidthBound &bound = m_widthBounds[entry.StyleFlags];
            const double indent = m_useBullet ? 2 * m_lineHeight : m_lineHeight;
            for (int k = 0; k < lines; ++k) {
                const QStringView line = QStringView(entry.Text).mid(k * wrap, wrap);
                const std::optional<double> most = bound.of(font, line);
                if (!most || *most + indent > m_padWidth)
                    CheckPAD(QFontMetricsF(font).horizontalAdvance(line.toString()) + indent);
            }
            scheduleDraw();
        }
        m_currentLine = m_totalLines;
        return true;
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("AddLog"));
        return false;
    }
}

void Logger::scheduleDraw()
{
    if (m_drawPending)
        return;
    m_drawPending = true;
    viewport()->update();
}

void Logger::drawPending()
{
    if (m_drawPending)
        DrawALL();
}

void Logger::scrollToEnd()
{
    if (m_totalLines < m_visibleLines)
        return;
    QScrollBar *bar = verticalScrollBar();
    const int maximum = m_totalLines - m_visibleLines + 1;
    m_scrollSync = true;
    bar->setMaximum(maximum);
    if (maximum > 1)
        bar->setValue(maximum - 1);
    m_scrollSync = false;
    bar->setEnabled(maximum > 0);
}

void Logger::ClearLogs()
{
    try {
        m_selectedCount = 0;
        m_anchorLine = 0;
        m_totalLines = 0;
        m_currentLine = 0;
        m_entries.clear();
        m_lineEnds.clear();
        m_scrollSync = true;
        for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()}) {
            bar->setValue(0);
            bar->setMaximum(0);
            bar->setEnabled(false);
        }
        m_scrollSync = false;
        m_padWidth = viewport()->width();
        prepareSurface();
        viewport()->update();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("ClearLogs"));
    }
}

int Logger::LineToLog(int line, int *lineInEntry) const
{
    if (line < 1 || line > m_totalLines || m_entries.isEmpty())
        return 0;
    const auto it = std::lower_bound(m_lineEnds.cbegin(), m_lineEnds.cend(), line);
    const int index = static_cast<int>(it - m_lineEnds.cbegin()) + 1;
    if (lineInEntry) {
        const int before = index > 1 ? m_lineEnds[index - 2] : 0;
        *lineInEntry = line - before;
    }
    return index;
}

QString Logger::getLog(int index) const
{
    if (index < 1 || index > GetCount())
        return {};
    return m_entries[index - 1].Text;
}

int Logger::CurrentLogIndex() const { return LineToLog(m_currentLine); }

QString Logger::CurrentLog() const { return getLog(CurrentLogIndex()); }

QByteArray Logger::logFileBody() const
{
    QByteArray body;
    body += TextCodec::Encode(LogFileLine::DateLine(QDateTime::currentDateTime())) + "\r\n";
    for (const LogEntry &entry : m_entries)
        body += TextCodec::Encode(LogFileLine::EntryLine(entry)) + "\r\n";
    return body;
}

void Logger::saveLogsInt(const QString &fileName, const QString &header, bool show)
{
    QByteArray data;
    if (!header.isEmpty())
        data += TextCodec::Encode(header) + "\r\n";
    data += logFileBody();
    QString error;
    if (!StoredFile::WriteAtomically(fileName, data, StoredFile::Privacy::Normal, &error))
        throw RuntimeError(ErrorNumber::PathFileAccess, error);
    if (show)
        ShowMessage(this, PromptIcon::Information, PromptButtons::Ok, kLogger,
                    QStringLiteral("Log saved to file: ") + fileName);
}

void Logger::DumpLogs(const QString &FilePath)
{
    try {
        QFile file(FilePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            throw RuntimeError(ErrorNumber::PathFileAccess, file.errorString());
        const QByteArray body = logFileBody();
        if (file.write(body) != body.size() || !file.flush())
            throw RuntimeError(ErrorNumber::DiskFull, file.errorString());
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("DumpLogs"));
    }
}

void Logger::SaveLogs()
{
    try {
        if (GetCount() == 0) {
            ShowMessage(this, PromptIcon::Information, PromptButtons::Ok, QStringLiteral("Log Empty"),
                        QStringLiteral("There are no logs to save!"));
            return;
        }
        runSaveDialog();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("SaveLogs"));
    }
}

void Logger::runSaveDialog()
{
    try {
        FileRequest request;
        request.kind = FileRequest::Kind::SaveFile;
        request.title = tr("Save Log");
        request.filter = QStringLiteral("Log files(*.log);;All files(*)");
        const std::optional<QString> chosen = Prompts::current().chooseFile(this, request);
        if (!chosen || chosen->isEmpty())
            return;
        try {
            saveLogsInt(*chosen, QStringLiteral("Generic Test"), true);
        } catch (const RuntimeError &e) {
            // The user asked for the file: say why there is none.
            LogCurrentException(objectName(), QStringLiteral("mnuSaveLog_Click"));
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, kLogger,
                        QStringLiteral("The log could not be saved to file: ") + *chosen + QStringLiteral("\n")
                            + e.description());
        }
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("mnuSaveLog_Click"));
    }
}

void Logger::LoadLogs(const QString &FilePath, bool bAppend, bool bMasg)
{
    QPointer<Logger> self(this);
    try {
        if (!bAppend)
            ClearLogs();
        QString error;
        const std::optional<QByteArray> bytes = StoredFile::ReadAll(FilePath, &error);
        if (!bytes)
            throw RuntimeError(ErrorNumber::FileNotFound, error.isEmpty() ? QStringLiteral("File not found") : error);
        m_suspendRedraw = true;
        for (const QString &line : TextCodec::SplitLines(TextCodec::Decode(*bytes))) {
            const std::optional<LogFileLine::Parsed> parsed = LogFileLine::Parse(line);
            if (!parsed)
                throw RuntimeError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
            AddLog(parsed->text, parsed->color, parsed->style);
            if (!self) // a BufferFull handler may have closed the pane
                return;
        }
        m_suspendRedraw = false;
        DrawALL();
        if (bMasg)
            ShowMessage(this, PromptIcon::Information, PromptButtons::Ok, kLogger,
                        QStringLiteral("Log loaded from file: ") + FilePath);
    } catch (const RuntimeError &e) {
        if (!self)
            return;
        m_suspendRedraw = false;
        DrawALL();
        if (bMasg)
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, kLogger, e.description());
    } catch (...) {
        if (!self)
            return;
        m_suspendRedraw = false;
        LogCurrentException(objectName(), QStringLiteral("LoadLogs"));
        DrawALL();
    }
}

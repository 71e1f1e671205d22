#include "LogPanes.h"

#include "ErrorLog.h"
#include "PropertyBag.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>

#include <array>

namespace {

const std::array<QColor, 8> kPalette = {QColor(0, 0, 255),  QColor(255, 0, 0),    QColor(255, 100, 0),
                                        QColor(255, 10, 50), QColor(64, 64, 64),  QColor(0, 255, 255),
                                        QColor(255, 255, 0), QColor(0, 0, 128)};

} // namespace

LogPane::LogPane(int index, QWidget *parent) : QObject(parent), m_index(index)
{
    setObjectName(QStringLiteral("FtpLogger") + QString::number(index));
    m_view = new QPlainTextEdit(parent);
    m_view->setObjectName(objectName());
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_view->setMaximumBlockCount(kMaxEntries);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(8.25);
    m_view->setFont(font);
}

QWidget *LogPane::Widget() const { return m_view; }

void LogPane::AddLog(const QString &text, int colourIndex, quint8 styleBits)
{
    try {
        if (m_count >= kMaxEntries) {
            bool clear = false;
            emit BufferFull(clear);
            if (!clear)
                return;
            ClearLogs();
        }
        QTextCharFormat format;
        format.setForeground(kPalette[static_cast<size_t>(qBound(0, colourIndex, 7))]);
        format.setFontWeight((styleBits & 1) ? QFont::Bold : QFont::Normal);
        format.setFontItalic(styleBits & 2);
        format.setFontUnderline(styleBits & 4);
        format.setFontStrikeOut(styleBits & 16);
        QTextCursor cursor(m_view->document());
        cursor.movePosition(QTextCursor::End);
        if (m_count > 0)
            cursor.insertBlock();
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
        cursor.insertText(line, format);
        m_entries << line + QLatin1Char('|') + QString::number(qBound(0, colourIndex, 7)) + QLatin1Char(',')
                         + QString::number(styleBits);
        ++m_count;
        m_view->ensureCursorVisible();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("AddLog"));
    }
}

void LogPane::ClearLogs()
{
    m_view->clear();
    m_entries.clear();
    m_count = 0;
}

QString LogPane::getLog(int index) const
{
    if (index < 1 || index > m_count)
        return {};
    const QString &entry = m_entries.at(index - 1);
    return entry.left(entry.lastIndexOf(QLatin1Char('|')));
}

void LogPane::DumpLogs(const QString &filePath)
{
    try {
        QStringList lines;
        lines << QStringLiteral("Saved By Logger On: ")
                     + QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
        lines << m_entries;
        if (!StoredFile::AppendLine(filePath, TextCodec::Encode(lines.join(QStringLiteral("\r\n")))))
            throw RuntimeError(ErrorNumber::PathFileAccess, QStringLiteral("Cannot write ") + filePath);
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("DumpLogs"));
    }
}

void LogPane::SetFont(const QFont &font) { m_view->setFont(font); }

QByteArray LogPane::SavedProperties() const
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Font"), m_view->font(), QVariant());
    return bag.toBytes();
}

void LogPane::RestoreProperties(const QByteArray &bytes)
{
    const PropertyBag bag = PropertyBag::fromBytes(bytes);
    const QVariant font = bag.ReadProperty(QStringLiteral("Font"), QVariant());
    if (font.canConvert<QFont>())
        m_view->setFont(font.value<QFont>());
}

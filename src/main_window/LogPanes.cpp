#include "LogPanes.h"

#include "ErrorLog.h"
#include "Logger.h"
#include "OleColor.h"
#include "PropertyBag.h"

LogPane::LogPane(int index, QWidget *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("FtpLogger") + QString::number(index));
    m_logger = new Logger(parent);
    m_logger->setObjectName(objectName());
    connect(m_logger, &Logger::BufferFull, this, &LogPane::BufferFull, Qt::DirectConnection);
    RestoreProperties({});
}

PropertyBag LogPane::InitialProperties()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(8.25);
    PropertyBag bag;
    // Written against an empty default so each value is kept whatever the control's own default.
    bag.WriteProperty(QStringLiteral("BackColor"), static_cast<uint>(OleColors::WindowBackground), QVariant());
    bag.WriteProperty(QStringLiteral("Font"), font, QVariant());
    bag.WriteProperty(QStringLiteral("SelectionColor"), static_cast<uint>(0xD8BFD8), QVariant());
    return bag;
}

void LogPane::AddLog(const QString &text, int colourIndex, quint8 styleBits)
{
    m_logger->AddLog(text, colourIndex, styleBits);
}

void LogPane::ClearLogs() { m_logger->ClearLogs(); }

void LogPane::DumpLogs(const QString &filePath) { m_logger->DumpLogs(filePath); }

int LogPane::GetCount() const { return m_logger->GetCount(); }

QString LogPane::getLog(int index) const { return m_logger->getLog(index); }

void LogPane::SetFont(const QFont &font)
{
    QFont changed = m_logger->Font();
    changed.setFamily(font.family());
    changed.setPointSizeF(font.pointSizeF());
    m_logger->SetFont(changed);
}

QByteArray LogPane::SavedProperties() const
{
    PropertyBag bag;
    m_logger->WriteProperties(bag);
    return bag.toBytes();
}

void LogPane::RestoreProperties(const QByteArray &bytes)
{
    try {
        const PropertyBag stored = PropertyBag::fromBytes(bytes);
        m_logger->ReadProperties(bytes.isEmpty() || stored.isEmpty() ? InitialProperties() : stored);
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("ReadProperties"));
    }
}

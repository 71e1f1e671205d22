#pragma once

#include "SessionLog.h"

#include <QByteArray>
#include <QFont>
#include <QObject>

class Logger;
class PropertyBag;
class QWidget;

// One log pane of the main window (a Logger), seen by a server slot as its
// SessionLog. The window keeps the pane's saved property set with its layout.
class LogPane : public QObject, public SessionLog
{
    Q_OBJECT
public:
    LogPane(int index, QWidget *parent);

    Logger *Widget() const { return m_logger; }
    void AddLog(const QString &text, int colourIndex, quint8 styleBits) override;
    void ClearLogs() override;
    void DumpLogs(const QString &filePath);
    int GetCount() const;
    QString getLog(int index) const; // 1-based, "" outside 1..count

    // The window changes the pane's font through the font object it reads.
    void SetFont(const QFont &font);
    // The saved property set as the window stores it, and back. No stored
    // set yet gives the window's own: "BackColor" &H80000005, "Font" Courier
    // New 8.25 points, "SelectionColor" &HD8BFD8, defaults for the rest.
    QByteArray SavedProperties() const;
    void RestoreProperties(const QByteArray &bytes);
    static PropertyBag InitialProperties();

signals:
    // The pane is full; the handler sets clear to true to make room.
    void BufferFull(bool &clear);

private:
    Logger *m_logger = nullptr;
};

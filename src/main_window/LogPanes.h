#pragma once

#include "SessionLog.h"

#include <QByteArray>
#include <QFont>
#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class QWidget;

// One log pane of the main window, seen by a server slot as its SessionLog.
class LogPane : public QObject, public SessionLog
{
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 32767;

    LogPane(int index, QWidget *parent);

    QWidget *Widget() const;
    void AddLog(const QString &text, int colourIndex, quint8 styleBits) override;
    void ClearLogs() override;
    // Appends the pane's entries to a file.
    void DumpLogs(const QString &filePath);
    int GetCount() const { return m_count; }
    QString getLog(int index) const; // 1-based, "" outside 1..count

    void SetFont(const QFont &font);
    // The pane's saved property set, kept with the window's layout.
    QByteArray SavedProperties() const;
    void RestoreProperties(const QByteArray &bytes);

signals:
    // The pane is full; the handler sets clear to true to make room.
    void BufferFull(bool &clear);

private:
    int m_index;
    QPlainTextEdit *m_view = nullptr;
    QStringList m_entries;
    int m_count = 0;
};

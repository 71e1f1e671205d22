#pragma once

#include <QString>

// Where a server slot writes its dialogue: every command sent, every reply
// and its own notices. The main window hands each slot its log pane.
class SessionLog
{
public:
    // Colour categories of the log pane.
    enum Colour { Reply = 0, Command = 4, Warning = 2, Failure = 3 };
    static constexpr quint8 kBold = 1;
    static constexpr quint8 kItalic = 2;

    virtual ~SessionLog() = default;
    virtual void AddLog(const QString &text, int colourIndex, quint8 styleBits) = 0;
    virtual void ClearLogs() = 0;
};

#pragma once

#include <QString>
#include <QtGlobal>

// One entry of the log pane.
struct LogEntry {
    QString Text;         // newlines already turned into blanks
    quint8 ColorIndex = 0; // 0 to 7: palette colour and bullet picture
    quint8 StyleFlags = 0; // 1 bold, 2 italic, 4 underline, 16 strikethrough; at most 23
    quint8 LineCount = 1;  // display lines, fixed when the entry is added
    quint8 Selected = 0;
};

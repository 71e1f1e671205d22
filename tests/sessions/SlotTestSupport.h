#pragma once

#include "CProfile.h"
#include "PyFtpServer.h"
#include "ServerProfile.h"
#include "SessionLog.h"
#include "StubWindow.h"

#include <QStringList>
#include <QTest>

// Keeps every line a slot writes to its log pane.
class RecordingLog : public SessionLog
{
public:
    void AddLog(const QString &text, int colourIndex, quint8) override
    {
        lines << text;
        colours << colourIndex;
    }
    void ClearLogs() override
    {
        lines.clear();
        colours.clear();
        ++clears;
    }
    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &line : lines)
            n += line.startsWith(prefix);
        return n;
    }
    QStringList lines;
    QList<int> colours;
    int clears = 0;
};

// Lets events run until the condition holds; false after the time-out.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

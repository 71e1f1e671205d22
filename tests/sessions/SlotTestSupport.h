#pragma once

#include "CProfile.h"
#include "KeyedImageList.h"
#include "MainWindowServices.h"
#include "PyFtpServer.h"
#include "ServerProfile.h"
#include "SessionLog.h"

#include <QStringList>
#include <QTest>

// The window services a server slot borrows: only the file-type icons matter here.
class IconOnlyWindow : public MainWindowServices
{
public:
    void ShowInfo(int &, const QString &, const QString &) override {}
    void LoadTasks(const QString &) override {}
    bool ServerConnected(int) const override { return false; }
    bool SecondPaneShown() const override { return false; }
    KeyedImageList &ImageList2() override { return icons; }
    void ShowQor() override {}
    KeyedImageList icons;
};

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

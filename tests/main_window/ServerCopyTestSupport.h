#pragma once

// The main window with a server in each pane, for server-to-server copies:
// slot 0 the source, slot 1 the target.
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "EngineTimer.h"
#include "RemotePane.h"
#include "ScriptedFtpServer.h"
#include "ServerCopy.h"
#include "ServerProfile.h"
#include "ServerSlot.h"
#include "ServerSlots.h"
#include "TestFiles.h"

#include <QTest>

#include <array>
#include <memory>

// A scripted source that lists one file, f.bin, and sends its 5000 bytes.
inline void ServeOneFile(ScriptedFtpServer &source)
{
    source.setListing("-rw-r--r--   1 ftp ftp  5000 Jan 01  2020 f.bin\r\n");
    source.setFileData(PatternBytes(5000));
}

// A scripted target that holds only `held` (`heldSize` bytes; none when
// empty) and what it was sent, under the name it was stored or renamed to:
// SIZE of any other name is refused. A target that `renamesInNameOnly` keeps
// `held` as it was after a rename onto it.
inline void HoldOnly(ScriptedFtpServer &target, const QByteArray &held = {}, qint64 heldSize = 0,
                     bool renamesInNameOnly = false)
{
    target.on("SIZE", [&target, held, heldSize, renamesInNameOnly](const QByteArray &name) {
        const bool renamed = !renamesInNameOnly && target.commandCount("RNTO " + name) > 0;
        const QByteArray reply = target.commandCount("STOR " + name) > 0 || renamed
                                   ? "213 " + QByteArray::number(target.storedData().size())
                                   : (name == held ? "213 " + QByteArray::number(heldSize) : "550 No such file.");
        return ScriptedFtpServer::Reply{{reply + "\r\n", 0}};
    });
}

// The main window showing both servers' panes.
inline std::unique_ptr<frmZAVUde> DualWindow(std::array<EngineTimer *, 2> timers = {})
{
    auto window = std::make_unique<frmZAVUde>(nullptr, timers);
    window->ShowDual(true);
    window->show();
    return window;
}

// Logged in, at rest, and in a folder.
inline bool SlotReady(frmZAVUde &window, int slot)
{
    ServerSlot *s = window.Slot(slot);
    return s->SessionActive() && !s->IsBusy() && !s->SlotRemotePath().isEmpty();
}

// Logs slot 0 in to `source` and slot 1 to `target`; true once both are
// ready and the source's pane lists something.
inline bool ConnectSourceAndTarget(frmZAVUde &window, const CProfile &source, const CProfile &target)
{
    window.Slots()->UseProfile(0, source, true);
    window.Slots()->UseProfile(1, target, true);
    return QTest::qWaitFor(
        [&] { return SlotReady(window, 0) && SlotReady(window, 1) && window.Remote(0)->Model->size() > 0; }, 30000);
}

// As above, slot 1 showing `folder` of the target; once `held` (the folder
// holds f.bin), its pane lists it.
inline bool ConnectToTargetFolder(frmZAVUde &window, const CProfile &source, CProfile target, const QString &folder,
                                  bool held = true)
{
    target.RemotePath = folder;
    return ConnectSourceAndTarget(window, source, target)
        && (!held || QTest::qWaitFor([&] { return window.Remote(1)->Model->findText(QStringLiteral("f.bin")) >= 0; }));
}

// Copies everything the source's pane lists to the target's folder.
inline bool CopyAll(frmZAVUde &window)
{
    window.Remote(0)->RightView->selectAll();
    return window.Runner()->Copy().CmdToFTP_Click(0);
}

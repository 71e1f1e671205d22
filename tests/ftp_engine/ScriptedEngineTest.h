#pragma once

#include "EngineRecorder.h"
#include "EngineTimer.h"
#include "FtpCommander.h"
#include "ScriptedFtpServer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

// An engine on a manual timer against the scripted server, with a temporary
// folder for local files.
class ScriptedEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    bool logIn()
    {
        return LogIn(engine, recorder, server.host(), server.port(), QStringLiteral("bob"), QStringLiteral("pw"));
    }

    // SIZE answers `reply`, but right after a STOR the size stored (the
    // upload's own check of it).
    void sizeAnswersBeforeStore(const QByteArray &reply)
    {
        server.on("SIZE", [this, reply](const QByteArray &) {
            const QList<QByteArray> sent = server.commands();
            const bool afterStore = sent.size() >= 2 && sent[sent.size() - 2].startsWith("STOR");
            const QByteArray text = afterStore ? "213 " + QByteArray::number(server.storedData().size()) : reply;
            return ScriptedFtpServer::Reply{{text + "\r\n", 0}};
        });
    }

    // How many commands the server received that start with prefix.
    int sentCount(const QByteArray &prefix) const { return server.commandCount(prefix); }

    ScriptedFtpServer server;
    QTemporaryDir local;
    ManualEngineTimer *timer = new ManualEngineTimer;
    FtpCommander engine{nullptr, timer};
    EngineRecorder recorder{engine};
};

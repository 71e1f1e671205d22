#pragma once

#include <QString>

// What the user-command runner needs of a server slot's browsing connection.
class CustomCommandEngine
{
public:
    virtual ~CustomCommandEngine() = default;

    virtual bool SessionActive() const = 0;
    virtual bool isBusy() const = 0;
    // Sends one raw command; the reply rule judges its replies.
    virtual void FTP_CUSTOM_COMMAND(const QString &command, const QString &statusText, const QString &replyRule) = 0;
};

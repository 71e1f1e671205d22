#pragma once

#include "CustomCommandEngine.h"

#include <QPointer>

class FtpCommander;

// A browsing connection as the user-command runner sees it.
class FtpCommanderCommandTarget final : public CustomCommandEngine
{
public:
    explicit FtpCommanderCommandTarget(FtpCommander *engine);

    bool SessionActive() const override;
    bool isBusy() const override;
    void FTP_CUSTOM_COMMAND(const QString &command, const QString &statusText, const QString &replyRule) override;

private:
    QPointer<FtpCommander> m_engine;
};

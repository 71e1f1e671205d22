#include "FtpCommanderCommandTarget.h"

#include "FtpCommander.h"

FtpCommanderCommandTarget::FtpCommanderCommandTarget(FtpCommander *engine)
    : m_engine(engine)
{
}

bool FtpCommanderCommandTarget::SessionActive() const
{
    return m_engine && m_engine->SessionActive();
}

bool FtpCommanderCommandTarget::isBusy() const
{
    return m_engine && m_engine->isBusy();
}

void FtpCommanderCommandTarget::FTP_CUSTOM_COMMAND(const QString &command, const QString &statusText,
                                                   const QString &replyRule)
{
    if (m_engine)
        m_engine->FTP_CUSTOM_COMMAND(command, statusText, replyRule);
}

#include "FtpCommanderBatchEngine.h"

#include "FtpCommander.h"

FtpCommanderBatchEngine::FtpCommanderBatchEngine(FtpCommander *engine)
    : m_engine(engine)
{
}

bool FtpCommanderBatchEngine::SessionActive() const { return m_engine && m_engine->SessionActive(); }
bool FtpCommanderBatchEngine::isBusy() const { return m_engine && m_engine->isBusy(); }
QString FtpCommanderBatchEngine::RemotePath() const { return m_engine ? m_engine->RemotePath() : QString(); }
QString FtpCommanderBatchEngine::RemoteFilePath() const { return m_engine ? m_engine->RemoteFilePath() : QString(); }
QString FtpCommanderBatchEngine::ServerUrl() const { return m_engine ? m_engine->ServerUrl() : QString(); }
QString FtpCommanderBatchEngine::getListData() const { return m_engine ? m_engine->getListData() : QString(); }
bool FtpCommanderBatchEngine::ListingUnread() const { return m_engine && m_engine->ListingUnread(); }

void FtpCommanderBatchEngine::FTP_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size,
                                            bool confirmOverwrite)
{
    if (m_engine)
        m_engine->FTP_SEND_FILE(localFile, remoteFile, size, confirmOverwrite);
}

void FtpCommanderBatchEngine::FTP_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size)
{
    if (m_engine)
        m_engine->FTP_GET_FILE(remoteFile, localFile, size, false);
}

void FtpCommanderBatchEngine::FTP_DEL_FILE(const QString &path)
{
    if (m_engine)
        m_engine->FTP_DEL_FILE(path);
}

void FtpCommanderBatchEngine::FTP_DEL_DIR(const QString &path)
{
    if (m_engine)
        m_engine->FTP_DEL_DIR(path);
}

void FtpCommanderBatchEngine::FTP_MAKE_DIR(const QString &path)
{
    if (m_engine)
        m_engine->FTP_MAKE_DIR(path);
}

void FtpCommanderBatchEngine::FTP_CHG_DIR(const QString &path)
{
    if (m_engine)
        m_engine->FTP_CHG_DIR(path);
}

void FtpCommanderBatchEngine::FTP_LIST_DIR()
{
    // The batch lists only to walk folders: an empty listing is checked before it is taken for an empty folder.
    if (m_engine)
        m_engine->FTP_LIST_DIR(FtpCommander::EmptyListing::AskWhetherRead);
}

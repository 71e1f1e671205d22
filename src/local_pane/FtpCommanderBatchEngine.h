#pragma once

#include "BatchEngine.h"

#include <QPointer>

class FtpCommander;

// A browsing connection's engine as the batch runner drives it.
class FtpCommanderBatchEngine final : public BatchEngine
{
public:
    explicit FtpCommanderBatchEngine(FtpCommander *engine);

    bool SessionActive() const override;
    bool isBusy() const override;
    QString RemotePath() const override;
    QString RemoteFilePath() const override;
    QString ServerUrl() const override;
    QString getListData() const override;
    bool ListingUnread() const override;

    void FTP_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size, bool confirmOverwrite) override;
    void FTP_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size) override;
    void FTP_DEL_FILE(const QString &path) override;
    void FTP_DEL_DIR(const QString &path) override;
    void FTP_MAKE_DIR(const QString &path) override;
    void FTP_CHG_DIR(const QString &path) override;
    void FTP_LIST_DIR() override;

private:
    QPointer<FtpCommander> m_engine;
};

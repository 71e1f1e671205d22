#pragma once

#include <QString>

// What the batch runner needs of a browsing connection. The program hands it
// the slot's FtpCommander; tests hand a stand-in that may end an operation
// inside its call.
class BatchEngine
{
public:
    virtual ~BatchEngine() = default;

    virtual bool SessionActive() const = 0;
    virtual bool isBusy() const = 0;
    virtual QString RemotePath() const = 0;
    virtual QString RemoteFilePath() const = 0;
    virtual QString ServerUrl() const = 0;
    // The last listing the connection fetched.
    virtual QString getListData() const = 0;
    // The last listing brought nothing and the server said it could not read the folder.
    virtual bool ListingUnread() const = 0;

    virtual void FTP_SEND_FILE(const QString &localFile, const QString &remoteFile, qint64 size, bool confirmOverwrite) = 0;
    virtual void FTP_GET_FILE(const QString &remoteFile, const QString &localFile, qint64 size) = 0;
    virtual void FTP_DEL_FILE(const QString &path) = 0;
    virtual void FTP_DEL_DIR(const QString &path) = 0;
    virtual void FTP_MAKE_DIR(const QString &path) = 0;
    virtual void FTP_CHG_DIR(const QString &path) = 0;
    virtual void FTP_LIST_DIR() = 0;
};

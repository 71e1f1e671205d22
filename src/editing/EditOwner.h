#pragma once

#include <QIcon>
#include <QString>

// What the quick editor asks of the window that opened it.
class EditOwner
{
public:
    virtual ~EditOwner() = default;

    // Sends the saved copy back to the server (at once or as a job). False
    // when it could not be handed over; the editor then stays open.
    [[nodiscard]] virtual bool RequestUpload(qint16 serverSlot, const QString &profileName,
                                             const QString &localFilePath, const QString &remoteFilePath,
                                             const QString &editTaskId) = 0;
    // The hand-over started a send whose end is still to come: the editor
    // waits for it (FrmEdit::UploadEnded) before it closes.
    virtual bool UploadUnderway(const QString &) const { return false; }
    // The editor closed without uploading: the pending edit is dropped.
    virtual void DiscardEditFile(const QString &editTaskId) = 0;
    // The picture shown beside the file's remote location.
    virtual QIcon EditorPicture() const { return {}; }
};

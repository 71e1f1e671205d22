#pragma once

#include "BatchAnswers.h"
#include "ModalHolders.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

// The overwrite questions of the main window: whether an upload replaces a
// remote file, whether a download replaces a local one, and the answer a
// browsing connection's upload gets. "For all" answers go into the shared
// run flags; the modal state is held while a question is up.
class OverwriteQuestions
{
public:
    OverwriteQuestions(BatchAnswers &answers, ModalHolders &modal, QWidget *owner);

    // Countdown of the dialog (tests shorten it).
    void SetCountdown(int start, int tickMs)
    {
        m_countdownStart = start;
        m_tickMs = tickMs;
    }
    // The pictures of an upload and of a download question.
    void SetPictures(const QPixmap &upload, const QPixmap &download)
    {
        m_upPicture = upload;
        m_downPicture = download;
    }

    // True to overwrite the remote file `name`; "Overwrite All" and "Skip All" set the upload flags.
    bool ConfirmFtpOverwrite(const QString &name);
    // True to overwrite the remote file `name` with a single copy: the "for
    // all" answers are neither read nor set (they belong to a batch's run).
    // False at once while another overwrite question is open.
    bool ConfirmCopyOverwrite(const QString &name);
    // True to overwrite the local file `path`; sets the download flags.
    bool ConfirmLocalOverwrite(const QString &path);
    // The engine's upload question (connected directly): 1 send, 0 skip, -1
    // ask again later (another slot's question is open).
    void ValidateUploadOverwrite(int &answer, const QString &remoteFile);

    bool OverwriteQuestionOpen() const { return m_answers.OverwriteQuestionOpen; }
    BatchAnswers &Answers() { return m_answers; }

private:
    // The dialog's answer code, "" when it was closed.
    QString ask(const QString &name, bool upload);

    BatchAnswers &m_answers;
    ModalHolders &m_modal;
    QPointer<QWidget> m_owner;
    int m_countdownStart;
    int m_tickMs;
    QPixmap m_upPicture;
    QPixmap m_downPicture;
};

#include "OverwriteQuestions.h"

#include "ErrorLog.h"
#include "frmOverwrite.h"

namespace {
const QString kObject = QStringLiteral("frmZAVUde");
}

OverwriteQuestions::OverwriteQuestions(BatchAnswers &answers, ModalHolders &modal, QWidget *owner)
    : m_answers(answers), m_modal(modal), m_owner(owner), m_countdownStart(frmOverwrite::kCountdownStart),
      m_tickMs(frmOverwrite::kTickMs)
{
}

QString OverwriteQuestions::ask(const QString &name, bool upload)
{
    ModalHolders::Hold hold = m_modal.Take();
    // Every question holds the guard while it is up: a job's question waits and comes after it.
    OverwriteQuestionHold question(m_answers);
    frmOverwrite dialog(m_owner, m_countdownStart, m_tickMs);
    dialog.SetImage(upload ? m_upPicture : m_downPicture);
    dialog.SetFileName(name);
    dialog.exec();
    return dialog.Tag();
}

bool OverwriteQuestions::ConfirmFtpOverwrite(const QString &name)
{
    try {
        const QString tag = ask(name, true);
        if (tag == QLatin1String("*"))
            m_answers.UploadOverwriteAll = true;
        else if (tag == QLatin1String("-*"))
            m_answers.UploadSkipAll = true;
        return tag == QLatin1String("1") || tag == QLatin1String("*");
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ConfirmFtpOverwrite"));
        return false;
    }
}

bool OverwriteQuestions::ConfirmCopyOverwrite(const QString &name)
{
    try {
        if (m_answers.OverwriteQuestionOpen)
            return false;
        const QString tag = ask(name, true);
        return tag == QLatin1String("1") || tag == QLatin1String("*");
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ConfirmCopyOverwrite"));
        return false;
    }
}

bool OverwriteQuestions::ConfirmLocalOverwrite(const QString &path)
{
    try {
        const QString tag = ask(path, false);
        if (tag == QLatin1String("*"))
            m_answers.DownloadOverwriteAll = true;
        else if (tag == QLatin1String("-*"))
            m_answers.DownloadSkipAll = true;
        return tag == QLatin1String("1") || tag == QLatin1String("*");
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("ConfirmLocalOverwrite"));
        return false;
    }
}

void OverwriteQuestions::ValidateUploadOverwrite(int &answer, const QString &remoteFile)
{
    try {
        if (m_answers.OverwriteQuestionOpen) {
            answer = -1;
            return;
        }
        // Cleared however the question ends.
        OverwriteQuestionHold question(m_answers);
        if (m_answers.UploadOverwriteAll)
            answer = 1;
        else if (m_answers.UploadSkipAll)
            answer = 0;
        else
            answer = ConfirmFtpOverwrite(remoteFile) ? 1 : 0;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FtpCmd_ValidateUploadOverwrite"));
        answer = 0;
    }
}

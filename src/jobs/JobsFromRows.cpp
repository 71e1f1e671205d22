#include "JobsFromRows.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "JobIntake.h"
#include "Prompts.h"
#include "SaveTasks.h"

#include <QFileInfo>

JobsFromRows::JobsFromRows(QString jobsFolder) : m_jobsFolder(std::move(jobsFolder)) {}

JobsFromRows::Result JobsFromRows::Deliver(QWidget *parent, JobIntake *intake, bool saveToFile,
                                           const Compose &compose)
{
    Result result;
    const bool append = !m_jobFile.isEmpty();
    if (saveToFile && !append) {
        const QString chosen = AskJobFileName(parent, m_jobsFolder);
        if (chosen.isEmpty()) {
            result.cancelled = true;
            return result;
        }
        m_jobFile = chosen;
    }

    const std::vector<FtpTaskCollection::Job> candidates = compose();
    result.made = static_cast<int>(candidates.size());
    if (result.made < 1) {
        ShowMessage(parent, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("No job was created! Folders are not added to job list."));
        return result;
    }

    FtpTaskCollection batch;
    for (const auto &job : candidates) {
        if (job && m_made.AddFtpTask(job))
            batch.AddFtpTask(job);
        else
            ++result.discarded;
    }

    if (batch.Count() > 0) {
        const QString count = QString::number(result.made - result.discarded);
        if (saveToFile) {
            if (SaveTasks(m_jobFile, batch, append, true, {}, parent)) {
                result.delivered = batch.Count();
                result.panelText = count + QStringLiteral(" Jobs were saved to '") +
                                   QFileInfo(m_jobFile).fileName() + QStringLiteral("' .");
            } else {
                // Nothing was saved: the rows may be made into jobs again.
                result.saveFailed = true;
                for (const auto &job : batch)
                    m_made.Remove(job->ZavUdeID());
                const QString name = m_jobFile;
                if (!append)
                    m_jobFile.clear();
                ShowMessage(parent, PromptIcon::Critical, PromptButtons::Ok, AppTitle(),
                            QStringLiteral("The jobs could not be saved to '") + name + QStringLiteral("'."));
            }
        } else if (intake) {
            intake->AcceptJobs(batch, true);
            result.delivered = batch.Count();
            result.panelText = count + QStringLiteral(" Jobs were added to job list.");
        }
    }

    if (result.discarded > 0)
        ShowMessage(parent, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                    QString::number(result.discarded) +
                        QStringLiteral(" Jobs were discarded as they would create duplicate entries !"));
    return result;
}

#include "JobsFromRows.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "JobIntake.h"
#include "Prompts.h"
#include "SaveTasks.h"

#include <QFileInfo>
#include <QSet>
#include <QStringList>

namespace {

const QString kSameTarget = QStringLiteral("another job writes a file of the same name to the same place.");

} // namespace

JobsFromRows::JobsFromRows(QString jobsFolder) : m_jobsFolder(std::move(jobsFolder)) {}

void JobsFromRows::RefuseRow(const QString &reason)
{
    for (auto &[text, count] : m_refusals) {
        if (text == reason) {
            ++count;
            return;
        }
    }
    m_refusals.emplace_back(reason, 1);
}

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

    m_refusals.clear();
    const std::vector<FtpTaskCollection::Job> candidates = compose();
    result.made = static_cast<int>(candidates.size());
    auto summary = [&] {
        QStringList lines;
        if (result.discarded > 0)
            lines << QString::number(result.discarded)
                         + QStringLiteral(" Jobs were discarded as they would create duplicate entries !");
        for (const auto &[reason, count] : m_refusals)
            lines << QString::number(count) + QStringLiteral(" Jobs were refused: ") + reason;
        return lines.join(QStringLiteral("\r\n"));
    };
    if (result.made < 1) {
        const QString refusals = summary();
        ShowMessage(parent, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("No job was created! Folders are not added to job list.")
                        + (refusals.isEmpty() ? QString() : QStringLiteral("\r\n") + refusals));
        return result;
    }

    QSet<QString> targets;
    for (const auto &made : m_made)
        targets.insert(JobTargetKey(*made));
    FtpTaskCollection batch;
    for (const auto &job : candidates) {
        if (!job || m_made.ContainsKey(job->ZavUdeID())) {
            ++result.discarded;
        } else if (targets.contains(JobTargetKey(*job))) {
            // Both would end "Completed" with one of the two files lost.
            RefuseRow(kSameTarget);
        } else if (m_made.AddFtpTask(job)) {
            targets.insert(JobTargetKey(*job));
            batch.AddFtpTask(job);
        } else {
            ++result.discarded;
        }
    }
    for (const auto &refusal : m_refusals)
        result.refused += refusal.second;

    if (batch.Count() > 0) {
        const QString count = QString::number(batch.Count());
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

    if (const QString lines = summary(); !lines.isEmpty())
        ShowMessage(parent, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(), lines);
    return result;
}

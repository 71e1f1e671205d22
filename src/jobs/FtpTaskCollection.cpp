#include "FtpTaskCollection.h"

#include "ErrorLog.h"

namespace {
const QString kObject = QStringLiteral("FtpTaskCollection");
}

FtpTaskCollection::FtpTaskCollection(Counting counting)
    : m_statusCounts(counting == Counting::Statuses ? std::make_shared<JobStatusCounts>() : nullptr)
{
}

bool FtpTaskCollection::AddFtpTask(const Job &job)
{
    if (!job)
        return false;
    const QString key = Folded(job->ZavUdeID());
    if (key.isEmpty() || m_index.contains(key))
        return false;
    m_jobs.push_back(job);
    m_index.insert(key, std::prev(m_jobs.end()));
    job->setReopenCount(m_reopened);
    if (m_statusCounts) {
        if (const auto &before = job->StatusCounts(); before && before != m_statusCounts)
            before->Count(job->Status(), -1);
        if (job->StatusCounts() != m_statusCounts)
            m_statusCounts->Count(job->Status(), 1);
        job->setStatusCounts(m_statusCounts);
    }
    return true;
}

const JobStatusCounts &FtpTaskCollection::StatusCounts() const
{
    static const JobStatusCounts none;
    return m_statusCounts ? *m_statusCounts : none;
}

void FtpTaskCollection::uncount(const Job &job)
{
    if (m_statusCounts && job->StatusCounts() == m_statusCounts) {
        m_statusCounts->Count(job->Status(), -1);
        job->setStatusCounts(nullptr);
    }
}

FtpTaskCollection::const_iterator FtpTaskCollection::Position(const Job &job) const
{
    if (!job)
        return m_jobs.end();
    const auto found = m_index.constFind(Folded(job->ZavUdeID()));
    if (found == m_index.cend() || *found.value() != job)
        return m_jobs.end();
    return found.value();
}

FtpTaskCollection::Job FtpTaskCollection::Item(const QString &key) const
{
    Job job = Find(key);
    if (!job)
        LogErrorToFile(kObject, QStringLiteral("Item"), ErrorNumber::InvalidProcedureCall,
                       QStringLiteral("Invalid procedure call or argument"));
    return job;
}

FtpTaskCollection::Job FtpTaskCollection::Find(const QString &key) const
{
    const auto found = m_index.constFind(Folded(key));
    return found == m_index.constEnd() ? Job() : *found.value();
}

bool FtpTaskCollection::ContainsKey(const QString &key) const
{
    return m_index.contains(Folded(key));
}

void FtpTaskCollection::Remove(const QString &key)
{
    const auto found = m_index.find(Folded(key));
    if (found == m_index.end()) {
        LogErrorToFile(kObject, QStringLiteral("Remove"), ErrorNumber::InvalidProcedureCall,
                       QStringLiteral("Invalid procedure call or argument"));
        return;
    }
    uncount(*found.value());
    m_jobs.erase(found.value());
    m_index.erase(found);
    ++*m_reopened;
}

int FtpTaskCollection::RemoveIf(const std::function<bool(const FtpTask &)> &pick)
{
    int removed = 0;
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (pick(**it)) {
            uncount(*it);
            m_index.remove(Folded((*it)->ZavUdeID()));
            it = m_jobs.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    if (removed > 0)
        ++*m_reopened;
    return removed;
}

void FtpTaskCollection::Clear()
{
    for (const Job &job : m_jobs)
        uncount(job);
    m_jobs.clear();
    m_index.clear();
    ++*m_reopened;
}

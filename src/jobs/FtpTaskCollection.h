#pragma once

#include "FtpTask.h"

#include <QHash>
#include <QString>

#include <functional>
#include <list>
#include <memory>

// Jobs keyed by `ZavUdeID` (letter case ignored), in the order they were
// added; a key already present is refused. The jobs are shared with whoever
// else holds them.
class FtpTaskCollection
{
public:
    using Job = std::shared_ptr<FtpTask>;
    using const_iterator = std::list<Job>::const_iterator;

    // A collection that counts its jobs' statuses (the job queue) keeps the
    // counts as jobs come, go and change state. A job counts in the counting
    // collection it was added to last.
    enum class Counting { Off, Statuses };
    explicit FtpTaskCollection(Counting counting = Counting::Off);

    // Adds the job under its key unless the key is empty or present already.
    bool AddFtpTask(const Job &job);
    // The job under the key; nothing (and an error-log line) when absent.
    Job Item(const QString &key) const;
    // Nothing happens (and an error-log line is written) when the key is absent.
    void Remove(const QString &key);
    // Removes every job the predicate picks, in one pass; returns how many.
    int RemoveIf(const std::function<bool(const FtpTask &)> &pick);
    int Count() const { return static_cast<int>(m_jobs.size()); }
    bool ContainsKey(const QString &key) const;
    // The job under the key, or nothing; writes no log line.
    Job Find(const QString &key) const;
    void Clear();

    const_iterator begin() const { return m_jobs.begin(); }
    const_iterator end() const { return m_jobs.end(); }
    // Where the job stands, or end() when it is not in this collection.
    const_iterator Position(const Job &job) const;
    // Grows whenever a job of the collection starts waiting for a connection
    // again (Start, Resume, a job sent again) or jobs leave it: a place found
    // in the queue before is then no longer sure.
    quint64 Reopened() const { return *m_reopened; }
    // Running, completed and failed jobs of a counting collection; all 0 in any other.
    const JobStatusCounts &StatusCounts() const;

private:
    static QString Folded(const QString &key) { return key.toLower(); }
    // The job leaves this collection's counts (when it counts there).
    void uncount(const Job &job);

    std::list<Job> m_jobs;
    std::shared_ptr<quint64> m_reopened = std::make_shared<quint64>(0);
    std::shared_ptr<JobStatusCounts> m_statusCounts; // none unless counting
    QHash<QString, std::list<Job>::iterator> m_index;
};

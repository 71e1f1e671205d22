#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// An ordered list of folder paths in which each path appears once, with a
// read position: the folders to create before an upload, and the folders a
// breadth-first walk still has to visit. Paths are compared exactly: "Photos"
// and "photos" are two folders on Linux and on most servers.
//
// Taking a path moves the read position on but keeps the path listed, so a
// folder reached again later (a link back up the tree) is not queued twice.
class FolderQueue
{
public:
    // Appends `path` unless it was queued already; true when it was added.
    bool Add(const QString &path);
    bool Contains(const QString &path) const { return m_known.contains(path); }

    // The next path not yet taken, or "" when none is left.
    QString TakeFirst();
    bool HasPending() const { return m_next < m_paths.size(); }
    qsizetype Pending() const { return m_paths.size() - m_next; }
    // Position of the next path to take (the number taken so far).
    qsizetype Position() const { return m_next; }

    void Clear();
    // Every path queued since the last Clear, taken or not, in queue order.
    qsizetype Size() const { return m_paths.size(); }
    bool IsEmpty() const { return m_paths.isEmpty(); }
    const QString &At(qsizetype index) const { return m_paths.at(index); }
    const QStringList &Paths() const { return m_paths; }

    QStringList::const_iterator begin() const { return m_paths.cbegin(); }
    QStringList::const_iterator end() const { return m_paths.cend(); }

private:
    QStringList m_paths;
    QSet<QString> m_known;
    qsizetype m_next = 0;
};

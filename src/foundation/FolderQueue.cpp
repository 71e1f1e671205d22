#include "FolderQueue.h"

bool FolderQueue::Add(const QString &path)
{
    if (m_known.contains(path))
        return false;
    m_known.insert(path);
    m_paths.append(path);
    return true;
}

QString FolderQueue::TakeFirst()
{
    if (!HasPending())
        return {};
    return m_paths.at(m_next++);
}

void FolderQueue::Clear()
{
    m_paths.clear();
    m_known.clear();
    m_next = 0;
}

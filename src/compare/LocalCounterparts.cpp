#include "LocalCounterparts.h"

#include "Paths.h"

QString LocalCounterparts::Join(const QString &secondFolder, const QString &name) const
{
    return JoinLocalPath(secondFolder, name);
}

void LocalCounterparts::EnterFolder(const QString &secondFolder) { EnterReadFolder(ReadLocalFolder(secondFolder)); }

void LocalCounterparts::EnterReadFolder(LocalFolderContents contents)
{
    m_entries.clear();
    m_entries.reserve(static_cast<qsizetype>(contents.Folders.size() + contents.Files.size()));
    for (LocalEntry &entry : contents.Folders)
        m_entries.insert(entry.Name, std::move(entry));
    for (LocalEntry &entry : contents.Files)
        m_entries.insert(entry.Name, std::move(entry));
}

bool LocalCounterparts::HasFolder(const QString &name) const
{
    const auto it = m_entries.constFind(name);
    return it != m_entries.cend() && it->IsFolder;
}

Counterpart LocalCounterparts::File(const QString &name, qint64 firstModifiedSecs) const
{
    Counterpart found;
    const auto it = m_entries.constFind(name);
    if (it == m_entries.cend() || it->IsFolder)
        return found;
    found.Exists = true;
    found.Size = it->Size;
    found.TimesEqual = it->ModifiedSecs == firstModifiedSecs;
    found.HasSecs = true;
    found.ModifiedSecs = it->ModifiedSecs;
    return found;
}

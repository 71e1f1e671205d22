#include "RemoteCounterparts.h"

#include "CompareRules.h"
#include "Paths.h"

#include <QDateTime>

QString RemoteCounterparts::Join(const QString &secondFolder, const QString &name) const
{
    return JoinRemotePath(secondFolder, name);
}

void RemoteCounterparts::EnterFolder(const QString &secondFolder)
{
    m_files.clear();
    m_folders.clear();
    m_folder = secondFolder;
    m_items = m_listings.Find(secondFolder);
    if (!m_items)
        return;
    for (qsizetype i = 0; i < m_items->size(); ++i) {
        const FtpFileItem &item = m_items->at(i);
        QHash<QString, qsizetype> &names = item.IsFolder ? m_folders : m_files;
        const QString folded = item.Name.toCaseFolded();
        if (!names.contains(folded))
            names.insert(folded, i);
    }
}

bool RemoteCounterparts::HasFolder(const QString &name) const
{
    if (m_folders.contains(name.toCaseFolded()))
        return true;
    // Servers leave dot folders out of a plain listing; one the walk entered by its name is there all the same.
    const QString path = Join(m_folder, name);
    return m_listings.Find(path) || m_listings.IsUnknown(path);
}

const FtpFileItem *RemoteCounterparts::FileItem(const QString &name) const
{
    const auto it = m_files.constFind(name.toCaseFolded());
    return it == m_files.cend() ? nullptr : &m_items->at(it.value());
}

Counterpart RemoteCounterparts::File(const QString &name, qint64 firstModifiedSecs) const
{
    Counterpart found;
    const FtpFileItem *listed = FileItem(name);
    if (!listed)
        return found;
    const FtpFileItem &item = *listed;
    found.Exists = true;
    found.Size = item.Size;
    // The listing's time against the local time as it stands: no zone, no tolerance.
    const CompareRules::TimeTexts::Listing &remote = m_times.FromListing(item.DateText);
    if (remote.When) {
        const QDateTime &local = m_times.LocalTime(firstModifiedSecs);
        found.TimesEqual = remote.When->date() == local.date() && remote.When->time() == local.time();
    }
    found.TimeText = remote.Text;
    return found;
}

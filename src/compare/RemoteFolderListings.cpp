#include "RemoteFolderListings.h"

#include "RemoteFolderWalk.h"

bool RemoteFolderListings::IsUnknown(const QString &path) const
{
    for (const QString &unlisted : m_unlisted) {
        if (RemoteComparePaths::RelativePart(unlisted, path))
            return true;
    }
    return false;
}

namespace RemoteComparePaths {

QString NormalisedBase(const QString &typed) { return RemoteFolderWalk::NormalisedFolder(typed); }

std::optional<QString> RelativePart(const QString &base, const QString &path)
{
    if (path == base)
        return QString();
    if (base == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/')) ? std::optional<QString>(path.mid(1)) : std::nullopt;
    if (path.size() > base.size() && path.startsWith(base) && path.at(base.size()) == QLatin1Char('/'))
        return path.mid(base.size() + 1);
    return std::nullopt;
}

bool IsUsablePath(const QString &path) { return RemoteFolderWalk::IsUsablePath(path); }

} // namespace RemoteComparePaths

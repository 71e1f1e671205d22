#include "RemoteFolderListings.h"

namespace RemoteComparePaths {

QString NormalisedBase(const QString &typed)
{
    QString path = typed.trimmed();
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

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

bool IsUsablePath(const QString &path)
{
    for (const QChar c : path) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return false;
    }
    return path.toUtf8().size() <= kMaxPathBytes;
}

} // namespace RemoteComparePaths

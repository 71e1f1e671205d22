#pragma once

#include "FtpFileItem.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The parsed listings an FTP side's walk read, by remote folder path, so a
// comparison after the walk parses no listing twice and sends nothing.
class RemoteFolderListings
{
public:
    void Clear()
    {
        m_folders.clear();
        m_unlisted.clear();
    }
    void Store(const QString &path, QList<FtpFileItem> items) { m_folders.insert(path, std::move(items)); }
    // Adds an entry to a kept listing (a folder the listing left out); nothing when `path` has none.
    void AddEntry(const QString &path, const FtpFileItem &item)
    {
        const auto it = m_folders.find(path);
        if (it != m_folders.end())
            it->append(item);
    }
    // A folder the walk entered but could not list: what it holds is unknown.
    void MarkUnlisted(const QString &path) { m_unlisted.append(path); }
    // Whether `path` is such a folder or lies below one (the walk never saw inside).
    bool IsUnknown(const QString &path) const;
    // The folder's entries, or none when the walk did not list it.
    const QList<FtpFileItem> *Find(const QString &path) const
    {
        const auto it = m_folders.constFind(path);
        return it == m_folders.cend() ? nullptr : &it.value();
    }
    qsizetype Size() const { return m_folders.size(); }

private:
    QHash<QString, QList<FtpFileItem>> m_folders;
    QList<QString> m_unlisted;
};

// Remote paths of the comparisons.
namespace RemoteComparePaths {

constexpr qsizetype kMaxPathBytes = 4096;

// A typed remote folder with every "//" collapsed and a trailing "/" dropped; "/" when empty.
QString NormalisedBase(const QString &typed);
// The part of `path` below `base`, matched as whole leading elements: "" for the
// base itself, none when the path is not below it.
std::optional<QString> RelativePart(const QString &base, const QString &path);
// Whether a path may be queued or sent: no CR, LF or NUL, at most 4096 bytes.
bool IsUsablePath(const QString &path);

} // namespace RemoteComparePaths

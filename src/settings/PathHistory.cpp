#include "PathHistory.h"

#include "DataRoot.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

const QChar kSeparator = QChar(1);

// Blanks only, as the files were always trimmed.
QString trimBlanks(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == QLatin1Char(' '))
        ++start;
    while (end > start && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

bool sameOwner(const QString &lineKey, const QString &ownerKey)
{
    return QString::compare(trimBlanks(lineKey), trimBlanks(ownerKey), Qt::CaseInsensitive) == 0;
}

struct Unreadable {};

// The file's bytes; nothing when it does not exist. Throws Unreadable when it
// exists but cannot be read, so no save rewrites what it could not read.
std::optional<QByteArray> readHistoryBytes(const QString &path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    auto bytes = StoredFile::ReadAll(path);
    if (!bytes)
        throw Unreadable{};
    return bytes;
}

// The (owner, path) entries of the well-formed lines, in file order.
PathHistoryList parseHistory(const QByteArray &bytes)
{
    PathHistoryList entries;
    for (const QString &rawLine : TextCodec::DecodeLines(bytes)) {
        const QString line = trimBlanks(rawLine);
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(kSeparator);
        if (parts.size() == 2)
            entries.append({parts[0], parts[1]});
    }
    return entries;
}

// The entries of a history file; nothing when the file does not exist.
std::optional<PathHistoryList> readHistoryFile(const QString &path)
{
    const auto bytes = readHistoryBytes(path);
    if (!bytes)
        return std::nullopt;
    return parseHistory(*bytes);
}

// A name holding a line break or the separator would split into other lines
// or fields (folder names from servers can hold anything but "/" and NUL).
bool storableText(const QString &text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) && !text.contains(kSeparator);
}

// The stored line of an entry; empty when the entry cannot be stored.
QByteArray historyLine(const PathHistoryEntry &entry)
{
    if (!storableText(entry.OwnerKey) || !storableText(entry.Path))
        return {};
    return TextCodec::Encode(trimBlanks(entry.OwnerKey) + kSeparator + trimBlanks(entry.Path)) + "\r\n";
}

bool writeHistoryFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return StoredFile::WriteAtomically(path, data);
}

// The lines of one owner (or all owners) whose path is not blank.
void loadOwnerEntries(const QString &file, PathHistoryList &list, const QString &ownerKey, bool allOwners)
{
    const auto entries = readHistoryFile(file);
    if (!entries)
        return;
    list = EmptyPathHistory();
    qsizetype count = 0;
    for (const PathHistoryEntry &entry : *entries) {
        if (!allOwners && !sameOwner(entry.OwnerKey, ownerKey))
            continue;
        if (trimBlanks(entry.Path).isEmpty())
            continue;
        if (count == 0)
            list[0] = entry;
        else
            list.append(entry);
        ++count;
    }
}

} // namespace

QString LocalPathHistoryFile() { return DataRoot::SystemFolder() + QStringLiteral("/paths.txt"); }

QString RemotePathHistoryFile() { return DataRoot::SystemFolder() + QStringLiteral("/remote_paths.txt"); }

void UniqueStringArray(PathHistoryList &list, bool removeDuplicates, bool sortByOwner, bool ownerInDuplicateTest)
{
    try {
        if (list.size() <= 1)
            return;
        PathHistoryList sorted = list;
        // Stable sorts: by path, then by owner keeping path order within an owner.
        std::stable_sort(sorted.begin(), sorted.end(), [](const PathHistoryEntry &a, const PathHistoryEntry &b) {
            return QString::compare(a.Path, b.Path, Qt::CaseSensitive) < 0;
        });
        if (sortByOwner) {
            std::stable_sort(sorted.begin(), sorted.end(), [](const PathHistoryEntry &a, const PathHistoryEntry &b) {
                return QString::compare(a.OwnerKey, b.OwnerKey, Qt::CaseSensitive) < 0;
            });
        }
        if (!removeDuplicates) {
            list = sorted;
            return;
        }
        PathHistoryList result;
        PathHistoryEntry previous;
        for (const PathHistoryEntry &entry : sorted) {
            const bool differs = entry.Path != previous.Path || (ownerInDuplicateTest && entry.OwnerKey != previous.OwnerKey);
            if (differs) {
                result.append(entry);
                previous = entry;
            }
        }
        list = result.isEmpty() ? EmptyPathHistory() : result;
    } catch (...) {
        // left as it was
    }
}

void LoadLocalPathHistory(PathHistoryList &list, const QString &ownerKey, bool allOwners)
{
    try {
        if (!QFileInfo(LocalPathHistoryFile()).isFile())
            return;
        loadOwnerEntries(LocalPathHistoryFile(), list, ownerKey, allOwners);
        UniqueStringArray(list, true, !allOwners, !allOwners);
    } catch (...) {
    }
}

void LoadRemotePathHistory(const QString &ownerKey, PathHistoryList &list)
{
    try {
        if (!QFileInfo(RemotePathHistoryFile()).isFile())
            return;
        loadOwnerEntries(RemotePathHistoryFile(), list, ownerKey, false);
        UniqueStringArray(list, false, false, false);
    } catch (...) {
    }
}

void SaveLocalPathHistory(const QString &ownerKey, PathHistoryList &list)
{
    try {
        UniqueStringArray(list, true, true, true);
        PathHistoryList working;
        if (const auto lines = readHistoryFile(LocalPathHistoryFile())) {
            for (const PathHistoryEntry &line : *lines) {
                if (trimBlanks(ownerKey).isEmpty() || !sameOwner(line.OwnerKey, ownerKey))
                    working.append(line);
            }
        }
        working.append(list);
        UniqueStringArray(working, true, true, true);
        QByteArray data;
        for (const PathHistoryEntry &entry : working) {
            if (!trimBlanks(entry.Path).isEmpty())
                data += historyLine(entry);
        }
        (void)writeHistoryFile(LocalPathHistoryFile(), data);
    } catch (...) {
    }
}

void SaveRemotePathHistory(const QString &ownerKey, PathHistoryList &list)
{
    try {
        UniqueStringArray(list, false, true, true);
        auto storable = [](const PathHistoryEntry &entry) {
            return !trimBlanks(entry.OwnerKey).isEmpty() && !trimBlanks(entry.Path).isEmpty();
        };
        bool ownerAbsent = true;
        PathHistoryList others;
        const QString file = RemotePathHistoryFile();
        const QByteArray existing = readHistoryBytes(file).value_or(QByteArray());
        for (const PathHistoryEntry &line : parseHistory(existing)) {
            if (sameOwner(line.OwnerKey, ownerKey))
                ownerAbsent = false;
            else
                others.append(line);
        }
        QByteArray ours;
        for (const PathHistoryEntry &entry : list) {
            if (storable(entry))
                ours += historyLine(entry);
        }
        if (ownerAbsent) {
            // Append: the other owners' lines stay exactly as they were.
            if (ours.isEmpty())
                return;
            QByteArray data = existing;
            if (!data.isEmpty() && !data.endsWith('\n') && !data.endsWith('\r'))
                data += "\r\n";
            (void)writeHistoryFile(file, data + ours);
            return;
        }
        QByteArray data = ours;
        for (const PathHistoryEntry &line : others) {
            if (storable(line))
                data += historyLine(line);
        }
        (void)writeHistoryFile(file, data);
    } catch (...) {
    }
}

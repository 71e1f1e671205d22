#include "FileHandlerCollection.h"

#include "ErrorLog.h"

namespace {

constexpr long kKeyAlreadyPresent = 457;

[[noreturn]] void ThrowMissing()
{
    throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"),
                       QStringLiteral("FileHAndlerCollection"));
}

} // namespace

int FileHandlerCollection::IndexOf(const QString &key) const
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].key == key)
            return static_cast<int>(i);
    }
    return -1;
}

int FileHandlerCollection::CheckedIndex(int index) const
{
    if (index < 1 || index > Count())
        ThrowMissing();
    return index - 1;
}

bool FileHandlerCollection::AddFileHandler(const FileHandler &handler)
{
    const QString key = handler.UniqueID();
    if (key.isEmpty() || ContainsKey(key))
        return false;
    m_entries.push_back(Entry{key, handler});
    return true;
}

FileHandler &FileHandlerCollection::Add(const QString &filePatterns, const QString &applicationPath,
                                        const QString &applicationFlags, qint16 internalEditorEnabled,
                                        qint16 action, const QString &key)
{
    FileHandler handler;
    handler.SetFilePatterns(filePatterns);
    handler.SetApplicationPath(applicationPath);
    handler.SetApplicationFlags(applicationFlags);
    handler.SetInternalEditorEnabled(internalEditorEnabled);
    handler.SetAction(action);
    const QString useKey = key.isEmpty() ? handler.UniqueID() : key;
    if (ContainsKey(useKey))
        throw RuntimeError(kKeyAlreadyPresent,
                           QStringLiteral("This key is already associated with an element of this collection"),
                           QStringLiteral("FileHAndlerCollection"));
    m_entries.push_back(Entry{useKey, handler});
    return m_entries.back().handler;
}

const FileHandler &FileHandlerCollection::Item(int index) const
{
    return m_entries[static_cast<size_t>(CheckedIndex(index))].handler;
}

const FileHandler &FileHandlerCollection::Item(const QString &key) const
{
    const int at = IndexOf(key);
    if (at < 0)
        ThrowMissing();
    return m_entries[static_cast<size_t>(at)].handler;
}

void FileHandlerCollection::Remove(int index)
{
    m_entries.erase(m_entries.begin() + CheckedIndex(index));
}

void FileHandlerCollection::Remove(const QString &key)
{
    const int at = IndexOf(key);
    if (at < 0)
        ThrowMissing();
    m_entries.erase(m_entries.begin() + at);
}

bool FileHandlerCollection::ContainsKey(const QString &key) const
{
    return IndexOf(key) >= 0;
}

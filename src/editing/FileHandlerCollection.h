#pragma once

#include "FileHandler.h"

#include <QString>

#include <vector>

// The file-type handlers keyed by their UniqueID, in insertion order.
// Lookups of a missing index or key throw RuntimeError, as a keyed
// collection does; ContainsKey() asks without throwing.
class FileHandlerCollection
{
public:
    // Adds a copy under the handler's UniqueID; false (nothing added) when
    // that key is empty or already present.
    bool AddFileHandler(const FileHandler &handler);
    // Creates a handler from the fields and adds it under `key`, or under its
    // UniqueID when `key` is empty. A key already present throws. The reference
    // stays valid until the collection next changes.
    FileHandler &Add(const QString &filePatterns, const QString &applicationPath,
                     const QString &applicationFlags, qint16 internalEditorEnabled, qint16 action,
                     const QString &key = {});

    const FileHandler &Item(int index) const; // from 1
    const FileHandler &Item(const QString &key) const;
    void Remove(int index); // from 1
    void Remove(const QString &key);

    int Count() const { return static_cast<int>(m_entries.size()); }
    bool ContainsKey(const QString &key) const;

    // Enumeration in insertion order.
    struct Entry {
        QString key;
        FileHandler handler;
    };
    class const_iterator
    {
    public:
        using Inner = std::vector<Entry>::const_iterator;
        explicit const_iterator(Inner it) : m_it(it) {}
        const FileHandler &operator*() const { return m_it->handler; }
        const FileHandler *operator->() const { return &m_it->handler; }
        const_iterator &operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator &other) const { return m_it == other.m_it; }
        bool operator!=(const const_iterator &other) const { return m_it != other.m_it; }

    private:
        Inner m_it;
    };
    const_iterator begin() const { return const_iterator(m_entries.begin()); }
    const_iterator end() const { return const_iterator(m_entries.end()); }

private:
    int IndexOf(const QString &key) const; // -1 when absent
    int CheckedIndex(int index) const;     // 0-based position of a 1-based index

    std::vector<Entry> m_entries;
};

#pragma once

#include "JSearch.h"

#include <QHash>
#include <QString>

#include <vector>

// Saved searches keyed by their uID, in insertion order; a uID is found
// through a hash, so loading many saved searches stays linear.
class JSearchCollection
{
public:
    // Adds a copy under its uID; false when that is empty or already present.
    bool AddJSearch(const JSearch &item);

    // From 0; nullptr when out of range or the key is missing.
    const JSearch *Item(int index) const;
    const JSearch *Item(const QString &key) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    bool ContainsKey(const QString &key) const { return m_index.contains(key); }

    std::vector<JSearch>::const_iterator begin() const { return m_items.cbegin(); }
    std::vector<JSearch>::const_iterator end() const { return m_items.cend(); }

private:
    std::vector<JSearch> m_items;
    QHash<QString, size_t> m_index; // uID -> position in m_items
};

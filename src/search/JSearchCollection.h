#pragma once

#include "JSearch.h"

#include <QString>

#include <vector>

// Saved searches keyed by their uID, in insertion order.
class JSearchCollection
{
public:
    // Adds a copy under its uID; false when that is empty or already present.
    bool AddJSearch(const JSearch &item);

    // From 0; nullptr when out of range or the key is missing.
    const JSearch *Item(int index) const;
    const JSearch *Item(const QString &key) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    bool ContainsKey(const QString &key) const { return Item(key) != nullptr; }

    std::vector<JSearch>::const_iterator begin() const { return m_items.cbegin(); }
    std::vector<JSearch>::const_iterator end() const { return m_items.cend(); }

private:
    std::vector<JSearch> m_items;
};

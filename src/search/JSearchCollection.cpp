#include "JSearchCollection.h"

bool JSearchCollection::AddJSearch(const JSearch &item)
{
    const QString key = item.uID();
    if (key.isEmpty() || ContainsKey(key))
        return false;
    m_items.push_back(item);
    return true;
}

const JSearch *JSearchCollection::Item(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &m_items[static_cast<size_t>(index)];
}

const JSearch *JSearchCollection::Item(const QString &key) const
{
    for (const JSearch &item : m_items) {
        if (item.uID() == key)
            return &item;
    }
    return nullptr;
}

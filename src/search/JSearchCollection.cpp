#include "JSearchCollection.h"

bool JSearchCollection::AddJSearch(const JSearch &item)
{
    const QString key = item.uID();
    if (key.isEmpty() || m_index.contains(key))
        return false;
    m_index.insert(key, m_items.size());
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
    const auto it = m_index.constFind(key);
    return it == m_index.cend() ? nullptr : &m_items[it.value()];
}

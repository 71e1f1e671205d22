#include "KeyedImageList.h"

bool KeyedImageList::Add(const QString &key, const QIcon &picture)
{
    if (m_pictures.contains(key))
        return false;
    m_pictures.insert(key, picture);
    return true;
}

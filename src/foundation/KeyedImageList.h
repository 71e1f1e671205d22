#pragma once

#include <QIcon>
#include <QMap>
#include <QString>

// Pictures by key, as the main window's image lists hold them.
class KeyedImageList
{
public:
    // False when the key is already present (the first picture stays).
    bool Add(const QString &key, const QIcon &picture);
    bool Contains(const QString &key) const { return m_pictures.contains(key); }
    // A null icon when the key is missing.
    QIcon Picture(const QString &key) const { return m_pictures.value(key); }
    void Remove(const QString &key) { m_pictures.remove(key); }
    void Clear() { m_pictures.clear(); }
    qsizetype Count() const { return m_pictures.size(); }

private:
    QMap<QString, QIcon> m_pictures;
};

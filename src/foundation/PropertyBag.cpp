#include "PropertyBag.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr quint32 kMagic = 0x46515042; // "FQPB"
constexpr quint16 kVersion = 1;

} // namespace

qsizetype PropertyBag::indexOf(const QString &key) const
{
    for (qsizetype i = 0; i < m_values.size(); ++i)
        if (m_values[i].first.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString &key, const QVariant &defaultValue) const
{
    const qsizetype i = indexOf(key);
    return i < 0 ? defaultValue : m_values[i].second;
}

void PropertyBag::WriteProperty(const QString &key, const QVariant &value, const QVariant &defaultValue)
{
    const qsizetype i = indexOf(key);
    if (value == defaultValue) {
        if (i >= 0)
            m_values.removeAt(i);
        return;
    }
    if (i >= 0)
        m_values[i].second = value;
    else
        m_values.append({key, value});
}

bool PropertyBag::contains(const QString &key) const { return indexOf(key) >= 0; }

QStringList PropertyBag::keys() const
{
    QStringList out;
    for (const auto &entry : m_values)
        out.append(entry.first);
    return out;
}

QByteArray PropertyBag::toBytes() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << m_values;
    return bytes;
}

PropertyBag PropertyBag::fromBytes(const QByteArray &bytes)
{
    PropertyBag bag;
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (magic != kMagic || version != kVersion)
        return bag;
    QList<QPair<QString, QVariant>> values;
    in >> values;
    if (in.status() == QDataStream::Ok)
        bag.m_values = values;
    return bag;
}

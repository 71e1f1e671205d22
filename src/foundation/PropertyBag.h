#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

// The saved property set of a control: keyed, typed values (int, bool, text,
// QFont, QImage ...) that the host window stores with its layout. Keys are
// compared without regard to case; a missing key reads as its default, and a
// value equal to its default is not written, so a control with all defaults
// writes nothing.
class PropertyBag
{
public:
    QVariant ReadProperty(const QString &key, const QVariant &defaultValue) const;
    // Stores the value, or removes the key when the value equals its default.
    void WriteProperty(const QString &key, const QVariant &value, const QVariant &defaultValue);

    bool contains(const QString &key) const;
    QStringList keys() const; // in the order they were written
    bool isEmpty() const { return m_values.isEmpty(); }
    void clear() { m_values.clear(); }

    // For the host's layout store. fromBytes answers an empty set for bytes it cannot read.
    QByteArray toBytes() const;
    static PropertyBag fromBytes(const QByteArray &bytes);

    bool operator==(const PropertyBag &other) const { return m_values == other.m_values; }

private:
    qsizetype indexOf(const QString &key) const;
    QList<QPair<QString, QVariant>> m_values;
};

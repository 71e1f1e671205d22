#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A small hierarchical store of string values in the shape of a registry:
// roots, keys with "\"-separated paths, named values ("" is a key's default
// value). Key and value names compare without regard to case. Kept in one
// INI-style file that is read on every call and rewritten atomically after
// every change, so two processes see each other's changes.
class IniRegistry
{
public:
    explicit IniRegistry(QString filePath);

    // "<config folder>/ftpqor/registry.ini"
    static QString DefaultPath();

    bool keyExists(const QString &root, const QString &key) const;
    std::optional<QString> value(const QString &root, const QString &key, const QString &name) const;
    // Creates the key and its parents when missing.
    bool createKey(const QString &root, const QString &key);
    bool setValue(const QString &root, const QString &key, const QString &name, const QString &text);
    // False when the key or the value is missing.
    bool deleteValue(const QString &root, const QString &key, const QString &name);
    // False when the key is missing or still has subkeys.
    bool deleteKey(const QString &root, const QString &key);
    QStringList valueNames(const QString &root, const QString &key) const;

    const QString &filePath() const { return m_path; }

private:
    struct Value {
        QString name;
        QString text;
    };
    struct Key {
        QString path; // root + "\" + key path, as first written
        QList<Value> values;
    };
    // Nothing when the file exists but cannot be read: a write must not
    // then replace what it holds.
    std::optional<QList<Key>> load() const;
    // Loads, lets `edit` change the keys, and saves only what it changed.
    enum class Edit { Unchanged, Changed, Refused };
    bool applyEdit(const std::function<Edit(QList<Key> &keys)> &edit);
    QList<Key> loadForReading() const { return load().value_or(QList<Key>()); }
    bool save(const QList<Key> &keys) const;

    QString m_path;
};

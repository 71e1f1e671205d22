#include "IniRegistry.h"

#include <functional>

#include "DataRoot.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

QString normalisedKey(const QString &root, const QString &key)
{
    QStringList parts;
    for (const QString &part : (root + QLatin1Char('\\') + key).split(QLatin1Char('\\'), Qt::SkipEmptyParts))
        parts << part.trimmed();
    parts.removeAll(QString());
    return parts.join(QLatin1Char('\\'));
}

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString escape(const QString &text)
{
    QString out;
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '"': out += QStringLiteral("\\\""); break;
        case '\0': out += QStringLiteral("\\0"); break;
        default: out += ch;
        }
    }
    return out;
}

// Reads a quoted, escaped text starting at `pos` (on the opening quote);
// leaves `pos` after the closing quote.
QString unescapeQuoted(const QString &line, qsizetype &pos)
{
    QString out;
    ++pos;
    while (pos < line.size()) {
        const QChar ch = line[pos++];
        if (ch == QLatin1Char('"'))
            break;
        if (ch == QLatin1Char('\\') && pos < line.size()) {
            const QChar next = line[pos++];
            switch (next.unicode()) {
            case 'r': out += QLatin1Char('\r'); break;
            case 'n': out += QLatin1Char('\n'); break;
            case '0': out += QChar(0); break;
            default: out += next;
            }
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace

IniRegistry::IniRegistry(QString filePath) : m_path(std::move(filePath)) {}

QString IniRegistry::DefaultPath()
{
    return DataRoot::ConfigFolder() + QStringLiteral("/registry.ini");
}

std::optional<QList<IniRegistry::Key>> IniRegistry::load() const
{
    QList<Key> keys;
    const auto bytes = StoredFile::ReadAll(m_path);
    if (!bytes)
        return QFileInfo::exists(m_path) ? std::nullopt : std::optional<QList<Key>>(keys);
    for (const QString &line : TextCodec::SplitLines(TextCodec::Decode(*bytes))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            keys.append(Key{line.mid(1, line.size() - 2), {}});
        } else if (line.startsWith(QLatin1Char('"')) && !keys.isEmpty()) {
            qsizetype pos = 0;
            const QString name = unescapeQuoted(line, pos);
            if (pos >= line.size() || line[pos] != QLatin1Char('='))
                continue;
            ++pos;
            if (pos >= line.size() || line[pos] != QLatin1Char('"'))
                continue;
            keys.last().values.append(Value{name, unescapeQuoted(line, pos)});
        }
    }
    return keys;
}

bool IniRegistry::save(const QList<Key> &keys) const
{
    QString text;
    for (const Key &key : keys) {
        text += QLatin1Char('[') + key.path + QStringLiteral("]\r\n");
        for (const Value &value : key.values)
            text += QLatin1Char('"') + escape(value.name) + QStringLiteral("\"=\"") + escape(value.text)
                + QStringLiteral("\"\r\n");
        text += QStringLiteral("\r\n");
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return StoredFile::WriteAtomically(m_path, TextCodec::Encode(text));
}

bool IniRegistry::keyExists(const QString &root, const QString &key) const
{
    const QString path = normalisedKey(root, key);
    for (const Key &k : loadForReading())
        if (sameName(k.path, path))
            return true;
    return false;
}

std::optional<QString> IniRegistry::value(const QString &root, const QString &key, const QString &name) const
{
    const QString path = normalisedKey(root, key);
    for (const Key &k : loadForReading()) {
        if (!sameName(k.path, path))
            continue;
        for (const Value &v : k.values)
            if (sameName(v.name, name))
                return v.text;
    }
    return std::nullopt;
}

QStringList IniRegistry::valueNames(const QString &root, const QString &key) const
{
    QStringList names;
    const QString path = normalisedKey(root, key);
    for (const Key &k : loadForReading())
        if (sameName(k.path, path))
            for (const Value &v : k.values)
                names << v.name;
    return names;
}

bool IniRegistry::applyEdit(const std::function<Edit(QList<Key> &keys)> &edit)
{
    std::optional<QList<Key>> keys = load();
    if (!keys)
        return false; // never replace a file we could not read
    switch (edit(*keys)) {
    case Edit::Unchanged: return true;
    case Edit::Refused: return false;
    case Edit::Changed: break;
    }
    return save(*keys);
}

bool IniRegistry::createKey(const QString &root, const QString &key)
{
    const QStringList parts = normalisedKey(root, key).split(QLatin1Char('\\'));
    return applyEdit([&](QList<Key> &keys) {
        Edit result = Edit::Unchanged;
        for (qsizetype depth = 2; depth <= parts.size(); ++depth) {
            const QString path = parts.mid(0, depth).join(QLatin1Char('\\'));
            const bool present = std::any_of(keys.cbegin(), keys.cend(),
                                             [&](const Key &k) { return sameName(k.path, path); });
            if (!present) {
                keys.append(Key{path, {}});
                result = Edit::Changed;
            }
        }
        return result;
    });
}

bool IniRegistry::setValue(const QString &root, const QString &key, const QString &name, const QString &text)
{
    if (!createKey(root, key))
        return false;
    const QString path = normalisedKey(root, key);
    return applyEdit([&](QList<Key> &keys) {
        for (Key &k : keys) {
            if (!sameName(k.path, path))
                continue;
            for (Value &v : k.values) {
                if (sameName(v.name, name)) {
                    v.text = text;
                    return Edit::Changed;
                }
            }
            k.values.append(Value{name, text});
            return Edit::Changed;
        }
        return Edit::Refused;
    });
}

bool IniRegistry::deleteValue(const QString &root, const QString &key, const QString &name)
{
    const QString path = normalisedKey(root, key);
    return applyEdit([&](QList<Key> &keys) {
        for (Key &k : keys) {
            if (!sameName(k.path, path))
                continue;
            for (qsizetype i = 0; i < k.values.size(); ++i) {
                if (sameName(k.values[i].name, name)) {
                    k.values.removeAt(i);
                    return Edit::Changed;
                }
            }
        }
        return Edit::Refused;
    });
}

bool IniRegistry::deleteKey(const QString &root, const QString &key)
{
    const QString path = normalisedKey(root, key);
    const QString childPrefix = path + QLatin1Char('\\');
    return applyEdit([&](QList<Key> &keys) {
        qsizetype found = -1;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (keys[i].path.startsWith(childPrefix, Qt::CaseInsensitive))
                return Edit::Refused;
            if (sameName(keys[i].path, path))
                found = i;
        }
        if (found < 0 || path.count(QLatin1Char('\\')) == 0)
            return Edit::Refused;
        keys.removeAt(found);
        return Edit::Changed;
    });
}

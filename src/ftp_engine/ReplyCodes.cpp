#include "ReplyCodes.h"

#include <QStringList>

namespace ReplyCodes {

namespace {

struct Group {
    QStringList patterns;
    QString action;
    bool hasAction = false;
};

QList<Group> ParseGroups(const QString &map)
{
    QList<Group> groups;
    qsizetype pos = 0;
    while (pos < map.size()) {
        const qsizetype open = map.indexOf(QLatin1Char('['), pos);
        Group group;
        const QString head = map.mid(pos, open < 0 ? -1 : open - pos);
        for (QString pattern : head.split(QLatin1Char('-'))) {
            pattern.remove(QLatin1Char('$'));
            pattern = pattern.trimmed();
            if (pattern.size() == 3)
                group.patterns.append(pattern.toUpper());
        }
        if (open < 0) {
            groups.append(group);
            break;
        }
        const qsizetype close = map.indexOf(QLatin1Char(']'), open + 1);
        if (close < 0) {
            groups.append(group);
            break;
        }
        group.action = map.mid(open + 1, close - open - 1).trimmed().toUpper();
        group.hasAction = true;
        groups.append(group);
        pos = close + 1;
    }
    return groups;
}

} // namespace

bool Matches(const QString &code, const QString &pattern)
{
    if (code.size() != 3 || pattern.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        const QChar p = pattern[i].toUpper();
        if (p == QLatin1Char('X'))
            continue;
        if (p != code[i])
            return false;
    }
    return true;
}

bool IsSuccess(const QString &code, const QString &successCodes)
{
    const QStringList entries = successCodes.split(QLatin1Char('-'));
    for (const QString &entry : entries) {
        if (Matches(code, entry.trimmed()))
            return true;
    }
    return false;
}

std::optional<QString> FindAction(const QString &replyMap, const QString &code)
{
    if (code.size() != 3)
        return std::nullopt;
    const QList<Group> groups = ParseGroups(replyMap);
    const QString keys[] = {code, code.left(2) + QLatin1Char('X'), code.left(1) + QStringLiteral("XX"),
                            QStringLiteral("XXX")};
    for (const QString &key : keys) {
        for (const Group &group : groups) {
            if (group.patterns.contains(key))
                return group.hasAction ? group.action : QString();
        }
    }
    return std::nullopt;
}

QString ExpandDefault(const QString &replyMap, const QString &defaultMap)
{
    QString map = replyMap;
    map.replace(QStringLiteral("$def"), defaultMap, Qt::CaseInsensitive);
    return map;
}

QString QuotedAbsolutePath(const QString &line)
{
    const qsizetype open = line.indexOf(QLatin1Char('"'));
    if (open < 0)
        return QString();
    QString path;
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        if (line.at(i) != QLatin1Char('"')) {
            path += line.at(i);
        } else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
            path += QLatin1Char('"');
            ++i;
        } else {
            return path.startsWith(QLatin1Char('/')) ? path : QString();
        }
    }
    return QString();
}

} // namespace ReplyCodes

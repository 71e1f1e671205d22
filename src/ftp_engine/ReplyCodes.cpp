#include "ReplyCodes.h"

#include <algorithm>

#include <QHash>
#include <QRegularExpression>
#include <QSet>
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

const QSet<QString> &TransferVerbs()
{
    static const QSet<QString> verbs{QStringLiteral("RETR"), QStringLiteral("STOR"), QStringLiteral("STOU"),
                                     QStringLiteral("APPE"), QStringLiteral("LIST"), QStringLiteral("NLST"),
                                     QStringLiteral("MLSD")};
    return verbs;
}

// The commands whose replies the table below knows, besides the transfers.
// SITE is not one: what its subcommands answer is each server's own.
const QSet<QString> &KnownVerbs()
{
    static const QSet<QString> verbs{
        QStringLiteral("USER"), QStringLiteral("PASS"), QStringLiteral("ACCT"), QStringLiteral("TYPE"),
        QStringLiteral("SYST"), QStringLiteral("PWD"),  QStringLiteral("XPWD"), QStringLiteral("REST"),
        QStringLiteral("PORT"), QStringLiteral("PASV"), QStringLiteral("EPSV"), QStringLiteral("ABOR"),
        QStringLiteral("QUIT"), QStringLiteral("CWD"),  QStringLiteral("CDUP"), QStringLiteral("HELP"),
        QStringLiteral("DELE"), QStringLiteral("STAT"), QStringLiteral("NOOP"), QStringLiteral("STRU"),
        QStringLiteral("MODE"), QStringLiteral("ALLO"), QStringLiteral("MKD"),  QStringLiteral("XMKD"),
        QStringLiteral("RMD"),  QStringLiteral("RNFR"), QStringLiteral("RNTO"), QStringLiteral("MDTM"),
        QStringLiteral("SIZE"), QStringLiteral("FEAT")};
    return verbs;
}

} // namespace

bool IsTransferVerb(const QString &verb)
{
    return TransferVerbs().contains(verb.trimmed().toUpper());
}

bool CanAnswer(const QString &verb, const QString &code)
{
    const QString command = verb.trimmed().toUpper();
    const bool transfer = TransferVerbs().contains(command);
    if (code == QLatin1String("426"))
        return transfer || !KnownVerbs().contains(command); // a broken-off transfer
    if (code.size() != 3 || (code[0] != QLatin1Char('2') && code[0] != QLatin1Char('3')))
        return true;
    if (!transfer && !KnownVerbs().contains(command))
        return true;
    static const QHash<QString, QSet<QString>> owners{
        {QStringLiteral("225"), {QStringLiteral("ABOR")}},
        {QStringLiteral("227"), {QStringLiteral("PASV")}},
        {QStringLiteral("229"), {QStringLiteral("EPSV")}},
        {QStringLiteral("257"),
         {QStringLiteral("PWD"), QStringLiteral("XPWD"), QStringLiteral("MKD"), QStringLiteral("XMKD")}},
        {QStringLiteral("213"), {QStringLiteral("SIZE"), QStringLiteral("MDTM"), QStringLiteral("STAT")}},
        {QStringLiteral("215"), {QStringLiteral("SYST")}},
        {QStringLiteral("211"), {QStringLiteral("STAT"), QStringLiteral("FEAT"), QStringLiteral("HELP")}},
        {QStringLiteral("212"), {QStringLiteral("STAT")}},
        {QStringLiteral("214"), {QStringLiteral("HELP"), QStringLiteral("STAT")}},
        {QStringLiteral("221"), {QStringLiteral("QUIT")}},
        {QStringLiteral("230"), {QStringLiteral("USER"), QStringLiteral("PASS"), QStringLiteral("ACCT")}}};
    if (code == QLatin1String("226"))
        return transfer || command == QLatin1String("ABOR");
    // A transfer ends with 226 or 250; PASV answers with its address only.
    if (transfer)
        return code == QLatin1String("250");
    if (code[0] == QLatin1Char('3'))
        return true; // reply maps tell what a command's unexpected 3xx means
    if (const auto owner = owners.constFind(code); owner != owners.cend())
        return owner->contains(command);
    return command != QLatin1String("PASV") && command != QLatin1String("EPSV");
}

QString RefusalText(const QStringList &lines)
{
    if (lines.isEmpty())
        return {};
    const QString code = lines.constLast().left(3);
    QStringList texts;
    const qsizetype first = std::max<qsizetype>(0, lines.size() - 1 - kRefusalLinesKept);
    for (qsizetype i = first; i < lines.size(); ++i) {
        const QString &piece = lines.at(i);
        const QString text = (piece.startsWith(code) ? piece.mid(4) : piece).trimmed();
        if (!text.isEmpty())
            texts.append(text);
    }
    return texts.isEmpty() ? code : code + QLatin1Char(' ') + texts.join(QStringLiteral("; "));
}

bool SaysFolderUnread(const QStringList &lines)
{
    // The words are the server's own; the code alone cannot tell an unread folder from an empty one.
    // A quoted path is a name, never the server's words.
    static const QRegularExpression quoted(QStringLiteral("\"(?:[^\"]|\"\")*\""));
    for (const QString &line : lines) {
        const QString words = QString(line).remove(quoted);
        if (words.contains(QLatin1String("failed to open directory"), Qt::CaseInsensitive)
            || words.contains(QLatin1String("unable to read"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool FeaturesListMachineListing(const QStringList &lines)
{
    // Feature lines start with a blank; the first and last lines carry the code.
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QString feature = lines.at(i).trimmed().section(QLatin1Char(' '), 0, 0);
        if (feature.compare(QLatin1String("MLST"), Qt::CaseInsensitive) == 0
            || feature.compare(QLatin1String("MLSD"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

ListingRefusal ReadMachineListingRefusal(const QString &code)
{
    if (code == QLatin1String("550"))
        return ListingRefusal::FolderUnread;
    return NotUnderstood(code) ? ListingRefusal::NotSupported : ListingRefusal::Other;
}

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

qint64 SizeInReply(const QString &line)
{
    if (!line.startsWith(QStringLiteral("213 ")))
        return -1;
    const QString digits = line.mid(4).trimmed();
    // Up to 18 digits: every such number fits a qint64.
    if (digits.isEmpty() || digits.size() > 18
        || !std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    return digits.toLongLong();
}

bool IsPreliminary(const QString &code) { return code.size() == 3 && code[0] == QLatin1Char('1'); }

bool IsRefusal(const QString &code)
{
    return code.size() == 3 && (code[0] == QLatin1Char('4') || code[0] == QLatin1Char('5'));
}

Cause CauseOf(const QString &code)
{
    if (!IsRefusal(code))
        return Cause::None;
    static const QHash<QString, Cause> causes{
        {QStringLiteral("421"), Cause::Session},        {QStringLiteral("530"), Cause::Session},
        {QStringLiteral("532"), Cause::Session},        {QStringLiteral("425"), Cause::DataConnection},
        {QStringLiteral("426"), Cause::DataConnection}, {QStringLiteral("450"), Cause::BusyFile},
        {QStringLiteral("452"), Cause::Space},          {QStringLiteral("552"), Cause::Space},
        {QStringLiteral("500"), Cause::NotUnderstood},  {QStringLiteral("502"), Cause::NotUnderstood},
        {QStringLiteral("504"), Cause::NotUnderstood},  {QStringLiteral("550"), Cause::FileOrName},
        {QStringLiteral("553"), Cause::FileOrName}};
    return causes.value(code, Cause::Other);
}

bool MayPass(Cause cause)
{
    return cause == Cause::Session || cause == Cause::DataConnection || cause == Cause::BusyFile
        || cause == Cause::Space;
}

bool NotUnderstood(const QString &code) { return CauseOf(code) == Cause::NotUnderstood; }

} // namespace ReplyCodes

#include "UserCommandBuilder.h"

#include "Paths.h"
#include "PermissionDialog.h"
#include "Prompts.h"
#include "UserCommand.h"

#include <QHash>
#include <QRegularExpression>

namespace {

enum class Placeholder { None, Input, NumInput, FileOrDir, File, Dir, Attrib, User, Pwd };

struct PlaceholderName {
    Placeholder kind;
    QLatin1StringView text;
};

// Tried in this order at each "$": "$file_or_dir" before "$file", which it extends.
constexpr PlaceholderName kPlaceholders[] = {
    {Placeholder::Input, QLatin1StringView("$input")},
    {Placeholder::NumInput, QLatin1StringView("$num_input")},
    {Placeholder::FileOrDir, QLatin1StringView("$file_or_dir")},
    {Placeholder::File, QLatin1StringView("$file")},
    {Placeholder::Dir, QLatin1StringView("$dir")},
    {Placeholder::Attrib, QLatin1StringView("$attrib")},
    {Placeholder::User, QLatin1StringView("$user")},
    {Placeholder::Pwd, QLatin1StringView("$pwd")},
};

struct Segment {
    Placeholder kind = Placeholder::None;
    QString literal;
};

// Splits a template into literal text and placeholders, left to right.
QList<Segment> splitTemplate(const QString &text)
{
    QList<Segment> segments;
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        Placeholder found = Placeholder::None;
        qsizetype length = 0;
        if (text[i] == u'$') {
            for (const PlaceholderName &name : kPlaceholders) {
                if (QStringView(text).mid(i).startsWith(name.text, Qt::CaseInsensitive)) {
                    found = name.kind;
                    length = name.text.size();
                    break;
                }
            }
        }
        if (found == Placeholder::None) {
            literal += text[i++];
            continue;
        }
        if (!literal.isEmpty())
            segments.append({Placeholder::None, std::exchange(literal, {})});
        segments.append({found, {}});
        i += length;
    }
    if (!literal.isEmpty())
        segments.append({Placeholder::None, literal});
    return segments;
}

// The number at the start of a typed text, and back to text ("12abc" is 12, "abc" 0).
QString numberText(const QString &typed)
{
    static const QRegularExpression leadingNumber(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = leadingNumber.match(typed.trimmed());
    if (!match.hasMatch())
        return QStringLiteral("0");
    const double value = match.captured(0).toDouble();
    if (value == static_cast<double>(static_cast<qint64>(value)) && qAbs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

bool isOctalPermission(int value)
{
    if (value < 0 || value > 777)
        return false;
    for (int rest = value; rest > 0; rest /= 10)
        if (rest % 10 > 7)
            return false;
    return true;
}

} // namespace

UserCommandBuilder::UserCommandBuilder(QWidget *owner, PermissionAsker askPermission)
    : m_owner(owner)
    , m_askPermission(askPermission ? std::move(askPermission) : PermissionAsker(GetNewPermisssion))
{
}

QString UserCommandBuilder::replyMap(const UserCommand &command)
{
    return command.SuccessCode.trimmed() + QStringLiteral("[I]") + command.FailureCode.trimmed()
        + QStringLiteral("[I]XXX[I]");
}

std::optional<PreparedUserCommand> UserCommandBuilder::build(const UserCommand &command,
                                                             const UserCommandContext &context) const
{
    const QString name = command.Name.trimmed();
    PreparedUserCommand prepared;
    prepared.statusText = name;
    prepared.replyMap = replyMap(command);
    prepared.reload = command.Reload != 0;
    const QString prefix = command.Site != 0 ? QStringLiteral("SITE ") : QString();
    prepared.commandLine = prefix + command.CommandText.trimmed();

    if (command.HasArgument != 0) {
        const QList<Segment> segments = splitTemplate(command.Argument.trimmed());
        auto holds = [&segments](std::initializer_list<Placeholder> kinds) {
            return std::any_of(segments.begin(), segments.end(), [&kinds](const Segment &segment) {
                return std::find(kinds.begin(), kinds.end(), segment.kind) != kinds.end();
            });
        };
        const bool namesItem = holds({Placeholder::FileOrDir, Placeholder::File, Placeholder::Dir});
        if (namesItem && context.selection.isEmpty()) {
            ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                        QStringLiteral("Command '") + name + QStringLiteral("' requires a file to be selected!"));
            return std::nullopt;
        }

        // Each value is settled once, in the order the prompts come up.
        QHash<Placeholder, QString> values;
        const QString inputLabel = QStringLiteral("Enter the  argument for command '") + name + QStringLiteral("'");
        if (holds({Placeholder::Input})) {
            const std::optional<QString> typed = AskText(m_owner, QStringLiteral("String Input"), inputLabel);
            if (!typed)
                return std::nullopt;
            values.insert(Placeholder::Input, *typed);
        }
        if (holds({Placeholder::NumInput})) {
            const std::optional<QString> typed = AskText(m_owner, QStringLiteral("Numeric Input"), inputLabel);
            if (!typed)
                return std::nullopt;
            values.insert(Placeholder::NumInput, numberText(*typed));
        }
        if (namesItem) {
            const RemoteItem &item = context.selection.first();
            QString itemName = item.name;
            if (command.DirSlash != 0 && item.isFolder && holds({Placeholder::FileOrDir, Placeholder::Dir}))
                itemName += u'/';
            if (command.FullPath != 0)
                itemName = JoinRemotePath(context.currentFolder, itemName);
            values.insert(Placeholder::FileOrDir, itemName);
            values.insert(Placeholder::File, itemName);
            values.insert(Placeholder::Dir, itemName);
        }
        if (holds({Placeholder::Attrib})) {
            const QString attributes = context.selection.isEmpty() ? QString() : context.selection.first().attributes;
            const QString name = context.selection.isEmpty() ? QString() : context.selection.first().name;
            const int permission = m_askPermission(m_owner, attributes, name);
            if (permission == kPermissionCancelled)
                return std::nullopt;
            if (!isOctalPermission(permission)) {
                ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                            QStringLiteral("The supplied attribute was incorrect!"));
                return std::nullopt;
            }
            values.insert(Placeholder::Attrib, QStringLiteral("%1").arg(permission, 3, 10, QLatin1Char('0')));
        }
        values.insert(Placeholder::User, context.user);
        values.insert(Placeholder::Pwd, context.password);

        QString filled;
        for (const Segment &segment : segments)
            filled += segment.kind == Placeholder::None ? segment.literal : values.value(segment.kind);
        prepared.commandLine += u' ' + filled;
    }

    // One command, one line: a line break in a typed value or a name must not start a second command.
    if (prepared.commandLine.contains(u'\r') || prepared.commandLine.contains(u'\n')
        || prepared.commandLine.contains(QChar(u'\0'))) {
        ShowMessage(m_owner, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                    QStringLiteral("Command '") + name + QStringLiteral("' cannot be sent: its argument holds a line break!"));
        return std::nullopt;
    }
    return prepared;
}

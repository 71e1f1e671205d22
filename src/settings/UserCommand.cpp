#include "UserCommand.h"

#include "TextCodec.h"

namespace {

// Field layout of the record: text fields first, then five flag bytes.
constexpr int kNameAt = 0;
constexpr int kCommandTextAt = 50;
constexpr int kArgumentAt = 300;
constexpr int kSuccessCodeAt = 550;
constexpr int kFailureCodeAt = 555;
constexpr int kDescriptionAt = 560;
constexpr int kHasArgumentAt = 1060;
constexpr int kDirSlashAt = 1061;
constexpr int kFullPathAt = 1062;
constexpr int kReloadAt = 1063;
constexpr int kSiteAt = 1064;

QByteArray fieldBytes(const QString &text, int width)
{
    QByteArray bytes = TextCodec::EncodeTruncated(text, width);
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}

void put(QByteArray &record, int at, const QString &text, int width)
{
    record.replace(at, width, fieldBytes(text, width));
}

QString take(const QByteArray &record, int at, int width)
{
    return TextCodec::Decode(record.mid(at, width));
}

QString withoutNul(const QString &text, int width)
{
    QString copy = text;
    copy.replace(QChar(u'\0'), QLatin1Char(' '));
    return UserCommand::fitField(copy, width);
}

} // namespace

QString UserCommand::fitField(const QString &text, int width)
{
    return TextCodec::Decode(fieldBytes(text, width));
}

QByteArray UserCommand::toRecord() const
{
    QByteArray record(RecordSize, '\0');
    put(record, kNameAt, Name, NameWidth);
    put(record, kCommandTextAt, CommandText, CommandTextWidth);
    put(record, kArgumentAt, Argument, ArgumentWidth);
    put(record, kSuccessCodeAt, SuccessCode, SuccessCodeWidth);
    put(record, kFailureCodeAt, FailureCode, FailureCodeWidth);
    put(record, kDescriptionAt, Description, DescriptionWidth);
    record[kHasArgumentAt] = static_cast<char>(HasArgument);
    record[kDirSlashAt] = static_cast<char>(DirSlash);
    record[kFullPathAt] = static_cast<char>(FullPath);
    record[kReloadAt] = static_cast<char>(Reload);
    record[kSiteAt] = static_cast<char>(Site);
    return record;
}

UserCommand UserCommand::fromRecord(const QByteArray &bytes)
{
    QByteArray record = bytes.left(RecordSize);
    record.append(RecordSize - record.size(), '\0');

    UserCommand command;
    command.Name = take(record, kNameAt, NameWidth);
    command.CommandText = take(record, kCommandTextAt, CommandTextWidth);
    command.Argument = take(record, kArgumentAt, ArgumentWidth);
    command.SuccessCode = take(record, kSuccessCodeAt, SuccessCodeWidth);
    command.FailureCode = take(record, kFailureCodeAt, FailureCodeWidth);
    command.Description = take(record, kDescriptionAt, DescriptionWidth);
    command.HasArgument = static_cast<quint8>(record[kHasArgumentAt]);
    command.DirSlash = static_cast<quint8>(record[kDirSlashAt]);
    command.FullPath = static_cast<quint8>(record[kFullPathAt]);
    command.Reload = static_cast<quint8>(record[kReloadAt]);
    command.Site = static_cast<quint8>(record[kSiteAt]);
    return command;
}

void UserCommand::clean()
{
    Argument = withoutNul(Argument, ArgumentWidth);
    CommandText = withoutNul(CommandText, CommandTextWidth);
    Description = withoutNul(Description, DescriptionWidth);
    FailureCode = withoutNul(FailureCode, FailureCodeWidth);
    SuccessCode = withoutNul(SuccessCode, SuccessCodeWidth);
    Name = withoutNul(Name, NameWidth);
}

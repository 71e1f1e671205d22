#include "SearchPrefFile.h"

#include "CBase64.h"
#include "DataRoot.h"
#include "JSearchCollection.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QFileInfo>

QString SearchPrefFile::DefaultPath() { return DataRoot::SystemFolder() + QStringLiteral("/SearchProf.dat"); }

QString SearchPrefFile::LineFor(const JSearch &item)
{
    const QString packed = item.GetPackedData();
    if (packed.isEmpty())
        return {};
    const QString base64 = CBase64().ToBase64Ex(packed);
    if (base64.size() > kLineLength)
        return {};
    return base64 + QString(kLineLength - base64.size(), QLatin1Char('@'));
}

SearchPrefFile::SaveResult SearchPrefFile::Save(const QString &path, const JSearch &item, bool append,
                                                QString *error)
{
    const QString line = LineFor(item);
    if (line.isEmpty()) {
        if (error)
            *error = QStringLiteral("The search preference is too long to be saved.");
        return SaveResult::TooLong;
    }
    const QByteArray bytes = line.toLatin1();
    const bool written =
        append ? StoredFile::AppendLine(path, bytes, StoredFile::Privacy::Private, error)
               : StoredFile::WriteAtomically(path, bytes + "\r\n", StoredFile::Privacy::Private, error);
    return written ? SaveResult::Saved : SaveResult::WriteFailed;
}

int SearchPrefFile::Load(const QString &path, JSearchCollection &into)
{
    if (!QFileInfo::exists(path))
        return 0;
    const std::optional<QByteArray> bytes = StoredFile::ReadAll(path);
    if (!bytes)
        return 0;
    int skipped = 0;
    const CBase64 codec;
    for (QString line : TextCodec::DecodeLines(*bytes)) {
        const qsizetype at = line.indexOf(QLatin1Char('@'));
        if (at >= 0)
            line.truncate(at);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        JSearch item;
        if (!item.ReadFromString(codec.Base64ToStringEx(line)) || !into.AddJSearch(item))
            ++skipped;
    }
    return skipped;
}

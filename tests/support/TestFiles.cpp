#include "TestFiles.h"

#include <QDir>
#include <QFile>

QByteArray ReadFileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray PatternBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
    return bytes;
}

bool WriteShellScript(const QString &path, const QByteArray &body)
{
    return WriteFileBytes(path, "#!/bin/sh\n" + body + "\n")
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString WriteDeepTree(const QString &root, int levels)
{
    QString folder = root;
    QString typical;
    for (int level = 1; level <= levels; ++level) {
        const QString number = QStringLiteral("%1").arg(level, 2, 10, QLatin1Char('0'));
        folder += QStringLiteral("/a_folder_with_a_rather_long_descriptive_name_at_level_") + number;
        if (!QDir().mkpath(folder))
            return QString();
        typical = QStringLiteral("quarterly_report_") + number + QStringLiteral(".txt");
        if (!WriteFileBytes(folder + QLatin1Char('/') + typical, "report")
            || !WriteFileBytes(folder + QStringLiteral("/a_file_whose_name_goes_on_and_on_well_past_what_a_column_shows_")
                                   + number + QStringLiteral(".txt"),
                               "long"))
            return QString();
    }
    return typical;
}

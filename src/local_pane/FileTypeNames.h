#pragma once

#include <QHash>
#include <QString>

// The type name a file list shows for a file ("plain text document"), looked
// up by its name only. Names that only their ending can type share one lookup,
// so a folder of thousands of files costs a hash lookup a file.
class FileTypeNames
{
public:
    QString Of(const QString &fileName);

private:
    QHash<QString, QString> m_byEnding; // the name from its first dot -> type name
};

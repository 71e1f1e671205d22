#include "FileTypeNames.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

namespace {

QString lookUp(const QString &fileName)
{
    static QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isDefault())
        return type.comment();
    // No known type: name it after its extension, as file managers do.
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
}

// The shared MIME globs that look at more than a name's ending ("README*",
// "Makefile", "*~"). Invalid when the globs cannot be read: then every name is
// looked up on its own.
QRegularExpression globsBeyondTheEnding()
{
    const QStringList files =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime/globs2"));
    if (files.isEmpty())
        return QRegularExpression(QStringLiteral("("));
    static const QRegularExpression byEnding(QStringLiteral("^\\*\\.[^*?\\[]+$"));
    QStringList patterns;
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return QRegularExpression(QStringLiteral("("));
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            // weight:type:glob[:flags]
            const QString glob = line.section(u':', 2, 2);
            if (!glob.isEmpty() && !byEnding.match(glob).hasMatch())
                patterns << QRegularExpression::wildcardToRegularExpression(glob);
        }
    }
    if (patterns.isEmpty())
        return QRegularExpression(QStringLiteral("$^"));
    QRegularExpression any(patterns.join(u'|'), QRegularExpression::CaseInsensitiveOption);
    any.optimize();
    return any;
}

} // namespace

QString FileTypeNames::Of(const QString &fileName)
{
    static const QRegularExpression beyondTheEnding = globsBeyondTheEnding();
    // "*.ext" globs and the fallback's suffix see only the name from its first
    // dot; any other glob may see the rest.
    if (!beyondTheEnding.isValid() || beyondTheEnding.match(fileName).hasMatch())
        return lookUp(fileName);
    const qsizetype dot = fileName.indexOf(u'.');
    const QString ending = dot < 0 ? QString() : fileName.mid(dot);
    const auto known = m_byEnding.constFind(ending);
    if (known != m_byEnding.constEnd())
        return *known;
    const QString name = lookUp(fileName);
    m_byEnding.insert(ending, name);
    return name;
}

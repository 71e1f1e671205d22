#include "XdgDesktopFiles.h"

#include "StoredFile.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace XdgDesktopFiles {

namespace {

const QString kDesktopMark = QStringLiteral("X-FtpQor-Owned=true");
const QString kXmlMark = QStringLiteral("<!-- written by Ftp Qor -->");

QString fileBase(const QString &name)
{
    QString base;
    for (const QChar ch : name.toLower())
        if (ch.isLetterOrNumber() || ch == QLatin1Char('-') || ch == QLatin1Char('_'))
            base += ch;
    return base.isEmpty() ? QStringLiteral("ftpqor") : base;
}

// Desktop entry string values escape backslashes and line breaks.
QString desktopString(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    out.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return out;
}

QString xmlText(const QString &text) { return text.toHtmlEscaped(); }

bool writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return StoredFile::WriteAtomically(path, TextCodec::Encode(text));
}

bool removeOurs(const QString &path)
{
    if (!QFileInfo::exists(path))
        return true;
    if (!IsOurs(path))
        return false;
    return QFile::remove(path);
}

void refresh(const QString &tool, const QString &folder)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (!program.isEmpty() && QFileInfo(folder).isDir())
        QProcess::startDetached(program, {folder});
}

} // namespace

QString ConfigHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation); }
QString DataHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

QString AutostartPath(const QString &entryName)
{
    return ConfigHome() + QStringLiteral("/autostart/") + fileBase(entryName) + QStringLiteral(".desktop");
}

QString MimePackagePath(const QString &packageName)
{
    return DataHome() + QStringLiteral("/mime/packages/") + fileBase(packageName) + QStringLiteral(".xml");
}

QString DesktopEntryPath(const QString &entryBase)
{
    return DataHome() + QStringLiteral("/applications/") + fileBase(entryBase) + QStringLiteral(".desktop");
}

bool IsOurs(const QString &path)
{
    const auto bytes = StoredFile::ReadAll(path);
    if (!bytes)
        return false;
    const QString text = TextCodec::Decode(*bytes);
    return text.contains(kDesktopMark) || text.contains(kXmlMark);
}

QString UnquotedProgram(const QString &commandLine)
{
    const QString text = commandLine.trimmed();
    if (text.startsWith(QLatin1Char('"'))) {
        const qsizetype end = text.indexOf(QLatin1Char('"'), 1);
        return end < 0 ? text.mid(1) : text.mid(1, end - 1);
    }
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    return space < 0 ? text : text.left(space);
}

QString ExecValue(const QString &program, const QString &arguments)
{
    QString quoted;
    for (const QChar ch : program) {
        if (ch == QLatin1Char('"') || ch == QLatin1Char('`') || ch == QLatin1Char('$') || ch == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += ch;
        if (ch == QLatin1Char('%'))
            quoted += ch; // a lone "%" would start a field code
    }
    QString exec = QLatin1Char('"') + quoted + QLatin1Char('"');
    if (!arguments.isEmpty())
        exec += QLatin1Char(' ') + arguments;
    return desktopString(exec);
}

bool WriteAutostartEntry(const QString &entryName, const QString &commandLine)
{
    const QString program = UnquotedProgram(commandLine);
    if (program.isEmpty())
        return false;
    const QString path = AutostartPath(entryName);
    if (QFileInfo::exists(path) && !IsOurs(path))
        return false; // another program's entry of the same name stays
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=")
        + desktopString(entryName) + QStringLiteral("\nExec=") + ExecValue(program, QString())
        + QStringLiteral("\nTerminal=false\n") + kDesktopMark + QLatin1Char('\n');
    return writeFile(path, text);
}

bool RemoveAutostartEntry(const QString &entryName) { return removeOurs(AutostartPath(entryName)); }

bool InstallMimeType(const QString &packageName, const QString &mimeType, const QString &comment,
                     const QString &globPattern)
{
    const QString path = MimePackagePath(packageName);
    if (QFileInfo::exists(path) && !IsOurs(path))
        return false;
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + kXmlMark
        + QStringLiteral("\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                         "  <mime-type type=\"")
        + xmlText(mimeType) + QStringLiteral("\">\n    <comment>") + xmlText(comment)
        + QStringLiteral("</comment>\n    <glob pattern=\"") + xmlText(globPattern)
        + QStringLiteral("\"/>\n  </mime-type>\n</mime-info>\n");
    if (!writeFile(path, text))
        return false;
    refresh(QStringLiteral("update-mime-database"), DataHome() + QStringLiteral("/mime"));
    return true;
}

bool RemoveMimeType(const QString &packageName)
{
    const QString path = MimePackagePath(packageName);
    const bool existed = QFileInfo::exists(path);
    if (!removeOurs(path))
        return false;
    if (existed)
        refresh(QStringLiteral("update-mime-database"), DataHome() + QStringLiteral("/mime"));
    return true;
}

bool InstallDesktopEntry(const QString &entryBase, const QString &name, const QString &programPath,
                         const QString &mimeType)
{
    const QString program = UnquotedProgram(programPath);
    if (program.isEmpty())
        return false;
    const QString path = DesktopEntryPath(entryBase);
    if (QFileInfo::exists(path) && !IsOurs(path))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=")
        + desktopString(name) + QStringLiteral("\nExec=") + ExecValue(program, QStringLiteral("%f"))
        + QStringLiteral("\nMimeType=") + desktopString(mimeType)
        + QStringLiteral(";\nNoDisplay=true\nTerminal=false\n") + kDesktopMark + QLatin1Char('\n');
    if (!writeFile(path, text))
        return false;
    refresh(QStringLiteral("update-desktop-database"), DataHome() + QStringLiteral("/applications"));
    return true;
}

bool RemoveDesktopEntry(const QString &entryBase)
{
    const QString path = DesktopEntryPath(entryBase);
    const bool existed = QFileInfo::exists(path);
    if (!removeOurs(path))
        return false;
    if (existed)
        refresh(QStringLiteral("update-desktop-database"), DataHome() + QStringLiteral("/applications"));
    return true;
}

} // namespace XdgDesktopFiles

#pragma once

#include <QString>

// The desktop's per-user integration files that stand in for the
// start-with-the-session value and the job-file association: an autostart
// entry, a shared-mime-info package and a desktop entry. Every file written
// here carries our mark; removal touches only marked files.
namespace XdgDesktopFiles {

QString ConfigHome(); // $XDG_CONFIG_HOME or ~/.config
QString DataHome();   // $XDG_DATA_HOME or ~/.local/share

// "<config>/autostart/<base>.desktop", base made from the entry name.
QString AutostartPath(const QString &entryName);
QString MimePackagePath(const QString &packageName); // "<data>/mime/packages/<name>.xml"
QString DesktopEntryPath(const QString &entryBase);  // "<data>/applications/<base>.desktop"

// `commandLine` is a program path, quoted or not, optionally followed by arguments.
bool WriteAutostartEntry(const QString &entryName, const QString &commandLine);
bool RemoveAutostartEntry(const QString &entryName);

bool InstallMimeType(const QString &packageName, const QString &mimeType, const QString &comment,
                     const QString &globPattern);
bool RemoveMimeType(const QString &packageName);

// An application entry that opens files of `mimeType`; `programPath` quoted or not.
bool InstallDesktopEntry(const QString &entryBase, const QString &name, const QString &programPath,
                         const QString &mimeType);
bool RemoveDesktopEntry(const QString &entryBase);

// True when the file exists and carries our mark.
bool IsOurs(const QString &path);

// The program path without surrounding quotes and without arguments after it.
QString UnquotedProgram(const QString &commandLine);
// The Exec value that starts `program` (quoted and escaped as the desktop
// entry format asks), followed by `arguments` as given.
QString ExecValue(const QString &program, const QString &arguments);

} // namespace XdgDesktopFiles

#pragma once

#include <QString>

// String values of the program's registry store (kept in the per-user config
// folder), the association of the job-file extension with the program, and
// the start-with-the-session value.
//
// Desktop side effects: a value under the current user's
// "Software\Microsoft\Windows\CurrentVersion\Run" key also writes (or removes)
// an autostart entry; the association also installs (or removes) a mime type
// for the extension and a desktop entry that opens it with the program.

// The seven root choices; the first that is true selects the root.
struct RootKeyFlags {
    bool classesRoot = false;
    bool currentConfig = false;
    bool currentUser = false;
    bool dynData = false;
    bool localMachine = false;
    bool performanceData = false;
    bool users = false;
};

namespace RootKey {
constexpr quint32 None = 0;
constexpr quint32 ClassesRoot = 0x80000000;
constexpr quint32 CurrentUser = 0x80000001;
constexpr quint32 LocalMachine = 0x80000002;
constexpr quint32 Users = 0x80000003;
constexpr quint32 PerformanceData = 0x80000004;
constexpr quint32 CurrentConfig = 0x80000005;
constexpr quint32 DynData = 0x80000006;
} // namespace RootKey

// The key under which start-with-the-session values live, and ours.
inline QString RunKeyPath() { return QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run"); }
inline QString RunValueName() { return QStringLiteral("Ftp Qor"); }

// The program path in double quotes.
QString QuotedProgramPath();

// Where the store is kept; tests point it elsewhere (empty restores the default).
QString RegistryFilePath();
void SetRegistryFilePath(const QString &path);

quint32 GetRootKey(const RootKeyFlags &roots);
// The value's text with outer blanks removed, "" when the key or value is
// missing; `addBackslash` appends "\" to a value that does not end with one.
// An empty value name is the key's default value.
QString GetRegString(const QString &keyPath, const QString &valueName, const RootKeyFlags &roots,
                     bool addBackslash = false);
bool SetRegString(const QString &keyPath, const QString &valueName, const QString &text, const RootKeyFlags &roots);
bool DeleteRegValue(const QString &keyPath, const QString &valueName, const RootKeyFlags &roots);

// Registers the extension (".xqr") as the type `progId` opened by the
// program, when the extension or the type is not registered yet; the desktop
// files are (re)installed whenever the extension names our type. The main
// window calls it at start-up only while the association option is on.
void RegisterFileType(const QString &programPath, const QString &extension, const QString &progId,
                      const QString &typeText, int iconIndex);
// Removes only what is ours: the extension's mapping only when it names
// `progId`, the type's keys, and our mime package and desktop entry.
void UnregisterFileType(const QString &programPath, const QString &extension, const QString &progId,
                        const QString &typeText);

// The names the desktop files of an association get.
QString AssociationMimeType(const QString &progId);  // "application/x-<progid>"
QString AssociationFileBase(const QString &progId);  // "ftpqor-<progid>"

#pragma once

#include <QString>
#include <QStringList>

// The program-wide FTP dialogue tables that every engine copies when it is
// created (or when it reloads its definitions).
//
// FtpCmdTable: slots 0 to 36. Slot 0 is the default reply map; slot n + 1 is
// the definition of command step n: "VERB|success codes|reply map".
// FtpMacroTable: one slot per action code, the steps of the operation joined
// by "," ("100" stands for the data-connection step).
extern QStringList FtpCmdTable;
extern QStringList FtpMacroTable;

inline constexpr int kFtpCmdTableSlots = 37;
inline constexpr int kFtpMacroTableSlots = 21;

// Restores the built-in command definitions and operation macros.
void LoadCmdDefinitions();

// Reads a driver file (".frc") that replaces the command definitions and some
// macros for the whole program. A rejected file changes nothing; an invalid
// one is reported with a message box.
bool LoadDriver(const QString &path);

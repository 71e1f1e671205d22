#pragma once

#include <QString>

// The program's data folder: "$FTPQOR_HOME" when set, else the per-user
// application data folder. Every stored file of the program lives below it.
namespace DataRoot {

QString AppPath();            // the data root itself, no trailing "/"
QString SystemFolder();       // AppPath() + "/System"
QString JobsFolder();         // AppPath() + "/Jobs"
QString CacheFolder();        // AppPath() + "/Cache"
QString TmpFolder();          // AppPath() + "/Tmp"

// Where the settings store and the registry store live: "$FTPQOR_HOME/Config"
// when FTPQOR_HOME is set, so a private data root holds everything the
// program writes; else the user's configuration folder + "/ftpqor".
QString ConfigFolder();

// A file directly in the data root, e.g. FileInRoot("error.log").
QString FileInRoot(const QString &name);

// Creates the root and its four folders; false when any could not be made.
[[nodiscard]] bool EnsureDataFolders();

} // namespace DataRoot

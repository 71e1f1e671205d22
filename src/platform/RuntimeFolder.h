#pragma once

#include <QString>

// The per-user folder for the instance lock and the hand-off socket:
// "$FTPQOR_RUNTIME_DIR" when set (tests give each run its own), else the
// session's runtime folder, else a private folder below the temporary folder.
namespace RuntimeFolder {

QString Path();

// Creates the folder (mode 0700) when missing; false when that fails or
// when the folder belongs to another user.
[[nodiscard]] bool Ensure(const QString &path);

} // namespace RuntimeFolder

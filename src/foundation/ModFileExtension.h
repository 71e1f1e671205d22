#pragma once

#include <QString>

// Association of the job-file extension with the program, and the
// start-with-the-session value. (Declared here so the settings dialog can
// call it; the platform glue provides the implementation.)
void RegisterFileType(const QString &programPath, const QString &extension, const QString &progId,
                      const QString &typeText, int iconIndex);
void UnregisterFileType(const QString &programPath, const QString &extension, const QString &progId,
                        const QString &typeText);

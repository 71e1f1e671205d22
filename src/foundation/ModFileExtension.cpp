#include "ModFileExtension.h"

// Placeholder until the desktop integration lands: registering does nothing yet.
void RegisterFileType(const QString &, const QString &, const QString &, const QString &, int) {}

void UnregisterFileType(const QString &, const QString &, const QString &, const QString &) {}

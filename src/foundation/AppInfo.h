#pragma once

#include <QString>

// The program's title, as message boxes and the notification icon show it.
inline QString AppTitle() { return QStringLiteral("Ftp Qor"); }

#pragma once

#include <QIcon>

// The program's one icon: the main window, its tool windows, the quick
// editor and the notification area all show it.
QIcon ProgramIcon();

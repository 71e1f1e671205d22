#pragma once

#include <QIcon>
#include <QString>

// Start-up initialisation of the list controls; nothing to prepare here, kept
// for the main window's start-up order. Always true.
bool InitCommonControls();

// The desktop's icon for a local file or folder (by its type); a null icon
// when the desktop has none.
QIcon GetFileIcon(const QString &path);

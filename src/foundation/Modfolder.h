#pragma once

#include <QString>

class QWidget;

// The folder picker: starts at `startFolder` when given; the chosen path, or
// empty when the user cancelled. (`includeFiles` and `newDialogStyle` are
// accepted for the callers' sake; the desktop's folder chooser shows folders.)
QString GetFolder(QWidget *owner, const QString &startFolder, const QString &title, bool includeFiles = false,
                  bool newDialogStyle = true);

#pragma once

#include <QIcon>
#include <QString>

class KeyedImageList;

// The desktop's icon for a file type known only by its name (a remote file):
// the theme icon of the type the name's extension suggests, else a plain file icon.
QIcon IconForFileName(const QString &fileName);

// Adds the icon for `fileName` under `key` unless the list already holds the
// key ("donty" and "dir" get the plain file and folder icons).
void EnsureNameIcon(KeyedImageList &images, const QString &key, const QString &fileName);

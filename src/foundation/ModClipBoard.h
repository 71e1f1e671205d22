#pragma once

#include <QString>
#include <QStringList>

// Lists of local files on the clipboard, as file managers put them there.

// The local files on the clipboard, each followed by CR LF, plus a closing
// CR LF; "" when the clipboard holds no local files. Callers skip empty lines.
QString GetClipboardFileList();

// Puts local files on the clipboard for a file manager to paste (copy, not cut).
void PutFilesOnClipboard(const QStringList &paths);

#pragma once

#include "StorageProbe.h"

#include <QString>
#include <QStringList>

class QWidget;

// Small text and path helpers shared by many windows.

// Normalises text (CR LF to LF, outer blanks trimmed, empty lines dropped),
// stores the normalised text back into `text` and returns its lines.
QStringList mySplit(QString &text);

// The text with every `ch` removed at both ends.
QString MyTrim(const QString &text, char16_t ch);

// Creates each missing folder of an absolute local path, from the root down.
void ChkCreatDir(const QString &path);

// The text with every run of `ch` collapsed to one.
QString RemoveMultiChar(const QString &text, char16_t ch);

// False, after telling the user which characters are not allowed, when the
// name holds one of \ / : * ? " < > |.
bool isValidFileName(const QString &name, QWidget *parent = nullptr);

// head + path, with a "/" put before a path that lacks one.
QString ComposeRemotePath(const QString &head, const QString &path);

// The text right-aligned in a column `width` characters wide.
QString PadText(const QString &text, quint8 width);

// The suffix a name filter adds to a listing request ("/" + pattern), or nothing.
QString GetListArgument(const QString &filter);

// Whether a filter is in force; `multiAnswer` is the answer for a filter of
// several ";"-separated patterns.
bool IsMultiFilter(const QString &filter, bool multiAnswer);

// Form-field encoding: letters and digits stay, a blank becomes "+", every
// other byte of the UTF-8 text becomes "%XX".
QString UrlEncode(const QString &text);

// Checks a local folder before a download into it; true when the caller may go
// on. Asks the user when the drive may not be writable or is nearly full.
bool CheckDestinationFolder(const QString &folder, QWidget *parent = nullptr,
                            const StorageProbe &probe = ProbeStorage);

#pragma once

#include "FtpFileItem.h"

#include <QList>
#include <QStringList>
#include <QStringView>

#include <optional>

// Turns the text a server sends for LIST into listing items.
//
// Two layouts are read. The Windows style is chosen when the listing's first
// line starts with a digit; it has fixed columns, as in
//     "10-13-07  01:13PM       <DIR>          name"
//     "10-13-07  01:13PM              1234567 name"
// (date in columns 1-8, time in 11-17, size or "<DIR>" up to column 38, the
// name from column 40). Every other listing is read in the UNIX style
// ("drwxr-xr-x 2 owner group 4096 Jan  1 12:34 name").
//
// Lines end at LF; trailing CRs are dropped, so CR LF and CR CR LF endings
// read the same. A line that is not an entry (a "total" line, a short or
// damaged line) is skipped on its own; it never costs the rest of the listing.

// Parses `listing`; `folderPath` is the listed folder, so that names a server
// gives as full paths below it become plain names. `count` receives the number
// of items (0 first, and 0 when the parse fails).
QList<FtpFileItem> GetFileList(QStringView listing, QStringView folderPath, qsizetype &count);
QList<FtpFileItem> GetFileList(QStringView listing, QStringView folderPath);

// Splits one UNIX-style line into at most nine fields: the first eight are the
// blank-separated fields, the ninth is everything after the eighth field and
// exactly one blank, kept verbatim (a name with runs of blanks keeps them).
QStringList GetUnixFileItem(QStringView line);

// The value of the leading decimal number of a text (leading blanks skipped,
// reading stops at the first non-digit; no digit gives 0). Empty when the
// number does not fit a signed 64-bit value.
std::optional<qint64> LeadingNumberValue(QStringView text);

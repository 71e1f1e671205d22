#pragma once

#include <QString>
#include <QTypeInfo>
#include <QtGlobal>

// One entry of a remote folder listing.
struct FtpFileItem
{
    // File or folder name. When the server listed full paths that begin with the
    // listed folder's path, that prefix is removed.
    QString Name;
    // Size in bytes (64-bit: files of 2 GiB and more are ordinary); 0 for folders
    // of the Windows style.
    qint64 Size = 0;
    // UNIX style: the permission field ("drwxr-xr-x"); Windows style: the
    // upper-cased size-or-"<DIR>" column.
    QString Attributes;
    // UNIX style: month, day and time-or-year joined by single blanks, as the
    // server wrote them; Windows style: date, a blank and time.
    QString DateText;
    bool IsFolder = false;

    friend bool operator==(const FtpFileItem &, const FtpFileItem &) = default;
};

// Items move as plain bytes when a list of them grows.
Q_DECLARE_TYPEINFO(FtpFileItem, Q_RELOCATABLE_TYPE);

#pragma once

#include <QString>

// What the file-type dialog asks of the window whose handler list it edits,
// so that a handler it accepts does not duplicate another one of that list.
class FileHandlerOwner
{
public:
    virtual ~FileHandlerOwner() = default;

    // True when the owner's list holds a handler with this UniqueID.
    virtual bool FileHandlerExist(const QString &key) const = 0;
    // True when a handler of the owner's list has this title, letter case ignored.
    virtual bool AppTitleExist(const QString &title) const = 0;
};

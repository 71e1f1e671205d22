#pragma once

#include "LocalFolderReader.h"

#include <QString>

// What a comparison finds for one first-side file in the second location.
struct Counterpart
{
    bool Exists = false;
    qint64 Size = 0;
    bool TimesEqual = false;
    // The second time as the details show it: a local time, or a listing's text.
    bool HasSecs = false;
    qint64 ModifiedSecs = 0;
    QString TimeText;
};

// The second location of a walk over a local first tree: a local folder tree
// or an FTP side's listings. Each folder is read once, when it is entered;
// its counterparts come from a hash, not from one probe per name.
class CounterpartSide
{
public:
    virtual ~CounterpartSide() = default;
    // The second location's path of a first-side sub-folder.
    virtual QString Join(const QString &secondFolder, const QString &name) const = 0;
    // False when what the second location holds there is unknown (its
    // listing failed): the first side's entries there are not judged.
    virtual bool IsKnown(const QString &) const { return true; }
    virtual void EnterFolder(const QString &secondFolder) = 0;
    // A local second location reads each folder it enters as the first side
    // does, so a walk can read it ahead and hand it over already read.
    virtual bool ReadsLocalFolders() const { return false; }
    virtual void EnterReadFolder(LocalFolderContents) {}
    virtual bool HasFolder(const QString &name) const = 0;
    // `firstModifiedSecs` is the first file's time in whole seconds.
    virtual Counterpart File(const QString &name, qint64 firstModifiedSecs) const = 0;
};

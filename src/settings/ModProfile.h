#pragma once

#include "CProfile.h"

#include <QString>
#include <QStringList>

#include <optional>

class QComboBox;
class QWidget;

// The profile file's full path, set by the main window at start-up; every
// reader of profiles passes it on.
extern QString ProfileFilePath;

// Where the profile file lives: the System folder's "ProfileEx.dat".
QString DefaultProfileFilePath();

// The names of all stored profiles, element i for record i + 1, exactly as
// stored; an empty name where a record does not decode. An empty file gives
// one empty name; a missing or unreadable file, or one shorter than a record,
// gives no names.
QStringList ReadProfileFile(const QString &filePath);

// Adds the stored profiles' names to a list, each with its record number as
// the item's data: blank names are left out of the list, not out of the count.
void AddProfileNames(QComboBox *list, const QString &filePath);

// The profile stored in record `recordNumber` (from 1), or nothing when the
// record does not decode or the file cannot be read.
std::optional<CProfile> loadProfileData(const QString &filePath, int &recordNumber);

// Runs the profile editor modally. bConnect in: true opens it for managing
// only. ProfEdited out: whether "Save" was pressed. On "Select" or "Connect"
// returns the profile shown in the editor and sets bConnect (true for
// "Connect"); on "Cancel" returns nothing and leaves bConnect alone.
std::optional<CProfile> getProfile(bool &bConnect, bool &ProfEdited, QWidget *parent = nullptr);

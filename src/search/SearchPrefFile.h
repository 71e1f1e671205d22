#pragma once

#include "JSearch.h"

#include <QString>

class JSearchCollection;

// The saved-search file: one line per search, the Base64 text of its packed
// record filled with "@" to exactly 1024 characters, lines ended by CR LF.
// It holds passwords, so it is created mode 0600.
class SearchPrefFile
{
public:
    static constexpr int kLineLength = 1024;
    enum class SaveResult { Saved, TooLong, WriteFailed };

    // The file in the System folder.
    static QString DefaultPath();

    // The stored line without its CR LF; empty when the record does not fit.
    static QString LineFor(const JSearch &item);

    // Appends the line, or replaces the whole file atomically. A record too
    // long for its line is refused before the file is touched.
    static SaveResult Save(const QString &path, const JSearch &item, bool append, QString *error = nullptr);

    // Adds the file's records to `into` in file order. Empty lines are
    // passed over; undecodable, short and duplicate lines are skipped (they
    // stay in the file) and counted in the result. A missing file adds nothing.
    static int Load(const QString &path, JSearchCollection &into);
};

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file writes and appends for the program's stored files.
namespace StoredFile {

enum class Privacy {
    Normal,  // default permissions
    Private, // created mode 0600: the file holds passwords
};

// Writes the whole file: a temporary file in the same folder is written,
// flushed and renamed over the old one, so a failure leaves the old file as
// it was. On failure returns false and, when error is given, a readable reason.
[[nodiscard]] bool WriteAtomically(const QString &path, const QByteArray &data,
                                   Privacy privacy = Privacy::Normal, QString *error = nullptr);

// Appends one line ended by CR LF. When the file is not empty and does not end
// with a line break, a CR LF is written first so the line starts on its own.
[[nodiscard]] bool AppendLine(const QString &path, const QByteArray &line,
                              Privacy privacy = Privacy::Normal, QString *error = nullptr);

// The whole file, or nothing when it cannot be read.
std::optional<QByteArray> ReadAll(const QString &path, QString *error = nullptr);

} // namespace StoredFile

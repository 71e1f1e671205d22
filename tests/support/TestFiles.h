#pragma once

#include <QByteArray>
#include <QString>

// The whole content of a file; empty when it cannot be read.
QByteArray ReadFileBytes(const QString &path);

// Replaces the file's content; false when it cannot be opened or written whole.
[[nodiscard]] bool WriteFileBytes(const QString &path, const QByteArray &bytes);

// Bytes of a given size that do not repeat in short cycles, so a transfer
// that drops, duplicates or shifts a block is caught by comparing contents.
QByteArray PatternBytes(qsizetype size);

// A /bin/sh script that the owner may run; false when it cannot be written.
[[nodiscard]] bool WriteShellScript(const QString &path, const QByteArray &body);

// A tree of `levels` nested folders with long names under `root`, each
// holding a file of a typical name ("quarterly_report_NN.txt") and one with a
// long name. Returns the typical name of the deepest level; empty when a
// folder or file could not be made.
[[nodiscard]] QString WriteDeepTree(const QString &root, int levels = 12);

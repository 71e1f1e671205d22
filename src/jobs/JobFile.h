#pragma once

#include "FtpTaskCollection.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// The job file: one job per line, the Base64 text of its packed record's
// UTF-8 bytes, lines ended by CR LF, nothing else. Reading accepts LF or CR
// endings, blank lines and records written as Windows-1252.
namespace JobFile {

// Lines longer than this are not read.
constexpr qsizetype kMaxLineLength = 64 * 1024;
// Files larger than this many MiB are not read: far above what a queue of
// tens of thousands of jobs takes, far below what would strain memory.
constexpr qint64 kMaxFileMiB = 64;

struct Content {
    std::vector<FtpTaskCollection::Job> jobs;
    // Lines that did not give a job, as they stood in the file.
    QList<QByteArray> unreadable;
};

// One line without its line end.
QByteArray EncodeLine(const FtpTask &job);

// Reads every line; each job read gets the load tag serial & "K", and serial
// grows by one per job read.
Content Parse(const QByteArray &bytes, qint64 &serial);

// The file's jobs; nothing when it cannot be read or is too large (error says why).
std::optional<Content> Read(const QString &path, qint64 &serial, QString *error = nullptr);

} // namespace JobFile

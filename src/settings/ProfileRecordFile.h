#pragma once

#include "CProfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The profile file: fixed records of 1024 bytes numbered from 1, each the
// Base64 text of one packed profile, blank-padded. A trailing partial record
// is not a record. Every change rewrites the file atomically with owner-only
// permissions (it holds passwords), keeping all other bytes as they were.
class ProfileRecordFile
{
public:
    static constexpr qsizetype RecordSize = 1024;
    // 768 bytes of packed text make exactly 1024 Base64 characters.
    static constexpr qsizetype MaxPackedBytes = 768;

    explicit ProfileRecordFile(QString path);

    const QString &path() const { return m_path; }
    bool exists() const;

    // Creates an empty file when none exists; throws RuntimeError on failure.
    // An existing file that others may read or write is made owner-only:
    // it holds passwords.
    void ensureExists() const;

    // The whole file; throws RuntimeError when it cannot be read.
    QByteArray readBytes() const;
    int recordCount() const;

    // Record `number` (from 1) as stored; empty when it lies beyond the end.
    QByteArray readRecord(int number) const;

    // Replaces record `number`, or appends it when number is one past the
    // last record. Throws RuntimeError (nothing written) otherwise or on failure.
    void writeRecord(int number, const QByteArray &record) const;

    // Removes record `number`; every other byte stays as it was.
    void removeRecord(int number) const;

    // Profile <-> record slot.
    static QByteArray EncodeRecord(const CProfile &profile);
    static std::optional<CProfile> DecodeRecord(const QByteArray &record);

private:
    void writeBytes(const QByteArray &bytes) const;

    QString m_path;
};

// Why a profile cannot be stored, if it cannot.
enum class ProfileStorability {
    Storable,
    ForbiddenCharacter, // a field holds the field separator or a NUL
    TooLong,            // the packed text exceeds MaxPackedBytes
};

ProfileStorability CheckStorable(const CProfile &profile);

#pragma once

#include <QString>
#include <QtGlobal>

// One stored FTP account. A plain value: the fields in their stored order,
// plus the packed text form kept in the profile file.
class CProfile
{
public:
    QString ProfileName;
    QString Server;
    qint32 Port = 0;
    QString User;
    QString Password;
    quint8 IsPassive = 0;
    quint8 IsDeleted = 0;
    QString LocalPath;
    QString RemotePath;
    quint8 TimeZone = 0; // 0 = none chosen, else a row of the time-zone table
    quint8 KeepAlive = 0;

    // The eleven fields as text, joined by the character code 2.
    QString GetPackedData() const;

    // Fills the fields from a packed text, in order, stopping at the first
    // missing or out-of-range element. True when the first ten fields were
    // read; the keep-alive field is optional so older records still load.
    bool ReadFromString(const QString &packed);

    bool operator==(const CProfile &) const = default;
};

// The field separator of packed records.
inline constexpr QChar kPackedFieldSeparator = QChar(2);

// The leading number of a text, as stored records and typed port texts hold
// it: leading blanks skipped, the longest numeric prefix taken, 0 when there
// is none.
double LeadingNumber(const QString &text);

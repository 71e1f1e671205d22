#pragma once

#include <QString>

// One saved search: what the search window's fields held when it was saved.
// SizeMax and DateMax hold the lower limits (first box), SizeMin and DateMin
// the upper ones (second box), so each value returns to the box it came from.
class JSearch
{
public:
    static constexpr int kFieldCount = 16;

    // The 16 fields joined by the character 2, in stored order; the
    // identifier is computed first when empty.
    QString GetPackedData() const;
    // Fills the fields from a packed record. False when a field is missing
    // or Port, CheckSize or CheckDate is no such number; the fields read
    // before it keep their new values. The second argument is not used.
    bool ReadFromString(const QString &data, const QString &separator = {});

    // 32 lower-case hex digits: MD5 of the upper-cased search fields (not
    // Profile, not SearchDate). Computed when first read while empty; one
    // read from a record is kept as it was.
    QString uID() const;

    const QString &Server() const { return m_server; }
    void SetServer(const QString &v) { m_server = v; }
    const QString &User() const { return m_user; }
    void SetUser(const QString &v) { m_user = v; }
    const QString &Profile() const { return m_profile; }
    void SetProfile(const QString &v) { m_profile = v; }
    const QString &Password() const { return m_password; }
    void SetPassword(const QString &v) { m_password = v; }
    qint32 Port() const { return m_port; }
    void SetPort(qint32 v) { m_port = v; }
    quint8 CheckSize() const { return m_checkSize; }
    void SetCheckSize(quint8 v) { m_checkSize = v; }
    qint32 SizeMin() const { return m_sizeMin; }
    void SetSizeMin(qint32 v) { m_sizeMin = v; }
    qint32 SizeMax() const { return m_sizeMax; }
    void SetSizeMax(qint32 v) { m_sizeMax = v; }
    quint8 CheckDate() const { return m_checkDate; }
    void SetCheckDate(quint8 v) { m_checkDate = v; }
    const QString &DateMin() const { return m_dateMin; }
    void SetDateMin(const QString &v) { m_dateMin = v; }
    const QString &DateMax() const { return m_dateMax; }
    void SetDateMax(const QString &v) { m_dateMax = v; }
    const QString &FilePattern() const { return m_filePattern; }
    void SetFilePattern(const QString &v) { m_filePattern = v; }
    const QString &SearchDate() const { return m_searchDate; }
    void SetSearchDate(const QString &v) { m_searchDate = v; }
    const QString &ExtraPaths() const { return m_extraPaths; }
    void SetExtraPaths(const QString &v) { m_extraPaths = v; }
    quint8 SearchRoot() const { return m_searchRoot; }
    void SetSearchRoot(quint8 v) { m_searchRoot = v; }

private:
    QString m_server;
    QString m_user;
    QString m_profile;
    QString m_password;
    qint32 m_port = 0;
    quint8 m_checkSize = 0;
    qint32 m_sizeMin = 0;
    qint32 m_sizeMax = 0;
    quint8 m_checkDate = 0;
    QString m_dateMin;
    QString m_dateMax;
    QString m_filePattern;
    QString m_searchDate;
    QString m_extraPaths;
    quint8 m_searchRoot = 0;
    mutable QString m_uid;
};

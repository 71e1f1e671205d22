#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

// The MD5 digest behind the Init / Update / Final shape the identifiers use.
struct MD5Context {
    QCryptographicHash hash{QCryptographicHash::Md5};
};
void MD5Init(MD5Context &context);
void MD5Update(MD5Context &context, const char *data, qsizetype count);
QByteArray MD5Final(MD5Context &context); // the 16 digest bytes

// The identifier of a record: the MD5 digest of every UTF-8 byte of the text,
// as 32 lower-case hexadecimal characters. Callers upper-case the key fields.
QString DigestStrToHexStr(const QString &text);

// The text's bytes followed by one 0 element.
QByteArray StringToArray(const QString &text);

// Two lower-case hexadecimal digits per byte.
QString DigestToString(const QByteArray &digest);

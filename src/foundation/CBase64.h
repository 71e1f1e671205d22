#pragma once

#include <QString>

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks) over the
// UTF-8 bytes of a text. Every stored record of the program is wrapped in it.
class CBase64
{
public:
    QString ToBase64Ex(const QString &text) const;
    // Decodes leniently, as stored files of older versions need: characters
    // outside the alphabet count as 0, a character above code 128 ends the
    // decoding, and the result is cut before its first zero byte.
    QString Base64ToStringEx(const QString &base64) const;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text that leaves the program is UTF-8. Text that comes in (stored files,
// server bytes) is UTF-8 when it is valid UTF-8, else Windows-1252, the
// encoding files of older versions were written in.
namespace TextCodec {

QByteArray Encode(const QString &text);
QString Decode(const QByteArray &bytes);
bool IsValidUtf8(const QByteArray &bytes);
QString DecodeWindows1252(const QByteArray &bytes);

// Encoded byte count of a text.
qsizetype ByteLength(const QString &text);

// The encoded text cut to at most maxBytes bytes, never inside a character.
QByteArray EncodeTruncated(const QString &text, qsizetype maxBytes);

// Splits stored text into lines, accepting CR LF, LF or CR as line ends.
// A final line end does not make an extra empty line.
QStringList SplitLines(const QString &text);

// The lines of a stored file, each decoded on its own: a file of older
// single-byte lines with newer UTF-8 lines appended reads right throughout.
// Line ends as SplitLines.
QStringList DecodeLines(const QByteArray &bytes);

} // namespace TextCodec

#pragma once

#include <QByteArray>
#include <QString>

// The text of a user's file as the quick editor shows it, and the way back to
// bytes in the file's own form: the encoding it was read in (UTF-8 when valid,
// its byte-order mark kept, else a single-byte form that keeps every byte) and
// its own line ending. Nothing is added: an unchanged text gives back the very
// bytes that were read.
class EditedText
{
public:
    enum class Encoding { Utf8, SingleByte };
    enum class LineEnding { Lf, CrLf, Cr };

    // Reads the file's bytes; Text() has "\n" between lines.
    static EditedText FromBytes(const QByteArray &bytes);

    const QString &Text() const { return m_text; }
    Encoding encoding() const { return m_encoding; }
    LineEnding lineEnding() const { return m_lineEnding; }

    // The bytes of `text` ("\n" between lines) in the file's form. Characters
    // the single-byte form cannot hold become "?"; *lossless tells.
    QByteArray ToBytes(const QString &text, bool *lossless = nullptr) const;

private:
    QByteArray m_original;
    QString m_text;
    Encoding m_encoding = Encoding::Utf8;
    LineEnding m_lineEnding = LineEnding::Lf;
    bool m_byteOrderMark = false;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The text of a user's file as the quick editor shows it, and the way back to
// bytes in the file's own form: the encoding it was read in (UTF-8 when valid,
// its byte-order mark kept, else a single-byte form that keeps every byte) and
// each line's own ending. Nothing the user did not touch changes: an unchanged
// text gives back the very bytes that were read, and a line that is still
// there keeps its CR LF or LF.
class EditedText
{
public:
    enum class Encoding { Utf8, SingleByte };

    // Reads the file's bytes; Text() has "\n" between lines. A CR that does
    // not end a line is part of its line and shows as LoneCrMark().
    static EditedText FromBytes(const QByteArray &bytes);

    const QString &Text() const { return m_text; }
    Encoding encoding() const { return m_encoding; }
    QChar LoneCrMark() const { return m_loneCrMark; }

    // The bytes of `text` ("\n" between lines) in the file's form. Lines
    // matched in order to the file's lines keep their ending, new ones take
    // the file's usual one, and a last line without an ending gets none.
    // Nothing when the file's encoding cannot hold a character; *unencodable
    // then lists each such character once.
    std::optional<QByteArray> ToBytes(const QString &text, QStringList *unencodable = nullptr) const;

private:
    QByteArray m_original;
    QString m_text;
    Encoding m_encoding = Encoding::Utf8;
    bool m_byteOrderMark = false;
    QChar m_loneCrMark;
    // The file's lines (lone CRs shown as the mark) and the ending after each;
    // the last line's ending is always empty.
    QStringList m_lines;
    QStringList m_endings;
    QString m_usualEnding;
};

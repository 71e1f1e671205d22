#include "EditedText.h"

#include "TextCodec.h"

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// The line ending the file uses most; LF for a file of one line.
EditedText::LineEnding DominantLineEnding(const QByteArray &bytes)
{
    qsizetype crlf = 0, lf = 0, cr = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (bytes[i] == '\n') {
            ++lf;
        }
    }
    if (crlf > 0 && crlf >= lf && crlf >= cr)
        return EditedText::LineEnding::CrLf;
    if (cr > lf)
        return EditedText::LineEnding::Cr;
    return EditedText::LineEnding::Lf;
}

// Any of CR LF, CR and LF becomes "\n".
QString UnifyLineEnds(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out.append(u'\n');
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

// The inverse of TextCodec::DecodeWindows1252, which maps every byte.
QByteArray EncodeSingleByte(const QString &text, bool *lossless)
{
    static const QString high = TextCodec::DecodeWindows1252(QByteArray::fromHex(
        "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f"));
    QByteArray out;
    out.reserve(text.size());
    bool complete = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        const qsizetype at = high.indexOf(c);
        if (at >= 0) {
            out.append(static_cast<char>(0x80 + at));
        } else {
            out.append('?');
            complete = false;
        }
    }
    if (lossless)
        *lossless = complete;
    return out;
}

} // namespace

EditedText EditedText::FromBytes(const QByteArray &bytes)
{
    EditedText edited;
    edited.m_original = bytes;
    edited.m_lineEnding = DominantLineEnding(bytes);
    if (TextCodec::IsValidUtf8(bytes)) {
        edited.m_encoding = Encoding::Utf8;
        edited.m_byteOrderMark = bytes.startsWith(kUtf8Mark);
        const QByteArray body = edited.m_byteOrderMark ? bytes.mid(kUtf8Mark.size()) : bytes;
        edited.m_text = UnifyLineEnds(QString::fromUtf8(body));
    } else {
        edited.m_encoding = Encoding::SingleByte;
        edited.m_text = UnifyLineEnds(TextCodec::DecodeWindows1252(bytes));
    }
    return edited;
}

QByteArray EditedText::ToBytes(const QString &text, bool *lossless) const
{
    if (lossless)
        *lossless = true;
    // A file of mixed line ends keeps them while its text is unchanged.
    if (text == m_text)
        return m_original;
    QString lines = text;
    if (m_lineEnding == LineEnding::CrLf)
        lines.replace(u'\n', QStringLiteral("\r\n"));
    else if (m_lineEnding == LineEnding::Cr)
        lines.replace(u'\n', u'\r');
    if (m_encoding == Encoding::SingleByte)
        return EncodeSingleByte(lines, lossless);
    QByteArray bytes = lines.toUtf8();
    if (m_byteOrderMark)
        bytes.prepend(kUtf8Mark);
    return bytes;
}

#include "TextCodec.h"

#include <QStringDecoder>

namespace TextCodec {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; undefined bytes map to
// the C1 control of the same value, as the platform's converter did.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Splits at CR LF, lone CR and lone LF; a final break adds no empty line.
// makeLine turns the text between two breaks (QString or QByteArray) into its line.
template <typename Text, typename MakeLine>
QStringList SplitAtLineBreaks(const Text &text, MakeLine makeLine)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(makeLine(text.mid(start, i - start)));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(makeLine(text.mid(start)));
    return lines;
}

} // namespace

QByteArray Encode(const QString &text) { return text.toUtf8(); }

bool IsValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = decoder.decode(bytes);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

QString DecodeWindows1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b >= 0x80 && b <= 0x9F ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    }
    return out;
}

QString Decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? DecodeWindows1252(bytes) : text;
}

qsizetype ByteLength(const QString &text) { return Encode(text).size(); }

QByteArray EncodeTruncated(const QString &text, qsizetype maxBytes)
{
    QByteArray bytes = Encode(text);
    if (maxBytes < 0)
        maxBytes = 0;
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype cut = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to a character start.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

QStringList SplitLines(const QString &text)
{
    return SplitAtLineBreaks(text, [](const QString &line) { return line; });
}

QStringList DecodeLines(const QByteArray &bytes)
{
    // Each line is decoded on its own: one line's bytes do not decide another's encoding.
    return SplitAtLineBreaks(bytes, [](const QByteArray &line) { return Decode(line); });
}

} // namespace TextCodec

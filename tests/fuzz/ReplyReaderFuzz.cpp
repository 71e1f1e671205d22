// Feeds arbitrary control-connection bytes, cut into arbitrary pieces, to the
// reply reader. Besides crashes and sanitizer reports it checks what the
// engine relies on: the same lines come out however the bytes are cut, a
// final line always starts with three digits, no line is longer than the cap,
// and a reader that reported a fault stays silent.
#include "ReplyCodes.h"
#include "ReplyReader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

QList<ReplyReader::Line> ReadInPieces(const QByteArray &bytes, std::uint8_t seed, ReplyReader &reader)
{
    QList<ReplyReader::Line> lines;
    qsizetype pos = 0;
    qsizetype step = 1 + seed % 17;
    while (pos < bytes.size()) {
        lines += reader.feed(bytes.mid(pos, step));
        pos += step;
        step = 1 + (step * 7 + seed) % 23;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t seed = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    ReplyReader whole;
    const QList<ReplyReader::Line> once = whole.feed(bytes);
    ReplyReader pieces;
    const QList<ReplyReader::Line> cut = ReadInPieces(bytes, seed, pieces);

    if (whole.fault() == ReplyReader::Fault::None && pieces.fault() == ReplyReader::Fault::None) {
        if (once.size() != cut.size())
            std::abort();
        for (qsizetype i = 0; i < once.size(); ++i) {
            if (once[i].text != cut[i].text || once[i].final != cut[i].final || once[i].code != cut[i].code)
                std::abort();
        }
    }
    for (const ReplyReader::Line &line : once) {
        if (line.final) {
            const QString code = line.text.left(3);
            if (code.size() != 3 || !code[0].isDigit() || !code[1].isDigit() || !code[2].isDigit())
                std::abort();
            // Judging the code against the built-in maps never fails.
            (void)ReplyCodes::FindAction(QStringLiteral("4XX[R]5XX[E]$XXX[Q]"), code);
            (void)ReplyCodes::IsSuccess(code, QStringLiteral("225-226-200-2XX[I]"));
        }
    }
    if (whole.fault() != ReplyReader::Fault::None && !whole.feed("200 ok\r\n").isEmpty())
        std::abort();
    // The same bytes read as a reply map and a success-code field.
    const QString text = QString::fromLatin1(bytes.left(256));
    (void)ReplyCodes::FindAction(text, QStringLiteral("550"));
    (void)ReplyCodes::IsSuccess(QStringLiteral("226"), text);
    return 0;
}

#include "CBase64.h"

#include "TextCodec.h"

#include <array>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<quint8, 129> makeReverseTable()
{
    std::array<quint8, 129> table{};
    for (quint8 i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

constexpr auto kReverse = makeReverseTable();

} // namespace

QString CBase64::ToBase64Ex(const QString &text) const
{
    return QString::fromLatin1(TextCodec::Encode(text).toBase64());
}

QString CBase64::Base64ToStringEx(const QString &base64) const
{
    int tail = 0;
    if (base64.contains(QStringLiteral("==")))
        tail = 2;
    else if (base64.contains(QLatin1Char('=')))
        tail = 1;

    const QByteArray encoded = TextCodec::Encode(base64);
    const qsizetype m = std::max<qsizetype>(0, encoded.size() - tail);
    QByteArray out;
    out.reserve(m / 4 * 3 + 3);

    // Values of the characters from `pos`; false at a character above code 128.
    auto values = [&](qsizetype pos, int count, quint32 &bits) {
        bits = 0;
        for (int k = 0; k < count; ++k) {
            const auto code = static_cast<unsigned char>(encoded[pos + k]);
            if (code > 128)
                return false;
            bits = (bits << 6) | kReverse[code];
        }
        return true;
    };

    qsizetype pos = 0;
    quint32 bits = 0;
    bool stopped = false;
    for (; pos + 4 <= m; pos += 4) {
        if (!values(pos, 4, bits)) {
            stopped = true;
            break;
        }
        out.append(static_cast<char>(bits >> 16));
        out.append(static_cast<char>(bits >> 8));
        out.append(static_cast<char>(bits));
    }
    if (!stopped) {
        if (tail == 2 && pos + 2 <= encoded.size() && values(pos, 2, bits)) {
            out.append(static_cast<char>(bits >> 4));
        } else if (tail == 1 && pos + 3 <= encoded.size() && values(pos, 3, bits)) {
            out.append(static_cast<char>(bits >> 10));
            out.append(static_cast<char>(bits >> 2));
        }
    }
    const qsizetype zero = out.indexOf('\0');
    if (zero >= 0)
        out.truncate(zero);
    return TextCodec::Decode(out);
}

#include "MD5Driver.h"

#include "ErrorLog.h"
#include "TextCodec.h"

void MD5Init(MD5Context &context) { context.hash.reset(); }

void MD5Update(MD5Context &context, const char *data, qsizetype count)
{
    context.hash.addData(QByteArrayView(data, count));
}

QByteArray MD5Final(MD5Context &context) { return context.hash.result(); }

QByteArray StringToArray(const QString &text)
{
    QByteArray bytes = TextCodec::Encode(text);
    bytes.append('\0');
    return bytes;
}

QString DigestToString(const QByteArray &digest) { return QString::fromLatin1(digest.toHex()); }

QString DigestStrToHexStr(const QString &text)
{
    try {
        MD5Context context;
        MD5Init(context);
        const QByteArray bytes = StringToArray(text);
        MD5Update(context, bytes.constData(), bytes.size() - 1); // not the trailing 0
        return DigestToString(MD5Final(context));
    } catch (...) {
        LogCurrentException(QStringLiteral("MD5Driver"), QStringLiteral("DigestStrToHexStr"));
        return {};
    }
}

// Feeds arbitrary server bytes to the listing parser. Besides crashes and
// sanitizer reports it checks what callers rely on: the count matches the
// items, every item has a name, sizes are never negative, and names never
// hold a line break.
#include "DirectoryListingParser.h"

#include "TextCodec.h"

#include <QByteArray>
#include <QDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Any error log goes to a scratch folder, never the user's data.
    const QByteArray home = QDir::tempPath().toUtf8() + "/ftpqor-listing-fuzz";
    QDir().mkpath(QString::fromUtf8(home));
    qputenv("FTPQOR_HOME", home);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The first line doubles as the folder path, so prefix stripping is reached.
    const qsizetype firstBreak = bytes.indexOf('\n');
    const QString folder = TextCodec::Decode(bytes.left(firstBreak < 0 ? 0 : firstBreak));
    const QString listing = TextCodec::Decode(bytes);

    for (const QString &path : {QStringLiteral("/"), folder}) {
        qsizetype count = -1;
        const QList<FtpFileItem> items = GetFileList(listing, path, count);
        if (count != items.size())
            std::abort();
        for (const FtpFileItem &item : items) {
            if (item.Name.isEmpty() || item.Size < 0 || item.Name.contains(QLatin1Char('\n')))
                std::abort();
        }
    }
    if (GetUnixFileItem(listing.left(listing.indexOf(QLatin1Char('\n')))).size() > 9)
        std::abort();
    return 0;
}

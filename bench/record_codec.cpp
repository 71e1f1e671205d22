// Packs and unpacks job-file-sized records through Base64 and keys them with
// MD5 identifiers, as loading a large job file does.
// Usage: record_codec [records]   Last line: records=N seconds=S records_per_second=R
#include "CBase64.h"
#include "MD5Driver.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 count = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200000;
    const QString record = QStringLiteral("1\x02" "ftp.example.org\x02" "21\x02" "user\x02" "secret\x02"
                                          "/pub/releases/2009\x02" "archive-\u00e9t\u00e9.tar.gz\x02"
                                          "/home/user/downloads\x02" "0\x02" "1048576\x02" "0");
    const CBase64 codec;
    QElapsedTimer timer;
    timer.start();
    qint64 check = 0;
    for (qint64 i = 0; i < count; ++i) {
        const QString line = codec.ToBase64Ex(record + QString::number(i));
        const QString back = codec.Base64ToStringEx(line);
        check += DigestStrToHexStr(back.toUpper()).size();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("checksum=%lld\n", static_cast<long long>(check));
    std::printf("records=%lld seconds=%.3f records_per_second=%.0f\n", static_cast<long long>(count), seconds,
                count / seconds);
    return 0;
}

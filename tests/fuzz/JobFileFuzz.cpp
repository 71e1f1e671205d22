// Feeds arbitrary bytes to the job-file reader, both as a file and as one
// Base64 line. Besides crashes and sanitizer reports it checks what the
// queue relies on: every line gives a job or is kept aside, and a job read
// is one the program may act on (plain names, a clean absolute folder, no
// line breaks, sane numbers), and reads back the same after a write.
#include "JobFile.h"

#include <QByteArray>
#include <QDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const QByteArray home = QDir::tempPath().toUtf8() + "/ftpqor-jobfile-fuzz";
    QDir().mkpath(QString::fromUtf8(home));
    qputenv("FTPQOR_HOME", home);
    return 0;
}

namespace {

void Check(const JobFile::Content &content)
{
    for (const auto &job : content.jobs) {
        const QString folder = job->LocalPath();
        if (!folder.startsWith(QLatin1Char('/')) || folder.contains(QLatin1String("/../"))
            || folder.endsWith(QLatin1String("/..")))
            std::abort();
        for (const QString &name : {job->LocalFileTitle(), job->RemoteFileTitle()}) {
            if (name.isEmpty() || name == QLatin1String("..") || name.contains(QLatin1Char('/')))
                std::abort();
        }
        if (job->GetPackedData().contains(QLatin1Char('\r')) || job->GetPackedData().contains(QLatin1Char('\n')))
            std::abort();
        if (job->ServerPort() < 0 || job->ServerPort() > 65535 || job->TransferedBytes() < 0)
            std::abort();
        // Written and read again, the record is the same.
        qint64 serial = 0;
        const auto again = JobFile::Parse(JobFile::EncodeLine(*job), serial);
        if (again.jobs.size() != 1)
            std::abort();
        QStringList before = job->GetPackedData().split(QChar(2));
        QStringList after = again.jobs[0]->GetPackedData().split(QChar(2));
        before[15].clear(); // the load tag is the reader's own
        after[15].clear();
        if (before != after)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    qint64 serial = 0;
    Check(JobFile::Parse(bytes, serial));
    // The same bytes as one well-formed line, to reach the record reader.
    Check(JobFile::Parse(bytes.toBase64(), serial));
    return 0;
}

#include "JobFile.h"

#include "StoredFile.h"
#include "TextCodec.h"

#include <QFileInfo>

namespace JobFile {

QByteArray EncodeLine(const FtpTask &job)
{
    return TextCodec::Encode(job.GetPackedData()).toBase64();
}

namespace {

std::shared_ptr<FtpTask> ReadLine(const QByteArray &line, qint64 serial)
{
    if (line.size() > kMaxLineLength)
        return {};
    const auto decoded =
        QByteArray::fromBase64Encoding(line, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return {};
    auto job = std::make_shared<FtpTask>();
    if (!job->ReadFromString(TextCodec::Decode(decoded.decoded), QString::number(serial) + QLatin1Char('K')))
        return {};
    return job;
}

} // namespace

Content Parse(const QByteArray &bytes, qint64 &serial)
{
    Content content;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArray raw = bytes.mid(start, end - start);
        start = end + 1;
        if (end + 1 < size && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++start;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (auto job = ReadLine(line, serial)) {
            ++serial;
            content.jobs.push_back(std::move(job));
        } else {
            content.unreadable.append(raw);
        }
    }
    return content;
}

std::optional<Content> Read(const QString &path, qint64 &serial, QString *error)
{
    if (QFileInfo(path).size() > kMaxFileMiB * 1024 * 1024) {
        if (error)
            *error = QStringLiteral("'") + QFileInfo(path).fileName() + QStringLiteral("' was not loaded: job files larger than ") +
                     QString::number(kMaxFileMiB) + QStringLiteral(" MiB are refused.");
        return std::nullopt;
    }
    const auto bytes = StoredFile::ReadAll(path, error);
    if (!bytes)
        return std::nullopt;
    return Parse(*bytes, serial);
}

} // namespace JobFile

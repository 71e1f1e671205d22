#include "ErrorLog.h"

#include "DataRoot.h"
#include "TextCodec.h"

#include <QFile>

#include <exception>
#include <new>

RuntimeError::RuntimeError(long number, const QString &description, const QString &source)
    : std::runtime_error(description.toStdString())
    , m_number(number)
    , m_description(description)
    , m_source(source)
{
}

QString LongTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out.append(c);
    }
    return out.trimmed();
}

QString FormatErrorLogLine(const QDateTime &when, const QLocale &locale, const QString &objectName,
                           const QString &procedureName, long number, const QString &description)
{
    const QString stamp = locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(when.time(), LongTimeFormat(locale));
    return stamp + QStringLiteral(": ") + objectName + QLatin1Char('.') + procedureName
        + QStringLiteral(" -->{") + QString::number(number) + QStringLiteral("} ") + description;
}

void LogErrorToFile(const QString &objectName, const QString &procedureName, long number,
                    const QString &description)
{
    const QString line = FormatErrorLogLine(QDateTime::currentDateTime(), QLocale(), objectName,
                                            procedureName, number, description);
    QFile file(DataRoot::FileInRoot(QStringLiteral("error.log")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // the log is best effort: the caller goes on
    file.write(TextCodec::Encode(line) + "\r\n");
}

void LogErrorToFile(const QString &objectName, const QString &procedureName)
{
    LogErrorToFile(objectName, procedureName, 0, QString());
}

void LogErrorToFile(const QString &objectName, const QString &procedureName, const RuntimeError &error)
{
    LogErrorToFile(objectName, procedureName, error.number(), error.description());
}

void LogCurrentException(const QString &objectName, const QString &procedureName)
{
    try {
        throw;
    } catch (const RuntimeError &e) {
        LogErrorToFile(objectName, procedureName, e);
    } catch (const std::bad_alloc &) {
        LogErrorToFile(objectName, procedureName, ErrorNumber::OutOfMemory, QStringLiteral("Out of memory"));
    } catch (const std::out_of_range &e) {
        LogErrorToFile(objectName, procedureName, ErrorNumber::SubscriptOutOfRange,
                       QString::fromUtf8(e.what()));
    } catch (const std::exception &e) {
        LogErrorToFile(objectName, procedureName, ErrorNumber::Unexpected, QString::fromUtf8(e.what()));
    } catch (...) {
        LogErrorToFile(objectName, procedureName, ErrorNumber::Unexpected, QStringLiteral("Unknown error"));
    }
}

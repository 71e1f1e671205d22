#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <stdexcept>

// Error numbers of the failures the program traps and logs.
namespace ErrorNumber {
constexpr int InvalidProcedureCall = 5;
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int FileAlreadyOpen = 55;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int Unexpected = 440;
} // namespace ErrorNumber

// A failure carrying an error number, a description and, where the thrower
// names one, a source. Thrown where a check fails; caught at each event
// handler and public entry point, where it is logged.
class RuntimeError : public std::runtime_error
{
public:
    RuntimeError(long number, const QString &description, const QString &source = {});

    long number() const { return m_number; }
    const QString &description() const { return m_description; }
    const QString &source() const { return m_source; }

private:
    long m_number;
    QString m_description;
    QString m_source;
};

// Appends one line to "error.log" in the data root:
//   <short date> <long time>: <object>.<procedure> -->{<number>} <description>
// Writing the log never fails the caller.
void LogErrorToFile(const QString &objectName, const QString &procedureName,
                    long number, const QString &description);

// The trace form, with no pending error: the line ends with "{0} ".
void LogErrorToFile(const QString &objectName, const QString &procedureName);

void LogErrorToFile(const QString &objectName, const QString &procedureName, const RuntimeError &error);

// For use inside a catch block: logs the exception being handled.
void LogCurrentException(const QString &objectName, const QString &procedureName);

// Runs an event handler's body, logging whatever escapes it.
template <typename Body>
void RunTrapped(const QString &objectName, const QString &procedureName, Body &&body)
{
    try {
        body();
    } catch (...) {
        LogCurrentException(objectName, procedureName);
    }
}

// The line itself, without its CR LF.
QString FormatErrorLogLine(const QDateTime &when, const QLocale &locale, const QString &objectName,
                           const QString &procedureName, long number, const QString &description);

// The locale's long time format without a time-zone field.
QString LongTimeFormat(const QLocale &locale);

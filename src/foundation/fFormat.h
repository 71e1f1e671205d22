#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Locale-aware formatting of dates, times, numbers and currency. Locales are
// named by LCID; 0 and 2048 mean the user's default locale. Failures are
// thrown as RuntimeError with the source "NLS.Formats".
class fFormat
{
public:
    enum NamedFormat { GeneralDate = 0, LongDate = 1, ShortDate = 2, LongTime = 3, ShortTime = 4 };

    static constexpr quint32 kSystemDefaultLcid = 2048;
    static constexpr long kNlsErrorNumber = -2147221504; // 0x80040000

    QString FormatLocaleDateTime(quint32 lcid, const QDateTime &value, int namedFormat) const;
    QString ComposeLocaleDateTime(int year, int month, int day, int hour, int minute, int second,
                                  int namedFormat) const;
    QString FormatLocaleNumber(quint32 lcid, double number, int digitsAfterDecimal, int leadingZero,
                               int parensForNegative, int groupDigits) const;
    QString FormatLocaleCurrency(quint32 lcid, double number, int digitsAfterDecimal, int leadingZero,
                                 int parensForNegative, int groupDigits) const;
    QString GetLocaleInfo(quint32 lcid, quint32 infoType) const;
    bool IsValidLocale(quint32 lcid, quint32 flags) const;
    bool IsValidCodePage(quint32 codePage) const;
    quint32 GetACP() const;
    quint32 ConvertDefaultLocale(quint32 lcid) const;
    quint16 GetSystemDefaultLangID() const;
    quint32 GetSystemDefaultLCID() const;
    QDateTime GetSystemTime() const;

    // The QLocale an LCID stands for.
    static QLocale LocaleFor(quint32 lcid);
    // Throws the error of a platform error code (87, 122, 1004 or another).
    [[noreturn]] static void RaiseNlsError(quint32 errorCode);

private:
    QString formatDateTime(const QLocale &locale, const QDate &date, const QTime &time, int namedFormat) const;
};

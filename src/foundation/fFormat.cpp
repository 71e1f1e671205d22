#include "fFormat.h"

#include "ErrorLog.h"

#include <cmath>

namespace {

constexpr quint32 kErrorInvalidParameter = 87;
constexpr quint32 kErrorInsufficientBuffer = 122;
constexpr quint32 kErrorInvalidFlags = 1004;

// The locale identifiers the program can name, with their Qt locales.
struct LcidName {
    quint32 lcid;
    const char *name;
};
constexpr LcidName kLcids[] = {
    {1031, "de_DE"}, {1033, "en_US"}, {1034, "es_ES"}, {1036, "fr_FR"}, {1040, "it_IT"},
    {1041, "ja_JP"}, {1043, "nl_NL"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1049, "ru_RU"},
    {1053, "sv_SE"}, {2052, "zh_CN"}, {2057, "en_GB"}, {2070, "pt_PT"}, {3079, "de_AT"},
    {3081, "en_AU"}, {4105, "en_CA"},
};

bool isDefaultLcid(quint32 lcid) { return lcid == 0 || lcid == 1024 || lcid == fFormat::kSystemDefaultLcid; }

QString shortTimeFormat24() { return QStringLiteral("HH:mm"); }

// Plain digits with optional grouping, per the leading-zero rule; no sign.
QString formatMagnitude(const QLocale &locale, double magnitude, int digits, bool leadingZero, bool group)
{
    QLocale copy = locale;
    copy.setNumberOptions(group ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    QString text = copy.toString(magnitude, 'f', digits);
    const QString zeroPoint = QString(locale.zeroDigit()) + locale.decimalPoint();
    if (!leadingZero && text.startsWith(zeroPoint))
        text.remove(0, locale.zeroDigit().size());
    return text;
}

} // namespace

QLocale fFormat::LocaleFor(quint32 lcid)
{
    if (isDefaultLcid(lcid))
        return QLocale();
    for (const auto &entry : kLcids)
        if (entry.lcid == lcid)
            return QLocale(QString::fromLatin1(entry.name));
    RaiseNlsError(kErrorInvalidParameter);
}

void fFormat::RaiseNlsError(quint32 errorCode)
{
    QString description;
    switch (errorCode) {
    case kErrorInvalidParameter: description = QStringLiteral("Invalid parameter."); break;
    case kErrorInsufficientBuffer: description = QStringLiteral("Insufficient buffer."); break;
    case kErrorInvalidFlags: description = QStringLiteral("Invalid flags."); break;
    default:
        description = QStringLiteral("Unknown system error (") + QString::number(errorCode, 16).toUpper()
            + QStringLiteral(").");
    }
    throw RuntimeError(kNlsErrorNumber, description, QStringLiteral("NLS.Formats"));
}

QString fFormat::formatDateTime(const QLocale &locale, const QDate &date, const QTime &time,
                                int namedFormat) const
{
    if (!date.isValid() || !time.isValid())
        RaiseNlsError(kErrorInvalidParameter);
    switch (namedFormat) {
    case LongDate: return locale.toString(date, QLocale::LongFormat);
    case ShortDate: return locale.toString(date, QLocale::ShortFormat);
    case LongTime: return locale.toString(time, LongTimeFormat(locale));
    case ShortTime: return locale.toString(time, shortTimeFormat24());
    default: break;
    }
    QString text;
    if (date != QDate(1899, 12, 30))
        text = locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ');
    if (text.isEmpty() || time != QTime(0, 0))
        return text + locale.toString(time, LongTimeFormat(locale));
    return text.chopped(1);
}

QString fFormat::FormatLocaleDateTime(quint32 lcid, const QDateTime &value, int namedFormat) const
{
    return formatDateTime(LocaleFor(lcid), value.date(), value.time(), namedFormat);
}

QString fFormat::ComposeLocaleDateTime(int year, int month, int day, int hour, int minute, int second,
                                       int namedFormat) const
{
    return formatDateTime(QLocale(), QDate(year, month, day), QTime(hour, minute, second), namedFormat);
}

namespace {

// Shared by numbers and currency: the digits of |number| and how to sign them.
struct SignedDigits {
    QString magnitude;
    bool negative = false;
};

SignedDigits numberDigits(const QLocale &locale, double number, int digitsAfterDecimal, int leadingZero,
                          int groupDigits)
{
    if (!std::isfinite(number))
        fFormat::RaiseNlsError(kErrorInvalidParameter);
    const int digits = digitsAfterDecimal >= 0 ? digitsAfterDecimal : 2;
    const bool zero = leadingZero == -2 || leadingZero == -1;
    SignedDigits out;
    out.magnitude = formatMagnitude(locale, std::fabs(number), digits, zero, groupDigits != 0);
    // A negative number that rounds to zero is shown without a sign.
    out.negative = number < 0 && out.magnitude != formatMagnitude(locale, 0.0, digits, zero, false);
    return out;
}

QString applySign(const QLocale &locale, const QString &text, bool negative, int parensForNegative)
{
    if (!negative)
        return text;
    if (parensForNegative == -1)
        return QLatin1Char('(') + text + QLatin1Char(')');
    return locale.negativeSign() + text;
}

} // namespace

QString fFormat::FormatLocaleNumber(quint32 lcid, double number, int digitsAfterDecimal, int leadingZero,
                                    int parensForNegative, int groupDigits) const
{
    const QLocale locale = LocaleFor(lcid);
    const SignedDigits d = numberDigits(locale, number, digitsAfterDecimal, leadingZero, groupDigits);
    return applySign(locale, d.magnitude, d.negative, parensForNegative);
}

QString fFormat::FormatLocaleCurrency(quint32 lcid, double number, int digitsAfterDecimal, int leadingZero,
                                      int parensForNegative, int groupDigits) const
{
    const QLocale locale = LocaleFor(lcid);
    const SignedDigits d = numberDigits(locale, number, digitsAfterDecimal, leadingZero, groupDigits);
    // Let the locale place the symbol, then put our digits in place of its own.
    QString text = locale.toCurrencyString(1.0, locale.currencySymbol(), 0);
    const QString one = locale.toString(1);
    text.replace(text.indexOf(one), one.size(), d.magnitude);
    return applySign(locale, text, d.negative, parensForNegative);
}

QString fFormat::GetLocaleInfo(quint32 lcid, quint32 infoType) const
{
    const QLocale locale = LocaleFor(lcid);
    switch (infoType) {
    case 2: return QLocale::languageToString(locale.language());         // language name
    case 14: return locale.decimalPoint();                                // decimal separator
    case 15: return locale.groupSeparator();                              // thousands separator
    case 16: return QStringLiteral("3;0");                                // grouping
    case 17: return QStringLiteral("2");                                  // digits
    case 18: return QStringLiteral("1");                                  // leading zero
    case 20: return locale.currencySymbol();                              // currency symbol
    case 22: return locale.decimalPoint();                                // currency decimal separator
    case 24: return QStringLiteral("3;0");                                // currency grouping
    case 26: return QStringLiteral("2");                                  // currency digits
    case 29: return locale.dateFormat(QLocale::ShortFormat).contains(QLatin1Char('/'))
            ? QStringLiteral("/") : QStringLiteral(".");                  // date separator
    case 31: return locale.dateFormat(QLocale::ShortFormat);              // short date
    case 32: return locale.dateFormat(QLocale::LongFormat);               // long date
    case 4099: return LongTimeFormat(locale);                             // time format
    case 4112: return QStringLiteral("1");                                // negative number order
    default: RaiseNlsError(kErrorInvalidParameter);
    }
}

bool fFormat::IsValidLocale(quint32 lcid, quint32 /*flags*/) const
{
    if (isDefaultLcid(lcid))
        return true;
    for (const auto &entry : kLcids)
        if (entry.lcid == lcid)
            return true;
    return false;
}

bool fFormat::IsValidCodePage(quint32 codePage) const
{
    return codePage == 65001 || codePage == 1252 || codePage == 28591 || codePage == 20127;
}

quint32 fFormat::GetACP() const { return 65001; } // text leaves the program as UTF-8

quint32 fFormat::ConvertDefaultLocale(quint32 lcid) const
{
    return isDefaultLcid(lcid) ? GetSystemDefaultLCID() : lcid;
}

quint16 fFormat::GetSystemDefaultLangID() const { return static_cast<quint16>(GetSystemDefaultLCID() & 0xFFFF); }

quint32 fFormat::GetSystemDefaultLCID() const
{
    const QString name = QLocale().name();
    for (const auto &entry : kLcids)
        if (name == QLatin1String(entry.name))
            return entry.lcid;
    return 1033;
}

QDateTime fFormat::GetSystemTime() const
{
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}

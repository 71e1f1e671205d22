#include "CProfile.h"

#include <QStringList>

#include <cmath>
#include <limits>
#include <optional>

double LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && text[i].unicode() < 128 && text[i].isDigit()) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    qsizetype end = i;
    // An exponent counts only when digits follow it.
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        const qsizetype expStart = j;
        while (j < n && text[j].unicode() < 128 && text[j].isDigit())
            ++j;
        if (j > expStart)
            end = j;
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    return ok ? value : 0;
}

namespace {

// The element as a whole number within [low, high], rounded half to even.
template <typename T>
std::optional<T> numberIn(const QString &element, double low, double high)
{
    const double value = std::nearbyint(LeadingNumber(element));
    if (!std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return static_cast<T>(value);
}

std::optional<quint8> byteField(const QString &element) { return numberIn<quint8>(element, 0, 255); }

} // namespace

QString CProfile::GetPackedData() const
{
    const QStringList fields{
        ProfileName,
        Server,
        QString::number(Port),
        User,
        Password,
        QString::number(IsPassive),
        QString::number(IsDeleted),
        LocalPath,
        RemotePath,
        QString::number(TimeZone),
        QString::number(KeepAlive),
    };
    return fields.join(kPackedFieldSeparator);
}

bool CProfile::ReadFromString(const QString &packed)
{
    const QStringList e = packed.isEmpty() ? QStringList() : packed.split(kPackedFieldSeparator);
    auto has = [&](qsizetype i) { return i < e.size(); };

    if (!has(0))
        return false;
    ProfileName = e[0];
    if (!has(1))
        return false;
    Server = e[1];
    if (!has(2))
        return false;
    const auto port = numberIn<qint32>(e[2], std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    if (!port)
        return false;
    Port = *port;
    if (!has(3))
        return false;
    User = e[3];
    if (!has(4))
        return false;
    Password = e[4];
    if (!has(5))
        return false;
    const auto passive = byteField(e[5]);
    if (!passive)
        return false;
    IsPassive = *passive;
    if (!has(6))
        return false;
    const auto deleted = byteField(e[6]);
    if (!deleted)
        return false;
    IsDeleted = *deleted;
    if (!has(7))
        return false;
    LocalPath = e[7];
    if (!has(8))
        return false;
    RemotePath = e[8];
    if (!has(9))
        return false;
    const auto zone = byteField(e[9]);
    if (!zone)
        return false;
    TimeZone = *zone;
    if (has(10)) {
        if (const auto keepAlive = byteField(e[10]))
            KeepAlive = *keepAlive;
    }
    return true;
}

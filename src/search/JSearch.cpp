#include "JSearch.h"

#include "MD5Driver.h"
#include "WholeNumber.h"

#include <QStringList>

#include <optional>

namespace {

constexpr QChar kFieldSeparator(2);

} // namespace

QString JSearch::uID() const
{
    if (m_uid.isEmpty()) {
        const QString joined = m_filePattern + m_server + QString::number(m_port) + m_user + m_password
                             + QString::number(m_checkSize) + QString::number(m_sizeMin)
                             + QString::number(m_sizeMax) + QString::number(m_checkDate) + m_dateMin + m_dateMax
                             + m_extraPaths + QString::number(m_searchRoot);
        m_uid = DigestStrToHexStr(joined.toUpper());
    }
    return m_uid;
}

QString JSearch::GetPackedData() const
{
    const QStringList fields{m_server,
                             m_user,
                             m_profile,
                             m_password,
                             QString::number(m_port),
                             QString::number(m_checkSize),
                             QString::number(m_sizeMin),
                             QString::number(m_sizeMax),
                             QString::number(m_checkDate),
                             m_dateMin,
                             m_dateMax,
                             m_filePattern,
                             m_searchDate,
                             m_extraPaths,
                             QString::number(m_searchRoot),
                             uID()};
    return fields.join(kFieldSeparator);
}

bool JSearch::ReadFromString(const QString &data, const QString &)
{
    const QStringList fields = data.split(kFieldSeparator);
    const auto count = fields.size();
    auto text = [&](int position, QString &target) {
        if (position > count)
            return false;
        target = fields.at(position - 1);
        return true;
    };
    auto strict = [&](int position, auto &target) {
        using Int = std::remove_reference_t<decltype(target)>;
        if (position > count)
            return false;
        const auto value = ToWholeNumber<Int>(fields.at(position - 1));
        if (!value)
            return false;
        target = *value;
        return true;
    };
    auto lenient = [&](int position, auto &target) {
        using Int = std::remove_reference_t<decltype(target)>;
        if (position > count)
            return false;
        const auto value = LeadingWholeNumber<Int>(fields.at(position - 1));
        if (!value)
            return false;
        target = *value;
        return true;
    };
    QString uid;
    const bool ok = text(1, m_server) && text(2, m_user) && text(3, m_profile) && text(4, m_password)
                 && strict(5, m_port) && strict(6, m_checkSize) && lenient(7, m_sizeMin) && lenient(8, m_sizeMax)
                 && strict(9, m_checkDate) && text(10, m_dateMin) && text(11, m_dateMax)
                 && text(12, m_filePattern) && text(13, m_searchDate) && text(14, m_extraPaths)
                 && lenient(15, m_searchRoot) && text(16, uid);
    if (ok)
        m_uid = uid;
    return ok;
}

#include "FileHandler.h"

#include "MD5Driver.h"
#include "WholeNumber.h"

#include <QStringList>

#include <optional>

namespace {

constexpr QChar kFieldSeparator(2);

} // namespace

QString FileHandler::ActionName(int action)
{
    switch (action) {
    case 0: return QStringLiteral("<None>");
    case 1: return QStringLiteral("View");
    case 2: return QStringLiteral("Edit");
    case 3: return QStringLiteral("View / Edit");
    default: return {};
    }
}

QString FileHandler::ComputeID() const
{
    return DigestStrToHexStr((m_filePatterns + QString::number(m_action)).toUpper());
}

QString FileHandler::UniqueID() const
{
    if (m_uniqueId.isEmpty())
        m_uniqueId = ComputeID();
    return m_uniqueId;
}

QString FileHandler::RegenerateID()
{
    m_uniqueId = ComputeID();
    return m_uniqueId;
}

QString FileHandler::GetPackedData() const
{
    const QStringList fields{m_filePatterns,
                             m_applicationPath,
                             m_applicationFlags,
                             QString::number(m_internalEditorEnabled),
                             QString::number(m_action),
                             UniqueID(),
                             m_applicationTitle,
                             QString::number(m_systemOpenEnabled)};
    return fields.join(kFieldSeparator);
}

bool FileHandler::ReadFromString(const QString &data)
{
    const QStringList fields = data.split(kFieldSeparator);
    auto field = [&](int position) -> std::optional<QString> {
        if (position > fields.size())
            return std::nullopt;
        return fields.at(position - 1);
    };

    auto patterns = field(1);
    if (!patterns)
        return false;
    m_filePatterns = *patterns;

    auto path = field(2);
    if (!path)
        return false;
    m_applicationPath = *path;

    auto flags = field(3);
    if (!flags)
        return false;
    m_applicationFlags = *flags;

    auto editorText = field(4);
    const auto editor = editorText ? ToWholeNumber<qint16>(*editorText) : std::nullopt;
    if (!editor)
        return false;
    m_internalEditorEnabled = *editor;

    auto actionText = field(5);
    const auto action = actionText ? ToWholeNumber<qint16>(*actionText) : std::nullopt;
    if (!action)
        return false;
    m_action = *action;

    auto id = field(6);
    if (!id)
        return false;
    m_uniqueId = *id;

    auto title = field(7);
    if (!title)
        return false;
    SetApplicationTitle(*title);

    auto openText = field(8);
    const auto open = openText ? ToWholeNumber<quint8>(*openText) : std::nullopt;
    if (!open)
        return false;
    m_systemOpenEnabled = *open;
    return true;
}

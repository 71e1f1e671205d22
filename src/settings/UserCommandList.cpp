#include "UserCommandList.h"

#include "DataRoot.h"
#include "ErrorLog.h"
#include "StoredFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kModule = QStringLiteral("ModFTPTrelm");

UserCommand blankSlot()
{
    UserCommand command;
    command.clean();
    return command;
}

} // namespace

UserCommandList::UserCommandList(const QString &filePath)
    : m_filePath(filePath)
{
    reset();
}

QString UserCommandList::filePath() const
{
    return m_filePath.isEmpty() ? DataRoot::SystemFolder() + QStringLiteral("/UsrCmd.dat") : m_filePath;
}

qsizetype UserCommandList::append(const UserCommand &command)
{
    m_slots.append(command);
    return m_slots.size() - 1;
}

void UserCommandList::truncate(qsizetype newCount)
{
    if (newCount < 1) {
        reset();
        return;
    }
    if (newCount < m_slots.size())
        m_slots.resize(newCount);
}

void UserCommandList::reset()
{
    m_slots = {blankSlot()};
}

void UserCommandList::LoadUserCommands()
{
    const QString path = filePath();
    reset();
    try {
        if (!QFileInfo::exists(path))
            return;
        QString error;
        const std::optional<QByteArray> data = StoredFile::ReadAll(path, &error);
        if (!data) {
            if (!QFileInfo::exists(path)) {
                // Vanished since the test above: leave an empty file, as a first save would.
                QFile empty(path);
                (void)empty.open(QIODevice::WriteOnly);
                return;
            }
            throw RuntimeError(ErrorNumber::PathFileAccess, error);
        }
        const qsizetype records = data->size() / UserCommand::RecordSize;
        if (records == 0)
            return;
        m_slots.clear();
        for (qsizetype i = 0; i < records; ++i) {
            m_slots.append(UserCommand::fromRecord(data->mid(i * UserCommand::RecordSize, UserCommand::RecordSize)));
            m_slots.last().clean();
        }
    } catch (...) {
        // The list keeps what was read; an unreadable file leaves one blank slot.
        LogCurrentException(kModule, QStringLiteral("LoadUserCommands"));
        if (m_slots.isEmpty())
            reset();
    }
}

bool UserCommandList::SaveUserCommand(qint16 index)
{
    try {
        const QString path = filePath();
        QByteArray data;
        if (index == -1) {
            for (const UserCommand &command : std::as_const(m_slots)) {
                if (!command.isBlank())
                    data += command.toRecord();
            }
        } else {
            if (index < 0 || index >= m_slots.size())
                throw RuntimeError(ErrorNumber::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
            CleanUserCommand(index);
            if (QFileInfo::exists(path)) {
                QString error;
                const std::optional<QByteArray> old = StoredFile::ReadAll(path, &error);
                if (!old)
                    throw RuntimeError(ErrorNumber::PathFileAccess, error);
                data = *old;
            }
            const qsizetype at = qsizetype(index) * UserCommand::RecordSize;
            if (data.size() < at + UserCommand::RecordSize)
                data.append(at + UserCommand::RecordSize - data.size(), '\0');
            data.replace(at, UserCommand::RecordSize, m_slots[index].toRecord());
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QString error;
        if (!StoredFile::WriteAtomically(path, data, StoredFile::Privacy::Normal, &error))
            throw RuntimeError(ErrorNumber::PathFileAccess, error);
        return true;
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("SaveUserCommand"));
        return false;
    }
}

void UserCommandList::CleanUserCommand(qint16 index)
{
    if (index >= 0 && index < m_slots.size())
        m_slots[index].clean();
}

UserCommandList &UserCommands()
{
    static UserCommandList list;
    return list;
}

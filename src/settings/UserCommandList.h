#pragma once

#include "UserCommand.h"

#include <QList>
#include <QString>

// The user commands in memory and their record file "UsrCmd.dat": slot i is
// record i + 1. The list always holds at least one slot; a list whose slot 0
// is blank holds no command.
class UserCommandList
{
public:
    // An empty path means the System folder's "UsrCmd.dat".
    explicit UserCommandList(const QString &filePath = {});

    QString filePath() const;
    void setFilePath(const QString &path) { m_filePath = path; }

    qsizetype count() const { return m_slots.size(); }
    UserCommand &operator[](qsizetype index) { return m_slots[index]; }
    const UserCommand &operator[](qsizetype index) const { return m_slots[index]; }
    const QList<UserCommand> &items() const { return m_slots; }
    bool hasCommands() const { return !m_slots.first().isBlank(); }

    // Adds a slot at the end and returns its index.
    qsizetype append(const UserCommand &command);
    // Drops the slots from `newCount` on (never below one slot).
    void truncate(qsizetype newCount);
    // One blank slot.
    void reset();

    // Replaces the list with the file's records; a missing, empty or short
    // file gives one blank slot.
    void LoadUserCommands();
    // index >= 0: writes that slot as its record, leaving the others as they
    // are; -1: rewrites the whole file with the non-blank slots, renumbered.
    // Each write replaces the file as a whole, so a failure leaves it as it was.
    [[nodiscard]] bool SaveUserCommand(qint16 index);
    // Turns NULs into blanks in the slot's text fields; an index outside the list does nothing.
    void CleanUserCommand(qint16 index);

private:
    QString m_filePath;
    QList<UserCommand> m_slots;
};

// The program-wide list every window reads and the command windows edit.
UserCommandList &UserCommands();

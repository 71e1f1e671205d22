#pragma once

#include <QObject>
#include <QPointer>

#include <array>
#include <functional>

class OverwriteQuestions;
class ServerSlots;
class QWidget;

// Copies the selected file of one server's pane into the folder the other
// pane shows, the data flowing between the two servers: the target stores
// from a passive address, the source sends to it. One copy at a time. Only a
// file is copied, never onto itself, and an existing target is replaced only
// when the user agrees (with "Confirm before overwriting files" on).
class ServerCopy : public QObject
{
    Q_OBJECT
public:
    // `otherWorkRuns` tells whether a batch or walk runs (a copy waits for none).
    ServerCopy(ServerSlots &serverSlots, OverwriteQuestions &questions, std::function<bool()> otherWorkRuns,
               QWidget *owner, QObject *parent = nullptr);

    static inline const QString kSameFileText =
        QStringLiteral("The source and the target are the same file: a file cannot be copied onto itself.");
    static inline const QString kOnlyFilesText = QStringLiteral("Only files can be copied between servers: ");

    // Starts a copy from slot `source` to the other slot; false when nothing started.
    bool CmdToFTP_Click(int source);
    bool Running() const;

    // A finished operation of a slot; true when it belonged to the copy.
    bool FtpCmd_JobDone(int slot, bool success, long lastAct);
    // A slot's session ended: a copy involving it ends with its message.
    void SessionEnded(int slot);
    // Ends a running copy without a message (the window closes).
    void EndQuietly();

signals:
    void copyEnded(bool success);

private:
    enum class End { Done, Failed, Lost, Quiet };
    // `finished`: the slot whose operation just ended, or whose session did (-1: none).
    void end(End how, int finished = -1);
    // Tells the user which file was not copied and why.
    void report(End how, int slot, bool sourceSide, const QString &sourcePath, const QString &targetPath);

    // Both sessions are up and idle, and nothing else runs.
    bool mayStart(int source, int target);

    ServerSlots &m_slots;
    OverwriteQuestions &m_questions;
    std::function<bool()> m_otherWorkRuns;
    QPointer<QWidget> m_owner;
    // Per slot: the last refusal or error while the copy ran.
    std::array<QString, 2> m_reasons;
};

#pragma once

#include <QString>
#include <QStringList>

// What an immediate batch did not do, step by step, for the one message and
// the pane's state line at its end. A step the user chose to skip (an
// overwrite question) is no failure.
class BatchFailures
{
public:
    enum class Verb { Transferred, Deleted };

    // A new batch of `total` items.
    void Begin(Verb verb, qsizetype total);
    // A step starts on item `name`.
    void StepStarted(const QString &name);
    // Why the running step may fail: the last refusal before its end counts
    // (an earlier one, such as "no such file" to the overwrite check, did not end it).
    void NoteReason(const QString &reason);
    // One line of a server reply, as it comes. A refusal (4xx, 5xx) becomes
    // the reason at the reply's last line, with the lines of a multi-line
    // reply that explain it.
    void NoteReplyLine(const QString &line);
    void StepSkipped() { m_skipped = true; }
    // The running step ended; a skipped step counts as neither. The engine's
    // own judgement, when it gave one, is the reason.
    void StepEnded(bool success, const QString &engineReason = QString());
    // An item that never got its step.
    void NotDone(const QString &name, const QString &reason);
    bool StepRunning() const { return m_running; }

    bool Any() const { return !m_lines.isEmpty(); }
    bool AnySucceeded() const { return m_succeeded > 0; }
    qsizetype Count() const { return m_lines.size(); }
    // Every failure, one "name: reason" a line.
    QStringList Lines() const { return m_lines; }
    // "2 of 14 files were not transferred"
    QString Headline() const;
    // The headline and the first few names and reasons.
    QString Message() const;
    // The message of a batch whose session was lost, that the user ended by
    // disconnecting, or that the engine ended for `engineReason`: that first,
    // then what was not done.
    QString LostMessage(bool endedByUser = false, const QString &engineReason = QString()) const;

    static inline const QString kLostText = QStringLiteral("The connection to the server was lost.");
    static inline const QString kDisconnectedText = QStringLiteral("You disconnected from the server; the transfer was ended.");

    static constexpr qsizetype kShownInMessage = 5;
    static constexpr qsizetype kLineInMessage = 200;
    // Lines of a multi-line reply kept for its reason.
    static constexpr qsizetype kReplyLinesKept = 8;

private:
    Verb m_verb = Verb::Transferred;
    qsizetype m_total = 0;
    qsizetype m_succeeded = 0;
    QStringList m_lines;
    QString m_name;
    QString m_reason;
    QStringList m_openReply; // the lines so far of a multi-line reply
    bool m_running = false;
    bool m_skipped = false;
};

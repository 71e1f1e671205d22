#include "BatchFailures.h"

#include "ReplyCodes.h"

#include <algorithm>
#include <utility>

namespace {

bool HasReplyCode(const QString &line)
{
    return line.size() >= 3 && line.at(0).isDigit() && line.at(1).isDigit() && line.at(2).isDigit();
}

// "NNN text" or "NNN" alone ends a reply; "NNN-text" and lines without a code go on.
bool EndsReply(const QString &line)
{
    return HasReplyCode(line) && (line.size() == 3 || line.at(3) == QLatin1Char(' '));
}

} // namespace

void BatchFailures::Begin(Verb verb, qsizetype total)
{
    *this = BatchFailures();
    m_verb = verb;
    m_total = total;
}

void BatchFailures::StepStarted(const QString &name)
{
    m_name = name;
    m_reason.clear();
    m_running = true;
    m_skipped = false;
}

void BatchFailures::NoteReason(const QString &reason)
{
    if (m_running)
        m_reason = reason.trimmed();
}

void BatchFailures::NoteReplyLine(const QString &line)
{
    if (!EndsReply(line)) {
        if (m_openReply.size() < kReplyLinesKept)
            m_openReply.append(line);
        return;
    }
    const QStringList earlier = std::exchange(m_openReply, {});
    if (!line.startsWith(QLatin1Char('4')) && !line.startsWith(QLatin1Char('5')))
        return;
    NoteReason(ReplyCodes::RefusalText(earlier + QStringList{line}));
}

void BatchFailures::StepEnded(bool success, const QString &engineReason)
{
    if (!m_running)
        return;
    m_running = false;
    if (m_skipped)
        return;
    if (success) {
        ++m_succeeded;
        return;
    }
    QString reason = engineReason.isEmpty() ? m_reason : engineReason.trimmed();
    if (reason.isEmpty())
        reason = QStringLiteral("failed");
    m_lines.append(m_name + QStringLiteral(": ") + reason);
}

void BatchFailures::NotDone(const QString &name, const QString &reason)
{
    m_lines.append(name + QStringLiteral(": ") + reason);
}

QString BatchFailures::Headline() const
{
    const qsizetype total = std::max(m_total, m_lines.size());
    const QString what = m_verb == Verb::Deleted ? QStringLiteral("files and folders were not deleted")
                                                 : QStringLiteral("files were not transferred");
    return QStringLiteral("%1 of %2 %3").arg(m_lines.size()).arg(total).arg(what);
}

QString BatchFailures::Message() const
{
    QString text = Headline() + QStringLiteral(":\n");
    for (qsizetype i = 0; i < m_lines.size() && i < kShownInMessage; ++i) {
        // Long names and paths are cut in the message; the session log has them whole.
        const QString &line = m_lines.at(i);
        text += QStringLiteral("\n")
              + (line.size() > kLineInMessage ? line.left(kLineInMessage - 3) + QStringLiteral("...") : line);
    }
    if (m_lines.size() > kShownInMessage)
        text += QStringLiteral("\n... and %1 more (see the session log).").arg(m_lines.size() - kShownInMessage);
    return text;
}

QString BatchFailures::LostMessage(bool endedByUser, const QString &engineReason) const
{
    // A session the program ended itself was not lost.
    const QString why = endedByUser            ? kDisconnectedText
                      : engineReason.isEmpty() ? kLostText
                                               : engineReason.trimmed();
    return Any() ? why + QStringLiteral("\n\n") + Message() : why;
}

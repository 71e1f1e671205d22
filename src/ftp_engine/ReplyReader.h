#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Turns the bytes of a control connection into reply lines. A line is complete
// when its LF arrives (one CR before it is dropped); a reply that opens with
// "NNN-" ends only at a line starting "NNN "; otherwise a reply line is three
// digits followed by a blank (or the three digits alone).
class ReplyReader
{
public:
    static constexpr qsizetype kMaxLineBytes = 8 * 1024;
    static constexpr qsizetype kMaxReplyBytes = 1024 * 1024;

    struct Line {
        QString text;
        int code = 0;      // leading number of the line, 0 when there is none
        bool final = false; // the line ends a reply
    };

    enum class Fault { None, LineTooLong, ReplyTooLarge };

    // Appends the bytes and returns the lines they complete. After a fault the
    // reader returns nothing more until reset.
    QList<Line> feed(const QByteArray &bytes);

    Fault fault() const { return m_fault; }
    bool inMultiLineReply() const { return !m_openCode.isEmpty(); }
    void reset();

private:
    Line classify(const QByteArray &raw);

    QByteArray m_pending;
    QByteArray m_openCode; // code of an open "NNN-" reply
    qsizetype m_replyBytes = 0;
    Fault m_fault = Fault::None;
};

#include "ReplyReader.h"

#include "TextCodec.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool StartsWithCode(const QByteArray &line)
{
    return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

} // namespace

void ReplyReader::reset()
{
    m_pending.clear();
    m_openCode.clear();
    m_replyBytes = 0;
    m_fault = Fault::None;
}

QList<ReplyReader::Line> ReplyReader::feed(const QByteArray &bytes)
{
    QList<Line> lines;
    if (m_fault != Fault::None)
        return lines;
    m_pending.append(bytes);
    qsizetype start = 0;
    while (true) {
        const qsizetype lf = m_pending.indexOf('\n', start);
        if (lf < 0)
            break;
        QByteArray raw = m_pending.mid(start, lf - start);
        start = lf + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.size() > kMaxLineBytes) {
            m_fault = Fault::LineTooLong;
            m_pending.clear();
            return lines;
        }
        m_replyBytes += raw.size() + 2;
        if (m_replyBytes > kMaxReplyBytes) {
            m_fault = Fault::ReplyTooLarge;
            m_pending.clear();
            return lines;
        }
        Line line = classify(raw);
        if (line.final)
            m_replyBytes = 0;
        lines.append(line);
    }
    m_pending.remove(0, start);
    if (m_pending.size() > kMaxLineBytes) {
        m_fault = Fault::LineTooLong;
        m_pending.clear();
    }
    return lines;
}

ReplyReader::Line ReplyReader::classify(const QByteArray &raw)
{
    Line line;
    line.text = TextCodec::Decode(raw);
    qsizetype digits = 0;
    while (digits < raw.size() && digits < 9 && IsDigit(raw[digits]))
        ++digits;
    line.code = digits > 0 ? raw.left(digits).toInt() : 0;

    const bool coded = StartsWithCode(raw);
    const char fourth = raw.size() > 3 ? raw[3] : '\0';
    if (!m_openCode.isEmpty()) {
        if (raw.startsWith(m_openCode) && fourth == ' ') {
            m_openCode.clear();
            line.final = true;
        }
        return line;
    }
    if (coded && fourth == '-') {
        m_openCode = raw.left(3);
        return line;
    }
    line.final = coded && (raw.size() == 3 || fourth == ' ');
    return line;
}

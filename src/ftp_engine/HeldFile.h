#pragma once

#include <QString>

// What a server holds under a name, as its SIZE (and MDTM) replies told.
struct HeldFile
{
    enum class Answer {
        Unknown,    // not asked, or the asking broke off
        File,       // a file: SIZE or MDTM answered 213
        NoFile,     // 550: nothing of the name (or nothing SIZE can size, such as a folder)
        CannotTell, // neither SIZE nor MDTM is understood (500, 502, 504)
        Refused     // any other refusal: the server would not say
    };
    Answer answer = Answer::Unknown;
    qint64 size = -1; // what SIZE gave; -1 when it gave nothing
    QString time;     // what MDTM gave, when it was asked
    QString reply;    // the last reply of the asking

    bool isFile() const { return answer == Answer::File; }
    // The same file as `other` found: the same size and the same time.
    bool sameAs(const HeldFile &other) const
    {
        return isFile() && other.isFile() && size == other.size && time == other.time;
    }
};

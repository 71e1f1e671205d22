#pragma once

#include <QString>

// One engine's working copy of a command definition.
struct FtpCommandRecord {
    QString Verb;
    QString SuccessCodes;
    QString ReplyMap;
};

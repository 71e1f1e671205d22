#pragma once

#include <QByteArray>
#include <QString>

// One user-defined FTP command, as one fixed-length record of "UsrCmd.dat".
// Text fields hold their stored width: a value is cut to the width (in
// encoded bytes, never inside a character) and padded with blanks.
struct UserCommand {
    static constexpr int NameWidth = 50;
    static constexpr int CommandTextWidth = 250;
    static constexpr int ArgumentWidth = 250;
    static constexpr int SuccessCodeWidth = 5;
    static constexpr int FailureCodeWidth = 5;
    static constexpr int DescriptionWidth = 500;
    static constexpr int RecordSize = 1065;

    QString Name;
    QString CommandText; // blank marks a free slot
    QString Argument;    // template that may hold placeholders
    QString SuccessCode; // reply-code pattern, e.g. "2XX"
    QString FailureCode; // e.g. "5XX"
    QString Description;
    quint8 HasArgument = 0; // any non-zero value counts as set
    quint8 DirSlash = 0;
    quint8 FullPath = 0;
    quint8 Reload = 0;
    quint8 Site = 0;

    // A slot whose trimmed command text is empty holds no command.
    bool isBlank() const { return CommandText.trimmed().isEmpty(); }

    // The 1065 bytes of the record.
    QByteArray toRecord() const;
    // Reads a record as stored; NUL characters are kept (Clean turns them into blanks).
    // Fewer than RecordSize bytes read as if the rest were NUL.
    static UserCommand fromRecord(const QByteArray &record);

    // Every NUL in the text fields becomes a blank; each field is brought to its width.
    void clean();

    // The text cut or padded to a field width, as the record stores it.
    static QString fitField(const QString &text, int width);
};

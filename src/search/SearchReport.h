#pragma once

#include "FtpFileItem.h"

#include <QFile>
#include <QList>
#include <QString>

// The HTML listing of every folder a search visits: a head, one collapsible
// section per folder, a tail. Every piece from a server or the user is
// escaped, so a hostile name shows as text. Lines end with CR LF.
class SearchReport
{
public:
    // Opens (replacing) the file and writes the head; false, with the reason,
    // when it cannot be opened.
    bool Open(const QString &path, const QString &server, QString *error = nullptr);
    bool IsOpen() const { return m_file.isOpen(); }
    // The section of one folder; `items` empty when the folder holds no file.
    void WriteFolder(const QString &folderPath, const QList<FtpFileItem> &items);
    // Writes the tail and closes the file; nothing when none is open.
    void Close();
    int Sections() const { return m_sections; }

    // & < > " ' CR and LF as character references.
    static QString Escape(const QString &text);

private:
    void writeLine(const QString &line);

    QFile m_file;
    int m_sections = 0;
};

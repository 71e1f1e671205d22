#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class FileHandlerCollection;

// The settings file "app.config.dat" in the System folder: the option digit
// strings, the file-type handlers, the sound alerts and the font choices.

QString SettingsFilePath();

// One sound row or font row as the settings dialog writes it.
struct SoundAlertRow {
    int enabled = 0;
    QString path;
};
struct FontChoiceRow {
    int enabled = 0;
    QString family;
    double pointSize = 0;
};

// Reads the settings file into the caller's holders. The handler collection
// and both sound tables (slots 0..9) are replaced; option strings and font
// tables keep whatever the file does not supply. Every option string ends at
// least 15 digits long, padded with "0". A missing file is logged and leaves
// the defaults.
void LoadConfFromFile(QStringList &optionString, QList<quint8> &soundEnabled, QStringList &soundPaths,
                      FileHandlerCollection &handlers, QList<quint8> &fontEnabled, QStringList &fontSpecs);

// The same rules applied to the text of a settings file.
void ReadConfText(const QString &text, QStringList &optionString, QList<quint8> &soundEnabled,
                  QStringList &soundPaths, FileHandlerCollection &handlers, QList<quint8> &fontEnabled,
                  QStringList &fontSpecs);

// The file's bytes for these values (option strings 0..3 are written).
QByteArray ComposeConfFile(const QStringList &optionString, const FileHandlerCollection &handlers,
                           const QList<SoundAlertRow> &sounds, const QList<FontChoiceRow> &fonts);

// Replaces the settings file as a whole; on failure the old file stays and
// `error` says why.
[[nodiscard]] bool WriteConfFile(const QByteArray &contents, QString *error = nullptr);

constexpr int OptionStringMinLength = 15;
constexpr int MaxFileHandlers = 20;

#include "SettingsFile.h"

#include "CBase64.h"
#include "DataRoot.h"
#include "ErrorLog.h"
#include "FileHandlerCollection.h"
#include "FontSlots.h"
#include "Paths.h"
#include "SoundAlerts.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QDir>

namespace {

const QString kObjectName = QStringLiteral("modConfig");

enum Section { GeneralSection = 0, JobSection, HistorySection, SystemSection, SoundSection, FontsSection };

const QStringList kSectionHeaders{QStringLiteral("[General]"), QStringLiteral("[job]"), QStringLiteral("[History]"),
                                  QStringLiteral("[System]"),  QStringLiteral("[Sound]"), QStringLiteral("[Fonts]")};

// The numeric value of a stored digit; anything but a digit counts as 0.
quint8 DigitValue(QChar c)
{
    return c.isDigit() ? static_cast<quint8>(c.digitValue()) : 0;
}

void PadOptionStrings(QStringList &optionString)
{
    for (QString &digits : optionString) {
        if (digits.size() < OptionStringMinLength)
            digits = digits.leftJustified(OptionStringMinLength, QLatin1Char('0'));
    }
}

} // namespace

QString SettingsFilePath()
{
    return JoinLocalPath(DataRoot::SystemFolder(), QStringLiteral("app.config.dat"));
}

void ReadConfText(const QString &text, QStringList &optionString, QList<quint8> &soundEnabled,
                  QStringList &soundPaths, FileHandlerCollection &handlers, QList<quint8> &fontEnabled,
                  QStringList &fontSpecs)
{
    const CBase64 base64;
    int section = GeneralSection;
    int counter = 0;
    for (const QString &line : TextCodec::SplitLines(text)) {
        if (line.startsWith(QLatin1Char('\'')) || line.trimmed().isEmpty())
            continue;

        const QString upper = line.toUpper();
        bool isHeader = false;
        for (int s = 0; s < kSectionHeaders.size(); ++s) {
            if (upper == kSectionHeaders.at(s).toUpper()) {
                section = s;
                if (s == SoundSection || s == FontsSection)
                    counter = 0;
                isHeader = true;
                break;
            }
        }
        if (isHeader)
            continue;

        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? line : line.left(equals);
        // Everything after the first "=", so Base64 padding and paths holding "=" survive.
        const QString value = equals > 0 ? line.mid(equals + 1) : line;

        if (key == QLatin1String("Value") && section <= SystemSection) {
            while (optionString.size() <= section)
                optionString.append(QString());
            optionString[section] = value;
        } else if (key == QLatin1String("FileHandler") && section == SystemSection) {
            if (!value.startsWith(QLatin1Char('{')) || !value.endsWith(QLatin1Char('}')) || value.size() < 2)
                continue;
            const QString packed = base64.Base64ToStringEx(value.mid(1, value.size() - 2));
            if (packed.isEmpty() || handlers.Count() >= MaxFileHandlers)
                continue;
            FileHandler handler;
            if (handler.ReadFromString(packed))
                handlers.AddFileHandler(handler);
        } else if (equals >= 0
                   && ((key == QLatin1String("SoundAlert") && section == SoundSection && counter < AlertSoundSlots)
                       || (key == QLatin1String("Font") && section == FontsSection && counter < FontSlotCount))) {
            const bool isSound = section == SoundSection;
            if (value.size() > 3) {
                const quint8 enabled = DigitValue(value.at(0));
                const QString inBraces = value.mid(2, value.size() - 3);
                QList<quint8> &enabledTable = isSound ? soundEnabled : fontEnabled;
                QStringList &textTable = isSound ? soundPaths : fontSpecs;
                if (counter < enabledTable.size())
                    enabledTable[counter] = enabled;
                if (counter < textTable.size())
                    textTable[counter] = inBraces;
            }
            // A short line still uses up its slot.
            ++counter;
        }
    }
}

void LoadConfFromFile(QStringList &optionString, QList<quint8> &soundEnabled, QStringList &soundPaths,
                      FileHandlerCollection &handlers, QList<quint8> &fontEnabled, QStringList &fontSpecs)
{
    handlers = FileHandlerCollection();
    soundEnabled = QList<quint8>(AlertSoundSlots, 0);
    soundPaths = QStringList(AlertSoundSlots, QString());
    try {
        QString error;
        const auto bytes = StoredFile::ReadAll(SettingsFilePath(), &error);
        if (!bytes)
            throw RuntimeError(ErrorNumber::FileNotFound, error.isEmpty() ? QStringLiteral("File not found") : error);
        ReadConfText(TextCodec::Decode(*bytes), optionString, soundEnabled, soundPaths, handlers, fontEnabled,
                     fontSpecs);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("LoadConfFromFile"));
    }
    PadOptionStrings(optionString);
}

QByteArray ComposeConfFile(const QStringList &optionString, const FileHandlerCollection &handlers,
                           const QList<SoundAlertRow> &sounds, const QList<FontChoiceRow> &fonts)
{
    QStringList lines{QStringLiteral("'--- Application generated file, Please do not edit -----")};
    for (int page = GeneralSection; page <= SystemSection; ++page) {
        lines << kSectionHeaders.at(page)
              << QStringLiteral("Value=") + (page < optionString.size() ? optionString.at(page) : QString());
    }
    const CBase64 base64;
    for (const FileHandler &handler : handlers)
        lines << QStringLiteral("FileHandler={") + base64.ToBase64Ex(handler.GetPackedData()) + QLatin1Char('}');
    lines << kSectionHeaders.at(SoundSection);
    for (const SoundAlertRow &row : sounds)
        lines << QStringLiteral("SoundAlert=%1{%2}").arg(row.enabled).arg(row.path);
    lines << kSectionHeaders.at(FontsSection);
    for (const FontChoiceRow &row : fonts)
        lines << QStringLiteral("Font=%1{%2,%3}").arg(row.enabled).arg(row.family, FontSizeText(row.pointSize));

    QByteArray contents;
    for (const QString &line : lines)
        contents += TextCodec::Encode(line) + "\r\n";
    return contents;
}

bool WriteConfFile(const QByteArray &contents, QString *error)
{
    if (!QDir().mkpath(DataRoot::SystemFolder())) {
        if (error)
            *error = QStringLiteral("The folder %1 could not be created.").arg(DataRoot::SystemFolder());
        return false;
    }
    return StoredFile::WriteAtomically(SettingsFilePath(), contents, StoredFile::Privacy::Normal, error);
}

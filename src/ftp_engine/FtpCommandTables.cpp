#include "FtpCommandTables.h"

#include "ErrorLog.h"
#include "Prompts.h"
#include "StoredFile.h"
#include "TextCodec.h"

#include <QFile>
#include <QMap>

QStringList FtpCmdTable;
QStringList FtpMacroTable;

namespace {

const QString kModule = QStringLiteral("ModFTPTrelm");

// Macro slots a driver file may replace.
bool IsDriverMacroSlot(int slot)
{
    return (slot >= 0 && slot <= 2) || (slot >= 4 && slot <= 6) || (slot >= 8 && slot <= 12);
}

void ShowInvalidDriver()
{
    ShowMessage(nullptr, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error!"),
                QStringLiteral("Invalid driver file!"));
}

} // namespace

void LoadCmdDefinitions()
{
    FtpCmdTable = QStringList(kFtpCmdTableSlots);
    const char *const definitions[] = {
        "2XX[I]3XX[I]4XX[R]5XX[E]XXX[Q]",
        "CON|220-1XX[N]|421[E]$def",
        "USER|331|421[E]$def",
        "PASS|230|$def",
        "ACCT|230-202|503-530[Q]XXX[Q]",
        "TYPE|200|$def",
        "SYST|215|$def",
        "PWD|257|$def",
        "REST|350|XXX[I]",
        "PORT|200|4XX[R]5XX[R]$def",
        "PASV|227|4XX[R]5XX[R]$def",
        "LIST|226|125[N]150[N]4XX[A]$def",
        "RETR|226|125[N]150[N]4XX[R]5XX[A]$def",
        "ABOR|225-226-200-2XX[I]|4XX[N]XXX[Q]",
        "QUIT|221|XXX[Q]",
        "CWD|250-200|$def",
        "HELP|211|214[I]504[I]XXX[I]",
        "STOR|226|125[N]150[N]425-426[R]451-452-552[A]5XX[A]$def",
        "DELE|250|3XX[R]450-550[E]",
        "STAT|211-212-213|2XX[N]450[A]XXX[E]",
        "NLST|125-150-226-250|425-426-451[I]",
        "NOOP|200|XXX[I]",
        "CDUP|200-250|421-550[E]$def",
        "STOU|226|125[N]150[N]425-426[R]451-452-552[A]$def",
        "STRU|200|125[N]150[N]504[R]$def",
        "APPE|226|125[N]150[N]425-426[R]451-452-552[A]$def",
        "ALLO|202|XXX[I]",
        "MKD|257-250|4XX-550[E]$def",
        "RMD|250-2xx|4XX-5XX[E]$def",
        "RNFR|350|450[R]5XX[E]$XXX[E]",
        "RNTO|250|550-553-503[E]XXX[E]",
        "[*150 MARK] ",
        "SITE|214|550-553-503[I]XXX[I]",
        "MDTM|213|3XX[R]XXX[E]",
        "SIZE|213|3XX[R]XXX[E]",
    };
    int slot = 0;
    for (const char *definition : definitions)
        FtpCmdTable[slot++] = QString::fromLatin1(definition);

    // The transfer macros switch to binary (step 34) before SIZE and MDTM:
    // servers refuse SIZE in ASCII mode.
    FtpMacroTable = QStringList(kFtpMacroTableSlots);
    FtpMacroTable[0] = QStringLiteral("0,1,2,5,7,31");
    FtpMacroTable[1] = QStringLiteral("14,6");
    FtpMacroTable[2] = QStringLiteral("100,10");
    FtpMacroTable[4] = QStringLiteral("28,29");
    FtpMacroTable[5] = QStringLiteral("34,100,16");
    FtpMacroTable[6] = QStringLiteral("34,32,33,100,11");
    FtpMacroTable[8] = QStringLiteral("27");
    FtpMacroTable[9] = QStringLiteral("17");
    FtpMacroTable[10] = QStringLiteral("28,29");
    FtpMacroTable[11] = QStringLiteral("26");
    FtpMacroTable[12] = QStringLiteral("13");
    FtpMacroTable[14] = QStringLiteral("34,32,33,100,7,16");
    FtpMacroTable[15] = QStringLiteral("34,32,33,100,7,11");
    FtpMacroTable[18] = QStringLiteral("32");
    FtpMacroTable[19] = QStringLiteral("33");
    FtpMacroTable[20] = QStringLiteral("18");
}

bool LoadDriver(const QString &path)
{
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw RuntimeError(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
        const QStringList lines = TextCodec::SplitLines(TextCodec::Decode(file.readAll()));
        file.close();

        enum class Section { None, Macro, Command };
        Section section = Section::None;
        QStringList entries;
        QMap<int, QString> macros; // applied only when the whole file is accepted

        for (const QString &raw : lines) {
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('\'')) || line.startsWith(QLatin1Char('#')))
                continue;
            const QString tag = line.toUpper();
            if (tag == QLatin1String("<MACRO>")) {
                section = Section::Macro;
                continue;
            }
            if (tag == QLatin1String("<COMMAND>")) {
                section = Section::Command;
                continue;
            }
            if (tag == QLatin1String("</MACRO>") || tag == QLatin1String("</COMMAND>")) {
                section = Section::None;
                continue;
            }
            if (section == Section::None)
                continue;

            const QStringList parts = line.split(QLatin1Char('='));
            if (parts.size() < 2) {
                ShowInvalidDriver();
                return false;
            }
            const QString key = parts[0].trimmed();
            if (section == Section::Command) {
                const QString value = parts[1];
                const int count = static_cast<int>(entries.size());
                if (key != QString::number(count) || value.trimmed().isEmpty()) {
                    ShowInvalidDriver();
                    return false;
                }
                if (count != 0 && count != 31 && value.trimmed().split(QLatin1Char('|')).size() < 3) {
                    ShowInvalidDriver();
                    return false;
                }
                if (count >= kFtpCmdTableSlots)
                    throw RuntimeError(ErrorNumber::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
                entries.append(value);
            } else {
                bool isNumber = false;
                const int slot = key.toInt(&isNumber);
                if (isNumber && IsDriverMacroSlot(slot))
                    macros.insert(slot, parts[1].trimmed());
            }
        }

        if (entries.size() < 34) {
            ShowInvalidDriver();
            return false;
        }
        FtpCmdTable = QStringList(kFtpCmdTableSlots);
        for (int i = 0; i < entries.size(); ++i)
            FtpCmdTable[i] = entries[i];
        if (FtpMacroTable.size() < kFtpMacroTableSlots)
            FtpMacroTable.resize(kFtpMacroTableSlots);
        for (auto it = macros.cbegin(); it != macros.cend(); ++it)
            FtpMacroTable[it.key()] = it.value();
        return true;
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("LoadDriver"));
        return false;
    }
}

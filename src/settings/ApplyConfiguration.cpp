#include "ApplyConfiguration.h"

#include "ErrorLog.h"
#include "FileHandlerCollection.h"
#include "OptionFlags.h"
#include "SettingsFile.h"
#include "SoundAlerts.h"

namespace {

ConfiguredFonts &AppliedFonts()
{
    static ConfiguredFonts fonts;
    return fonts;
}

} // namespace

FileHandlerCollection &ConfiguredFileHandlers()
{
    static FileHandlerCollection handlers;
    return handlers;
}

std::optional<QFont> ConfiguredFont(FontSlot slot)
{
    return AppliedFonts().at(static_cast<size_t>(slot));
}

ConfiguredFonts ApplyConfiguration()
{
    ConfiguredFonts fonts;
    try {
        QStringList optionString(6);
        QList<quint8> fontEnabled(FontSlotCount, 0);
        QStringList fontSpecs(FontSlotCount);
        LoadConfFromFile(optionString, SoundEnabledTable(), SoundPathTable(), ConfiguredFileHandlers(), fontEnabled,
                         fontSpecs);
        SetOptionFlagsFromStrings(optionString);

        for (int slot = 0; slot < FontSlotCount; ++slot) {
            if (fontEnabled.at(slot) == 0)
                continue;
            // An empty choice or name falls back to the stock font rather than a nameless one.
            const QString spec =
                fontSpecs.at(slot).trimmed().isEmpty() ? QStringLiteral("Arial,8") : fontSpecs.at(slot);
            const QStringList parts = (spec + QStringLiteral(",Arial,8")).split(QLatin1Char(','));
            const QString family = parts.at(0).trimmed().isEmpty() ? QStringLiteral("Arial") : parts.at(0);
            const double size = ClampFontSize(slot, FontSizeFromText(parts.at(1)));
            fonts[static_cast<size_t>(slot)] = MakeFont(family, size);
        }
    } catch (...) {
        LogCurrentException(QStringLiteral("frmZAVUde"), QStringLiteral("ApplyConfiguration"));
    }
    AppliedFonts() = fonts;
    return fonts;
}

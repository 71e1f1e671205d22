// The settings file: the golden file read and written back byte for byte,
// the reader's rules, and applying the file to the program-wide values.
#include "ApplyConfiguration.h"
#include "CBase64.h"
#include "CProfile.h"
#include "ConfigTestSupport.h"
#include "DataRoot.h"
#include "FileHandlerCollection.h"
#include "OptionFlags.h"
#include "SettingsFile.h"
#include "SoundAlerts.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// The reader's holders, sized as the callers size them.
struct Loaded {
    QStringList options = QStringList(6);
    QList<quint8> soundEnabled;
    QStringList soundPaths;
    FileHandlerCollection handlers;
    QList<quint8> fontEnabled = QList<quint8>(5, 0);
    QStringList fontSpecs = QStringList(5);

    void read(const QString &text)
    {
        soundEnabled = QList<quint8>(10, 0);
        soundPaths = QStringList(10);
        ReadConfText(text, options, soundEnabled, soundPaths, handlers, fontEnabled, fontSpecs);
    }
    void load() { LoadConfFromFile(options, soundEnabled, soundPaths, handlers, fontEnabled, fontSpecs); }
};

QString HandlerLine(const QString &patterns, int action, const QString &title)
{
    FileHandler handler;
    handler.SetFilePatterns(patterns);
    handler.SetAction(static_cast<qint16>(action));
    handler.SetApplicationTitle(title);
    return "FileHandler={" + CBase64().ToBase64Ex(handler.GetPackedData()) + "}";
}

using SettingsFileTest = SettingsFileFixture;

} // namespace

TEST_F(SettingsFileTest, GoldenFileReadsIntoEveryTable)
{
    PutSettingsFile(kGoldenSettings);
    Loaded loaded;
    loaded.load();

    EXPECT_EQ(loaded.options.mid(0, 4), QStringList({"101000000011000", "110000001010000", "001010000000000",
                                                     "011010000000000"}));
    EXPECT_EQ(loaded.options.at(4), QString(15, '0'));
    ASSERT_EQ(loaded.handlers.Count(), 2);
    const FileHandler &gedit = loaded.handlers.Item(1);
    EXPECT_EQ(gedit.FilePatterns(), "*.txt;*.log");
    EXPECT_EQ(gedit.ApplicationPath(), "/usr/bin/gedit");
    EXPECT_EQ(gedit.ApplicationFlags(), "--new-window");
    EXPECT_EQ(gedit.Action(), 3);
    EXPECT_EQ(gedit.UniqueID(), "4562c3949843c8c2d99ed643f96326a8");
    EXPECT_EQ(loaded.handlers.Item(2).ApplicationTitle(), "Firefox"); // Base64 ending in "="
    EXPECT_EQ(loaded.handlers.Item(2).SystemOpenEnabled(), 1);

    ASSERT_EQ(loaded.soundEnabled.size(), 10);
    EXPECT_EQ(loaded.soundEnabled.at(0), 1);
    EXPECT_EQ(loaded.soundPaths.at(0), "/tmp/sounds/connected.wav");
    EXPECT_EQ(loaded.soundEnabled.at(2), 0);
    EXPECT_EQ(loaded.soundPaths.at(2), "/tmp/sounds/done.wav");
    EXPECT_EQ(loaded.fontEnabled, QList<quint8>({1, 0, 0, 1, 1}));
    EXPECT_EQ(loaded.fontSpecs, QStringList({"Courier New,8.25", "Arial,8.25", "Arial,8.25", "Tahoma,6.75",
                                             "Courier New,12"}));
}

TEST_F(SettingsFileTest, GoldenFileIsWrittenBackByteForByte)
{
    PutSettingsFile(kGoldenSettings);
    Loaded loaded;
    loaded.load();

    QStringList digits;
    for (int page = 0; page < 4; ++page)
        digits << loaded.options.at(page).left(OptionPageSize(static_cast<OptionPage>(page)));
    QList<SoundAlertRow> sounds;
    for (int i = 0; i < AlertSoundRows; ++i)
        sounds.append({loaded.soundEnabled.at(i), loaded.soundPaths.at(i)});
    QList<FontChoiceRow> fonts;
    for (int i = 0; i < 5; ++i) {
        const QStringList parts = loaded.fontSpecs.at(i).split(',');
        fonts.append({loaded.fontEnabled.at(i), parts.at(0), parts.at(1).toDouble()});
    }
    RemoveSettingsFile();
    ASSERT_TRUE(WriteConfFile(ComposeConfFile(digits, loaded.handlers, sounds, fonts)));
    EXPECT_EQ(SettingsFileBytes(), kGoldenSettings);
}

TEST_F(SettingsFileTest, HeadersIgnoreCaseButKeysDoNot)
{
    Loaded lower;
    lower.read("[GENERAL]\r\nvalue=1\r\n");
    EXPECT_EQ(lower.options.at(0), QString());

    Loaded general;
    general.read("[general]\nValue=1\n");
    EXPECT_EQ(general.options.at(0), "1");

    Loaded beforeAnySection;
    beforeAnySection.read("Value=0101\r\n[HISTORY]\r\nValue=11\r\n");
    EXPECT_EQ(beforeAnySection.options.at(0), "0101");
    EXPECT_EQ(beforeAnySection.options.at(2), "11");
}

TEST_F(SettingsFileTest, ShortStringsArePaddedAndCallerPresetsKept)
{
    PutSettingsFile("'comment\r\n   \r\n[General]\r\nValue=1\r\n[Fonts]\r\nFont=1{Arial,9}\r\n");
    Loaded loaded;
    loaded.options[4] = "77";
    loaded.fontSpecs[3] = "Preset,8";
    loaded.fontEnabled[3] = 1;
    loaded.soundPaths = QStringList(10, "stale");
    loaded.handlers.AddFileHandler(FileHandler());
    loaded.load();
    EXPECT_EQ(loaded.options.at(0), "100000000000000");
    EXPECT_EQ(loaded.options.at(4), "770000000000000");
    EXPECT_EQ(loaded.options.at(5), QString(15, '0'));
    EXPECT_EQ(loaded.fontSpecs.at(0), "Arial,9");
    EXPECT_EQ(loaded.fontSpecs.at(3), "Preset,8");
    EXPECT_EQ(loaded.fontEnabled.at(3), 1);
    EXPECT_EQ(loaded.soundPaths, QStringList(10)); // re-created empty
    EXPECT_EQ(loaded.handlers.Count(), 0);         // replaced
}

TEST_F(SettingsFileTest, MissingFileLeavesDefaultsAndIsLogged)
{
    QFile::remove(DataRoot::FileInRoot("error.log"));
    Loaded loaded;
    loaded.fontSpecs[0] = "Courier New,8.25";
    loaded.load();
    EXPECT_EQ(loaded.options.at(0), QString(15, '0'));
    EXPECT_EQ(loaded.soundEnabled, QList<quint8>(10, 0));
    EXPECT_EQ(loaded.fontSpecs.at(0), "Courier New,8.25");
    QFile log(DataRoot::FileInRoot("error.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("LoadConfFromFile"));
}

TEST_F(SettingsFileTest, SoundAndFontLinesUseUpTheirSlots)
{
    Loaded loaded;
    loaded.read("[Sound]\r\n"
                "SoundAlert=1{}\r\n"          // slot 0: too short, path stays empty
                "SoundAlert=ab\r\n"           // slot 1: too short
                "SoundAlert=1{C:\\a.wav}\r\n" // slot 2
                "SoundAlert=1{/x/a=b.wav}\r\n" // slot 3: a path holding "="
                "Font=1{Wrong,9}\r\n"         // a font line outside [Fonts]
                "SoundAlert\r\n"              // no "=": not a sound line
                "SoundAlert=9{/slot4}\r\n"
                "[SOUND]\r\n"                 // entering the section again starts over
                "SoundAlert=0{/first}\r\n"
                "[Fonts]\r\n"
                "Font=1{A,7}\r\nFont=1{B,7}\r\nFont=1{C,7}\r\nFont=1{D,7}\r\nFont=1{E,7}\r\nFont=1{F,7}\r\n");
    EXPECT_EQ(loaded.soundEnabled.mid(0, 5), QList<quint8>({0, 0, 1, 1, 9}));
    EXPECT_EQ(loaded.soundPaths.mid(0, 5), QStringList({"/first", "", "C:\\a.wav", "/x/a=b.wav", "/slot4"}));
    EXPECT_EQ(loaded.fontSpecs, QStringList({"A,7", "B,7", "C,7", "D,7", "E,7"}));

    Loaded many;
    QString text = "[Sound]\r\n";
    for (int i = 0; i < 12; ++i)
        text += QString("SoundAlert=1{/s%1}\r\n").arg(i);
    many.read(text);
    EXPECT_EQ(many.soundPaths.at(9), "/s9");
    EXPECT_EQ(many.soundPaths.size(), 10);
}

TEST_F(SettingsFileTest, HandlerLinesAreCheckedCappedAndDeduplicated)
{
    QString text = "[System]\r\nValue=00100\r\n";
    text += HandlerLine("*.dup", 1, "First") + "\r\n";
    text += HandlerLine("*.DUP", 1, "Second") + "\r\n";              // same key
    text += "FileHandler=" + HandlerLine("*.x", 1, "x").mid(13).chopped(1) + "\r\n"; // no braces
    text += "FileHandler={" + CBase64().ToBase64Ex("a\x02" "b") + "}\r\n"; // record too short
    for (int i = 0; i < 21; ++i)
        text += HandlerLine(QString("*.e%1").arg(i), 2, QString("T%1").arg(i)) + "\r\n";
    text += "[Sound]\r\n" + HandlerLine("*.late", 1, "Late") + "\r\n";
    Loaded loaded;
    loaded.read(text);
    ASSERT_EQ(loaded.handlers.Count(), 20);
    EXPECT_EQ(loaded.handlers.Item(1).ApplicationTitle(), "First");
    EXPECT_EQ(loaded.handlers.Item(20).ApplicationTitle(), "T18");
}

TEST_F(SettingsFileTest, OlderFilesInWindows1252AreRead)
{
    PutSettingsFile("[Sound]\r\nSoundAlert=1{/m\xe9lodie.wav}\r\n");
    Loaded loaded;
    loaded.load();
    EXPECT_EQ(loaded.soundPaths.at(0), QString::fromUtf8("/m\xc3\xa9lodie.wav"));
}

TEST_F(SettingsFileTest, FailedWriteKeepsTheOldFileAndSaysWhy)
{
    QDir().mkpath(SettingsFilePath()); // a folder where the file should be
    QString error;
    EXPECT_FALSE(WriteConfFile("x\r\n", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(SettingsFilePath()).isDir());
}

TEST(FontSlots, SizesAreWrittenWithAPointAndClampedPerSlot)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FontSizeText(8.25), "8.25");
    EXPECT_EQ(FontSizeText(6.75), "6.75");
    EXPECT_EQ(FontSizeText(9), "9");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ClampFontSize(0, 20), 9);
    EXPECT_EQ(ClampFontSize(3, 6.75), 7);
    EXPECT_EQ(ClampFontSize(4, 20), 14);
    EXPECT_EQ(ClampFontSize(4, 12), 12);
    EXPECT_EQ(FontSizeFromText("8.25"), 8.25);
    EXPECT_EQ(FontSizeFromText(" 9pt"), 9);
    EXPECT_EQ(FontSizeFromText("Arial"), 0);
}

TEST_F(SettingsFileTest, ApplyingTheFileSetsFlagsAlertsHandlersAndFonts)
{
    PutSettingsFile(kGoldenSettings);
    const ConfiguredFonts fonts = ApplyConfiguration();

    EXPECT_TRUE(IsOptionOn(OptionFlag::MaintainWindowPosition));
    EXPECT_FALSE(IsOptionOn(OptionFlag::StartMinimised));
    EXPECT_TRUE(IsOptionOn("Enable full row selection for file listings (Listviews)"));
    EXPECT_TRUE(IsOptionOn(OptionFlag::StartOnSystemStartupWithPendingJobs));
    EXPECT_TRUE(IsOptionOn(OptionFlag::UseListingCache));
    EXPECT_FALSE(IsOptionOn(OptionFlag::AssociateJobFileType));
    EXPECT_TRUE(IsOptionOn(OptionFlag::EnableSoundAlerts));
    EXPECT_FALSE(IsOptionOn(OptionFlag::PromptUploadExternalEdits));
    EXPECT_TRUE(IsOptionOn("Prompt if request Ftp file for Edit/View, is larger than 500KB"));

    EXPECT_EQ(SoundEnabledTable().at(0), 1);
    EXPECT_EQ(SoundPathTable().at(0), "/tmp/sounds/connected.wav");
    EXPECT_EQ(ConfiguredFileHandlers().Count(), 2);

    ASSERT_TRUE(fonts[0].has_value());
    EXPECT_EQ(fonts[0]->family(), "Courier New");
    EXPECT_EQ(fonts[0]->pointSizeF(), 8.25);
    EXPECT_FALSE(fonts[1].has_value());
    ASSERT_TRUE(fonts[3].has_value());
    EXPECT_EQ(fonts[3]->pointSizeF(), 7); // 6.75 is below the range
    ASSERT_TRUE(fonts[4].has_value());
    EXPECT_EQ(fonts[4]->pointSizeF(), 12); // the editor allows up to 14
    EXPECT_EQ(ConfiguredFont(FontSlot::BuiltInEditor)->pointSizeF(), 12);

    PutSettingsFile("[Fonts]\r\nFont=1{Courier New,30}\r\nFont=1{ }\r\nFont=2{Arial,8}\r\nFont=1{,9}\r\n");
    const ConfiguredFonts clamped = ApplyConfiguration();
    EXPECT_EQ(clamped[0]->pointSizeF(), 9);
    ASSERT_TRUE(clamped[1].has_value());
    EXPECT_EQ(clamped[1]->family(), "Arial"); // an empty choice gets the stock font
    EXPECT_EQ(clamped[1]->pointSizeF(), 8);
    EXPECT_TRUE(clamped[2].has_value()); // any digit but 0 applies
    EXPECT_EQ(clamped[3]->family(), "Arial");
    EXPECT_EQ(clamped[3]->pointSizeF(), 9);
    EXPECT_FALSE(IsOptionOn(OptionFlag::MaintainWindowPosition));
    EXPECT_EQ(ConfiguredFileHandlers().Count(), 0);
}

TEST(SettingsAndProfiles, EachReadsItsOwnNumbersInOneProgram)
{
    // The main window links both: a font size stops at the first letter, a
    // profile's number also takes an exponent.
    EXPECT_EQ(FontSizeFromText(QStringLiteral("8.25e1pt")), 8.25);
    CProfile profile;
    const QChar s(2);
    ASSERT_TRUE(profile.ReadFromString(QStringList{"p", "h", "2.1e1", "u", "", "1", "0", "", "", "0"}.join(s)));
    EXPECT_EQ(profile.Port, 21);
}

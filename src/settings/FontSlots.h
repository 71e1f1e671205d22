#pragma once

#include <QFont>
#include <QString>

// The five font choices of the settings dialog, by slot.
enum class FontSlot { FtpLogs = 0, FolderListing = 1, JobListing = 2, JobLogging = 3, BuiltInEditor = 4 };
constexpr int FontSlotCount = 5;

struct FontSlotInfo {
    QString caption;       // the slot's check box
    QString defaultFamily; // the sample's font before any settings file exists
    double defaultSize;
    double minSize;
    double maxSize;
};

const FontSlotInfo &FontSlotInfoOf(int slot);

// The size kept within the slot's range.
double ClampFontSize(int slot, double size);

// A font of the given family and size, with a style hint so a family missing on
// this system is replaced by a similar one.
QFont MakeFont(const QString &family, double pointSize);

// A point size as the settings file stores it: "." as the decimal mark,
// single precision ("8.25", "9").
QString FontSizeText(double pointSize);

// The leading decimal number of a text ("8.25" -> 8.25, "9pt" -> 9, "x" -> 0).
double FontSizeFromText(const QString &text);

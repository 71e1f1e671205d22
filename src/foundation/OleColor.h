#pragma once

#include <QColor>
#include <QPalette>

// Colours are stored as 32-bit values 0x00BBGGRR, or 0x800000nn for the
// desktop's system colour nn (window background, highlight, button face ...),
// and written in the "&H" notation.
using OleColor = quint32;

namespace OleColors {
constexpr OleColor ButtonFace = 0x8000000F;
constexpr OleColor WindowBackground = 0x80000005;
constexpr OleColor WindowText = 0x80000008;
constexpr OleColor Highlight = 0x8000000D;
constexpr OleColor HighlightText = 0x8000000E;
} // namespace OleColors

bool IsSystemColor(OleColor color);
// The actual colour; system colours come from the palette.
QColor OleToQColor(OleColor color, const QPalette &palette = QPalette());
OleColor QColorToOle(const QColor &color);
// "&HD8BFD8", "&H80000005"
QString OleColorToText(OleColor color);
// Reads "&H..." (or a decimal number); false when it is neither.
bool OleColorFromText(const QString &text, OleColor &color);

// Sizes given in twips: 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }
constexpr int PixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

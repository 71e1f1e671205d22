#pragma once

#include <QFont>
#include <QStringView>

#include <array>
#include <optional>

// How wide a line of plain text can be in a font, without shaping it: the sum
// of its characters' own advances, with room for kerning. A busy session logs
// thousands of short lines; only those whose bound passes the widest line so
// far need their exact width, which takes shaping.
//
// The bound is given only for printable ASCII in a font without added letter
// or word spacing and without capitalisation; anything else (tabs, other
// scripts, combining marks) is left to shaping.
class LineWidthBound
{
public:
    // Kerning only moves glyphs a little, closer as a rule. The most it widens
    // ASCII text in common fonts, at any size and style, is under 6 % (a line
    // of nothing but "-J" pairs); 15 % leaves room for fonts that kern more.
    static constexpr double kKerningRoom = 1.15;

    // The most `text` can measure in `font`, or nothing when only shaping can tell.
    // In a font whose shaping neither kerns nor joins letters (most monospaced
    // fonts) that is the text's own width, so lines as long as the widest so
    // far are not shaped again.
    std::optional<double> of(const QFont &font, QStringView text);

private:
    static constexpr char16_t kFirst = 0x20;
    static constexpr char16_t kLast = 0x7E;

    bool prepare(const QFont &font);

    QFont m_font;
    bool m_prepared = false;
    bool m_usable = false; // the font's advances add up as its shaping does, but for kerning
    bool m_exact = false;  // nor does it kern: they add up to the shaped width
    std::array<double, kLast - kFirst + 1> m_advances{};
};

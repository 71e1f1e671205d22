#pragma once

#include "FontSlots.h"

#include <QFont>

#include <array>
#include <optional>

class FileHandlerCollection;

// The fonts the settings ask for, by slot; nothing where the slot's check box
// is off and its targets keep their own font.
using ConfiguredFonts = std::array<std::optional<QFont>, FontSlotCount>;

// Reads the settings file into the program-wide values: the option flags, the
// alert tables and the handler collection; returns the fonts for the main
// window to put on each slot's targets (and keeps them for windows made later).
// Run at start-up and after an accepted settings dialog while no session runs.
ConfiguredFonts ApplyConfiguration();

// The program-wide file-type handlers of the running configuration.
FileHandlerCollection &ConfiguredFileHandlers();

// The font last applied to a slot (e.g. the built-in editor's), or nothing.
std::optional<QFont> ConfiguredFont(FontSlot slot);

#pragma once
// Numbering styles of standards' ordinals, one per tree level: "1" decimal,
// "I"/"i" Roman, "A"/"a" letters; any other style text replaces the number.
// Levels count from 0, the first level below a tree's root.
#include <cstdint>

#include "platform/text/ansi.h"

namespace pu {

// Looks in options.ini, section "Strings", of ClassTablePath, SharedDataPath,
// UserDataPath and DataPath in that order; default when none has the key.
Text GetOptionString(const Text& key, const Text& defaultValue);

Text NumberingStyle(std::int16_t level);
Text FormatNumber(const Text& style, Text& before, std::int16_t number);
std::int16_t ParseNumber(const Text& style, const Text& text);
Text FormatOrdinal(std::int16_t ordinal, std::int16_t level);
std::int16_t ParseOrdinal(const Text& text, std::int16_t level);
Text LetterOf(std::int16_t number);
std::int16_t LetterValue(const Text& text);

} // namespace pu

#pragma once
// The system's texts are sequences of 16-bit characters; files and the closed
// libraries it talks to hold single-byte Windows-1252 ("ANSI") text.
#include <string>
#include <string_view>

namespace pu {

using Text = std::u16string;

// Each 16-bit character becomes exactly one byte, so lengths and positions
// survive the trip. A character the code page cannot hold becomes '?',
// as the Windows conversion does with its default character.
std::string toAnsi(std::u16string_view text);

// Every byte has a character: the five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value,
// so any byte string survives fromAnsi followed by toAnsi unchanged.
Text fromAnsi(std::string_view bytes);

// For literals and messages written in ASCII or UTF-8 source text.
Text fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view text);

} // namespace pu

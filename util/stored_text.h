#pragma once
// Titles may be stored enciphered: a leading character 250 marks them, and
// each NUL of the enciphered form is spelled "NULL" because a character
// field cannot hold a NUL.
#include <optional>

#include "platform/text/ansi.h"

namespace pu {

inline constexpr char16_t kEncipheredMark = 250;

Text DecodeStoredText(const Text& stored);

// The stored form of a plain text, or nothing when that form would not read
// back as the same text (it would end in a blank, which callers trim away,
// or spell "NULL" where no NUL was).
std::optional<Text> EncodeStoredText(const Text& plain);

} // namespace pu

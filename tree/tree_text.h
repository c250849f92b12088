#pragma once
// Texts and pictures of the family tree control's rows.
#include <QString>
#include <cstdint>

#include "platform/text/ansi.h"

namespace pu {

// Node 998 is kept in trees for the product's own use and never listed.
inline constexpr std::int32_t kHiddenNode = 998;

inline QString qtext(const Text& text) { return QString::fromStdU16String(text); }
inline Text textOf(const QString& text) { return text.toStdU16String(); }

// "Level 2 Category" unless options.ini names the level.
Text CategoryLevelName(std::int16_t level);
// 111..124 (closed/open), +100 picked, 301..304 for a create-new row (node 0);
// the last digit is (level mod 4) + 1.
int BookPictureIndex(std::int32_t node, bool picked, bool expanded, int level);

} // namespace pu

#pragma once
// Identifier markup in standards' titles, both ways, and the level rules of
// classification.ini (module modStatePrefix). A stored title marks its
// identifier with "*": read as the pieces between markers, blank pieces
// ignored, one piece is an unmarked title, two are identifier and text, three
// are head, identifier and text; more are no valid layout.
#include <cstdint>
#include <vector>

#include "platform/text/ansi.h"

namespace pu {

inline constexpr std::int32_t DisplayPlain = 0, DisplayShort = 1, DisplayStored = 2;

struct LevelRule {
  std::int16_t level = 0;
  Text start, end, includeParent;
};

// The text of a stored title (already deciphered) in a display mode: plain
// (markers removed), short (the identifier; the whole title when unmarked,
// empty when no piece or more than three), stored (unchanged); any other
// mode gives an empty text.
Text DisplayTextOfTitle(const Text& title, std::int32_t mode);

// The title of standard (tree, node), deciphered, in a display mode; empty
// when the standard does not exist.
Text StandardDisplayText(std::int16_t tree, std::int32_t node, std::int32_t mode);

// The user's example, highlighted in a standard's plain title.
struct PrefixExample {
  Text before;      // the text before the selection
  Text identifier;  // the selected text
  Text separator;   // its last character; empty for an empty selection
  std::int16_t separatorCount = -1;  // occurrences of separator in identifier, minus 1
};

// The example from a text and its selection (0-based start, length in
// characters, both clamped to the text). When the selection's last
// character is a letter or digit the selection grows by one character,
// where the text has one more; selectionLength is updated so the window can
// show it.
PrefixExample TakePrefixExample(const Text& text, int selectionStart, int& selectionLength);

// A plain stored title with its identifier marked: old markers removed, the
// identifier found after example.before as separatorCount + 1 runs ending in
// the separator, enclosed in "*" and preceded by parentIdentifier.
Text MarkIdentifier(const Text& title, const PrefixExample& example, const Text& parentIdentifier);

// The levels of section "State" + stateTree of ClassTablePath's
// classification.ini: the run k = 1, 2, ... whose LevelkStart is not "0"
// (missing keys read as "0"). Selects that file and section for GetIniString.
std::vector<LevelRule> ReadLevelRules(const Text& stateTree);

} // namespace pu

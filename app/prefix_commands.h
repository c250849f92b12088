#pragma once
// The two data-changing commands of the prefix window, Set Prefix and
// Replace, and the pieces the window takes from the user's example. Plain
// C++: the window passes in what its controls hold and shows the report.
//
// Both commands work on each standard of the current tree once (a node
// number repeated in other trees does not make a standard be rewritten
// again), write through DbHelper().SetFieldStr (record locked, unchanged
// values not written) and never rewrite a title stored enciphered: the
// cipher in use is a stand-in, and a title written back from its decoding
// would be lost.
#include <cstdint>

#include "platform/text/ansi.h"

namespace pu {

// Depth of a standard: the number of its ancestors in the tree (following
// parent_id, ending at a parent that is not in the tree or that the chain
// has already passed, so a root that is its own parent has depth 0); -1 when
// the standard is not found. Leaves the standards table on some row of the chain.
std::int16_t GetPathLength(std::int16_t tree, std::int32_t standard);

struct PrefixExample {
  Text before;      // the box's text before the selection
  Text identifier;  // the selected text
  Text separator;   // its last character; empty for an empty selection
  std::int16_t separatorCount = -1;  // occurrences of separator in identifier, minus 1
};

// The user's example from the highlight box's text and selection (0-based
// start, length in characters, both clamped to the text). When the
// selection's last character is a letter or digit the selection grows by one
// character, where the text has one more; selectionLength is updated so the
// window can show it.
PrefixExample TakePrefixExample(const Text& boxText, int selectionStart, int& selectionLength);

// The new title of the standards table's current record: its title
// (deciphered, old markers removed) with the identifier found after
// `before` as separatorCount + 1 runs ending in separator, enclosed in "*"
// and preceded by parentIdentifier.
Text MarkIdentifier(const Text& before, const Text& separator, std::int16_t separatorCount, const Text& parentIdentifier);

struct CommandReport {
  std::int32_t written = 0;         // titles changed in the table
  std::int32_t leftEnciphered = 0;  // titles the command would have changed, left as stored
  std::int32_t failed = 0;          // titles that could not be written
};

// Marks the identifier of every standard of the tree at the selected
// standard's depth; nothing when that standard is not in the tree. With
// includeParent each identifier is preceded by its parent's short title; a
// standard whose own or parent title is enciphered is left as stored.
CommandReport SetPrefix(std::int16_t tree, std::int32_t selectedNode, const PrefixExample& example, bool includeParent);

// Turns every ": " of the tree's stored titles into ":*".
CommandReport ReplaceColons(std::int16_t tree);

// The one message the window shows after a command; empty when there is
// nothing to say (every title that needed a change was written).
Text CommandReportMessage(const CommandReport& report);

} // namespace pu

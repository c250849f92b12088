#pragma once
// The two data-changing commands of the prefix window, Set Prefix and
// Replace: loops over the rows the standards table's owner gives, with the
// marking rules of db/state_prefix. Plain C++: the window passes in what its
// controls hold and shows the report.
//
// Both commands work on each standard of the current tree once (a node
// number repeated in other trees does not make a standard be rewritten
// again), write through the owner (record locked, unchanged values not
// written, the lock given back) and never rewrite a title stored
// enciphered: the cipher in use is a stand-in, and a title written back
// from its decoding would be lost.
#include <cstdint>
#include <functional>

#include "db/standards_table.h"
#include "db/state_prefix.h"
#include "platform/text/ansi.h"

namespace pu {

// Depth of a standard: the number of its ancestors in the tree (following
// parent_id, ending at a parent that is not in the tree or that the chain
// has already passed, so a root that is its own parent has depth 0); -1 when
// the standard is not found.
std::int16_t GetPathLength(std::int16_t tree, std::int32_t standard);

struct CommandReport {
  std::int32_t written = 0;               // titles changed in the table (in a dry run: to be changed)
  std::int32_t leftEnciphered = 0;        // the title is stored enciphered
  std::int32_t leftParentEnciphered = 0;  // the parent's identifier is stored enciphered
  std::int32_t inUse = 0;                 // another program held the record; the wait was given up
  std::int32_t tooLong = 0;               // the new title does not fit the title field
  std::int32_t failed = 0;                // the table could not be written, or the row was gone
  bool anyFailed() const { return inUse + tooLong + failed > 0; }
};

// What a caller other than the window (dbftool) asks of a command beyond
// the window's run; the window leaves it as it is.
struct CommandOptions {
  // Nothing locked or written: the report counts what a run would do now.
  bool dryRun = false;
  // Called with each row (its title as it was) and the title written, or in
  // a dry run the title that would be written.
  std::function<void(const StandardRow& row, const Text& newTitle)> onChange;
};

// Marks the identifier of every standard of the tree at the selected
// standard's depth; nothing when that standard is not in the tree. With
// includeParent each identifier is preceded by its parent's short title.
CommandReport SetPrefix(std::int16_t tree, std::int32_t selectedNode, const PrefixExample& example, bool includeParent,
                        const CommandOptions& options = {});

// Turns every ": " of the tree's stored titles into ":*".
CommandReport ReplaceColons(std::int16_t tree, const CommandOptions& options = {});

// What the window tells the user after a command, one line per reason;
// empty when every title that needed a change was written.
Text CommandReportMessage(const CommandReport& report);

} // namespace pu
